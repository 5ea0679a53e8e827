#include "reflections/ellipsoid_bound.hpp"

#include <algorithm>
#include <cmath>
#include <limits>
#include <vector>

#include "common/numeric.hpp"

namespace lumora {
namespace {

// Relative slack on the filter limits and on the ellipsoid's radius, and the
// absolute widening of each index range: far above rounding, far below one index.
constexpr double kLimitSlack = 1e-9;
constexpr double kRadiusSlack = 1e-6;
constexpr double kRangeSlack = 1e-6;

struct Rows {
  std::vector<int> physical;
  std::vector<int> internal;
  double internalScale = 1.0;
};

Rows SplitRows(const Lattice& lattice) {
  if (lattice.nDim == 6) return {{0, 1, 2}, {3, 4, 5}, lattice.a};
  return {{0, 1, 4}, {2, 3}, lattice.yamamoto ? lattice.a : 1.0};
}

double FrobeniusNorm(const Lattice& lattice, const std::vector<int>& rows, double scale) {
  double sum = 0.0;
  for (int r : rows)
    for (int j = 0; j < lattice.nDim; ++j) sum += std::pow(lattice.inverseMatrix[r][j] * scale, 2);
  return std::sqrt(sum);
}

}  // namespace

bool FiltersExcludeEverything(const ReflectionFilter& filter) {
  return filter.thetaHigh <= 0.0 || filter.qiLimit < 0.0 || filter.thetaLow > filter.thetaHigh;
}

std::optional<EllipsoidBound> MakeEllipsoidBound(const Lattice& lattice, const ReflectionFilter& filter) {
  // theta = asin(wavelength qe / 2) / 0.01745329252, so theta <= thetaHigh
  // bounds qe while that angle stays below a right angle.
  const double thetaRadians = filter.thetaHigh * kRadianDivisor;
  if (!(thetaRadians < 1.5707) || !(filter.wavelength > 0.0) || !std::isfinite(filter.qiLimit)) return std::nullopt;
  const Rows rows = SplitRows(lattice);
  const double qeLimit = 2.0 * std::sin(thetaRadians) / filter.wavelength * (1.0 + kLimitSlack);
  // Limits of zero (only the origin's physical part, or only vectors without an
  // internal part) still need a proper ellipsoid: they are kept a little above
  // zero, relative to the size of the basis.
  const double qe = std::max(qeLimit, 1e-4 * FrobeniusNorm(lattice, rows.physical, 1.0));
  const double qi = std::max(filter.qiLimit * (1.0 + kLimitSlack),
                             1e-4 * FrobeniusNorm(lattice, rows.internal, rows.internalScale));
  if (!(qe > 0.0) || !(qi > 0.0)) return std::nullopt;

  const int n = lattice.nDim;
  std::array<std::array<double, 6>, 6> g{};
  for (int i = 0; i < n; ++i) {
    for (int j = 0; j < n; ++j) {
      double physical = 0.0;
      for (int r : rows.physical) physical += lattice.inverseMatrix[r][i] * lattice.inverseMatrix[r][j];
      double internal = 0.0;
      for (int r : rows.internal) internal += lattice.inverseMatrix[r][i] * lattice.inverseMatrix[r][j];
      g[i][j] = physical / (qe * qe) + internal * rows.internalScale * rows.internalScale / (qi * qi);
    }
  }

  // Complete the squares from the innermost index outwards.
  EllipsoidBound bound;
  bound.n = n;
  bound.radius2 = 2.0 * (1.0 + kRadiusSlack);
  double largest = 0.0;
  double smallest = std::numeric_limits<double>::infinity();
  for (int k = n - 1; k >= 0; --k) {
    const double dk = g[k][k];
    if (!(dk > 0.0) || !std::isfinite(dk)) return std::nullopt;
    bound.d[k] = dk;
    for (int j = 0; j < k; ++j) bound.c[k][j] = g[k][j] / dk;
    for (int i = 0; i < k; ++i)
      for (int j = 0; j < k; ++j) g[i][j] -= dk * bound.c[k][i] * bound.c[k][j];
    largest = std::max(largest, dk);
    smallest = std::min(smallest, dk);
  }
  // A form this ill-conditioned could lose vectors to rounding: walk the box instead.
  if (largest / smallest > 1e12) return std::nullopt;
  return bound;
}

IndexRange BoundIndex(const EllipsoidBound& bound, int k, const std::array<int, 6>& h, double partial) {
  double s = 0.0;
  for (int j = 0; j < k; ++j) s += bound.c[k][j] * h[j];
  const double remaining = std::max(bound.radius2 - partial, 0.0);
  const double half = std::sqrt(remaining / bound.d[k]);
  const double slack = kRangeSlack * (1.0 + std::fabs(s));
  IndexRange range;
  range.center = -s;
  const double high = std::floor(-s + half + slack);
  const double low = std::ceil(-s - half - slack);
  // Far outside the 16-bit index range means empty; clamp to keep ints valid.
  range.high = static_cast<int>(std::clamp(high, -1e6, 1e6));
  range.low = static_cast<int>(std::clamp(low, -1e6, 1e6));
  return range;
}

}  // namespace lumora
