#include "plots/raster_painter.hpp"

#include <QPainter>
#include <algorithm>
#include <cmath>
#include <optional>
#include <unordered_map>
#include <vector>

#include "plots/scene_painter.hpp"

namespace lumora {
namespace {

QRgb ToRgb(ColorValue c) { return qRgb(RedOf(c), GreenOf(c), BlueOf(c)); }

// The rows of a disc centred on a pixel: for each row offset -reach..reach the
// half-widths of the outline disc and of the fill disc (one pixel smaller), -1
// where the row misses it.
struct DiscRows {
  int reach = 0;
  std::vector<int> outer;
  std::vector<int> inner;
};

DiscRows MakeDiscRows(double r) {
  DiscRows rows;
  rows.reach = static_cast<int>(std::floor(r));
  const double inner = r - 1.0;
  for (int dy = -rows.reach; dy <= rows.reach; ++dy) {
    const double d2 = static_cast<double>(dy) * dy;
    rows.outer.push_back(static_cast<int>(std::floor(std::sqrt(std::max(r * r - d2, 0.0)))));
    rows.inner.push_back(inner >= 0 && inner * inner >= d2 ? static_cast<int>(std::floor(std::sqrt(inner * inner - d2)))
                                                           : -1);
  }
  return rows;
}

class PixelCanvas {
 public:
  explicit PixelCanvas(QImage& image)
      : bits_(image.bits()), stride_(image.bytesPerLine()), width_(image.width()), height_(image.height()) {}

  void Span(int y, int x0, int x1, QRgb color) {
    x0 = std::max(x0, 0);
    x1 = std::min(x1, width_ - 1);
    if (x0 > x1) return;
    auto* row = reinterpret_cast<QRgb*>(bits_ + static_cast<std::ptrdiff_t>(y) * stride_);
    std::fill(row + x0, row + x1 + 1, color);
  }

  // Pixels whose centres lie within r of the centre pixel take the outline
  // colour, those within r - 1 the fill colour.
  void Disc(double cx, double cy, double r, QRgb fill, QRgb outline, bool transparent) {
    if (!std::isfinite(cx) || !std::isfinite(cy) || !std::isfinite(r) || r < 0) return;
    if (cx + r < -1 || cy + r < -1 || cx - r > width_ + 1 || cy - r > height_ + 1) return;
    const int px = static_cast<int>(std::floor(cx));
    const int py = static_cast<int>(std::floor(cy));
    // Radii are kept to an eighth of a pixel, so a frame needs few row tables.
    const int key = static_cast<int>(std::lround(r * 8.0));
    auto found = rows_.find(key);
    if (found == rows_.end()) found = rows_.emplace(key, MakeDiscRows(key / 8.0)).first;
    const DiscRows& rows = found->second;
    for (int dy = -rows.reach; dy <= rows.reach; ++dy) {
      const int y = py + dy;
      if (y < 0 || y >= height_) continue;
      const int outer = rows.outer[static_cast<std::size_t>(dy + rows.reach)];
      const int inner = rows.inner[static_cast<std::size_t>(dy + rows.reach)];
      if (inner < 0) {
        Span(y, px - outer, px + outer, outline);
        continue;
      }
      Span(y, px - outer, px - inner - 1, outline);
      Span(y, px + inner + 1, px + outer, outline);
      if (!transparent) Span(y, px - inner, px + inner, fill);
    }
  }

 private:
  uchar* bits_;
  qsizetype stride_;
  int width_;
  int height_;
  std::unordered_map<int, DiscRows> rows_;
};

}  // namespace

QImage RasterizeScene(const PlotScene& scene, int width, int height, const std::atomic<bool>* cancel) {
  QImage image(std::max(width, 1), std::max(height, 1), QImage::Format_RGB32);
  image.fill(ToRgb(scene.background));
  PixelCanvas canvas(image);
  constexpr double k = 1.0 / kTwipsPerPixel;

  // Text is rare; the painter starts with the first label.
  std::optional<QPainter> painter;
  QFont font(QStringLiteral("Arial"));
  font.setPointSizeF(scene.labelPoints);
  auto text = [&](const SceneLabel& label) {
    if (!painter) {
      painter.emplace(&image);
      painter->setFont(font);
    }
    painter->setPen(ToQColor(label.color));
    painter->drawText(QPointF(label.x * k, label.y * k + QFontMetricsF(font).ascent()),
                      QString::fromStdString(label.text));
  };
  std::size_t step = 0;
  bool stopped = false;
  ForEachInOrder(
      scene,
      [&](const SceneCircle& c) {
        if (stopped || (cancel && (++step & 0xFFFF) == 0 && cancel->load(std::memory_order_relaxed))) {
          stopped = true;
          return;
        }
        canvas.Disc(c.x * k, c.y * k, c.radius * k, ToRgb(c.fill), ToRgb(c.outline), c.transparentFill);
      },
      text);
  for (const SceneLabel& label : scene.legend) text(label);
  return image;
}

}  // namespace lumora
