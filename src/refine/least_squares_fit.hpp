// Levenberg-Marquardt for a weighted sum of squares
//   S(v) = sum w_i (y_obs,i - y_calc,i(v))^2
// with every parameter kept within its bounds, run from the given start and
// from further starts; the lowest minimum is the answer, with standard
// uncertainties (inverse normal matrix times S / (N - P)), correlations and the
// other minima found. It refuses when there are no more observations than
// parameters, when the data do not determine a parameter (naming it and the
// parameters it moves with), when no descent converges, and when another
// minimum more than 3 su away has S within 4 S/(N - P) of the best.
#pragma once

#include <atomic>
#include <cstddef>
#include <functional>
#include <random>
#include <string>
#include <vector>

#include <Eigen/Dense>

#include "refine/refine_parameters.hpp"

namespace lumora {

enum class RefinementStatus { Refined, Refused, Cancelled };

// A converged descent that ended elsewhere than the solution.
struct RefinementCandidate {
  std::vector<double> values;  // parallel to the parameters
  double chi2 = 0.0;
  double distanceInSu = 0.0;   // largest |value - solution| / su
};

struct FitModel {
  std::string observationsNoun = "observations";  // for the messages: "reflections", "points"
  Eigen::VectorXd observed;
  std::vector<std::string> names;        // of the parameters, for the messages
  std::vector<ParameterBounds> bounds;   // parallel to names
  // y_calc at v, and its derivatives by v when jacobian is given.
  std::function<Eigen::VectorXd(const Eigen::VectorXd& v, Eigen::MatrixXd* jacobian)> calculate;
  // The weights at y_calc.
  std::function<Eigen::VectorXd(const Eigen::VectorXd& calculated)> weights;
  // Sets parameters a start cannot guess (a linear scale) before a descent; may be empty.
  std::function<void(Eigen::VectorXd& v)> prepare;
  // A further start drawn from the search ranges; may be empty (no search).
  std::function<Eigen::VectorXd(const Eigen::VectorXd& start, std::mt19937& random)> searchStart;
};

struct FitControl {
  int maxIterations = 100;  // per descent
  int searchStarts = 0;
  unsigned seed = 1;
  std::function<void(int iteration, double chi2)> progress;
  const std::atomic<bool>* cancel = nullptr;
};

struct FitResult {
  RefinementStatus status = RefinementStatus::Refused;
  std::string error;
  Eigen::VectorXd values;               // the solution (the start when refused)
  std::vector<double> su;               // 0 at a bound
  std::vector<bool> atBound;
  std::vector<std::size_t> refinedIndex;  // parameters not at a bound
  std::vector<double> correlations;       // row-major over refinedIndex
  Eigen::VectorXd calculated, weights;
  double chi2 = 0.0;
  double gof = 0.0;                     // sqrt(chi2 / (N - P))
  int iterations = 0;
  double maxShiftOverSu = 0.0;
  std::vector<RefinementCandidate> candidates;  // best first
};

Eigen::VectorXd ClampToBounds(Eigen::VectorXd v, const std::vector<ParameterBounds>& bounds);

FitResult FitLeastSquares(const FitModel& model, const Eigen::VectorXd& start, const FitControl& control);

}  // namespace lumora
