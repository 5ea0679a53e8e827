#include "fourier/hsb_to_rgb.hpp"

#include <cmath>

namespace lumora {
namespace {

// One channel of the HSL ramp; the comparisons are made on the products
// rounded to single precision, which decides the exact boundaries.
float Channel(float p, float q, float t) {
  if (t < 0.0f) t += 1.0f;
  if (t > 1.0f) t -= 1.0f;
  const float six = 6.0f * t;
  const float two = 2.0f * t;
  const float three = 3.0f * t;
  if (six < 1.0f) return p + (q - p) * 6.0f * t;
  if (two < 1.0f) return q;
  if (three < 2.0f) return p + (q - p) * (2.0f / 3.0f - t) * 6.0f;
  return p;
}

std::int16_t ToByte(float v) { return static_cast<std::int16_t>(std::floor(v * 255.0f)); }

}  // namespace

RgbRecord HSBtoRGB(int h, int s, int b) {
  const float hue = static_cast<float>(h) / 239.0f;
  const float sat = static_cast<float>(s) / 239.0f;
  const float lum = static_cast<float>(b) / 239.0f;
  if (sat == 0.0f) {
    const std::int16_t grey = ToByte(lum);
    return {grey, grey, grey};
  }
  const float q = lum < 0.5f ? lum * (1.0f + sat) : lum + sat - lum * sat;
  const float p = 2.0f * lum - q;
  return {ToByte(Channel(p, q, hue + 1.0f / 3.0f)), ToByte(Channel(p, q, hue)),
          ToByte(Channel(p, q, hue - 1.0f / 3.0f))};
}

}  // namespace lumora
