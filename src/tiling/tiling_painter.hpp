// Paints tilings and rasters into images; the window and lumora-cli share it
// so both show the same pictures.
#pragma once

#include <QImage>

#include "fourier/raster_image.hpp"
#include "tiling/exact_diffraction.hpp"
#include "tiling/tiling.hpp"

namespace lumora {

// The tiles in drawing order on a black canvas of the tiling's size: filled in
// their type colour, outlined in the grid colour, without antialiasing.
// With a pixel ratio above 1 (a high-density screen) the picture has that
// many device pixels per pixel and is drawn at that resolution.
QImage PaintTiling(const Tiling& tiling, double pixelRatio = 1.0);

// The part of the tiling a zoomed view shows, drawn afresh at that zoom: the
// canvas pixel `offset` at the top left, `zoom` pixels of the picture
// (size x size pixels at the pixel ratio) per canvas pixel. Corners come from
// the unrounded positions, so edges stay straight and outlines one pixel wide.
QImage PaintTilingView(const Tiling& tiling, double zoom, QPointF offset, QSize size, double pixelRatio = 1.0);

// A raster (vertex image, transform picture) as an RGB image.
QImage RasterToImage(const RasterImage& raster);

// The exact diffraction as spots on black: zero frequency in the centre,
// |k| = kMax near the edge, y down as in the tiling, spot area in proportion
// to the intensity (relative to the strongest, 1): radius kPeakRadiusMax
// pixels at 1; peaks below kPeakIntensityMin are not drawn.
inline constexpr double kPeakRadiusMax = 14.0;
inline constexpr double kPeakIntensityMin = 1e-5;
QImage PaintPeaks(const std::vector<ModulePoint>& points, const std::vector<double>& intensity, double kMax,
                  int size, double pixelRatio = 1.0);

// Where a diffraction picture size pixels wide puts k: picture point
// (centre + qx * pixelsPerK, centre + qy * pixelsPerK).
struct PeakFrame {
  double centre = 0.0;
  double pixelsPerK = 1.0;
};
PeakFrame PeakPictureFrame(int size, double kMax);

// The part of that picture a zoomed view shows, drawn afresh: the picture
// point `offset` at the top left, `zoom` pixels per picture pixel, spots
// `zoom` times their radius, so the same picture larger with sharp edges
// (size x size pixels at the pixel ratio). Zoom 1 at offset 0 is PaintPeaks.
QImage PaintPeaksView(const std::vector<ModulePoint>& points, const std::vector<double>& intensity, double kMax,
                      int size, double zoom, QPointF offset, double pixelRatio = 1.0);

}  // namespace lumora
