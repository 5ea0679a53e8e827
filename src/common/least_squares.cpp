#include "common/least_squares.hpp"

#include <algorithm>
#include <cmath>

namespace lumora {

NormalStep SolveNormal(const Eigen::MatrixXd& normal, const Eigen::VectorXd& right, double damping, double tolerance) {
  NormalStep step;
  const Eigen::Index p = normal.rows();
  Eigen::VectorXd unit(p);
  for (Eigen::Index j = 0; j < p; ++j) {
    const double d = normal(j, j);
    if (!(d > 0.0) || !std::isfinite(d)) {
      step.undetermined = static_cast<int>(j);
      step.nullDirection = Eigen::VectorXd::Unit(p, j);
      return step;
    }
    unit(j) = 1.0 / std::sqrt(d);
  }
  // Unit diagonal: the eigenvalues then measure how independent the parameters are.
  const Eigen::MatrixXd scaled = unit.asDiagonal() * normal * unit.asDiagonal();
  const Eigen::SelfAdjointEigenSolver<Eigen::MatrixXd> eigen(scaled);
  if (eigen.info() != Eigen::Success || !(eigen.eigenvalues()(0) >= tolerance)) {
    // In units of each parameter's effect on the fit, where their shares compare.
    const Eigen::VectorXd direction = eigen.info() == Eigen::Success ? Eigen::VectorXd(eigen.eigenvectors().col(0))
                                                                      : Eigen::VectorXd::Unit(p, 0);
    Eigen::Index largest = 0;
    direction.cwiseAbs().maxCoeff(&largest);
    step.undetermined = static_cast<int>(largest);
    step.nullDirection = direction;
    return step;
  }
  const Eigen::VectorXd inverseValues = eigen.eigenvalues().cwiseInverse();
  const Eigen::MatrixXd& v = eigen.eigenvectors();
  step.covariance = unit.asDiagonal() * (v * inverseValues.asDiagonal() * v.transpose()) * unit.asDiagonal();
  const Eigen::VectorXd b = unit.asDiagonal() * right;
  // Marquardt's damping on the unit diagonal adds the same value to every eigenvalue.
  const Eigen::VectorXd dampedInverse = (eigen.eigenvalues().array() + damping).inverse().matrix();
  step.shift = unit.asDiagonal() * (v * (dampedInverse.asDiagonal() * (v.transpose() * b)));
  return step;
}

NormalStep SolveLeastSquares(const Eigen::MatrixXd& jacobian, const Eigen::VectorXd& residuals,
                             const Eigen::VectorXd& scale) {
  const Eigen::Index p = jacobian.cols();
  const double n = static_cast<double>(std::max<Eigen::Index>(jacobian.rows(), 1));
  for (Eigen::Index j = 0; j < p; ++j) {
    const double rms = jacobian.col(j).norm() / std::sqrt(n) * scale(j);
    if (!(rms >= 1e-9) || !std::isfinite(rms)) {
      NormalStep step;
      step.undetermined = static_cast<int>(j);
      step.nullDirection = Eigen::VectorXd::Unit(p, j);
      return step;
    }
  }
  return SolveNormal(jacobian.transpose() * jacobian, jacobian.transpose() * residuals);
}

Eigen::VectorXd Leverages(const Eigen::MatrixXd& jacobian) {
  const Eigen::HouseholderQR<Eigen::MatrixXd> qr(jacobian);
  const Eigen::MatrixXd q = qr.householderQ() * Eigen::MatrixXd::Identity(jacobian.rows(), jacobian.cols());
  return q.rowwise().squaredNorm();
}

}  // namespace lumora
