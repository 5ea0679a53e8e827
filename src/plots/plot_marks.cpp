#include "plots/plot_marks.hpp"

#include <Eigen/Dense>
#include <cmath>
#include <cstdio>

namespace lumora {
namespace {

constexpr double kPx = kTwipsPerPixel;

void Line(PlotScene& scene, double x1, double y1, double x2, double y2) {
  scene.lines.push_back({x1, y1, x2, y2, scene.foreground});
}

void Text(PlotScene& scene, double x, double y, std::string text) {
  scene.legend.push_back({x, y, std::move(text), scene.foreground, 0});
}

// A tick value without trailing zeros: "0.25", "-1", "0".
std::string ValueText(double v) {
  if (std::fabs(v) < 1e-12) v = 0.0;
  char buffer[32];
  std::snprintf(buffer, sizeof buffer, "%.6g", v);
  return buffer;
}

// Above the bottom ticks' values when there are ticks.
void AddScaleBar(PlotScene& scene, double scale, bool ticks) {
  const double length = ScaleBarLength(scale, scene.width);
  if (length <= 0.0) return;
  const double right = scene.width - 10 * kPx;
  const double left = right - length * scale;
  const double y = scene.height - (ticks ? 30 : 10) * kPx;
  Line(scene, left, y, right, y);
  Line(scene, left, y - 4 * kPx, left, y + 2 * kPx);
  Line(scene, right, y - 4 * kPx, right, y + 2 * kPx);
  Text(scene, left, y - 17 * kPx, ReciprocalLengthText(length));
}

// Ticks every bar length from the origin, values in 1/Å: x along the bottom,
// the vertical screen axis (growing downward) along the left edge.
void AddTicks(PlotScene& scene, double scale, double cx, double cy) {
  const double step = ScaleBarLength(scale, scene.width);
  if (step <= 0.0) return;
  const double tick = 5 * kPx;
  for (long k = static_cast<long>(std::ceil(-cx / (step * scale)));; ++k) {
    const double x = cx + static_cast<double>(k) * step * scale;
    if (x > scene.width) break;
    Line(scene, x, scene.height, x, scene.height - tick);
    // A value that would run off the right edge is left out.
    if (x + 20 * kPx <= scene.width)
      Text(scene, x + 2 * kPx, scene.height - tick - 12 * kPx, ValueText(static_cast<double>(k) * step));
  }
  for (long k = static_cast<long>(std::ceil(-cy / (step * scale)));; ++k) {
    const double y = cy + static_cast<double>(k) * step * scale;
    if (y > scene.height) break;
    Line(scene, 0.0, y, tick, y);
    if (y >= 6 * kPx && y + 20 * kPx <= scene.height)
      Text(scene, tick + 2 * kPx, y - 6 * kPx, ValueText(static_cast<double>(k) * step));
  }
}

// Three arms from a point near the top right corner, each as long as the
// axis is seen across the screen (an axis along the view is a dot).
void AddOrientation(PlotScene& scene, const ScreenAxes& axes) {
  const double arm = 25 * kPx;
  const double ox = scene.width - 40 * kPx;
  const double oy = 40 * kPx;
  const char* names[] = {"x", "y", "z"};
  for (std::size_t k = 0; k < 3; ++k) {
    const double ex = ox + arm * axes[k][0];
    const double ey = oy + arm * axes[k][1];
    Line(scene, ox, oy, ex, ey);
    Text(scene, ex + 3 * kPx * (axes[k][0] >= 0 ? 0.3 : -2.0), ey - 6 * kPx + 6 * kPx * axes[k][1], names[k]);
  }
}

void AddCaption(PlotScene& scene, const PlotMarks& marks) {
  // Top left, below a legend already there; one label per line.
  double y = (scene.legend.empty() ? 2.0 : 30.0) * kPx;
  std::size_t start = 0;
  for (;;) {
    const std::size_t end = marks.caption.find('\n', start);
    Text(scene, (marks.ticks ? 40 : 4) * kPx, y, marks.caption.substr(start, end - start));
    if (end == std::string::npos) break;
    start = end + 1;
    y += 12 * kPx;
  }
}

}  // namespace

std::optional<ScreenAxes> ViewAxes(const std::vector<ReflectionRecord>& records, const PointTable& points) {
  // Normal equations of rows = R * (x, y, z): (XᵀX) Rᵀ = XᵀY.
  Eigen::Matrix3d xtx = Eigen::Matrix3d::Zero();
  Eigen::Matrix3d xty = Eigen::Matrix3d::Zero();
  for (const PointRow& row : points) {
    const std::size_t n = RecordOf(row);
    if (n >= records.size()) continue;
    const ReflectionRecord& r = records[n];
    const Eigen::Vector3d x(r.x, r.y, r.z);
    const Eigen::Vector3d y(row[kDepth], row[kHorizontal], row[kVertical]);
    xtx += x * x.transpose();
    xty += x * y.transpose();
  }
  const Eigen::FullPivLU<Eigen::Matrix3d> lu(xtx);
  if (xtx.norm() == 0.0 || lu.rank() < 3) return std::nullopt;
  const Eigen::Matrix3d rt = lu.solve(xty);  // row k: where unit vector k goes
  ScreenAxes axes{};
  for (int k = 0; k < 3; ++k) axes[static_cast<std::size_t>(k)] = {rt(k, 1), rt(k, 2)};
  return axes;
}

double ScaleBarLength(double scale, double width) {
  if (!(scale > 0.0) || !(width > 0.0) || !std::isfinite(scale)) return 0.0;
  const double most = width / 5.0 / scale;  // 1/Å
  const double decade = std::pow(10.0, std::floor(std::log10(most)));
  for (double m : {5.0, 2.0, 1.0})
    if (m * decade <= most * (1.0 + 1e-12)) return m * decade;
  return decade;
}

std::string ReciprocalLengthText(double value) { return ValueText(value) + " \u00c5\u207b\u00b9"; }

void AddPlotMarks(PlotScene& scene, const PlotMarks& marks, double scale, double cx, double cy,
                  const std::optional<ScreenAxes>& axes) {
  if (!marks.caption.empty()) AddCaption(scene, marks);
  if (marks.scaleBar) AddScaleBar(scene, scale, marks.ticks);
  if (marks.ticks) AddTicks(scene, scale, cx, cy);
  if (marks.orientation && axes) AddOrientation(scene, *axes);
}

std::string RunCaption(const Summary& summary, const std::string& model) {
  std::string caption = summary.sgSymbol + "  " + summary.paramLine1 + "\n" + summary.paramLine2;
  if (!model.empty()) caption += "\nmodel: " + model;
  return caption;
}

}  // namespace lumora
