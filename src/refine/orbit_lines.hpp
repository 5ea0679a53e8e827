// Powder lines of complete orbits: each reflection of a run with all its
// equivalents under the point group (those beyond the run's loop box too),
// so that a line's multiplicity is its orbit's size however small the box.
// Each orbit is a line of its own, placed by
//   q^2(a, c) = axy / a^2 + az / c^2   (q = 1/d in 1/A, no 2 pi)
// as refine the lattice constants (scalable_lines.hpp); orbits of equal d
// give peaks at one place.
#pragma once

#include <vector>

#include "powder/scalable_lines.hpp"
#include "reflections/point_group.hpp"
#include "reflections/reflection_record.hpp"

namespace lumora {

struct OrbitLine {
  ScalableLine place;               // index: the orbit's representative; multiplicity: its size
  std::vector<IndexVector> members; // the orbit
};

// records: a run on lattice (a0, c0 its constants); group: its point group
// (the Laue class for intensities without anomalous differences). By d descending.
std::vector<OrbitLine> CompleteOrbitLines(const std::vector<ReflectionRecord>& records, const Lattice& lattice,
                                          const PointGroup& group);

}  // namespace lumora
