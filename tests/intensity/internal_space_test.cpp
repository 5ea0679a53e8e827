// The internal side of the lattices, checked against the tiling geometry.
#include <gtest/gtest.h>

#include <cmath>

#include "intensity/internal_space.hpp"

namespace lumora {
namespace {

constexpr CrystalSystem kSystems[] = {CrystalSystem::Octagonal, CrystalSystem::Decagonal, CrystalSystem::Dodecagonal,
                                      CrystalSystem::Icosahedral};

double Length(const Vec3& v) { return std::sqrt(v[0] * v[0] + v[1] * v[1] + v[2] * v[2]); }

TEST(InternalSpace, StarLengthIsTheTilingEdge) {
  const double a = 2.7;
  struct Expected {
    CrystalSystem system;
    double yamamoto, steurer;  // in units of a
  };
  for (const Expected& e : {Expected{CrystalSystem::Octagonal, 1.0, 0.5},
                            Expected{CrystalSystem::Decagonal, 2.0 / std::sqrt(5.0), 0.4},
                            Expected{CrystalSystem::Dodecagonal, 2.0 / std::sqrt(3.0), 1.0 / std::sqrt(3.0)},
                            Expected{CrystalSystem::Icosahedral, 1.0, 0.5}}) {
    for (bool yamamoto : {true, false}) {
      const Lattice lattice = SetupLattice(e.system, a, 4.0, yamamoto);
      const double star = StarLength(lattice);
      EXPECT_NEAR(star, a * (yamamoto ? e.yamamoto : e.steurer), 1e-9 * a) << SystemName(e.system);
      // pi is the lattice code's 3.141592654, so 1e-9.
  // The star vector is as long in physical as in internal space: the rhombus edge.
      EXPECT_NEAR(Length(PhysicalPart(lattice, StarVector(lattice))), star, 1e-9 * a) << SystemName(e.system);
    }
  }
}

TEST(InternalSpace, CellVolumeOfTheHypercubicLattices) {
  // The projected unit cells of the hypercubic lattices are the regular octagon
  // and the rhombic triacontahedron of edge a.
  const double a = 1.9;
  const Lattice oct = SetupLattice(CrystalSystem::Octagonal, a, 3.0, true);
  EXPECT_NEAR(InternalCellVolume(oct), 2.0 * (1.0 + std::sqrt(2.0)) * a * a, 1e-12);
  const Lattice ico = SetupLattice(CrystalSystem::Icosahedral, a, 3.0, true);
  EXPECT_NEAR(InternalCellVolume(ico), 4.0 * std::sqrt(5.0 + 2.0 * std::sqrt(5.0)) * a * a * a, 1e-11);
}

TEST(InternalSpace, SettingsDifferByTheStatedBasisChange) {
  // Yamamoto rows = transform * Steurer rows (at the same star length), with
  // the stated internal component negated.
  for (CrystalSystem system : kSystems) {
    const Lattice y = SetupLattice(system, 3.1, 7.0, true);
    const Lattice unit = SetupLattice(system, 1.0, 7.0, false);
    const Lattice s = SetupLattice(system, 1.0 * StarLength(y) / StarLength(unit), 7.0, false);
    const SettingChange change = SettingChangeOf(system);
    const int n = y.nDim;
    const int first = n == 6 ? 3 : 2;
    for (int i = 0; i < n; ++i)
      for (int j = 0; j < n; ++j) {
        double sum = 0.0;
        for (int k = 0; k < n; ++k) sum += change.transform[i][k] * s.directMatrix[k][j];
        if (change.mirroredComponent >= 0 && j - first == change.mirroredComponent) sum = -sum;
        EXPECT_NEAR(y.directMatrix[i][j], sum, 1e-8) << SystemName(system) << " row " << i << " column " << j;
      }
  }
}

}  // namespace
}  // namespace lumora
