// Paints a PlotScene with QPainter (screen images, bitmaps, SVG, printer).
#pragma once

#include <QImage>
#include <QPainter>

#include "plots/plot_scene.hpp"

namespace lumora {

// Paints the scene's background and shapes; pixelsPerTwip maps scene units to
// the painter's units (1/15 on screen).
void PaintScene(QPainter& painter, const PlotScene& scene, double pixelsPerTwip);

// The scene as an image of its own size in pixels.
QImage RenderScene(const PlotScene& scene);

QColor ToQColor(ColorValue c);

}  // namespace lumora
