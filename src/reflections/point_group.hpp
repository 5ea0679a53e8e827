// The point-group operations of a system's lattice acting on index vectors:
// integer matrices M (h' = M h) of the orthogonal maps that rotate or mirror
// physical and internal space together and keep the lattice. They are derived
// from the lattice basis (inverseMatrix, directMatrix), not tabulated, so they
// hold for either setting.
#pragma once

#include <array>
#include <string>
#include <vector>

#include "lattice/lattice.hpp"
#include "reflections/space_groups.hpp"

namespace lumora {

using IndexVector = std::array<int, 6>;  // h1..h6 (h6 = 0 when axial)
using IndexMatrix = std::array<std::array<int, 6>, 6>;

struct PointGroup {
  std::string name;                 // "10/mmm", "8/m", "m-3-5"
  std::vector<IndexMatrix> operations;  // the identity first
};

// The holohedry of the lattice: N/mmm (order 4N) for the axial systems, m-3-5
// (order 120) for the icosahedral one. Throws std::logic_error when the basis
// does not give a group of that order (a broken lattice).
PointGroup LatticeHolohedry(const Lattice& lattice);

// The Laue class of a space group on its lattice: the point group with the
// inversion added, N/m when the symbol has no mirror or two-fold axis beside
// the main axis (P10.5, P-8, I8/m), else N/mmm; m-3-5 for every icosahedral group.
PointGroup LaueClass(const Lattice& lattice, const SpaceGroup& group);

IndexVector Apply(const IndexMatrix& m, const IndexVector& h, int nDim);

// The representative of h's orbit: the lexicographically largest image.
IndexVector OrbitRepresentative(const PointGroup& group, const IndexVector& h, int nDim);

}  // namespace lumora
