#include "plots/point_table.hpp"

#include <cmath>
#include <algorithm>
#include <array>
#include <cstdint>
#include <cstring>

#include "common/numeric.hpp"

namespace lumora {

PointTable MakePointTable(const std::vector<ReflectionRecord>& records) {
  PointTable table(records.size());
  for (std::size_t i = 0; i < records.size(); ++i)
    table[i] = {records[i].x, records[i].y, records[i].z, static_cast<float>(i), records[i].qi};
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

namespace {

// Depths as unsigned keys that sort the same way: negative floats flip all
// bits, positive ones only the sign bit.
std::uint32_t AscendingKey(float depth) {
  std::uint32_t bits;
  std::memcpy(&bits, &depth, sizeof bits);
  return (bits & 0x80000000u) ? ~bits : bits | 0x80000000u;
}

}  // namespace

void SortPlotRows(PointTable& table, int first, int last) {
  if (first >= last) return;
  // A stable radix sort on (key, row) pairs, nearest last: four passes of
  // eight bits, linear in the number of rows.
  const auto n = static_cast<std::size_t>(last - first) + 1;
  struct Entry {
    std::uint32_t key;
    std::uint32_t row;
  };
  std::vector<Entry> a(n);
  std::vector<Entry> b(n);
  for (std::size_t i = 0; i < n; ++i) {
    const std::size_t row = static_cast<std::size_t>(first) + i;
    a[i] = {~AscendingKey(table[row][kDepth]), static_cast<std::uint32_t>(row)};  // descending
  }
  for (int shift = 0; shift < 32; shift += 8) {
    std::array<std::size_t, 257> start{};
    for (const Entry& e : a) ++start[((e.key >> shift) & 0xFFu) + 1];
    if (start[1 + ((a[0].key >> shift) & 0xFFu)] == n) continue;  // one bucket: nothing moves
    for (std::size_t d = 1; d < start.size(); ++d) start[d] += start[d - 1];
    for (const Entry& e : a) b[start[(e.key >> shift) & 0xFFu]++] = e;
    a.swap(b);
  }
  std::vector<PointRow> sorted(n);
  for (std::size_t i = 0; i < n; ++i) sorted[i] = table[a[i].row];
  std::copy(sorted.begin(), sorted.end(), table.begin() + first);
}

}  // namespace lumora
