#include <gtest/gtest.h>

#include <cmath>
#include <map>
#include <set>
#include <stdexcept>

#include "fourier/hsb_to_rgb.hpp"
#include "tiling/multigrid.hpp"
#include "tiling/tile_colors.hpp"
#include "tiling/tiling_status.hpp"

namespace lumora {
namespace {

Tiling Generate(TilingInputs inputs) {
  std::mt19937 random(kTilingRandomSeed);
  return MakeTiling(inputs, random);
}

TilingInputs Inputs(int n, int loop, int zoom, ShiftMode mode = ShiftMode::SymmetryType1) {
  TilingInputs in;
  in.symmetry = n;
  in.loopOrder = loop;
  in.zoom = zoom;
  in.shiftMode = mode;
  return in;
}

bool Inside(const PixelPoint& p, const TilingInputs& in) {
  return p.x > 0 && p.x < in.width && p.y > 0 && p.y < in.height;
}

TEST(FloorInt, NegativeWholeNumbersGoOneFurther) {
  EXPECT_EQ(FloorInt(2.7), 2);
  EXPECT_EQ(FloorInt(2.0), 2);
  EXPECT_EQ(FloorInt(0.0), 0);
  EXPECT_EQ(FloorInt(-0.25), -1);
  EXPECT_EQ(FloorInt(-2.5), -3);
  EXPECT_EQ(FloorInt(-2.0), -3);
}

TEST(TileColors, TypesAndLegendHues) {
  EXPECT_EQ(TileTypeCount(13), 6);
  EXPECT_EQ(TileTypeCount(20), 9);
  EXPECT_EQ(TileHues(2), (std::vector<int>{0, 158}));
  EXPECT_EQ(TileHues(9), (std::vector<int>{0, 20, 39, 59, 79, 99, 118, 138, 158}));
  EXPECT_EQ(TileColors(9, 150)[5], ToColorValue(HSBtoRGB(79, 239, 150)));
}

TEST(MakeTiling, DefaultsGiveTheFiveFoldTiling) {
  const Tiling t = Generate(TilingInputs{});
  EXPECT_EQ(t.nTileTypes, 2);
  EXPECT_EQ(t.tileColors, (std::vector<ColorValue>{kBlack, Rgb(255, 1, 1), Rgb(1, 9, 255)}));
  EXPECT_EQ(t.gridShift, std::vector<double>(5, 0.2));
  EXPECT_EQ(TilingStatusTexts(t)[0], "5-fold symmetry");
  // Both rhombi occur and every tile carries its type's colour.
  std::set<int> types;
  for (const Tile& tile : t.tiles) {
    types.insert(tile.type);
    ASSERT_EQ(tile.color, t.tileColors[static_cast<std::size_t>(tile.type)]);
  }
  EXPECT_EQ(types, (std::set<int>{1, 2}));
}

TEST(MakeTiling, EveryPairGivesOneTilePerIntersectionAndParallelPairsNone) {
  // At the smallest scale and loop order the whole tiling lies inside the
  // canvas, so nothing is dropped: (2L+1)^2 tiles per non-parallel pair, typed
  // min(k-j, N-(k-j)).
  struct Case { int n; std::map<int, std::size_t> perType; };
  for (const Case& c : {Case{5, {{1, 45}, {2, 45}}}, Case{8, {{1, 72}, {2, 72}, {3, 72}}},
                        Case{12, {{1, 108}, {2, 108}, {3, 108}, {4, 108}, {5, 108}}}}) {
    const Tiling t = Generate(Inputs(c.n, 1, 1));
    std::map<int, std::size_t> perType;
    for (const Tile& tile : t.tiles) ++perType[tile.type];
    EXPECT_EQ(perType, c.perType) << "N = " << c.n;
  }
  EXPECT_EQ(Generate(Inputs(20, 1, 1)).nTiles(), 180u * 9u);
}

TEST(MakeTiling, VerticesAreUniquePerPixelAndInsideTheBorder) {
  for (const TilingInputs& in : {TilingInputs{}, Inputs(8, 10, 3), Inputs(13, 8, 2, ShiftMode::SymmetryType2)}) {
    const Tiling t = Generate(in);
    ASSERT_EQ(t.vertX.size(), t.vertY.size());
    std::set<std::pair<int, int>> recorded;
    for (std::size_t i = 0; i < t.nVert(); ++i) {
      const PixelPoint p{static_cast<int>(std::nearbyint(t.vertX[i])), static_cast<int>(std::nearbyint(t.vertY[i]))};
      ASSERT_TRUE(Inside(p, in)) << p.x << "," << p.y;
      ASSERT_EQ(t.vertexImage.at(p.x, p.y), kWhite);
      ASSERT_TRUE(recorded.insert({p.x, p.y}).second) << "pixel recorded twice";
    }
    std::size_t white = 0;
    for (ColorValue c : t.vertexImage.pixels) white += c == kWhite ? 1 : (c == kBlack ? 0 : 1000000);
    EXPECT_EQ(white, t.nVert());
    // Every tile corner strictly inside the canvas is represented.
    for (const Tile& tile : t.tiles)
      for (const PixelPoint& p : tile.corners)
        if (Inside(p, in)) {
          ASSERT_EQ(t.vertexImage.at(p.x, p.y), kWhite);
        }
  }
}

TEST(MakeTiling, CornersOnTheFirstColumnOrLastEdgeAreDrawnButNotRecorded) {
  // A corner whose offset from the centre rounds to -c lands on column 0 of a
  // canvas 2c wide, and one that rounds to +c lands on column W.
  const Tiling wide = Generate(TilingInputs{});
  int left = 0, right = 0;
  for (const Tile& tile : wide.tiles)
    for (const PixelPoint& p : tile.corners) {
      const int offset = p.x - 256;
      if (offset < -60 && left == 0) left = -offset;
      if (offset > 60 && right == 0) right = offset;
    }
  ASSERT_GT(left, 0);
  ASSERT_GT(right, 0);
  for (int half : {left, right}) {
    TilingInputs in;
    in.width = 2 * half;
    const Tiling t = Generate(in);
    int onEdge = 0;
    for (const Tile& tile : t.tiles)
      for (const PixelPoint& p : tile.corners) onEdge += (p.x == 0 || p.x == in.width) && p.y > 0 && p.y < in.height;
    EXPECT_GT(onEdge, 0) << "width " << in.width;
    for (int y = 0; y < in.height; ++y) ASSERT_EQ(t.vertexImage.at(0, y), kBlack);
    for (std::size_t i = 0; i < t.nVert(); ++i) {
      const long x = std::lround(t.vertX[i]);
      ASSERT_TRUE(x > 0 && x < in.width) << t.vertX[i];
    }
  }
}

TEST(MakeTiling, FirstTileIsAlwaysDrawnAndSetsTheMargin) {
  const TilingInputs in = Inputs(7, 30, 10);
  const Tiling t = Generate(in);
  ASSERT_FALSE(t.tiles.empty());
  const Tile& first = t.tiles.front();
  const bool farOutside = first.corners[0].x < -1000 || first.corners[0].y < -1000;
  EXPECT_TRUE(farOutside) << first.corners[0].x << "," << first.corners[0].y;
  const double dx = first.corners[1].x - first.corners[0].x;
  const double dy = first.corners[1].y - first.corners[0].y;
  EXPECT_FLOAT_EQ(t.margin, static_cast<float>(2.0 * std::sqrt(dx * dx + dy * dy)));
  const double m = t.margin;
  for (std::size_t i = 1; i < t.tiles.size(); ++i)
    for (const PixelPoint& p : t.tiles[i].corners) {
      ASSERT_GE(p.x, -m);
      ASSERT_GE(p.y, -m);
      ASSERT_LE(p.x, in.width + m);
      ASSERT_LE(p.y, in.height + m);
    }
  // The canvas itself is covered by many tiles.
  EXPECT_GT(t.nTiles(), 400u);
}

TEST(MakeTiling, KeepsExactlyTheTilesWithinTheMarginOfEveryIntersection) {
  // Every intersection worked out directly, each tile's corners rounded and
  // tested against the margin of the first tile: the generator keeps the same
  // tiles, however far most intersections lie outside the canvas.
  struct Case { int n, loop, zoom; std::vector<double> shifts; };
  // The last shifts move every tile 4 edges from where its intersection alone would put it.
  const std::vector<Case> cases = {{20, 40, 8, {}},
                                   {12, 25, 1, {}},
                                   {7, 30, 10, {-0.9, 0.7, -0.3, 1.0, -1.0, 0.2, 0.55}},
                                   {6, 30, 10, {1, 1, 1, -1, -1, -1}}};
  for (const Case& c : cases) {
    TilingInputs in = Inputs(c.n, c.loop, c.zoom);
    if (!c.shifts.empty()) {
      in.shiftMode = ShiftMode::Given;
      in.shifts = c.shifts;
    }
    const Tiling t = Generate(in);
    const double pi = 3.141592654, scale = c.zoom / 10.0 * 30.0;
    std::vector<double> ex, ey;
    for (int i = 0; i < c.n; ++i) {
      ex.push_back(std::cos(2 * pi * i / c.n));
      ey.push_back(std::sin(2 * pi * i / c.n));
    }
    const std::vector<double>& g = t.gridShift;
    std::multiset<std::vector<int>> expected;
    double margin = 0.0;
    for (int j = 0; j < c.n - 1; ++j)
      for (int k = j + 1; k < c.n; ++k) {
        if (c.n % 2 == 0 && k == j + c.n / 2) continue;
        const double det = ex[j] * ey[k] - ey[j] * ex[k];
        for (int r = -c.loop; r <= c.loop; ++r)
          for (int s = -c.loop; s <= c.loop; ++s) {
            // p.e_j + g_j = r and p.e_k + g_k = s, by the inverse as the grids
            // take it, so that lines through one point round alike.
            const double d0 = r - g[j], d1 = s - g[k];
            const double px = ey[k] / det * d0 + -ey[j] / det * d1;
            const double py = -ex[k] / det * d0 + ex[j] / det * d1;
            double bx = 0, by = 0;
            for (int i = 0; i < c.n; ++i) {
              const double v = ex[i] * px + ey[i] * py + g[i];
              // Whole negative values go one further down, as the classic floor does.
              const double ki = i == j ? r : i == k ? s : (v >= 0 ? std::floor(v) : std::ceil(v) - 1) + 1;
              bx += ki * ex[i];
              by += ki * ey[i];
            }
            std::vector<int> corners{j, k};
            bool inside = true;
            for (const auto& [a, b] : {std::pair{0, 0}, {0, 1}, {1, 1}, {1, 0}}) {
              const int x = static_cast<int>(std::nearbyint(256 + (bx + a * ex[j] + b * ex[k]) * scale));
              const int y = static_cast<int>(std::nearbyint(256 + (by + a * ey[j] + b * ey[k]) * scale));
              if (margin > 0 && (x < -margin || y < -margin || x > 512 + margin || y > 512 + margin)) inside = false;
              corners.push_back(x);
              corners.push_back(y);
            }
            if (margin == 0) margin = 2.0 * std::hypot(corners[4] - corners[2], corners[5] - corners[3]);
            if (inside) expected.insert(corners);
          }
      }
    std::multiset<std::vector<int>> kept;
    for (const Tile& tile : t.tiles) {
      std::vector<int> corners{tile.gridJ, tile.gridK};
      for (const PixelPoint& p : tile.corners) {
        corners.push_back(p.x);
        corners.push_back(p.y);
      }
      kept.insert(corners);
    }
    EXPECT_EQ(kept.size(), expected.size()) << "N = " << c.n;
    EXPECT_TRUE(kept == expected) << "N = " << c.n;
  }
}

TEST(MakeTiling, RandomTilingsRepeatAfterEveryStart) {
  const TilingInputs in = Inputs(9, 5, 8, ShiftMode::Random);
  std::mt19937 first(kTilingRandomSeed), second(kTilingRandomSeed);
  const Tiling a = MakeTiling(in, first);
  const Tiling b = MakeTiling(in, second);
  EXPECT_EQ(a.gridShift, b.gridShift);
  EXPECT_EQ(a.vertX, b.vertX);
  for (double g : a.gridShift) {
    EXPECT_GE(g, 0.0);
    EXPECT_LT(g, 1.0);
  }
  // The next run from the same source is a different tiling.
  const Tiling c = MakeTiling(in, first);
  EXPECT_NE(a.gridShift, c.gridShift);
  // The symmetric shift modes leave the random source alone.
  std::mt19937 untouched(kTilingRandomSeed);
  const Tiling d = MakeTiling(Inputs(9, 5, 8, ShiftMode::SymmetryType2), untouched);
  EXPECT_EQ(d.gridShift, std::vector<double>(9, 8.0 / 18.0));
  EXPECT_EQ(untouched, std::mt19937(kTilingRandomSeed));
}

TEST(MakeTiling, StopsRecordingAtTheTableBoundAndSaysSo) {
  TilingInputs in = Inputs(5, 40, 1);
  in.width = in.height = 1024;
  const Tiling t = Generate(in);
  EXPECT_EQ(t.nVert(), kMaxVertices);
  EXPECT_TRUE(t.vertexTableFull);
  // The tiles are still all drawn, more of them than recorded vertices...
  EXPECT_GT(t.nTiles(), kMaxVertices);
  // ...while the vertex image holds exactly the recorded ones.
  std::size_t white = 0;
  for (ColorValue c : t.vertexImage.pixels) white += c == kWhite;
  EXPECT_EQ(white, kMaxVertices);
  const std::string status = TilingStatusTexts(t)[3];
  EXPECT_EQ(status.rfind("50000 unique vertices (table full", 0), 0u) << status;

  const Tiling normal = Generate(Inputs(5, 40, 1));
  EXPECT_FALSE(normal.vertexTableFull);
  EXPECT_LT(normal.nVert(), kMaxVertices);
}

TEST(MakeTiling, RejectsInputsOutsideTheControls) {
  std::mt19937 random(kTilingRandomSeed);
  for (const TilingInputs& bad : {Inputs(4, 6, 8), Inputs(21, 6, 8), Inputs(5, 41, 8), Inputs(5, 6, 0)})
    EXPECT_THROW(MakeTiling(bad, random), std::invalid_argument);
}

}  // namespace
}  // namespace lumora
