// The four status-bar texts of a tiling.
#pragma once

#include <array>
#include <string>

#include "tiling/tiling.hpp"

namespace lumora {

// "5-fold symmetry", "2 tile types", "<n> tiles" and the vertex count, which
// says so when the vertex table was full and further vertices were left out.
std::array<std::string, 4> TilingStatusTexts(const Tiling& tiling);

}  // namespace lumora
