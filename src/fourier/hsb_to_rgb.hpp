// Hue, saturation and brightness on 0..239 scales to red, green and blue.
#pragma once

#include <cstdint>

#include "plots/color.hpp"

namespace lumora {

struct RgbRecord {
  std::int16_t red = 0;
  std::int16_t green = 0;
  std::int16_t blue = 0;
};

// The full scale is 239 (not 240), so hue 239 is the same hue as 0. Computed
// in single precision; each channel is rounded down.
RgbRecord HSBtoRGB(int h, int s, int b);

inline ColorValue ToColorValue(const RgbRecord& rgb) { return Rgb(rgb.red, rgb.green, rgb.blue); }

}  // namespace lumora
