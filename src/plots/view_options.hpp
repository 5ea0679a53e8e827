// How the spots of both plots look, and the zooms, sliders and colour scheme.
#pragma once

#include "plots/color.hpp"
#include "plots/plot_marks.hpp"

namespace lumora {

enum class ViewFlag {
  FilledSpots,
  HighlightMain,
  HighlightDirections,
  SizeByQi,
  ColorByTheta,
  ColorByQi,
  ShowIndices,
  AreaByIntensity,  // with a structure model only
  GreyByIntensity,
  ScaleBar,         // the marks: off by default, the classic pictures have none
  AxisTicks,
  OrientationMark,  // 3D plot only
  CaptionOnSaved,   // the run's parameters on saved pictures, not on screen
};
inline constexpr int kViewFlagCount = 13;

struct ViewOptions {
  bool filledSpots = true;
  bool highlightMain = false;
  bool highlightDirections = false;
  bool sizeByQi = true;
  bool colorByTheta = false;
  bool colorByQi = false;
  bool showIndices = false;
  // With a structure model: spot area in proportion to the intensity (instead
  // of the 1/qi rule), grey by intensity, and only reflections of at least
  // minIntensity percent of the strongest.
  bool areaByIntensity = false;
  bool greyByIntensity = false;
  double minIntensity = 0.0;
  int backgroundMode = 0;    // 0 black, 1 white, 2 light blue
  int spotRadiusSlider = 10;  // 0..40; the radius factor is a tenth of it
  int layerSlider = 100;      // 1..100, percent of the largest coordinate
  float zoom2D = 1.0f;
  float zoom3D = 1.0f;
  PlotMarks marks;  // scale bar, ticks, orientation, caption: none by default
  bool captionOnSaved = false;

  bool Flag(ViewFlag flag) const;
  // Flips a flag. The colour flags exclude each other, and so do the two size
  // rules: turning one on turns the others off.
  void Toggle(ViewFlag flag);
  float SpotRadiusFactor() const { return static_cast<float>(spotRadiusSlider) / 10.0f; }
};

struct ColorScheme {
  ColorValue back;
  ColorValue fore;
};
ColorScheme BackgroundScheme(int mode);
inline int NextBackgroundMode(int mode) { return (mode + 1) % 3; }

// The drawing factor of a zoom value: the zoom itself when above 0, else
// 1 / |zoom - 1| (so an unset zoom of 0 draws at factor 1).
double ZoomFactor(float zoom);
inline float ZoomIn(float zoom) { return static_cast<float>(static_cast<double>(zoom) * 1.3); }
inline float ZoomOut(float zoom) { return static_cast<float>(static_cast<double>(zoom) / 1.3); }

}  // namespace lumora
