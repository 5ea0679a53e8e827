#include "intensity/occupation_domain.hpp"

#include <cmath>
#include <stdexcept>

#include "intensity/fast_trig.hpp"

namespace lumora {
namespace {

constexpr double kTwoPi = 6.283185307179586476925;

// sin(x)/x, with its series near 0.
double Sinc(double x) {
  if (std::fabs(x) < 1e-4) return 1.0 - x * x / 6.0;
  return std::sin(x) / x;
}

double Det3(const Vec3& u, const Vec3& v, const Vec3& w) {
  return u[0] * (v[1] * w[2] - v[2] * w[1]) - u[1] * (v[0] * w[2] - v[2] * w[0]) + u[2] * (v[0] * w[1] - v[1] * w[0]);
}

double Dot(const Vec3& a, const Vec3& b) { return a[0] * b[0] + a[1] * b[1] + a[2] * b[2]; }

}  // namespace

PolygonDomain::PolygonDomain(std::vector<Vec2> corners) : corners_(std::move(corners)) {
  const std::size_t n = corners_.size();
  if (n < 3) throw std::invalid_argument("a polygon needs at least three corners");
  double a2 = 0.0;
  for (std::size_t i = 0; i < n; ++i) {
    const Vec2& p = corners_[i];
    const Vec2& r = corners_[(i + 1) % n];
    const double c = p[0] * r[1] - r[0] * p[1];
    a2 += c;
    m1x_ += (p[0] + r[0]) * c;
    m1y_ += (p[1] + r[1]) * c;
    mxx_ += (p[0] * p[0] + p[0] * r[0] + r[0] * r[0]) * c;
    myy_ += (p[1] * p[1] + p[1] * r[1] + r[1] * r[1]) * c;
    mxy_ += (p[0] * r[1] + 2.0 * p[0] * p[1] + 2.0 * r[0] * r[1] + r[0] * p[1]) * c;
    extent2_ = std::max(extent2_, p[0] * p[0] + p[1] * p[1]);
  }
  if (!(a2 > 0.0)) throw std::invalid_argument("polygon corners must run counter-clockwise");
  area_ = a2 / 2.0;
  m1x_ /= 6.0;
  m1y_ /= 6.0;
  mxx_ /= 12.0;
  myy_ /= 12.0;
  mxy_ /= 24.0;
}

std::complex<double> PolygonDomain::Transform(double qx, double qy) const {
  const double kx = kTwoPi * qx;
  const double ky = kTwoPi * qy;
  const double kk = kx * kx + ky * ky;
  if (kk * extent2_ < 1e-6) {
    // Near q = 0 the edge sum cancels; the moments give the transform to
    // third order in |k| r.
    const double k1 = kx * m1x_ + ky * m1y_;
    const double k2 = kx * kx * mxx_ + 2.0 * kx * ky * mxy_ + ky * ky * myy_;
    return {area_ - 0.5 * k2, k1};
  }
  // Divergence theorem: T = (-i / k^2) sum over edges of (k x d) times the edge
  // integral of exp(i k.r) per unit length, which is (E(b) - E(a)) / (i k.d)
  // with E(v) = exp(i k.v); edges nearly normal to k use the midpoint form
  // exp(i k.m) sinc(k.d / 2).
  std::complex<double> sum = 0.0;
  const std::size_t n = corners_.size();
  auto expAt = [&](const Vec2& v) {
    const SinCos sc = FastSinCos(kx * v[0] + ky * v[1]);
    return std::complex<double>(sc.cos, sc.sin);
  };
  const std::complex<double> first = expAt(corners_[0]);
  std::complex<double> ea = first;
  for (std::size_t i = 0; i < n; ++i) {
    const Vec2& p = corners_[i];
    const Vec2& r = corners_[i + 1 == n ? 0 : i + 1];
    const std::complex<double> eb = i + 1 == n ? first : expAt(r);
    const double dx = r[0] - p[0];
    const double dy = r[1] - p[1];
    const double cross = kx * dy - ky * dx;
    const double along = kx * dx + ky * dy;
    if (std::fabs(along) > 1e-3) {
      const std::complex<double> diff = eb - ea;
      sum += (cross / along) * std::complex<double>(diff.imag(), -diff.real());  // (eb - ea) / i
    } else {
      const SinCos sc = FastSinCos(kx * (p[0] + r[0]) / 2.0 + ky * (p[1] + r[1]) / 2.0);
      sum += cross * Sinc(along / 2.0) * std::complex<double>(sc.cos, sc.sin);
    }
    ea = eb;
  }
  return std::complex<double>(sum.imag(), -sum.real()) / kk;
}

PolygonDomain RegularPolygon(int corners, double radius, double orientation) {
  if (corners < 3) throw std::invalid_argument("a regular polygon needs at least three corners");
  std::vector<Vec2> points;
  for (int i = 0; i < corners; ++i) {
    const double angle = orientation + kTwoPi * i / corners;
    points.push_back({radius * std::cos(angle), radius * std::sin(angle)});
  }
  return PolygonDomain(std::move(points));
}

ZonohedronDomain::ZonohedronDomain(std::vector<Vec3> generators) : generators_(std::move(generators)) {
  const int m = static_cast<int>(generators_.size());
  if (m < 3 || m > 16) throw std::invalid_argument("a zonohedron needs 3 to 16 generators");
  // A fine tiling by parallelepipeds, one per triple of generators: the lower
  // faces of the four-dimensional zonotope lifted by generic heights.
  std::vector<double> height(static_cast<std::size_t>(m));
  for (int j = 0; j < m; ++j) height[j] = std::sqrt(2.0 + j) - std::floor(std::sqrt(2.0 + j)) + 0.1 * j * j;
  for (int a = 0; a < m; ++a)
    for (int b = a + 1; b < m; ++b)
      for (int c = b + 1; c < m; ++c) {
        const Vec3& ga = generators_[a];
        const Vec3& gb = generators_[b];
        const Vec3& gc = generators_[c];
        const double det = Det3(ga, gb, gc);
        if (std::fabs(det) < 1e-12 * (1.0 + std::fabs(Dot(ga, ga) * Dot(gb, gb) * Dot(gc, gc))))
          throw std::invalid_argument("zonohedron generators must be in general position");
        // The functional c with c . g = -h on the triple (Cramer's rule).
        const Vec3 rhs{-height[a], -height[b], -height[c]};
        // Rows ga, gb, gc; solve M c = rhs.
        const Vec3 col0{ga[0], gb[0], gc[0]}, col1{ga[1], gb[1], gc[1]}, col2{ga[2], gb[2], gc[2]};
        const double d = Det3(col0, col1, col2);
        const Vec3 cvec{Det3(rhs, col1, col2) / d, Det3(col0, rhs, col2) / d, Det3(col0, col1, rhs) / d};
        Brick brick;
        brick.edges = {a, b, c};
        brick.volume = std::fabs(det);
        for (int j = 0; j < m; ++j) {
          if (j == a || j == b || j == c) continue;
          // Generators below the lifted face lie in the offset: +theta, else -theta.
          brick.shifts.push_back({j, Dot(cvec, generators_[j]) + height[j] < 0.0 ? 1.0 : -1.0});
        }
        volume_ += brick.volume;
        bricks_.push_back(std::move(brick));
      }
}

std::complex<double> ZonohedronDomain::Transform(const Vec3& q) const {
  // Brick S at offset o: |det| exp(i k.o) prod over its edges of exp(i theta) sinc theta,
  // theta_j = k . g_j / 2; with the zonohedron centred the phase is
  // sum over the other generators of +-theta_j: a product of exp(+-i theta_j).
  constexpr std::size_t kMax = 16;
  const std::size_t m = generators_.size();
  double sinc[kMax], re[kMax], im[kMax];
  for (std::size_t j = 0; j < m && j < kMax; ++j) {
    const double theta = kTwoPi * Dot(q, generators_[j]) / 2.0;
    const SinCos sc = FastSinCos(theta);
    re[j] = sc.cos;
    im[j] = sc.sin;
    sinc[j] = std::fabs(theta) < 1e-4 ? 1.0 - theta * theta / 6.0 : im[j] / theta;
  }
  double sumRe = 0.0, sumIm = 0.0;
  for (const Brick& brick : bricks_) {
    double pr = 1.0, pi = 0.0;
    for (const auto& [j, sign] : brick.shifts) {
      const double er = re[j], ei = sign * im[j];
      const double nr = pr * er - pi * ei;
      pi = pr * ei + pi * er;
      pr = nr;
    }
    const double amplitude = brick.volume * sinc[brick.edges[0]] * sinc[brick.edges[1]] * sinc[brick.edges[2]];
    sumRe += amplitude * pr;
    sumIm += amplitude * pi;
  }
  return {sumRe, sumIm};
}

ZonohedronDomain RhombicTriacontahedron(const std::array<Vec3, 6>& axes, double edge) {
  std::vector<Vec3> generators;
  for (const Vec3& axis : axes) {
    const double length = std::sqrt(Dot(axis, axis));
    if (!(length > 0.0)) throw std::invalid_argument("a five-fold axis has no length");
    generators.push_back({axis[0] / length * edge, axis[1] / length * edge, axis[2] / length * edge});
  }
  return ZonohedronDomain(std::move(generators));
}

std::complex<double> DomainTransform(const OccupationDomain& domain, const Vec3& q) {
  struct Visitor {
    const Vec3& q;
    std::complex<double> operator()(const SphereDomain& s) const {
      const double r = s.radius;
      const double volume = 4.0 / 3.0 * kTwoPi / 2.0 * r * r * r;
      const double x = kTwoPi * std::sqrt(Dot(q, q)) * r;
      if (x < 1e-2) return volume * (1.0 - x * x / 10.0 + x * x * x * x / 280.0);
      return volume * 3.0 * (std::sin(x) - x * std::cos(x)) / (x * x * x);
    }
    std::complex<double> operator()(const DiskDomain& d) const {
      const double r = d.radius;
      const double area = kTwoPi / 2.0 * r * r;
      const double x = kTwoPi * std::sqrt(q[0] * q[0] + q[1] * q[1]) * r;
      if (x < 1e-2) return area * (1.0 - x * x / 8.0 + x * x * x * x / 192.0);
      return area * 2.0 * std::cyl_bessel_j(1.0, x) / x;
    }
    std::complex<double> operator()(const PolygonDomain& p) const { return p.Transform(q[0], q[1]); }
    std::complex<double> operator()(const ZonohedronDomain& z) const { return z.Transform(q); }
  };
  return std::visit(Visitor{q}, domain);
}

double DomainVolume(const OccupationDomain& domain) { return DomainTransform(domain, {0.0, 0.0, 0.0}).real(); }

}  // namespace lumora
