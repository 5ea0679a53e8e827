#include "tiling/tiling_analysis_view.hpp"

#include <QPainter>
#include <algorithm>
#include <cmath>

#include "fourier/hsb_to_rgb.hpp"
#include "tiling/tiling_analysis.hpp"

namespace lumora {
namespace {

// The vertices' internal points, coloured by level, scaled to fit.
QImage PaintInternalView(const InternalView& view, int size) {
  QImage image(size, size, QImage::Format_RGB32);
  image.fill(Qt::black);
  QPainter painter(&image);
  if (view.points.empty()) {
    painter.setPen(Qt::white);
    painter.drawText(image.rect(), Qt::AlignCenter | Qt::TextWordWrap,
                     QStringLiteral("No internal plane: the vertices lie on a lattice."));
    return image;
  }
  double extent = 1e-9;
  for (const auto& p : view.points) extent = std::max({extent, std::abs(p[0]), std::abs(p[1])});
  const auto [lowest, highest] = std::minmax_element(view.levels.begin(), view.levels.end());
  const int span = std::max(1, *highest - *lowest);
  // Up to four levels get a quarter each (the pentagons of a Penrose tiling
  // lie on top of each other); more share the whole picture.
  std::vector<int> levels = view.levels;
  std::sort(levels.begin(), levels.end());
  levels.erase(std::unique(levels.begin(), levels.end()), levels.end());
  const bool quarters = levels.size() <= 4;
  const double half = quarters ? size / 4.0 : size / 2.0;
  const double scale = (half - 10) / extent;
  for (std::size_t v = 0; v < view.points.size(); ++v) {
    const int hue = static_cast<int>(std::lround(158.0 * (view.levels[v] - *lowest) / span));
    const ColorValue c = ToColorValue(HSBtoRGB(hue, 239, 150));
    double cx = half, cy = half;
    if (quarters) {
      const auto q = std::lower_bound(levels.begin(), levels.end(), view.levels[v]) - levels.begin();
      cx = half * static_cast<double>(1 + 2 * (q % 2));
      cy = half * static_cast<double>(1 + 2 * (q / 2)) + 8;
    }
    painter.fillRect(QRectF(cx + view.points[v][0] * scale - 1, cy + view.points[v][1] * scale - 1, 2, 2),
                     QColor(RedOf(c), GreenOf(c), BlueOf(c)));
  }
  painter.setPen(Qt::white);
  painter.drawText(QRect(6, 4, size - 12, 20), Qt::AlignLeft,
                   QStringLiteral("Internal space (e_i \u2192 e_%1i), colour by level \u03a3K_i = %2..%3")
                       .arg(view.exponent)
                       .arg(*lowest)
                       .arg(*highest));
  return image;
}

QString StatisticsText(const Tiling& tiling, const TilingStatistics& stats, const std::optional<std::string>& note) {
  const int n = tiling.inputs.symmetry;
  QString text = QStringLiteral("<b>%1-fold tiling</b>, %2 exact vertices, %3 tiles drawn<br>")
                     .arg(n)
                     .arg(tiling.nLatticeVertices())
                     .arg(tiling.nTiles());
  if (note) text += QStringLiteral("<i>%1</i><br>").arg(QString::fromStdString(*note).toHtmlEscaped());
  text += QStringLiteral("<br><b>Tiles wholly inside the picture, by shape</b><table cellspacing=4>");
  std::size_t total = 0;
  for (const auto& [shape, count] : stats.tilesByShape) total += count;
  for (const auto& [shape, count] : stats.tilesByShape)
    text += QStringLiteral("<tr><td>%1\u00b0 rhombus</td><td align=right>%2</td><td align=right>%3 %</td></tr>")
                .arg(180.0 * shape / n, 0, 'f', 2)
                .arg(count)
                .arg(100.0 * static_cast<double>(count) / static_cast<double>(std::max<std::size_t>(total, 1)), 0, 'f', 2);
  text += QStringLiteral("</table>");
  if (stats.tilesByShape.size() == 2) {
    const double a = static_cast<double>(stats.tilesByShape.begin()->second);
    const double b = static_cast<double>(stats.tilesByShape.rbegin()->second);
    if (a > 0 && b > 0) {
      // Beside the ratio, the limit that applies to this tiling, if known.
      const std::optional<ShapeRatioLimit> limit = TwoShapeRatioLimit(n, tiling.gridShift);
      text += QStringLiteral("Ratio %1\u00b0 : %2\u00b0 = %3%4<br>")
                  .arg(180.0 * stats.tilesByShape.rbegin()->first / n, 0, 'f', 0)
                  .arg(180.0 * stats.tilesByShape.begin()->first / n, 0, 'f', 0)
                  .arg(b / a, 0, 'f', 4)
                  .arg(limit ? QStringLiteral(" (limit: %1)").arg(QString::fromStdString(limit->text)) : QString());
    }
  }
  text += QStringLiteral("<br><b>Vertex coordination</b> (%1 vertices at least two edges inside)<table cellspacing=4>")
              .arg(stats.interiorVertices);
  for (const auto& [edges, count] : stats.coordination)
    text += QStringLiteral("<tr><td>%1 edges</td><td align=right>%2</td><td align=right>%3 %</td></tr>")
                .arg(edges)
                .arg(count)
                .arg(100.0 * static_cast<double>(count) / static_cast<double>(std::max<std::size_t>(stats.interiorVertices, 1)),
                     0, 'f', 3);
  text += QStringLiteral("</table>");
  if (stats.coordination.count(2))
    text += QStringLiteral("<br>Vertices with two edges mark gaps: increase the loop order.");
  return text;
}

}  // namespace

TilingAnalysisView AnalyseTiling(const Tiling& tiling, int size) {
  return {PaintInternalView(InternalSpaceView(tiling), size),
          StatisticsText(tiling, ComputeTilingStatistics(tiling), TilingNote(tiling.inputs.symmetry, tiling.gridShift))};
}

}  // namespace lumora
