#include "intensity/internal_space.hpp"

#include <cmath>

namespace lumora {
namespace {

double Det2(const Vec3& u, const Vec3& v) { return u[0] * v[1] - u[1] * v[0]; }
double Det3(const Vec3& u, const Vec3& v, const Vec3& w) {
  return u[0] * (v[1] * w[2] - v[2] * w[1]) - u[1] * (v[0] * w[2] - v[2] * w[0]) + u[2] * (v[0] * w[1] - v[1] * w[0]);
}

}  // namespace

int InternalDimension(const Lattice& lattice) { return lattice.nDim == 6 ? 3 : 2; }

Vec3 InternalPart(const Lattice& lattice, const std::array<double, 6>& v) {
  if (lattice.nDim == 6) return {v[3], v[4], v[5]};
  return {v[2], v[3], 0.0};
}

Vec3 PhysicalPart(const Lattice& lattice, const std::array<double, 6>& v) {
  if (lattice.nDim == 6) return {v[0], v[1], v[2]};
  return {v[0], v[1], v[4]};
}

std::array<double, 6> DirectRow(const Lattice& lattice, int i) {
  std::array<double, 6> row{};
  for (int j = 0; j < lattice.nDim; ++j) row[j] = lattice.directMatrix[i][j];
  return row;
}

std::array<double, 6> StarVector(const Lattice& lattice) {
  if (lattice.system != CrystalSystem::Decagonal) return DirectRow(lattice, 0);
  std::array<double, 6> e0{};
  for (int i = 0; i < 4; ++i)
    for (int j = 0; j < 5; ++j) e0[j] -= lattice.directMatrix[i][j] / 5.0;
  return e0;
}

double StarLength(const Lattice& lattice) {
  const Vec3 v = InternalPart(lattice, StarVector(lattice));
  return std::sqrt(v[0] * v[0] + v[1] * v[1] + v[2] * v[2]);
}

double InternalCellVolume(const Lattice& lattice) {
  // The periodic axis (row 4 of the axial systems) has no internal part.
  const int rows = lattice.nDim == 6 ? 6 : 4;
  Vec3 g[6];
  for (int i = 0; i < rows; ++i) g[i] = InternalPart(lattice, DirectRow(lattice, i));
  double volume = 0.0;
  if (lattice.nDim == 6) {
    for (int i = 0; i < rows; ++i)
      for (int j = i + 1; j < rows; ++j)
        for (int k = j + 1; k < rows; ++k) volume += std::fabs(Det3(g[i], g[j], g[k]));
  } else {
    for (int i = 0; i < rows; ++i)
      for (int j = i + 1; j < rows; ++j) volume += std::fabs(Det2(g[i], g[j]));
  }
  return volume;
}

SettingChange SettingChangeOf(CrystalSystem system) {
  SettingChange change;
  for (int i = 0; i < 6; ++i) change.transform[i][i] = 1;
  switch (system) {
    case CrystalSystem::Octagonal: break;
    case CrystalSystem::Decagonal: change.mirroredComponent = 1; break;  // internal y
    case CrystalSystem::Icosahedral: change.mirroredComponent = 0; break;  // internal x
    case CrystalSystem::Dodecagonal:
      // Yamamoto rows in terms of Steurer rows: d0 = -s3, d1 = s0, d2 = s1 + s3, d3 = s2.
      change.transform[0] = {0, 0, 0, -1, 0, 0};
      change.transform[1] = {1, 0, 0, 0, 0, 0};
      change.transform[2] = {0, 1, 0, 1, 0, 0};
      change.transform[3] = {0, 0, 1, 0, 0, 0};
      break;
  }
  return change;
}

}  // namespace lumora
