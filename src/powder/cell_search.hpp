// The global search for cells that index a pattern: every (a, c, zero) of a
// box on a grid, exhaustively, scored by how well the strongest peaks meet
// strong lines. With u = ln a and rho = ln(c / a) a line's ln q is
//   ln q = -u + g(rho),  g = ln sqrt(axy + az e^(-2 rho))     (scalable_lines.hpp)
// so for each rho the lines are sorted once and u only shifts them: the score
// of every u of a row is a sum over pairs of a peak and a line, gathered in
// one sweep. The score of a grid point is
//   S = sum over peaks k of p_k LP_k (sum of s_j over the lines within the
//       kernel - 1/6 of that over the lines within six kernels)
//       / sqrt(sum over lines j in the measured range of (s_j LP_j)^2),
// p_k the peak's share of the observed intensity, s_j the line's strength, LP
// the Lorentz-polarisation factor: the intensity match of indexing_figures.hpp
// without its cross terms, at most |p| (Cauchy-Schwarz), reached when the
// lines' intensities follow the peaks'; the subtracted part is what lines of
// the local density put into the kernel by chance, so that a large cell's
// dense lines score no better than random. A coarse pass with a wide kernel (that
// also covers the zero shift's range) finds the promising regions; a fine pass
// with the zero shift on a grid of half tolerances searches them; the best
// grid points start the least-squares refinement.
#pragma once

#include <atomic>
#include <vector>

#include "powder/line_sticks.hpp"

namespace lumora {

struct CellBox {
  double aLow = 0.0, aHigh = 0.0;        // A; equal: a is fixed
  double cLow = 0.0, cHigh = 0.0;        // A; equal: c is fixed; ignored without c
  bool hasC = true;                      // an axial system
  double zeroLow = 0.0, zeroHigh = 0.0;  // degrees; equal: the zero shift is fixed
};

struct CellStart {
  double a = 0.0, c = 0.0, zero = 0.0;
  double score = 0.0;  // S of the grid point
  double step = 0.0;   // of the grid in ln a and ln(c/a): how far off the point may be
};

struct ScreenOptions {
  double tolerance = 0.1;                 // degrees, the indexing's
  double measuredLow = 0.0, measuredHigh = 0.0;  // degrees 2 theta: the lines that count
  double monochromatorTwoTheta = 0.0;
  double fwhm = 0.1;                      // of the peaks: where a doublet is one peak at its blend (line_sticks.hpp)
  int screeningPeaks = 20;                // the strongest peaks that score
  // The grid points returned: a wide box of an axial system has many regions
  // that score alike, and the true cell must be among them.
  int starts = 80;
  const std::atomic<bool>* cancel = nullptr;
};

// peaks by ascending 2 theta with their shares; the K-alpha1 (or single)
// wavelength of setup places the lines, the blend's where the doublet is one peak. The best starts first, at most
// options.starts of them, each the best of its neighbourhood; empty when
// cancelled.
std::vector<CellStart> ScreenCells(const std::vector<ScalableLine>& lines, const std::vector<ObservedPeak>& peaks,
                                   const std::vector<double>& peakShares, const WavelengthSetup& setup,
                                   const CellBox& box, const ScreenOptions& options);

}  // namespace lumora
