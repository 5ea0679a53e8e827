#include "zone/zone_pattern_painter.hpp"

#include <QImage>
#include <QPainter>

#include <algorithm>
#include <cmath>

#include "plots/picture_render.hpp"

namespace lumora {
namespace {

QColor ZoneColour(int zone) {
  if (zone == 0) return Qt::white;
  static const QColor upper[] = {QColor(255, 170, 40), QColor(60, 200, 255), QColor(230, 90, 230), QColor(140, 230, 90)};
  if (zone > 0) return upper[(zone - 1) % 4];
  return QColor(150, 150, 150);
}

// A round length for the scale bar: 1, 2 or 5 times a power of ten, near a fifth of the view.
double ScaleBarLength(double view) {
  const double target = view / 5.0;
  const double power = std::pow(10.0, std::floor(std::log10(target)));
  for (double f : {5.0, 2.0, 1.0})
    if (f * power <= target) return f * power;
  return power;
}

}  // namespace

ZonePictureFrame ZoneFrameIn(const QRectF& bounds, const ZonePattern& pattern, const ZonePictureOptions& options) {
  double radius = options.radius;
  if (radius <= 0.0)
    for (const ZoneSpot& s : pattern.spots) radius = std::max(radius, std::hypot(s.x, s.y));
  if (radius <= 0.0) radius = 1.0;
  ZonePictureFrame f;
  f.origin = bounds.center();
  f.scale = 0.47 * std::min(bounds.width(), bounds.height()) / radius;
  return f;
}

void PaintZonePattern(QPainter& painter, const QRectF& bounds, const ZonePattern& pattern, const ZonePictureOptions& options) {
  painter.save();
  painter.setRenderHint(QPainter::Antialiasing, true);
  painter.fillRect(bounds, Qt::black);
  painter.setClipRect(bounds);
  const ZonePictureFrame frame = ZoneFrameIn(bounds, pattern, options);
  const double spotMax = std::max(2.0, 0.018 * std::min(bounds.width(), bounds.height())) * options.spotScale;
  // The transmitted beam.
  painter.setPen(Qt::NoPen);
  painter.setBrush(QColor(255, 255, 255));
  painter.drawEllipse(frame.origin, spotMax * 0.8, spotMax * 0.8);
  // Weak first, so that strong spots lie on top.
  std::vector<const ZoneSpot*> order;
  for (const ZoneSpot& s : pattern.spots)
    if (options.laueZones || s.laueZone == 0) order.push_back(&s);
  std::stable_sort(order.begin(), order.end(), [](const ZoneSpot* a, const ZoneSpot* b) { return a->intensity < b->intensity; });
  for (const ZoneSpot* s : order) {
    double fraction = s->intensity / 100.0;
    if (options.logIntensity) fraction = s->intensity > 0.0 ? std::clamp((std::log10(fraction) + 4.0) / 4.0, 0.0, 1.0) : 0.0;
    const double r = spotMax * std::sqrt(fraction);
    if (r < 0.35) continue;
    painter.setBrush(ZoneColour(s->laueZone));
    painter.drawEllipse(frame.ToScreen(s->x, s->y), r, r);
  }
  if (options.labels) {
    QFont font = painter.font();
    font.setPixelSize(std::max(8, static_cast<int>(std::min(bounds.width(), bounds.height()) / 70)));
    painter.setFont(font);
    painter.setPen(QColor(255, 255, 160));
    const int n = pattern.lattice.nDim;
    for (const ZoneSpot* s : order) {
      if (s->intensity < options.labelMinimum) continue;
      QString text;
      for (int i = 0; i < n; ++i) text += (i ? QStringLiteral(" ") : QString()) + QString::number(s->h[static_cast<std::size_t>(i)]);
      painter.drawText(frame.ToScreen(s->x, s->y) + QPointF(spotMax * 0.6, -spotMax * 0.6), text);
    }
  }
  // Scale bar in the lower left.
  const double view = 0.5 * std::min(bounds.width(), bounds.height()) / frame.scale;
  const double length = ScaleBarLength(view);
  const QPointF start(bounds.left() + 20.0, bounds.bottom() - 20.0);
  painter.setPen(QPen(Qt::white, 2.0));
  painter.drawLine(start, start + QPointF(length * frame.scale, 0.0));
  QFont font = painter.font();
  font.setPixelSize(std::max(9, static_cast<int>(std::min(bounds.width(), bounds.height()) / 45)));
  painter.setFont(font);
  painter.drawText(start + QPointF(0.0, -6.0), QString::number(length) + QStringLiteral(" 1/\u00c5"));
  // Title: the axis and the radiation.
  const QString title = QStringLiteral("axis %1   \u03bb = %2 \u00c5")
                            .arg(QString::fromStdString(pattern.axis.name))
                            .arg(pattern.wavelength, 0, 'g', 6);
  painter.drawText(QRectF(bounds.left() + 10, bounds.top() + 6, bounds.width() - 20, 30), Qt::AlignLeft | Qt::AlignTop, title);
  painter.restore();
}

QByteArray RenderZonePattern(const ZonePattern& pattern, const ZonePictureOptions& options, const QString& format,
                             QSize size, QString* error) {
  return RenderPicture([&](QPainter& painter, const QRectF& bounds) { PaintZonePattern(painter, bounds, pattern, options); }, format, size,
                       QStringLiteral("Zone axis pattern"), error);
}

}  // namespace lumora
