#include "plots/print_scene.hpp"

#include <algorithm>
#include <cmath>

#include "plots/spot_rules.hpp"

namespace lumora {

std::string PrintSummaryLine(std::size_t reflections, const std::string& sgSymbol, const std::string& paramLine1,
                             const std::string& paramLine2) {
  return std::to_string(reflections) + " reflections, " + sgSymbol + ", " + paramLine1 + ", " + paramLine2;
}

PrintLayout BuildPrintScene(const PlotData& data, const PointTable& points, const ViewOptions& options,
                            const PrintPage& page, bool threeD, const std::string& summaryLine) {
  const double u = page.unit;
  PrintLayout layout;
  layout.page = page;
  layout.title = SceneLabel{10 * u, 10 * u, "Lumora 1.0", kBlack, 0};
  layout.summary = SceneLabel{10 * u, 22 * u, summaryLine, kBlack, 0};
  layout.ruleY = 34 * u;

  PlotScene& scene = layout.spots;
  scene.width = page.width;
  scene.height = page.height;
  scene.background = kWhite;
  scene.foreground = kBlack;
  scene.labelPoints = 6.0;
  if (!data.records) return layout;

  // Both printouts take the 2D zoom; each fits what it prints into 80 percent
  // of the page at zoom 1.
  const double f = ZoomFactor(options.zoom2D);
  const double cx = page.width / 2.0;
  const double cy = page.height / 2.0;
  double ex = 0.0;
  double ey = 0.0;
  if (threeD) {
    for (const PointRow& row : points) {
      ex = std::max(ex, static_cast<double>(std::fabs(row[kHorizontal])));
      ey = std::max(ey, static_cast<double>(std::fabs(row[kVertical])));
    }
  } else {
    const LayerExtent extent = ZeroLayerExtent(data);
    ex = extent.x;
    ey = extent.y;
  }
  const double s = f * 0.8 * FitScale(ex, ey, cx, cy);
  if (s <= 0.0) return layout;

  SpotStyle style;
  style.options = &options;
  style.fill = kBlack;
  style.outline = kBlack;
  style.transparentFill = !options.filledSpots;
  style.whiteBackgroundGreys = false;  // the page's foreground is black
  style.unit = u;
  style.zoomFactor = f;
  style.radiusFactor = options.SpotRadiusFactor();
  style.greyStep = GreyStep(options, data.stats);
  style.qiMinPositive = data.stats.qiMinPositive;
  style.nDim = data.nDim;
  style.labelThreshold = 2 * u;

  if (threeD) {
    ViewOptions noLabels = options;
    noLabels.showIndices = false;
    style.options = &noLabels;
    for (const PointRow& row : points) {
      const std::size_t n = RecordOf(row);
      if (n >= data.records->size() || !data.Shown(n, options.minIntensity)) continue;
      AppendSpot(scene, (*data.records)[n], s * row[kHorizontal] + cx, s * row[kVertical] + cy, style,
                 data.IntensityOf(n));
    }
    return layout;
  }
  for (const ReflectionRecord& r : *data.records) {
    if (!InZeroLayer(r, data.nDim)) continue;
    const auto n = static_cast<std::size_t>(&r - data.records->data());
    if (!data.Shown(n, options.minIntensity)) continue;
    AppendSpot(scene, r, s * r.x + cx, s * r.y + cy, style, data.IntensityOf(n));
  }
  return layout;
}

}  // namespace lumora
