// The look-up table through which the transform is drawn.
#pragma once

#include <array>

#include "plots/color.hpp"

namespace lumora {

using ColorTable = std::array<ColorValue, 256>;

// Entry i is the grey with red, green and blue all i.
ColorTable GreyTable();

}  // namespace lumora
