// Quasiperiodic rhombus tilings with N-fold symmetry by the multigrid method.
#pragma once

#include <array>
#include <cmath>
#include <random>

#include "tiling/tiling.hpp"
#include "tiling/tiling_inputs.hpp"

namespace lumora {

using Matrix2 = std::array<std::array<double, 2>, 2>;

// Truncation toward zero for t >= 0; truncation minus one for t < 0, so a
// negative whole number t gives t - 1.
inline long long FloorInt(double t) {
  const double whole = std::trunc(t);
  return static_cast<long long>(t >= 0.0 ? whole : whole - 1.0);
}

// The inverse by the adjugate; the caller never passes a singular matrix
// (parallel grid pairs are skipped).
Matrix2 InvertMatrix2(const Matrix2& a);

// A uniform number in [0, 1) from one draw of the generator.
double RandomUnit(std::mt19937& random);

// Generates the tiling of the inputs. Every pair of non-parallel grids is
// scanned over line indices -L..L; each intersection becomes one rhombus,
// dropped when a corner lies farther outside the canvas than the margin set by
// the first tile. Corners that land on a pixel not yet white, strictly inside
// the canvas (first row and column excluded), are recorded as unique vertices,
// at most kMaxVertices of them. The random source is drawn only for the
// random shift mode, N numbers per run. Throws std::invalid_argument for
// inputs outside the controls' ranges.
Tiling MakeTiling(const TilingInputs& inputs, std::mt19937& random);

}  // namespace lumora
