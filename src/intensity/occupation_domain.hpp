// Occupation domains (atomic surfaces) in internal space and their exact
// Fourier transforms: spheres, disks, polygons (edge sums) and zonohedra such
// as the rhombic triacontahedron (a sum of parallelepipeds).
//
// Convention: a domain is a region W of internal space around its site, in A;
// its transform is  T(q) = integral over W of exp(2 pi i q . r) dr,  q the
// internal component of the reciprocal vector in 1/A without 2 pi. The
// geometric factor of the structure factor is G = T / (internal cell volume).
// With this sign, a site at x whose domain is W gives the physical points
// r_par of the lattice points P = L + x with -P_perp in W.
#pragma once

#include <array>
#include <complex>
#include <variant>
#include <vector>

#include "intensity/internal_space.hpp"

namespace lumora {

using Vec2 = std::array<double, 2>;

struct SphereDomain {
  double radius = 0.0;  // A
};

struct DiskDomain {
  double radius = 0.0;  // A
};

// A simple polygon, corners counter-clockwise (A).
class PolygonDomain {
 public:
  PolygonDomain() = default;
  explicit PolygonDomain(std::vector<Vec2> corners);
  const std::vector<Vec2>& corners() const { return corners_; }
  double area() const { return area_; }
  std::complex<double> Transform(double qx, double qy) const;

 private:
  std::vector<Vec2> corners_;
  double area_ = 0.0;
  double m1x_ = 0.0, m1y_ = 0.0;              // first moments
  double mxx_ = 0.0, myy_ = 0.0, mxy_ = 0.0;  // second moments
  double extent2_ = 0.0;                      // largest squared corner distance
};

// The regular polygon with `corners` corners on a circle of radius `radius`,
// the first corner at angle `orientation` (radians) from the internal x axis.
PolygonDomain RegularPolygon(int corners, double radius, double orientation);

// The zonohedron sum of segments [-g/2, g/2] over three-dimensional generators,
// centred at the origin; six five-fold axes give the rhombic triacontahedron.
// Its transform is the exact sum over a tiling by parallelepipeds.
class ZonohedronDomain {
 public:
  ZonohedronDomain() = default;
  explicit ZonohedronDomain(std::vector<Vec3> generators);
  const std::vector<Vec3>& generators() const { return generators_; }
  double volume() const { return volume_; }
  std::complex<double> Transform(const Vec3& q) const;

 private:
  struct Brick {
    std::array<int, 3> edges{};  // generators spanning it
    double volume = 0.0;
    std::vector<std::pair<int, double>> shifts;  // other generators: +-1 times theta
  };
  std::vector<Vec3> generators_;
  std::vector<Brick> bricks_;
  double volume_ = 0.0;
};

// The rhombic triacontahedron of edge `edge` whose rhombi are spanned by the
// six given five-fold directions (any length; they are normalised).
ZonohedronDomain RhombicTriacontahedron(const std::array<Vec3, 6>& axes, double edge);

using OccupationDomain = std::variant<SphereDomain, DiskDomain, PolygonDomain, ZonohedronDomain>;

// The transform T(q) of the domain; q in 1/A without 2 pi, internal components
// (the third ignored by the two-dimensional domains).
std::complex<double> DomainTransform(const OccupationDomain& domain, const Vec3& q);

// Area or volume of the domain (T at q = 0).
double DomainVolume(const OccupationDomain& domain);

}  // namespace lumora
