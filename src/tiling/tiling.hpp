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
// Bound of the exact vertex set (vertices told apart by their index vectors).
inline constexpr std::size_t kMaxLatticeVertices = 200000;

struct PixelPoint {
  int x = 0;
  int y = 0;
  friend bool operator==(const PixelPoint&, const PixelPoint&) = default;
};

struct Tile {
  std::array<PixelPoint, 4> corners;  // outline order: rhombus corners 0, 1, 3, 2
  int type = 0;                       // 1..nTileTypes
  ColorValue color = kBlack;
  int gridJ = 0, gridK = 0;            // the grid pair whose lines cross here
  // Corners (outline order) as indices into the exact vertex set; -1 for a
  // corner outside the canvas.
  std::array<int, 4> lattice{-1, -1, -1, -1};
  // Corners (outline order) in edge lengths about the canvas centre, y down
  // as in the picture, from the index vectors with true directions.
  std::array<std::array<double, 2>, 4> position{};
};

// The tile's shape: its acute angle in units of 180/N degrees (1 .. N/2).
// Unlike the type, tiles of one shape always share it (for even N, pairs
// j, k and j, k + N/2 give the same rhombus).
int TileShape(int n, int gridJ, int gridK);

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
  // The exact vertex set: every corner of a drawn tile strictly inside the
  // canvas, told apart by its index vector K (N entries per vertex, in order
  // of first appearance). Its position is sum K_i e_i edge lengths from the
  // canvas centre, y down. Unlike the vertex table, two vertices on one pixel
  // stay two.
  std::vector<int> latticeVertices;
  bool latticeVerticesFull = false;  // more than kMaxLatticeVertices existed

  std::size_t nVert() const { return vertX.size(); }
  std::size_t nTiles() const { return tiles.size(); }
  std::size_t nLatticeVertices() const {
    return inputs.symmetry > 0 ? latticeVertices.size() / static_cast<std::size_t>(inputs.symmetry) : 0;
  }
};

}  // namespace lumora
