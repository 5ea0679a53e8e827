#include "plots/point_table.hpp"

#include <gtest/gtest.h>

#include <cmath>
#include <random>

namespace lumora {
namespace {

PointTable Sample() {
  std::vector<ReflectionRecord> records(3);
  records[0].x = 1.0f;
  records[1].y = 0.5f;
  records[1].x = -0.25f;
  records[2].z = -2.0f;
  records[2].x = 0.75f;
  records[1].qi = -0.125f;
  return MakePointTable(records);
}

TEST(PointTable, FilledFromTheListInOrder) {
  const PointTable table = Sample();
  ASSERT_EQ(table.size(), 3u);
  EXPECT_EQ(table[1], (PointRow{-0.25f, 0.5f, 0.0f, 1.0f, -0.125f}));
  EXPECT_EQ(RecordOf(table[2]), 2u);
}

TEST(PointTable, RotationsAboutEachAxis) {
  PointTable table = {{1.0f, 0.0f, 0.0f, 0, 0}};
  Rotate(table, 3, 90.0f);  // screen-vertical axis: depth turns into -horizontal
  EXPECT_NEAR(table[0][kDepth], 0.0f, 1e-6);
  EXPECT_NEAR(table[0][kHorizontal], -1.0f, 1e-6);
  Rotate(table, 1, 90.0f);  // viewing direction: horizontal turns into vertical
  EXPECT_NEAR(table[0][kHorizontal], 0.0f, 1e-6);
  EXPECT_NEAR(table[0][kVertical], -1.0f, 1e-6);
  Rotate(table, 2, 90.0f);  // screen-horizontal axis: vertical turns into depth
  EXPECT_NEAR(table[0][kDepth], 1.0f, 1e-6);
  EXPECT_NEAR(table[0][kVertical], 0.0f, 1e-6);
  EXPECT_EQ(table[0][kRecordNumber], 0.0f);
}

TEST(PointTable, UpThenDownRestoresAndFourLeftsMakeTwenty) {
  const PointTable start = Sample();
  PointTable table = start;
  Rotate(table, 2, 5.0f);
  Rotate(table, 2, -5.0f);
  for (std::size_t i = 0; i < table.size(); ++i)
    for (int c = 0; c < 3; ++c) EXPECT_NEAR(table[i][c], start[i][c], 1e-6);

  PointTable steps = start;
  for (int i = 0; i < 4; ++i) Rotate(steps, 3, -5.0f);
  PointTable once = start;
  Rotate(once, 3, -20.0f);
  for (std::size_t i = 0; i < table.size(); ++i)
    for (int c = 0; c < 3; ++c) EXPECT_NEAR(steps[i][c], once[i][c], 1e-6);
  // Rotations keep the length of every point.
  for (std::size_t i = 0; i < table.size(); ++i)
    EXPECT_NEAR(std::hypot(steps[i][0], steps[i][1], steps[i][2]), std::hypot(start[i][0], start[i][1], start[i][2]),
                1e-6);
}

TEST(PointTable, SortsByDescendingDepthKeepingRowsWhole) {
  std::mt19937 random(7);
  std::uniform_int_distribution<int> depth(-5, 5);  // many ties
  PointTable table;
  for (int i = 0; i < 2000; ++i) {
    const float d = static_cast<float>(depth(random));
    table.push_back({d, d * 2, d * 3, static_cast<float>(i), 0});
  }
  SortPlotRows(table);
  std::vector<bool> seen(2000, false);
  for (std::size_t i = 0; i < table.size(); ++i) {
    if (i > 0) {
      EXPECT_GE(table[i - 1][kDepth], table[i][kDepth]);
    }
    EXPECT_EQ(table[i][kHorizontal], table[i][kDepth] * 2);
    EXPECT_EQ(table[i][kVertical], table[i][kDepth] * 3);
    seen[RecordOf(table[i])] = true;
  }
  EXPECT_EQ(std::count(seen.begin(), seen.end(), true), 2000);

  // Already ordered and reversed tables of 200,000 rows sort without deep recursion.
  PointTable ascending(200000);
  for (std::size_t i = 0; i < ascending.size(); ++i) ascending[i] = {static_cast<float>(i), 0, 0, 0, 0};
  SortPlotRows(ascending);
  EXPECT_EQ(ascending.front()[kDepth], 199999.0f);
  EXPECT_EQ(ascending.back()[kDepth], 0.0f);
  PointTable empty;
  SortPlotRows(empty);
  EXPECT_TRUE(empty.empty());
}

// The painting order decides which of two spots at equal depth is seen:
// rows of equal depth keep the order they had, compared with a plain stable
// sort; negative, positive and signed zero depths order as numbers.
TEST(PointTable, EqualDepthsKeepTheirOrder) {
  std::mt19937 random(11);
  std::uniform_int_distribution<int> depth(-300, 300);
  for (std::size_t size : {std::size_t{1000}, std::size_t{150000}}) {
    PointTable table(size);
    for (std::size_t i = 0; i < size; ++i)
      table[i] = {static_cast<float>(depth(random)) * 0.01f, 0, 0, static_cast<float>(i), 0};
    table[3][kDepth] = -0.0f;
    table[5][kDepth] = 0.0f;
    table[7][kDepth] = 1e30f;
    table[9][kDepth] = -1e-30f;
    PointTable expected = table;
    // +0 counts as nearer than -0, as their bit patterns order them.
    const auto nearerFirst = [](const PointRow& p, const PointRow& q) {
      if (p[kDepth] == 0 && q[kDepth] == 0) return !std::signbit(p[kDepth]) && std::signbit(q[kDepth]);
      return p[kDepth] > q[kDepth];
    };
    std::stable_sort(expected.begin(), expected.end(), nearerFirst);
    SortPlotRows(table);
    ASSERT_EQ(table, expected) << size << " rows";
    EXPECT_EQ(table.front()[kDepth], 1e30f);
    // A part of a table sorts alone.
    PointTable part = expected;
    std::shuffle(part.begin() + 100, part.begin() + 900, random);
    PointTable partExpected = part;
    std::stable_sort(partExpected.begin() + 100, partExpected.begin() + 900, nearerFirst);
    SortPlotRows(part, 100, 899);
    EXPECT_EQ(part, partExpected);
  }
}

}  // namespace
}  // namespace lumora
