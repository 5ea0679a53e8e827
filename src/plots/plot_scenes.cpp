#include "plots/plot_scenes.hpp"

#include <cmath>

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

PlotScene BuildZeroLayerScene(const PlotData& data, const ViewOptions& options, const SceneTarget& target) {
  PlotScene scene = EmptyScene(target);
  if (!data.records || data.stats.zeroLayerMax <= 0.0f) return scene;
  const double f = ZoomFactor(options.zoom2D);
  const double cx = target.width / 2.0;
  const double cy = target.height / 2.0;
  const double s = f * cx / data.stats.zeroLayerMax;
  const SpotStyle style = ScreenSpotStyle(options, target.colors, data.stats, data.nDim, f);
  scene.circles.reserve(data.records->size());
  for (const ReflectionRecord& r : *data.records) {
    if (!InZeroLayer(r, data.nDim)) continue;
    // Screen y grows downward; the plot keeps that orientation.
    AppendSpot(scene, r, s * r.x + cx, s * r.y + cy, style);
  }
  return scene;
}

PlotScene Build3DScene(const PlotData& data, const PointTable& points, const ViewOptions& options,
                       const SceneTarget& target, float thickness, float zoom) {
  PlotScene scene = EmptyScene(target);
  if (!data.records || data.coordMax <= 0.0f) return scene;
  const double f = ZoomFactor(zoom);
  const double cx = target.width / 2.0;
  const double cy = target.height / 2.0;
  const double s = cx / data.coordMax * f * 0.9;
  const SpotStyle style = ScreenSpotStyle(options, target.colors, data.stats, data.nDim, f);
  if (thickness == 0.0f) thickness = static_cast<float>(options.layerSlider);
  const double halfThickness = thickness / 100.0 * data.coordMax;
  const bool layered = thickness < 100.0f;
  scene.circles.reserve(points.size());
  for (const PointRow& row : points) {
    if (layered && std::fabs(row[kDepth]) > halfThickness) continue;
    const std::size_t n = RecordOf(row);
    if (n >= data.records->size()) continue;
    AppendSpot(scene, (*data.records)[n], s * row[kHorizontal] + cx, s * row[kVertical] + cy, style);
  }
  if (options.highlightDirections) {
    scene.legend.push_back({3 * kTwipsPerPixel, 2 * kTwipsPerPixel, "along", kGreen});
    scene.legend.push_back({3 * kTwipsPerPixel, 15 * kTwipsPerPixel, "between", kBlue});
  }
  return scene;
}

}  // namespace lumora
