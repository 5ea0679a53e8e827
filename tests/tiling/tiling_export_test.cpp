#include <gtest/gtest.h>

#include <cmath>
#include <numbers>
#include <sstream>

#include "tiling/multigrid.hpp"
#include "tiling/tiling_analysis.hpp"
#include "tiling/tiling_export.hpp"

namespace lumora {
namespace {

std::vector<std::vector<std::string>> Rows(const std::string& csv) {
  std::vector<std::vector<std::string>> rows;
  std::istringstream in(csv);
  std::string line;
  while (std::getline(in, line)) {
    std::vector<std::string> cells;
    std::istringstream fields(line);
    std::string cell;
    while (std::getline(fields, cell, ',')) cells.push_back(cell);
    rows.push_back(cells);
  }
  return rows;
}

Tiling Default(int n = 5) {
  TilingInputs in;
  in.symmetry = n;
  std::mt19937 random(kTilingRandomSeed);
  return MakeTiling(in, random);
}

TEST(TilesCsv, UnitRhombiOnThePixelCornersOfThePicture) {
  for (int n : {5, 8}) {
    const Tiling t = Default(n);
    const auto rows = Rows(TilesCsv(t));
    ASSERT_EQ(rows.size(), t.nTiles() + 1);
    EXPECT_EQ(rows[0].size(), 11u);
    EXPECT_EQ(rows[0][0], "tile");
    for (std::size_t i = 0; i < t.nTiles(); ++i) {
      const auto& r = rows[i + 1];
      ASSERT_EQ(r.size(), 11u);
      EXPECT_EQ(std::stoi(r[1]), t.tiles[i].type);
      double x[4], y[4];
      for (int c = 0; c < 4; ++c) {
        x[c] = std::stod(r[static_cast<std::size_t>(3 + 2 * c)]);
        y[c] = std::stod(r[static_cast<std::size_t>(4 + 2 * c)]);
        // The picture's corners are these, scaled by 3 x zoom and rounded.
        EXPECT_LE(std::abs(256 + x[c] * 24 - t.tiles[i].corners[static_cast<std::size_t>(c)].x), 0.5 + 1e-6);
        EXPECT_LE(std::abs(256 + y[c] * 24 - t.tiles[i].corners[static_cast<std::size_t>(c)].y), 0.5 + 1e-6);
      }
      for (int c = 0; c < 4; ++c) EXPECT_NEAR(std::hypot(x[(c + 1) % 4] - x[c], y[(c + 1) % 4] - y[c]), 1.0, 1e-8);
      // The acute angle of the rhombus is the shape column.
      const double angle = std::acos((x[1] - x[0]) * (x[3] - x[0]) + (y[1] - y[0]) * (y[3] - y[0])) * 180 / std::numbers::pi;
      EXPECT_NEAR(std::min(angle, 180 - angle), std::stod(r[2]), 1e-6);
    }
  }
}

TEST(VerticesCsv, PositionsAreTheSumsOfTheirIndexVectors) {
  const Tiling t = Default();
  const auto rows = Rows(VerticesCsv(t));
  ASSERT_EQ(rows.size(), t.nLatticeVertices() + 1);
  EXPECT_EQ(rows[0], (std::vector<std::string>{"vertex", "x", "y", "k0", "k1", "k2", "k3", "k4"}));
  for (std::size_t v = 1; v < rows.size(); ++v) {
    double x = 0, y = 0;
    for (int i = 0; i < 5; ++i) {
      const int k = std::stoi(rows[v][static_cast<std::size_t>(3 + i)]);
      x += k * std::cos(2 * std::numbers::pi * i / 5);
      y += k * std::sin(2 * std::numbers::pi * i / 5);
    }
    EXPECT_NEAR(std::stod(rows[v][1]), x, 1e-8);
    EXPECT_NEAR(std::stod(rows[v][2]), y, 1e-8);
    EXPECT_LT(std::abs(x), 256.0 / 24);
  }
}

TEST(TilingSvg, OnePolygonPerTileInTheTilesColour) {
  const Tiling t = Default();
  const std::string svg = TilingSvg(t);
  std::size_t polygons = 0;
  for (std::size_t at = svg.find("<polygon"); at != std::string::npos; at = svg.find("<polygon", at + 1)) ++polygons;
  EXPECT_EQ(polygons, t.nTiles());
  EXPECT_NE(svg.find("width=\"512\""), std::string::npos);
  const std::size_t first = svg.find("<polygon");
  char colour[8];
  std::snprintf(colour, sizeof colour, "#%02x%02x%02x", RedOf(t.tiles[0].color), GreenOf(t.tiles[0].color),
                BlueOf(t.tiles[0].color));
  EXPECT_EQ(svg.substr(first, 40).find(colour) != std::string::npos, true);
  EXPECT_EQ(svg.substr(svg.size() - 7), "</svg>\n");
}

TEST(StatisticsJson, CarriesCountsRatioAndNote) {
  TilingInputs in;
  in.symmetry = 8;
  std::mt19937 random(kTilingRandomSeed);
  const Tiling t = MakeTiling(in, random);
  const TilingStatistics stats = ComputeTilingStatistics(t);
  const std::string json = StatisticsJson(t, stats, TilingNote(8, t.gridShift));
  EXPECT_NE(json.find("\"symmetry\": 8"), std::string::npos);
  EXPECT_NE(json.find("\"angle_deg\": 45.0000, \"count\": " + std::to_string(stats.tilesByShape.at(2))),
            std::string::npos);
  EXPECT_NE(json.find("\"shape_ratio\": "), std::string::npos);
  EXPECT_NE(json.find("\"note\": \"Non-standard"), std::string::npos);
  EXPECT_EQ(std::count(json.begin(), json.end(), '{'), std::count(json.begin(), json.end(), '}'));
}

}  // namespace
}  // namespace lumora
