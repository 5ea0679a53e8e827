// The normal-equation solver against the closed form of a straight-line fit,
// and its test for parameters the data do not determine.
#include <gtest/gtest.h>

#include <cmath>

#include "common/least_squares.hpp"

namespace lumora {
namespace {

TEST(LeastSquares, StraightLineAgreesWithTheClosedForm) {
  // y = 2 + 0.5 x + a wiggle; the line's slope and intercept from the sums.
  const int n = 9;
  Eigen::MatrixXd j(n, 2);
  Eigen::VectorXd y(n);
  double sx = 0, sy = 0, sxx = 0, sxy = 0;
  for (int i = 0; i < n; ++i) {
    const double x = 1e3 * i;  // units far apart: the scaling must not matter
    j(i, 0) = 1.0;
    j(i, 1) = x;
    y(i) = 2.0 + 0.5 * x + (i % 3 == 0 ? 0.1 : -0.05);
    sx += x, sy += y(i), sxx += x * x, sxy += x * y(i);
  }
  const double det = n * sxx - sx * sx;
  const NormalStep step = SolveNormal(j.transpose() * j, j.transpose() * y);
  ASSERT_EQ(step.undetermined, -1);
  EXPECT_NEAR(step.shift(1), (n * sxy - sx * sy) / det, 1e-12);
  EXPECT_NEAR(step.shift(0), (sxx * sy - sx * sxy) / det, 1e-9);
  EXPECT_NEAR(step.covariance(1, 1), n / det, 1e-12 * n / det);
  EXPECT_NEAR(step.covariance(0, 1), -sx / det, 1e-9 * sx / det);
  // Marquardt's step: (N + mu diag N) shift = right.
  const Eigen::MatrixXd normal = j.transpose() * j;
  const NormalStep damped = SolveNormal(normal, j.transpose() * y, 10.0);
  const Eigen::MatrixXd dampedNormal = normal + 10.0 * Eigen::MatrixXd(normal.diagonal().asDiagonal());
  const Eigen::VectorXd residual = dampedNormal * damped.shift - j.transpose() * y;
  EXPECT_LT(residual.norm(), 1e-9 * (j.transpose() * y).norm());
}

TEST(LeastSquares, NamesTheParameterTheDataDoNotFix) {
  // Columns 0 and 2 move the fit alike: a direction of no information.
  Eigen::MatrixXd j(6, 3);
  for (int i = 0; i < 6; ++i) j.row(i) << 1.0 + i, std::sin(i), 3.0 * (1.0 + i);
  Eigen::VectorXd r = Eigen::VectorXd::LinSpaced(6, 0.0, 1.0);
  const NormalStep step = SolveNormal(j.transpose() * j, j.transpose() * r);
  EXPECT_TRUE(step.undetermined == 0 || step.undetermined == 2);
  EXPECT_GT(std::fabs(step.nullDirection(0)), 0.5);
  EXPECT_GT(std::fabs(step.nullDirection(2)), 0.1);
  EXPECT_LT(std::fabs(step.nullDirection(1)), 1e-6);
  EXPECT_EQ(step.shift.size(), 0);
  // A parameter the fit does not depend on at all.
  j.col(2).setZero();
  EXPECT_EQ(SolveNormal(j.transpose() * j, j.transpose() * r).undetermined, 2);
}

TEST(LeastSquares, FromTheJacobianAStraightLineItsCovarianceAndLeverages) {
  // y = 2 + 0.5 x with small misfits against the closed form of the straight-line fit.
  const double x[] = {1, 2, 4, 5, 8};
  const double y[] = {2.51, 2.98, 4.02, 4.49, 6.01};
  Eigen::MatrixXd j(5, 2);
  Eigen::VectorXd r(5);
  double sx = 0, sxx = 0, sy = 0, sxy = 0;
  for (int i = 0; i < 5; ++i) {
    j(i, 0) = x[i], j(i, 1) = 1.0, r(i) = y[i];
    sx += x[i], sxx += x[i] * x[i], sy += y[i], sxy += x[i] * y[i];
  }
  const double delta = 5 * sxx - sx * sx;
  const NormalStep s = SolveLeastSquares(j, r, Eigen::Vector2d(1.0, 1.0));
  ASSERT_EQ(s.undetermined, -1);
  EXPECT_NEAR(s.shift(0), (5 * sxy - sx * sy) / delta, 1e-12);
  EXPECT_NEAR(s.shift(1), (sxx * sy - sx * sxy) / delta, 1e-12);
  EXPECT_NEAR(s.covariance(0, 0), 5 / delta, 1e-12);
  EXPECT_NEAR(s.covariance(1, 1), sxx / delta, 1e-12);
  EXPECT_NEAR(s.covariance(0, 1), -sx / delta, 1e-12);
  // The leverages of a fit of P parameters add up to P; one of a straight line
  // is 1/n + (x - mean)^2 / Sxx.
  const Eigen::VectorXd h = Leverages(j);
  EXPECT_NEAR(h.sum(), 2.0, 1e-12);
  EXPECT_NEAR(h(4), 0.2 + std::pow(8.0 - sx / 5, 2) / (sxx - sx * sx / 5), 1e-12);

  // A column the others reproduce, and one whose scale moves the fit by
  // nothing worth noticing, are not determined.
  Eigen::MatrixXd twice(5, 3);
  twice << j, 2.0 * j.col(1);
  const int dependent = SolveLeastSquares(twice, r, Eigen::Vector3d(1, 1, 1)).undetermined;
  EXPECT_TRUE(dependent == 1 || dependent == 2) << dependent;
  EXPECT_EQ(SolveLeastSquares(j, r, Eigen::Vector2d(1e-12, 1)).undetermined, 0);
  j.col(0).setZero();
  EXPECT_EQ(SolveLeastSquares(j, r, Eigen::Vector2d(1, 1)).undetermined, 0);
}

}  // namespace
}  // namespace lumora
