// The forward transform of a square picture (runFOURN).
#pragma once

#include <optional>

#include "fourier/ft_array.hpp"
#include "fourier/raster_image.hpp"
#include "fourier/red_component.hpp"

namespace lumora {

// Reads the red component of every pixel of the w x w source (w a power of
// two) as the real part of complex value k = w * x + y, transforms with fourn
// and returns FT(x, y). Answers nothing when every pixel reads 0: there is
// nothing to transform. Throws std::invalid_argument for a source that is not
// square or whose side is not a power of two.
std::optional<FtArray> runFOURN(const RasterImage& source, int isign = 1,
                                const SystemColorLookup& systemColors = DefaultSystemColor);

}  // namespace lumora
