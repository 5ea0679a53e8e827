// Measured diffraction images as grey values: reading PNG and TIFF (8 or 16
// bit grey; TIFF also 32-bit float) through libpng and libtiff, and MRC
// (modes 0, 1, 2 and 6, the first section) by hand; writing 16-bit PNG.
// Pixel (0, 0) is the top-left pixel, y runs down. MRC stores its first row
// at the bottom (as IMOD shows it), so its rows are turned over on reading.
#pragma once

#include <cstdint>
#include <filesystem>
#include <string>
#include <variant>
#include <vector>

namespace lumora {

struct GreyImage {
  int width = 0;
  int height = 0;
  std::vector<float> pixels;  // row by row from the top, width * height values
  float At(int x, int y) const { return pixels[static_cast<std::size_t>(y) * static_cast<std::size_t>(width) + static_cast<std::size_t>(x)]; }
  float& At(int x, int y) { return pixels[static_cast<std::size_t>(y) * static_cast<std::size_t>(width) + static_cast<std::size_t>(x)]; }
};

// Images up to this many pixels a side are read.
inline constexpr int kMaxImageSide = 8192;  // the spot search then needs about 2 GB

// The image, or a message naming the file and what is wrong with it. The
// format follows the file's first bytes (PNG and TIFF signatures), else the
// ".mrc"/".map" name.
std::variant<GreyImage, std::string> ReadGreyImage(const std::filesystem::path& path);

// The image as 16-bit grey PNG bytes, values clamped to 0..65535 and rounded.
std::string GreyPng16(const GreyImage& image);

}  // namespace lumora
