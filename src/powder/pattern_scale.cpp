#include "powder/pattern_scale.hpp"

#include <algorithm>
#include <cmath>
#include <limits>
#include <vector>

namespace lumora {
namespace {

// Weighted sums over the measured points inside the calculated range, with the
// intensities divided by the largest of them (yScale) and the weights by the
// largest weight, so that no sum overflows however large the counts or small
// the sigmas: the scale and background are then yScale times those of the sums.
struct Sums {
  double w = 0, c = 0, y = 0, cc = 0, yc = 0;
  double yScale = 1.0;
};

Sums Accumulate(const Profile& calculated, const MeasuredPattern& measured) {
  Sums s;
  if (measured.intensity.size() != measured.twoTheta.size()) return s;
  const bool weighted = measured.sigma.size() == measured.twoTheta.size();
  struct Point {
    double c, y, sigma;
  };
  std::vector<Point> points;
  double yMax = 0.0, sigmaMin = std::numeric_limits<double>::infinity();
  for (std::size_t i = 0; i < measured.twoTheta.size(); ++i) {
    const double value = InterpolateLinear(calculated.twoTheta, calculated.intensity, measured.twoTheta[i]);
    if (!std::isfinite(value)) continue;
    const double sigma = weighted ? measured.sigma[i] : 1.0;
    points.push_back({value, measured.intensity[i], sigma});
    yMax = std::max(yMax, std::fabs(measured.intensity[i]));
    sigmaMin = std::min(sigmaMin, sigma);
  }
  if (yMax > 0.0 && std::isfinite(yMax)) s.yScale = yMax;
  for (const Point& p : points) {
    const double ratio = sigmaMin / p.sigma;
    const double w = ratio * ratio;
    const double y = p.y / s.yScale;
    s.w += w;
    s.c += w * p.c;
    s.y += w * y;
    s.cc += w * p.c * p.c;
    s.yc += w * y * p.c;
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
  const double scale = s.cc > 0.0 ? s.yScale * (s.yc / s.cc) : 0.0;
  return std::isfinite(scale) ? scale : 0.0;
}

ScaleAndBackground FitScaleAndBackground(const Profile& calculated, const MeasuredPattern& measured) {
  const Sums s = Accumulate(calculated, measured);
  // Normal equations of y = scale c + background.
  const double det = s.cc * s.w - s.c * s.c;
  if (s.w > 0.0 && det > 1e-12 * s.cc * s.w) {
    const ScaleAndBackground fit{s.yScale * ((s.yc * s.w - s.c * s.y) / det), s.yScale * ((s.cc * s.y - s.c * s.yc) / det)};
    if (fit.scale > 0.0 && std::isfinite(fit.scale) && std::isfinite(fit.background)) return fit;
  }
  return {FitScale(calculated, measured), 0.0};
}

}  // namespace lumora
