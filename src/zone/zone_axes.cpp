#include "zone/zone_axes.hpp"

#include <algorithm>
#include <cmath>
#include <stdexcept>

namespace lumora {
namespace {

constexpr double kPi = 3.14159265358979323846;

double Dot(const Direction& a, const Direction& b) { return a[0] * b[0] + a[1] * b[1] + a[2] * b[2]; }
double Norm(const Direction& a) { return std::sqrt(Dot(a, a)); }
Direction Scaled(const Direction& a, double f) { return {a[0] * f, a[1] * f, a[2] * f}; }
Direction Unit(const Direction& a) { return Scaled(a, 1.0 / Norm(a)); }
Direction Cross(const Direction& a, const Direction& b) {
  return {a[1] * b[2] - a[2] * b[1], a[2] * b[0] - a[0] * b[2], a[0] * b[1] - a[1] * b[0]};
}
// The lattices are built with the classic literals for pi and the icosahedral
// tilt, good to about 1e-9 rad.
bool Parallel(const Direction& a, const Direction& b) { return Norm(Cross(Unit(a), Unit(b))) < 1e-7; }

// The physical components of an n-dimensional vector (x, y, z).
Direction Physical(const Lattice& lattice, const std::array<double, 6>& v) {
  if (lattice.nDim == 6) return {v[0], v[1], v[2]};
  return {v[0], v[1], v[4]};
}

// Points the axis into the upper half (z > 0, else y > 0, else x > 0), so that
// each line has one representative.
SymmetryAxis Canonical(SymmetryAxis axis) {
  const Direction& d = axis.direction;
  const double sign = std::fabs(d[2]) > 1e-9 ? d[2] : std::fabs(d[1]) > 1e-9 ? d[1] : d[0];
  if (sign < 0.0) {
    axis.direction = Scaled(d, -1.0);
    for (int& u : axis.index) u = -u;
  }
  return axis;
}

double Azimuth(const Direction& d) {
  double a = std::atan2(d[1], d[0]);
  if (a < -1e-9) a += 2.0 * kPi;
  return a;
}

// The shortest direct-lattice vector (fewest index steps, then shortest
// physical part) whose physical part lies along d, within the index box [-2, 2].
// A direction in the plane (axial systems) skips the one basis vector with a
// component along the periodic axis: no vector using it lies in the plane.
std::array<int, 6> LatticeVectorAlong(const Lattice& lattice, const Direction& d) {
  const int n = lattice.nDim;
  std::array<bool, 6> searched{};
  for (int i = 0; i < n; ++i) searched[i] = true;
  if (lattice.system != CrystalSystem::Icosahedral && std::fabs(d[2]) < 1e-12) {
    int outOfPlane = -1, count = 0;
    for (int i = 0; i < n; ++i) {
      std::array<int, 6> e{};
      e[i] = 1;
      if (std::fabs(PhysicalDirectVector(lattice, e)[2]) > 1e-12) outOfPlane = i, ++count;
    }
    if (count == 1) searched[outOfPlane] = false;
  }
  std::array<int, 6> best{};
  int bestSteps = 1 << 30;
  double bestLength = 0.0;
  std::array<int, 6> u{};
  int count = 1;
  for (int i = 0; i < n; ++i) count *= searched[i] ? 5 : 1;
  for (int code = 0; code < count; ++code) {
    int c = code, steps = 0;
    for (int i = 0; i < n; ++i) {
      u[i] = 0;
      if (!searched[i]) continue;
      u[i] = c % 5 - 2;
      c /= 5;
      steps += std::abs(u[i]);
    }
    if (steps == 0 || steps > bestSteps) continue;
    const Direction r = PhysicalDirectVector(lattice, u);
    const double length = Norm(r);
    if (length < 1e-9 || Dot(r, d) <= 0.0 || !Parallel(r, d)) continue;
    if (steps < bestSteps || length < bestLength) best = u, bestSteps = steps, bestLength = length;
  }
  if (bestSteps == (1 << 30)) throw std::logic_error("no lattice vector along a symmetry axis");
  return best;
}

void AddUnique(std::vector<SymmetryAxis>& axes, SymmetryAxis axis) {
  axis.direction = Unit(axis.direction);
  for (const SymmetryAxis& a : axes)
    if (Parallel(a.direction, axis.direction)) return;
  axes.push_back(Canonical(axis));
}

void SortByPosition(std::vector<SymmetryAxis>::iterator begin, std::vector<SymmetryAxis>::iterator end) {
  std::stable_sort(begin, end, [](const SymmetryAxis& a, const SymmetryAxis& b) {
    const double ta = std::acos(std::clamp(a.direction[2], -1.0, 1.0));
    const double tb = std::acos(std::clamp(b.direction[2], -1.0, 1.0));
    if (std::fabs(ta - tb) > 1e-9) return ta < tb;
    return Azimuth(a.direction) < Azimuth(b.direction) - 1e-9;
  });
}

std::vector<SymmetryAxis> IcosahedralAxes(const Lattice& lattice) {
  std::vector<Direction> fives;
  for (int i = 0; i < 6; ++i) {
    std::array<int, 6> u{};
    u[i] = 1;
    fives.push_back(Unit(PhysicalDirectVector(lattice, u)));
  }
  // Neighbouring five-fold axes make 63.43 degrees (cos = 1/sqrt 5); with the
  // sign that makes them neighbours, their sums give the two- and three-folds.
  const double neighbour = 1.0 / std::sqrt(5.0);
  auto sign = [&](int i, int j) {
    const double c = Dot(fives[i], fives[j]);
    return std::fabs(std::fabs(c) - neighbour) < 1e-6 ? (c > 0 ? 1 : -1) : 0;
  };
  std::vector<SymmetryAxis> five, three, two;
  for (int i = 0; i < 6; ++i) {
    std::array<int, 6> u{};
    u[i] = 1;
    AddUnique(five, {"5", 5, PhysicalDirectVector(lattice, u), u});
    for (int j = i + 1; j < 6; ++j) {
      const int sj = sign(i, j);
      if (sj == 0) continue;
      std::array<int, 6> v = u;
      v[j] = sj;
      AddUnique(two, {"2", 2, PhysicalDirectVector(lattice, v), v});
      for (int k = j + 1; k < 6; ++k) {
        const int sk = sign(i, k);
        if (sk == 0 || sign(j, k) != sj * sk) continue;
        std::array<int, 6> w = v;
        w[k] = sk;
        AddUnique(three, {"3", 3, PhysicalDirectVector(lattice, w), w});
      }
    }
  }
  std::vector<SymmetryAxis> all;
  for (auto* kind : {&five, &three, &two}) {
    SortByPosition(kind->begin(), kind->end());
    all.insert(all.end(), kind->begin(), kind->end());
  }
  return all;
}

int PeriodicOrder(CrystalSystem system) {
  switch (system) {
    case CrystalSystem::Octagonal: return 8;
    case CrystalSystem::Decagonal: return 10;
    case CrystalSystem::Dodecagonal: return 12;
    case CrystalSystem::Icosahedral: break;
  }
  return 5;
}

SymmetryAxis PeriodicAxis(const Lattice& lattice) {
  const int order = PeriodicOrder(lattice.system);
  std::array<int, 6> periodic{};
  periodic[4] = 1;
  return {std::to_string(order), order, {0.0, 0.0, 1.0}, periodic};
}

// The k-th in-plane two-fold axis of a family: order of them every 180/order
// degrees from the first reciprocal basis vector, the families alternating.
SymmetryAxis InPlaneAxis(const Lattice& lattice, int family, int k) {
  const int order = PeriodicOrder(lattice.system);
  const double start = std::atan2(lattice.firstAxisDir[1], lattice.firstAxisDir[0]);
  const double angle = start + (2.0 * k + family) * kPi / order;
  SymmetryAxis axis = Canonical({family == 0 ? "2" : "2'", 2, {std::cos(angle), std::sin(angle), 0.0}, {}});
  axis.index = LatticeVectorAlong(lattice, axis.direction);
  return axis;
}

std::vector<SymmetryAxis> AxialAxes(const Lattice& lattice) {
  std::vector<SymmetryAxis> all{PeriodicAxis(lattice)};
  const int order = PeriodicOrder(lattice.system);
  for (int family = 0; family < 2; ++family)
    for (int k = 0; k < order / 2; ++k) all.push_back(InPlaneAxis(lattice, family, k));
  return all;
}

}  // namespace

Direction PhysicalDirectVector(const Lattice& lattice, const std::array<int, 6>& u) {
  std::array<double, 6> v{};
  for (int i = 0; i < lattice.nDim; ++i)
    for (int j = 0; j < lattice.nDim; ++j) v[j] += static_cast<double>(u[i]) * lattice.directMatrix[i][j];
  return Physical(lattice, v);
}

std::vector<SymmetryAxis> SymmetryAxes(const Lattice& lattice) {
  return lattice.system == CrystalSystem::Icosahedral ? IcosahedralAxes(lattice) : AxialAxes(lattice);
}

std::optional<SymmetryAxis> NamedAxis(const Lattice& lattice, std::string_view name) {
  std::string wanted(name);
  if (lattice.system != CrystalSystem::Icosahedral) {
    // Only the axis asked for: each in-plane one costs an index search.
    if (wanted == "2" || wanted == "2a") return InPlaneAxis(lattice, 0, 0);
    if (wanted == "2'" || wanted == "2b") return InPlaneAxis(lattice, 1, 0);
    if (wanted == std::to_string(PeriodicOrder(lattice.system))) return PeriodicAxis(lattice);
    return std::nullopt;
  }
  for (const SymmetryAxis& axis : IcosahedralAxes(lattice))
    if (axis.name == wanted) return axis;
  return std::nullopt;
}

std::string AxisNames(const Lattice& lattice) {
  if (lattice.system == CrystalSystem::Icosahedral) return "5, 3 or 2";
  return std::to_string(PeriodicOrder(lattice.system)) + ", 2 (2a) or 2' (2b)";
}

SymmetryAxis AxisFromIndex(const Lattice& lattice, const std::array<int, 6>& u) {
  const Direction r = PhysicalDirectVector(lattice, u);
  if (Norm(r) == 0.0) throw std::invalid_argument("the index vector is zero");
  SymmetryAxis axis;
  axis.direction = Unit(r);
  axis.index = u;
  axis.name = "[";
  for (int i = 0; i < lattice.nDim; ++i) axis.name += (i ? "," : "") + std::to_string(u[i]);
  axis.name += "]";
  axis.order = 2;
  if (lattice.system != CrystalSystem::Icosahedral) {
    // Off the periodic axis every symmetry axis is a two-fold one.
    if (Parallel(PeriodicAxis(lattice).direction, axis.direction)) axis.order = PeriodicOrder(lattice.system);
    return axis;
  }
  for (const SymmetryAxis& s : IcosahedralAxes(lattice))
    if (Parallel(s.direction, axis.direction)) axis.order = s.order;
  return axis;
}

double AngleBetweenAxes(const Direction& a, const Direction& b) {
  return std::atan2(Norm(Cross(a, b)), std::fabs(Dot(a, b))) * 180.0 / kPi;
}

bool HasSecondaryMirrors(const SpaceGroup& group) {
  if (group.system == CrystalSystem::Icosahedral) return true;
  // The lattice letter, the main axis with its screw and bar, and "/m" or "/n".
  std::string_view s = group.symbol;
  s.remove_prefix(1);
  if (!s.empty() && s.front() == '-') s.remove_prefix(1);
  while (!s.empty() && (std::isdigit(static_cast<unsigned char>(s.front())) || s.front() == '.')) s.remove_prefix(1);
  if (s.size() >= 2 && s.front() == '/') s.remove_prefix(2);
  return !s.empty();
}

std::vector<Direction> MirrorNormals(const Lattice& lattice, const SpaceGroup& group) {
  std::vector<Direction> normals;
  const std::vector<SymmetryAxis> axes = SymmetryAxes(lattice);
  const bool icosahedral = lattice.system == CrystalSystem::Icosahedral;
  for (const SymmetryAxis& axis : axes) {
    if (icosahedral && axis.order == 2) normals.push_back(axis.direction);
    if (!icosahedral && axis.order > 2) normals.push_back(axis.direction);
    if (!icosahedral && axis.order == 2 && HasSecondaryMirrors(group)) normals.push_back(axis.direction);
  }
  return normals;
}

}  // namespace lumora
