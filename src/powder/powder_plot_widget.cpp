#include "powder/powder_plot_widget.hpp"

#include <QFontMetricsF>
#include <QKeyEvent>
#include <QMouseEvent>
#include <QPainter>
#include <QToolTip>
#include <QWheelEvent>
#include <cmath>
#include <limits>

namespace lumora {
namespace {

constexpr double kNaN = std::numeric_limits<double>::quiet_NaN();
constexpr double kDragStart = 4.0;  // pixels before a press becomes a drag

}  // namespace

PowderPlotWidget::PowderPlotWidget(QWidget* parent) : QWidget(parent) {
  setMouseTracking(true);
  setMinimumSize(320, 200);
  setFocusPolicy(Qt::WheelFocus);
  setAttribute(Qt::WA_OpaquePaintEvent);
}

void PowderPlotWidget::setScene(PowderPlotScene scene, bool keepView) {
  const bool keep = keepView && scene.axis == scene_.axis;
  const AxisRange view = scene_.view;
  scene_ = std::move(scene);
  scene_.view = keep ? view : limits_;
  if (!keep) whole_ = true;
  layout_.reset();
  update();
}

void PowderPlotWidget::setLimits(const AxisRange& limits) {
  limits_ = limits.width() > 0.0 ? limits : AxisRange{0.0, 1.0};
  scene_.view = whole_ ? limits_ : PanRange(scene_.view, 0.0, limits_);
  layout_.reset();
  update();
}

void PowderPlotWidget::setView(const AxisRange& view) {
  scene_.view = PanRange(view, 0.0, limits_);
  whole_ = scene_.view.width() >= limits_.width() * (1.0 - 1e-12);
  layout_.reset();
  update();
  emit viewChanged();
}

void PowderPlotWidget::showWholeRange() { setView(limits_); }

const PowderPlotLayout& PowderPlotWidget::layout() const {
  // Every mouse move asks for it several times; the curves are thinned once per change.
  if (!layout_) layout_ = LayoutPowderPlot(scene_, QRectF(rect()), QFontMetricsF(font()));
  return *layout_;
}

void PowderPlotWidget::resizeEvent(QResizeEvent* event) {
  layout_.reset();
  QWidget::resizeEvent(event);
}

void PowderPlotWidget::changeEvent(QEvent* event) {
  if (event->type() == QEvent::FontChange) layout_.reset();
  QWidget::changeEvent(event);
}

double PowderPlotWidget::twoThetaAt(QPointF position) const {
  const PowderPlotLayout& l = layout();
  if (position.x() < l.data.left() || position.x() > l.data.right()) return kNaN;
  return TwoThetaFromAxis(l.pixelToX(position.x(), scene_.view), scene_.wavelength, scene_.axis);
}

double PowderPlotWidget::intensityAt(QPointF position) const {
  const PowderPlotLayout& l = layout();
  if (!l.data.contains(position)) return kNaN;
  return UnscaleIntensity(l.pixelToY(position.y()), scene_.scale);
}

double PowderPlotWidget::pixelOf(double twoTheta) const {
  return layout().xToPixel(AxisFromTwoTheta(twoTheta, scene_.wavelength, scene_.axis), scene_.view);
}

int PowderPlotWidget::lineAt(QPointF position) const {
  const PowderPlotLayout& l = layout();
  if (!l.ticks.adjusted(0, -2, 0, 2).contains(position)) return -1;
  int best = -1;
  double bestDistance = 4.0;  // pixels
  for (std::size_t i = 0; i < scene_.lineTwoTheta.size(); ++i) {
    const double x = l.xToPixel(AxisFromTwoTheta(scene_.lineTwoTheta[i], scene_.wavelength, scene_.axis), scene_.view);
    const double distance = std::abs(x - position.x());
    if (distance <= bestDistance) {
      bestDistance = distance;
      best = static_cast<int>(i);
    }
  }
  return best;
}

void PowderPlotWidget::paintEvent(QPaintEvent*) {
  QPainter painter(this);
  PaintPowderPlot(painter, QRectF(rect()), scene_);
}

void PowderPlotWidget::wheelEvent(QWheelEvent* event) {
  const PowderPlotLayout& l = layout();
  const double steps = event->angleDelta().y() / 120.0;
  if (steps == 0.0) return;
  const double at = l.pixelToX(event->position().x(), scene_.view);
  setView(ZoomRange(scene_.view, at, std::pow(1.25, steps), limits_));
  event->accept();
}

void PowderPlotWidget::mousePressEvent(QMouseEvent* event) {
  pressed_ = true;
  dragging_ = false;
  pressAt_ = event->position();
  pressView_ = scene_.view;
}

void PowderPlotWidget::mouseMoveEvent(QMouseEvent* event) {
  const QPointF at = event->position();
  if (pressed_ && (event->buttons() & Qt::LeftButton)) {
    if (!dragging_ && std::abs(at.x() - pressAt_.x()) >= kDragStart) dragging_ = true;
    if (dragging_) {
      const PowderPlotLayout& l = layout();
      const double delta = (pressAt_.x() - at.x()) / l.data.width() * pressView_.width();
      setView(PanRange(pressView_, delta, limits_));
    }
  }
  const double twoTheta = twoThetaAt(at);
  emit readout(twoTheta, AxisFromTwoTheta(twoTheta, scene_.wavelength, PowderAxis::D), intensityAt(at));
  const int line = lineAt(at);
  if (line != scene_.highlightedLine) {
    scene_.highlightedLine = line;
    update();
  }
  if (line >= 0 && describe_) QToolTip::showText(event->globalPosition().toPoint(), describe_(line), this);
  else QToolTip::hideText();
}

void PowderPlotWidget::mouseReleaseEvent(QMouseEvent* event) {
  const bool click = pressed_ && !dragging_;
  pressed_ = false;
  dragging_ = false;
  if (!click) return;
  const PowderPlotLayout& l = layout();
  if (!l.data.contains(event->position())) return;
  const double twoTheta = twoThetaAt(event->position());
  if (std::isfinite(twoTheta)) emit clicked(twoTheta, event->button(), event->modifiers());
}

void PowderPlotWidget::keyPressEvent(QKeyEvent* event) {
  if (event->key() == Qt::Key_Home) showWholeRange();
  else QWidget::keyPressEvent(event);
}

void PowderPlotWidget::leaveEvent(QEvent*) {
  emit readout(kNaN, kNaN, kNaN);
  if (scene_.highlightedLine >= 0) {
    scene_.highlightedLine = -1;
    update();
  }
}

}  // namespace lumora
