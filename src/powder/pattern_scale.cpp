#include "powder/pattern_scale.hpp"

#include <algorithm>
#include <cmath>
#include <limits>

#include "common/least_squares.hpp"

namespace lumora {
namespace {

// Weighted sums over the measured points inside the calculated range.
struct Sums {
  double w = 0, c = 0, y = 0, cc = 0, yc = 0;
};

Sums Accumulate(const Profile& calculated, const MeasuredPattern& measured) {
  Sums s;
  if (measured.intensity.size() != measured.twoTheta.size()) return s;
  const bool weighted = measured.sigma.size() == measured.twoTheta.size();
  for (std::size_t i = 0; i < measured.twoTheta.size(); ++i) {
    const double value = InterpolateLinear(calculated.twoTheta, calculated.intensity, measured.twoTheta[i]);
    if (!std::isfinite(value)) continue;
    const double w = weighted ? 1.0 / (measured.sigma[i] * measured.sigma[i]) : 1.0;
    const double y = measured.intensity[i];
    s.w += w;
    s.c += w * value;
    s.y += w * y;
    s.cc += w * value * value;
    s.yc += w * y * value;
  }
  return s;
}

}  // namespace

double InterpolateLinear(const std::vector<double>& x, const std::vector<double>& y, double at) {
  if (x.size() < 2 || y.size() != x.size() || !(at >= x.front() && at <= x.back()))
    return std::numeric_limits<double>::quiet_NaN();
  // x is ascending: the interval holding at.
  const auto upper = std::upper_bound(x.begin(), x.end(), at);
  const std::size_t k = std::clamp<std::size_t>(static_cast<std::size_t>(upper - x.begin()), 1, x.size() - 1);
  const double span = x[k] - x[k - 1];
  const double f = span > 0.0 ? (at - x[k - 1]) / span : 0.0;
  return y[k - 1] + f * (y[k] - y[k - 1]);
}

double FitScale(const Profile& calculated, const MeasuredPattern& measured) {
  const Sums s = Accumulate(calculated, measured);
  const double scale = s.cc > 0.0 ? s.yc / s.cc : 0.0;
  return std::isfinite(scale) ? scale : 0.0;
}

ScaleAndBackground FitScaleAndBackground(const Profile& calculated, const MeasuredPattern& measured) {
  const Sums s = Accumulate(calculated, measured);
  // Normal equations of y = scale c + background.
  Eigen::Matrix2d normal;
  normal << s.cc, s.c, s.c, s.w;
  const NormalStep step = SolveNormal(normal, Eigen::Vector2d(s.yc, s.y));
  if (step.undetermined < 0) {
    const ScaleAndBackground fit{step.shift(0), step.shift(1)};
    if (fit.scale > 0.0 && std::isfinite(fit.scale) && std::isfinite(fit.background)) return fit;
  }
  return {FitScale(calculated, measured), 0.0};
}

}  // namespace lumora
