// A picture as plain colour values, row by row from the top-left corner.
#pragma once

#include <cstddef>
#include <vector>

#include "plots/color.hpp"

namespace lumora {

struct RasterImage {
  int width = 0;
  int height = 0;
  std::vector<ColorValue> pixels;  // pixel (x, y) at index y * width + x

  RasterImage() = default;
  RasterImage(int w, int h, ColorValue fill = kBlack)
      : width(w), height(h), pixels(static_cast<std::size_t>(w) * static_cast<std::size_t>(h), fill) {}

  ColorValue& at(int x, int y) { return pixels[Index(x, y)]; }
  ColorValue at(int x, int y) const { return pixels[Index(x, y)]; }

 private:
  std::size_t Index(int x, int y) const {
    return static_cast<std::size_t>(y) * static_cast<std::size_t>(width) + static_cast<std::size_t>(x);
  }
};

}  // namespace lumora
