// A picture drawn by a paint routine as the bytes of a file: PNG (an image of
// size pixels), SVG or PDF (a page of the same proportions at 96 dpi).
#pragma once

#include <QByteArray>
#include <QRectF>
#include <QSize>
#include <QString>
#include <functional>

class QPainter;

namespace lumora {

using PaintRoutine = std::function<void(QPainter& painter, const QRectF& bounds)>;

// format: "png", "svg" or "pdf". Empty with error set when it cannot be made.
QByteArray PaintToBytes(const PaintRoutine& paint, const QString& format, QSize size, const QString& title,
                        QString* error);

}  // namespace lumora
