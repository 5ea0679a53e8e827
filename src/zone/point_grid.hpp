// Points of an image (px) on a grid of square cells, for nearest-point
// look-ups within a tolerance: spot matching and the centre search.
#pragma once

#include <array>
#include <cmath>
#include <cstddef>
#include <unordered_map>
#include <vector>

namespace lumora {

class PointGrid {
 public:
  PointGrid(std::vector<std::array<double, 2>> points, double cell) : cell_(cell), points_(std::move(points)) {
    cells_.reserve(points_.size());
    for (std::size_t i = 0; i < points_.size(); ++i) cells_[Key(points_[i][0], points_[i][1])].push_back(i);
  }
  // The nearest point within tolerance (distance at most tolerance), or -1.
  long Nearest(double x, double y, double tolerance) const {
    long best = -1;
    double bestSquare = tolerance * tolerance;  // squares: no root per point
    const long cx = static_cast<long>(std::floor(x / cell_)), cy = static_cast<long>(std::floor(y / cell_));
    const long reach = static_cast<long>(std::ceil(tolerance / cell_));
    for (long j = cy - reach; j <= cy + reach; ++j)
      for (long i = cx - reach; i <= cx + reach; ++i) {
        const auto it = cells_.find(Pack(i, j));
        if (it == cells_.end()) continue;
        for (std::size_t s : it->second) {
          const double dx = points_[s][0] - x, dy = points_[s][1] - y, d2 = dx * dx + dy * dy;
          if (d2 <= bestSquare) bestSquare = d2, best = static_cast<long>(s);
        }
      }
    return best;
  }
  const std::array<double, 2>& operator[](std::size_t i) const { return points_[i]; }

 private:
  static long long Pack(long i, long j) { return (static_cast<long long>(i) << 32) ^ (j & 0xffffffffLL); }
  long long Key(double x, double y) const {
    return Pack(static_cast<long>(std::floor(x / cell_)), static_cast<long>(std::floor(y / cell_)));
  }
  double cell_;
  std::vector<std::array<double, 2>> points_;
  std::unordered_map<long long, std::vector<std::size_t>> cells_;
};

}  // namespace lumora
