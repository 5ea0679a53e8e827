#include "tiling/tiling_status.hpp"

namespace lumora {

std::array<std::string, 4> TilingStatusTexts(const Tiling& tiling) {
  std::string vertices = std::to_string(tiling.nVert()) + " unique vertices";
  if (tiling.vertexTableFull)
    vertices += " (table full: further vertices not recorded; increase the scale or lower the loop order)";
  else
    vertices += " (in case of gaps increase loop order)";
  return {std::to_string(tiling.inputs.symmetry) + "-fold symmetry",
          std::to_string(tiling.nTileTypes) + " tile types", std::to_string(tiling.nTiles()) + " tiles",
          vertices};
}

}  // namespace lumora
