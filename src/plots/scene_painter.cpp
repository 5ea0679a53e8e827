#include "plots/scene_painter.hpp"

#include <QBuffer>
#include <QPageSize>
#include <QPdfWriter>
#include <QSvgGenerator>
#include <cmath>

namespace lumora {

QColor ToQColor(ColorValue c) { return QColor(RedOf(c), GreenOf(c), BlueOf(c)); }

void PaintScene(QPainter& painter, const PlotScene& scene, double pixelsPerTwip) {
  const QRectF area(0, 0, scene.width * pixelsPerTwip, scene.height * pixelsPerTwip);
  painter.fillRect(area, ToQColor(scene.background));
  QFont font(QStringLiteral("Arial"));
  font.setPointSizeF(scene.labelPoints);
  painter.setFont(font);
  const QFontMetricsF metrics(font, painter.device());
  auto drawLabel = [&](const SceneLabel& label) {
    painter.setPen(ToQColor(label.color));
    painter.drawText(QPointF(label.x * pixelsPerTwip, label.y * pixelsPerTwip + metrics.ascent()),
                     QString::fromStdString(label.text));
  };
  ForEachInOrder(
      scene,
      [&](const SceneCircle& c) {
        painter.setPen(ToQColor(c.outline));
        if (c.transparentFill) painter.setBrush(Qt::NoBrush);
        else painter.setBrush(ToQColor(c.fill));
        const double r = c.radius * pixelsPerTwip;
        painter.drawEllipse(QPointF(c.x * pixelsPerTwip, c.y * pixelsPerTwip), r, r);
      },
      drawLabel);
  for (const SceneLabel& label : scene.legend) drawLabel(label);
  for (const SceneLine& line : scene.lines) {
    painter.setPen(QPen(ToQColor(line.color), 0.0));
    painter.drawLine(QPointF(line.x1 * pixelsPerTwip, line.y1 * pixelsPerTwip),
                     QPointF(line.x2 * pixelsPerTwip, line.y2 * pixelsPerTwip));
  }
}

void PaintPrintLayout(QPainter& painter, const PrintLayout& layout, double pixelsPerTwip) {
  const double k = pixelsPerTwip;
  const PrintPage& page = layout.page;
  painter.save();
  painter.fillRect(QRectF(0, 0, page.width * k, layout.ruleY * k), Qt::white);
  auto text = [&](const SceneLabel& label, double points, bool bold) {
    QFont font(QStringLiteral("Arial"));
    font.setPointSizeF(points);
    font.setBold(bold);
    painter.setFont(font);
    painter.setPen(ToQColor(label.color));
    painter.drawText(QPointF(label.x * k, label.y * k + QFontMetricsF(font, painter.device()).ascent()),
                     QString::fromStdString(label.text));
  };
  text(layout.title, 10, true);
  text(layout.summary, 8, false);
  painter.setPen(QPen(Qt::black, std::max(1.0, layout.page.unit * k)));
  painter.drawLine(QPointF(0, layout.ruleY * k), QPointF(page.width * k, layout.ruleY * k));

  // Spots on the white page; nothing else of the screen picture.
  const PlotScene& spots = layout.spots;
  painter.setClipRect(QRectF(0, layout.ruleY * k, page.width * k, (page.height - layout.ruleY) * k));
  const double pen = std::max(1.0, layout.page.unit * k);
  {
    QFont font(QStringLiteral("Arial"));
    font.setPointSizeF(spots.labelPoints);
    painter.setFont(font);
  }
  const QFontMetricsF metrics(painter.font(), painter.device());
  ForEachInOrder(
      spots,
      [&](const SceneCircle& c) {
        painter.setPen(QPen(ToQColor(c.outline), pen));
        if (c.transparentFill) painter.setBrush(Qt::NoBrush);
        else painter.setBrush(ToQColor(c.fill));
        const double r = c.radius * k;
        painter.drawEllipse(QPointF(c.x * k, c.y * k), r, r);
      },
      [&](const SceneLabel& label) {
        painter.setPen(ToQColor(label.color));
        painter.drawText(QPointF(label.x * k, label.y * k + metrics.ascent()), QString::fromStdString(label.text));
      });
  painter.restore();
}

QByteArray SceneToSvg(const PlotScene& scene) {
  QByteArray bytes;
  QBuffer buffer(&bytes);
  QSvgGenerator generator;
  generator.setOutputDevice(&buffer);
  const QSize size(static_cast<int>(std::lround(scene.width / kTwipsPerPixel)),
                   static_cast<int>(std::lround(scene.height / kTwipsPerPixel)));
  generator.setSize(size);
  generator.setViewBox(QRect(QPoint(0, 0), size));
  generator.setTitle(QStringLiteral("Lumora plot"));
  QPainter painter(&generator);
  PaintScene(painter, scene, 1.0 / kTwipsPerPixel);
  painter.end();
  return bytes;
}

QByteArray SceneToPdf(const PlotScene& scene) {
  QByteArray bytes;
  QBuffer buffer(&bytes);
  buffer.open(QIODevice::WriteOnly);
  QPdfWriter writer(&buffer);
  // One device unit per twip: the page is exactly the picture.
  writer.setResolution(1440);
  writer.setPageMargins(QMarginsF(0, 0, 0, 0));
  writer.setPageSize(QPageSize(QSizeF(scene.width / 20.0, scene.height / 20.0), QPageSize::Point));
  writer.setCreator(QStringLiteral("Lumora"));
  QPainter painter(&writer);
  PaintScene(painter, scene, 1.0);
  painter.end();
  return bytes;
}

QImage RenderScene(const PlotScene& scene) {
  const int w = static_cast<int>(std::lround(scene.width / kTwipsPerPixel));
  const int h = static_cast<int>(std::lround(scene.height / kTwipsPerPixel));
  QImage image(std::max(w, 1), std::max(h, 1), QImage::Format_RGB32);
  QPainter painter(&image);
  PaintScene(painter, scene, 1.0 / kTwipsPerPixel);
  return image;
}

}  // namespace lumora
