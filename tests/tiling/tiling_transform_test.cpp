// The transform of a vertex image shows the tiling's symmetry as sharp peaks.
#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <vector>

#include "fourier/ft_transform.hpp"
#include "tiling/multigrid.hpp"

namespace lumora {
namespace {

TEST(TilingTransform, FiveFoldTilingGivesSharpTenFoldPeaks) {
  TilingInputs in;
  in.zoom = 3;
  in.loopOrder = 20;
  std::mt19937 random(kTilingRandomSeed);
  const Tiling tiling = MakeTiling(in, random);
  const std::optional<FtArray> ft = runFOURN(tiling.vertexImage);
  ASSERT_TRUE(ft.has_value());
  const double zero = ft->Magnitude(0, 0);
  EXPECT_DOUBLE_EQ(zero, 255.0 * static_cast<double>(tiling.nVert()));

  // Magnitude at signed frequencies, and the largest one within two steps.
  auto at = [&](long fx, long fy) { return ft->Magnitude(static_cast<int>((fx + 512) % 512), static_cast<int>((fy + 512) % 512)); };
  auto near = [&](double fx, double fy) {
    double best = 0.0;
    for (long dx = -2; dx <= 2; ++dx)
      for (long dy = -2; dy <= 2; ++dy) best = std::max(best, at(std::lround(fx) + dx, std::lround(fy) + dy));
    return best;
  };
  struct Peak { long fx, fy; double m; };
  std::vector<Peak> peaks;  // local maxima near the centre, strongest first
  for (long fx = -100; fx <= 100; ++fx)
    for (long fy = -100; fy <= 100; ++fy)
      if (fx * fx + fy * fy >= 25 && at(fx, fy) >= near(static_cast<double>(fx), static_cast<double>(fy)))
        peaks.push_back({fx, fy, at(fx, fy)});
  std::sort(peaks.begin(), peaks.end(), [](const Peak& a, const Peak& b) { return a.m > b.m; });
  ASSERT_GE(peaks.size(), 20u);
  for (std::size_t i = 0; i < 10; ++i) EXPECT_GT(peaks[i].m, 0.2 * zero) << i;

  // How many of the 20 strongest reappear, at least half as strong, turned by 360/fold degrees.
  auto symmetric = [&](int fold) {
    const double angle = 2.0 * std::acos(-1.0) / fold;
    int matched = 0;
    for (std::size_t i = 0; i < 20; ++i) {
      const double x = static_cast<double>(peaks[i].fx), y = static_cast<double>(peaks[i].fy);
      matched += near(x * std::cos(angle) - y * std::sin(angle), x * std::sin(angle) + y * std::cos(angle)) >=
                 0.5 * peaks[i].m;
    }
    return matched;
  };
  EXPECT_EQ(symmetric(10), 20);
  EXPECT_LE(symmetric(8), 4);
  EXPECT_LE(symmetric(12), 4);
}

}  // namespace
}  // namespace lumora
