#include "plots/point_table.hpp"

#include <cmath>
#include <utility>

#include "common/numeric.hpp"

namespace lumora {

PointTable MakePointTable(const std::vector<ReflectionRecord>& records) {
  PointTable table(records.size());
  for (std::size_t i = 0; i < records.size(); ++i)
    table[i] = {records[i].x, records[i].y, records[i].z, static_cast<float>(i), 0.0f};
  return table;
}

void Rotate(PointTable& table, int axis, float angleDegrees) {
  const float r = static_cast<float>(static_cast<double>(angleDegrees) * kRadianDivisor);
  const double c = static_cast<float>(std::cos(static_cast<double>(r)));
  const double s = static_cast<float>(std::sin(static_cast<double>(r)));
  for (PointRow& row : table) {
    const double p = row[kDepth];
    const double q = row[kHorizontal];
    const double w = row[kVertical];
    switch (axis) {
      case 1:
        row[kHorizontal] = static_cast<float>(c * q - s * w);
        row[kVertical] = static_cast<float>(s * q + c * w);
        break;
      case 2:
        row[kDepth] = static_cast<float>(c * p - s * w);
        row[kVertical] = static_cast<float>(s * p + c * w);
        break;
      case 3:
        row[kDepth] = static_cast<float>(c * p + s * q);
        row[kHorizontal] = static_cast<float>(-s * p + c * q);
        break;
      default: break;
    }
  }
}

void SortPlotRows(PointTable& table, int first, int last) {
  // Recurse into the smaller part and loop on the larger, so the stack stays
  // shallow whatever the order of the rows.
  while (first < last) {
    const int middle = static_cast<int>(RoundHalfEven((first + last) / 2.0));
    const float pivot = table[static_cast<std::size_t>(middle)][kDepth];
    int i = first;
    int j = last;
    while (i <= j) {
      while (table[static_cast<std::size_t>(i)][kDepth] > pivot) ++i;
      while (table[static_cast<std::size_t>(j)][kDepth] < pivot) --j;
      if (i <= j) {
        std::swap(table[static_cast<std::size_t>(i)], table[static_cast<std::size_t>(j)]);
        ++i;
        --j;
      }
    }
    if (j - first < last - i) {
      if (first < j) SortPlotRows(table, first, j);
      first = i;
    } else {
      if (i < last) SortPlotRows(table, i, last);
      last = j;
    }
  }
}

}  // namespace lumora
