// The bounded walk: every index vector inside the loop limits that can pass
// the theta and qi filters, in exactly the order of the box walk, with the
// outermost index split across threads.
#pragma once

#include <array>
#include <atomic>
#include <cstdint>
#include <string>
#include <vector>

#include "reflections/calculation.hpp"
#include "reflections/index_slab.hpp"

namespace lumora {

struct WalkOutcome {
  RunStatus status = RunStatus::Completed;
  std::string error;
  std::vector<ReflectionRecord> records;  // in box-walk order
  RunStatistics stats;
  std::uint64_t visited = 0;              // index vectors handed to the filters
  std::size_t kept = 0;
};

// Walks limits[0..n-1] (n = lattice.nDim), each index from +limit down to
// -limit, the first outermost. Vectors outside the filters' ellipsoid are
// skipped without being computed; only where the ellipsoid cannot be trusted
// (a wildly ill-conditioned lattice) is the whole box walked. A walk that
// would visit more than control.maxVisited vectors fails with a message. The
// result does not depend on the number of threads. With a slab, only the
// vectors in it are visited.
WalkOutcome BoundedWalk(const Lattice& lattice, const SpaceGroup& group, const ReflectionFilter& filter,
                        const std::array<int, 6>& limits, const RunControl& control, const IndexSlab* slab = nullptr);

}  // namespace lumora
