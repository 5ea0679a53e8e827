// Refinement against synthetic peak lists. The peaks come from the Steurer
// reciprocal basis written out below (physical and internal parts of each
// basis vector), Bragg's law, a zero shift and normal noise: nothing of the
// code under test's lattice or lines.
#include "powder/powder_refinement.hpp"

#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <functional>
#include <numbers>
#include <random>

namespace lumora {
namespace {

constexpr double kPi = std::numbers::pi;
constexpr double kWavelength = 1.5406;

struct Vector {
  std::array<int, 6> h{};
  double qPhysical = 0.0;  // 1/A
  double qInternal = 0.0;  // in the run's qi units
  double twoTheta = 0.0;   // degrees, without shift
};

// Steurer setting: row k of the basis is a reciprocal basis vector. Axial
// systems: (cos k t, sin k t | cos m k t, sin m k t) / a for k = 1..4 (m = 3,
// or 5 for the dodecagonal system) and (0, 0, 1/c) along the axis; qi in 1/A.
// Icosahedral: (0, 0, 1 | 0, 0, 1) / a and, for k = 2..6,
// (sin p cos k t, sin p sin k t, cos p | -sin p cos 3 k t, -sin p sin 3 k t, -cos p) / a
// with t = 72 degrees and p = atan 2; qi times a.
Vector Reciprocal(CrystalSystem system, const std::array<int, 6>& h, double a, double c) {
  double x = 0, y = 0, z = 0, u = 0, v = 0, w = 0;
  if (system == CrystalSystem::Icosahedral) {
    const double t = 72.0 * kPi / 180.0, p = std::atan(2.0);
    z += h[0] / a;
    w += h[0] / a;
    for (int i = 1; i < 6; ++i) {
      const int k = i + 1;
      x += h[i] * std::sin(p) * std::cos(k * t) / a;
      y += h[i] * std::sin(p) * std::sin(k * t) / a;
      z += h[i] * std::cos(p) / a;
      u -= h[i] * std::sin(p) * std::cos(3 * k * t) / a;
      v -= h[i] * std::sin(p) * std::sin(3 * k * t) / a;
      w -= h[i] * std::cos(p) / a;
    }
  } else {
    const double degrees = system == CrystalSystem::Octagonal ? 45.0 : system == CrystalSystem::Decagonal ? 72.0 : 30.0;
    const int m = system == CrystalSystem::Dodecagonal ? 5 : 3;
    const double t = degrees * kPi / 180.0;
    for (int i = 0; i < 4; ++i) {
      const int k = i + 1;
      x += h[i] * std::cos(k * t) / a;
      y += h[i] * std::sin(k * t) / a;
      u += h[i] * std::cos(m * k * t) / a;
      v += h[i] * std::sin(m * k * t) / a;
    }
    z = h[4] / c;
  }
  Vector r;
  r.h = h;
  r.qPhysical = std::sqrt(x * x + y * y + z * z);
  r.qInternal = std::sqrt(u * u + v * v + w * w) * (system == CrystalSystem::Icosahedral ? a : 1.0);
  const double s = kWavelength * r.qPhysical / 2.0;  // sin theta = lambda / 2d
  r.twoTheta = s < 1.0 ? 2.0 * std::asin(s) * 180.0 / kPi : 999.0;
  return r;
}

CalculationInputs Inputs(CrystalSystem system, double a, double c, double qiLimit, int loops) {
  CalculationInputs in;
  in.system = system;
  in.yamamoto = false;
  in.groupIndex = -1;
  for (const SpaceGroup& group : GroupsOf(system))
    if (group.rules.empty()) {
      in.groupIndex = group.listIndex;
      break;
    }
  EXPECT_GE(in.groupIndex, 0) << "a group without reflection conditions";
  in.a = a;
  in.c = c;
  in.wavelength = kWavelength;
  in.thetaLow = 5.0;
  in.thetaHigh = 40.0;
  in.qiLimit = qiLimit;
  in.loopLimits.fill(loops);
  return in;
}

// Every vector of the loop box (with a six-index box for the icosahedral system).
std::vector<Vector> Box(const CalculationInputs& in, double a, double c) {
  const int n = in.system == CrystalSystem::Icosahedral ? 6 : 5;
  const int l = in.loopLimits[0];
  std::vector<Vector> out;
  std::array<int, 6> h{};
  std::function<void(int)> walk = [&](int i) {
    if (i == n) {
      if (std::any_of(h.begin(), h.end(), [](int x) { return x != 0; })) out.push_back(Reciprocal(in.system, h, a, c));
      return;
    }
    for (h[static_cast<std::size_t>(i)] = -l; h[static_cast<std::size_t>(i)] <= l; ++h[static_cast<std::size_t>(i)])
      walk(i + 1);
  };
  walk(0);
  return out;
}

// Positions of well-separated lines well inside the run's limits, shifted and
// with noise: the peaks a measurement of this lattice would give (inPlane:
// only those of lines without a z component).
std::vector<double> SyntheticPeaks(const CalculationInputs& in, double a, double c, double shift, unsigned seed,
                                   bool inPlane = false) {
  const std::vector<Vector> box = Box(in, a, c);
  std::vector<double> near;  // every line the run could hold, with margin
  for (const Vector& v : box)
    if (v.qInternal <= 1.2 * in.qiLimit && v.twoTheta < 2.0 * in.thetaHigh + 2.0) near.push_back(v.twoTheta);
  std::sort(near.begin(), near.end());
  std::vector<double> lines;
  for (const Vector& v : box)
    if (v.qInternal <= 0.8 * in.qiLimit && v.twoTheta > 2.0 * in.thetaLow + 1.0 &&
        v.twoTheta < 2.0 * in.thetaHigh - 1.0 && (!inPlane || v.h[4] == 0))
      lines.push_back(v.twoTheta);
  std::sort(lines.begin(), lines.end());
  lines.erase(std::unique(lines.begin(), lines.end(), [](double l, double r) { return r - l < 1e-7; }), lines.end());

  std::mt19937 random(seed);
  std::normal_distribution<double> noise(0.0, 0.002);
  std::vector<double> peaks;
  for (double t : lines) {
    // Alone within 0.2 degrees: the nearest line is the right one.
    const auto lo = std::lower_bound(near.begin(), near.end(), t - 0.2);
    const auto hi = std::upper_bound(near.begin(), near.end(), t + 0.2);
    if (std::all_of(lo, hi, [t](double x) { return std::fabs(x - t) < 1e-7; })) peaks.push_back(t + shift + noise(random));
  }
  return peaks;
}

struct Case {
  CrystalSystem system;
  double a, c, qiLimit;
  int loops;
};

RefinementResult Refine(const Case& k, const std::vector<double>& peaks, bool refineC) {
  // Start 0.05 % off in a (and c), zero shift unknown.
  const CalculationInputs start = Inputs(k.system, k.a * 1.0005, k.c * 0.9995, k.qiLimit, k.loops);
  RefineOptions options;
  options.refineC = refineC;
  return RefineLattice(peaks, start, {}, {}, options);
}

// 20 to 30 well-separated peaks each.
const Case kCases[] = {
    {CrystalSystem::Octagonal, 2.8, 7.5, 1.5, 2},
    {CrystalSystem::Decagonal, 2.5, 4.1, 1.5, 2},
    {CrystalSystem::Dodecagonal, 2.8, 4.6, 1.5, 2},
    {CrystalSystem::Icosahedral, 5.1, 0.0, 2.5, 2},
};

TEST(PowderRefinement, RecoversTheLatticeAndZeroShiftOfEverySystem) {
  const double shift = 0.037;
  std::vector<double> figures;
  for (const Case& k : kCases) {
    const bool axial = k.system != CrystalSystem::Icosahedral;
    const std::vector<double> peaks = SyntheticPeaks(Inputs(k.system, k.a, k.c, k.qiLimit, k.loops), k.a, k.c, shift, 7);
    ASSERT_GE(peaks.size(), 8u) << SystemName(k.system);
    const RefinementResult r = Refine(k, peaks, axial);
    ASSERT_EQ(r.error, "") << SystemName(k.system);
    EXPECT_NEAR(r.a / k.a, 1.0, 1e-4) << SystemName(k.system);
    EXPECT_NEAR(r.zero, shift, 0.005) << SystemName(k.system);
    // The uncertainties describe the errors: noise of 0.002 degrees, not zero.
    EXPECT_GT(r.aSu, 0.0);
    EXPECT_LT(std::fabs(r.a - k.a), 5.0 * r.aSu + 1e-7) << SystemName(k.system);
    EXPECT_LT(std::fabs(r.zero - shift), 5.0 * r.zeroSu) << SystemName(k.system);
    if (axial) {
      EXPECT_NEAR(r.c / k.c, 1.0, 1e-4) << SystemName(k.system);
      EXPECT_GT(r.cSu, 0.0);
    } else {
      EXPECT_EQ(r.c, 0.0);
      EXPECT_EQ(r.cSu, 0.0);
    }
    EXPECT_EQ(r.indexed.size(), peaks.size()) << SystemName(k.system);
    EXPECT_TRUE(r.unindexed.empty());
    for (const IndexedPeak& p : r.indexed) {
      EXPECT_NEAR(p.difference, 0.0, 0.01);
      // Bragg's law with the refined shift gives the reported d.
      EXPECT_NEAR(2.0 * std::asin(kWavelength / (2.0 * p.d)) * 180.0 / kPi + r.zero, p.calculated, 1e-9);
      const Vector v = Reciprocal(k.system, p.index, r.a, r.c);
      // The lattice's angles use the program's pi, 3.141592654.
      EXPECT_NEAR(1.0 / v.qPhysical, p.d, 1e-8 * p.d);
    }
    EXPECT_GT(r.figureOfMerit, 0.0);
    figures.push_back(r.figureOfMerit);
  }

  // The decagonal peaks read as another system fit far worse (F about 8
  // against 400 here), if at all.
  const Case& decagonal = kCases[1];
  const std::vector<double> peaks =
      SyntheticPeaks(Inputs(decagonal.system, decagonal.a, decagonal.c, decagonal.qiLimit, 2), decagonal.a, decagonal.c,
                     shift, 7);
  for (const Case& wrong : {kCases[0], kCases[2], kCases[3]}) {
    Case k = wrong;
    k.a = wrong.system == CrystalSystem::Icosahedral ? 5.1 : decagonal.a;
    k.c = decagonal.c;
    const RefinementResult r = Refine(k, peaks, wrong.system != CrystalSystem::Icosahedral);
    if (r.error.empty()) {
      EXPECT_LT(r.figureOfMerit, figures[1] / 5.0) << SystemName(wrong.system);
    }
  }
}

TEST(PowderRefinement, RoughStartsAreFoundByTheSearch) {
  // Starts over a percent off, as a lattice constant from the literature may
  // be: without the search the high-angle peaks take the wrong lines.
  const double shift = 0.02;
  for (const Case& k : kCases) {
    const bool axial = k.system != CrystalSystem::Icosahedral;
    const std::vector<double> peaks = SyntheticPeaks(Inputs(k.system, k.a, k.c, k.qiLimit, k.loops), k.a, k.c, shift, 11);
    const CalculationInputs start = Inputs(k.system, k.a * 1.012, k.c * 0.99, k.qiLimit, k.loops);
    RefineOptions options;
    options.refineC = axial;
    const RefinementResult found = RefineLattice(peaks, start, {}, {}, options);
    ASSERT_EQ(found.error, "") << SystemName(k.system);
    EXPECT_NEAR(found.a / k.a, 1.0, 1e-4) << SystemName(k.system);
    if (axial) {
      EXPECT_NEAR(found.c / k.c, 1.0, 1e-4) << SystemName(k.system);
    }
    EXPECT_NEAR(found.zero, shift, 0.005) << SystemName(k.system);
    EXPECT_EQ(found.indexed.size(), peaks.size()) << SystemName(k.system);

    options.searchRange = 0.0;
    const RefinementResult stuck = RefineLattice(peaks, start, {}, {}, options);
    EXPECT_TRUE(!stuck.error.empty() || std::fabs(stuck.a / k.a - 1.0) > 1e-3 || stuck.indexed.size() < peaks.size())
        << SystemName(k.system);
  }
}

TEST(PowderRefinement, KAlpha2PeaksOfAResolvedDoubletAreIndexedAsSuch) {
  // Every peak again at K-alpha2 (Bragg's law with the Cu ratio of the two
  // wavelengths), as a laboratory tube's resolved doublet shows it.
  const Case& k = kCases[1];
  const double shift = 0.03, second = kWavelength * (1.544438 / 1.5405982);
  const std::vector<double> first = SyntheticPeaks(Inputs(k.system, k.a, k.c, k.qiLimit, k.loops), k.a, k.c, shift, 5);
  std::vector<double> peaks = first;
  std::size_t doubled = 0;
  for (const double t : first) {
    const double d = kWavelength / (2.0 * std::sin((t - shift) / 2.0 * kPi / 180.0));
    const double t2 = 2.0 * std::asin(second / (2.0 * d)) * 180.0 / kPi + shift;
    if (t2 - t < 0.12) continue;  // resolved ones only
    peaks.push_back(t2);
    ++doubled;
  }
  ASSERT_GE(doubled, 5u);
  const CalculationInputs start = Inputs(k.system, k.a * 1.0005, k.c * 0.9995, k.qiLimit, k.loops);
  RefineOptions options;
  options.refineC = true;
  options.secondWavelength = second;
  const RefinementResult r = RefineLattice(peaks, start, {}, {}, options);
  ASSERT_EQ(r.error, "");
  EXPECT_EQ(r.indexed.size(), peaks.size());
  EXPECT_EQ(static_cast<std::size_t>(std::count_if(r.indexed.begin(), r.indexed.end(),
                                                   [](const IndexedPeak& p) { return p.secondWavelength; })),
            doubled);
  EXPECT_NEAR(r.a / k.a, 1.0, 1e-4);
  EXPECT_NEAR(r.zero, shift, 0.005);
  // Without the second wavelength those peaks stay unindexed and the figure of merit drops.
  options.secondWavelength = 0.0;
  const RefinementResult single = RefineLattice(peaks, start, {}, {}, options);
  ASSERT_EQ(single.error, "");
  EXPECT_GE(single.unindexed.size(), doubled / 2);
  EXPECT_LT(single.figureOfMerit, r.figureOfMerit);
}

TEST(PowderRefinement, FailuresSayWhyAndKeepTheStartValues) {
  const Case& k = kCases[1];
  const CalculationInputs start = Inputs(k.system, k.a * 1.0005, k.c * 0.9995, k.qiLimit, k.loops);
  const std::vector<double> peaks = SyntheticPeaks(Inputs(k.system, k.a, k.c, k.qiLimit, k.loops), k.a, k.c, 0.02, 3);
  auto expectStart = [&](const RefinementResult& r) {
    EXPECT_EQ(r.a, start.a);
    EXPECT_EQ(r.c, start.c);
    EXPECT_EQ(r.zero, 0.0);
    EXPECT_EQ(r.aSu + r.cSu + r.zeroSu + r.figureOfMerit, 0.0);
  };
  RefineOptions options;
  RefinementResult r = RefineLattice({peaks[0], peaks[1]}, start, {}, {}, options);
  EXPECT_EQ(r.error, "fewer than 3 peaks");
  expectStart(r);

  options.maxIterations = 1;
  r = RefineLattice(peaks, start, {}, {}, options);
  EXPECT_EQ(r.error, "did not converge in 1 iterations");
  expectStart(r);
  EXPECT_EQ(r.indexed.size(), peaks.size());  // the indexing at the start values

  // c from lines in the plane only: nothing fixes it.
  const std::vector<double> inPlane = SyntheticPeaks(Inputs(k.system, k.a, k.c, k.qiLimit, k.loops), k.a, k.c, 0.02, 3, true);
  ASSERT_GE(inPlane.size(), 4u);
  options = {};
  options.refineC = true;
  r = RefineLattice(inPlane, start, {}, {}, options);
  EXPECT_EQ(r.error, "singular normal matrix: c is not determined by the indexed peaks (no indexed line has a z component)");
  expectStart(r);

  options = {};
  options.tolerance = 1e-9;
  r = RefineLattice(peaks, start, {}, {}, options);
  EXPECT_EQ(r.error.rfind("only 0 of ", 0), 0u) << r.error;
  expectStart(r);
  EXPECT_EQ(r.unindexed.size(), peaks.size());

  options = {};
  options.refineA = options.refineZero = false;
  EXPECT_EQ(RefineLattice(peaks, start, {}, {}, options).error, "nothing to refine");
  options = {};
  options.refineC = true;
  const Case& ico = kCases[3];
  EXPECT_EQ(RefineLattice(peaks, Inputs(ico.system, ico.a, 0.0, ico.qiLimit, 2), {}, {}, options).error,
            "c cannot be refined: the icosahedral system has no c");
  EXPECT_EQ(RefineLattice({10.0, 20.0, 180.0}, start, {}, {}, {}).error,
            "observed 2theta 180 is not above 0 and below 180 degrees");
}

}  // namespace
}  // namespace lumora
