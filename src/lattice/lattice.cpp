#include "lattice/lattice.hpp"

#include <cmath>
#include <stdexcept>
#include <string>

#include "common/numeric.hpp"

namespace lumora {
namespace {

constexpr double kTiltAngle = 1.107148718;  // between two fivefold axes (atan 2)

double BaseAngle(CrystalSystem system) {
  switch (system) {
    case CrystalSystem::Octagonal: return 45.0 * kDegreeFactor;
    case CrystalSystem::Dodecagonal: return 30.0 * kDegreeFactor;
    case CrystalSystem::Decagonal:
    case CrystalSystem::Icosahedral: return 72.0 * kDegreeFactor;
  }
  return 0.0;
}

// cos/sin of k times the base angle, k converted to double before the product.
struct Steps {
  double base;
  double Cos(int k) const { return std::cos(static_cast<double>(k) * base); }
  double Sin(int k) const { return std::sin(static_cast<double>(k) * base); }
};

void FillSteurer(Matrix7& m, CrystalSystem system, double a, double c) {
  const double ia = 1.0 / a;
  const double ic = 1.0 / c;
  const Steps t{BaseAngle(system)};
  if (system == CrystalSystem::Icosahedral) {
    const double sp = std::sin(kTiltAngle);
    const double cp = std::cos(kTiltAngle);
    m[0] = {0.0, 0.0, ia, 0.0, 0.0, ia, 0.0};
    for (int i = 1; i <= 5; ++i) {
      const int k = i + 1;
      m[i] = {sp * t.Cos(k) * ia,      sp * t.Sin(k) * ia,      cp * ia,
              -sp * t.Cos(3 * k) * ia, -sp * t.Sin(3 * k) * ia, -cp * ia, 0.0};
    }
    return;
  }
  const int internalStep = system == CrystalSystem::Dodecagonal ? 5 : 3;
  for (int i = 0; i <= 3; ++i) {
    const int k = i + 1;
    m[i] = {t.Cos(k) * ia, t.Sin(k) * ia, t.Cos(internalStep * k) * ia,
            t.Sin(internalStep * k) * ia, 0.0, 0.0, 0.0};
  }
  m[4][4] = ic;
}

void FillYamamoto(Matrix7& m, CrystalSystem system, double a, double c) {
  const double r2 = 2.0 / std::sqrt(5.0);
  const double r1 = 1.0 / std::sqrt(5.0);
  const Steps t{BaseAngle(system)};
  switch (system) {
    case CrystalSystem::Octagonal:
      for (int i = 0; i <= 3; ++i) {
        const int k = i + 1;
        m[i] = {a * t.Cos(k), a * t.Sin(k), a * t.Cos(3 * k), a * t.Sin(3 * k), 0.0, 0.0, 0.0};
      }
      m[4][4] = c;
      break;
    case CrystalSystem::Decagonal:
      for (int i = 0; i <= 3; ++i) {
        const int k = i + 1;
        m[i] = {a * r2 * (t.Cos(k) - 1.0), a * r2 * t.Sin(k), a * r2 * (t.Cos(2 * k) - 1.0),
                a * r2 * t.Sin(2 * k), 0.0, 0.0, 0.0};
      }
      m[4][4] = c;
      break;
    case CrystalSystem::Dodecagonal: {
      constexpr int p[4] = {-1, 0, 3, 4};
      constexpr int q[4] = {1, 6, 9, 14};
      const double s3 = std::sqrt(3.0);
      for (int i = 0; i <= 3; ++i) {
        m[i] = {(a * t.Cos(p[i]) + a * t.Cos(p[i])) / s3, (a * t.Sin(p[i]) + a * t.Sin(p[i])) / s3,
                (a * t.Cos(q[i]) + a * t.Cos(q[i])) / s3, (a * t.Sin(q[i]) + a * t.Sin(q[i])) / s3,
                0.0, 0.0, 0.0};
      }
      m[4][4] = c;
      break;
    }
    case CrystalSystem::Icosahedral:
      m[0] = {0.0, 0.0, a, 0.0, 0.0, a, 0.0};
      for (int i = 1; i <= 5; ++i) {
        const int k = i + 1;
        m[i] = {a * r2 * t.Cos(k), a * r2 * t.Sin(k), a * r1, a * r2 * t.Cos(2 * k),
                a * r2 * t.Sin(2 * k), a * -r1, 0.0};
      }
      break;
  }
}

bool Usable(double v) { return std::isfinite(v) && v != 0.0; }

}  // namespace

std::string_view SystemName(CrystalSystem system) {
  switch (system) {
    case CrystalSystem::Octagonal: return "Octagonal";
    case CrystalSystem::Decagonal: return "Decagonal";
    case CrystalSystem::Dodecagonal: return "Dodecagonal";
    case CrystalSystem::Icosahedral: return "Icosahedral";
  }
  return "";
}

int DimensionOf(CrystalSystem system) { return system == CrystalSystem::Icosahedral ? 6 : 5; }

CrystalSystem SystemFromIndex(int index) {
  if (index < 0 || index > 3) throw std::out_of_range("system index " + std::to_string(index));
  return static_cast<CrystalSystem>(index + 1);
}

int SystemIndex(CrystalSystem system) { return static_cast<int>(system) - 1; }

Matrix7 SystemBasis(CrystalSystem system, double a, double c, bool yamamoto) {
  Matrix7 m{};
  if (yamamoto) FillYamamoto(m, system, a, c);
  else FillSteurer(m, system, a, c);
  return m;
}

Lattice SetupLattice(CrystalSystem system, double a, double c, bool yamamoto) {
  if (!Usable(a)) throw std::invalid_argument("lattice constant a must be a non-zero number");
  const bool axial = system != CrystalSystem::Icosahedral;
  if (axial && !Usable(c)) throw std::invalid_argument("lattice constant c must be a non-zero number");

  Lattice lattice;
  lattice.system = system;
  lattice.a = a;
  lattice.c = c;
  lattice.yamamoto = yamamoto;
  lattice.nDim = DimensionOf(system);
  const int n = lattice.nDim;
  const Matrix7 basis = SystemBasis(system, a, c, yamamoto);
  for (int i = 0; i < n; ++i)
    for (int j = 0; j < n; ++j) lattice.directMatrix[i][j] = basis[i][j];
  if (yamamoto) {
    lattice.inverseMatrix = lattice.directMatrix;
    InvertMatrix(lattice.inverseMatrix, n);
  } else {
    // Steurer rows are reciprocal vectors: their transpose holds them as columns.
    for (int i = 0; i < n; ++i)
      for (int j = 0; j < n; ++j) lattice.inverseMatrix[i][j] = lattice.directMatrix[j][i];
    lattice.directMatrix = lattice.inverseMatrix;
    InvertMatrix(lattice.directMatrix, n);
  }

  if (axial) {
    const double u0 = lattice.inverseMatrix[0][0];
    const double u1 = lattice.inverseMatrix[1][0];
    const double length = std::sqrt(u1 * u1 + u0 * u0);
    lattice.firstAxisDir[0] = u0 / length;
    lattice.firstAxisDir[1] = u1 / length;
  }
  switch (system) {
    case CrystalSystem::Octagonal: lattice.mirrorAngle1 = 45.0f, lattice.mirrorAngle2 = 22.5f; break;
    case CrystalSystem::Decagonal: lattice.mirrorAngle1 = 36.0f, lattice.mirrorAngle2 = 18.0f; break;
    case CrystalSystem::Dodecagonal: lattice.mirrorAngle1 = 30.0f, lattice.mirrorAngle2 = 15.0f; break;
    case CrystalSystem::Icosahedral: break;
  }
  return lattice;
}

}  // namespace lumora
