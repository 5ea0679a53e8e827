#include "reflections/point_group.hpp"

#include <algorithm>
#include <cmath>
#include <numeric>
#include <stdexcept>

namespace lumora {
namespace {

constexpr double kTwoPi = 6.283185307179586476925;

using Real6 = std::array<std::array<double, 6>, 6>;

// M = D R A: the index-space matrix of the reciprocal-space map R (w = A h with
// A = inverseMatrix, D = directMatrix its inverse), when it is integral.
bool IndexMatrixOf(const Lattice& lattice, const Real6& r, IndexMatrix& m) {
  const int n = lattice.nDim;
  Real6 ra{};
  for (int i = 0; i < n; ++i)
    for (int j = 0; j < n; ++j) {
      double sum = 0.0;
      for (int k = 0; k < n; ++k) sum += r[i][k] * lattice.inverseMatrix[k][j];
      ra[i][j] = sum;
    }
  m = {};
  for (int i = 0; i < n; ++i)
    for (int j = 0; j < n; ++j) {
      double sum = 0.0;
      for (int k = 0; k < n; ++k) sum += lattice.directMatrix[i][k] * ra[k][j];
      const double whole = std::round(sum);
      if (std::fabs(sum - whole) > 1e-6) return false;
      m[i][j] = static_cast<int>(whole);
    }
  return true;
}

IndexMatrix Multiply(const IndexMatrix& a, const IndexMatrix& b, int n) {
  IndexMatrix c{};
  for (int i = 0; i < n; ++i)
    for (int j = 0; j < n; ++j) {
      int sum = 0;
      for (int k = 0; k < n; ++k) sum += a[i][k] * b[k][j];
      c[i][j] = sum;
    }
  return c;
}

void AddUnique(std::vector<IndexMatrix>& ops, const IndexMatrix& m) {
  if (std::find(ops.begin(), ops.end(), m) == ops.end()) ops.push_back(m);
}

// A 2 x 2 rotation by angle, or the mirror across the line at angle/2.
std::array<double, 4> PlaneMap(double angle, bool mirror) {
  const double c = std::cos(angle), s = std::sin(angle);
  if (mirror) return {c, s, s, -c};
  return {c, -s, s, c};
}

// Axial: the in-plane physical map (rotation by 2 pi k/N or a mirror across
// a line at a multiple of pi/2N), an internal map of the same kind, and
// z -> +-z; the integral ones form the holohedry.
std::vector<IndexMatrix> AxialOperations(const Lattice& lattice, int order) {
  std::vector<std::array<double, 4>> maps;
  for (int k = 0; k < order; ++k) maps.push_back(PlaneMap(kTwoPi * k / order, false));
  for (int k = 0; k < 2 * order; ++k) maps.push_back(PlaneMap(kTwoPi * k / (2 * order), true));
  std::vector<IndexMatrix> ops;
  for (const auto& physical : maps)
    for (const auto& internal : maps)
      for (int zSign : {1, -1}) {
        Real6 r{};
        r[0][0] = physical[0], r[0][1] = physical[1], r[1][0] = physical[2], r[1][1] = physical[3];
        r[2][2] = internal[0], r[2][3] = internal[1], r[3][2] = internal[2], r[3][3] = internal[3];
        r[4][4] = zSign;
        IndexMatrix m;
        if (IndexMatrixOf(lattice, r, m)) AddUnique(ops, m);
      }
  return ops;
}

// Icosahedral: the basis vectors lie along the six five-fold axes, so every
// operation permutes them up to sign; the signed permutations whose real map
// is orthogonal and keeps physical and internal space apart form the holohedry.
std::vector<IndexMatrix> IcosahedralOperations(const Lattice& lattice) {
  std::vector<IndexMatrix> ops;
  std::array<int, 6> perm{0, 1, 2, 3, 4, 5};
  do {
    for (int signs = 0; signs < 64; ++signs) {
      IndexMatrix m{};
      for (int j = 0; j < 6; ++j) m[perm[j]][j] = (signs >> j) & 1 ? -1 : 1;
      // R = A M D must be orthogonal and block diagonal.
      Real6 md{}, r{};
      for (int i = 0; i < 6; ++i)
        for (int j = 0; j < 6; ++j) {
          double sum = 0.0;
          for (int k = 0; k < 6; ++k) sum += m[i][k] * lattice.directMatrix[k][j];
          md[i][j] = sum;
        }
      bool fits = true;
      for (int i = 0; i < 6 && fits; ++i)
        for (int j = 0; j < 6 && fits; ++j) {
          double sum = 0.0;
          for (int k = 0; k < 6; ++k) sum += lattice.inverseMatrix[i][k] * md[k][j];
          r[i][j] = sum;
          if ((i < 3) != (j < 3) && std::fabs(sum) > 1e-6) fits = false;
        }
      for (int i = 0; i < 6 && fits; ++i)
        for (int j = 0; j < 6 && fits; ++j) {
          double dot = 0.0;
          for (int k = 0; k < 6; ++k) dot += r[i][k] * r[j][k];
          if (std::fabs(dot - (i == j ? 1.0 : 0.0)) > 1e-6) fits = false;
        }
      if (fits) ops.push_back(m);
    }
  } while (std::next_permutation(perm.begin(), perm.end()));
  return ops;
}

int AxialOrder(CrystalSystem system) {
  switch (system) {
    case CrystalSystem::Octagonal: return 8;
    case CrystalSystem::Decagonal: return 10;
    case CrystalSystem::Dodecagonal: return 12;
    case CrystalSystem::Icosahedral: break;
  }
  return 0;
}

IndexMatrix Identity(int n) {
  IndexMatrix m{};
  for (int i = 0; i < n; ++i) m[i][i] = 1;
  return m;
}

void CheckGroup(const std::vector<IndexMatrix>& ops, std::size_t order, int n) {
  bool closed = ops.size() == order;
  for (std::size_t a = 0; a < ops.size() && closed; ++a)
    for (std::size_t b = 0; b < ops.size() && closed; ++b)
      closed = std::find(ops.begin(), ops.end(), Multiply(ops[a], ops[b], n)) != ops.end();
  if (!closed)
    throw std::logic_error("the lattice basis gives " + std::to_string(ops.size()) + " point operations, not a group of " +
                           std::to_string(order));
}

// Whether the symbol names only the main axis (and a horizontal plane): the
// Laue class is then N/m.
bool MainAxisOnly(const std::string& symbol, int order) {
  std::string rest = symbol.substr(1);  // the lattice letter
  if (!rest.empty() && rest[0] == '-') rest.erase(0, 1);
  const std::string axis = std::to_string(order);
  if (rest.rfind(axis, 0) != 0) return false;
  rest.erase(0, axis.size());
  if (rest.size() >= 2 && rest[0] == '.') rest.erase(0, 2);   // screw part
  if (rest.size() >= 2 && rest[0] == '/') rest.erase(0, 2);   // /m or /n
  return rest.empty();
}

}  // namespace

PointGroup LatticeHolohedry(const Lattice& lattice) {
  PointGroup group;
  const int n = lattice.nDim;
  std::vector<IndexMatrix> ops;
  std::size_t order = 120;
  if (lattice.system == CrystalSystem::Icosahedral) {
    ops = IcosahedralOperations(lattice);
    group.name = "m-3-5";
  } else {
    const int axial = AxialOrder(lattice.system);
    ops = AxialOperations(lattice, axial);
    order = static_cast<std::size_t>(4 * axial);
    group.name = std::to_string(axial) + "/mmm";
  }
  CheckGroup(ops, order, n);
  const auto identity = std::find(ops.begin(), ops.end(), Identity(n));
  if (identity == ops.end()) throw std::logic_error("the lattice's point operations lack the identity");
  std::iter_swap(ops.begin(), identity);
  group.operations = std::move(ops);
  return group;
}

PointGroup LaueClass(const Lattice& lattice, const SpaceGroup& group) {
  PointGroup holohedry = LatticeHolohedry(lattice);
  if (lattice.system == CrystalSystem::Icosahedral) return holohedry;
  const int order = AxialOrder(lattice.system);
  if (!MainAxisOnly(group.symbol, order)) return holohedry;
  // N/m: the rotations about the main axis with and without the horizontal
  // mirror, whose in-plane part keeps orientation: M maps the in-plane
  // physical components by a rotation.
  PointGroup laue;
  laue.name = std::to_string(order) + "/m";
  for (const IndexMatrix& m : holohedry.operations) {
    // The physical in-plane block of R = A M D.
    double block[2][2] = {};
    for (int i = 0; i < 2; ++i)
      for (int j = 0; j < 2; ++j) {
        double sum = 0.0;
        for (int k = 0; k < 5; ++k)
          for (int l = 0; l < 5; ++l) sum += lattice.inverseMatrix[i][k] * m[k][l] * lattice.directMatrix[l][j];
        block[i][j] = sum;
      }
    if (block[0][0] * block[1][1] - block[0][1] * block[1][0] > 0.0) laue.operations.push_back(m);
  }
  CheckGroup(laue.operations, static_cast<std::size_t>(2 * order), lattice.nDim);
  return laue;
}

IndexVector Apply(const IndexMatrix& m, const IndexVector& h, int nDim) {
  IndexVector out{};
  for (int i = 0; i < nDim; ++i) {
    int sum = 0;
    for (int j = 0; j < nDim; ++j) sum += m[i][j] * h[j];
    out[i] = sum;
  }
  return out;
}

IndexVector OrbitRepresentative(const PointGroup& group, const IndexVector& h, int nDim) {
  IndexVector best = h;
  for (const IndexMatrix& m : group.operations) best = std::max(best, Apply(m, h, nDim));
  return best;
}

}  // namespace lumora
