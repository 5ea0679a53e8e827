#include "reflections/calculation.hpp"

#include <gtest/gtest.h>

#include <algorithm>
#include <atomic>
#include <cmath>
#include <limits>

#include "reflections/test_inputs.hpp"

namespace lumora {
namespace {

using testing::StartupInputs;
using testing::SystemInputs;

// Every index vector of the box kept: no rules, all theta, any qi.
CalculationInputs Everything(CrystalSystem system, int loopLimit) {
  CalculationInputs in = SystemInputs(system, loopLimit);
  in.groupIndex = 0;  // P-8, P-10m2, P-122m, P235: no conditions
  in.thetaLow = 0.0;
  in.thetaHigh = 180.0;
  in.qiLimit = 1e300;
  return in;
}

RunControl BoxWalk() {
  RunControl control;
  control.algorithm = WalkAlgorithm::Box;
  return control;
}

TEST(Calculation, DefaultDecagonalRun) {
  const CalculationResult result = RunCalculation(StartupInputs(), BoxWalk());
  ASSERT_EQ(result.status, RunStatus::Completed);
  EXPECT_EQ(ToDecimal(result.loops - 1), "3124");
  EXPECT_EQ(result.visited, 3125u);
  ASSERT_FALSE(result.records.empty());
  for (const ReflectionRecord& r : result.records) {
    EXPECT_GE(r.theta, 1.0f);
    EXPECT_LE(r.theta, 30.0f);
    EXPECT_LE(r.qi, 1.0f);
    EXPECT_EQ(r.h[5], 0.0f);
    EXPECT_FLOAT_EQ(r.d * r.qe, 1.0f);
    EXPECT_FALSE(r.h[4] != 0 && static_cast<int>(r.h[4]) % 2 != 0 && r.planeClass == 2)
        << "P10.5/mmc removes class-2 reflections with odd h5";
  }
  EXPECT_EQ(result.group->symbol, "P10.5/mmc");
}

TEST(Calculation, WalksTheBoxFromThePositiveCornerDown) {
  const CalculationResult result = RunCalculation(Everything(CrystalSystem::Decagonal, 1));
  ASSERT_EQ(result.status, RunStatus::Completed);
  ASSERT_EQ(result.records.size(), 242u);  // 3^5 minus the origin
  std::array<int, 5> h{1, 1, 1, 1, 1};
  for (const ReflectionRecord& r : result.records) {
    if (h == std::array<int, 5>{}) h = {0, 0, 0, 0, -1};  // the origin is skipped
    for (int k = 0; k < 5; ++k) ASSERT_EQ(r.h[k], h[k]);
    for (int k = 4; k >= 0; --k) {
      if (h[k] > -1) { --h[k]; break; }
      h[k] = 1;
    }
  }
  EXPECT_EQ(result.records.back().h, (std::array<float, 6>{-1, -1, -1, -1, -1, 0}));
}

TEST(Calculation, UnequalLimitsAndTheSixthIndex) {
  CalculationInputs in = Everything(CrystalSystem::Icosahedral, 0);
  in.loopLimits = {1, 0, 2, 0, 0, 1};
  const CalculationResult result = RunCalculation(in);
  EXPECT_EQ(static_cast<unsigned>(result.loops), 3u * 5u * 3u);
  EXPECT_EQ(result.records.size(), 44u);
  EXPECT_EQ(result.records.front().h, (std::array<float, 6>{1, 0, 2, 0, 0, 1}));

  in = Everything(CrystalSystem::Octagonal, 1);
  in.loopLimits[5] = 7;  // ignored by the axial systems
  EXPECT_EQ(static_cast<unsigned>(RunCalculation(in).loops), 243u);
}

TEST(Calculation, FilterBoundariesAreInclusive) {
  const CalculationInputs base = StartupInputs();
  const Lattice lattice = SetupLattice(base.system, base.a, base.c, base.yamamoto);
  const IndexVector probe{1, 0, 0, 0, 0, 0};
  const ReflectionValues v = ComputeReflection(lattice, probe, {base.wavelength, 0, 90, 10});
  ASSERT_TRUE(v.ok);

  auto kept = [&](double low, double high, double qiLimit) {
    CalculationInputs in = base;
    in.loopLimits = {1, 0, 0, 0, 0, 0};
    in.groupIndex = 11;  // P10/mmm
    in.thetaLow = low;
    in.thetaHigh = high;
    in.qiLimit = qiLimit;
    const CalculationResult r = RunCalculation(in);
    return std::any_of(r.records.begin(), r.records.end(), [](const ReflectionRecord& rec) { return rec.h[0] == 1; });
  };
  const double inf = std::numeric_limits<double>::infinity();
  EXPECT_TRUE(kept(v.theta, v.theta, v.qi));
  EXPECT_FALSE(kept(std::nextafter(v.theta, inf), 90, 10));
  EXPECT_FALSE(kept(0, std::nextafter(v.theta, -inf), 10));
  EXPECT_FALSE(kept(0, 90, std::nextafter(v.qi, -inf)));
}

TEST(Calculation, InternalLengthCarriesTheLatticeConstantWhereTheSettingSaysSo) {
  const IndexVector h{1, 0, 1, 0, 0, 0};
  const ReflectionFilter filter{0.7, 0, 90, 100};
  auto qi = [&](CrystalSystem system, double a, bool yamamoto) {
    return ComputeReflection(SetupLattice(system, a, 12.06, yamamoto), h, filter).qi;
  };
  // With a = 1 the two axial formulas meet; for other a the Yamamoto one scales by a.
  const Lattice yamamoto1 = SetupLattice(CrystalSystem::Decagonal, 1.0, 12.06, true);
  const ReflectionValues v = ComputeReflection(yamamoto1, h, filter);
  // Steurer form applied to the Yamamoto vector: sqrt(w2^2 + w3^2).
  double w2 = 0, w3 = 0;
  for (int j = 0; j < 5; ++j) {
    w2 += yamamoto1.inverseMatrix[2][j] * h[j];
    w3 += yamamoto1.inverseMatrix[3][j] * h[j];
  }
  EXPECT_DOUBLE_EQ(v.qi, std::sqrt(w3 * w3 + w2 * w2));
  EXPECT_NEAR(qi(CrystalSystem::Decagonal, 2.82, true), qi(CrystalSystem::Decagonal, 1.0, true), 1e-12);
  EXPECT_NEAR(qi(CrystalSystem::Decagonal, 2.82, false) * 2.82, qi(CrystalSystem::Decagonal, 1.0, false), 1e-12);
  // Icosahedral: scaled by a in both settings, so qi does not depend on a.
  for (bool yamamoto : {true, false})
    EXPECT_NEAR(qi(CrystalSystem::Icosahedral, 2.82, yamamoto), qi(CrystalSystem::Icosahedral, 1.0, yamamoto), 1e-12);
}

TEST(Calculation, NothingBeyondTheLimitingSpherePasses) {
  // Bragg's law, sin theta = wavelength / 2d, has no angle when the ratio
  // exceeds 1; the saturated 90.00000001 degrees must not pass a range that
  // reaches beyond 90.
  const Lattice lattice = SetupLattice(CrystalSystem::Decagonal, 2.82, 12.06, true);
  const ReflectionValues beyond = ComputeReflection(lattice, {2, 0, 0, 0, 0, 0}, {100.0, 0, 180, 100});
  EXPECT_NEAR(beyond.theta, 90.00000001, 5e-9);
  EXPECT_FALSE(beyond.ok);
  // On the sphere itself (wavelength exactly 2d) the reflection is at 90 degrees and passes.
  const double twoD = 2.0 * beyond.d;
  const ReflectionValues onSphere = ComputeReflection(lattice, {2, 0, 0, 0, 0, 0}, {twoD, 0, 90.5, 100});
  EXPECT_NEAR(onSphere.theta, 90.0, 1e-7);
  EXPECT_TRUE(onSphere.ok);
  EXPECT_FALSE(ComputeReflection(lattice, {0, 0, 0, 0, 0, 0}, {1, 0, 90, 100}).ok);
}

TEST(Calculation, PeriodicAxisReflectionIsFirstFamilyAndMain) {
  CalculationInputs in = Everything(CrystalSystem::Decagonal, 0);
  in.loopLimits = {0, 0, 0, 0, 1, 0};
  const CalculationResult result = RunCalculation(in);
  ASSERT_EQ(result.records.size(), 2u);
  for (const ReflectionRecord& r : result.records) {
    EXPECT_EQ(r.planeClass, kFirstFamily);
    EXPECT_EQ(r.mainFlag, -1);
  }
}

TEST(Calculation, ClassifiesInPlaneDirections) {
  // Against a direct angle computation, away from the 0.3 degree borders.
  for (CrystalSystem system : {CrystalSystem::Octagonal, CrystalSystem::Decagonal, CrystalSystem::Dodecagonal}) {
    for (bool yamamoto : {true, false}) {
      const Lattice lattice = SetupLattice(system, 2.82, 12.06, yamamoto);
      const double step1 = lattice.mirrorAngle1;
      const double step2 = lattice.mirrorAngle2;
      int counts[3] = {0, 0, 0};
      for (int h0 = -2; h0 <= 2; ++h0)
        for (int h1 = -2; h1 <= 2; ++h1)
          for (int h2 = -2; h2 <= 2; ++h2)
            for (int h3 = -2; h3 <= 2; ++h3) {
              ReflectionRecord r;
              r.h = {float(h0), float(h1), float(h2), float(h3), 1, 0};
              double x = 0, y = 0;
              for (int j = 0; j < 5; ++j) {
                x += lattice.inverseMatrix[0][j] * r.h[j];
                y += lattice.inverseMatrix[1][j] * r.h[j];
              }
              const double length = std::hypot(x, y);
              int expected = kFirstFamily;
              if (length > 1e-9) {
                const double cosine = (x * lattice.firstAxisDir[0] + y * lattice.firstAxisDir[1]) / length;
                const double angle = std::acos(std::clamp(cosine, -1.0, 1.0)) * 180 / M_PI;
                const double f1 = std::fmod(angle, step1);
                const double f2 = std::fmod(angle, step2);
                const double border = std::min({std::fabs(f1 - 0.3), std::fabs(f1 - step1 + 0.3),
                                                std::fabs(f2 - 0.3), std::fabs(f2 - step2 + 0.3)});
                if (border < 1e-3) continue;
                expected = (f1 < 0.3 || f1 > step1 - 0.3)   ? kFirstFamily
                           : (f2 < 0.3 || f2 > step2 - 0.3) ? kSecondFamily
                                                            : kGeneralPlane;
              }
              EXPECT_EQ(ClassifyPlane(lattice, r), expected) << h0 << h1 << h2 << h3;
              ++counts[expected];
            }
      // Every class occurs, so the comparison above means something.
      EXPECT_GT(counts[0], 0);
      EXPECT_GT(counts[1], 0);
      EXPECT_GT(counts[2], 0);
    }
  }
  const Lattice ico = SetupLattice(CrystalSystem::Icosahedral, 2.82, 12.06, true);
  ReflectionRecord r;
  r.h = {1, 0, 0, 0, 0, 0};
  EXPECT_EQ(ClassifyPlane(ico, r), kGeneralPlane);
}

TEST(Calculation, MainReflections) {
  std::vector<ReflectionRecord> records(4);
  records[0].h = {0, 0, 3, 0, 0, 0};   // one non-zero index
  records[1].h = {1, 1, 1, 1, 0, 0};   // h1 = h2 = h3 = h4, one zero
  records[2].h = {1, 1, 1, 1, 1, 0};   // no zero
  records[3].h = {1, 2, 0, 0, 0, 0};
  std::vector<ReflectionRecord> octagonal = records;
  MarkMainReflections(records, CrystalSystem::Decagonal);
  EXPECT_EQ(records[0].mainFlag, -1);
  EXPECT_EQ(records[1].mainFlag, -1);
  EXPECT_EQ(records[2].mainFlag, 0);
  EXPECT_EQ(records[3].mainFlag, 0);
  MarkMainReflections(octagonal, CrystalSystem::Octagonal);
  EXPECT_EQ(octagonal[1].mainFlag, 0);  // the equal-index rule is not octagonal
  EXPECT_EQ(octagonal[0].mainFlag, -1);
}

TEST(Calculation, StatisticsFollowTheKeptRecords) {
  const CalculationResult result = RunCalculation(SystemInputs(CrystalSystem::Icosahedral, 2));
  ASSERT_EQ(result.status, RunStatus::Completed);
  float zeroLayer = 0, thetaMax = 0, qiMax = 0, qiMin = 10, xMax = 0, zMin = 0;
  for (const ReflectionRecord& r : result.records) {
    if (r.h[5] == 0) zeroLayer = std::max(zeroLayer, std::fabs(r.x));
    thetaMax = std::max(thetaMax, r.theta);
    qiMax = std::max(qiMax, r.qi);
    if (r.qi > 0) qiMin = std::min(qiMin, r.qi);
    xMax = std::max(xMax, r.x);
    zMin = std::min(zMin, r.z);
  }
  EXPECT_EQ(result.stats.zeroLayerMax, zeroLayer);
  EXPECT_EQ(result.stats.thetaMax, thetaMax);
  EXPECT_EQ(result.stats.qiMax, qiMax);
  EXPECT_EQ(result.stats.qiMinPositive, qiMin);
  EXPECT_EQ(result.stats.bounds.xMax, xMax);
  EXPECT_EQ(result.stats.bounds.zMin, zMin);
  EXPECT_GE(result.stats.bounds.CoordMax(), xMax);

  // Bounds kept across runs only widen.
  CoordinateBounds kept;
  kept.Widen(5.0f, -1.0f, 0.5f);
  kept.Widen(result.stats.bounds);
  EXPECT_EQ(kept.xMax, 5.0f);
  EXPECT_EQ(kept.yMin, std::min(-1.0f, result.stats.bounds.yMin));
}

TEST(Calculation, NothingPassesGivesAnEmptyCompletedRun) {
  CalculationInputs in = StartupInputs();
  in.thetaLow = 80;
  in.thetaHigh = 85;
  const CalculationResult result = RunCalculation(in);
  EXPECT_EQ(result.status, RunStatus::Completed);
  EXPECT_TRUE(result.records.empty());
  EXPECT_EQ(result.stats.qiMinPositive, 10.0f);
  EXPECT_EQ(result.stats.zeroLayerMax, 0.0f);
}

TEST(Calculation, BadInputsFailWithAMessageInsteadOfNaN) {
  const std::pair<double CalculationInputs::*, double> cases[] = {
      {&CalculationInputs::a, 0.0},          {&CalculationInputs::a, -1.0},
      {&CalculationInputs::c, 0.0},          {&CalculationInputs::a, NAN},
      {&CalculationInputs::wavelength, 0.0}, {&CalculationInputs::wavelength, -0.7},
      {&CalculationInputs::thetaLow, 31.0},  {&CalculationInputs::qiLimit, NAN},
  };
  for (const auto& [field, value] : cases) {
    CalculationInputs in = StartupInputs();
    in.*field = value;
    const CalculationResult result = RunCalculation(in);
    EXPECT_EQ(result.status, RunStatus::Failed);
    EXPECT_FALSE(result.error.empty());
    EXPECT_TRUE(result.records.empty());
  }
  CalculationInputs in = StartupInputs();
  in.loopLimits[0] = -1;
  EXPECT_EQ(RunCalculation(in).status, RunStatus::Failed);
  in = StartupInputs();
  in.groupIndex = 15;
  EXPECT_EQ(RunCalculation(in).status, RunStatus::Failed);
}

TEST(Calculation, ProgressEveryHundredVectorsAndCancel) {
  std::vector<std::uint64_t> seen;
  RunControl control = BoxWalk();
  control.progress = [&](const RunProgress& p) { seen.push_back(p.visited); };
  const CalculationResult done = RunCalculation(StartupInputs(), control);
  ASSERT_EQ(seen.size(), 31u);
  EXPECT_EQ(seen.front(), 100u);
  EXPECT_EQ(seen.back(), 3100u);

  std::atomic<bool> cancel{false};
  control.cancel = &cancel;
  control.progress = [&](const RunProgress& p) {
    if (p.visited == 1000) cancel = true;
  };
  const CalculationResult cancelled = RunCalculation(StartupInputs(), control);
  EXPECT_EQ(cancelled.status, RunStatus::Cancelled);
  EXPECT_EQ(cancelled.visited, 1000u);
  EXPECT_TRUE(cancelled.records.empty());
}

TEST(Calculation, RecordBudgetStopsARunWithAnError) {
  RunControl control;
  control.maxRecords = 100;
  const CalculationResult result = RunCalculation(StartupInputs(), control);
  EXPECT_EQ(result.status, RunStatus::Failed);
  EXPECT_NE(result.error.find("100 reflections"), std::string::npos);
  EXPECT_TRUE(result.records.empty());
}

TEST(Calculation, BoxSizeBeyondSixtyFourBits) {
  EXPECT_EQ(ToDecimal(BoxSize({2, 2, 2, 2, 2, 0}, 5)), "3125");
  EXPECT_EQ(ToDecimal(BoxSize({20, 20, 20, 20, 20, 20}, 6)), "4750104241");
  EXPECT_EQ(ToDecimal(BoxSize({32767, 32767, 32767, 32767, 32767, 32767}, 6)),
            "79220909236042181489028890625");
  EXPECT_EQ(ToDecimal(BoxSize({1, -1, 1, 1, 1, 1}, 6)), "0");
}

}  // namespace
}  // namespace lumora
