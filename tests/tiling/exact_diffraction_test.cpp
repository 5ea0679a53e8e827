#include <gtest/gtest.h>

#include <cmath>
#include <complex>
#include <map>
#include <numbers>
#include <set>

#include "tiling/exact_diffraction.hpp"
#include "tiling/multigrid.hpp"

namespace lumora {
namespace {

constexpr double kTruePi = std::numbers::pi;

Tiling Generate(int n, int loop, int zoom) {
  TilingInputs in;
  in.symmetry = n;
  in.loopOrder = loop;
  in.zoom = zoom;
  std::mt19937 random(kTilingRandomSeed);
  return MakeTiling(in, random);
}

TEST(ModuleRank, IsEulersPhi) {
  EXPECT_EQ(ModuleRank(5), 4);
  EXPECT_EQ(ModuleRank(6), 2);
  EXPECT_EQ(ModuleRank(7), 6);
  EXPECT_EQ(ModuleRank(8), 4);
  EXPECT_EQ(ModuleRank(10), 4);
  EXPECT_EQ(ModuleRank(20), 8);
}

TEST(FourierModulePoints, MatchAllIntegerCombinationsOfTheFiveDirections) {
  // Brute force over h in Z^5: q = (2/5) sum h_i e_i, internal partner
  // (2/5) sum h_i e_{2i}; points told apart by (q, partner).
  const double kMax = 1.3, internalMax = 0.9;
  std::set<std::array<long long, 4>> expected;
  const int b = 6;
  for (int h0 = -b; h0 <= b; ++h0)
    for (int h1 = -b; h1 <= b; ++h1)
      for (int h2 = -b; h2 <= b; ++h2)
        for (int h3 = -b; h3 <= b; ++h3)
          for (int h4 = -b; h4 <= b; ++h4) {
            const int h[5] = {h0, h1, h2, h3, h4};
            double x = 0, y = 0, u = 0, v = 0;
            for (int i = 0; i < 5; ++i) {
              x += 0.4 * h[i] * std::cos(2 * kTruePi * i / 5);
              y += 0.4 * h[i] * std::sin(2 * kTruePi * i / 5);
              u += 0.4 * h[i] * std::cos(4 * kTruePi * i / 5);
              v += 0.4 * h[i] * std::sin(4 * kTruePi * i / 5);
            }
            if (std::hypot(x, y) <= kMax && std::hypot(u, v) <= internalMax)
              expected.insert({std::llround(x * 1e7), std::llround(y * 1e7), std::llround(u * 1e7),
                               std::llround(v * 1e7)});
          }
  std::string problem;
  const auto points = FourierModulePoints(5, kMax, internalMax, 100000, &problem);
  ASSERT_TRUE(points.has_value()) << problem;
  std::set<std::array<long long, 4>> found;
  for (const ModulePoint& p : *points) {
    ASSERT_EQ(p.index.size(), 4u);
    double x = 0, y = 0, u = 0, v = 0;
    for (int i = 0; i < 4; ++i) {
      x += 0.4 * p.index[static_cast<std::size_t>(i)] * std::cos(2 * kTruePi * i / 5);
      y += 0.4 * p.index[static_cast<std::size_t>(i)] * std::sin(2 * kTruePi * i / 5);
      u += 0.4 * p.index[static_cast<std::size_t>(i)] * std::cos(4 * kTruePi * i / 5);
      v += 0.4 * p.index[static_cast<std::size_t>(i)] * std::sin(4 * kTruePi * i / 5);
    }
    EXPECT_NEAR(p.qx, x, 1e-12);
    EXPECT_NEAR(p.qy, y, 1e-12);
    EXPECT_NEAR(p.internal, std::hypot(u, v), 1e-12);
    found.insert({std::llround(x * 1e7), std::llround(y * 1e7), std::llround(u * 1e7), std::llround(v * 1e7)});
  }
  EXPECT_EQ(found.size(), points->size());  // no point twice
  EXPECT_EQ(found, expected);
  EXPECT_GT(expected.size(), 30u);
}

TEST(FourierModulePoints, RefusesBadLimitsAndTooManyPoints) {
  std::string problem;
  EXPECT_FALSE(FourierModulePoints(5, 0.0, 1.0, 100, &problem).has_value());
  EXPECT_NE(problem.find("|k|"), std::string::npos);
  EXPECT_FALSE(FourierModulePoints(5, 1.0, std::nan(""), 100, &problem).has_value());
  EXPECT_NE(problem.find("internal"), std::string::npos);
  EXPECT_FALSE(FourierModulePoints(5, 6.0, 3.0, 100, &problem).has_value());
  EXPECT_NE(problem.find("more than 100"), std::string::npos);
  // N = 6: the module is the hexagonal lattice, (2/6) Z[e_0, e_1]; six
  // neighbours at 1/3 and nothing internal.
  const auto hex = FourierModulePoints(6, 0.34, 1.0, 1000);
  ASSERT_TRUE(hex.has_value());
  EXPECT_EQ(hex->size(), 7u);
  for (const ModulePoint& p : *hex) EXPECT_EQ(p.internal, 0.0);
}

// |sum_v exp(2 pi i q.x_v)|^2 / n^2, term by term.
double DirectIntensity(const std::vector<std::array<double, 2>>& xs, double qx, double qy) {
  std::complex<double> sum = 0.0;
  for (const auto& x : xs) sum += std::polar(1.0, 2 * kTruePi * (qx * x[0] + qy * x[1]));
  return std::norm(sum) / (static_cast<double>(xs.size()) * static_cast<double>(xs.size()));
}

TEST(BraggIntensities, AgreeWithADirectFourierSumOverTheVertices) {
  for (int n : {5, 7, 8}) {
    const Tiling tiling = Generate(n, 6, 8);
    const auto xs = LatticeVertexPositions(tiling);
    ASSERT_GT(xs.size(), 300u);
    const auto points = FourierModulePoints(n, n == 7 ? 1.0 : 1.6, n == 7 ? 0.8 : 1.2, 5000);
    ASSERT_TRUE(points.has_value());
    ASSERT_GT(points->size(), 20u);
    const std::vector<double> fast = BraggIntensities(n, xs, *points);
    for (std::size_t p = 0; p < points->size(); ++p)
      EXPECT_NEAR(fast[p], DirectIntensity(xs, (*points)[p].qx, (*points)[p].qy), 1e-9) << n << " point " << p;
  }
}

TEST(BraggIntensities, PenroseHasATenfoldRingOfStrongPeaks) {
  // Exact positions: no pixel rounding damps the peaks. The ten strongest
  // after the origin lie on one ring at angles 18 + 36 m degrees, each with
  // well over half the intensity of the origin; the square patch leaves the
  // ten equal to within a percent.
  const Tiling tiling = Generate(5, 12, 4);
  const auto xs = LatticeVertexPositions(tiling);
  const auto points = FourierModulePoints(5, 3.5, 0.3, 5000);
  ASSERT_TRUE(points.has_value());
  const std::vector<double> in = BraggIntensities(5, xs, *points);
  std::vector<std::pair<double, std::size_t>> ranked;
  for (std::size_t p = 0; p < in.size(); ++p)
    if ((*points)[p].qx != 0.0 || (*points)[p].qy != 0.0) ranked.push_back({in[p], p});
  std::sort(ranked.rbegin(), ranked.rend());
  ASSERT_GE(ranked.size(), 11u);
  const double radius = std::hypot((*points)[ranked[0].second].qx, (*points)[ranked[0].second].qy);
  std::set<long long> angles;
  for (int i = 0; i < 10; ++i) {
    const ModulePoint& p = (*points)[ranked[static_cast<std::size_t>(i)].second];
    EXPECT_NEAR(std::hypot(p.qx, p.qy), radius, 1e-9);
    EXPECT_GT(ranked[static_cast<std::size_t>(i)].first, 0.6);
    EXPECT_NEAR(ranked[static_cast<std::size_t>(i)].first, ranked[0].first, 0.01 * ranked[0].first);
    const double degrees = std::atan2(p.qy, p.qx) * 180 / kTruePi;
    EXPECT_NEAR((degrees - 18.0) / 36.0, std::round((degrees - 18.0) / 36.0), 1e-9);
    angles.insert(std::llround(degrees));
  }
  EXPECT_EQ(angles.size(), 10u);
  EXPECT_LT(ranked[10].first, 0.9 * ranked[9].first);
  // Away from the module there is no peak.
  EXPECT_LT(DirectIntensity(xs, 0.5 * (*points)[ranked[0].second].qx, 0.37), 0.01);
}

TEST(LatticeVertices, AreUniqueInsideTheCanvasAndCoverTheVertexTable) {
  const Tiling tiling = Generate(5, 6, 8);
  const std::size_t n = 5;
  std::set<std::vector<int>> lifts;
  for (std::size_t v = 0; v < tiling.nLatticeVertices(); ++v)
    lifts.insert(std::vector<int>(tiling.latticeVertices.begin() + static_cast<long>(v * n),
                                  tiling.latticeVertices.begin() + static_cast<long>((v + 1) * n)));
  EXPECT_EQ(lifts.size(), tiling.nLatticeVertices());
  const auto xs = LatticeVertexPositions(tiling);
  const double scale = 24.0;  // pixels per edge at zoom 8
  for (const auto& x : xs) {
    EXPECT_GT(256 + x[0] * scale, 0.0);
    EXPECT_LT(256 + x[0] * scale, 512.0);
  }
  // Every vertex of the classic table is one of them (within float rounding).
  std::size_t matched = 0;
  for (std::size_t i = 0; i < tiling.nVert(); ++i)
    for (const auto& x : xs)
      if (std::hypot(256 + x[0] * scale - tiling.vertX[i], 256 + x[1] * scale - tiling.vertY[i]) < 1e-3) {
        ++matched;
        break;
      }
  EXPECT_EQ(matched, tiling.nVert());
  EXPECT_GE(xs.size(), tiling.nVert());
}

}  // namespace
}  // namespace lumora
