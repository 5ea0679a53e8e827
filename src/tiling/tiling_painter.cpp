#include "tiling/tiling_painter.hpp"

#include <QPainter>
#include <QPen>
#include <QPoint>
#include <QPointF>
#include <algorithm>
#include <cmath>

namespace lumora {
namespace {

QColor ToColor(ColorValue c) { return QColor(RedOf(c), GreenOf(c), BlueOf(c)); }

}  // namespace

namespace {

// A black picture of w x h pixels at the pixel ratio; painting on it is in pixels.
QImage BlackPicture(int w, int h, double pixelRatio) {
  const double ratio = pixelRatio > 0.0 && std::isfinite(pixelRatio) ? pixelRatio : 1.0;
  QImage image(std::max(1, static_cast<int>(std::lround(w * ratio))), std::max(1, static_cast<int>(std::lround(h * ratio))),
               QImage::Format_RGB32);
  image.setDevicePixelRatio(ratio);
  image.fill(Qt::black);
  return image;
}

}  // namespace

QImage PaintTiling(const Tiling& tiling, double pixelRatio) {
  QImage image = BlackPicture(tiling.inputs.width, tiling.inputs.height, pixelRatio);
  QPainter painter(&image);
  painter.setRenderHint(QPainter::Antialiasing, false);
  QPen pen(ToColor(tiling.inputs.gridColor));
  pen.setWidth(0);
  painter.setPen(pen);
  // Brushes change only with the type, so keep one per type.
  std::vector<QBrush> brushes;
  for (ColorValue c : tiling.tileColors) brushes.emplace_back(ToColor(c));
  QPoint corners[4];
  for (const Tile& tile : tiling.tiles) {
    for (std::size_t c = 0; c < 4; ++c) corners[c] = QPoint(tile.corners[c].x, tile.corners[c].y);
    const std::size_t type = static_cast<std::size_t>(tile.type);
    if (type < brushes.size() && tiling.tileColors[type] == tile.color) painter.setBrush(brushes[type]);
    else painter.setBrush(ToColor(tile.color));
    painter.drawPolygon(corners, 4);
  }
  return image;
}

QImage RasterToImage(const RasterImage& raster) {
  QImage image(raster.width, raster.height, QImage::Format_RGB32);
  for (int y = 0; y < raster.height; ++y) {
    auto* line = reinterpret_cast<QRgb*>(image.scanLine(y));
    for (int x = 0; x < raster.width; ++x) {
      const ColorValue c = raster.at(x, y);
      line[x] = qRgb(RedOf(c), GreenOf(c), BlueOf(c));
    }
  }
  return image;
}

QImage PaintPeaks(const std::vector<ModulePoint>& points, const std::vector<double>& intensity, double kMax,
                  int size, double pixelRatio) {
  QImage image = BlackPicture(size, size, pixelRatio);
  QPainter painter(&image);
  painter.setRenderHint(QPainter::Antialiasing);
  painter.setPen(Qt::NoPen);
  painter.setBrush(Qt::white);
  const double scale = (size / 2 - 6) / kMax;
  for (std::size_t p = 0; p < points.size() && p < intensity.size(); ++p) {
    const double in = intensity[p];
    if (!(in >= kPeakIntensityMin)) continue;
    const double radius = std::max(0.7, kPeakRadiusMax * std::sqrt(std::min(in, 1.0)));
    painter.drawEllipse(QPointF(size / 2 + points[p].qx * scale, size / 2 + points[p].qy * scale), radius, radius);
  }
  return image;
}

}  // namespace lumora
