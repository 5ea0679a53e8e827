#include "zone/zone_views.hpp"

#include <QMouseEvent>
#include <QPainter>
#include <QWheelEvent>

#include <algorithm>
#include <cmath>

namespace lumora {
namespace {

constexpr double kPi = 3.14159265358979323846;

QColor AxisColour(int order) {
  switch (order) {
    case 5: case 10: return QColor(220, 40, 40);
    case 3: case 6: return QColor(40, 140, 40);
    case 8: case 12: return QColor(220, 40, 40);
    default: return QColor(40, 80, 220);
  }
}

}  // namespace

ZonePatternView::ZonePatternView(QWidget* parent) : QWidget(parent) { setObjectName(QStringLiteral("zonePatternView")); }

void ZonePatternView::setPattern(const ZonePattern* pattern, const ZonePictureOptions& options) {
  pattern_ = pattern;
  options_ = options;
  update();
}

void ZonePatternView::paintEvent(QPaintEvent*) {
  QPainter painter(this);
  if (!pattern_ || !pattern_->error.empty()) {
    painter.fillRect(rect(), Qt::black);
    painter.setPen(Qt::white);
    painter.drawText(rect(), Qt::AlignCenter | Qt::TextWordWrap,
                     pattern_ ? QString::fromStdString(pattern_->error) : QStringLiteral("No pattern"));
    return;
  }
  PaintZonePattern(painter, QRectF(rect()), *pattern_, options_);
}

StereogramView::StereogramView(QWidget* parent) : QWidget(parent) {
  setObjectName(QStringLiteral("stereogramView"));
  setCursor(Qt::CrossCursor);
}

void StereogramView::setView(const BeamFrame& frame, std::vector<AxisView> axes, std::vector<Direction> mirrors) {
  frame_ = frame;
  axes_ = std::move(axes);
  mirrors_ = std::move(mirrors);
  update();
}

QPointF StereogramView::toScreen(double px, double py) const {
  const double r = 0.45 * std::min(width(), height());
  return {width() / 2.0 + r * px, height() / 2.0 - r * py};
}

void StereogramView::paintEvent(QPaintEvent*) {
  QPainter painter(this);
  painter.setRenderHint(QPainter::Antialiasing, true);
  painter.fillRect(rect(), Qt::white);
  const double r = 0.45 * std::min(width(), height());
  const QPointF centre(width() / 2.0, height() / 2.0);
  painter.setPen(QPen(Qt::black, 1.5));
  painter.drawEllipse(centre, r, r);
  painter.setPen(QPen(QColor(120, 120, 120), 1.0));
  for (const Direction& n : mirrors_) {
    const auto points = GreatCircle(frame_, n);
    QPolygonF line;
    for (const auto& p : points) line << toScreen(p[0], p[1]);
    painter.drawPolyline(line);
  }
  QFont font = painter.font();
  font.setPixelSize(10);
  painter.setFont(font);
  for (const AxisView& a : axes_) {
    const QPointF p = toScreen(a.px, a.py);
    painter.setPen(Qt::NoPen);
    painter.setBrush(AxisColour(a.axis.order));
    const double s = a.axis.order >= 5 ? 5.0 : a.axis.order == 3 ? 4.5 : 3.5;
    painter.drawEllipse(p, s, s);
    painter.setPen(Qt::black);
    painter.drawText(p + QPointF(5, -4), QString::fromStdString(a.axis.name));
  }
  painter.setPen(QPen(Qt::black, 1.0));
  painter.drawLine(centre + QPointF(-6, 0), centre + QPointF(6, 0));
  painter.drawLine(centre + QPointF(0, -6), centre + QPointF(0, 6));
}

void StereogramView::mousePressEvent(QMouseEvent* event) {
  const double r = 0.45 * std::min(width(), height());
  const double px = (event->position().x() - width() / 2.0) / r, py = -(event->position().y() - height() / 2.0) / r;
  if (std::hypot(px, py) > 1.0) return;
  Direction d = FromStereographic(frame_, px, py);
  for (const AxisView& a : axes_)
    if (AngleBetweenAxes(a.axis.direction, d) < 4.0) {
      d = a.axis.direction;
      break;
    }
  emit directionClicked(d);
}

ZoneImageView::ZoneImageView(QWidget* parent) : QWidget(parent) {
  setObjectName(QStringLiteral("zoneImageView"));
  setMouseTracking(false);
}

void ZoneImageView::setImage(const GreyImage* image) {
  image_ = image;
  shown_ = QImage();
  if (image && image->width > 0) {
    std::vector<float> sorted = image->pixels;
    const std::size_t lo = sorted.size() / 100, hi = std::min(sorted.size() - 1, sorted.size() * 998 / 1000);
    std::nth_element(sorted.begin(), sorted.begin() + static_cast<std::ptrdiff_t>(lo), sorted.end());
    const float low = sorted[lo];
    std::nth_element(sorted.begin(), sorted.begin() + static_cast<std::ptrdiff_t>(hi), sorted.end());
    const float high = std::max(sorted[hi], low + 1e-6f);
    shown_ = QImage(image->width, image->height, QImage::Format_Grayscale8);
    for (int y = 0; y < image->height; ++y) {
      uchar* row = shown_.scanLine(y);
      for (int x = 0; x < image->width; ++x)
        row[x] = static_cast<uchar>(std::clamp((image->At(x, y) - low) / (high - low), 0.0f, 1.0f) * 255.0f);
    }
    placement_.cx = image->width / 2.0;
    placement_.cy = image->height / 2.0;
  }
  update();
}

void ZoneImageView::setPattern(const ZonePattern* pattern) {
  pattern_ = pattern;
  update();
}

void ZoneImageView::setPlacement(const OverlayPlacement& placement) {
  placement_ = placement;
  update();
}

double ZoneImageView::scale() const {
  if (!image_ || image_->width == 0) return 1.0;
  return std::min(width() / static_cast<double>(image_->width), height() / static_cast<double>(image_->height));
}

QRectF ZoneImageView::imageRect() const {
  if (!image_) return {};
  const double s = scale();
  const double w = image_->width * s, h = image_->height * s;
  return {(width() - w) / 2.0, (height() - h) / 2.0, w, h};
}

void ZoneImageView::paintEvent(QPaintEvent*) {
  QPainter painter(this);
  painter.fillRect(rect(), QColor(40, 40, 40));
  if (shown_.isNull()) {
    painter.setPen(Qt::white);
    painter.drawText(rect(), Qt::AlignCenter, QStringLiteral("File \u2192 Open Image\u2026 shows a measured pattern here"));
    return;
  }
  const QRectF area = imageRect();
  painter.drawImage(area, shown_);
  painter.setRenderHint(QPainter::Antialiasing, true);
  const double s = scale();
  auto toWidget = [&](double u, double v) { return QPointF(area.left() + (u + 0.5) * s, area.top() + (v + 0.5) * s); };
  if (found_) {
    painter.setPen(QPen(QColor(0, 200, 255), 1.0));
    painter.setBrush(Qt::NoBrush);
    for (const FoundSpot& f : *found_) painter.drawRect(QRectF(toWidget(f.x, f.y) - QPointF(3, 3), QSizeF(6, 6)));
  }
  if (pattern_ && pattern_->error.empty()) {
    painter.setPen(QPen(QColor(255, 80, 40), 1.2));
    const double phi = placement_.rotation * kPi / 180.0;
    for (const ZoneSpot& z : pattern_->spots) {
      if (z.laueZone != 0 || z.fSquared < 0.05) continue;
      const double u = placement_.cx + placement_.k * (z.x * std::cos(phi) - z.y * std::sin(phi));
      const double v = placement_.cy - placement_.k * (z.x * std::sin(phi) + z.y * std::cos(phi));
      painter.drawEllipse(toWidget(u, v), 4.0, 4.0);
    }
    painter.drawLine(toWidget(placement_.cx, placement_.cy) - QPointF(8, 0), toWidget(placement_.cx, placement_.cy) + QPointF(8, 0));
    painter.drawLine(toWidget(placement_.cx, placement_.cy) - QPointF(0, 8), toWidget(placement_.cx, placement_.cy) + QPointF(0, 8));
  }
}

void ZoneImageView::mousePressEvent(QMouseEvent* event) {
  dragStart_ = event->position();
  dragPlacement_ = placement_;
}

void ZoneImageView::mouseMoveEvent(QMouseEvent* event) {
  if (!image_ || !(event->buttons() & Qt::LeftButton)) return;
  const double s = scale();
  if (event->modifiers() & Qt::ShiftModifier) {
    // Turn about the centre: the change of the cursor's angle on screen (counter-clockwise).
    const QRectF area = imageRect();
    const QPointF c(area.left() + (dragPlacement_.cx + 0.5) * s, area.top() + (dragPlacement_.cy + 0.5) * s);
    const double a0 = std::atan2(-(dragStart_.y() - c.y()), dragStart_.x() - c.x());
    const double a1 = std::atan2(-(event->position().y() - c.y()), event->position().x() - c.x());
    placement_.rotation = dragPlacement_.rotation + (a1 - a0) * 180.0 / kPi;
  } else {
    placement_.cx = dragPlacement_.cx + (event->position().x() - dragStart_.x()) / s;
    placement_.cy = dragPlacement_.cy + (event->position().y() - dragStart_.y()) / s;
  }
  update();
  emit placementChanged(placement_);
}

void ZoneImageView::wheelEvent(QWheelEvent* event) {
  placement_.k *= std::pow(1.0015, event->angleDelta().y() / 8.0);
  update();
  emit placementChanged(placement_);
}

}  // namespace lumora
