// Least-squares refinement of one cell against observed powder peaks, on 2 theta:
//   2 theta_obs = 2 asin(lambda q(a, c) / 2) + zero,  q^2 = axy / a^2 + az / c^2
// (scalable_lines.hpp), lambda the wavelength of the position the peak is
// indexed by (K-alpha1, K-alpha2 or their blend, line_sticks.hpp). Gauss-Newton,
// each step by the normal equations with Eigen (common/least_squares.hpp), the
// indexing redone until it no longer changes; from a rough start the low-angle
// peaks come first.
// Ambiguous peaks are left out of the fit while at least P + 2 others remain
// (P parameters): their line is not certain; so are peaks whose position the
// other half of a K-alpha doublet or a close line disturbs (line_sticks.hpp),
// and outliers, peaks that would lie more than 4 sigma (from the median, at
// least a tenth of the tolerance) off their lines were they left out of the
// fit, as a wrong line would leave them. Standard uncertainties from
// (J^T J)^-1 times the residual variance sum r^2 / (N - P).
// The refined values must stay within the bounds given (the searched range);
// a fit that runs past one is refused naming the parameter.
#pragma once

#include <string>
#include <vector>

#include "powder/line_sticks.hpp"

namespace lumora {

struct RefineSettings {
  bool refineA = true, refineC = false, refineZero = true;
  bool hasC = true;           // an axial system
  double tolerance = 0.1;     // degrees 2 theta
  int maxIterations = 50;     // Gauss-Newton steps of one fit (of one indexing)
  double low = 0.0, high = 180.0;  // the measured range, degrees 2 theta
  double fwhm = 0.1;               // of the peaks, degrees: where a doublet is resolved
  // The start's relative error in a and c: the fit begins with the peaks it
  // leaves within half the tolerance of their lines and reaches further as
  // the cell's uncertainty shrinks. 0: every peak at once.
  double startUncertainty = 0.0;
  double monochromatorTwoTheta = 0.0;
  // Bounds of the refined values (A, A, degrees).
  double aLow = 0.0, aHigh = 1e300, cLow = 0.0, cHigh = 1e300, zeroLow = -1e300, zeroHigh = 1e300;
};

struct RefinedCell {
  // Empty when fine, else why not ("only 2 of 12 peaks indexed ...", "did not
  // converge ...", "singular normal matrix: ...", "a = 2.9 ran past ...").
  std::string error;
  double a = 0, c = 0, zero = 0;
  double aSu = 0, cSu = 0, zeroSu = 0;  // 0 for a parameter not refined
  std::vector<Stick> sticks;            // at the solution
  std::vector<PeakMatch> matches;       // parallel to the peaks
  std::vector<bool> inFit;              // parallel to the peaks: used by the least squares
  std::vector<bool> outlier;            // parallel to the peaks: left out, too far from its line
  int iterations = 0;
};

// peaks by ascending 2 theta with their shares (indexing_figures.hpp); the
// start a, c (A), zero (degrees).
RefinedCell RefineCell(const std::vector<ScalableLine>& lines, const std::vector<ObservedPeak>& peaks,
                       const std::vector<double>& peakShares, const WavelengthSetup& setup, double a, double c,
                       double zero, const RefineSettings& settings);

// How every error of a parameter the indexed peaks do not fix begins, and
// what the error of a value past its bound holds.
inline constexpr const char* kSingularError = "singular normal matrix: ";
inline constexpr const char* kPastBound = " ran past the bound ";

}  // namespace lumora
