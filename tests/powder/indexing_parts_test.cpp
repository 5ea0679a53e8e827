// The parts of the indexing against closed forms: the sticks against Bragg's law and LP written out
// here, the matching and the figures of merit on hand-made cases.
#include <gtest/gtest.h>

#include <cmath>
#include <numbers>

#include "powder/indexing_figures.hpp"
#include "powder/line_sticks.hpp"

namespace lumora {
namespace {

constexpr double kDeg = std::numbers::pi / 180.0;

double Lp(double twoTheta) {
  const double t = 0.5 * twoTheta * kDeg;
  return (1 + std::pow(std::cos(2 * t), 2)) / 2 / (std::sin(t) * std::sin(t) * std::cos(t));
}

double Bragg(double q, double lambda) { return 2 * std::asin(lambda * q / 2) / kDeg; }

TEST(LineSticks, DoubletPositionsSharesAndBlends) {
  // Two lines: q = 0.3 (low angle, doublet unresolved at FWHM 0.1) and q = 1.0.
  std::vector<ScalableLine> lines(2);
  lines[0].axy = 0.3 * 0.3, lines[0].strength = 4.0;
  lines[1].axy = 1.0, lines[1].strength = 1.0;
  const WavelengthSetup cu{WavelengthModel::Doublet, 1.5405929, 1.5444274, 0.5};
  const double zero = 0.02, fwhm = 0.1;
  const std::vector<Stick> sticks = MakeSticks(lines, 1.0, 1.0, zero, cu, 5, 120, fwhm, 0.0);
  double total = 0.0;
  int blends = 0;
  for (const Stick& s : sticks) {
    const double q = s.line == 0 ? 0.3 : 1.0;
    EXPECT_NEAR(s.twoTheta, Bragg(q, ComponentWavelength(cu, s.component)) + zero, 1e-9);
    if (s.intensity) total += s.share;
    blends += s.component == StickComponent::Blend;
    if (s.component == StickComponent::Blend) {
      EXPECT_EQ(s.line, 0);  // 0.03 degrees apart: one peak
      EXPECT_NEAR(ComponentWavelength(cu, s.component), (1.5405929 + 0.5 * 1.5444274) / 1.5, 1e-12);
    }
    if (s.line == 0 && s.component != StickComponent::Blend) {
      EXPECT_FALSE(s.indexable);
    }
    if (s.line == 1 && s.component == StickComponent::KAlpha1) {
      EXPECT_TRUE(s.fitted);  // 0.6 degrees apart
    }
  }
  EXPECT_EQ(sticks.size(), 5u);
  EXPECT_EQ(blends, 1);
  EXPECT_NEAR(total, 1.0, 1e-12);
  // Shares follow strength x LP x (2/3 or 1/3).
  const double k1 = 4.0 * Lp(Bragg(0.3, 1.5405929)) * 2 / 3, k2 = 1.0 * Lp(Bragg(1.0, 1.5444274)) / 3;
  const auto share = [&](int line, StickComponent c) {
    for (const Stick& s : sticks)
      if (s.line == line && s.component == c) return s.share;
    return -1.0;
  };
  EXPECT_NEAR(share(0, StickComponent::KAlpha1) / share(1, StickComponent::KAlpha2), k1 / k2, 1e-9);
}

TEST(LineSticks, PeaksTakeTheLineThatExplainsThemBest) {
  const auto stick = [](double at, double share, int line) {
    return Stick{at, share, line, StickComponent::KAlpha1, true, true, true};
  };
  // A strong line 0.04 away and a weak one on the peak.
  const std::vector<Stick> sticks = {stick(20.00, 0.05, 0), stick(20.04, 0.5, 1), stick(30.0, 0.3, 2),
                                     stick(30.01, 0.3, 3)};
  const std::vector<ObservedPeak> peaks = {{20.0, 1}, {30.005, 1}, {30.2, 1}};
  // Wide (a rough cell): the strong line takes it; narrow (refined): the near one.
  EXPECT_EQ(MatchPeaks(peaks, sticks, 0.1, 0.0, 0.1)[0].stick, 1);
  EXPECT_EQ(MatchPeaks(peaks, sticks, 0.1, 0.0, 0.01)[0].stick, 0);
  // Equal lines either side: ambiguous; nothing within the tolerance: unindexed.
  const std::vector<PeakMatch> m = MatchPeaks(peaks, sticks, 0.1, 0.0, 0.1);
  EXPECT_TRUE(m[1].ambiguous);
  EXPECT_FALSE(m[0].ambiguous);
  EXPECT_EQ(m[2].stick, -1);
  // Lines below the smallest share index nothing; a line takes one peak.
  EXPECT_EQ(MatchPeaks(peaks, sticks, 0.1, 0.4, 0.01)[0].stick, 1);
  EXPECT_EQ(MatchPeaks(peaks, sticks, 0.1, 0.6, 0.1)[0].stick, -1);
  const std::vector<PeakMatch> two = MatchPeaks({{20.0, 1}, {20.01, 1}}, {stick(20.005, 1.0, 0)}, 0.1, 0.0, 0.1);
  EXPECT_NE(two[0].stick >= 0, two[1].stick >= 0);
}

TEST(IndexingFigures, MatchFNAndM20OnAHandMadeCase) {
  // Lines at q = 0.2, 0.3, 0.4, 0.5 (1/A) with equal strengths, one wavelength
  // 1.5 A, no zero; peaks on the first three, the second 0.01 degrees off, and
  // one peak far from any line.
  std::vector<ScalableLine> lines(4);
  for (int i = 0; i < 4; ++i) lines[static_cast<std::size_t>(i)] = {std::pow(0.2 + 0.1 * i, 2), 0.0, {}, 1, 1.0};
  const WavelengthSetup one{WavelengthModel::Single, 1.5, 0.0, 0.0};
  const std::vector<Stick> sticks = MakeSticks(lines, 1.0, 1.0, 0.0, one, 1.0, 90.0, 0.05, 0.0);
  ASSERT_EQ(sticks.size(), 4u);
  std::vector<ObservedPeak> peaks = {{Bragg(0.2, 1.5), 1}, {Bragg(0.3, 1.5) + 0.01, 1}, {Bragg(0.4, 1.5), 1},
                                     {Bragg(0.45, 1.5), 1}};
  const std::vector<double> shares = PeakShares(peaks);
  const std::vector<PeakMatch> m = MatchPeaks(peaks, sticks, 0.1, ObservableShare(shares), 0.1);
  ASSERT_EQ(m[3].stick, -1);
  const IndexingFigures f = ComputeFigures(peaks, shares, sticks, m, lines, 1.0, 1.0, 0.0, one, 0.1);
  // F(N): 4 peaks, 3 lines up to the last peak, mean |d| = (0 + 0.01 + 0 + 0.1) / 4.
  EXPECT_EQ(f.possibleLines, 3);
  EXPECT_NEAR(f.fN, 4.0 / 3.0 / (0.11 / 4.0), 1e-6);
  // M(4): Q4 of the last peak, mean |dQ| with the tolerance's dQ = Q cot(theta) d(2theta) for the unindexed one.
  const auto q = [](double twoTheta) { return std::pow(2 * std::sin(0.5 * twoTheta * kDeg) / 1.5, 2); };
  const double q4 = q(peaks[3].twoTheta);
  const double eps = (std::fabs(q(peaks[1].twoTheta) - 0.09) + q4 / std::tan(0.5 * peaks[3].twoTheta * kDeg) * 0.1 * kDeg) / 4;
  EXPECT_EQ(f.m20Peaks, 4);
  EXPECT_EQ(f.m20Lines, 3);
  EXPECT_NEAR(f.m20, q4 / (2 * eps * 3), 1e-6 * f.m20);
  EXPECT_NEAR(f.merit, f.match * f.fN, 1e-12);

  // The intensity match: 1 for patterns that agree in positions and
  // intensities, near 0 for patterns apart.
  std::vector<ObservedPeak> onLines;
  for (const Stick& s : sticks) onLines.push_back({s.twoTheta, s.share});
  EXPECT_NEAR(IntensityMatch(onLines, PeakShares(onLines), sticks, 0.1), 1.0, 1e-12);
  for (ObservedPeak& p : onLines) p.twoTheta += 0.5;
  EXPECT_LT(IntensityMatch(onLines, PeakShares(onLines), sticks, 0.1), 1e-9);
}

}  // namespace
}  // namespace lumora
