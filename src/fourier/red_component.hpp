// Reading the red component of a colour value, system colours included.
#pragma once

#include <cstdint>
#include <functional>

#include "plots/color.hpp"

namespace lumora {

// A colour value with the top bit set names a system colour; its low bits are
// the index. The lookup answers the colour for an index (0 when unknown).
using SystemColorLookup = std::function<ColorValue(int index)>;

inline constexpr ColorValue kSystemColorFlag = 0x80000000u;

// The classic desktop defaults, used when no live lookup is supplied.
ColorValue DefaultSystemColor(int index);

// The red component (0..255) of c; a system colour is first resolved through
// the lookup, keeping the low 24 bits of what it returns.
int RedComponent(ColorValue c, const SystemColorLookup& lookup = DefaultSystemColor);

}  // namespace lumora
