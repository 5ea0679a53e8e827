// Peak search in a measured powder pattern by the smoothed second derivative:
// a Savitzky-Golay quadratic fit over a window of points gives the second
// derivative at each point; a peak is a minimum of it that stands out of the
// noise, and its position is the centroid of its top.
#pragma once

#include <string>
#include <vector>

#include "inputs/named_inputs.hpp"
#include "powder/measured_pattern.hpp"

namespace lumora {

struct PeakSearchOptions {
  // Points of the fitting window: odd, from 3 (no smoothing beyond the
  // three-point second difference) to kMaxSmoothingPoints.
  int smoothingPoints = 5;
  // In multiples of the noise. A minimum of the second derivative counts when
  // it lies threshold x its noise below 0 and below the highest point on
  // either side before the peak meets its background (or a deeper minimum),
  // and when the peak's top (the mean over the background in its centroid
  // window) stands threshold x the noise of one intensity above it. The noise
  // comes from the sigma column, or, without one, from the scatter of the
  // pattern's second differences (1.4826 x their median absolute value /
  // sqrt 6, the estimate for normal noise).
  double threshold = 3.0;
};

inline constexpr int kMaxSmoothingPoints = static_cast<int>(input::kPeakSmoothing.range.high);

// Why the options cannot be used, naming the value, or an empty string.
std::string CheckPeakSearchOptions(const PeakSearchOptions& options);

struct MeasuredPeak {
  // Degrees: the centroid of the intensity over the background in a window
  // symmetric about it (0.6 of the way to where the peak meets the
  // background), so that a symmetric peak is placed at its centre.
  double twoTheta = 0;
  double intensity = 0;  // the smoothed pattern there, background included
  double height = 0;     // the mean intensity over the background in the centroid window
  double fwhm = 0;       // degrees: the smoothed pattern's width at half its top over the background
};

// Peaks by ascending 2 theta. Nothing for options that fail the check or for a
// pattern shorter than the window; no peak within half a window of either end.
std::vector<MeasuredPeak> FindPeaks(const MeasuredPattern& pattern, const PeakSearchOptions& options);

// The typical width of the peaks: the median FWHM of the ten strongest (by
// height); 0 without peaks.
double TypicalPeakWidth(const std::vector<MeasuredPeak>& peaks);

}  // namespace lumora
