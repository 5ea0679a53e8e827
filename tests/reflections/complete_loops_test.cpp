// Complete loops: the box that holds every reflection the filters pass, checked
// against runs through a box far larger than needed.
#include <gtest/gtest.h>

#include <cstring>

#include "reflections/calculation.hpp"
#include "reflections/test_inputs.hpp"

namespace lumora {
namespace {

bool SameRecords(const std::vector<ReflectionRecord>& a, const std::vector<ReflectionRecord>& b) {
  return a.size() == b.size() &&
         (a.empty() || std::memcmp(a.data(), b.data(), a.size() * sizeof(ReflectionRecord)) == 0);
}

TEST(CompleteLoops, HoldEveryReflectionOfTheFiltersInTheSmallestBox) {
  struct Case {
    CrystalSystem system;
    bool yamamoto;
    double a, c, wavelength, thetaHigh, qiLimit;
  };
  const Case cases[] = {
      {CrystalSystem::Decagonal, true, 2.82, 12.06, 0.7106867, 30.0, 1.0},
      {CrystalSystem::Decagonal, false, 3.3, 4.2, 1.5406, 60.0, 0.6},
      {CrystalSystem::Octagonal, true, 2.9, 7.0, 1.5406, 45.0, 1.5},
      {CrystalSystem::Dodecagonal, false, 2.5, 8.8, 1.5406, 50.0, 0.7},
      {CrystalSystem::Icosahedral, true, 5.1, 0.0, 0.7106867, 20.0, 1.2},
      {CrystalSystem::Icosahedral, false, 4.6, 0.0, 1.5406, 90.0, 2.0},
  };
  for (const Case& k : cases) {
    CalculationInputs in = testing::SystemInputs(k.system);
    in.yamamoto = k.yamamoto;
    in.a = k.a;
    in.c = k.c;
    in.wavelength = k.wavelength;
    in.thetaLow = 0.0;
    in.thetaHigh = k.thetaHigh;
    in.qiLimit = k.qiLimit;
    in.completeLoops = true;
    const CalculationResult complete = RunCalculation(in);
    ASSERT_EQ(complete.status, RunStatus::Completed) << complete.error;
    ASSERT_FALSE(complete.records.empty());
    const int n = complete.lattice.nDim;

    // A box of 24 in every index holds them all (the limits found stay well below it).
    CalculationInputs wide = in;
    wide.completeLoops = false;
    wide.loopLimits.fill(24);
    for (int k2 = 0; k2 < n; ++k2) ASSERT_LT(complete.loopLimits[static_cast<std::size_t>(k2)], 20);
    EXPECT_TRUE(SameRecords(complete.records, RunCalculation(wide).records)) << SystemName(k.system);

    // The limits are those of the box itself: each one less loses reflections.
    CalculationInputs exact = wide;
    exact.loopLimits = complete.loopLimits;
    EXPECT_TRUE(SameRecords(complete.records, RunCalculation(exact).records));
    EXPECT_EQ(complete.loops, RunCalculation(exact).loops);
    for (int k2 = 0; k2 < n; ++k2) {
      CalculationInputs smaller = exact;
      --smaller.loopLimits[static_cast<std::size_t>(k2)];
      EXPECT_LT(RunCalculation(smaller).records.size(), complete.records.size()) << "h" << k2 + 1;
    }
  }
}

TEST(CompleteLoops, RefuseAQiLimitWithoutABound) {
  CalculationInputs in = testing::StartupInputs();
  in.completeLoops = true;
  in.qiLimit = 1e9;
  const CalculationResult r = RunCalculation(in);
  EXPECT_EQ(r.status, RunStatus::Failed);
  EXPECT_NE(r.error.find("qi-max"), std::string::npos) << r.error;
}

}  // namespace
}  // namespace lumora
