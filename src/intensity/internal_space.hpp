// The internal (perpendicular-space) side of a lattice: the internal part of
// an n-dimensional vector, the tiling's star length, the internal volume of the
// unit cell, and the basis change between the two settings.
//
// Internal coordinates are Cartesian, in angstrom, in the component order of
// the lattice basis: components 2, 3 of the axial systems (internal x, y, plus a
// zero third), components 3, 4, 5 of the icosahedral one. A reciprocal vector
// H = inverseMatrix * h has internal part q_perp in 1/A without 2 pi, so that
// H . x = q_par . r_par + q_perp . r_perp for x in the direct basis.
#pragma once

#include <array>

#include "lattice/lattice.hpp"

namespace lumora {

using Vec3 = std::array<double, 3>;

// 2 for the axial systems, 3 for the icosahedral one.
int InternalDimension(const Lattice& lattice);

// The internal components of an n-dimensional vector (third 0 when axial).
Vec3 InternalPart(const Lattice& lattice, const std::array<double, 6>& v);
// The physical components (x, y, z; z along the periodic axis when axial).
Vec3 PhysicalPart(const Lattice& lattice, const std::array<double, 6>& v);

// Direct basis vector i (row i of directMatrix).
std::array<double, 6> DirectRow(const Lattice& lattice, int i);

// The star vector e0 of the tiling the lattice describes: row 0 of the direct
// basis, except decagonal, whose rows are differences e_k - e0 of the five-fold
// star, so e0 = -(row0 + row1 + row2 + row3) / 5.
std::array<double, 6> StarVector(const Lattice& lattice);

// Length of the internal part of the star vector, A. It equals its physical
// length, the edge of the tiling's rhombi: octagonal a (Yamamoto) and a/2
// (Steurer), decagonal 2a/sqrt5 and 2a/5, dodecagonal 2a/sqrt3 and a/sqrt3,
// icosahedral a and a/2.
double StarLength(const Lattice& lattice);

// Volume (area when axial) of the unit cell projected onto internal space, A^2
// or A^3: the zonotope of the internal parts of the quasiperiodic basis rows.
double InternalCellVolume(const Lattice& lattice);

// The relation of the two settings of a system: with the same star length,
// the Yamamoto basis equals transform * Steurer basis, with the internal
// component mirroredComponent (0..2) negated (-1: none). Fractional
// coordinates therefore map as x_Steurer = x_Yamamoto * transform.
struct SettingChange {
  std::array<std::array<int, 6>, 6> transform{};
  int mirroredComponent = -1;
};
SettingChange SettingChangeOf(CrystalSystem system);

}  // namespace lumora
