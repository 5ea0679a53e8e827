// Where in index space a reflection can pass the theta and qi filters.
//
// The physical length is bounded through the theta maximum and the wavelength,
// the internal length by qi-max; both are quadratic forms of the index vector.
// Every passing vector therefore lies in the ellipsoid
//   |P h|^2 / Qe^2 + |I h|^2 / Qi^2 <= 2,
// which is written, outermost index first, as a sum of squares
//   sum_k d_k (h_k + sum_{j<k} c_kj h_j)^2,
// so that the range of each index follows from the indices outside it.
#pragma once

#include <array>
#include <optional>
#include <string>

#include "lattice/lattice.hpp"
#include "reflections/compute_reflection.hpp"

namespace lumora {

struct EllipsoidBound {
  int n = 5;
  std::array<double, 6> d{};                      // weights of the squares
  std::array<std::array<double, 6>, 6> c{};       // c[k][j], j < k
  double radius2 = 2.0;                           // right-hand side, with a safety margin
};

// The bound for a lattice, the filters and the loop limits. The physical
// length is bounded by the theta maximum and always by the limiting sphere
// (qe <= 2 / wavelength: no reflection lies beyond it), both lengths also by
// the longest vector the box reaches, so a huge qi-max still gives a finite
// ellipsoid. Nothing only when the form is too ill-conditioned to trust (a
// lattice with wildly unequal constants) or the wavelength is not positive.
std::optional<EllipsoidBound> MakeEllipsoidBound(const Lattice& lattice, const ReflectionFilter& filter,
                                                 const std::array<int, 6>& limits);

// The smallest loop limits outside which no index vector passes the filters
// (the theta maximum, always the limiting sphere, and qi-max), whatever the
// loop limits: every passing h has |P h| <= Qe and |I h| <= Qi, hence
// h^T M(t) h <= 1 with M(t) = t P^T P / Qe^2 + (1 - t) I^T I / Qi^2 for every t
// in (0, 1), and so |h_k| <= min over t of sqrt((M(t)^-1)_kk) (a convex
// function of t). The error names the cause when a limit would pass 32767 (a
// huge qi-max) or the filters cannot be bounded.
struct CompleteLimits {
  std::array<int, 6> limits{};  // the first lattice.nDim are set
  std::string error;
};
CompleteLimits CompleteLoopLimits(const Lattice& lattice, const ReflectionFilter& filter);

// How many index vectors a walk of the ellipsoid inside the box can visit:
// upper, a bound (each index takes at most as many values as the ellipsoid is
// wide along it), and volume, the ellipsoid's volume in index space, the likely
// count when the ellipsoid is not thin. Both at most the box.
struct VisitEstimate {
  double upper = 0.0;
  double volume = 0.0;
};
VisitEstimate EstimateVisits(const EllipsoidBound& bound, const std::array<int, 6>& limits);

// True when the filters cannot pass any vector (theta maximum or qi-max below 0).
bool FiltersExcludeEverything(const ReflectionFilter& filter);

// The closed integer range [low, high] of index k given the outer indices
// h[0..k-1] and the sum of their squares, widened by a small margin so that no
// passing vector is lost to rounding. Empty when low > high.
struct IndexRange {
  int low = 0;
  int high = -1;
  double center = 0.0;  // -sum_{j<k} c_kj h_j
};
IndexRange BoundIndex(const EllipsoidBound& bound, int k, const std::array<int, 6>& h, double partial);

}  // namespace lumora
