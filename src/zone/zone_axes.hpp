// The symmetry axes of a quasicrystal system in the report's physical frame
// (x, y, z of the reflections, 1/A directions), each with an n-dimensional
// direct-lattice vector along it, and beam directions from names or index
// vectors. Icosahedral: the six five-fold axes are the physical parts of the
// direct basis vectors; the ten three-fold and fifteen two-fold axes are sums
// of three and two neighbouring five-fold ones. Axial systems: the periodic
// axis z and the in-plane two-fold axes of the two direction families of the
// reflection classes (first family along the first reciprocal basis vector,
// second family halfway between).
#pragma once

#include <array>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "lattice/lattice.hpp"
#include "reflections/space_groups.hpp"

namespace lumora {

using Direction = std::array<double, 3>;  // unit vector, report frame

struct SymmetryAxis {
  std::string name;            // "5", "3", "2" (icosahedral); "10", "2", "2'" (axial)
  int order = 2;               // rotation order
  Direction direction{};       // unit vector; the axis and its opposite are one axis
  std::array<int, 6> index{};  // direct-lattice vector with its physical part along direction
};

// Every symmetry axis of the system, one per line (not both ends), grouped by
// kind in the order of their names above. Icosahedral: within a kind by the
// angle from the report's z axis, then by azimuth; axial: each family from its
// first axis (along the first reciprocal basis vector, or 180/N degrees on)
// counter-clockwise.
std::vector<SymmetryAxis> SymmetryAxes(const Lattice& lattice);

// The named axis ("5", "3", "2" icosahedral; "10"/"8"/"12", "2", "2'" axial;
// "2a" and "2b" may stand for "2" and "2'"): the first of that kind in the list
// above (for the icosahedral five-fold axis: along row 0 of the direct basis).
std::optional<SymmetryAxis> NamedAxis(const Lattice& lattice, std::string_view name);
// The names NamedAxis takes for this lattice, for messages.
std::string AxisNames(const Lattice& lattice);

// The physical part of the direct vector sum u_i a_i, A (report frame).
Direction PhysicalDirectVector(const Lattice& lattice, const std::array<int, 6>& u);

// A beam along the direct-lattice vector u (not all zero). The axis is named
// "[u1,...,un]"; its order is that of a symmetry axis along it, else 2
// (Friedel's law alone).
SymmetryAxis AxisFromIndex(const Lattice& lattice, const std::array<int, 6>& u);

// Angle between two axes (lines), degrees 0..90.
double AngleBetweenAxes(const Direction& a, const Direction& b);

// Whether the group's point group has vertical mirrors (symbols with secondary
// directions, "P10/mmm", "P10mm", "P-10m2"); the icosahedral groups always do.
bool HasSecondaryMirrors(const SpaceGroup& group);

// Normals of the mirror planes of the diffraction symmetry (with Friedel's
// law): icosahedral the fifteen two-fold axes; axial the periodic axis and,
// with secondary mirrors, every in-plane two-fold axis.
std::vector<Direction> MirrorNormals(const Lattice& lattice, const SpaceGroup& group);

}  // namespace lumora
