#include "powder/normal_equations.hpp"

#include <cmath>

namespace lumora {

NormalSolution SolveNormalEquations(const std::vector<std::vector<double>>& jacobian,
                                    const std::vector<double>& residuals, const std::vector<double>& scale) {
  NormalSolution solution;
  const std::size_t p = scale.size();
  const std::size_t n = residuals.size();
  std::vector<double> normal(p * p, 0.0), right(p, 0.0);
  for (std::size_t i = 0; i < n; ++i)
    for (std::size_t j = 0; j < p; ++j) {
      right[j] += jacobian[i][j] * residuals[i];
      for (std::size_t k = 0; k < p; ++k) normal[j * p + k] += jacobian[i][j] * jacobian[i][k];
    }

  // Unit diagonal: the test for near dependence does not depend on units.
  std::vector<double> unit(p);
  for (std::size_t j = 0; j < p; ++j) {
    const double rms = std::sqrt(normal[j * p + j] / static_cast<double>(n ? n : 1)) * scale[j];
    if (!(rms >= 1e-9) || !std::isfinite(rms)) {
      solution.undetermined = static_cast<int>(j);
      return solution;
    }
    unit[j] = 1.0 / std::sqrt(normal[j * p + j]);
  }
  std::vector<double> l(p * p, 0.0);  // Cholesky factor of the scaled matrix
  for (std::size_t j = 0; j < p; ++j) {
    for (std::size_t k = 0; k <= j; ++k) {
      double sum = normal[j * p + k] * unit[j] * unit[k];
      for (std::size_t m = 0; m < k; ++m) sum -= l[j * p + m] * l[k * p + m];
      if (k == j) {
        if (!(sum > 1e-12)) {
          solution.undetermined = static_cast<int>(j);
          return solution;
        }
        l[j * p + j] = std::sqrt(sum);
      } else {
        l[j * p + k] = sum / l[k * p + k];
      }
    }
  }
  // Solves L L^T x = b for the scaled system.
  auto solve = [&](std::vector<double> b) {
    for (std::size_t j = 0; j < p; ++j) {
      for (std::size_t m = 0; m < j; ++m) b[j] -= l[j * p + m] * b[m];
      b[j] /= l[j * p + j];
    }
    for (std::size_t j = p; j-- > 0;) {
      for (std::size_t m = j + 1; m < p; ++m) b[j] -= l[m * p + j] * b[m];
      b[j] /= l[j * p + j];
    }
    return b;
  };
  std::vector<double> b(p);
  for (std::size_t j = 0; j < p; ++j) b[j] = right[j] * unit[j];
  solution.shift = solve(b);
  for (std::size_t j = 0; j < p; ++j) solution.shift[j] *= unit[j];
  solution.covariance.assign(p * p, 0.0);
  for (std::size_t k = 0; k < p; ++k) {
    std::vector<double> e(p, 0.0);
    e[k] = 1.0;
    const std::vector<double> column = solve(e);
    for (std::size_t j = 0; j < p; ++j) solution.covariance[j * p + k] = column[j] * unit[j] * unit[k];
  }
  return solution;
}

}  // namespace lumora
