#include "powder/powder_plot_painter.hpp"

#include <QFontMetricsF>
#include <QImage>
#include <QPainter>
#include <QPainterPath>
#include <algorithm>
#include <cmath>
#include <functional>

#include "plots/picture_render.hpp"
#include "powder/pattern_scale.hpp"

namespace lumora {
namespace {

const QColor kMeasuredColor(0, 70, 200);
const QColor kCalculatedColor(210, 30, 30);
const QColor kDifferenceColor(90, 90, 90);
const QColor kTickColor(0, 120, 0);
const QColor kIndexedPeakColor(0, 150, 0);
const QColor kUnindexedPeakColor(200, 0, 200);
const QColor kHighlightColor(255, 140, 0);

// The curve's points in the axis's unit.
std::vector<double> ToAxis(const std::vector<double>& twoTheta, const PowderPlotScene& scene) {
  std::vector<double> out(twoTheta.size());
  for (std::size_t i = 0; i < twoTheta.size(); ++i) out[i] = AxisFromTwoTheta(twoTheta[i], scene.wavelength, scene.axis);
  return out;
}

// Measured minus calculated at the measured points (calculated interpolated
// linearly); points outside the calculated range are left out.
Polyline Difference(const PowderPlotScene& scene) {
  Polyline out;
  for (std::size_t i = 0; i < scene.measTwoTheta.size(); ++i) {
    const double calculated = InterpolateLinear(scene.calcTwoTheta, scene.calcIntensity, scene.measTwoTheta[i]);
    if (!std::isfinite(calculated)) continue;
    out.x.push_back(scene.measTwoTheta[i]);
    out.y.push_back(scene.measIntensity[i] - calculated);
  }
  return out;
}

QString Number(double value, double step) {
  int decimals = 0;
  if (step > 0.0 && step < 1.0) decimals = std::min(8, static_cast<int>(std::ceil(-std::log10(step) - 1e-9)));
  return QString::number(value, 'f', decimals);
}

void DrawCurve(QPainter& painter, const PowderPlotLayout& layout, const AxisRange& view, const Polyline& line,
               const std::function<double(double)>& toPixelY) {
  if (line.x.size() < 2) return;
  QPainterPath path;
  for (std::size_t i = 0; i < line.x.size(); ++i) {
    const QPointF p(layout.xToPixel(line.x[i], view), toPixelY(line.y[i]));
    if (i == 0) path.moveTo(p); else path.lineTo(p);
  }
  painter.drawPath(path);
}

struct VisibleCurves {
  Polyline calc, meas, diff;
};

VisibleCurves ThinCurves(const PowderPlotScene& scene, std::size_t columns) {
  VisibleCurves curves;
  curves.calc = ThinForColumns(ToAxis(scene.calcTwoTheta, scene), scene.calcIntensity, scene.view, columns);
  curves.meas = ThinForColumns(ToAxis(scene.measTwoTheta, scene), scene.measIntensity, scene.view, columns);
  const Polyline diff = Difference(scene);
  curves.diff = ThinForColumns(ToAxis(diff.x, scene), diff.y, scene.view, columns);
  return curves;
}

void FitOrdinate(PowderPlotLayout& layout, const PowderPlotScene& scene, const VisibleCurves& curves) {
  double low = 0.0, high = 0.0;
  bool any = false;
  for (const Polyline* line : {&curves.calc, &curves.meas})
    for (std::size_t i = 0; i < line->x.size(); ++i) {
      if (line->x[i] < scene.view.low || line->x[i] > scene.view.high) continue;
      low = any ? std::min(low, line->y[i]) : line->y[i];
      high = any ? std::max(high, line->y[i]) : line->y[i];
      any = true;
    }
  if (!any || !(high > 0.0)) high = 1.0;
  layout.logFloor = high * kLogFloorFraction;
  if (scene.scale == IntensityScale::Log) {
    // The log scale starts at the weakest positive value on show (a measured
    // background), unless that lies below the floor.
    double weakest = high;
    for (const Polyline* line : {&curves.calc, &curves.meas})
      for (std::size_t i = 0; i < line->x.size(); ++i)
        if (line->x[i] >= scene.view.low && line->x[i] <= scene.view.high && line->y[i] > 0.0)
          weakest = std::min(weakest, line->y[i]);
    layout.logFloor = std::max(layout.logFloor, weakest / 2.0);
    layout.yLow = std::log10(layout.logFloor);
    layout.yHigh = std::log10(high) + 0.05 * (std::log10(high) - layout.yLow);
  } else {
    layout.yLow = ScaleIntensity(std::min(low, 0.0), scene.scale, 0.0);
    const double top = ScaleIntensity(high, scene.scale, 0.0);
    layout.yHigh = top + 0.05 * (top - layout.yLow);
  }
  if (!(layout.yHigh > layout.yLow)) layout.yHigh = layout.yLow + 1.0;
  double diffMax = 0.0;
  for (std::size_t i = 0; i < curves.diff.x.size(); ++i)
    if (curves.diff.x[i] >= scene.view.low && curves.diff.x[i] <= scene.view.high)
      diffMax = std::max(diffMax, std::abs(curves.diff.y[i]));
  layout.diffRange = diffMax > 0.0 ? diffMax * 1.05 : 1.0;
}

PowderPlotLayout Frame(const PowderPlotScene& scene, const QRectF& bounds, const QFontMetricsF& metrics) {
  PowderPlotLayout layout;
  const double h = metrics.height();
  const double left = bounds.left() + metrics.horizontalAdvance(QStringLiteral("0000000")) + h;
  const double right = bounds.right() - h;
  const double top = bounds.top() + 0.8 * h;
  const double bottom = bounds.bottom() - 2.8 * h;
  const double height = std::max(bottom - top, 10.0);
  const bool both = !scene.calcTwoTheta.empty() && !scene.measTwoTheta.empty();
  const double tickHeight = scene.lineTwoTheta.empty() ? 0.0 : std::max(0.9 * h, 6.0);
  const double diffHeight = both ? 0.18 * height : 0.0;
  const double dataHeight = std::max(height - tickHeight - diffHeight, 4.0);
  const double width = std::max(right - left, 10.0);
  layout.data = QRectF(left, top, width, dataHeight);
  layout.ticks = QRectF(left, top + dataHeight, width, tickHeight);
  layout.difference = QRectF(left, top + dataHeight + tickHeight, width, diffHeight);
  return layout;
}

}  // namespace

PowderPlotScene MakePowderScene(const PowderPlotData& data, PowderAxis axis, IntensityScale scale, double wavelength) {
  PowderPlotScene scene;
  scene.axis = axis;
  scene.scale = scale;
  scene.wavelength = wavelength;
  if (data.profile) {
    scene.calcTwoTheta = data.profile->twoTheta;
    scene.calcIntensity = data.profile->intensity;
    for (double& y : scene.calcIntensity) y = data.fit.scale * y + data.fit.background;
  }
  if (data.lines)
    for (const PowderLine& line : *data.lines) scene.lineTwoTheta.push_back(line.twoTheta + data.zero);
  if (data.measured) {
    scene.measTwoTheta = data.measured->twoTheta;
    scene.measIntensity = data.measured->intensity;
  }
  scene.peakTwoTheta = data.peaks;
  if (data.unindexed)
    for (const double t : data.peaks)
      scene.peakIndexed.push_back(std::none_of(data.unindexed->begin(), data.unindexed->end(),
                                               [t](double u) { return std::abs(u - t) < 1e-9; }));
  scene.view = SceneLimits(scene);
  return scene;
}

AxisRange SceneLimits(const PowderPlotScene& scene) {
  double low = 1e300, high = -1e300;
  for (const std::vector<double>* curve : {&scene.calcTwoTheta, &scene.measTwoTheta}) {
    if (curve->empty()) continue;
    for (const double t : {curve->front(), curve->back()}) {
      const double v = AxisFromTwoTheta(t, scene.wavelength, scene.axis);
      if (!std::isfinite(v)) continue;
      low = std::min(low, v);
      high = std::max(high, v);
    }
  }
  if (scene.axis == PowderAxis::D) high = std::min(high, 50.0);
  return high > low ? AxisRange{low, high} : AxisRange{0.0, 1.0};
}

double PowderPlotLayout::xToPixel(double value, const AxisRange& view) const {
  return data.left() + (value - view.low) / view.width() * data.width();
}
double PowderPlotLayout::pixelToX(double pixel, const AxisRange& view) const {
  return view.low + (pixel - data.left()) / data.width() * view.width();
}
double PowderPlotLayout::yToPixel(double scaled) const {
  return data.bottom() - (scaled - yLow) / (yHigh - yLow) * data.height();
}
double PowderPlotLayout::pixelToY(double pixel) const {
  return yLow + (data.bottom() - pixel) / data.height() * (yHigh - yLow);
}

PowderPlotLayout LayoutPowderPlot(const PowderPlotScene& scene, const QRectF& bounds, const QFontMetricsF& metrics) {
  PowderPlotLayout layout = Frame(scene, bounds, metrics);
  if (scene.view.width() > 0.0) {
    const auto columns = static_cast<std::size_t>(std::max(1.0, std::ceil(layout.data.width())));
    FitOrdinate(layout, scene, ThinCurves(scene, columns));
  }
  return layout;
}

void PaintPowderPlot(QPainter& painter, const QRectF& bounds, const PowderPlotScene& scene) {
  painter.save();
  painter.fillRect(bounds, Qt::white);
  const QFontMetricsF metrics(painter.font());
  PowderPlotLayout layout = Frame(scene, bounds, metrics);
  const bool hasView = scene.view.width() > 0.0 && std::isfinite(scene.view.width());
  const auto columns = static_cast<std::size_t>(std::max(1.0, std::ceil(layout.data.width())));
  const VisibleCurves curves = hasView ? ThinCurves(scene, columns) : VisibleCurves{};
  if (hasView) FitOrdinate(layout, scene, curves);
  const QRectF all = layout.data.united(layout.ticks).united(layout.difference);
  const double h = metrics.height();

  // Axes and their labels.
  painter.setPen(QPen(Qt::black, 0));
  painter.drawRect(layout.data);
  if (!layout.difference.isEmpty()) painter.drawRect(layout.difference);
  if (hasView) {
    const double step = NiceTickStep(scene.view.low, scene.view.high, std::max(2, static_cast<int>(all.width() / (6 * h))));
    for (const double value : NiceTicks(scene.view.low, scene.view.high, std::max(2, static_cast<int>(all.width() / (6 * h))))) {
      const double x = layout.xToPixel(value, scene.view);
      painter.drawLine(QPointF(x, all.bottom()), QPointF(x, all.bottom() + 0.3 * h));
      painter.drawText(QRectF(x - 4 * h, all.bottom() + 0.3 * h, 8 * h, h), Qt::AlignHCenter | Qt::AlignTop,
                       Number(value, step));
    }
    std::vector<std::pair<double, QString>> yTicks;
    if (scene.scale == IntensityScale::Log) {
      for (double k = std::ceil(layout.yLow); k <= layout.yHigh; k += 1.0)
        yTicks.emplace_back(k, QStringLiteral("1e%1").arg(static_cast<int>(k)));
    } else {
      const double top = UnscaleIntensity(layout.yHigh, scene.scale);
      const double bottom = UnscaleIntensity(layout.yLow, scene.scale);
      const int count = std::max(2, static_cast<int>(layout.data.height() / (2.5 * h)));
      for (const double value : NiceTicks(bottom, top, count))
        yTicks.emplace_back(ScaleIntensity(value, scene.scale, 0.0), QString::number(value, 'g', 6));
    }
    double lastPixel = 1e300;
    for (const auto& [scaled, text] : yTicks) {
      const double y = layout.yToPixel(scaled);
      if (std::abs(lastPixel - y) < 1.2 * h) continue;  // the square-root scale crowds its low ticks
      lastPixel = y;
      painter.drawLine(QPointF(layout.data.left() - 0.3 * h, y), QPointF(layout.data.left(), y));
      painter.drawText(QRectF(bounds.left(), y - h / 2, layout.data.left() - bounds.left() - 0.4 * h, h),
                       Qt::AlignRight | Qt::AlignVCenter, text);
    }
  }
  painter.drawText(QRectF(all.left(), all.bottom() + 1.4 * h, all.width(), h), Qt::AlignHCenter | Qt::AlignTop,
                   QString::fromStdString(AxisTitle(scene.axis)));

  if (hasView) {
    painter.setClipRect(layout.data);
    painter.setRenderHint(QPainter::Antialiasing, true);
    auto toY = [&](double intensity) { return layout.yToPixel(ScaleIntensity(intensity, scene.scale, layout.logFloor)); };
    painter.setPen(QPen(kMeasuredColor, 1.0));
    DrawCurve(painter, layout, scene.view, curves.meas, toY);
    painter.setPen(QPen(kCalculatedColor, 1.0));
    DrawCurve(painter, layout, scene.view, curves.calc, toY);

    // Found peaks: a small triangle above the measured curve.
    const double size = 0.35 * h;
    for (std::size_t i = 0; i < scene.peakTwoTheta.size(); ++i) {
      const double value = AxisFromTwoTheta(scene.peakTwoTheta[i], scene.wavelength, scene.axis);
      if (!(value >= scene.view.low && value <= scene.view.high)) continue;
      const bool indexed = i < scene.peakIndexed.size() && scene.peakIndexed[i];
      const double x = layout.xToPixel(value, scene.view);
      double y = layout.data.top() + 2 * size;
      const auto it = std::lower_bound(scene.measTwoTheta.begin(), scene.measTwoTheta.end(), scene.peakTwoTheta[i]);
      if (it != scene.measTwoTheta.end())
        y = std::max(layout.data.top() + 2 * size, toY(scene.measIntensity[static_cast<std::size_t>(it - scene.measTwoTheta.begin())]) - size);
      const QColor colour = indexed || scene.peakIndexed.empty() ? kIndexedPeakColor : kUnindexedPeakColor;
      painter.setPen(QPen(colour, 1.0));
      painter.setBrush(colour);
      const QPointF triangle[3] = {{x, y}, {x - size, y - 1.6 * size}, {x + size, y - 1.6 * size}};
      painter.drawPolygon(triangle, 3);
    }
    painter.setBrush(Qt::NoBrush);

    if (!layout.difference.isEmpty()) {
      painter.setClipRect(layout.difference);
      const QRectF strip = layout.difference;
      const double range = layout.diffRange;
      painter.setPen(QPen(QColor(200, 200, 200), 0));
      painter.drawLine(QPointF(strip.left(), strip.center().y()), QPointF(strip.right(), strip.center().y()));
      painter.setPen(QPen(kDifferenceColor, 1.0));
      DrawCurve(painter, layout, scene.view, curves.diff,
                [&](double d) { return strip.center().y() - d / range * strip.height() / 2; });
    }
    if (!layout.ticks.isEmpty()) {
      painter.setClipRect(layout.ticks);
      painter.setRenderHint(QPainter::Antialiasing, false);
      for (std::size_t i = 0; i < scene.lineTwoTheta.size(); ++i) {
        const double value = AxisFromTwoTheta(scene.lineTwoTheta[i], scene.wavelength, scene.axis);
        if (!(value >= scene.view.low && value <= scene.view.high)) continue;
        const double x = layout.xToPixel(value, scene.view);
        const bool lit = static_cast<int>(i) == scene.highlightedLine;
        painter.setPen(QPen(lit ? kHighlightColor : kTickColor, lit ? 3.0 : 1.0));
        painter.drawLine(QPointF(x, layout.ticks.top() + 0.15 * layout.ticks.height()),
                         QPointF(x, layout.ticks.bottom() - 0.15 * layout.ticks.height()));
      }
    }
    painter.setClipping(false);
  }
  if (!scene.message.empty() && scene.calcTwoTheta.empty() && scene.measTwoTheta.empty())
    painter.drawText(layout.data, Qt::AlignCenter | Qt::TextWordWrap, QString::fromStdString(scene.message));
  painter.restore();
}

QByteArray RenderPowderPlot(const PowderPlotScene& scene, const QString& format, QSize size, QString* error) {
  return RenderPicture([&](QPainter& painter, const QRectF& bounds) { PaintPowderPlot(painter, bounds, scene); }, format, size,
                       QStringLiteral("Powder pattern"), error);
}

}  // namespace lumora
