// The bounded walk against the box walk it replaces.
#include "reflections/bounded_walk.hpp"

#include <gtest/gtest.h>

#include <atomic>
#include <cstring>
#include <random>
#include <thread>

#include "reflections/ellipsoid_bound.hpp"
#include "reflections/test_inputs.hpp"
#include "report/report.hpp"

namespace lumora {
namespace {

CalculationResult RunWith(const CalculationInputs& in, WalkAlgorithm algorithm, int threads = 0) {
  RunControl control;
  control.algorithm = algorithm;
  control.threads = threads;
  return RunCalculation(in, control);
}

bool SameRecords(const std::vector<ReflectionRecord>& a, const std::vector<ReflectionRecord>& b) {
  return a.size() == b.size() &&
         (a.empty() || std::memcmp(a.data(), b.data(), a.size() * sizeof(ReflectionRecord)) == 0);
}

bool SameStatistics(const RunStatistics& a, const RunStatistics& b) {
  return std::memcmp(&a, &b, sizeof(RunStatistics)) == 0;
}

std::string Report(const CalculationResult& r) {
  ReportContext context;
  context.nDim = r.lattice.nDim;
  return ReportText(r.records, context);
}

// A random small case: any system, setting and group, lattice constants,
// wavelengths and theta ranges (some excluding everything, some reaching 90
// degrees), qi-max from 0 to huge, unequal loop limits 0..4.
CalculationInputs RandomCase(std::mt19937& random) {
  auto pick = [&](auto... values) {
    const double choices[] = {static_cast<double>(values)...};
    return choices[std::uniform_int_distribution<std::size_t>(0, sizeof...(values) - 1)(random)];
  };
  auto uniform = [&](double low, double high) { return std::uniform_real_distribution<double>(low, high)(random); };
  CalculationInputs in;
  in.system = SystemFromIndex(std::uniform_int_distribution<int>(0, 3)(random));
  in.groupIndex = std::uniform_int_distribution<int>(0, static_cast<int>(GroupsOf(in.system).size()) - 1)(random);
  in.yamamoto = random() % 2 == 0;
  in.a = uniform(1.0, 8.0);
  in.c = uniform(2.0, 20.0);
  in.wavelength = pick(0.5608337, 0.7106867, 1.541878, 2.29092, uniform(0.2, 3.0));
  in.thetaLow = pick(0.0, 1.0, uniform(0.0, 40.0), 60.0);
  in.thetaHigh = std::max(in.thetaLow, pick(30.0, 45.0, 89.9, 90.0, 120.0, uniform(0.0, 90.0), 0.5));
  in.qiLimit = pick(0.0, 0.3, 1.0, uniform(0.0, 3.0), 1e6, 1e300, -1.0);
  for (int& limit : in.loopLimits) limit = std::uniform_int_distribution<int>(0, 4)(random);
  if (in.system == CrystalSystem::Icosahedral)
    for (int& limit : in.loopLimits) limit = std::min(limit, 3);  // keeps the box walk of the sweep quick
  return in;
}

TEST(BoundedWalk, GivesExactlyTheBoxWalksRunOverARandomSweep) {
  std::mt19937 random(20261206);
  int nonEmpty = 0;
  int bounded = 0;
  for (int i = 0; i < 400; ++i) {
    const CalculationInputs in = RandomCase(random);
    const CalculationResult box = RunWith(in, WalkAlgorithm::Box);
    const CalculationResult fast = RunWith(in, WalkAlgorithm::Bounded);
    ASSERT_EQ(box.status, RunStatus::Completed) << box.error;
    ASSERT_EQ(fast.status, RunStatus::Completed) << fast.error;
    ASSERT_TRUE(SameRecords(box.records, fast.records))
        << "case " << i << ": system " << static_cast<int>(in.system) << " box " << box.records.size() << " fast "
        << fast.records.size();
    ASSERT_TRUE(SameStatistics(box.stats, fast.stats)) << "case " << i;
    ASSERT_EQ(box.loops, fast.loops);
    ASSERT_EQ(Report(box), Report(fast));
    EXPECT_LE(fast.visited, box.visited);
    nonEmpty += !box.records.empty();
    const ReflectionFilter filter{in.wavelength, in.thetaLow, in.thetaHigh, in.qiLimit};
    std::array<int, 6> limits = in.loopLimits;
    if (fast.lattice.nDim == 5) limits[5] = 0;
    const std::optional<EllipsoidBound> bound = MakeEllipsoidBound(fast.lattice, filter, limits);
    if (bound) {
      ++bounded;
      // The estimate's upper figure is a true bound of the walk.
      if (!FiltersExcludeEverything(filter)) {
        EXPECT_LE(static_cast<double>(fast.visited), EstimateVisits(*bound, limits).upper) << i;
      }
    }
  }
  // The sweep is not trivial, and theta ranges beyond 90 degrees and huge
  // qi-max are bounded too, by the limiting sphere and the box.
  EXPECT_GT(nonEmpty, 150);
  EXPECT_EQ(bounded, 400);
}

TEST(BoundedWalk, SkipsMostOfALargeBox) {
  CalculationInputs in = testing::SystemInputs(CrystalSystem::Icosahedral, 8);
  const CalculationResult fast = RunWith(in, WalkAlgorithm::Bounded);
  ASSERT_EQ(fast.status, RunStatus::Completed);
  EXPECT_EQ(fast.records.size(), 8814u);  // with the families whose qi is 1 up to rounding
  EXPECT_LT(fast.visited, static_cast<std::uint64_t>(fast.loops) / 100);
  // The list stops growing once the box holds the whole ellipsoid.
  in.loopLimits.fill(12);
  EXPECT_TRUE(SameRecords(RunWith(in, WalkAlgorithm::Bounded).records, fast.records));
}

TEST(BoundedWalk, DoesNotDependOnTheNumberOfThreads) {
  for (CrystalSystem system : {CrystalSystem::Decagonal, CrystalSystem::Icosahedral}) {
    const CalculationInputs in = testing::SystemInputs(system, 5);
    const CalculationResult one = RunWith(in, WalkAlgorithm::Bounded, 1);
    for (int threads : {2, 3, 7}) {
      const CalculationResult many = RunWith(in, WalkAlgorithm::Bounded, threads);
      EXPECT_TRUE(SameRecords(one.records, many.records)) << threads;
      EXPECT_TRUE(SameStatistics(one.stats, many.stats)) << threads;
    }
  }
}

// Without an internal limit the limiting sphere leaves tens of millions of vectors in the box of limit 20.
CalculationInputs LongRun() {
  CalculationInputs in = testing::SystemInputs(CrystalSystem::Icosahedral, 20);
  in.thetaLow = 0.0;
  in.thetaHigh = 90.0;
  in.qiLimit = 1e300;
  return in;
}

TEST(BoundedWalk, CancelStopsALongRun) {
  const CalculationInputs in = LongRun();
  std::atomic<bool> cancel{false};
  RunControl control;
  control.cancel = &cancel;
  int reports = 0;
  control.progress = [&](const RunProgress&) {
    if (++reports == 2) cancel = true;
  };
  const CalculationResult result = RunCalculation(in, control);
  EXPECT_EQ(result.status, RunStatus::Cancelled);
  EXPECT_TRUE(result.records.empty());
  EXPECT_LT(result.visited, static_cast<std::uint64_t>(result.loops));
}

TEST(BoundedWalk, RecordBudgetOfBothWalks) {
  const std::size_t kept = RunCalculation(testing::StartupInputs()).records.size();
  for (WalkAlgorithm algorithm : {WalkAlgorithm::Box, WalkAlgorithm::Bounded}) {
    RunControl control;
    control.algorithm = algorithm;
    control.maxRecords = kept;
    EXPECT_EQ(RunCalculation(testing::StartupInputs(), control).status, RunStatus::Completed);
    control.maxRecords = kept - 1;
    const CalculationResult over = RunCalculation(testing::StartupInputs(), control);
    EXPECT_EQ(over.status, RunStatus::Failed);
    EXPECT_NE(over.error.find(std::to_string(kept - 1) + " reflections"), std::string::npos) << over.error;
    EXPECT_TRUE(over.records.empty());
  }
}

// Boxes larger than the filters' ellipsoid, so that the bounds of every index
// (the outermost included) cut the walk.
TEST(BoundedWalk, CutsOnlyVectorsThatCannotPass) {
  for (CrystalSystem system : {CrystalSystem::Octagonal, CrystalSystem::Decagonal, CrystalSystem::Dodecagonal,
                               CrystalSystem::Icosahedral}) {
    for (bool yamamoto : {true, false}) {
      CalculationInputs in = testing::SystemInputs(system, system == CrystalSystem::Icosahedral ? 4 : 6);
      in.yamamoto = yamamoto;
      in.qiLimit = 0.6;
      const CalculationResult box = RunWith(in, WalkAlgorithm::Box);
      const CalculationResult fast = RunWith(in, WalkAlgorithm::Bounded);
      EXPECT_TRUE(SameRecords(box.records, fast.records)) << SystemName(system) << yamamoto;
      EXPECT_TRUE(SameStatistics(box.stats, fast.stats)) << SystemName(system) << yamamoto;
      EXPECT_FALSE(box.records.empty());
      EXPECT_LT(fast.visited * 2, box.visited) << SystemName(system) << yamamoto;
    }
  }
}

TEST(BoundedWalk, WideThetaRangesStayOnTheLimitingSphere) {
  // Icosahedral, loop limit 20 (4.75 billion vectors), theta 0 to 90 or more:
  // only the vectors inside the limiting sphere with qi up to 1 are visited.
  for (double thetaHigh : {90.0, 120.0}) {
    CalculationInputs in = testing::SystemInputs(CrystalSystem::Icosahedral, 20);
    in.thetaLow = 0.0;
    in.thetaHigh = thetaHigh;
    const CalculationResult result = RunCalculation(in);
    ASSERT_EQ(result.status, RunStatus::Completed) << result.error;
    EXPECT_LT(result.visited, 2'000'000u);
    EXPECT_GT(result.records.size(), 0u);
    for (const ReflectionRecord& r : result.records) ASSERT_LE(r.qe, 2.0 / in.wavelength * (1 + 1e-6));
  }
}

TEST(BoundedWalk, StopsARunThatWouldVisitTooManyVectors) {
  // Nothing limits the internal part: the box of limit 32767 leaves far too many.
  CalculationInputs in = testing::SystemInputs(CrystalSystem::Icosahedral, 32767);
  in.thetaLow = 0.0;
  in.thetaHigh = 90.0;
  in.qiLimit = 1e300;
  for (WalkAlgorithm algorithm : {WalkAlgorithm::Bounded, WalkAlgorithm::Box}) {
    const CalculationResult result = RunWith(in, algorithm);
    EXPECT_EQ(result.status, RunStatus::Failed);
    EXPECT_EQ(result.error, "the run would visit more than 10000000000 index vectors; lower the loop limits or qi-max");
    EXPECT_EQ(result.visited, 0u);  // refused before it started
    EXPECT_TRUE(result.records.empty());
  }
  // A thin ellipsoid (qi-max 0.001) has almost no volume, yet holds the
  // periodic axis: a walk whose size is only known on the way is stopped when
  // it gets there.
  in = testing::SystemInputs(CrystalSystem::Decagonal, 200);
  in.thetaLow = 0.0;
  in.thetaHigh = 90.0;
  in.qiLimit = 0.001;
  const CalculationResult whole = RunCalculation(in);
  ASSERT_EQ(whole.status, RunStatus::Completed);
  ASSERT_GT(whole.visited, 60u);
  RunControl control;
  control.maxVisited = 50;
  const CalculationResult stopped = RunCalculation(in, control);
  EXPECT_EQ(stopped.status, RunStatus::Failed);
  EXPECT_EQ(stopped.error, TooManyVisitsMessage(50));
  EXPECT_TRUE(stopped.records.empty());
}

TEST(BoundedWalk, TimeLimit) {
  for (WalkAlgorithm algorithm : {WalkAlgorithm::Bounded, WalkAlgorithm::Box}) {
    RunControl control;
    control.algorithm = algorithm;
    control.maxSeconds = 1e-9;
    CalculationInputs in = LongRun();
    if (algorithm == WalkAlgorithm::Box) in.loopLimits.fill(4);
    const CalculationResult result = RunCalculation(in, control);
    EXPECT_EQ(result.status, RunStatus::Failed);
    EXPECT_EQ(result.error, TooLongMessage(1e-9));
  }
}

TEST(EllipsoidBound, BoundedWhateverTheFilters) {
  const Lattice lattice = SetupLattice(CrystalSystem::Decagonal, 2.82, 12.06, true);
  const std::array<int, 6> limits{3, 3, 3, 3, 3, 0};
  EXPECT_TRUE(MakeEllipsoidBound(lattice, {0.71, 1, 30, 1}, limits).has_value());
  EXPECT_TRUE(MakeEllipsoidBound(lattice, {0.71, 1, 30, INFINITY}, limits).has_value());
  EXPECT_TRUE(MakeEllipsoidBound(lattice, {0.71, 1, 30, 0}, limits).has_value());
  // Beyond 90 degrees the limiting sphere bounds qe, the same for any theta maximum.
  const auto at90 = MakeEllipsoidBound(lattice, {0.71, 1, 90, 1}, limits);
  const auto at150 = MakeEllipsoidBound(lattice, {0.71, 1, 150, 1}, limits);
  ASSERT_TRUE(at90 && at150);
  EXPECT_EQ(at90->d, at150->d);
  EXPECT_FALSE(MakeEllipsoidBound(lattice, {0.0, 1, 30, 1}, limits).has_value());
  EXPECT_TRUE(FiltersExcludeEverything({0.71, 0, 30, -1}));
  EXPECT_TRUE(FiltersExcludeEverything({0.71, 0, 0, 1}));
  EXPECT_FALSE(FiltersExcludeEverything({0.71, 0, 30, 0}));
}

}  // namespace
}  // namespace lumora
