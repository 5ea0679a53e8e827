// Paints a PlotScene with QPainter (screen images, bitmaps, SVG, printer).
#pragma once

#include <QImage>
#include <QPainter>

#include "plots/plot_scene.hpp"
#include "plots/print_scene.hpp"

namespace lumora {

// Paints the scene's background and shapes; pixelsPerTwip maps scene units to
// the painter's units (1/15 on screen).
void PaintScene(QPainter& painter, const PlotScene& scene, double pixelsPerTwip);

// The scene as an image of its own size in pixels.
QImage RenderScene(const PlotScene& scene);

// A printed page: header band, title, summary line, rule and spots.
void PaintPrintLayout(QPainter& painter, const PrintLayout& layout, double pixelsPerTwip);

// The scene as SVG or PDF: vector circles and text at the scene's size.
QByteArray SceneToSvg(const PlotScene& scene);
QByteArray SceneToPdf(const PlotScene& scene);

QColor ToQColor(ColorValue c);

}  // namespace lumora
