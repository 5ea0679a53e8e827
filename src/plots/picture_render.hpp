// One picture painted into the bytes of a PNG, SVG or PDF file: the painting
// comes as a function of the painter and its bounds, so every plot saves the
// same way.
#pragma once

#include <QByteArray>
#include <QRectF>
#include <QSize>
#include <QString>
#include <functional>

class QPainter;

namespace lumora {

using PaintFunction = std::function<void(QPainter& painter, const QRectF& bounds)>;

// format "png", "svg" or "pdf" (size in pixels; a PDF page of the same
// proportions at 96 dpi). Empty with error set when it cannot be made.
QByteArray RenderPicture(const PaintFunction& paint, const QString& format, QSize size, const QString& title,
                         QString* error);

}  // namespace lumora
