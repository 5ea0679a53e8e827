// Paints a scene into a screen picture. Circles are filled span by span
// straight into the pixels, as crisp aliased discs with a one-pixel outline, so
// that tens of thousands of spots paint within a frame; text goes through
// QPainter.
#pragma once

#include <QImage>
#include <atomic>

#include "plots/plot_scene.hpp"
#include "plots/plot_scenes.hpp"

namespace lumora {

// The scene as a picture of width x height pixels (scene units are twips).
// Stops early, leaving the picture incomplete, once cancel is set. With a
// pixel ratio above 1 (a high-density screen) the picture has that many device
// pixels per pixel, drawn at full resolution, and says so (devicePixelRatio).
QImage RasterizeScene(const PlotScene& scene, int width, int height, const std::atomic<bool>* cancel = nullptr,
                      double pixelRatio = 1.0);

// The picture of Build3DScene(data, points, options, target, thickness, zoom),
// pixel for pixel, painted straight from the point table: spots hidden behind
// nearer ones are passed over before their records are read. Stops early
// once target.cancel is set.
QImage Rasterize3D(const PlotData& data, const PointTable& points, const ViewOptions& options,
                   const SceneTarget& target, float thickness, float zoom, int width, int height,
                   double pixelRatio = 1.0);

}  // namespace lumora
