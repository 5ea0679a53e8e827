// Tiles told apart by shape rather than by grid pair: the colouring that gives
// every tile of one shape one colour, and the names of the shapes.
#pragma once

#include <string>
#include <vector>

#include "tiling/tiling.hpp"

namespace lumora {

// Recolours the tiles by shape: the shapes present, in increasing angle, take
// the type colours 1, 2, ... in order. Answers those shapes (acute angle in
// units of 180/N degrees), the legend entries in order.
std::vector<int> ColourTilesByShape(Tiling& tiling);

// "Square" for the right angle, "Thin rhombus 36°" and "Thick rhombus 72°"
// for the two Penrose rhombi, otherwise "Rhombus" and the acute angle (UTF-8).
std::string ShapeName(int n, int shape);

}  // namespace lumora
