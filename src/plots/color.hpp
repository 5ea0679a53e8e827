// Colour values as the program stores them: red + 256 green + 65536 blue.
#pragma once

#include <cstdint>

namespace lumora {

using ColorValue = std::uint32_t;

constexpr ColorValue Rgb(int red, int green, int blue) {
  return static_cast<ColorValue>(red & 0xFF) | (static_cast<ColorValue>(green & 0xFF) << 8) |
         (static_cast<ColorValue>(blue & 0xFF) << 16);
}
constexpr int RedOf(ColorValue c) { return static_cast<int>(c & 0xFF); }
constexpr int GreenOf(ColorValue c) { return static_cast<int>((c >> 8) & 0xFF); }
constexpr int BlueOf(ColorValue c) { return static_cast<int>((c >> 16) & 0xFF); }

inline constexpr ColorValue kBlack = Rgb(0, 0, 0);
inline constexpr ColorValue kWhite = Rgb(255, 255, 255);
inline constexpr ColorValue kRed = Rgb(255, 0, 0);
inline constexpr ColorValue kGreen = Rgb(0, 255, 0);
inline constexpr ColorValue kBlue = Rgb(0, 0, 255);
inline constexpr ColorValue kLightGrey = Rgb(200, 200, 200);

}  // namespace lumora
