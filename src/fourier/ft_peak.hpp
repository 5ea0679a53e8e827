// The strongest coefficient of a transform near a point of its picture.
#pragma once

#include <optional>

#include "fourier/ft_array.hpp"

namespace lumora {

struct FtPeak {
  int displayX = 0, displayY = 0;  // where DrawFT draws it
  int fx = 0, fy = 0;              // its frequency in cycles per picture width
  double magnitude = 0.0;
};

// The coefficient of largest magnitude drawn within `radius` pixels of the
// display pixel (x, y) (the picture of DrawFT, zero frequency at
// (w/2 - 1, h/2 - 1)); nothing for an empty transform or a point off the picture.
std::optional<FtPeak> StrongestNear(const FtArray& ft, int x, int y, int radius);

}  // namespace lumora
