// Linear least squares for a few parameters (a step of Gauss-Newton): Eigen's
// Householder QR of the Jacobian with its columns scaled to unit length, and
// the covariance (J^T J)^-1 from the triangular factor, with a test for
// parameters the data do not determine.
#pragma once

#include <Eigen/Dense>

namespace lumora {

struct LinearSolution {
  Eigen::VectorXd shift;       // minimises |r - J shift|^2
  Eigen::MatrixXd covariance;  // (J^T J)^-1
  int undetermined = -1;       // the first parameter the data do not determine, or -1
};

// jacobian: n x P; residuals: n. scale: per parameter, a change the data
// should notice (a lattice constant itself, 1 degree for a zero shift); a
// parameter whose scale moves the fit by less than 1e-9 rms, or whose column
// the earlier ones reproduce to within 1e-6 of its length, is undetermined and
// nothing else is set.
LinearSolution SolveLeastSquares(const Eigen::MatrixXd& jacobian, const Eigen::VectorXd& residuals,
                                 const Eigen::VectorXd& scale);

// The leverage of each observation, the diagonal of J (J^T J)^-1 J^T (from
// the thin Q of the QR): how much an observation pulls the fit towards itself,
// 0 to 1. jacobian must have full column rank.
Eigen::VectorXd Leverages(const Eigen::MatrixXd& jacobian);

}  // namespace lumora
