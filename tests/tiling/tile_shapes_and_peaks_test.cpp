// Colour by shape and its legend names; picking a peak: the module point near
// a wave vector, and the strongest transform coefficient near a click.
#include <gtest/gtest.h>

#include <cmath>
#include <complex>
#include <map>
#include <numbers>
#include <set>

#include "fourier/ft_peak.hpp"
#include "fourier/ft_transform.hpp"
#include "tiling/multigrid.hpp"
#include "tiling/peak_pick.hpp"
#include "tiling/tile_shapes.hpp"
#include "tiling/tiling_analysis.hpp"

namespace lumora {
namespace {

Tiling Generate(const PresetShifts& preset) {
  TilingInputs in;
  in.symmetry = preset.symmetry;
  in.loopOrder = 8;
  in.shiftMode = ShiftMode::Given;
  in.shifts = preset.shifts;
  std::mt19937 random(kTilingRandomSeed);
  return MakeTiling(in, random);
}

TEST(ColourTilesByShape, OneColourPerShapeInIncreasingAngleWithItsName) {
  // Ammann-Beenker: three grid-pair types, two shapes (the 45 degree rhombus
  // from pairs 1 and 3 apart, the square from pairs 2 apart).
  Tiling ab = Generate(StandardShifts(TilingPreset::AmmannBeenker));
  ASSERT_EQ(ab.nTileTypes, 3);
  EXPECT_EQ(ColourTilesByShape(ab), (std::vector<int>{2, 4}));
  for (const Tile& tile : ab.tiles) {
    const int apart = std::abs(tile.gridK - tile.gridJ);
    EXPECT_EQ(tile.color, ab.tileColors[apart == 2 || apart == 6 ? 2 : 1]) << tile.gridJ << " " << tile.gridK;
  }
  EXPECT_EQ(ShapeName(8, 2), "Rhombus 45\u00b0");
  EXPECT_EQ(ShapeName(8, 4), "Square");

  Tiling penrose = Generate(StandardShifts(TilingPreset::Penrose));
  EXPECT_EQ(ColourTilesByShape(penrose), (std::vector<int>{1, 2}));
  EXPECT_EQ(ShapeName(5, 1), "Thin rhombus 36\u00b0");
  EXPECT_EQ(ShapeName(5, 2), "Thick rhombus 72\u00b0");
  // Angles that are not whole degrees keep one decimal.
  EXPECT_EQ(ShapeName(7, 1), "Rhombus 25.7\u00b0");
  EXPECT_EQ(ShapeName(20, 2), "Rhombus 18\u00b0");
  EXPECT_EQ(ShapeName(20, 10), "Square");
}

TEST(PeakPicking, FindsTheModulePointOfAWaveVector) {
  // Penrose: (2/5)(a . e) with e_i at 72 i degrees; its partner (2/5)(a . e')
  // with e'_i at 144 i degrees, worked out here.
  const double pi = std::numbers::pi;
  const std::vector<int> a = {1, 1, 0, -1};
  // (2/5) sum a_i (cos, sin)(2 pi m i / 5): m = 1 the wave vector, m = 2 its partner.
  auto embed = [&](int m) {
    std::complex<double> z = 0;
    for (int i = 0; i < 4; ++i) z += 0.4 * a[static_cast<std::size_t>(i)] * std::polar(1.0, 2 * pi * m * i / 5);
    return z;
  };
  const double qx = embed(1).real(), qy = embed(1).imag(), ux = embed(2).real(), uy = embed(2).imag();
  const auto found = ModulePointNear(5, qx + 0.003, qy - 0.002, 0.01, 2.0, 20000);
  ASSERT_TRUE(found.has_value());
  EXPECT_EQ(found->index, a);
  EXPECT_NEAR(found->internal, std::hypot(ux, uy), 1e-12);
  // With the partner beyond the internal limit, or nothing near, there is none.
  EXPECT_FALSE(ModulePointNear(5, qx, qy, 0.01, std::hypot(ux, uy) * 0.9, 20000).has_value());
  bool tooDense = true;
  EXPECT_FALSE(ModulePointNear(5, 0.2, 0.0, 0.01, 0.5, 20000, &tooDense).has_value());
  EXPECT_FALSE(tooDense);
  // The rank-8 module of N = 20 is dense: too many points lie within 0.05 to name one.
  EXPECT_FALSE(ModulePointNear(20, 1.0, 0.3, 0.05, 1.0, 64, &tooDense).has_value());
  EXPECT_TRUE(tooDense);
}

TEST(PeakPicking, PointsNearAWaveVectorAreThoseOfTheWholeDiscAroundIt) {
  // The search about a centre against the points of the disc about the
  // origin that holds it, sorted out by distance.
  struct Case { int n; double qx, qy, within, internal; };
  for (const Case& c : {Case{5, 1.3, -0.7, 0.25, 1.0}, Case{8, -0.4, 1.1, 0.2, 0.8}, Case{12, 0.9, 0.2, 0.15, 0.7}}) {
    const auto near = ModulePointsNear(c.n, c.qx, c.qy, c.within, c.internal, 100000);
    const auto disc = FourierModulePoints(c.n, std::hypot(c.qx, c.qy) + c.within, c.internal, 100000);
    ASSERT_TRUE(near && disc) << "N = " << c.n;
    std::set<std::vector<int>> expected, found;
    for (const ModulePoint& p : *disc)
      if (std::hypot(p.qx - c.qx, p.qy - c.qy) <= c.within) expected.insert(p.index);
    for (const ModulePoint& p : *near) found.insert(p.index);
    EXPECT_EQ(found, expected) << "N = " << c.n;
    EXPECT_FALSE(expected.empty()) << "N = " << c.n;
  }
}

TEST(PeakPicking, StrongestCoefficientNearAClickIsThePeriodOfThePicture) {
  // Dots every 8 pixels across and every 16 down: peaks at multiples of
  // 512/8 = 64 and 512/16 = 32 cycles per picture.
  RasterImage dots(512, 512, kBlack);
  for (int y = 0; y < 512; y += 16)
    for (int x = 0; x < 512; x += 8) dots.at(x, y) = kWhite;
  const auto ft = runFOURN(dots);
  ASSERT_TRUE(ft.has_value());
  // The zero frequency is drawn at (255, 255).
  const auto peak = StrongestNear(*ft, 255 + 64 + 3, 255 - 32 - 2, 6);
  ASSERT_TRUE(peak.has_value());
  EXPECT_EQ(peak->fx, 64);
  EXPECT_EQ(peak->fy, -32);
  EXPECT_EQ(peak->displayX, 255 + 64);
  EXPECT_EQ(peak->displayY, 255 - 32);
  EXPECT_NEAR(peak->magnitude, ft->Magnitude(0, 0), 1e-3 * ft->Magnitude(0, 0));
  EXPECT_FALSE(StrongestNear(*ft, 600, 10, 6).has_value());
}

}  // namespace
}  // namespace lumora
