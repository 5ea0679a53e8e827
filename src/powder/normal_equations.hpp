// Linear least squares for a few parameters through the normal equations
// (common/least_squares.hpp, with Eigen), with a test for parameters the data
// do not determine.
#pragma once

#include <cstddef>
#include <vector>

namespace lumora {

struct NormalSolution {
  std::vector<double> shift;       // minimises |r - J shift|^2
  std::vector<double> covariance;  // (J^T J)^-1, row-major P x P
  int undetermined = -1;           // a parameter the data do not determine, or -1
};

// jacobian: n rows of P values; residuals: n values. scale: per parameter, a
// change the data should notice (a lattice constant itself, 1 degree for a
// zero shift); a parameter whose scale moves the fit by less than 1e-9 rms, or
// that the others nearly reproduce (an eigenvalue below 1e-12 of the matrix
// scaled to unit diagonal), is undetermined and nothing else is set.
NormalSolution SolveNormalEquations(const std::vector<std::vector<double>>& jacobian,
                                    const std::vector<double>& residuals, const std::vector<double>& scale);

}  // namespace lumora
