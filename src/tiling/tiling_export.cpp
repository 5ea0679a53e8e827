#include "tiling/tiling_export.hpp"

#include <cmath>
#include <cstdio>
#include <sstream>

#include "common/text.hpp"
#include "tiling/tiling.hpp"
#include "tiling/tiling_analysis.hpp"

namespace lumora {
namespace {

std::string Fixed(double v, int decimals) {
  char text[64];
  std::snprintf(text, sizeof text, "%.*f", decimals, v == 0.0 ? 0.0 : v);  // no "-0"
  return text;
}

std::string Hex(ColorValue c) {
  char text[8];
  std::snprintf(text, sizeof text, "#%02x%02x%02x", static_cast<unsigned>(RedOf(c)), static_cast<unsigned>(GreenOf(c)),
                static_cast<unsigned>(BlueOf(c)));
  return text;
}

}  // namespace

std::string TilesCsv(const Tiling& tiling) {
  const int n = tiling.inputs.symmetry;
  std::string out = "tile,type,shape_deg,x0,y0,x1,y1,x2,y2,x3,y3\n";
  std::size_t index = 0;
  for (const Tile& tile : tiling.tiles) {
    out += std::to_string(++index) + "," + std::to_string(tile.type) + "," +
           Fixed(180.0 * TileShape(n, tile.gridJ, tile.gridK) / n, 4);
    for (const auto& corner : tile.position) out += "," + Fixed(corner[0], 9) + "," + Fixed(corner[1], 9);
    out += "\n";
  }
  return out;
}

std::string VerticesCsv(const Tiling& tiling) {
  const int n = tiling.inputs.symmetry;
  std::string out = "vertex,x,y";
  for (int i = 0; i < n; ++i) out += ",k" + std::to_string(i);
  out += "\n";
  for (std::size_t v = 0; v < tiling.nLatticeVertices(); ++v) {
    double x = 0.0, y = 0.0;
    std::string ks;
    for (int i = 0; i < n; ++i) {
      const int k = tiling.latticeVertices[v * static_cast<std::size_t>(n) + static_cast<std::size_t>(i)];
      x += k * std::cos(2.0 * 3.14159265358979323846 * i / n);
      y += k * std::sin(2.0 * 3.14159265358979323846 * i / n);
      ks += "," + std::to_string(k);
    }
    out += std::to_string(v + 1) + "," + Fixed(x, 9) + "," + Fixed(y, 9) + ks + "\n";
  }
  return out;
}

std::string TilingSvg(const Tiling& tiling) {
  const double scale = tiling.inputs.zoom * 3.0;
  const double xc = std::nearbyint(tiling.inputs.width / 2.0), yc = std::nearbyint(tiling.inputs.height / 2.0);
  std::ostringstream out;
  out << "<?xml version=\"1.0\" encoding=\"UTF-8\"?>\n"
      << "<svg xmlns=\"http://www.w3.org/2000/svg\" width=\"" << tiling.inputs.width << "\" height=\""
      << tiling.inputs.height << "\" viewBox=\"0 0 " << tiling.inputs.width << " " << tiling.inputs.height << "\">\n"
      << "<rect width=\"100%\" height=\"100%\" fill=\"#000000\"/>\n"
      << "<g stroke=\"" << Hex(tiling.inputs.gridColor) << "\" stroke-width=\"0.5\" stroke-linejoin=\"round\">\n";
  for (const Tile& tile : tiling.tiles) {
    out << "<polygon fill=\"" << Hex(tile.color) << "\" points=\"";
    for (std::size_t c = 0; c < 4; ++c)
      out << (c ? " " : "") << Fixed(xc + tile.position[c][0] * scale, 3) << "," << Fixed(yc + tile.position[c][1] * scale, 3);
    out << "\"/>\n";
  }
  out << "</g>\n</svg>\n";
  return out.str();
}

std::string StatisticsJson(const Tiling& tiling, const TilingStatistics& stats, const std::optional<std::string>& note) {
  const int n = tiling.inputs.symmetry;
  std::ostringstream out;
  out << "{\n  \"symmetry\": " << n << ",\n  \"shifts\": [";
  for (std::size_t i = 0; i < tiling.gridShift.size(); ++i) out << (i ? ", " : "") << Fixed(tiling.gridShift[i], 12);
  out << "],\n  \"tiles_drawn\": " << tiling.nTiles() << ",\n  \"exact_vertices\": " << tiling.nLatticeVertices()
      << ",\n  \"tiles_by_shape\": [";
  bool first = true;
  for (const auto& [shape, count] : stats.tilesByShape) {
    out << (first ? "" : ", ") << "{\"angle_deg\": " << Fixed(180.0 * shape / n, 4) << ", \"count\": " << count << "}";
    first = false;
  }
  out << "],\n";
  if (stats.tilesByShape.size() == 2 && stats.tilesByShape.begin()->second > 0)
    out << "  \"shape_ratio\": "
        << Fixed(static_cast<double>(stats.tilesByShape.rbegin()->second) / static_cast<double>(stats.tilesByShape.begin()->second), 6)
        << ",\n";
  else
    out << "  \"shape_ratio\": null,\n";
  out << "  \"interior_vertices\": " << stats.interiorVertices << ",\n  \"coordination\": {";
  first = true;
  for (const auto& [edges, count] : stats.coordination) {
    out << (first ? "" : ", ") << "\"" << edges << "\": " << count;
    first = false;
  }
  out << "},\n  \"note\": " << (note ? JsonString(*note) : std::string("null")) << "\n}\n";
  return out.str();
}

}  // namespace lumora
