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
  EXPECT_TRUE(kept(v.theta, v.theta, v.qi));
  // Within a relative 1e-9 of a limit is inside it; 3e-9 beyond is outside.
  EXPECT_TRUE(kept(v.theta * (1 + 0.5e-9), 90, 10));
  EXPECT_TRUE(kept(0, v.theta * (1 - 0.5e-9), 10));
  EXPECT_TRUE(kept(0, 90, v.qi * (1 - 0.5e-9)));
  EXPECT_FALSE(kept(v.theta * (1 + 3e-9), 90, 10));
  EXPECT_FALSE(kept(0, v.theta * (1 - 3e-9), 10));
  EXPECT_FALSE(kept(0, 90, v.qi * (1 - 3e-9)));
}

TEST(Calculation, SymmetryFamiliesAtTheQiLimitStayWhole) {
  // The start-up run has five families of ten reflections whose qi is 1
  // exactly, computed as 1 plus or minus rounding: the limit keeps all of them.
  CalculationInputs in = StartupInputs();
  const std::size_t atOne = RunCalculation(in).records.size();
  in.qiLimit = 1.0000001;
  EXPECT_EQ(RunCalculation(in).records.size(), atOne);
  in.qiLimit = 0.9999999;
  EXPECT_EQ(RunCalculation(in).records.size() + 50, atOne);
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

// The tolerance of the direction classes, worked by hand: a record whose
// in-plane direction lies at a known angle from the first axis, with the
// decagonal steps of 36 and 18 degrees.
TEST(Calculation, DirectionClassesHaveAToleranceOfThreeTenthsOfADegree) {
  Lattice lattice;
  lattice.nDim = 5;
  lattice.firstAxisDir = {1.0, 0.0, 0.0, 0.0};
  lattice.mirrorAngle1 = 36.0f;
  lattice.mirrorAngle2 = 18.0f;
  auto classAt = [&](double degrees) {
    lattice.inverseMatrix = {};
    lattice.inverseMatrix[0][0] = std::cos(degrees * M_PI / 180);
    lattice.inverseMatrix[1][0] = std::sin(degrees * M_PI / 180);
    ReflectionRecord r;
    r.h = {3, 0, 0, 0, 1, 0};
    return ClassifyPlane(lattice, r);
  };
  // First family: within 0.3 degrees of a multiple of 36, from either side.
  for (double angle : {0.0, 0.29, -0.29, 35.71, 36.29, 143.71, 180.0}) EXPECT_EQ(classAt(angle), 1) << angle;
  // Second family: within 0.3 degrees of an odd multiple of 18.
  for (double angle : {18.0, 17.71, 18.29, 161.71, -126.29}) EXPECT_EQ(classAt(angle), 2) << angle;
  for (double angle : {0.31, -0.31, 35.69, 17.69, 18.31, 9.0, 108.5}) EXPECT_EQ(classAt(angle), 0) << angle;
  // On the periodic axis there is no in-plane direction: first family.
  lattice.inverseMatrix = {};
  ReflectionRecord axis;
  axis.h = {0, 0, 0, 0, 1, 0};
  EXPECT_EQ(ClassifyPlane(lattice, axis), 1);
  lattice.nDim = 6;
  EXPECT_EQ(classAt(0.0), 0);  // no classes in the icosahedral system
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
  EXPECT_EQ(done.visited, 3125u);
  EXPECT_EQ(ToDecimal(done.loops - 1), "3124");  // "of 3124 loops"
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

TEST(Calculation, BoxSizeBeyondSixtyFourBits) {
  EXPECT_EQ(ToDecimal(BoxSize({2, 2, 2, 2, 2, 0}, 5)), "3125");
  EXPECT_EQ(ToDecimal(BoxSize({20, 20, 20, 20, 20, 20}, 6)), "4750104241");
  EXPECT_EQ(ToDecimal(BoxSize({32767, 32767, 32767, 32767, 32767, 32767}, 6)),
            "79220909236042181489028890625");
  EXPECT_EQ(ToDecimal(BoxSize({1, -1, 1, 1, 1, 1}, 6)), "0");
}

}  // namespace
}  // namespace lumora
