// The result of one multigrid run: tiles in drawing order, the unique vertices
// in recording order and the vertex image that decided their uniqueness.
#pragma once

#include <array>
#include <cstddef>
#include <vector>

#include "fourier/raster_image.hpp"
#include "plots/color.hpp"
#include "tiling/tiling_inputs.hpp"

namespace lumora {

// The vertex table holds at most this many vertices; recording stops there.
inline constexpr std::size_t kMaxVertices = 50000;

struct PixelPoint {
  int x = 0;
  int y = 0;
  friend bool operator==(const PixelPoint&, const PixelPoint&) = default;
};

struct Tile {
  std::array<PixelPoint, 4> corners;  // outline order: rhombus corners 0, 1, 3, 2
  int type = 0;                       // 1..nTileTypes
  ColorValue color = kBlack;
};

struct Tiling {
  TilingInputs inputs;
  int nTileTypes = 0;
  std::vector<int> hues;               // legend hue of type i+1
  std::vector<ColorValue> tileColors;  // by type; entry 0 unused
  std::vector<double> gridShift;       // gamma_i
  std::vector<Tile> tiles;             // drawn tiles in drawing order
  std::vector<float> vertX, vertY;     // vertex n+1 at index n, pixel coordinates
  bool vertexTableFull = false;        // more unique vertices existed than were recorded
  RasterImage vertexImage;             // black, one white pixel per recorded vertex
  float margin = 0.0f;                 // window margin fixed by the first tile

  std::size_t nVert() const { return vertX.size(); }
  std::size_t nTiles() const { return tiles.size(); }
};

}  // namespace lumora
