// The built-in vertex models against real tilings: the intensities of the
// strongest reflections equal |sum over the vertices r of w(r) exp(2 pi i q.r)|^2
// of large patches, made by the project's multigrid generator (Penrose) and by
// a cut-and-project from Z^4 and Z^6 written here (Ammann-Beenker,
// Ammann-Kramer). w is a Gaussian taper that keeps the patch edge out of the
// sums. The model's F is divided by the form factor: the vertices are points.
#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <complex>
#include <random>

#include "common/numeric.hpp"
#include "intensity/form_factors.hpp"
#include "intensity/model_run.hpp"
#include "tiling/multigrid.hpp"

namespace lumora {
namespace {

using testing::ModelInputs;
using testing::RunModel;

constexpr double kTwoPi = 6.283185307179586476925;

struct Point {
  double x, y, z;
};

double TaperedIntensity(const std::vector<Point>& points, double sigma, const ReflectionRecord& q) {
  std::complex<double> sum = 0.0;
  for (const Point& p : points) {
    const double w = std::exp(-(p.x * p.x + p.y * p.y + p.z * p.z) / (2.0 * sigma * sigma));
    const double phase = kTwoPi * (q.x * p.x + q.y * p.y + q.z * p.z);
    sum += w * std::complex<double>(std::cos(phase), std::sin(phase));
  }
  return std::norm(sum);
}

// Compares the `count` strongest reflections (of those `use` accepts) with the
// patch; intensities relative to the strongest of them, within 2 %.
void CompareStrongest(const testing::ModelRun& r, const std::vector<Point>& points, double sigma, double wavelength,
                      const std::function<bool(const ReflectionRecord&)>& use, int count = 30) {
  const int z = r.model.sites.front().z;
  const std::complex<double> anomalous = AnomalousTerms(z, wavelength);
  std::vector<std::pair<double, std::size_t>> strength;  // |F / f|^2
  for (std::size_t i = 0; i < r.run.records.size(); ++i) {
    const ReflectionRecord& rec = r.run.records[i];
    if (!use(rec)) continue;
    const std::complex<double> f = FormFactorF0(z, rec.qe / 2.0) + anomalous;
    strength.push_back({r.intensities.fAbs[i] * r.intensities.fAbs[i] / std::norm(f), i});
  }
  ASSERT_GE(strength.size(), static_cast<std::size_t>(count));
  std::partial_sort(strength.begin(), strength.begin() + count, strength.end(), std::greater<>());
  std::vector<double> patch;
  for (int k = 0; k < count; ++k) patch.push_back(TaperedIntensity(points, sigma, r.run.records[strength[k].second]));
  const double patchMax = *std::max_element(patch.begin(), patch.end());
  for (int k = 0; k < count; ++k) {
    const double model = strength[k].first / strength[0].first;
    const double tiling = patch[k] / patchMax;
    const ReflectionRecord& rec = r.run.records[strength[k].second];
    EXPECT_NEAR(tiling, model, 0.02 * model) << "reflection " << rec.h[0] << " " << rec.h[1] << " " << rec.h[2] << " "
                                             << rec.h[3] << " " << rec.h[4] << " " << rec.h[5];
  }
  // The comparison covers more than one family of reflections.
  EXPECT_LT(strength[count - 1].first, 0.9 * strength[0].first);
}

TEST(TilingCrossCheck, PenroseAgainstMultigridPatch) {
  // Five grids with shifts 1/5 (Symmetry Type 1): a Penrose rhombus tiling.
  TilingInputs in;
  in.symmetry = 5;
  in.loopOrder = 40;
  in.zoom = 2;  // edge 6 pixels
  in.shiftMode = ShiftMode::SymmetryType1;
  in.width = in.height = 1100;
  std::mt19937 random(kTilingRandomSeed);
  const Tiling tiling = MakeTiling(in, random);
  ASSERT_FALSE(tiling.vertexTableFull);
  const double edge = in.zoom / 10.0 * 30.0;
  const double xc = RoundHalfEven(in.width / 2.0), yc = RoundHalfEven(in.height / 2.0);
  std::vector<Point> points;
  for (std::size_t i = 0; i < tiling.nVert(); ++i)
    points.push_back({(tiling.vertX[i] - xc) / edge, (tiling.vertY[i] - yc) / edge, 0.0});
  ASSERT_GT(points.size(), 30000u);

  // Edge 1 A: the Yamamoto star length 2a/sqrt5 = 1.
  const double a = std::sqrt(5.0) / 2.0, wavelength = 0.3;
  const auto r = RunModel(*BuiltinModel("penrose"),
                          ModelInputs(CrystalSystem::Decagonal, "P10/mmm", a, true, 4, wavelength, 25.0, 1.2 * a));
  CompareStrongest(r, points, 22.0, wavelength, [](const ReflectionRecord& rec) { return rec.h[4] == 0.0f; });
}

// The projection of the unit cube of Z^n, as half-spaces: one pair of faces
// per (n-1)-subset of the internal generators, at half the summed |g . normal|.
struct Zonotope {
  std::vector<Vec3> normals;
  std::vector<double> halfWidths;
  bool Contains(const Vec3& p) const {
    for (std::size_t i = 0; i < normals.size(); ++i) {
      const double d = p[0] * normals[i][0] + p[1] * normals[i][1] + p[2] * normals[i][2];
      if (std::fabs(d) > halfWidths[i]) return false;
    }
    return true;
  }
};

Zonotope MakeZonotope(const std::vector<Vec3>& g, bool planar) {
  Zonotope z;
  auto add = [&](const Vec3& n) {
    double h = 0.0;
    for (const Vec3& v : g) h += std::fabs(v[0] * n[0] + v[1] * n[1] + v[2] * n[2]) / 2.0;
    z.normals.push_back(n);
    z.halfWidths.push_back(h);
  };
  for (std::size_t i = 0; i < g.size(); ++i) {
    if (planar) {
      add({-g[i][1], g[i][0], 0.0});
      continue;
    }
    for (std::size_t j = i + 1; j < g.size(); ++j)
      add({g[i][1] * g[j][2] - g[i][2] * g[j][1], g[i][2] * g[j][0] - g[i][0] * g[j][2],
           g[i][0] * g[j][1] - g[i][1] * g[j][0]});
  }
  return z;
}

// Cut and project: the lattice points n of Z^n with |n| <= bound whose internal
// part, moved by a generic shift, lies in the projected unit cell, and whose
// physical part lies within radius.
std::vector<Point> CutAndProject(const std::vector<Vec3>& par, const std::vector<Vec3>& perp, double radius, int bound,
                                 bool planar) {
  const Zonotope window = MakeZonotope(perp, planar);
  const Vec3 shift{0.01234, -0.02345, planar ? 0.0 : 0.00789};
  const std::size_t n = par.size();
  std::vector<Point> points;
  std::vector<int> idx(n, -bound);
  // Odometer over the cube [-bound, bound]^n, pruned by the squared length.
  std::vector<long long> partial(n + 1, 0);
  const long long limit = static_cast<long long>(bound) * bound;
  std::function<void(std::size_t)> walk = [&](std::size_t level) {
    if (level == n) {
      Vec3 x{0, 0, 0}, y = shift;
      for (std::size_t k = 0; k < n; ++k)
        for (int c = 0; c < 3; ++c) {
          x[c] += idx[k] * par[k][c];
          y[c] += idx[k] * perp[k][c];
        }
      if (x[0] * x[0] + x[1] * x[1] + x[2] * x[2] <= radius * radius && window.Contains(y))
        points.push_back({x[0], x[1], x[2]});
      return;
    }
    for (int v = -bound; v <= bound; ++v) {
      partial[level + 1] = partial[level] + static_cast<long long>(v) * v;
      if (partial[level + 1] > limit) continue;
      idx[level] = v;
      walk(level + 1);
    }
  };
  walk(0);
  return points;
}

TEST(TilingCrossCheck, AmmannBeenkerAgainstCutAndProject) {
  std::vector<Vec3> par, perp;
  for (int k = 0; k < 4; ++k) {
    par.push_back({std::cos(kTwoPi * k / 8.0), std::sin(kTwoPi * k / 8.0), 0.0});
    perp.push_back({std::cos(3.0 * kTwoPi * k / 8.0), std::sin(3.0 * kTwoPi * k / 8.0), 0.0});
  }
  // |r_par|^2 + |r_perp|^2 = 2 |n|^2: radius 60 needs |n| <= 43.
  const std::vector<Point> points = CutAndProject(par, perp, 60.0, 43, true);
  ASSERT_GT(points.size(), 10000u);
  const double wavelength = 0.3;  // edge a = 1 A in the Yamamoto setting
  const auto r = RunModel(*BuiltinModel("ammann-beenker"),
                          ModelInputs(CrystalSystem::Octagonal, "P8/mmm", 1.0, true, 4, wavelength, 25.0, 1.2));
  CompareStrongest(r, points, 15.0, wavelength, [](const ReflectionRecord& rec) { return rec.h[4] == 0.0f; });
}

TEST(TilingCrossCheck, AmmannKramerAgainstCutAndProject) {
  // The icosahedral star: (0,0,1 | 0,0,1) and five vectors around it.
  const double r2 = 2.0 / std::sqrt(5.0), r1 = 1.0 / std::sqrt(5.0);
  std::vector<Vec3> par{{0, 0, 1}}, perp{{0, 0, 1}};
  for (int k = 0; k < 5; ++k) {
    const double t = kTwoPi * k / 5.0;
    par.push_back({r2 * std::cos(t), r2 * std::sin(t), r1});
    perp.push_back({r2 * std::cos(2 * t), r2 * std::sin(2 * t), -r1});
  }
  // Radius 14 with a window of radius below 3: |n| <= 10.
  const std::vector<Point> points = CutAndProject(par, perp, 14.0, 10, false);
  ASSERT_GT(points.size(), 10000u);
  const double wavelength = 0.5;
  const auto r = RunModel(*BuiltinModel("ammann-kramer"),
                          ModelInputs(CrystalSystem::Icosahedral, "Pm-3-5", 1.0, true, 2, wavelength, 40.0, 1.0));
  CompareStrongest(r, points, 3.5, wavelength, [](const ReflectionRecord&) { return true; });
}

}  // namespace
}  // namespace lumora
