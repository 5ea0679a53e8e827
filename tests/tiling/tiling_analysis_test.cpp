#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <map>
#include <numbers>
#include <set>

#include "tiling/multigrid.hpp"
#include "tiling/tiling_analysis.hpp"

namespace lumora {
namespace {

constexpr double kTruePi = std::numbers::pi;
const double kGolden = (1.0 + std::sqrt(5.0)) / 2.0;

Tiling GenerateGiven(const PresetShifts& preset, int loop, int zoom, int canvas = 512) {
  TilingInputs in;
  in.width = in.height = canvas;
  in.symmetry = preset.symmetry;
  in.loopOrder = loop;
  in.zoom = zoom;
  in.shiftMode = ShiftMode::Given;
  in.shifts = preset.shifts;
  std::mt19937 random(kTilingRandomSeed);
  return MakeTiling(in, random);
}

using Point = std::array<double, 2>;

double Cross(const Point& o, const Point& a, const Point& b) {
  return (a[0] - o[0]) * (b[1] - o[1]) - (a[1] - o[1]) * (b[0] - o[0]);
}

// Convex hull, counter-clockwise, without collinear points (monotone chain).
std::vector<Point> Hull(std::vector<Point> p) {
  std::sort(p.begin(), p.end());
  std::vector<Point> h(2 * p.size());
  std::size_t k = 0;
  for (std::size_t i = 0; i < p.size(); ++i) {
    while (k >= 2 && Cross(h[k - 2], h[k - 1], p[i]) <= 1e-12) --k;
    h[k++] = p[i];
  }
  for (std::size_t i = p.size() - 1, t = k + 1; i-- > 0;) {
    while (k >= t && Cross(h[k - 2], h[k - 1], p[i]) <= 1e-12) --k;
    h[k++] = p[i];
  }
  h.resize(k - 1);
  return h;
}

bool InsideHull(const std::vector<Point>& hull, const Point& q, double tolerance) {
  for (std::size_t i = 0; i < hull.size(); ++i) {
    const Point& a = hull[i];
    const Point& b = hull[(i + 1) % hull.size()];
    const double length = std::hypot(b[0] - a[0], b[1] - a[1]);
    if (Cross(a, b, q) / length < -tolerance) return false;
  }
  return true;
}

TEST(TileShape, SameRhombusSameShapeForEvenN) {
  EXPECT_EQ(TileShape(5, 0, 1), 2);  // 72 degrees: thick
  EXPECT_EQ(TileShape(5, 0, 2), 1);  // 36 degrees: thin
  EXPECT_EQ(TileShape(5, 1, 4), 1);
  EXPECT_EQ(TileShape(8, 0, 1), 2);  // 45-degree rhombus
  EXPECT_EQ(TileShape(8, 1, 4), 2);  // the same rhombus, another type
  EXPECT_EQ(TileShape(8, 0, 2), 4);  // square
  EXPECT_EQ(TileShape(8, 1, 7), 4);
}

TEST(GivenShifts, AreCheckedAndUsed) {
  TilingInputs in;
  in.shiftMode = ShiftMode::Given;
  in.shifts = {0.1, 0.2, 0.3};
  ASSERT_TRUE(CheckTilingInputs(in).has_value());
  EXPECT_NE(CheckTilingInputs(in)->find("must be 5 numbers"), std::string::npos);
  in.shifts = {0.1, 0.2, std::nan(""), 0.3, 0.4};
  EXPECT_NE(CheckTilingInputs(in)->find("shift 2"), std::string::npos);
  in.shifts = {0.1, 0.2, 1.5, 0.3, 0.4};
  EXPECT_NE(CheckTilingInputs(in)->find("shift 2"), std::string::npos);
  in.shifts = {0.1, 0.2, 0.3, 0.3, 0.4};
  EXPECT_FALSE(CheckTilingInputs(in).has_value());
  std::mt19937 random(kTilingRandomSeed);
  EXPECT_EQ(MakeTiling(in, random).gridShift, in.shifts);
}

TEST(TilingNote, NamesPeriodicAndNonStandardChoices) {
  EXPECT_NE(TilingNote(6, {}).value_or("").find("periodic"), std::string::npos);
  const std::vector<double> classic8(8, 1.0 / 8);
  EXPECT_NE(TilingNote(8, classic8).value_or("").find("Non-standard"), std::string::npos);
  const std::vector<double> doubled = {0.1, 0.2, 0.3, 0.4, -0.1, 0.8, 0.7, 0.6};
  EXPECT_NE(TilingNote(8, doubled).value_or("").find("coincide"), std::string::npos);
  EXPECT_FALSE(TilingNote(8, StandardShifts(TilingPreset::AmmannBeenker).shifts).has_value());
  EXPECT_FALSE(TilingNote(5, StandardShifts(TilingPreset::Penrose).shifts).has_value());
  EXPECT_NE(TilingNote(5, StandardShifts(TilingPreset::GeneralisedPenrose, 0.5).shifts).value_or("").find("0.5"),
            std::string::npos);
  const PresetShifts general = StandardShifts(TilingPreset::GeneralisedPenrose, 1.7);
  double sum = 0;
  for (double g : general.shifts) sum += g;
  EXPECT_NEAR(sum, 1.7, 1e-12);
}

TEST(TilingStatistics, PenroseThickToThinApproachesTheGoldenRatio) {
  // A 400-pixel canvas at scale 0.1 is covered without gaps at L = 40.
  const Tiling t = GenerateGiven(StandardShifts(TilingPreset::Penrose), 40, 1, 400);
  const TilingStatistics stats = ComputeTilingStatistics(t);
  ASSERT_EQ(stats.tilesByShape.size(), 2u);
  const double thick = static_cast<double>(stats.tilesByShape.at(2));
  const double thin = static_cast<double>(stats.tilesByShape.at(1));
  EXPECT_GT(thick + thin, 20000.0);
  EXPECT_NEAR(thick / thin / kGolden, 1.0, 0.005);
  // The limit the statistics show beside the counted ratio is that one.
  EXPECT_NEAR(thick / thin / TwoShapeRatioLimit(5, t.gridShift).value().value, 1.0, 0.005);
  // Penrose vertices have 3 to 7 edges; none has fewer or more.
  EXPECT_EQ(stats.coordination.begin()->first, 3);
  EXPECT_EQ(stats.coordination.rbegin()->first, 7);
}

TEST(TilingStatistics, AmmannBeenkerHasEightfoldVerticesAtTheirKnownFrequency) {
  // 17 - 12 sqrt 2 of the vertices of the octagonal tiling have 8 edges; the
  // rhombi outnumber the squares by sqrt 2.
  const Tiling t = GenerateGiven(StandardShifts(TilingPreset::AmmannBeenker), 40, 1);
  const TilingStatistics stats = ComputeTilingStatistics(t);
  ASSERT_GT(stats.interiorVertices, 20000u);
  const double eight = static_cast<double>(stats.coordination.count(8) ? stats.coordination.at(8) : 0);
  EXPECT_NEAR(eight / static_cast<double>(stats.interiorVertices) / (17.0 - 12.0 * std::sqrt(2.0)), 1.0, 0.05);
  EXPECT_EQ(stats.coordination.begin()->first, 3);
  EXPECT_EQ(stats.coordination.rbegin()->first, 8);
  ASSERT_EQ(stats.tilesByShape.size(), 2u);
  EXPECT_NEAR(static_cast<double>(stats.tilesByShape.at(2)) / static_cast<double>(stats.tilesByShape.at(4)) /
                  std::sqrt(2.0),
              1.0, 0.01);
  // Shown as squares : rhombi, the wider shape first: 1/sqrt 2, not sqrt 2.
  EXPECT_NEAR(static_cast<double>(stats.tilesByShape.at(4)) / static_cast<double>(stats.tilesByShape.at(2)) /
                  TwoShapeRatioLimit(8, t.gridShift).value().value,
              1.0, 0.01);

  // The classic shifts for N = 8 give another tiling, far from that.
  TilingInputs classic;
  classic.symmetry = 8;
  classic.loopOrder = 40;
  classic.zoom = 1;
  std::mt19937 random(kTilingRandomSeed);
  const TilingStatistics other = ComputeTilingStatistics(MakeTiling(classic, random));
  const double otherEight = static_cast<double>(other.coordination.count(8) ? other.coordination.at(8) : 0);
  EXPECT_LT(otherEight / static_cast<double>(other.interiorVertices), 0.01);
}

// Wider : narrower shape counts from the grid crossings alone: two grids of
// unit-spaced lines at angle a cross |sin a| times per unit area, and each
// crossing is one tile. Grids i and i + N/2 of an even N are parallel.
double CrossingRatio(int n) {
  std::map<int, double> byShape;  // acute angle in degrees -> crossings
  for (int j = 0; j < n; ++j)
    for (int k = j + 1; k < n; ++k) {
      const double angle = 360.0 * (k - j) / n;
      const double s = std::abs(std::sin(angle * kTruePi / 180.0));
      if (s < 1e-9) continue;
      const double folded = std::fmod(angle, 180.0);
      byShape[static_cast<int>(std::lround(std::min(folded, 180.0 - folded)))] += s;
    }
  EXPECT_EQ(byShape.size(), 2u) << n;
  return byShape.rbegin()->second / byShape.begin()->second;
}

TEST(TilingStatistics, TwelveFoldShapesComeAsOneToRootThreeToOne) {
  // Grids i and i + 6 interleaved halfway: six families of spacing 1/2 at
  // 30-degree steps. Six pairs cross at 30 degrees (sin 1/2), six at 60
  // (sin sqrt3/2) and three at 90 (sin 1): the 30, 60 and 90-degree rhombi
  // come as 3 : 3 sqrt 3 : 3. Three shapes: no two-shape limit is offered.
  PresetShifts twelve{12, std::vector<double>(12)};
  for (int i = 0; i < 6; ++i) {
    twelve.shifts[static_cast<std::size_t>(i)] = 0.1 + 0.037 * std::sqrt(2.0 + i);
    twelve.shifts[static_cast<std::size_t>(i + 6)] = 0.5 - twelve.shifts[static_cast<std::size_t>(i)];
  }
  ASSERT_FALSE(TilingNote(12, twelve.shifts));
  const Tiling t = GenerateGiven(twelve, 24, 1, 400);
  const TilingStatistics stats = ComputeTilingStatistics(t);
  ASSERT_EQ(stats.tilesByShape.size(), 3u);
  const double narrow = static_cast<double>(stats.tilesByShape.at(2));  // 30 degrees
  const double middle = static_cast<double>(stats.tilesByShape.at(4));  // 60
  const double square = static_cast<double>(stats.tilesByShape.at(6));  // 90
  EXPECT_GT(narrow + middle + square, 10000.0);
  EXPECT_NEAR(middle / narrow / std::sqrt(3.0), 1.0, 0.02);
  EXPECT_NEAR(square / narrow, 1.0, 0.02);
  EXPECT_FALSE(TwoShapeRatioLimit(12, twelve.shifts));
}

TEST(TwoShapeRatioLimit, IsTheCrossingRatioOfTheStandardTilingsAlone) {
  const auto penrose = TwoShapeRatioLimit(5, StandardShifts(TilingPreset::Penrose).shifts);
  ASSERT_TRUE(penrose);
  EXPECT_NEAR(penrose->value, CrossingRatio(5), 1e-12);
  EXPECT_NEAR(penrose->value, kGolden, 1e-12);
  const auto octagonal = TwoShapeRatioLimit(8, StandardShifts(TilingPreset::AmmannBeenker).shifts);
  ASSERT_TRUE(octagonal);
  EXPECT_NEAR(octagonal->value, CrossingRatio(8), 1e-12);
  // Squares : rhombi is below 1: the rhombi are the more frequent.
  EXPECT_NEAR(octagonal->value, std::sqrt(0.5), 1e-12);
  EXPECT_NE(octagonal->text.find("0.7071"), std::string::npos);

  // Where the limit is not this one, none is offered: generalised Penrose,
  // the classic (non-interleaved) octagonal shifts, and other N.
  EXPECT_FALSE(TwoShapeRatioLimit(5, StandardShifts(TilingPreset::GeneralisedPenrose, 0.5).shifts));
  EXPECT_FALSE(TwoShapeRatioLimit(8, std::vector<double>(8, 0.2)));
  EXPECT_FALSE(TwoShapeRatioLimit(7, std::vector<double>(7, 0.1)));
}

TEST(InternalSpaceView, PenroseVerticesFillFourPentagons) {
  // A vertex with level s = sum K_i has internal point sum K_i e_(2i) =
  // sum lambda_i e_(2i) + sum gamma_i e_(2i) with lambda in [0, 1]^5 and
  // sum lambda_i = s - sum gamma_i: inside the hull of the sums of
  // s - 1 distinct e_(2i) (a pentagon), moved by sum gamma_i e_(2i).
  const PresetShifts penrose = StandardShifts(TilingPreset::Penrose);
  const Tiling t = GenerateGiven(penrose, 20, 2);
  const InternalView view = InternalSpaceView(t);
  ASSERT_EQ(view.exponent, 2);
  ASSERT_EQ(view.points.size(), t.nLatticeVertices());
  Point offset{0, 0};
  for (int i = 0; i < 5; ++i) {
    offset[0] += penrose.shifts[static_cast<std::size_t>(i)] * std::cos(4 * kTruePi * i / 5);
    offset[1] += penrose.shifts[static_cast<std::size_t>(i)] * std::sin(4 * kTruePi * i / 5);
  }
  const std::set<int> levels(view.levels.begin(), view.levels.end());
  ASSERT_EQ(levels.size(), 4u);
  const int lowest = *levels.begin();
  for (int level : levels) {
    const int count = level - lowest + 1;  // 1 .. 4 directions summed
    std::vector<Point> corners;
    for (int mask = 0; mask < 32; ++mask) {
      if (__builtin_popcount(static_cast<unsigned>(mask)) != count) continue;
      Point c = offset;
      for (int i = 0; i < 5; ++i)
        if (mask & (1 << i)) {
          c[0] += std::cos(4 * kTruePi * i / 5);
          c[1] += std::sin(4 * kTruePi * i / 5);
        }
      corners.push_back(c);
    }
    const std::vector<Point> hull = Hull(corners);
    EXPECT_EQ(hull.size(), 5u) << level;
    std::size_t inside = 0, total = 0;
    for (std::size_t v = 0; v < view.points.size(); ++v) {
      if (view.levels[v] != level) continue;
      ++total;
      inside += InsideHull(hull, view.points[v], 1e-9) ? 1 : 0;
    }
    EXPECT_GT(total, 100u);
    EXPECT_EQ(inside, total) << "level " << level;
  }
}

}  // namespace
}  // namespace lumora
