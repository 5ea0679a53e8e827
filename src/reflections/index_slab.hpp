// A run restricted to a slab of index space, |normal . h| <= halfWidth: the
// reflections near a plane through the origin, as a zone pattern needs those
// near its Ewald sphere. The bounded walk then skips, index vector by index
// vector, everything outside the slab instead of computing it.
#pragma once

#include <array>
#include <cmath>

#include "reflections/calculation.hpp"

namespace lumora {

struct IndexSlab {
  std::array<double, 6> normal{};  // the first lattice.nDim are used
  double halfWidth = 0.0;          // > 0
};

// Whether h lies in the slab (within kLimitTolerance of its half-width).
inline bool InSlab(const IndexSlab& slab, const std::array<int, 6>& h) {
  double along = 0.0;
  for (std::size_t i = 0; i < h.size(); ++i) along += slab.normal[i] * static_cast<double>(h[i]);
  return std::fabs(along) <= slab.halfWidth * (1.0 + kLimitTolerance);
}

// The run of RunCalculation (bounded walk) keeping only the reflections in
// the slab, in the same order. A half-width that is not a positive number, or
// a normal that is not finite, fails with a message.
CalculationResult RunCalculationInSlab(const CalculationInputs& inputs, const IndexSlab& slab, const RunControl& control = {});

}  // namespace lumora
