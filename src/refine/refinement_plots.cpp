#include "refine/refinement_plots.hpp"

#include <QFontMetricsF>
#include <QImage>
#include <QPainter>
#include <QPainterPath>
#include <algorithm>
#include <cmath>

#include "common/number_text.hpp"
#include "powder/powder_axis.hpp"

namespace lumora {
namespace {

const QColor kPointColor(0, 70, 200);
const QColor kWorstColor(210, 30, 30);
const QColor kOutlineColor(0, 150, 0);
const QColor kAxisColor(60, 60, 60);

QString Label(double value, double step) {
  const int decimals = std::clamp(static_cast<int>(std::ceil(-std::log10(step) - 1e-9)), 0, 6);
  return QString::fromStdString(FormatFixed(value, decimals));
}

// Ticks and labels along the bottom (x) and left (y) of area for the value ranges given.
void DrawAxes(QPainter& painter, const QRectF& area, double xLow, double xHigh, double yLow, double yHigh,
              const QString& xTitle, const QString& yTitle) {
  const QFontMetricsF metrics(painter.font());
  painter.setPen(QPen(kAxisColor, 1.0));
  painter.setBrush(Qt::NoBrush);
  painter.drawRect(area);
  const double xStep = NiceTickStep(xLow, xHigh, 6), yStep = NiceTickStep(yLow, yHigh, 6);
  for (double x : NiceTicks(xLow, xHigh, 6)) {
    const double px = area.left() + (x - xLow) / (xHigh - xLow) * area.width();
    painter.drawLine(QPointF(px, area.bottom()), QPointF(px, area.bottom() + 4));
    const QString text = Label(x, xStep);
    painter.drawText(QPointF(px - metrics.horizontalAdvance(text) / 2, area.bottom() + 6 + metrics.ascent()), text);
  }
  for (double y : NiceTicks(yLow, yHigh, 6)) {
    const double py = area.bottom() - (y - yLow) / (yHigh - yLow) * area.height();
    painter.drawLine(QPointF(area.left() - 4, py), QPointF(area.left(), py));
    const QString text = Label(y, yStep);
    painter.drawText(QPointF(area.left() - 6 - metrics.horizontalAdvance(text), py + metrics.ascent() / 2 - 1), text);
  }
  painter.drawText(QRectF(area.left(), area.bottom() + 6 + metrics.height(), area.width(), metrics.height()),
                   Qt::AlignHCenter, xTitle);
  painter.save();
  painter.translate(area.left() - 10 - metrics.horizontalAdvance(QStringLiteral("00000")), area.center().y());
  painter.rotate(-90);
  painter.drawText(QRectF(-area.height() / 2, -metrics.height(), area.height(), metrics.height()), Qt::AlignHCenter,
                   yTitle);
  painter.restore();
}

QRgb MapColour(double value, double range) {
  const double t = range > 0.0 ? std::clamp(value / range, -1.0, 1.0) : 0.0;
  const int fade = static_cast<int>(std::lround(255.0 * (1.0 - std::fabs(t))));
  if (t >= 0.0) return qRgb(fade, fade, 255 - static_cast<int>(std::lround(90.0 * t)));
  return qRgb(255 - static_cast<int>(std::lround(60.0 * -t)), fade, fade);
}

}  // namespace

void PaintFobsFcalc(QPainter& painter, const QRectF& bounds, const RefinementOutcome& outcome) {
  painter.save();
  painter.fillRect(bounds, Qt::white);
  painter.setRenderHint(QPainter::Antialiasing, true);
  const QFontMetricsF metrics(painter.font());
  if (outcome.status != RefinementStatus::Refined) {
    painter.setPen(kAxisColor);
    painter.drawText(bounds.adjusted(20, 20, -20, -20), Qt::AlignCenter | Qt::TextWordWrap,
                     QString::fromStdString(outcome.error.empty() ? "no refinement yet" : outcome.error));
    painter.restore();
    return;
  }
  double top = 0.0;
  for (const FittedReflection& f : outcome.reflections)
    top = std::max({top, std::sqrt(std::max(f.observed, 0.0)), std::sqrt(std::max(f.calculated, 0.0))});
  top = top > 0.0 ? top * 1.05 : 1.0;
  const double left = metrics.horizontalAdvance(QStringLiteral("000000")) + metrics.height() + 14;
  const QRectF area(bounds.left() + left, bounds.top() + metrics.height() * 2,
                    bounds.width() - left - 20, bounds.height() - metrics.height() * 4.5);
  painter.setPen(kAxisColor);
  painter.drawText(QRectF(bounds.left(), bounds.top() + 4, bounds.width(), metrics.height()), Qt::AlignHCenter,
                   QStringLiteral("F obs against F calc: R1 = %1, wR2 = %2, GoF = %3")
                       .arg(QString::fromStdString(FormatFixed(outcome.r1, 4)),
                            QString::fromStdString(FormatFixed(outcome.wR2, 4)),
                            QString::fromStdString(FormatFixed(outcome.gof, 3))));
  DrawAxes(painter, area, 0.0, top, 0.0, top, QStringLiteral("F calc = √I calc"), QStringLiteral("F obs = √I obs"));
  painter.setClipRect(area);
  painter.setPen(QPen(QColor(150, 150, 150), 1.0, Qt::DashLine));
  painter.drawLine(area.bottomLeft(), area.topRight());
  auto at = [&](const FittedReflection& f) {
    return QPointF(area.left() + std::sqrt(std::max(f.calculated, 0.0)) / top * area.width(),
                   area.bottom() - std::sqrt(std::max(f.observed, 0.0)) / top * area.height());
  };
  painter.setPen(Qt::NoPen);
  painter.setBrush(kPointColor);
  for (const FittedReflection& f : outcome.reflections) painter.drawEllipse(at(f), 2.2, 2.2);
  painter.setBrush(kWorstColor);
  for (std::size_t i : outcome.worst) painter.drawEllipse(at(outcome.reflections[i]), 3.0, 3.0);
  painter.restore();
}

void PaintInternalMaps(QPainter& painter, const QRectF& bounds, const std::vector<InternalMap>& maps) {
  painter.save();
  painter.fillRect(bounds, Qt::white);
  if (maps.empty()) {
    painter.restore();
    return;
  }
  const QFontMetricsF metrics(painter.font());
  double range = 0.0;
  for (const InternalMap& map : maps)
    for (double v : map.values) range = std::max(range, std::fabs(v));
  const double count = static_cast<double>(maps.size());
  const double left = metrics.horizontalAdvance(QStringLiteral("-00.0")) + metrics.height() + 16;
  const double below = metrics.height() * 3 + 8;
  const double above = metrics.height() * 2 + 4;
  const double panel = std::max(10.0, std::min((bounds.width() - 10) / count - left, bounds.height() - below - above));
  for (std::size_t k = 0; k < maps.size(); ++k) {
    const InternalMap& map = maps[k];
    const QRectF area(bounds.left() + left + static_cast<double>(k) * (panel + left), bounds.top() + above, panel, panel);
    QImage image(map.pixels, map.pixels, QImage::Format_RGB32);
    for (int r = 0; r < map.pixels; ++r)
      for (int c = 0; c < map.pixels; ++c) image.setPixel(c, r, MapColour(map.Value(r, c), range));
    painter.setRenderHint(QPainter::SmoothPixmapTransform, false);
    painter.drawImage(area, image);
    painter.setPen(kAxisColor);
    painter.drawText(QRectF(area.left() - left / 2, bounds.top() + 2, area.width() + left, metrics.height()),
                     Qt::AlignHCenter,
                     QStringLiteral("%1: %2 density, %3").arg(QString::fromStdString(map.site),
                                                              QString::fromStdString(MapSourceName(map.source)),
                                                              QString::fromStdString(map.plane)));
    DrawAxes(painter, area, -map.halfWidth, map.halfWidth, -map.halfWidth, map.halfWidth, QStringLiteral("u (Å)"),
             QStringLiteral("v (Å)"));
    painter.setRenderHint(QPainter::Antialiasing, true);
    painter.setClipRect(area);
    painter.setPen(QPen(kOutlineColor, 2.0));
    painter.setBrush(Qt::NoBrush);
    for (const auto& outline : map.outlines) {
      QPolygonF polygon;
      for (const auto& p : outline)
        polygon << QPointF(area.left() + (p[0] + map.halfWidth) / (2 * map.halfWidth) * area.width(),
                           area.top() + (map.halfWidth - p[1]) / (2 * map.halfWidth) * area.height());
      painter.drawPolygon(polygon);
    }
    painter.setClipping(false);
  }
  painter.setPen(kAxisColor);
  painter.drawText(QRectF(bounds.left(), bounds.top() + above + panel + metrics.height() * 2 + 6, bounds.width(),
                          metrics.height()),
                   Qt::AlignHCenter,
                   QStringLiteral("blue above 0, red below, full colour at %1; green: the model's domain")
                       .arg(QString::number(range, 'g', 3)));  // three figures whatever the scale
  painter.restore();
}

PowderPlotScene FittedPatternScene(const WholePatternOutcome& fit, double wavelength) {
  PowderPlotScene scene;
  scene.wavelength = wavelength;
  scene.calcTwoTheta = fit.twoTheta;
  scene.calcIntensity = fit.calculated;
  scene.measTwoTheta = fit.twoTheta;
  scene.measIntensity = fit.observed;
  scene.lineTwoTheta = fit.lineTwoTheta;
  scene.view = SceneLimits(scene);
  return scene;
}

}  // namespace lumora
