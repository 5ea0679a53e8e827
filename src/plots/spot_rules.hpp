// The look of one reflection's spot: fill and outline by the view options,
// its radius, the red redraw of a main reflection and the index label. Shared
// by the zero-layer plot, the 3D plot and the printouts.
#pragma once

#include <cmath>

#include "plots/plot_scene.hpp"
#include "plots/view_options.hpp"
#include "reflections/calculation.hpp"
#include "reflections/reflection_record.hpp"

namespace lumora {

struct SpotStyle {
  const ViewOptions* options = nullptr;
  ColorValue fill = kWhite;     // fill and outline before any colour rule
  ColorValue outline = kBlack;
  bool transparentFill = false;  // rings on paper
  bool whiteBackgroundGreys = false;  // the grey ramps of the white background
  double unit = kTwipsPerPixel;  // one pixel of the target, in scene units
  double zoomFactor = 1.0;
  float radiusFactor = 1.0f;
  double greyStep = 0.0;         // 255 / ThetaMax, or 200 / QiMax when colouring by qi
  float qiMinPositive = 10.0f;
  int nDim = 5;
  double labelThreshold = 30.0;  // labels only on spots larger than this radius
};

// A style for a screen picture with the given colours; greyStep from the run.
SpotStyle ScreenSpotStyle(const ViewOptions& options, ColorScheme colors, const RunStatistics& stats, int nDim,
                          double zoomFactor);

// Adds the spot of record r centred at (x, y): its circle, the red circle of
// a main reflection and its label, in that order. intensity is the record's
// percentage of the strongest reflection, or negative without a model.
void AppendSpot(PlotScene& scene, const ReflectionRecord& r, double x, double y, const SpotStyle& style,
                double intensity = -1.0);

// The radius of a record's spot in scene units, and the same from its qi alone.
double SpotRadius(const ReflectionRecord& r, const SpotStyle& style, double intensity = -1.0);
// Inline: the painter calls it once per spot.
inline double SpotRadiusForQi(float qiValue, const SpotStyle& style) {
  double base = 4.0 * style.unit;
  if (style.options->sizeByQi) {
    const double qi = qiValue == 0.0f ? style.qiMinPositive : std::fabs(qiValue);
    base = (1.0 / (2.0 * qi) + 1.0) * style.unit;
  }
  return base * style.zoomFactor * style.radiusFactor;
}

// The fill of a record's spot by the colour rules.
ColorValue SpotFill(const ReflectionRecord& r, const SpotStyle& style, double intensity = -1.0);

// The radius of the strongest spot with "Spot Area ~ Intensity", pixels.
inline constexpr double kStrongestSpotPixels = 12.0;

// " 2 0-1 1 0": every index with a leading blank, or a minus for negative ones.
std::string IndexLabel(const ReflectionRecord& r, int nDim);

// The grey step of the colour rules: 255 / ThetaMax, or 200 / QiMax with
// colour by qi; 0 when the maximum is 0.
double GreyStep(const ViewOptions& options, const RunStatistics& stats);

}  // namespace lumora
