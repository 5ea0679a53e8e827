#include "powder/normal_equations.hpp"

#include <cmath>

#include "common/least_squares.hpp"

namespace lumora {

NormalSolution SolveNormalEquations(const std::vector<std::vector<double>>& jacobian,
                                    const std::vector<double>& residuals, const std::vector<double>& scale) {
  NormalSolution solution;
  const Eigen::Index p = static_cast<Eigen::Index>(scale.size());
  const Eigen::Index n = static_cast<Eigen::Index>(residuals.size());
  Eigen::MatrixXd j(n, p);
  Eigen::VectorXd r(n);
  for (Eigen::Index i = 0; i < n; ++i) {
    r(i) = residuals[static_cast<std::size_t>(i)];
    for (Eigen::Index k = 0; k < p; ++k) j(i, k) = jacobian[static_cast<std::size_t>(i)][static_cast<std::size_t>(k)];
  }
  const Eigen::MatrixXd normal = j.transpose() * j;
  // A parameter whose typical change moves the fit by next to nothing is not determined.
  for (Eigen::Index k = 0; k < p; ++k) {
    const double rms = std::sqrt(normal(k, k) / static_cast<double>(n ? n : 1)) * scale[static_cast<std::size_t>(k)];
    if (!(rms >= 1e-9) || !std::isfinite(rms)) {
      solution.undetermined = static_cast<int>(k);
      return solution;
    }
  }
  const NormalStep step = SolveNormal(normal, j.transpose() * r);
  if (step.undetermined >= 0) {
    solution.undetermined = step.undetermined;
    return solution;
  }
  solution.shift.assign(step.shift.data(), step.shift.data() + p);
  solution.covariance.resize(static_cast<std::size_t>(p * p));
  for (Eigen::Index a = 0; a < p; ++a)
    for (Eigen::Index b = 0; b < p; ++b) solution.covariance[static_cast<std::size_t>(a * p + b)] = step.covariance(a, b);
  return solution;
}

}  // namespace lumora
