#include "zone/pattern_centre.hpp"

#include <algorithm>
#include <bit>
#include <cstdint>
#include <cmath>
#include <unordered_map>

#include "zone/point_grid.hpp"

namespace lumora {
namespace {

long long Pack(long i, long j) { return (static_cast<long long>(i) << 32) ^ (j & 0xffffffffLL); }

// The pairs of spots symmetric about c within the tolerance, counted from
// both ends, and the mean of their midpoints.
PatternCentre ScoreCentre(const PointGrid& grid, std::size_t n, double cx, double cy, double tolerance) {
  PatternCentre out{cx, cy, 0};
  double sx = 0.0, sy = 0.0;
  for (std::size_t i = 0; i < n; ++i) {
    const long j = grid.Nearest(2.0 * cx - grid[i][0], 2.0 * cy - grid[i][1], tolerance);
    if (j < 0 || static_cast<std::size_t>(j) == i) continue;
    sx += (grid[i][0] + grid[static_cast<std::size_t>(j)][0]) / 2.0;
    sy += (grid[i][1] + grid[static_cast<std::size_t>(j)][1]) / 2.0;
    ++out.pairs;
  }
  if (out.pairs > 0) out.x = sx / out.pairs, out.y = sy / out.pairs;
  return out;
}

}  // namespace

std::optional<std::array<double, 2>> SimilarPairCentre(const std::vector<FoundSpot>& spots, double tolerance) {
  const std::size_t n = std::min<std::size_t>(spots.size(), 400);
  std::unordered_map<long long, std::vector<std::array<double, 2>>> cells;
  const double cell = std::max(tolerance, 1.0);
  for (std::size_t i = 0; i < n; ++i)
    for (std::size_t j = i + 1; j < n; ++j) {
      const double ratio = spots[i].intensity / std::max(spots[j].intensity, 1e-30);
      // Friedel mates of a tilted pattern differ, but not by orders of magnitude.
      if (ratio > 20.0 || ratio < 0.05) continue;
      const double mx = (spots[i].x + spots[j].x) / 2.0, my = (spots[i].y + spots[j].y) / 2.0;
      cells[Pack(static_cast<long>(std::floor(mx / cell)), static_cast<long>(std::floor(my / cell)))].push_back({mx, my});
    }
  std::size_t bestCount = 0;
  std::array<double, 2> best{};
  for (const auto& [key, points] : cells) {
    const long i = static_cast<long>(key >> 32);
    const long j = static_cast<long>(static_cast<int>(key & 0xffffffffLL));
    std::size_t count = 0;
    double sx = 0.0, sy = 0.0;
    for (long dj = -1; dj <= 1; ++dj)
      for (long di = -1; di <= 1; ++di) {
        const auto it = cells.find(Pack(i + di, j + dj));
        if (it == cells.end()) continue;
        for (const auto& q : it->second) sx += q[0], sy += q[1], ++count;
      }
    if (count > bestCount) bestCount = count, best = {sx / static_cast<double>(count), sy / static_cast<double>(count)};
  }
  if (bestCount < 3) return std::nullopt;
  return best;
}

std::vector<PatternCentre> SymmetryCentres(const std::vector<FoundSpot>& spots, double tolerance, std::size_t count) {
  const std::size_t n = std::min<std::size_t>(spots.size(), 2000);
  const double cell = std::max(tolerance, 1.0);
  // The centre is the midpoint of each of the strongest spots (anchors) and
  // its partner, wherever that is and however weak: the points where the
  // midpoints of many anchors meet are the candidates.
  // Half of them the strongest, half spread over the weaker ones: a tilt
  // can leave the strongest spots' partners too faint to be found.
  std::vector<std::size_t> anchor;
  for (std::size_t a = 0; a < std::min<std::size_t>(n, 12); ++a) anchor.push_back(a);
  for (std::size_t k = 1; k <= 12 && n > 24; ++k) anchor.push_back(12 + k * (n - 13) / 13);
  const std::size_t anchors = anchor.size();
  struct Votes {
    std::uint32_t anchors = 0;  // bit a: anchor a has a midpoint here
    int count = 0;
    double sx = 0.0, sy = 0.0;
  };
  std::unordered_map<long long, Votes> cells;
  for (std::size_t a = 0; a < anchors; ++a)
    for (std::size_t j = 0; j < n; ++j) {
      if (j == anchor[a]) continue;
      const double mx = (spots[anchor[a]].x + spots[j].x) / 2.0, my = (spots[anchor[a]].y + spots[j].y) / 2.0;
      Votes& v = cells[Pack(static_cast<long>(std::floor(mx / cell)), static_cast<long>(std::floor(my / cell)))];
      v.anchors |= 1u << a, ++v.count, v.sx += mx, v.sy += my;
    }
  struct Block {
    int anchors, count;
    double x, y;
  };
  std::vector<Block> blocks;
  for (const auto& [key, votes] : cells) {
    const long i = static_cast<long>(key >> 32);
    const long j = static_cast<long>(static_cast<int>(key & 0xffffffffLL));
    std::uint32_t mask = 0;
    Block b{0, 0, 0.0, 0.0};
    for (long dj = -1; dj <= 1; ++dj)
      for (long di = -1; di <= 1; ++di)
        if (const auto it = cells.find(Pack(i + di, j + dj)); it != cells.end())
          mask |= it->second.anchors, b.count += it->second.count, b.x += it->second.sx, b.y += it->second.sy;
    b.anchors = std::popcount(mask);
    if (b.anchors < 2) continue;
    b.x /= b.count, b.y /= b.count;
    blocks.push_back(b);
  }
  // By anchors met, then votes, then position, so that the hash's order does not matter.
  std::sort(blocks.begin(), blocks.end(), [](const Block& a, const Block& b) {
    if (a.anchors != b.anchors) return a.anchors > b.anchors;
    if (a.count != b.count) return a.count > b.count;
    return a.x != b.x ? a.x < b.x : a.y < b.y;
  });
  std::vector<std::array<double, 2>> points;
  points.reserve(n);
  for (std::size_t i = 0; i < n; ++i) points.push_back({spots[i].x, spots[i].y});
  const PointGrid grid(std::move(points), cell);
  // Many points meet every anchor: a shift of the pattern by half a
  // reflection with a small internal part maps most spots onto others. Only
  // the weak spots at the edge of the internal window tell them apart, so
  // each is scored by all spots, and the best few refined.
  std::vector<PatternCentre> scored;
  for (const Block& b : blocks) {
    if (scored.size() >= 600) break;
    if (std::any_of(scored.begin(), scored.end(), [&](const PatternCentre& o) { return std::hypot(o.x - b.x, o.y - b.y) < tolerance; }))
      continue;
    scored.push_back(ScoreCentre(grid, n, b.x, b.y, tolerance));
    scored.back().x = b.x, scored.back().y = b.y;
  }
  std::stable_sort(scored.begin(), scored.end(), [](const PatternCentre& a, const PatternCentre& b) { return a.pairs > b.pairs; });
  if (scored.size() > 3 * count) scored.resize(3 * count);
  for (PatternCentre& c : scored)
    for (int pass = 0; pass < 2 && c.pairs > 0; ++pass) c = ScoreCentre(grid, n, c.x, c.y, tolerance);
  std::stable_sort(scored.begin(), scored.end(), [](const PatternCentre& a, const PatternCentre& b) { return a.pairs > b.pairs; });
  std::vector<PatternCentre> out;
  for (const PatternCentre& c : scored) {
    if (out.size() >= count || c.pairs < 6) break;
    if (std::none_of(out.begin(), out.end(), [&](const PatternCentre& o) { return std::hypot(o.x - c.x, o.y - c.y) < 2.0 * tolerance; }))
      out.push_back(c);
  }
  return out;
}

}  // namespace lumora
