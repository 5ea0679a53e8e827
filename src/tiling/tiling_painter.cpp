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

namespace {

// The painter of a tiling: outlines in the grid colour, no antialiasing, and
// one brush per type, made once, since brushes change only with the type.
class TilePainter {
 public:
  TilePainter(QImage& image, const Tiling& tiling) : painter_(&image), colors_(tiling.tileColors) {
    painter_.setRenderHint(QPainter::Antialiasing, false);
    QPen pen(ToColor(tiling.inputs.gridColor));
    pen.setWidth(0);
    painter_.setPen(pen);
    for (ColorValue c : colors_) brushes_.emplace_back(ToColor(c));
  }
  template <typename Point>
  void draw(const Tile& tile, const Point* corners) {
    const std::size_t type = static_cast<std::size_t>(tile.type);
    if (type < brushes_.size() && colors_[type] == tile.color) painter_.setBrush(brushes_[type]);
    else painter_.setBrush(ToColor(tile.color));
    painter_.drawPolygon(corners, 4);
  }

 private:
  QPainter painter_;
  const std::vector<ColorValue>& colors_;
  std::vector<QBrush> brushes_;
};

}  // namespace

QImage PaintTiling(const Tiling& tiling, double pixelRatio) {
  QImage image = BlackPicture(tiling.inputs.width, tiling.inputs.height, pixelRatio);
  TilePainter painter(image, tiling);
  QPoint corners[4];
  for (const Tile& tile : tiling.tiles) {
    for (std::size_t c = 0; c < 4; ++c) corners[c] = QPoint(tile.corners[c].x, tile.corners[c].y);
    painter.draw(tile, corners);
  }
  return image;
}

QImage PaintTilingView(const Tiling& tiling, double zoom, QPointF offset, QSize size, double pixelRatio) {
  QImage image = BlackPicture(size.width(), size.height(), pixelRatio);
  if (!(zoom > 0.0) || !std::isfinite(zoom)) return image;
  TilePainter painter(image, tiling);
  const double scale = tiling.inputs.zoom * 3.0;  // canvas pixels per edge length
  // The canvas centre as the generator rounds it (half to even).
  const double xc = std::nearbyint(tiling.inputs.width / 2.0), yc = std::nearbyint(tiling.inputs.height / 2.0);
  // Tiles wholly outside the view (with a pixel to spare for the outline) are passed over.
  const QRectF view(-1.0, -1.0, size.width() + 2.0, size.height() + 2.0);
  QPointF corners[4];
  for (const Tile& tile : tiling.tiles) {
    double left = 1e300, right = -1e300, top = 1e300, bottom = -1e300;
    for (std::size_t c = 0; c < 4; ++c) {
      const double x = (xc + tile.position[c][0] * scale - offset.x()) * zoom;
      const double y = (yc + tile.position[c][1] * scale - offset.y()) * zoom;
      corners[c] = QPointF(x, y);
      left = std::min(left, x);
      right = std::max(right, x);
      top = std::min(top, y);
      bottom = std::max(bottom, y);
    }
    if (right < view.left() || left > view.right() || bottom < view.top() || top > view.bottom()) continue;
    painter.draw(tile, corners);
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

PeakFrame PeakPictureFrame(int size, double kMax) {
  return PeakFrame{static_cast<double>(size / 2), (size / 2 - 6) / kMax};
}

QImage PaintPeaks(const std::vector<ModulePoint>& points, const std::vector<double>& intensity, double kMax,
                  int size, double pixelRatio) {
  return PaintPeaksView(points, intensity, kMax, size, 1.0, QPointF(), pixelRatio);
}

QImage PaintPeaksView(const std::vector<ModulePoint>& points, const std::vector<double>& intensity, double kMax,
                      int size, double zoom, QPointF offset, double pixelRatio) {
  QImage image = BlackPicture(size, size, pixelRatio);
  if (!(zoom > 0.0) || !std::isfinite(zoom)) return image;
  QPainter painter(&image);
  painter.setRenderHint(QPainter::Antialiasing);
  painter.setPen(Qt::NoPen);
  painter.setBrush(Qt::white);
  const PeakFrame frame = PeakPictureFrame(size, kMax);
  for (std::size_t p = 0; p < points.size() && p < intensity.size(); ++p) {
    const double in = intensity[p];
    if (!(in >= kPeakIntensityMin)) continue;
    const double radius = std::max(0.7, kPeakRadiusMax * std::sqrt(std::min(in, 1.0))) * zoom;
    const double x = (frame.centre + points[p].qx * frame.pixelsPerK - offset.x()) * zoom;
    const double y = (frame.centre + points[p].qy * frame.pixelsPerK - offset.y()) * zoom;
    // Spots wholly outside the view (with a pixel to spare for the smoothing) are passed over.
    if (x + radius < -1.0 || x - radius > size + 1.0 || y + radius < -1.0 || y - radius > size + 1.0) continue;
    painter.drawEllipse(QPointF(x, y), radius, radius);
  }
  return image;
}

}  // namespace lumora
