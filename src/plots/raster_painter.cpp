#include "plots/raster_painter.hpp"

#include <QPainter>
#include <algorithm>
#include <cstdint>
#include <cmath>
#include <optional>
#include <thread>
#include <unordered_map>
#include <vector>

#include "plots/scene_painter.hpp"
#include "plots/spot_rules.hpp"

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

// Paints discs into the rows [top, bottom) of an image; two canvases on
// disjoint bands paint one picture on two threads.
//
// With firstWins the circles come nearest first (the reverse of the painting
// order) and a pixel keeps the first colour it gets: the same picture as
// painting every circle in order, but a circle hidden behind nearer ones is
// passed over as soon as the 8 x 8 tiles it touches are all painted.
class PixelCanvas {
 public:
  PixelCanvas(QImage& image, int top, int bottom, bool firstWins = false)
      : bits_(image.bits()),
        stride_(image.bytesPerLine()),
        width_(image.width()),
        top_(top),
        bottom_(bottom),
        firstWins_(firstWins) {
    if (!firstWins_) return;
    tilesAcross_ = (width_ + 7) / 8;
    tileTop_ = top_ / 8;
    const int tilesDown = (bottom_ - 1) / 8 - tileTop_ + 1;
    painted_.assign(static_cast<std::size_t>(width_) * static_cast<std::size_t>(bottom_ - top_), 0);
    tileCount_.assign(static_cast<std::size_t>(tilesAcross_) * static_cast<std::size_t>(tilesDown), 0);
    tileFull_.resize(tileCount_.size());
    for (int ty = 0; ty < tilesDown; ++ty) {
      const int y0 = std::max((tileTop_ + ty) * 8, top_);
      const int y1 = std::min((tileTop_ + ty) * 8 + 8, bottom_);
      for (int tx = 0; tx < tilesAcross_; ++tx)
        tileFull_[static_cast<std::size_t>(ty * tilesAcross_ + tx)] =
            static_cast<std::uint8_t>((y1 - y0) * (std::min(tx * 8 + 8, width_) - tx * 8));
    }
  }

  void Span(int y, int x0, int x1, QRgb color) {
    x0 = std::max(x0, 0);
    x1 = std::min(x1, width_ - 1);
    if (x0 > x1) return;
    auto* row = reinterpret_cast<QRgb*>(bits_ + static_cast<std::ptrdiff_t>(y) * stride_);
    if (!firstWins_) {
      std::fill(row + x0, row + x1 + 1, color);
      return;
    }
    std::uint8_t* painted = &painted_[static_cast<std::size_t>(y - top_) * static_cast<std::size_t>(width_)];
    std::uint8_t* tiles = &tileCount_[static_cast<std::size_t>((y / 8 - tileTop_) * tilesAcross_)];
    for (int x = x0; x <= x1; ++x) {
      if (painted[x]) continue;
      painted[x] = 1;
      row[x] = color;
      ++tiles[x / 8];
    }
  }

  // False for a disc that would paint nothing: off the band, or (nearest
  // first) behind painted tiles only.
  bool MayPaint(double cx, double cy, double r) {
    if (!std::isfinite(cx) || !std::isfinite(cy) || !std::isfinite(r) || r < 0) return false;
    if (cx + r < -1 || cy + r < top_ - 1 || cx - r > width_ + 1 || cy - r > bottom_ + 1) return false;
    if (!firstWins_) return true;
    const int px = static_cast<int>(std::floor(cx));
    const int py = static_cast<int>(std::floor(cy));
    const int reach = RowsFor(r).reach;
    return !Hidden(px - reach, py - reach, px + reach, py + reach);
  }

  // True when every tile under the box [x0, x1] x [y0, y1] is fully painted.
  bool Hidden(int x0, int y0, int x1, int y1) const {
    x0 = std::max(x0, 0);
    x1 = std::min(x1, width_ - 1);
    y0 = std::max(y0, top_);
    y1 = std::min(y1, bottom_ - 1);
    if (x0 > x1 || y0 > y1) return true;
    for (int ty = y0 / 8; ty <= y1 / 8; ++ty)
      for (int tx = x0 / 8; tx <= x1 / 8; ++tx) {
        const auto t = static_cast<std::size_t>((ty - tileTop_) * tilesAcross_ + tx);
        if (tileCount_[t] < tileFull_[t]) return false;
      }
    return true;
  }

  // Pixels whose centres lie within r of the centre pixel take the outline
  // colour, those within r - 1 the fill colour.
  void Disc(double cx, double cy, double r, QRgb fill, QRgb outline, bool transparent) {
    if (!std::isfinite(cx) || !std::isfinite(cy) || !std::isfinite(r) || r < 0) return;
    if (cx + r < -1 || cy + r < top_ - 1 || cx - r > width_ + 1 || cy - r > bottom_ + 1) return;
    const int px = static_cast<int>(std::floor(cx));
    const int py = static_cast<int>(std::floor(cy));
    const DiscRows& rows = RowsFor(r);
    if (firstWins_ && Hidden(px - rows.reach, py - rows.reach, px + rows.reach, py + rows.reach)) return;
    const int dyLow = std::max(-rows.reach, top_ - py);
    const int dyHigh = std::min(rows.reach, bottom_ - 1 - py);
    for (int dy = dyLow; dy <= dyHigh; ++dy) {
      const int y = py + dy;
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
  // Radii are kept to an eighth of a pixel, so a frame needs few row tables;
  // small ones sit in a flat table, found without hashing.
  const DiscRows& RowsFor(double r) {
    const long key = std::lround(r * 8.0);
    if (key >= 0 && key < kFlat) {
      auto& slot = flat_[static_cast<std::size_t>(key)];
      if (!slot) slot = MakeDiscRows(static_cast<double>(key) / 8.0);
      return *slot;
    }
    auto found = rows_.find(key);
    if (found == rows_.end()) found = rows_.emplace(key, MakeDiscRows(static_cast<double>(key) / 8.0)).first;
    return found->second;
  }

  static constexpr long kFlat = 8 * 256;
  uchar* bits_;
  qsizetype stride_;
  int width_;
  int top_;
  int bottom_;
  bool firstWins_;
  int tilesAcross_ = 0;
  int tileTop_ = 0;
  std::vector<std::uint8_t> painted_;    // one per pixel of the band
  std::vector<std::uint8_t> tileCount_;  // painted pixels per tile
  std::vector<std::uint8_t> tileFull_;   // pixels per tile
  std::vector<std::optional<DiscRows>> flat_ = std::vector<std::optional<DiscRows>>(kFlat);
  std::unordered_map<long, DiscRows> rows_;
};

void DrawLabel(QPainter& painter, const QFont& font, const SceneLabel& label) {
  constexpr double k = 1.0 / kTwipsPerPixel;
  painter.setPen(ToQColor(label.color));
  painter.drawText(QPointF(label.x * k, label.y * k + QFontMetricsF(font).ascent()), QString::fromStdString(label.text));
}

// The marks' lines, one pixel wide, over everything else.
void DrawLines(QPainter& painter, const PlotScene& scene) {
  constexpr double k = 1.0 / kTwipsPerPixel;
  for (const SceneLine& line : scene.lines) {
    painter.setPen(QPen(ToQColor(line.color), 1.0));
    painter.drawLine(QPointF(line.x1 * k, line.y1 * k), QPointF(line.x2 * k, line.y2 * k));
  }
}

// Runs paint (spots nearest first) on the top and bottom halves of the
// picture, on two threads where there is a second core.
template <typename Paint>
void PaintNearestFirstInBands(QImage& image, Paint& paint) {
  const int rows = image.height();
  const int middle = std::thread::hardware_concurrency() > 1 ? rows / 2 : 0;
  std::thread lower([&] {
    PixelCanvas canvas(image, middle, rows, true);
    paint(canvas);
  });
  if (middle > 0) {
    PixelCanvas upper(image, 0, middle, true);
    paint(upper);
  }
  lower.join();
}

// A picture of width x height pixels at the pixel ratio: its device pixels,
// and the ratio it is shown at. Text painted on it is placed in pixels.
QImage MakePicture(int width, int height, double pixelRatio, ColorValue background) {
  const double ratio = pixelRatio > 0.0 && std::isfinite(pixelRatio) ? pixelRatio : 1.0;
  QImage image(std::max(static_cast<int>(std::lround(width * ratio)), 1),
               std::max(static_cast<int>(std::lround(height * ratio)), 1), QImage::Format_RGB32);
  image.setDevicePixelRatio(ratio);
  image.fill(ToRgb(background));
  return image;
}

}  // namespace

QImage RasterizeScene(const PlotScene& scene, int width, int height, const std::atomic<bool>* cancel,
                      double pixelRatio) {
  QImage image = MakePicture(width, height, pixelRatio, scene.background);
  // Circles are painted in device pixels.
  const double k = image.devicePixelRatio() / kTwipsPerPixel;
  auto paint = [&scene, k, cancel](PixelCanvas& canvas, std::size_t i) {
    if (cancel && (i & 0xFFFF) == 0 && cancel->load(std::memory_order_relaxed)) return false;
    const SceneCircle& c = scene.circles[i];
    canvas.Disc(c.x * k, c.y * k, c.radius * k, ToRgb(c.fill), ToRgb(c.outline), c.transparentFill);
    return true;
  };
  auto paintCircles = [&paint](PixelCanvas& canvas, std::size_t from, std::size_t to) {
    for (std::size_t i = from; i < to; ++i)
      if (!paint(canvas, i)) return false;
    return true;
  };
  // Nearest first, each pixel keeping its first colour.
  auto paintBackToFront = [&paint, &scene](PixelCanvas& canvas) {
    for (std::size_t i = scene.circles.size(); i-- > 0;)
      if (!paint(canvas, i)) return;
  };

  // Text is rare; the painter starts with the first label.
  std::optional<QPainter> painter;
  QFont font(QStringLiteral("Arial"));
  font.setPointSizeF(scene.labelPoints);
  auto text = [&](const SceneLabel& label) {
    if (!painter) {
      painter.emplace(&image);
      painter->setFont(font);
    }
    DrawLabel(*painter, font, label);
  };

  // Many spots without labels: painted nearest first, so that hidden ones
  // are passed over, the top and bottom halves of the picture on two threads.
  const int rows = image.height();
  if (scene.labels.empty() && scene.circles.size() >= 20000) {
    PaintNearestFirstInBands(image, paintBackToFront);
  } else {
    PixelCanvas canvas(image, 0, rows);
    std::size_t next = 0;
    bool going = true;
    for (const SceneLabel& label : scene.labels) {
      const std::size_t until = std::min(label.circlesBefore, scene.circles.size());
      if (until > next) going = paintCircles(canvas, next, until);
      if (!going) break;
      next = std::max(next, until);
      text(label);
    }
    if (going) going = paintCircles(canvas, next, scene.circles.size());
    if (!going) {
      painter.reset();
      return image;
    }
  }
  for (const SceneLabel& label : scene.legend) text(label);
  if (!scene.lines.empty()) {
    if (!painter) painter.emplace(&image);
    DrawLines(*painter, scene);
  }
  return image;
}

QImage Rasterize3D(const PlotData& data, const PointTable& points, const ViewOptions& options,
                   const SceneTarget& target, float thickness, float zoom, int width, int height,
                   double pixelRatio) {
  // Labels are painted between the circles, in order: they take the scene path,
  // as do small tables and empty plots.
  // So do intensity rules, which need each record's intensity.
  const bool byIntensity =
      data.intensities && (options.areaByIntensity || options.greyByIntensity || options.minIntensity > 0.0);
  if (options.showIndices || byIntensity || points.size() < 20000 || !data.records || data.coordMax <= 0.0f)
    return RasterizeScene(Build3DScene(data, points, options, target, thickness, zoom), width, height, target.cancel,
                          pixelRatio);

  // What Build3DScene computes for every spot, and the same arithmetic.
  const Projection3D p = Make3DProjection(data, options, target, thickness, zoom);
  const double s = p.s, cx = p.cx, cy = p.cy, halfThickness = p.halfThickness;
  const bool layered = p.layered;
  const SpotStyle& style = p.style;
  const QRgb outline = ToRgb(style.outline);
  const QRgb red = ToRgb(kRed);

  PlotScene frame;  // background, legend and marks only
  frame.width = target.width;
  frame.height = target.height;
  frame.background = target.colors.back;
  frame.foreground = target.colors.fore;
  if (options.highlightDirections) {
    frame.legend.push_back({3 * kTwipsPerPixel, 2 * kTwipsPerPixel, "along", kGreen});
    frame.legend.push_back({3 * kTwipsPerPixel, 15 * kTwipsPerPixel, "between", kBlue});
  }
  AddMarks3D(frame, data, points, options, p);
  QImage image = MakePicture(width, height, pixelRatio, frame.background);
  const double k = image.devicePixelRatio() / kTwipsPerPixel;  // device pixels per twip

  // Nearest first: a spot whose tiles are all painted is passed over before
  // its record is read. A main spot's red circle covers the spot itself.
  auto paint = [&](PixelCanvas& canvas) {
    // Everything the loop reads, as locals: the canvas's byte writes could
    // otherwise alias them and force a reload on every spot.
    const PointRow* table = points.data();
    const ReflectionRecord* records = data.records->data();
    const std::size_t recordCount = data.records->size();
    const SpotStyle spot = style;
    const double scale = s;
    const double x0 = cx;
    const double y0 = cy;
    const double perTwip = k;
    const double half = halfThickness;
    const bool slab = layered;
    const bool mainRed = options.highlightMain;
    const std::atomic<bool>* cancel = target.cancel;
    for (std::size_t i = points.size(); i-- > 0;) {
      if ((i & 0xFFFF) == 0 && cancel && cancel->load(std::memory_order_relaxed)) return;
      const PointRow& row = table[i];
      if (slab && std::fabs(row[kDepth]) > half) continue;
      const std::size_t n = RecordOf(row);
      if (n >= recordCount) continue;
      const double x = (scale * row[kHorizontal] + x0) * perTwip;
      const double y = (scale * row[kVertical] + y0) * perTwip;
      const double radius = SpotRadiusForQi(row[kQi], spot) * perTwip;
      if (!canvas.MayPaint(x, y, radius)) continue;
      const ReflectionRecord& r = records[n];
      if (mainRed && r.mainFlag != 0) canvas.Disc(x, y, radius, red, outline, false);
      else canvas.Disc(x, y, radius, ToRgb(SpotFill(r, spot)), outline, spot.transparentFill);
    }
  };
  PaintNearestFirstInBands(image, paint);
  if (!frame.legend.empty() || !frame.lines.empty()) {
    QPainter painter(&image);
    QFont font(QStringLiteral("Arial"));
    font.setPointSizeF(frame.labelPoints);
    painter.setFont(font);
    for (const SceneLabel& label : frame.legend) DrawLabel(painter, font, label);
    DrawLines(painter, frame);
  }
  return image;
}

}  // namespace lumora
