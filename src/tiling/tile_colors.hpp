// Tile types and their legend colours.
#pragma once

#include <vector>

#include "plots/color.hpp"

namespace lumora {

// (N-1)/2 for odd N, (N-2)/2 for even N: 2..9 for N = 5..20.
int TileTypeCount(int symmetry);

// Hue of tile type i+1 (i = 0..count-1) on the 0..239 scale, spread from 0
// (red) to 158 (blue). count must be at least 2.
std::vector<int> TileHues(int count);

// Fill colours indexed by tile type 1..count; entry 0 is unused (black).
std::vector<ColorValue> TileColors(int count, int brightness);

}  // namespace lumora
