#include "plots/picture_render.hpp"

#include <QBuffer>
#include <QImage>
#include <QPageSize>
#include <QPainter>
#include <QPdfWriter>
#include <QSvgGenerator>

namespace lumora {

QByteArray RenderPicture(const PaintFunction& paint, const QString& format, QSize size, const QString& title,
                         QString* error) {
  QByteArray bytes;
  QBuffer buffer(&bytes);
  buffer.open(QIODevice::WriteOnly);
  const QRectF bounds(0, 0, size.width(), size.height());
  if (format == QLatin1String("svg")) {
    QSvgGenerator svg;
    svg.setOutputDevice(&buffer);
    svg.setSize(size);
    svg.setViewBox(bounds);
    svg.setTitle(title);
    QPainter painter(&svg);
    paint(painter, bounds);
  } else if (format == QLatin1String("pdf")) {
    QPdfWriter pdf(&buffer);
    pdf.setResolution(96);
    pdf.setPageSize(QPageSize(QSizeF(size.width() * 25.4 / 96.0, size.height() * 25.4 / 96.0), QPageSize::Millimeter));
    pdf.setPageMargins(QMarginsF(0, 0, 0, 0));
    pdf.setTitle(title);
    QPainter painter(&pdf);
    paint(painter, QRectF(QPointF(0, 0), QSizeF(pdf.width(), pdf.height())));
  } else if (format == QLatin1String("png")) {
    QImage image(size, QImage::Format_RGB32);
    {
      QPainter painter(&image);
      paint(painter, bounds);
    }
    if (!image.save(&buffer, "PNG")) {
      if (error) *error = QStringLiteral("the picture could not be encoded as PNG");
      return {};
    }
  } else {
    if (error) *error = QStringLiteral("unknown picture format \"%1\" (png, svg or pdf)").arg(format);
    return {};
  }
  return bytes;
}

}  // namespace lumora
