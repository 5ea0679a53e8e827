// The transform as a grey picture (DrawFT) and the gain steps of the
// brightness buttons (ChangeBrightness).
#pragma once

#include <cstdint>
#include <optional>
#include <utility>
#include <vector>

#include "fourier/ft_array.hpp"
#include "fourier/grey_table.hpp"
#include "fourier/raster_image.hpp"

namespace lumora {

inline constexpr float kMinimumGain = 0.5f;

struct FtPicture {
  RasterImage image;
  // Entry y' * width + x' holds the transform indices (x, y) shown at (x', y').
  std::vector<std::pair<std::int16_t, std::int16_t>> displayMap;
};

// Swaps the quadrants so that the zero frequency lies at (w/2 - 1, h/2 - 1)
// and maps magnitude linearly: v = m / mmax * 255 * gain, at most 255, rounded
// half to even, drawn through the table. Answers nothing for an all-zero
// transform.
std::optional<FtPicture> DrawFT(const FtArray& ft, float gain, const ColorTable& table);

// Display choices beyond the classic linear picture (both off by default).
struct FtDisplayOptions {
  // Four decades of magnitude onto the grey ramp: v = 255 (1 + log10(gain m / mmax) / 4), within 0..255.
  bool logarithmic = false;
  // The zero-frequency term is drawn black and left out of mmax, so the
  // peaks, not the vertex count, set the scale.
  bool hideZeroFrequency = false;
  friend bool operator==(const FtDisplayOptions&, const FtDisplayOptions&) = default;
};
inline constexpr double kLogDecades = 4.0;

// DrawFT with the display choices; the default options give DrawFT's picture.
std::optional<FtPicture> DrawFT(const FtArray& ft, float gain, const ColorTable& table,
                                const FtDisplayOptions& options);

// The gain after one step of "[Darker]" (d <= 0, x 0.9) or "[Brighter]"
// (d > 0, x 1.11); never below 0.5. A step that would overflow to infinity
// keeps the gain, so a long hold cannot turn the picture into garbage.
float ChangeBrightness(float gain, int d);

}  // namespace lumora
