#include "refine/orbit_lines.hpp"

#include <algorithm>
#include <cmath>
#include <set>

#include "intensity/internal_space.hpp"

namespace lumora {

std::vector<OrbitLine> CompleteOrbitLines(const std::vector<ReflectionRecord>& records, const Lattice& lattice,
                                          const PointGroup& group) {
  const int n = lattice.nDim;
  const bool icosahedral = n == 6;
  std::set<IndexVector> seen;
  std::vector<OrbitLine> lines;
  for (const ReflectionRecord& r : records) {
    IndexVector h{};
    for (int i = 0; i < n; ++i) h[static_cast<std::size_t>(i)] = static_cast<int>(std::lround(r.h[static_cast<std::size_t>(i)]));
    const IndexVector key = OrbitRepresentative(group, h, n);
    if (!seen.insert(key).second) continue;
    OrbitLine line;
    std::set<IndexVector> orbit;
    for (const IndexMatrix& m : group.operations) orbit.insert(Apply(m, key, n));
    line.members.assign(orbit.begin(), orbit.end());
    std::array<double, 6> w{};
    for (int i = 0; i < n; ++i)
      for (int j = 0; j < n; ++j) w[static_cast<std::size_t>(i)] += lattice.inverseMatrix[i][j] * key[static_cast<std::size_t>(j)];
    const Vec3 p = PhysicalPart(lattice, w);
    line.place.index = key;
    line.place.multiplicity = static_cast<int>(line.members.size());
    if (icosahedral) {
      line.place.axy = (p[0] * p[0] + p[1] * p[1] + p[2] * p[2]) * lattice.a * lattice.a;
    } else {
      line.place.axy = (p[0] * p[0] + p[1] * p[1]) * lattice.a * lattice.a;
      line.place.az = p[2] * p[2] * lattice.c * lattice.c;
    }
    lines.push_back(std::move(line));
  }
  std::sort(lines.begin(), lines.end(), [&](const OrbitLine& x, const OrbitLine& y) {
    return LineQ(x.place, lattice.a, lattice.c) < LineQ(y.place, lattice.a, lattice.c);
  });
  return lines;
}

}  // namespace lumora
