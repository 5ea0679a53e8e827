// Single-crystal structure refinement: weighted least squares on F^2,
//   minimise sum w (I_obs - I_calc)^2,  w = 1 / (sigma^2 + (a P)^2 + b P),
//   P = (max(I_obs, 0) + 2 I_calc) / 3   (a = b = 0: w = 1/sigma^2),
// by Levenberg-Marquardt (refine/least_squares_fit.hpp) with the analytic
// derivatives of refine/calculated_intensities.hpp, within the bounds.
// Reports R1 (on F, reflections with I_obs > 2 sigma), wR2, the goodness of
// fit, each parameter with its standard uncertainty (from the inverse normal
// matrix times GoF^2), the correlations and the reflections that fit worst.
// The descent runs from the given start and from starts spread over the
// parameters' search ranges; the lowest minimum is the answer. It refuses
// (status Refused, with the reason) when there are no more observations than
// parameters, when the data do not determine a parameter (naming it and the
// parameters it moves with), when no descent converges, and when another
// minimum more than 3 su away fits within 4 GoF^2 of the best (two solutions
// the data cannot tell apart).
#pragma once

#include <atomic>
#include <complex>
#include <cstddef>
#include <functional>
#include <string>
#include <vector>

#include "intensity/radiation.hpp"
#include "refine/least_squares_fit.hpp"
#include "refine/merging.hpp"
#include "refine/refine_parameters.hpp"

namespace lumora {

struct Weighting {
  double a = 0.0;  // SHELX's a and b; both 0: w = 1/sigma^2
  double b = 0.0;
};

struct RefinementSetup {
  Lattice lattice;
  double wavelength = 0.0;  // A
  RadiationKind radiation = RadiationKind::XRay;  // whose scattering factors F takes
  ModelState start;
  std::vector<FreeParameter> free;
  MergedData data;
  Weighting weighting;
  int maxIterations = 100;  // per descent
  // Besides the given start, descents from this many starts drawn over the
  // search ranges (occupancy 0.2-1, B_par 0-3 A^2 and B_perp 0-5 A^2 or twice
  // the start, sizes 0.75-1.33 times the start), with the seed below.
  int searchStarts = 6;
  unsigned searchSeed = 1;
  // Called after every iteration with its number and the weighted sum of squares.
  std::function<void(int iteration, double chi2)> progress;
  const std::atomic<bool>* cancel = nullptr;
};

struct RefinedValue {
  std::string name;     // "b_perp:Al1" ("b_perp:Al1=b_perp:Al2" for an equality)
  ParameterKind kind = ParameterKind::Scale;
  double start = 0.0;
  double value = 0.0;
  double su = 0.0;      // 0 at a bound
  bool atBound = false; // held at its bound (occupancy 0 or 1, B 0, ...), not counted as refined
};

struct FittedReflection {
  IndexVector h{};
  double observed = 0.0, sigma = 0.0, calculated = 0.0, weight = 0.0;
  double resolution = 0.0;        // sin theta / lambda, 1/A
  std::complex<double> f;         // the model's F (no scale, no extinction) of h
  std::size_t members = 1;        // measurements merged into it
};

// What every refinement reports of its fit: the verdict, each parameter with
// its su, the correlations and the other minima.
struct FittedParameters {
  RefinementStatus status = RefinementStatus::Refused;
  std::string error;  // why it refused
  ModelState refined; // the start values when refused
  RadiationKind radiation = RadiationKind::XRay;  // the setup's
  std::vector<RefinedValue> parameters;  // in the order of setup.free
  // Correlation coefficients of the refined parameters (those not at a bound),
  // row-major over parameters[] indices in refinedIndex.
  std::vector<std::size_t> refinedIndex;
  std::vector<double> correlations;
  std::size_t refinedParameters = 0;   // not at a bound
  int iterations = 0;
  double maxShiftOverSu = 0.0;         // of the last step
  std::vector<RefinementCandidate> candidates;  // the other minima the search found, best first
};

// Takes the fit's iterations, candidates and, when it refused, its verdict
// (false); otherwise the values, su, bounds and correlations, and the refined
// state from start (true). The status stays for the caller to set.
bool TakeFit(const FitResult& fit, const ModelState& start, const std::vector<FreeParameter>& free,
             FittedParameters& out);

struct RefinementOutcome : FittedParameters {
  double r1 = 0.0, wR2 = 0.0, gof = 0.0;
  std::size_t observations = 0;        // merged reflections fitted
  std::size_t strongObservations = 0;  // those with I_obs > 2 sigma (R1)
  double chi2 = 0.0;                   // sum w (I_obs - I_calc)^2
  std::vector<FittedReflection> reflections;  // in the data's order
  std::vector<std::size_t> worst;      // up to 20 reflections by w (I_obs - I_calc)^2, worst first
};

// Correlations above this in size are flagged.
inline constexpr double kHighCorrelation = 0.9;

RefinementOutcome RefineStructure(const RefinementSetup& setup);

// The state with the free parameters (each equality's members alike) set to v.
ModelState StateAt(const ModelState& start, const std::vector<FreeParameter>& free, const Eigen::VectorXd& v);

// A search start: the structure parameters drawn from their search ranges,
// the others as in start.
Eigen::VectorXd StructureSearchStart(const std::vector<FreeParameter>& free, const Eigen::VectorXd& start,
                                     std::mt19937& random);

}  // namespace lumora
