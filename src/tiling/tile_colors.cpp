#include "tiling/tile_colors.hpp"

#include "common/numeric.hpp"
#include "fourier/hsb_to_rgb.hpp"

namespace lumora {

int TileTypeCount(int symmetry) { return IsOdd(symmetry) ? (symmetry - 1) / 2 : (symmetry - 2) / 2; }

std::vector<int> TileHues(int count) {
  std::vector<int> hues;
  for (int i = 0; i < count; ++i) hues.push_back(static_cast<int>(RoundHalfEven(157.74 / (count - 1) * i)));
  return hues;
}

std::vector<ColorValue> TileColors(int count, int brightness) {
  std::vector<ColorValue> colors{kBlack};
  for (int hue : TileHues(count)) colors.push_back(ToColorValue(HSBtoRGB(hue, 239, brightness)));
  return colors;
}

}  // namespace lumora
