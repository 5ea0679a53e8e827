// The two plots as scenes: the zeroth reciprocal layer, and the rotatable 3D
// projection (which also gives the thin slab the icosahedral 2D view shows).
#pragma once

#include <atomic>
#include <vector>

#include "plots/plot_scene.hpp"
#include "plots/point_table.hpp"
#include "plots/spot_rules.hpp"
#include "plots/view_options.hpp"
#include "reflections/calculation.hpp"

namespace lumora {

// What a completed run leaves for the plots.
struct PlotData {
  const std::vector<ReflectionRecord>* records = nullptr;
  int nDim = 5;
  RunStatistics stats;
  float coordMax = 0.0f;  // the largest coordinate of the run
  // Percent of the strongest, parallel to the records, when a structure model
  // gave intensities.
  const std::vector<double>* intensities = nullptr;

  double IntensityOf(std::size_t record) const {
    return intensities && record < intensities->size() ? (*intensities)[record] : -1.0;
  }
  // False for a record below the options' intensity threshold.
  bool Shown(std::size_t record, double minIntensity) const {
    return !intensities || minIntensity <= 0.0 || IntensityOf(record) >= minIntensity;
  }
};

// The picture to draw: its size in twips and its colours. A scene whose
// cancel flag is set while it is built comes back incomplete.
struct SceneTarget {
  double width = 0.0;
  double height = 0.0;
  ColorScheme colors{kBlack, kWhite};
  const std::atomic<bool>* cancel = nullptr;
};

// The largest |x| and |y| of the zeroth layer (1/A).
struct LayerExtent {
  double x = 0.0;
  double y = 0.0;
};
LayerExtent ZeroLayerExtent(const PlotData& data);

// The scale (scene units per 1/A) at which a picture of half-extents ex, ey
// just fits half-sizes cx, cy; 0 when there is nothing to fit.
double FitScale(double ex, double ey, double cx, double cy);

// True every 65536 steps once cancel is set: scene loops poll it this often.
inline bool CancelledAt(std::size_t step, const std::atomic<bool>* cancel) {
  return (step & 0xFFFF) == 0 && cancel && cancel->load(std::memory_order_relaxed);
}

// Reflections whose last index is 0, seen along the periodic axis, scaled so
// that the layer's largest |x| or |y| reaches the edge at zoom 1. Empty when
// the layer has no extent.
PlotScene BuildZeroLayerScene(const PlotData& data, const ViewOptions& options, const SceneTarget& target);

// Where the 3D plot puts a row: screen position s * (horizontal, vertical) +
// (cx, cy) in scene units, the spot style, and the layer it keeps.
struct Projection3D {
  double s = 0.0;
  double cx = 0.0;
  double cy = 0.0;
  SpotStyle style;
  double halfThickness = 0.0;
  bool layered = false;  // rows with |depth| > halfThickness are left out
};
Projection3D Make3DProjection(const PlotData& data, const ViewOptions& options, const SceneTarget& target,
                              float thickness, float zoom);

// The marks of the options (scale bar, ticks, orientation, caption) on a 3D
// scene drawn with projection p.
void AddMarks3D(PlotScene& scene, const PlotData& data, const PointTable& points, const ViewOptions& options,
                const Projection3D& p);

// Every row of the point table in table order, at 90 percent of the smaller
// half-size for the largest coordinate at zoom 1. thickness is a percentage of that
// coordinate (100 shows everything; 0 means the layer slider); zoom is the zoom
// value to apply. With "Highlight Directions" the legend "along"/"between" is
// added.
PlotScene Build3DScene(const PlotData& data, const PointTable& points, const ViewOptions& options,
                       const SceneTarget& target, float thickness, float zoom);

// The icosahedral 2D view: the 3D scene at thickness 3 with the 2D zoom.
inline PlotScene BuildSlabScene(const PlotData& data, const PointTable& points, const ViewOptions& options,
                                const SceneTarget& target) {
  return Build3DScene(data, points, options, target, 3.0f, options.zoom2D);
}

// True when a record belongs to the zeroth layer (its last index is 0).
inline bool InZeroLayer(const ReflectionRecord& r, int nDim) { return r.h[static_cast<std::size_t>(nDim - 1)] == 0.0f; }

}  // namespace lumora
