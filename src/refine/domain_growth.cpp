#include "refine/domain_growth.hpp"

#include <cmath>

#include "intensity/fast_trig.hpp"

namespace lumora {
namespace {

constexpr double kTwoPi = 6.283185307179586476925;

double Sinc(double x) {
  if (std::fabs(x) < 1e-4) return 1.0 - x * x / 6.0;
  return std::sin(x) / x;
}

double Dot(const Vec3& a, const Vec3& b) { return a[0] * b[0] + a[1] * b[1] + a[2] * b[2]; }

Vec3 Cross(const Vec3& a, const Vec3& b) {
  return {a[1] * b[2] - a[2] * b[1], a[2] * b[0] - a[0] * b[2], a[0] * b[1] - a[1] * b[0]};
}

// Edge from p to r (counter-clockwise): its distance from the centre times its
// length is cross(p, r), and the edge integral is |d| exp(i k.m) sinc(k.d / 2).
std::complex<double> PolygonGrowth(const PolygonDomain& polygon, const Vec3& q) {
  const double kx = kTwoPi * q[0], ky = kTwoPi * q[1];
  const auto& corners = polygon.corners();
  std::complex<double> sum = 0.0;
  for (std::size_t i = 0; i < corners.size(); ++i) {
    const Vec2& p = corners[i];
    const Vec2& r = corners[(i + 1) % corners.size()];
    const double cross = p[0] * r[1] - p[1] * r[0];
    const double along = kx * (r[0] - p[0]) + ky * (r[1] - p[1]);
    const SinCos sc = FastSinCos(kx * (p[0] + r[0]) / 2.0 + ky * (p[1] + r[1]) / 2.0);
    sum += cross * Sinc(along / 2.0) * std::complex<double>(sc.cos, sc.sin);
  }
  return sum;
}

// Faces of the zonohedron: one pair (at +-c) per pair of generators a, b, with
// normal n = g_a x g_b and centre c = 1/2 sum over the other generators of
// sign(n . g_m) g_m; the pair gives 2 (n . c) cos(k . c) sinc(k.g_a/2) sinc(k.g_b/2).
std::complex<double> ZonohedronGrowth(const ZonohedronDomain& zonohedron, const Vec3& q) {
  const auto& g = zonohedron.generators();
  const std::size_t m = g.size();
  double sum = 0.0;
  for (std::size_t a = 0; a < m; ++a)
    for (std::size_t b = a + 1; b < m; ++b) {
      const Vec3 n = Cross(g[a], g[b]);
      Vec3 c{};
      for (std::size_t j = 0; j < m; ++j) {
        if (j == a || j == b) continue;
        const double side = Dot(n, g[j]) > 0.0 ? 0.5 : -0.5;
        for (int i = 0; i < 3; ++i) c[i] += side * g[j][i];
      }
      const double thetaA = kTwoPi * Dot(q, g[a]) / 2.0;
      const double thetaB = kTwoPi * Dot(q, g[b]) / 2.0;
      sum += 2.0 * Dot(n, c) * std::cos(kTwoPi * Dot(q, c)) * Sinc(thetaA) * Sinc(thetaB);
    }
  return sum;
}

}  // namespace

std::complex<double> DomainGrowth(const OccupationDomain& domain, const Vec3& q) {
  struct Visitor {
    const Vec3& q;
    std::complex<double> operator()(const SphereDomain& s) const {
      const double r = s.radius;
      return 2.0 * kTwoPi * r * r * r * Sinc(kTwoPi * std::sqrt(Dot(q, q)) * r);
    }
    std::complex<double> operator()(const DiskDomain& d) const {
      const double r = d.radius;
      return kTwoPi * r * r * std::cyl_bessel_j(0.0, kTwoPi * std::sqrt(q[0] * q[0] + q[1] * q[1]) * r);
    }
    std::complex<double> operator()(const PolygonDomain& p) const { return PolygonGrowth(p, q); }
    std::complex<double> operator()(const ZonohedronDomain& z) const { return ZonohedronGrowth(z, q); }
  };
  return std::visit(Visitor{q}, domain);
}

}  // namespace lumora
