#include "plots/plot_scenes.hpp"

#include <algorithm>
#include <cmath>
#include <thread>

#include "plots/spot_rules.hpp"

namespace lumora {
namespace {

PlotScene EmptyScene(const SceneTarget& target) {
  PlotScene scene;
  scene.width = target.width;
  scene.height = target.height;
  scene.background = target.colors.back;
  scene.foreground = target.colors.fore;
  return scene;
}

}  // namespace

void AddMarks3D(PlotScene& scene, const PlotData& data, const PointTable& points, const ViewOptions& options,
                const Projection3D& p) {
  if (!options.marks.any()) return;
  const std::optional<ScreenAxes> axes =
      options.marks.orientation && data.records ? ViewAxes(*data.records, points) : std::nullopt;
  AddPlotMarks(scene, options.marks, p.s, p.cx, p.cy, axes);
}

LayerExtent ZeroLayerExtent(const PlotData& data) {
  LayerExtent extent;
  if (!data.records) return extent;
  for (const ReflectionRecord& r : *data.records) {
    if (!InZeroLayer(r, data.nDim)) continue;
    extent.x = std::max(extent.x, static_cast<double>(std::fabs(r.x)));
    extent.y = std::max(extent.y, static_cast<double>(std::fabs(r.y)));
  }
  return extent;
}

double FitScale(double ex, double ey, double cx, double cy) {
  double s = 0.0;
  if (ex > 0.0) s = cx / ex;
  if (ey > 0.0 && (s == 0.0 || cy / ey < s)) s = cy / ey;
  return std::isfinite(s) ? s : 0.0;
}

PlotScene BuildZeroLayerScene(const PlotData& data, const ViewOptions& options, const SceneTarget& target) {
  PlotScene scene = EmptyScene(target);
  if (!data.records) return scene;
  const LayerExtent extent = ZeroLayerExtent(data);
  const double f = ZoomFactor(options.zoom2D);
  const double cx = target.width / 2.0;
  const double cy = target.height / 2.0;
  // Both |x| and |y| fit: the decagonal layer is taller than wide.
  const double s = f * FitScale(extent.x, extent.y, cx, cy);
  if (s <= 0.0) return scene;
  const SpotStyle style = ScreenSpotStyle(options, target.colors, data.stats, data.nDim, f);
  std::size_t step = 0;
  for (const ReflectionRecord& r : *data.records) {
    if (CancelledAt(++step, target.cancel)) break;
    if (!InZeroLayer(r, data.nDim)) continue;
    const auto n = static_cast<std::size_t>(&r - data.records->data());
    if (!data.Shown(n, options.minIntensity)) continue;
    // Screen y grows downward; the plot keeps that orientation.
    AppendSpot(scene, r, s * r.x + cx, s * r.y + cy, style, data.IntensityOf(n));
  }
  AddPlotMarks(scene, options.marks, s, cx, cy);
  return scene;
}

Projection3D Make3DProjection(const PlotData& data, const ViewOptions& options, const SceneTarget& target,
                              float thickness, float zoom) {
  Projection3D p;
  const double f = ZoomFactor(zoom);
  p.cx = target.width / 2.0;
  p.cy = target.height / 2.0;
  // 90 percent of the smaller half-size for the largest coordinate: a
  // landscape picture keeps the pattern's top and bottom.
  p.s = FitScale(data.coordMax, data.coordMax, p.cx, p.cy) * f * 0.9;
  p.style = ScreenSpotStyle(options, target.colors, data.stats, data.nDim, f);
  if (thickness == 0.0f) thickness = static_cast<float>(options.layerSlider);
  p.halfThickness = thickness / 100.0 * data.coordMax;
  p.layered = thickness < 100.0f;
  return p;
}

PlotScene Build3DScene(const PlotData& data, const PointTable& points, const ViewOptions& options,
                       const SceneTarget& target, float thickness, float zoom) {
  PlotScene scene = EmptyScene(target);
  if (!data.records || data.coordMax <= 0.0f) return scene;
  const Projection3D p = Make3DProjection(data, options, target, thickness, zoom);
  const double s = p.s, cx = p.cx, cy = p.cy, halfThickness = p.halfThickness;
  const bool layered = p.layered;
  const SpotStyle& style = p.style;
  scene.circles.reserve(points.size());
  auto build = [&](PlotScene& part, std::size_t from, std::size_t to) {
    part.circles.reserve(to - from);
    for (std::size_t i = from; i < to; ++i) {
      if (CancelledAt(i, target.cancel)) break;
      // Rows visit the records out of order; fetch a few rows ahead.
      if (i + 16 < to) __builtin_prefetch(data.records->data() + RecordOf(points[i + 16]));
      const PointRow& row = points[i];
      if (layered && std::fabs(row[kDepth]) > halfThickness) continue;
      const std::size_t n = RecordOf(row);
      if (n >= data.records->size() || !data.Shown(n, options.minIntensity)) continue;
      AppendSpot(part, (*data.records)[n], s * row[kHorizontal] + cx, s * row[kVertical] + cy, style,
                 data.IntensityOf(n));
    }
  };
  // A large table is read in two halves on two threads; the second half's
  // shapes follow the first's, so the scene is the same as in one pass.
  constexpr std::size_t kParallelRows = 200000;
  if (points.size() < kParallelRows || std::thread::hardware_concurrency() < 2) {
    build(scene, 0, points.size());
  } else {
    const std::size_t half = points.size() / 2;
    PlotScene second;
    std::thread worker([&] { build(second, half, points.size()); });
    build(scene, 0, half);
    worker.join();
    const std::size_t offset = scene.circles.size();
    scene.circles.insert(scene.circles.end(), second.circles.begin(), second.circles.end());
    for (SceneLabel& label : second.labels) {
      label.circlesBefore += offset;
      scene.labels.push_back(std::move(label));
    }
  }
  if (options.highlightDirections) {
    scene.legend.push_back({3 * kTwipsPerPixel, 2 * kTwipsPerPixel, "along", kGreen});
    scene.legend.push_back({3 * kTwipsPerPixel, 15 * kTwipsPerPixel, "between", kBlue});
  }
  AddMarks3D(scene, data, points, options, p);
  return scene;
}

}  // namespace lumora
