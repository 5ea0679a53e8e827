// Files of a tiling beyond the classic XY file: tiles and vertices as CSV in
// edge lengths about the canvas centre (y down, as in the picture), the
// tiling as SVG polygons, and its statistics as JSON.
#pragma once

#include <optional>
#include <string>

namespace lumora {

struct Tiling;
struct TilingStatistics;

// "tile,type,shape_deg,x0,y0,x1,y1,x2,y2,x3,y3": every drawn tile, corners
// in outline order.
std::string TilesCsv(const Tiling& tiling);

// "vertex,x,y,k0..k(N-1)": the exact vertex set with its index vectors.
std::string VerticesCsv(const Tiling& tiling);

// The tiling picture as SVG: one polygon per tile in drawing order, in
// pixels of the canvas, filled with the tile's colour and outlined in the
// grid colour.
std::string TilingSvg(const Tiling& tiling);

// Counts per shape with their ratio, coordination frequencies and the note.
std::string StatisticsJson(const Tiling& tiling, const TilingStatistics& stats, const std::optional<std::string>& note);

}  // namespace lumora
