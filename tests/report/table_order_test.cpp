// The table's rows: checked by the properties a reader relies on (every kept
// row once, the column never decreasing, ties in run order) on a small
// hand-made list, not against the code's own output.
#include "report/table_order.hpp"

#include <gtest/gtest.h>

#include <algorithm>

namespace lumora {
namespace {

std::vector<ReflectionRecord> Records() {
  // theta, d, qe, qi of five made-up reflections; rows 1 and 3 tie in theta.
  const float values[][4] = {{9.f, 2.f, .3f, .9f}, {5.f, 4.f, .1f, .2f}, {12.f, 1.f, .5f, .1f},
                             {5.f, 4.f, .1f, .7f}, {7.f, 3.f, .2f, .4f}};
  std::vector<ReflectionRecord> records;
  for (const auto& v : values) {
    ReflectionRecord r;
    r.theta = v[0];
    r.d = v[1];
    r.qe = v[2];
    r.qi = v[3];
    records.push_back(r);
  }
  return records;
}

TEST(TableRows, RunOrderWithoutAThresholdIsEveryRowUntouched) {
  const auto records = Records();
  EXPECT_EQ(TableRows(records, nullptr, TableSort::RunOrder, 0.0), nullptr);
  const std::vector<double> intensities = {100, 3, 50, 0, 10};
  EXPECT_EQ(TableRows(records, &intensities, TableSort::RunOrder, 0.0), nullptr);
  // No intensities: the threshold and the intensity order mean nothing.
  EXPECT_EQ(TableRows(records, nullptr, TableSort::Intensity, 5.0), nullptr);
}

TEST(TableRows, SortsByEachColumnWithTiesInRunOrder) {
  const auto records = Records();
  using Rows = std::vector<std::size_t>;
  EXPECT_EQ(*TableRows(records, nullptr, TableSort::Theta, 0.0), (Rows{1, 3, 4, 0, 2}));
  EXPECT_EQ(*TableRows(records, nullptr, TableSort::D, 0.0), (Rows{2, 0, 4, 1, 3}));
  EXPECT_EQ(*TableRows(records, nullptr, TableSort::Qe, 0.0), (Rows{1, 3, 4, 0, 2}));
  EXPECT_EQ(*TableRows(records, nullptr, TableSort::Qi, 0.0), (Rows{2, 1, 4, 3, 0}));
}

TEST(TableRows, TheThresholdKeepsWhatThePlotsKeep) {
  const auto records = Records();
  const std::vector<double> intensities = {100, 3, 50, 5, 10};
  using Rows = std::vector<std::size_t>;
  // At least 5 % (5 itself is kept), strongest first.
  EXPECT_EQ(*TableRows(records, &intensities, TableSort::Intensity, 5.0), (Rows{0, 2, 4, 3}));
  EXPECT_EQ(*TableRows(records, &intensities, TableSort::RunOrder, 5.0), (Rows{0, 2, 3, 4}));
  EXPECT_TRUE(TableRows(records, &intensities, TableSort::Theta, 101.0)->empty());
}

}  // namespace
}  // namespace lumora
