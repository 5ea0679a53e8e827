#include "powder/least_squares.hpp"

#include <cmath>

namespace lumora {

LinearSolution SolveLeastSquares(const Eigen::MatrixXd& jacobian, const Eigen::VectorXd& residuals,
                                 const Eigen::VectorXd& scale) {
  LinearSolution solution;
  const Eigen::Index p = jacobian.cols();
  const double n = static_cast<double>(std::max<Eigen::Index>(jacobian.rows(), 1));
  // Unit columns: the test for near dependence does not depend on units.
  Eigen::VectorXd unit(p);
  for (Eigen::Index j = 0; j < p; ++j) {
    const double length = jacobian.col(j).norm();
    const double rms = length / std::sqrt(n) * scale(j);
    if (!(rms >= 1e-9) || !std::isfinite(rms)) {
      solution.undetermined = static_cast<int>(j);
      return solution;
    }
    unit(j) = 1.0 / length;
  }
  const Eigen::MatrixXd scaled = jacobian * unit.asDiagonal();
  const Eigen::HouseholderQR<Eigen::MatrixXd> qr(scaled);
  const Eigen::MatrixXd r = qr.matrixQR().topRows(p).triangularView<Eigen::Upper>();
  // Without pivoting, |R_jj| is the distance of column j from the span of the
  // columns before it.
  for (Eigen::Index j = 0; j < p; ++j)
    if (!(std::fabs(r(j, j)) > 1e-6)) {
      solution.undetermined = static_cast<int>(j);
      return solution;
    }
  solution.shift = unit.asDiagonal() * qr.solve(residuals);
  const Eigen::MatrixXd rInverse =
      r.triangularView<Eigen::Upper>().solve(Eigen::MatrixXd::Identity(p, p));
  solution.covariance = unit.asDiagonal() * (rInverse * rInverse.transpose()) * unit.asDiagonal();
  return solution;
}

Eigen::VectorXd Leverages(const Eigen::MatrixXd& jacobian) {
  const Eigen::HouseholderQR<Eigen::MatrixXd> qr(jacobian);
  const Eigen::MatrixXd q = qr.householderQ() * Eigen::MatrixXd::Identity(jacobian.rows(), jacobian.cols());
  return q.rowwise().squaredNorm();
}

}  // namespace lumora
