#include "reflections/ellipsoid_bound.hpp"

#include <Eigen/Dense>
#include <algorithm>
#include <cmath>
#include <limits>
#include <vector>

#include "common/numeric.hpp"

namespace lumora {
namespace {

// Relative slack on the filter limits (above the filters' own tolerance) and
// on the ellipsoid's radius, and the absolute widening of each index range:
// far above rounding, far below one index.
constexpr double kLimitSlack = 10.0 * kLimitTolerance;
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

// The longest |rows h| over the box: at most the sum of the columns' lengths
// times the limits.
double BoxReach(const Lattice& lattice, const std::vector<int>& rows, double scale, const std::array<int, 6>& limits) {
  double reach = 0.0;
  for (int j = 0; j < lattice.nDim; ++j) {
    double column = 0.0;
    for (int r : rows) column += std::pow(lattice.inverseMatrix[r][j] * scale, 2);
    reach += std::sqrt(column) * std::max(limits[static_cast<std::size_t>(j)], 0);
  }
  return reach;
}

}  // namespace

bool FiltersExcludeEverything(const ReflectionFilter& filter) {
  return filter.thetaHigh <= 0.0 || filter.qiLimit < 0.0 || filter.thetaLow > filter.thetaHigh;
}

std::optional<EllipsoidBound> MakeEllipsoidBound(const Lattice& lattice, const ReflectionFilter& filter,
                                                 const std::array<int, 6>& limits) {
  if (!(filter.wavelength > 0.0) || std::isnan(filter.qiLimit) || std::isnan(filter.thetaHigh)) return std::nullopt;
  // theta = asin(wavelength qe / 2) / 0.01745329252, so theta <= thetaHigh
  // bounds qe while that angle stays below a right angle; beyond it the
  // limiting sphere does.
  const double thetaRadians = filter.thetaHigh * kRadianDivisor;
  const double sine = thetaRadians < 1.5707 ? std::sin(thetaRadians) : 1.0;
  const Rows rows = SplitRows(lattice);
  const double slack = 1.0 + kLimitSlack;
  const double normP = FrobeniusNorm(lattice, rows.physical, 1.0);
  const double normI = FrobeniusNorm(lattice, rows.internal, rows.internalScale);
  double qe = std::min(2.0 * sine / filter.wavelength, BoxReach(lattice, rows.physical, 1.0, limits)) * slack;
  double qi = std::min(filter.qiLimit, BoxReach(lattice, rows.internal, rows.internalScale, limits)) * slack;
  // Limits of zero (only the origin's physical part, or only vectors without an
  // internal part) still need a proper ellipsoid: they are kept a little above
  // zero, relative to the size of the basis. Nor may one limit be tiny beside
  // the other, which would make the form too ill-conditioned to trust; raising
  // a limit only widens the ellipsoid.
  qe = std::max(qe, 1e-4 * normP);
  qi = std::max(qi, 1e-4 * normI);
  constexpr double kMaxSpread = 1e5;
  qe = std::max(qe, qi / normI * normP / kMaxSpread);
  qi = std::max(qi, qe / normP * normI / kMaxSpread);
  if (!(qe > 0.0) || !(qi > 0.0) || !std::isfinite(qe) || !std::isfinite(qi)) return std::nullopt;

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
  // A form this ill-conditioned could lose vectors to rounding: the caller
  // walks the box instead.
  if (largest / smallest > 1e12) return std::nullopt;
  return bound;
}

CompleteLimits CompleteLoopLimits(const Lattice& lattice, const ReflectionFilter& filter) {
  CompleteLimits out;
  const int n = lattice.nDim;
  if (FiltersExcludeEverything(filter)) return out;
  if (!(filter.wavelength > 0.0) || !std::isfinite(filter.wavelength) || !std::isfinite(filter.qiLimit)) {
    out.error = "complete orbits need a finite qi-max and a wavelength above 0";
    return out;
  }
  const double thetaRadians = filter.thetaHigh * kRadianDivisor;
  const double sine = thetaRadians < 1.5707 ? std::sin(thetaRadians) : 1.0;
  const Rows rows = SplitRows(lattice);
  const double slack = 1.0 + kLimitSlack;
  // Zero limits are kept a little above zero, as in the walk's ellipsoid.
  const double qe = std::max(2.0 * sine / filter.wavelength * slack, 1e-4 * FrobeniusNorm(lattice, rows.physical, 1.0));
  const double qi =
      std::max(filter.qiLimit * slack, 1e-4 * FrobeniusNorm(lattice, rows.internal, rows.internalScale));

  Eigen::MatrixXd physical = Eigen::MatrixXd::Zero(n, n), internal = Eigen::MatrixXd::Zero(n, n);
  for (int i = 0; i < n; ++i)
    for (int j = 0; j < n; ++j) {
      for (int r : rows.physical) physical(i, j) += lattice.inverseMatrix[r][i] * lattice.inverseMatrix[r][j];
      for (int r : rows.internal)
        internal(i, j) += lattice.inverseMatrix[r][i] * lattice.inverseMatrix[r][j] * rows.internalScale *
                          rows.internalScale;
    }
  physical /= qe * qe;
  internal /= qi * qi;
  auto reach = [&](int k, double t) {
    const Eigen::MatrixXd m = t * physical + (1.0 - t) * internal;
    const Eigen::LDLT<Eigen::MatrixXd> ldlt(m);
    const Eigen::VectorXd x = ldlt.solve(Eigen::VectorXd::Unit(n, k));
    return ldlt.info() == Eigen::Success && x(k) > 0.0 ? x(k) : std::numeric_limits<double>::infinity();
  };
  constexpr double kGolden = 0.6180339887498949;
  for (int k = 0; k < n; ++k) {
    // Golden-section search of the convex reach over t.
    double low = 1e-12, high = 1.0 - 1e-12;
    double left = high - kGolden * (high - low), right = low + kGolden * (high - low);
    double fLeft = reach(k, left), fRight = reach(k, right);
    for (int step = 0; step < 60; ++step) {
      if (fLeft <= fRight) {
        high = right, right = left, fRight = fLeft;
        left = high - kGolden * (high - low);
        fLeft = reach(k, left);
      } else {
        low = left, left = right, fLeft = fRight;
        right = low + kGolden * (high - low);
        fRight = reach(k, right);
      }
    }
    const double limit = std::sqrt(std::min(fLeft, fRight));
    if (!(limit <= 32767.0)) {
      out.error = "complete orbits reach beyond index 32767 (h" + std::to_string(k + 1) + "); lower qi-max";
      return out;
    }
    out.limits[static_cast<std::size_t>(k)] = static_cast<int>(std::floor(limit * (1.0 + 1e-9) + kRangeSlack));
  }
  return out;
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

VisitEstimate EstimateVisits(const EllipsoidBound& bound, const std::array<int, 6>& limits) {
  VisitEstimate e;
  double box = 1.0;
  double upper = 1.0;
  double volume = 1.0;
  for (int k = 0; k < bound.n; ++k) {
    const double side = 2.0 * std::max(limits[static_cast<std::size_t>(k)], 0) + 1.0;
    const double width = 2.0 * std::sqrt(bound.radius2 / bound.d[k]);
    box *= side;
    upper *= std::min(side, std::floor(width + 2.0 * kRangeSlack) + 1.0);
    volume /= std::sqrt(bound.d[k]);
  }
  // The volume of the unit n-ball, pi^(n/2) / Gamma(n/2 + 1), times R^n.
  const double n = bound.n;
  volume *= std::pow(kPi, n / 2.0) / std::tgamma(n / 2.0 + 1.0) * std::pow(bound.radius2, n / 2.0);
  e.upper = std::min(upper, box);
  e.volume = std::min(volume, e.upper);
  return e;
}

}  // namespace lumora
