#include "plots/point_table.hpp"

#include <cmath>
#include <algorithm>
#include <array>
#include <cstdint>
#include <cstring>
#include <thread>

#include "common/numeric.hpp"

namespace lumora {

PointTable MakePointTable(const std::vector<ReflectionRecord>& records) {
  PointTable table(records.size());
  for (std::size_t i = 0; i < records.size(); ++i)
    table[i] = {records[i].x, records[i].y, records[i].z, static_cast<float>(i), records[i].qi};
  return table;
}

namespace {

// Depths as unsigned keys that sort the same way: negative floats flip all
// bits, positive ones only the sign bit.
std::uint32_t AscendingKey(float depth) {
  std::uint32_t bits;
  std::memcpy(&bits, &depth, sizeof bits);
  return (bits & 0x80000000u) ? ~bits : bits | 0x80000000u;
}

// Runs body(from, to) over [0, n) in two halves on two threads when n is
// large and there is a second core; the halves never share an element.
template <typename Body>
void InHalves(std::size_t n, Body&& body) {
  constexpr std::size_t kParallel = 1 << 16;
  if (n < kParallel || std::thread::hardware_concurrency() < 2) {
    body(std::size_t{0}, n, 0);
    return;
  }
  std::thread second([&] { body(n / 2, n, 1); });
  body(std::size_t{0}, n / 2, 0);
  second.join();
}

}  // namespace

void Rotate(PointTable& table, int axis, float angleDegrees) {
  const float r = static_cast<float>(static_cast<double>(angleDegrees) * kRadianDivisor);
  const double c = static_cast<float>(std::cos(static_cast<double>(r)));
  const double s = static_cast<float>(std::sin(static_cast<double>(r)));
  InHalves(table.size(), [&](std::size_t from, std::size_t to, int) {
    for (std::size_t i = from; i < to; ++i) {
      PointRow& row = table[i];
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
  });
}

void SortPlotRows(PointTable& table, int first, int last) {
  if (first >= last) return;
  // A stable radix sort on (key, row) pairs, nearest last: four passes of
  // eight bits, linear in the number of rows. Each pass counts and moves the
  // two halves on two threads; the second half's entries of a digit go after
  // the first half's, so the order is the same as in one pass.
  const auto n = static_cast<std::size_t>(last - first) + 1;
  struct Entry {
    std::uint32_t key;
    std::uint32_t row;
  };
  std::vector<Entry> a(n);
  std::vector<Entry> b(n);
  InHalves(n, [&](std::size_t from, std::size_t to, int) {
    for (std::size_t i = from; i < to; ++i) {
      const std::size_t row = static_cast<std::size_t>(first) + i;
      a[i] = {~AscendingKey(table[row][kDepth]), static_cast<std::uint32_t>(row)};  // descending
    }
  });
  for (int shift = 0; shift < 32; shift += 8) {
    std::array<std::array<std::size_t, 256>, 2> count{};
    InHalves(n, [&](std::size_t from, std::size_t to, int half) {
      for (std::size_t i = from; i < to; ++i) ++count[static_cast<std::size_t>(half)][(a[i].key >> shift) & 0xFFu];
    });
    const std::size_t digit0 = (a[0].key >> shift) & 0xFFu;
    if (count[0][digit0] + count[1][digit0] == n) continue;  // one digit: nothing moves
    std::array<std::array<std::size_t, 256>, 2> next{};
    std::size_t at = 0;
    for (std::size_t d = 0; d < 256; ++d) {
      next[0][d] = at;
      next[1][d] = at + count[0][d];
      at += count[0][d] + count[1][d];
    }
    InHalves(n, [&](std::size_t from, std::size_t to, int half) {
      auto& place = next[static_cast<std::size_t>(half)];
      for (std::size_t i = from; i < to; ++i) b[place[(a[i].key >> shift) & 0xFFu]++] = a[i];
    });
    a.swap(b);
  }
  std::vector<PointRow> sorted(n);
  InHalves(n, [&](std::size_t from, std::size_t to, int) {
    for (std::size_t i = from; i < to; ++i) sorted[i] = table[a[i].row];
  });
  std::copy(sorted.begin(), sorted.end(), table.begin() + first);
}

}  // namespace lumora
