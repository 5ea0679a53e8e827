#include "tiling/exact_diffraction.hpp"

#include <algorithm>
#include <cmath>
#include <numbers>
#include <numeric>

#include "tiling/tiling.hpp"

namespace lumora {
namespace {

// The exact vertex set is the ideal one: true pi, not the grids' 3.141592654.
constexpr double kPi = std::numbers::pi;

// The exponents m of the conjugate planes: m prime to N, 1 <= m < N/2 (m = 1
// is physical space).
std::vector<int> ConjugateExponents(int n) {
  std::vector<int> ms;
  for (int m = 1; 2 * m < n; ++m)
    if (std::gcd(m, n) == 1) ms.push_back(m);
  return ms;
}

// Cholesky factor R (upper) of a symmetric positive definite matrix.
std::vector<std::vector<double>> Cholesky(const std::vector<std::vector<double>>& g) {
  const std::size_t r = g.size();
  std::vector<std::vector<double>> u(r, std::vector<double>(r, 0.0));
  for (std::size_t i = 0; i < r; ++i) {
    double d = g[i][i];
    for (std::size_t k = 0; k < i; ++k) d -= u[k][i] * u[k][i];
    u[i][i] = std::sqrt(std::max(d, 1e-300));
    for (std::size_t j = i + 1; j < r; ++j) {
      double s = g[i][j];
      for (std::size_t k = 0; k < i; ++k) s -= u[k][i] * u[k][j];
      u[i][j] = s / u[i][i];
    }
  }
  return u;
}

// The solution of m x = b by elimination with partial pivoting (m square, invertible).
std::vector<double> Solve(std::vector<std::vector<double>> m, std::vector<double> b) {
  const std::size_t r = b.size();
  for (std::size_t c = 0; c < r; ++c) {
    std::size_t pivot = c;
    for (std::size_t i = c + 1; i < r; ++i)
      if (std::abs(m[i][c]) > std::abs(m[pivot][c])) pivot = i;
    std::swap(m[c], m[pivot]);
    std::swap(b[c], b[pivot]);
    for (std::size_t i = c + 1; i < r; ++i) {
      const double f = m[i][c] / m[c][c];
      for (std::size_t j = c; j < r; ++j) m[i][j] -= f * m[c][j];
      b[i] -= f * b[c];
    }
  }
  std::vector<double> x(r, 0.0);
  for (std::size_t c = r; c-- > 0;) {
    double v = b[c];
    for (std::size_t j = c + 1; j < r; ++j) v -= m[c][j] * x[j];
    x[c] = v / m[c][c];
  }
  return x;
}

}  // namespace

int ModuleRank(int n) {
  int count = 0;
  for (int m = 1; m <= n; ++m) count += std::gcd(m, n) == 1 ? 1 : 0;
  return count;
}

std::optional<std::vector<ModulePoint>> FourierModulePoints(int n, double kMax, double internalMax,
                                                            std::size_t maxPoints, std::string* problem) {
  return ModulePointsNear(n, 0.0, 0.0, kMax, internalMax, maxPoints, problem);
}

std::optional<std::vector<ModulePoint>> ModulePointsNear(int n, double qx, double qy, double kMax, double internalMax,
                                                         std::size_t maxPoints, std::string* problem) {
  auto fail = [&](std::string why) -> std::optional<std::vector<ModulePoint>> {
    if (problem) *problem = std::move(why);
    return std::nullopt;
  };
  if (n < 3) return fail("symmetry " + std::to_string(n) + " has no Fourier module of a tiling");
  if (!(std::isfinite(kMax) && kMax > 0.0)) return fail("the |k| limit must be a positive number");
  if (!(std::isfinite(qx) && std::isfinite(qy))) return fail("the centre must be a finite wave vector");
  if (!(std::isfinite(internalMax) && internalMax > 0.0))
    return fail("the internal-component limit must be a positive number");

  const int r = ModuleRank(n);
  const std::vector<int> ms = ConjugateExponents(n);
  const double unit = 2.0 / n;
  // Column j of the embedding: (2/N) zeta^(m j) for every plane m, scaled so
  // that the wanted region lies inside the ball of radius sqrt 2.
  std::vector<std::vector<double>> embed(static_cast<std::size_t>(r), std::vector<double>(static_cast<std::size_t>(r)));
  for (int j = 0; j < r; ++j)
    for (std::size_t p = 0; p < ms.size(); ++p) {
      const double angle = 2.0 * kPi * ms[p] * j / n;
      const double scale = unit / (p == 0 ? kMax : internalMax);
      embed[2 * p][static_cast<std::size_t>(j)] = scale * std::cos(angle);
      embed[2 * p + 1][static_cast<std::size_t>(j)] = scale * std::sin(angle);
    }
  std::vector<std::vector<double>> gram(static_cast<std::size_t>(r), std::vector<double>(static_cast<std::size_t>(r), 0.0));
  for (int i = 0; i < r; ++i)
    for (int j = 0; j < r; ++j)
      for (int k = 0; k < r; ++k)
        gram[static_cast<std::size_t>(i)][static_cast<std::size_t>(j)] +=
            embed[static_cast<std::size_t>(k)][static_cast<std::size_t>(i)] *
            embed[static_cast<std::size_t>(k)][static_cast<std::size_t>(j)];
  const auto u = Cholesky(gram);
  // The centre in index space: embed t = (q / kMax, 0, ..., 0).
  std::vector<double> rhs(static_cast<std::size_t>(r), 0.0);
  rhs[0] = qx / kMax;
  rhs[1] = qy / kMax;
  const std::vector<double> t = Solve(embed, rhs);

  // Fincke-Pohst enumeration of the integer vectors with |embed (a - t)|^2 <= 2.
  const double radius2 = 2.0 * (1.0 + 1e-9);
  const std::size_t candidateLimit = std::max<std::size_t>(maxPoints, 1) * 64 + 100000;
  std::size_t candidates = 0;
  std::vector<int> a(static_cast<std::size_t>(r), 0);
  std::vector<ModulePoint> points;
  bool tooMany = false;
  auto accept = [&]() {
    ModulePoint point;
    point.index = a;
    std::vector<double> norms(ms.size(), 0.0);
    for (std::size_t p = 0; p < ms.size(); ++p) {
      double x = 0.0, y = 0.0;
      for (int j = 0; j < r; ++j) {
        const double angle = 2.0 * kPi * ms[p] * j / n;
        x += unit * a[static_cast<std::size_t>(j)] * std::cos(angle);
        y += unit * a[static_cast<std::size_t>(j)] * std::sin(angle);
      }
      if (p == 0) {
        point.qx = x;
        point.qy = y;
      } else {
        point.internal += x * x + y * y;
      }
    }
    point.internal = std::sqrt(point.internal);
    if (std::hypot(point.qx - qx, point.qy - qy) > kMax * (1 + 1e-12) || point.internal > internalMax * (1 + 1e-12))
      return;
    if (points.size() >= maxPoints) {
      tooMany = true;
      return;
    }
    points.push_back(std::move(point));
  };
  // Level i picks a_i given a_(i+1..r-1); rest is what the ball leaves.
  auto descend = [&](auto&& self, int i, double rest) -> void {
    if (tooMany) return;
    const auto ui = static_cast<std::size_t>(i);
    double centre = 0.0;
    for (int j = i + 1; j < r; ++j)
      centre -= u[ui][static_cast<std::size_t>(j)] * (a[static_cast<std::size_t>(j)] - t[static_cast<std::size_t>(j)]);
    centre = t[ui] + centre / u[ui][ui];
    const double half = std::sqrt(std::max(rest, 0.0)) / u[ui][ui];
    const auto lo = static_cast<long long>(std::ceil(centre - half));
    const auto hi = static_cast<long long>(std::floor(centre + half));
    for (long long v = lo; v <= hi && !tooMany; ++v) {
      if (++candidates > candidateLimit) {
        tooMany = true;
        return;
      }
      a[ui] = static_cast<int>(v);
      const double d = u[ui][ui] * (static_cast<double>(v) - centre);
      if (i == 0)
        accept();
      else
        self(self, i - 1, rest - d * d);
    }
    a[ui] = 0;
  };
  descend(descend, r - 1, radius2);
  if (tooMany)
    return fail("more than " + std::to_string(maxPoints) +
                " module points within these limits; lower the |k| or internal limit");
  std::sort(points.begin(), points.end(),
            [](const ModulePoint& x, const ModulePoint& y) { return x.index < y.index; });
  return points;
}

std::vector<std::array<double, 2>> LatticeVertexPositions(const Tiling& tiling) {
  const int n = tiling.inputs.symmetry;
  std::vector<std::array<double, 2>> dirs;
  for (int i = 0; i < n; ++i) dirs.push_back({std::cos(2.0 * kPi * i / n), std::sin(2.0 * kPi * i / n)});
  std::vector<std::array<double, 2>> out;
  out.reserve(tiling.nLatticeVertices());
  for (std::size_t v = 0; v < tiling.nLatticeVertices(); ++v) {
    double x = 0.0, y = 0.0;
    for (int i = 0; i < n; ++i) {
      const int k = tiling.latticeVertices[v * static_cast<std::size_t>(n) + static_cast<std::size_t>(i)];
      x += k * dirs[static_cast<std::size_t>(i)][0];
      y += k * dirs[static_cast<std::size_t>(i)][1];
    }
    out.push_back({x, y});
  }
  return out;
}

std::vector<double> BraggIntensities(int n, const std::vector<std::array<double, 2>>& vertices,
                                     const std::vector<ModulePoint>& points) {
  std::vector<double> intensity(points.size(), 0.0);
  if (points.empty() || vertices.empty() || n < 3) return intensity;
  const auto r = points.front().index.size();

  // exp(2 pi i q.x) = prod_i w_i^(a_i) with w_i = exp(2 pi i (2/N) e_i.x): a
  // table of powers per vertex, and points visited in index order so that
  // consecutive points share the leading factors.
  std::vector<std::size_t> order(points.size());
  std::iota(order.begin(), order.end(), std::size_t{0});
  std::sort(order.begin(), order.end(),
            [&](std::size_t x, std::size_t y) { return points[x].index < points[y].index; });
  std::vector<int> lo(r, 0), hi(r, 0);
  for (const ModulePoint& p : points)
    for (std::size_t i = 0; i < r; ++i) {
      lo[i] = std::min(lo[i], p.index[i]);
      hi[i] = std::max(hi[i], p.index[i]);
    }
  std::vector<std::size_t> tableStart(r + 1, 0);
  for (std::size_t i = 0; i < r; ++i)
    tableStart[i + 1] = tableStart[i] + static_cast<std::size_t>(hi[i] - lo[i] + 1);
  // Per visited point: the first level that differs from the point before,
  // and its table slots.
  std::vector<std::size_t> depth(points.size(), 0);
  std::vector<std::size_t> slot(points.size() * r);
  for (std::size_t s = 0; s < order.size(); ++s) {
    const std::vector<int>& a = points[order[s]].index;
    std::size_t d = 0;
    if (s > 0) {
      const std::vector<int>& before = points[order[s - 1]].index;
      while (d < r && a[d] == before[d]) ++d;
      if (d == r) d = r - 1;  // the same point twice
    }
    depth[s] = d;
    for (std::size_t i = 0; i < r; ++i) slot[s * r + i] = tableStart[i] + static_cast<std::size_t>(a[i] - lo[i]);
  }

  // Vertices go in blocks; within a block every factor is a row over the
  // block's vertices (real and imaginary parts apart), so each step is a
  // plain loop the compiler vectorises: one complex product per vertex for a
  // changed leading factor, one complex dot product per point for the last.
  constexpr std::size_t kBlock = 256;
  std::vector<double> sumRe(points.size(), 0.0), sumIm(points.size(), 0.0);
  std::vector<double> tableRe(tableStart[r] * kBlock), tableIm(tableStart[r] * kBlock);
  std::vector<double> prefixRe((r + 1) * kBlock), prefixIm((r + 1) * kBlock);
  std::vector<double> stepRe(kBlock), stepIm(kBlock);
  for (std::size_t first = 0; first < vertices.size(); first += kBlock) {
    const std::size_t count = std::min(kBlock, vertices.size() - first);
    for (std::size_t i = 0; i < r; ++i) {
      const double angle = 2.0 * kPi * static_cast<double>(i) / n;
      const double ex = std::cos(angle), ey = std::sin(angle);
      for (std::size_t b = 0; b < kBlock; ++b) {
        double phase = 0.0;
        if (b < count) {
          const auto& x = vertices[first + b];
          phase = 2.0 / n * (x[0] * ex + x[1] * ey);
          phase -= std::round(phase);
        }
        stepRe[b] = std::cos(2.0 * kPi * phase);
        stepIm[b] = std::sin(2.0 * kPi * phase);
      }
      // Row k of level i holds w_i^(lo_i + k); padding vertices hold 0.
      const std::size_t zero = tableStart[i] + static_cast<std::size_t>(-lo[i]);
      for (std::size_t b = 0; b < kBlock; ++b) {
        tableRe[zero * kBlock + b] = b < count ? 1.0 : 0.0;
        tableIm[zero * kBlock + b] = 0.0;
      }
      for (std::size_t row = zero + 1; row < tableStart[i + 1]; ++row)
        for (std::size_t b = 0; b < kBlock; ++b) {
          const double pr = tableRe[(row - 1) * kBlock + b], pi = tableIm[(row - 1) * kBlock + b];
          tableRe[row * kBlock + b] = pr * stepRe[b] - pi * stepIm[b];
          tableIm[row * kBlock + b] = pr * stepIm[b] + pi * stepRe[b];
        }
      for (std::size_t row = zero; row-- > tableStart[i];)
        for (std::size_t b = 0; b < kBlock; ++b) {
          const double pr = tableRe[(row + 1) * kBlock + b], pi = tableIm[(row + 1) * kBlock + b];
          tableRe[row * kBlock + b] = pr * stepRe[b] + pi * stepIm[b];
          tableIm[row * kBlock + b] = pi * stepRe[b] - pr * stepIm[b];
        }
    }
    for (std::size_t b = 0; b < kBlock; ++b) {
      prefixRe[b] = 1.0;
      prefixIm[b] = 0.0;
    }
    for (std::size_t s = 0; s < order.size(); ++s) {
      const std::size_t* slots = &slot[s * r];
      for (std::size_t i = depth[s]; i + 1 < r; ++i) {
        const double* fr = &tableRe[slots[i] * kBlock];
        const double* fi = &tableIm[slots[i] * kBlock];
        const double* pr = &prefixRe[i * kBlock];
        const double* pi = &prefixIm[i * kBlock];
        double* nr = &prefixRe[(i + 1) * kBlock];
        double* ni = &prefixIm[(i + 1) * kBlock];
        for (std::size_t b = 0; b < kBlock; ++b) {
          nr[b] = pr[b] * fr[b] - pi[b] * fi[b];
          ni[b] = pr[b] * fi[b] + pi[b] * fr[b];
        }
      }
      const double* fr = &tableRe[slots[r - 1] * kBlock];
      const double* fi = &tableIm[slots[r - 1] * kBlock];
      const double* pr = &prefixRe[(r - 1) * kBlock];
      const double* pi = &prefixIm[(r - 1) * kBlock];
      // Four running sums keep the pipeline full.
      double re[4] = {0, 0, 0, 0}, im[4] = {0, 0, 0, 0};
      for (std::size_t b = 0; b < kBlock; b += 4)
        for (std::size_t l = 0; l < 4; ++l) {
          re[l] += pr[b + l] * fr[b + l] - pi[b + l] * fi[b + l];
          im[l] += pr[b + l] * fi[b + l] + pi[b + l] * fr[b + l];
        }
      sumRe[s] += (re[0] + re[1]) + (re[2] + re[3]);
      sumIm[s] += (im[0] + im[1]) + (im[2] + im[3]);
    }
  }
  const double count = static_cast<double>(vertices.size());
  for (std::size_t s = 0; s < order.size(); ++s)
    intensity[order[s]] = (sumRe[s] * sumRe[s] + sumIm[s] * sumIm[s]) / (count * count);
  return intensity;
}

}  // namespace lumora
