// Indexing of observed powder peaks against the run's lines and least-squares
// refinement of a (and c) and the zero shift on 2 theta:
//   2 theta_obs = 2 asin(lambda q(a, c) / 2) + zero,  q^2 = axy / a^2 + az / c^2
// (see scalable_lines.hpp), by Gauss-Newton with the indexing redone until it
// no longer changes. Standard uncertainties from the inverse normal matrix
// times the residual variance sum r^2 / (N - P).
#pragma once

#include <array>
#include <string>
#include <vector>

#include "powder/powder_lines.hpp"
#include "reflections/calculation.hpp"

namespace lumora {

struct RefineOptions {
  bool refineA = true, refineC = false, refineZero = true;
  double tolerance = 0.1;  // degrees 2 theta: a peak indexes the nearest line within this
  int maxIterations = 50;  // Gauss-Newton steps in all
  double zero = 0.0;       // start value of the zero shift, degrees 2 theta
  // The refined constants are first looked for within this relative change
  // of the start (see refinement_start.hpp); 0 starts at the given values.
  double searchRange = 0.02;
  // K-alpha2 in A when the pattern shows a resolved doublet (the run's
  // wavelength then being K-alpha1): a peak may also index a line's K-alpha2
  // position. 0: one wavelength.
  double secondWavelength = 0.0;
};

struct IndexedPeak {
  double observed = 0, calculated = 0, difference = 0;  // 2 theta, degrees; calculated includes the zero shift
  std::array<int, 6> index{};  // first index vector of the matched line
  int multiplicity = 0;
  double d = 0;  // calculated d of the line, A
  bool secondWavelength = false;  // indexed as the line's K-alpha2 peak
};

// The figure of merit: F(N) of Smith and Snyder, (N / Nposs) / mean |d2theta|,
// N the observed peaks, Nposs the calculated lines up to the last of them, an
// unindexed peak counted with |d2theta| = the tolerance, and the mean kept
// from falling below 1e-6 degrees. Larger is better.
inline constexpr const char* kFigureOfMeritName = "F(N) (Smith-Snyder)";

struct RefinementResult {
  // Empty when fine, else why not: "fewer than 3 peaks", "did not converge ...",
  // "singular normal matrix: ...". Then a, c and zero are the start values
  // (su 0) and indexed/unindexed the indexing there, where it could be made.
  std::string error;
  double a = 0, aSu = 0, c = 0, cSu = 0, zero = 0, zeroSu = 0;  // unrefined ones: the start value, su 0
  double figureOfMerit = 0;
  std::string figureOfMeritName = kFigureOfMeritName;
  double meanDifference = 0;  // mean |d2theta| of F(N), degrees
  int possibleLines = 0;      // Nposs of F(N)
  std::vector<IndexedPeak> indexed;  // by observed 2 theta
  std::vector<double> unindexed;     // observed 2 theta of peaks with no line within the tolerance
  int iterations = 0;                // Gauss-Newton steps taken
};

// observedTwoTheta in degrees (any order). inputs: the run's inputs (system, a,
// c, wavelength, ...); records: the run's reflections at inputs.a and
// inputs.c, or empty to run the calculation here. The lines are merged by
// lineOptions and keep their indices while a and c move; c stays at
// inputs.c for the icosahedral system, which has none.
RefinementResult RefineLattice(const std::vector<double>& observedTwoTheta, const CalculationInputs& inputs,
                               const std::vector<ReflectionRecord>& records, const LineOptions& lineOptions,
                               const RefineOptions& options);

}  // namespace lumora
