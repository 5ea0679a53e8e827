#include "powder/pattern_scale.hpp"

#include <algorithm>
#include <cmath>

namespace lumora {

double FitScale(const Profile& calculated, const MeasuredPattern& measured) {
  const std::vector<double>& x = calculated.twoTheta;
  const std::vector<double>& c = calculated.intensity;
  if (x.size() < 2 || c.size() != x.size() || measured.intensity.size() != measured.twoTheta.size()) return 0.0;
  const bool weighted = measured.sigma.size() == measured.twoTheta.size();
  double yc = 0.0, cc = 0.0;
  for (std::size_t i = 0; i < measured.twoTheta.size(); ++i) {
    const double t = measured.twoTheta[i];
    if (!(t >= x.front() && t <= x.back())) continue;
    // The calculated grid is ascending: the interval holding t.
    const auto upper = std::upper_bound(x.begin(), x.end(), t);
    const std::size_t k = std::min(static_cast<std::size_t>(upper - x.begin()), x.size() - 1);
    const double span = x[k] - x[k - 1];
    const double f = span > 0.0 ? (t - x[k - 1]) / span : 0.0;
    const double value = c[k - 1] + f * (c[k] - c[k - 1]);
    const double w = weighted ? 1.0 / (measured.sigma[i] * measured.sigma[i]) : 1.0;
    yc += w * measured.intensity[i] * value;
    cc += w * value * value;
  }
  const double s = cc > 0.0 ? yc / cc : 0.0;
  return std::isfinite(s) ? s : 0.0;
}

}  // namespace lumora
