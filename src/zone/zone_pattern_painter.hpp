// The zone-axis pattern drawn with QPainter for the window, PNG, SVG and PDF
// alike: spots as discs whose area follows the intensity (or its logarithm
// over four decades), the zero layer white and the upper Laue zones in
// colour, optional index labels, and a scale bar in 1/A. Pattern y points up.
#pragma once

#include <QByteArray>
#include <QPointF>
#include <QRectF>
#include <QSize>
#include <QString>

#include "zone/zone_pattern.hpp"

class QPainter;

namespace lumora {

struct ZonePictureOptions {
  bool logIntensity = false;
  bool labels = false;      // indices of spots of at least labelMinimum percent
  double labelMinimum = 20.0;
  bool laueZones = true;    // colour the upper zones (else only the zero layer is drawn)
  double radius = 0.0;      // 1/A shown from the centre to the nearer edge; 0: the pattern's extent
  double spotScale = 1.0;
};

// Where the pattern's origin and scale (pixels per 1/A) fall in bounds.
struct ZonePictureFrame {
  QPointF origin;
  double scale = 1.0;
  QPointF ToScreen(double x, double y) const { return {origin.x() + scale * x, origin.y() - scale * y}; }
};
ZonePictureFrame ZoneFrameIn(const QRectF& bounds, const ZonePattern& pattern, const ZonePictureOptions& options);

void PaintZonePattern(QPainter& painter, const QRectF& bounds, const ZonePattern& pattern, const ZonePictureOptions& options);

// The picture as a file's bytes ("png", "svg" or "pdf"); empty with error set
// when it cannot be made.
QByteArray RenderZonePattern(const ZonePattern& pattern, const ZonePictureOptions& options, const QString& format,
                             QSize size, QString* error);

}  // namespace lumora
