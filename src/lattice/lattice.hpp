// The higher-dimensional lattice of a quasicrystal system: its direct basis,
// the inverse (whose columns are the reciprocal basis vectors), and the
// in-plane reference direction and mirror steps used to classify reflections.
#pragma once

#include <array>
#include <string_view>

#include "lattice/matrix.hpp"

namespace lumora {

enum class CrystalSystem { Octagonal = 1, Decagonal = 2, Dodecagonal = 3, Icosahedral = 4 };

// "Octagonal", "Decagonal", "Dodecagonal", "Icosahedral".
std::string_view SystemName(CrystalSystem system);
// 5 for the axial systems, 6 for icosahedral.
int DimensionOf(CrystalSystem system);
// List index 0..3 of the system list <-> system.
CrystalSystem SystemFromIndex(int index);
int SystemIndex(CrystalSystem system);

struct Lattice {
  CrystalSystem system = CrystalSystem::Decagonal;
  double a = 0.0;
  double c = 0.0;
  bool yamamoto = true;
  int nDim = 5;
  Matrix7 directMatrix{};
  Matrix7 inverseMatrix{};
  // In-plane unit vector of the first reciprocal basis vector (axial systems).
  std::array<double, 4> firstAxisDir{};
  // Angular steps (degrees) of the two families of symmetry directions; zero for
  // the icosahedral system, which has no direction classes.
  float mirrorAngle1 = 0.0f;
  float mirrorAngle2 = 0.0f;
};

// The basis matrix of one system in one setting, rows as the setting defines
// them: reciprocal basis vectors in 1/A (Steurer) or direct basis vectors in A
// (Yamamoto). Elements outside the n x n block are 0.
Matrix7 SystemBasis(CrystalSystem system, double a, double c, bool yamamoto);

// Builds the lattice for a system. Throws std::invalid_argument when a (or c,
// for the axial systems) is zero or not finite: the bases would be singular.
Lattice SetupLattice(CrystalSystem system, double a, double c, bool yamamoto);

}  // namespace lumora
