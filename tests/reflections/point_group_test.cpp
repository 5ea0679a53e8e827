// Point-group operations in index space: each keeps the physical and internal
// lengths of every reciprocal vector (worked out from the lattice matrices),
// they form a group of the holohedry's order, and the intensities of a model
// with that symmetry (the Penrose and Ammann-Kramer tilings) agree over each orbit.
#include <gtest/gtest.h>

#include <cmath>
#include <map>
#include <random>

#include "intensity/model_file.hpp"
#include "intensity/structure_factor.hpp"
#include "reflections/point_group.hpp"

namespace lumora {
namespace {

std::array<double, 2> Lengths(const Lattice& lattice, const IndexVector& h) {
  std::array<double, 6> w{};
  for (int i = 0; i < lattice.nDim; ++i)
    for (int j = 0; j < lattice.nDim; ++j) w[i] += lattice.inverseMatrix[i][j] * h[j];
  if (lattice.nDim == 6)
    return {std::hypot(w[0], w[1], w[2]), std::hypot(w[3], w[4], w[5])};
  return {std::hypot(w[0], w[1], w[4]), std::hypot(w[2], w[3])};
}

IndexMatrix Product(const IndexMatrix& a, const IndexMatrix& b) {
  IndexMatrix c{};
  for (int i = 0; i < 6; ++i)
    for (int j = 0; j < 6; ++j)
      for (int k = 0; k < 6; ++k) c[i][j] += a[i][k] * b[k][j];
  return c;
}

TEST(PointGroup, HolohedryKeepsLengthsAndIsAGroupInEverySetting) {
  const std::map<CrystalSystem, std::pair<std::size_t, const char*>> expected = {
      {CrystalSystem::Octagonal, {32, "8/mmm"}},
      {CrystalSystem::Decagonal, {40, "10/mmm"}},
      {CrystalSystem::Dodecagonal, {48, "12/mmm"}},
      {CrystalSystem::Icosahedral, {120, "m-3-5"}}};
  std::mt19937 random(7);
  std::uniform_int_distribution<int> index(-4, 4);
  for (const auto& [system, order] : expected)
    for (bool yamamoto : {true, false}) {
      SCOPED_TRACE(std::string(SystemName(system)) + (yamamoto ? " Yamamoto" : " Steurer"));
      const Lattice lattice = SetupLattice(system, 4.1, 7.3, yamamoto);
      const PointGroup group = LatticeHolohedry(lattice);
      EXPECT_EQ(group.name, order.second);
      ASSERT_EQ(group.operations.size(), order.first);
      for (int trial = 0; trial < 20; ++trial) {
        IndexVector h{};
        for (int i = 0; i < lattice.nDim; ++i) h[i] = index(random);
        const auto before = Lengths(lattice, h);
        for (const IndexMatrix& m : group.operations) {
          const auto after = Lengths(lattice, Apply(m, h, lattice.nDim));
          // The lattice is built with pi = 3.141592654: equal to about 1e-9 of |q|.
          const double tolerance = 1e-8 * (before[0] + before[1]);
          EXPECT_NEAR(after[0], before[0], tolerance);
          EXPECT_NEAR(after[1], before[1], tolerance);
        }
      }
      // Closed under products, with the inversion (Friedel's pairs) among them.
      IndexMatrix inversion{};
      for (int i = 0; i < lattice.nDim; ++i) inversion[i][i] = -1;
      EXPECT_NE(std::find(group.operations.begin(), group.operations.end(), inversion), group.operations.end());
      const auto& ops = group.operations;
      for (std::size_t a = 0; a < ops.size(); a += 7)
        for (const IndexMatrix& b : ops)
          EXPECT_NE(std::find(ops.begin(), ops.end(), Product(ops[a], b)), ops.end());
    }
}

TEST(PointGroup, LaueClassFollowsTheSpaceGroupSymbol) {
  const Lattice decagonal = SetupLattice(CrystalSystem::Decagonal, 2.82, 12.06, true);
  for (const char* symbol : {"P10", "P10/m"}) EXPECT_EQ(LaueClass(decagonal, *FindGroup(symbol)).operations.size(), 20u);
  for (const char* symbol : {"P10.5/mmc", "P-10m2", "P1022", "P10.5cm"}) {
    const PointGroup laue = LaueClass(decagonal, *FindGroup(symbol));
    EXPECT_EQ(laue.name, "10/mmm") << symbol;
  }
  const Lattice octagonal = SetupLattice(CrystalSystem::Octagonal, 2.82, 12.06, false);
  for (const char* symbol : {"P-8", "I8/m", "P8/n", "P8.4/nnm", "P82.12"}) {
    const PointGroup laue = LaueClass(octagonal, *FindGroup(symbol));
    const bool mainAxisOnly = std::string(symbol).find("nnm") == std::string::npos &&
                              std::string(symbol).find("2.12") == std::string::npos;
    EXPECT_EQ(laue.name, mainAxisOnly ? "8/m" : "8/mmm") << symbol;
  }
  // 10/m is a subgroup of the holohedry.
  const PointGroup tenM = LaueClass(decagonal, *FindGroup("P10/m"));
  const PointGroup full = LatticeHolohedry(decagonal);
  for (const IndexMatrix& m : tenM.operations)
    EXPECT_NE(std::find(full.operations.begin(), full.operations.end(), m), full.operations.end());
}

TEST(PointGroup, EquivalentsOfSymmetricModelsHaveEqualIntensities) {
  struct Case {
    const char* model;
    CrystalSystem system;
    bool yamamoto;
  };
  for (const Case& c : {Case{"penrose", CrystalSystem::Decagonal, true}, Case{"penrose", CrystalSystem::Decagonal, false},
                        Case{"ammann-kramer", CrystalSystem::Icosahedral, false}}) {
    const Lattice lattice = SetupLattice(c.system, 4.2, 8.0, c.yamamoto);
    const auto resolved = ResolveModel(*BuiltinModel(c.model), lattice);
    const ResolvedModel& model = std::get<ResolvedModel>(resolved);
    const PointGroup group = LatticeHolohedry(lattice);
    for (const IndexVector& h : {IndexVector{1, 0, 0, 0, 0, 0}, IndexVector{2, -1, 1, 0, 1, 0}, IndexVector{1, 1, 2, 0, 1, 1}}) {
      const double reference = std::norm(StructureFactor(model, lattice, h, 0.7107));
      ASSERT_GT(reference, 1e-6);
      for (const IndexMatrix& m : group.operations)
        EXPECT_NEAR(std::norm(StructureFactor(model, lattice, Apply(m, h, lattice.nDim), 0.7107)), reference, 1e-6 * reference)
            << c.model;
    }
  }
}

}  // namespace
}  // namespace lumora
