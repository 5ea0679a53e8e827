// Domain transforms against direct numerical integration of exp(2 pi i q.r)
// over the shape (Gauss-Legendre on triangles, tetrahedra, polar and spherical
// coordinates), which uses none of the closed forms.
#include <gtest/gtest.h>

#include <cmath>
#include <complex>

#include "intensity/occupation_domain.hpp"
#include "intensity/quadrature.hpp"

namespace lumora {
namespace {

constexpr double kTwoPi = 6.283185307179586476925;
using C = std::complex<double>;

C Wave(const Vec3& q, const Vec3& r) {
  const double phase = kTwoPi * (q[0] * r[0] + q[1] * r[1] + q[2] * r[2]);
  return {std::cos(phase), std::sin(phase)};
}

// Triangle a, b, c by the collapsed square: r = a + u (b - a) + u v (c - b).
C TriangleIntegral(const Vec2& a, const Vec2& b, const Vec2& c, const Vec3& q) {
  static const auto rule = testing::GaussLegendre01(40);
  const double area2 = std::fabs((b[0] - a[0]) * (c[1] - a[1]) - (c[0] - a[0]) * (b[1] - a[1]));
  C sum = 0.0;
  for (const auto& [u, wu] : rule)
    for (const auto& [v, wv] : rule) {
      const Vec3 r{a[0] + u * (b[0] - a[0]) + u * v * (c[0] - b[0]), a[1] + u * (b[1] - a[1]) + u * v * (c[1] - b[1]), 0.0};
      sum += wu * wv * u * area2 * Wave(q, r);
    }
  return sum;
}

C PolygonIntegral(const std::vector<Vec2>& corners, const Vec3& q) {
  Vec2 centre{0.0, 0.0};
  const double count = static_cast<double>(corners.size());
  for (const Vec2& p : corners) centre = {centre[0] + p[0] / count, centre[1] + p[1] / count};
  C sum = 0.0;
  for (std::size_t i = 0; i < corners.size(); ++i) sum += TriangleIntegral(centre, corners[i], corners[(i + 1) % corners.size()], q);
  return sum;
}

C DiskIntegral(double radius, const Vec3& q) {
  const auto rule = testing::GaussLegendre01(60);
  constexpr int kAngles = 256;  // periodic: the trapezoid rule converges fast
  C sum = 0.0;
  for (const auto& [u, w] : rule)
    for (int k = 0; k < kAngles; ++k) {
      const double r = u * radius, phi = kTwoPi * k / kAngles;
      sum += w * radius * r * (kTwoPi / kAngles) * Wave(q, {r * std::cos(phi), r * std::sin(phi), 0.0});
    }
  return sum;
}

C SphereIntegral(double radius, const Vec3& q) {
  const auto rule = testing::GaussLegendre01(40);
  constexpr int kAngles = 64;
  C sum = 0.0;
  for (const auto& [u, wu] : rule)
    for (const auto& [t, wt] : rule)
      for (int k = 0; k < kAngles; ++k) {
        const double r = u * radius, cz = 2.0 * t - 1.0, sz = std::sqrt(1.0 - cz * cz), phi = kTwoPi * k / kAngles;
        sum += wu * radius * r * r * wt * 2.0 * (kTwoPi / kAngles) *
               Wave(q, {r * sz * std::cos(phi), r * sz * std::sin(phi), r * cz});
      }
  return sum;
}

// Tetrahedron o, a, b, c: r = o + u (a - o) + u v (b - a) + u v w (c - b).
C TetrahedronIntegral(const Vec3& o, const Vec3& a, const Vec3& b, const Vec3& c, const Vec3& q) {
  static const auto rule = testing::GaussLegendre01(16);
  auto sub = [](const Vec3& x, const Vec3& y) { return Vec3{x[0] - y[0], x[1] - y[1], x[2] - y[2]}; };
  const Vec3 ea = sub(a, o), eb = sub(b, a), ec = sub(c, b);
  const Vec3 p = sub(a, o), r2 = sub(b, o), s = sub(c, o);
  const double volume6 = std::fabs(p[0] * (r2[1] * s[2] - r2[2] * s[1]) - p[1] * (r2[0] * s[2] - r2[2] * s[0]) +
                                   p[2] * (r2[0] * s[1] - r2[1] * s[0]));
  C sum = 0.0;
  for (const auto& [u, wu] : rule)
    for (const auto& [v, wv] : rule)
      for (const auto& [w, ww] : rule) {
        Vec3 r;
        for (int i = 0; i < 3; ++i) r[i] = o[i] + u * ea[i] + u * v * eb[i] + u * v * w * ec[i];
        sum += wu * wv * ww * u * u * v * volume6 * Wave(q, r);
      }
  return sum;
}

// The zonohedron as pyramids from its centre over its rhombic faces; the
// faces come from the generators alone: for each pair the face centre is half
// the sum of the other generators, signed by the side they lie on.
C ZonohedronIntegral(const std::vector<Vec3>& g, const Vec3& q) {
  C sum = 0.0;
  const std::size_t m = g.size();
  for (std::size_t i = 0; i < m; ++i)
    for (std::size_t j = i + 1; j < m; ++j) {
      const Vec3 n{g[i][1] * g[j][2] - g[i][2] * g[j][1], g[i][2] * g[j][0] - g[i][0] * g[j][2],
                   g[i][0] * g[j][1] - g[i][1] * g[j][0]};
      for (double side : {1.0, -1.0}) {
        Vec3 centre{0.0, 0.0, 0.0};
        for (std::size_t k = 0; k < m; ++k) {
          if (k == i || k == j) continue;
          const double dot = n[0] * g[k][0] + n[1] * g[k][1] + n[2] * g[k][2];
          for (int c = 0; c < 3; ++c) centre[c] += side * (dot > 0 ? 0.5 : -0.5) * g[k][c];
        }
        auto corner = [&](double si, double sj) {
          return Vec3{centre[0] + si * g[i][0] / 2 + sj * g[j][0] / 2, centre[1] + si * g[i][1] / 2 + sj * g[j][1] / 2,
                      centre[2] + si * g[i][2] / 2 + sj * g[j][2] / 2};
        };
        const Vec3 o{0.0, 0.0, 0.0};
        sum += TetrahedronIntegral(o, corner(-1, -1), corner(1, -1), corner(1, 1), q);
        sum += TetrahedronIntegral(o, corner(-1, -1), corner(1, 1), corner(-1, 1), q);
      }
    }
  return sum;
}

void ExpectClose(C exact, C numeric, double scale, const std::string& what) {
  EXPECT_LT(std::abs(exact - numeric), 1e-6 * scale) << what << ": exact " << exact << ", numeric " << numeric;
}

// Directions along a symmetry axis, between two, and general, at several |q|
// including 0.
std::vector<Vec3> PlaneVectors(double axisAngle) {
  std::vector<Vec3> qs{{0.0, 0.0, 0.0}};
  for (double angle : {axisAngle, axisAngle / 2.0, 0.3127})
    for (double length : {1e-4, 0.05, 0.31, 0.87, 1.9})
      qs.push_back({length * std::cos(angle), length * std::sin(angle), 0.0});
  return qs;
}

TEST(OccupationDomain, PolygonsMatchIntegration) {
  const double tau = (1.0 + std::sqrt(5.0)) / 2.0;
  struct Case {
    int corners;
    double radius, orientation;
  };
  for (const Case& c : {Case{5, 1.2, 0.0}, Case{5, 1.2 * tau, kTwoPi / 2.0}, Case{8, 1.7, kTwoPi / 16.0},
                        Case{12, 0.9, 0.0}, Case{3, 1.0, 0.4}}) {
    const PolygonDomain polygon = RegularPolygon(c.corners, c.radius, c.orientation);
    const double area = 0.5 * c.corners * c.radius * c.radius * std::sin(kTwoPi / c.corners);
    EXPECT_NEAR(DomainVolume(polygon), area, 1e-12 * area);
    for (const Vec3& q : PlaneVectors(c.orientation))
      ExpectClose(DomainTransform(polygon, q), PolygonIntegral(polygon.corners(), q), area,
                  std::to_string(c.corners) + "-gon at q = " + std::to_string(q[0]) + ", " + std::to_string(q[1]));
  }
}

TEST(OccupationDomain, IrregularPolygonMatchesIntegration) {
  // Off-centre and not symmetric: the transform's imaginary part matters.
  const PolygonDomain polygon({{0.2, -0.1}, {1.5, 0.3}, {1.1, 1.4}, {-0.3, 0.9}});
  for (const Vec3& q : PlaneVectors(0.7)) {
    // The fan from the centroid covers this convex quadrilateral.
    ExpectClose(DomainTransform(polygon, q), PolygonIntegral(polygon.corners(), q), polygon.area(), "quadrilateral");
  }
}

TEST(OccupationDomain, DiskAndSphereMatchIntegration) {
  const DiskDomain disk{1.3};
  const double area = kTwoPi / 2.0 * 1.3 * 1.3;
  EXPECT_NEAR(DomainVolume(disk), area, 1e-12 * area);
  for (const Vec3& q : PlaneVectors(0.0)) ExpectClose(DomainTransform(disk, q), DiskIntegral(1.3, q), area, "disk");

  const SphereDomain sphere{0.9};
  const double volume = 2.0 / 3.0 * kTwoPi * 0.9 * 0.9 * 0.9;
  EXPECT_NEAR(DomainVolume(sphere), volume, 1e-12 * volume);
  for (const Vec3& q : {Vec3{0, 0, 0}, Vec3{0, 0, 1e-4}, Vec3{0.3, 0.2, 0.1}, Vec3{0.0, 0.9, 0.0}, Vec3{1.1, -0.7, 0.5}})
    ExpectClose(DomainTransform(sphere, q), SphereIntegral(0.9, q), volume, "sphere");
}

std::array<Vec3, 6> FiveFoldAxes() {
  const double tau = (1.0 + std::sqrt(5.0)) / 2.0;
  return {Vec3{0, 1, tau}, Vec3{0, -1, tau}, Vec3{1, tau, 0}, Vec3{-1, tau, 0}, Vec3{tau, 0, 1}, Vec3{-tau, 0, 1}};
}

TEST(OccupationDomain, TriacontahedronMatchesIntegration) {
  const double tau = (1.0 + std::sqrt(5.0)) / 2.0;
  const double edge = 1.1;
  const ZonohedronDomain rt = RhombicTriacontahedron(FiveFoldAxes(), edge);
  // Volume of the rhombic triacontahedron: 4 sqrt(5 + 2 sqrt5) edge^3.
  const double volume = 4.0 * std::sqrt(5.0 + 2.0 * std::sqrt(5.0)) * edge * edge * edge;
  EXPECT_NEAR(DomainVolume(rt), volume, 1e-12 * volume);
  const double n5 = std::sqrt(1.0 + tau * tau);
  const std::vector<Vec3> qs = {
      {0.0, 0.0, 0.0},
      {0.0, 1e-4 / n5, 1e-4 * tau / n5},                 // five-fold axis, tiny
      {0.0, 0.4 / n5, 0.4 * tau / n5},                   // five-fold axis
      {0.0, 0.0, 0.35},                                  // two-fold axis
      {0.25 / std::sqrt(3.0), 0.25 / std::sqrt(3.0), 0.25 / std::sqrt(3.0)},  // three-fold axis
      {0.1, 0.5 / n5, 0.5 * tau / n5},                   // between axes
      {0.37, -0.21, 0.44},                               // general
      {0.0, 0.0, 0.95},
  };
  for (const Vec3& q : qs)
    ExpectClose(DomainTransform(rt, q), ZonohedronIntegral(rt.generators(), q), volume,
                "triacontahedron at " + std::to_string(q[0]) + ", " + std::to_string(q[1]) + ", " + std::to_string(q[2]));
}

}  // namespace
}  // namespace lumora
