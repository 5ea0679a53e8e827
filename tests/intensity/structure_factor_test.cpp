// Structure factors of many sites and at the edges of the number range: the
// sharing of domain transforms between sites, the work limits and the guard
// against values that overflow.
#include <gtest/gtest.h>

#include <atomic>
#include <chrono>
#include <cmath>
#include <complex>
#include <random>

#include "intensity/structure_factor.hpp"
#include "reflections/calculation.hpp"

namespace lumora {
namespace {

ResolvedSite SiteAt(const std::array<double, 6>& x, OccupationDomain domain) {
  ResolvedSite site;
  site.z = 13;
  site.x = x;
  site.domain = std::move(domain);
  return site;
}

const std::vector<std::array<int, 6>> kIndices = {
    {1, 0, 0, 0, 1, 0}, {2, 1, 0, -1, 0, 0}, {1, 1, 1, 1, 2, 0}, {3, -1, 2, 0, 1, 0}, {0, 2, -2, 1, 3, 0}};

// F is linear in the sites: the model's F must be the sum of the F of each site
// alone, where nothing is shared. Equal domains, point mirrors (which share a
// conjugated transform), domains that differ only by a turn or by a little in
// size (which must not be shared) and thousands of distinct ones.
TEST(StructureFactor, SharedDomainTransformsGiveTheSumOverSites) {
  const Lattice lattice = SetupLattice(CrystalSystem::Decagonal, 2.82, 12.06, true);
  ResolvedModel model;
  model.internalCellVolume = 3.7;
  const double pi = 3.14159265358979323846;
  model.sites.push_back(SiteAt({0.2, 0.2, 0.2, 0.2, 0, 0}, RegularPolygon(5, 2.0, 0.0)));
  model.sites.push_back(SiteAt({0.4, 0.4, 0.4, 0.4, 0, 0}, RegularPolygon(5, 2.0, 0.0)));        // equal
  model.sites.push_back(SiteAt({0.6, 0.6, 0.6, 0.6, 0, 0}, RegularPolygon(5, 2.0, pi)));         // mirror
  model.sites.push_back(SiteAt({0.8, 0.8, 0.8, 0.8, 0, 0}, RegularPolygon(5, 2.0, 0.1)));        // turned
  model.sites.push_back(SiteAt({0.1, 0.3, 0.5, 0.7, 0.5, 0}, RegularPolygon(5, 2.0 + 1e-7, 0)));  // larger
  model.sites.push_back(SiteAt({0.3, 0.1, 0, 0, 0.5, 0}, DiskDomain{1.5}));
  model.sites.push_back(SiteAt({0.7, 0.1, 0, 0, 0.5, 0}, DiskDomain{1.5 * (1 + 1e-6)}));
  std::mt19937 random(7);
  std::uniform_real_distribution<double> unit(0.0, 1.0);
  for (int i = 0; i < 3000; ++i) {
    const std::array<double, 6> x{unit(random), unit(random), unit(random), unit(random), unit(random), 0.0};
    // Every fifth repeats an earlier size and turn: some shared, most distinct.
    const double size = i % 5 == 0 ? 1.0 : 0.5 + unit(random);
    const double turn = i % 5 == 0 ? (i % 2) * pi : unit(random) * 2 * pi;
    model.sites.push_back(SiteAt(x, RegularPolygon(3 + i % 6, size, turn)));
  }
  for (const auto& h : kIndices) {
    std::complex<double> sum = 0.0;
    for (const ResolvedSite& site : model.sites) {
      ResolvedModel single;
      single.internalCellVolume = model.internalCellVolume;
      single.sites = {site};
      sum += StructureFactor(single, lattice, h, 0.71);
    }
    const std::complex<double> whole = StructureFactor(model, lattice, h, 0.71);
    EXPECT_LE(std::abs(whole - sum), 1e-9 * (1.0 + std::abs(sum))) << h[0] << h[1] << h[2] << h[3] << h[4];
  }
}

std::vector<ReflectionRecord> RecordsOf(const std::vector<std::array<int, 6>>& indices, std::size_t copies) {
  std::vector<ReflectionRecord> records;
  for (std::size_t c = 0; c < copies; ++c)
    for (const auto& h : indices) {
      ReflectionRecord r;
      for (std::size_t k = 0; k < 6; ++k) r.h[k] = static_cast<float>(h[k]);
      records.push_back(r);
    }
  return records;
}

TEST(StructureFactor, WorkStopsWhenCancelledOrOutOfTime) {
  const Lattice lattice = SetupLattice(CrystalSystem::Decagonal, 2.82, 12.06, true);
  ResolvedModel model;
  model.internalCellVolume = 1.0;
  for (int i = 0; i < 50; ++i) model.sites.push_back(SiteAt({0.02 * i, 0, 0, 0, 0, 0}, RegularPolygon(5, 1.0 + 0.01 * i, 0)));
  const std::vector<ReflectionRecord> records = RecordsOf(kIndices, 20000);
  IntensityResult result;
  std::atomic<bool> cancel{true};
  IntensityControl control;
  control.cancel = &cancel;
  EXPECT_EQ(ComputeIntensities(model, lattice, records, 0.71, result, control), IntensityStatus::Cancelled);
  control.cancel = nullptr;
  control.deadline = std::chrono::steady_clock::now();
  EXPECT_EQ(ComputeIntensities(model, lattice, records, 0.71, result, control), IntensityStatus::TimedOut);
  EXPECT_FALSE(result.error.empty());
  control.deadline.reset();
  EXPECT_EQ(ComputeIntensities(model, lattice, RecordsOf(kIndices, 1), 0.71, result, control),
            IntensityStatus::Completed);
}

// The intensity is a percentage of the strongest reflection, so it does not
// change when every F is multiplied by the same factor, here 1e170 by a tiny
// internal cell: |F|^2 then overflows, |F| does not.
TEST(StructureFactor, IntensitiesSurviveHugeAndRefuseNonFiniteStructureFactors) {
  const Lattice lattice = SetupLattice(CrystalSystem::Decagonal, 2.82, 12.06, true);
  ResolvedModel model;
  model.sites.push_back(SiteAt({0.2, 0.2, 0.2, 0.2, 0, 0}, RegularPolygon(5, 2.0, 0.0)));
  model.sites.push_back(SiteAt({0.4, 0.4, 0.4, 0.4, 0.5, 0}, DiskDomain{1.0}));
  const std::vector<ReflectionRecord> records = RecordsOf(kIndices, 1);
  IntensityResult plain, huge;
  model.internalCellVolume = 1.0;
  ASSERT_EQ(ComputeIntensities(model, lattice, records, 0.71, plain), IntensityStatus::Completed);
  model.internalCellVolume = 1e-170;
  ASSERT_EQ(ComputeIntensities(model, lattice, records, 0.71, huge), IntensityStatus::Completed);
  for (std::size_t i = 0; i < records.size(); ++i) {
    EXPECT_TRUE(std::isfinite(huge.intensity[i]));
    EXPECT_NEAR(huge.intensity[i], plain.intensity[i], 1e-9 * plain.intensity[i] + 1e-12) << i;
  }
  // A domain whose area overflows: named, not NaN in the output.
  model.internalCellVolume = 1.0;
  model.sites.push_back(SiteAt({0, 0, 0, 0, 0, 0}, DiskDomain{1e200}));
  IntensityResult overflow;
  EXPECT_EQ(ComputeIntensities(model, lattice, records, 0.71, overflow), IntensityStatus::NotFinite);
  EXPECT_EQ(overflow.error.rfind("the structure factor of reflection (1 0 0 0 1) is not a finite number", 0), 0u)
      << overflow.error;
}

}  // namespace
}  // namespace lumora
