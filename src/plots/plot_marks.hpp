// Marks that let a distance and a direction be read off a plot: a scale bar
// in 1/Å, axis ticks, the report's x, y, z axes as the 3D view shows them, and
// a caption. Each is off unless asked for: the classic pictures have none.
#pragma once

#include <array>
#include <optional>
#include <string>
#include <vector>

#include "inputs/parameters.hpp"
#include "plots/plot_scene.hpp"
#include "plots/point_table.hpp"
#include "reflections/reflection_record.hpp"

namespace lumora {

struct PlotMarks {
  bool scaleBar = false;     // a bar of a round length in 1/Å, bottom right
  bool ticks = false;        // ticks and values along the bottom and left edges
  bool orientation = false;  // 3D plot: the report's x, y, z seen from the viewer
  std::string caption;       // top left, lines split at "\n"; empty: none

  bool any() const { return scaleBar || ticks || orientation || !caption.empty(); }
};

// The caption of a saved picture: the run's space group and parameter lines,
// and the structure model behind its intensities when there is one.
std::string RunCaption(const Summary& summary, const std::string& model);

// The screen directions of the report's axes: axes[k] = (horizontal,
// vertical) components of unit vector k (x, y, z), vertical growing downward,
// as the rows of the point table show them.
using ScreenAxes = std::array<std::array<double, 2>, 3>;

// The rotation that takes each record's (x, y, z) in 1/Å to its row, fitted
// by least squares over the table; none when the records do not span three
// dimensions (a run of one plane or fewer than three reflections).
std::optional<ScreenAxes> ViewAxes(const std::vector<ReflectionRecord>& records, const PointTable& points);

// The bar's length in 1/Å: the largest 1, 2 or 5 times a power of ten whose
// bar spans at most a fifth of the picture width. scale: twips per 1/Å (> 0).
double ScaleBarLength(double scale, double width);

// "0.5 Å⁻¹": a length in 1/Å with the digits it needs.
std::string ReciprocalLengthText(double value);

// Adds the marks asked for to a scene whose origin (reciprocal 0) is at (cx,
// cy) twips and whose scale is `scale` twips per 1/Å. axes: the 3D view's
// screen axes for the orientation mark (left out without them).
void AddPlotMarks(PlotScene& scene, const PlotMarks& marks, double scale, double cx, double cy,
                  const std::optional<ScreenAxes>& axes = std::nullopt);

}  // namespace lumora
