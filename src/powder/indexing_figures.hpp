// Figures of merit of an indexing: the observed peaks (shares p_k of their
// summed intensity) against a cell's sticks (line_sticks.hpp, shares q_s).
//
//   intensity match  C = sum_ks p_k q_s w_ks / sqrt(sum_kk' p_k p_k' w_kk' x sum_ss' q_s q_s' w_ss'),
//                    w = 10^-(d/tolerance)^2 for two positions d degrees apart:
//                    the cosine of the two patterns, 1 when they agree, near 0
//                    when strong peaks meet no strong lines or strong lines no peaks;
//   F(N)             Smith and Snyder, (N / Nposs) / mean |d2theta| over all N
//                    peaks (an unindexed one counted with the tolerance);
//   M(20)            de Wolff, Q20 / (2 mean |dQ| N20) over the first 20 peaks
//                    (or all when fewer), Q = 1/d^2, an unindexed peak counted
//                    with the Q of the tolerance;
//   W = C x F(N)     ranks the candidates: C weighs the intensities (a cell
//                    related to the true one by the module's self-similarity
//                    puts the same positions with other intensities), F(N)
//                    the positions and the lines nobody observed;
// where Nposs and N20 count the observable lines up to the last peak and up to
// Q20: those whose share is at least kObservableShare times the weakest peak's
// (a quasicrystal has a line every few hundredths of a degree, nearly all too
// weak to be seen).
#pragma once

#include <vector>

#include "powder/line_sticks.hpp"

namespace lumora {

inline constexpr double kObservableShare = 0.1;

// p_k: each peak's intensity over their sum, or 1/N when no intensity is known.
std::vector<double> PeakShares(const std::vector<ObservedPeak>& peaks);

// The smallest share a line must have to count (and to index a peak).
double ObservableShare(const std::vector<double>& peakShares);

// C above; peaks by ascending 2 theta.
double IntensityMatch(const std::vector<ObservedPeak>& peaks, const std::vector<double>& peakShares,
                      const std::vector<Stick>& sticks, double tolerance);

struct IndexingFigures {
  double merit = 0.0;          // W = C x F(N): the candidates are ranked by it
  double match = 0.0;          // C
  double fN = 0.0;             // F(N)
  double meanDifference = 0.0; // of F(N), degrees
  int possibleLines = 0;       // Nposs
  double m20 = 0.0;            // M(20)
  int m20Peaks = 0;            // the peaks it covers (20, or fewer)
  int m20Lines = 0;            // N20
};

// peaks ascending; matches from MatchPeaks; lines and cell as for the sticks.
IndexingFigures ComputeFigures(const std::vector<ObservedPeak>& peaks, const std::vector<double>& peakShares,
                               const std::vector<Stick>& sticks, const std::vector<PeakMatch>& matches,
                               const std::vector<ScalableLine>& lines, double a, double c, double zero,
                               const WavelengthSetup& setup, double tolerance);

}  // namespace lumora
