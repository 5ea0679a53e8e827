// The powder plot's axes: the abscissa as 2 theta, d or q, the ordinate on a
// linear, square-root or logarithmic scale, their tick values, and a polyline
// thinned to what a given number of pixel columns can show.
#pragma once

#include <cstddef>
#include <string>
#include <vector>

namespace lumora {

enum class PowderAxis { TwoTheta = 0, D = 1, Q = 2 };
enum class IntensityScale { Linear = 0, SquareRoot = 1, Log = 2 };

// 2 theta in degrees; d in A; q = 4 pi sin(theta) / lambda in 1/A. The value
// is NaN where it has none (d at 2 theta = 0, anything outside 0 < 2 theta < 180).
double AxisFromTwoTheta(double twoTheta, double wavelength, PowderAxis axis);
// The inverse; NaN where Bragg's law has no angle (lambda / 2d > 1).
double TwoThetaFromAxis(double value, double wavelength, PowderAxis axis);
// "2θ (°)", "d (Å)", "q (1/Å)" in UTF-8.
std::string AxisTitle(PowderAxis axis);

// The log scale shows log10(max(I, floor)), with floor at least a fixed
// fraction of the largest intensity on show, so zeros and noise below it sit
// on the floor.
inline constexpr double kLogFloorFraction = 1e-4;
double ScaleIntensity(double intensity, IntensityScale scale, double logFloor);
double UnscaleIntensity(double shown, IntensityScale scale);

// At most about maxTicks round values (1, 2 or 5 times a power of ten apart)
// within [low, high], ascending; empty for an empty or non-finite range.
std::vector<double> NiceTicks(double low, double high, int maxTicks);
// The tick step NiceTicks uses, for choosing the labels' decimals.
double NiceTickStep(double low, double high, int maxTicks);

// A visible abscissa range and the zoom and pan the plot offers.
struct AxisRange {
  double low = 0.0;
  double high = 1.0;
  double width() const { return high - low; }
};
// Zooms by factor (> 1 narrows) about the value at, kept inside limits.
AxisRange ZoomRange(const AxisRange& range, double at, double factor, const AxisRange& limits);
// Moves by delta, kept inside limits (the width stays).
AxisRange PanRange(const AxisRange& range, double delta, const AxisRange& limits);

// A curve reduced to at most four points per pixel column (first, lowest,
// highest, last), in the order of x: what a polyline of width columns over
// [range.low, range.high] can show, whatever the number of samples. x must
// be monotonic (ascending or descending); points outside the range are kept
// only as the neighbours that carry the line to the edge.
struct Polyline {
  std::vector<double> x, y;
};
Polyline ThinForColumns(const std::vector<double>& x, const std::vector<double>& y, const AxisRange& range,
                        std::size_t columns);

}  // namespace lumora
