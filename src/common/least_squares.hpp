// Linear least squares through the normal equations, solved with Eigen: the
// step of a Gauss-Newton or Levenberg-Marquardt iteration, the covariance of
// the parameters, and the test for parameters the data do not determine; from
// the normal matrix or from the Jacobian, and the observations' leverages.
#pragma once

#include <Eigen/Dense>

namespace lumora {

struct NormalStep {
  Eigen::VectorXd shift;       // solves (N + damping diag N) shift = right
  Eigen::MatrixXd covariance;  // N^-1 (undamped)
  // A parameter the data do not determine, or -1: one whose column of N is
  // zero, or the largest component of a direction along which N vanishes.
  int undetermined = -1;
  // That direction, unit length, each parameter in units of its effect on the
  // fit (N scaled to unit diagonal); empty when all are determined.
  Eigen::VectorXd nullDirection;
};

// normal: N = J^T W J (symmetric, P x P); right: J^T W r. The test runs on N
// scaled to unit diagonal, so it does not depend on the parameters' units: a
// zero or non-finite diagonal element, or an eigenvalue of the scaled matrix
// below tolerance, leaves the parameter undetermined and shift and
// covariance empty. damping >= 0 is Marquardt's factor on the diagonal.
NormalStep SolveNormal(const Eigen::MatrixXd& normal, const Eigen::VectorXd& right, double damping = 0.0,
                       double tolerance = 1e-12);

// The undamped step that minimises |residuals - jacobian shift|^2 (n x P
// jacobian), with covariance (J^T J)^-1. scale: per parameter, a change the
// data should notice (a lattice constant itself, 1 degree for a zero shift);
// a parameter whose scale moves the fit by less than 1e-9 rms is undetermined,
// and so is one whose column the others reproduce (SolveNormal's test).
NormalStep SolveLeastSquares(const Eigen::MatrixXd& jacobian, const Eigen::VectorXd& residuals,
                             const Eigen::VectorXd& scale);

// The leverage of each observation, the diagonal of J (J^T J)^-1 J^T (from
// the thin Q of Eigen's QR): how much an observation pulls the fit towards
// itself, 0 to 1. jacobian must have full column rank.
Eigen::VectorXd Leverages(const Eigen::MatrixXd& jacobian);

}  // namespace lumora
