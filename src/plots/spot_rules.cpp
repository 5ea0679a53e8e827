#include "plots/spot_rules.hpp"

#include <algorithm>
#include <cmath>

#include "common/number_text.hpp"
#include "common/numeric.hpp"

namespace lumora {
namespace {

ColorValue Grey(double level) {
  const int g = static_cast<int>(std::clamp(RoundHalfEven(level), 0.0, 255.0));
  return Rgb(g, g, g);
}

}  // namespace

double GreyStep(const ViewOptions& options, const RunStatistics& stats) {
  if (options.colorByQi) return stats.qiMax > 0.0f ? 200.0 / stats.qiMax : 0.0;
  return stats.thetaMax > 0.0f ? 255.0 / stats.thetaMax : 0.0;
}

SpotStyle ScreenSpotStyle(const ViewOptions& options, ColorScheme colors, const RunStatistics& stats, int nDim,
                          double zoomFactor) {
  SpotStyle style;
  style.options = &options;
  // Filled: discs in the foreground colour without a visible outline; else
  // rings in the foreground colour, filled with the background.
  style.fill = options.filledSpots ? colors.fore : colors.back;
  style.outline = options.filledSpots ? colors.back : colors.fore;
  style.whiteBackgroundGreys = options.backgroundMode == 1;
  style.zoomFactor = zoomFactor;
  style.radiusFactor = options.SpotRadiusFactor();
  style.greyStep = GreyStep(options, stats);
  style.qiMinPositive = stats.qiMinPositive;
  style.nDim = nDim;
  return style;
}

double SpotRadius(const ReflectionRecord& r, const SpotStyle& style, double intensity) {
  if (style.options->areaByIntensity && intensity >= 0.0) {
    // Area in proportion to the intensity: the strongest spot has the radius
    // kStrongestSpotPixels, a spot of a quarter of it half that radius.
    const double base = kStrongestSpotPixels * std::sqrt(std::min(intensity, 100.0) / 100.0) * style.unit;
    return base * style.zoomFactor * style.radiusFactor;
  }
  return SpotRadiusForQi(r.qi, style);
}

std::string IndexLabel(const ReflectionRecord& r, int nDim) {
  std::string label;
  for (int k = 0; k < nDim; ++k) label += SignedWholeText(r.h[static_cast<std::size_t>(k)]);
  return label;
}

ColorValue SpotFill(const ReflectionRecord& r, const SpotStyle& style, double intensity) {
  const ViewOptions& o = *style.options;
  ColorValue fill = style.fill;
  if (o.greyByIntensity && o.filledSpots && intensity >= 0.0) {
    // By amplitude, so that weak reflections stay visible: strong ones light
    // on a dark background, dark on white.
    const double a = std::sqrt(std::min(intensity, 100.0) / 100.0);
    fill = Grey(style.whiteBackgroundGreys ? 200.0 - 200.0 * a : 55.0 + 200.0 * a);
  }
  const double k = style.greyStep;
  if (o.colorByTheta && o.filledSpots)
    fill = Grey(style.whiteBackgroundGreys ? k * r.theta : 255.0 - k * r.theta);
  if (o.colorByQi && o.filledSpots) {
    const double qi = std::fabs(r.qi);
    fill = Grey(style.whiteBackgroundGreys ? k * qi + 55.0 : 255.0 - k * qi);
  }
  if (o.highlightDirections)
    fill = r.planeClass == kFirstFamily ? kGreen : r.planeClass == kSecondFamily ? kBlue : kLightGrey;
  return fill;
}

void AppendSpot(PlotScene& scene, const ReflectionRecord& r, double x, double y, const SpotStyle& style,
                double intensity) {
  const ViewOptions& o = *style.options;
  const double radius = SpotRadius(r, style, intensity);
  scene.circles.push_back(
      SceneCircle{x, y, radius, SpotFill(r, style, intensity), style.outline, style.transparentFill});
  if (o.highlightMain && r.mainFlag != 0) scene.circles.push_back(SceneCircle{x, y, radius, kRed, style.outline, false});
  if (o.showIndices && radius > style.labelThreshold)
    scene.labels.push_back(SceneLabel{x, y, IndexLabel(r, style.nDim), kBlue, scene.circles.size()});
}

}  // namespace lumora
