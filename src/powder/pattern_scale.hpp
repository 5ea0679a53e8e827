// The scale that brings a simulated powder profile onto a measured pattern.
#pragma once

#include <vector>

#include "powder/measured_pattern.hpp"
#include "powder/powder_profile.hpp"

namespace lumora {

// Least-squares scale s (and nothing else) so that s * calculated matches
// measured at the measured points: s = sum w y c / sum w c^2, with c the
// calculated profile interpolated linearly onto the measured 2 theta and w =
// 1/sigma^2 when the pattern has sigmas (else 1). Points outside the
// calculated range are ignored. 0 when no point overlaps or the profile is 0
// there.
double FitScale(const Profile& calculated, const MeasuredPattern& measured);

// The same with a constant background b: measured ~ scale * calculated + b,
// by weighted linear least squares. Falls back to FitScale with b = 0 when the
// calculated profile is flat over the measured points or the scale would not
// be positive.
struct ScaleAndBackground {
  double scale = 0.0;
  double background = 0.0;
};
ScaleAndBackground FitScaleAndBackground(const Profile& calculated, const MeasuredPattern& measured);

// y at x = at, linear between the samples of ascending x; NaN outside [x.front(), x.back()].
double InterpolateLinear(const std::vector<double>& x, const std::vector<double>& y, double at);

}  // namespace lumora
