#include "tiling/tile_shapes.hpp"

#include <algorithm>
#include <cmath>
#include <cstdio>

namespace lumora {

std::vector<int> ColourTilesByShape(Tiling& tiling) {
  const int n = tiling.inputs.symmetry;
  std::vector<int> shapes;
  for (const Tile& tile : tiling.tiles) shapes.push_back(TileShape(n, tile.gridJ, tile.gridK));
  std::vector<int> distinct = shapes;
  std::sort(distinct.begin(), distinct.end());
  distinct.erase(std::unique(distinct.begin(), distinct.end()), distinct.end());
  if (tiling.tileColors.size() < 2) return distinct;
  for (std::size_t i = 0; i < tiling.tiles.size(); ++i) {
    const auto rank =
        static_cast<std::size_t>(std::lower_bound(distinct.begin(), distinct.end(), shapes[i]) - distinct.begin()) + 1;
    tiling.tiles[i].color = tiling.tileColors[std::min(rank, tiling.tileColors.size() - 1)];
  }
  return distinct;
}

std::string ShapeName(int n, int shape) {
  if (n <= 0) return "Rhombus";
  if (2 * shape == n) return "Square";
  const char* kind = "Rhombus";
  if (n == 5) kind = shape == 1 ? "Thin rhombus" : "Thick rhombus";
  // Whole degrees where the angle is whole (every N dividing 180), else one decimal.
  const double degrees = 180.0 * shape / n;
  char angle[32];
  if ((180 * shape) % n == 0) std::snprintf(angle, sizeof angle, "%d", 180 * shape / n);
  else std::snprintf(angle, sizeof angle, "%.1f", degrees);
  return std::string(kind) + " " + angle + "\u00b0";
}

}  // namespace lumora
