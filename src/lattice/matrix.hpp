// The 7 x 7 matrices of the lattice model; only the top-left n x n block is used.
#pragma once

#include <array>

namespace lumora {

using Matrix7 = std::array<std::array<double, 7>, 7>;

// Inverts the top-left n x n block of m in place by Gauss-Jordan elimination
// with full pivoting. The pivot is the last element of largest magnitude in
// row-then-column scan order, and pivot rows are divided by the pivot (not
// multiplied by its reciprocal): both choices fix the last bits of the result.
// There is no singularity check; callers pass non-singular bases.
void InvertMatrix(Matrix7& m, int n);

// Product of the top-left n x n blocks (used to check inverses).
Matrix7 MultiplyMatrix(const Matrix7& left, const Matrix7& right, int n);

}  // namespace lumora
