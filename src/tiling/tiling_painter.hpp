// Paints tilings and rasters into images; the window and lumora-cli share it
// so both show the same pictures.
#pragma once

#include <QImage>

#include "fourier/raster_image.hpp"
#include "tiling/tiling.hpp"

namespace lumora {

// The tiles in drawing order on a black canvas of the tiling's size: filled in
// their type colour, outlined in the grid colour, without antialiasing.
QImage PaintTiling(const Tiling& tiling);

// A raster (vertex image, transform picture) as an RGB image.
QImage RasterToImage(const RasterImage& raster);

}  // namespace lumora
