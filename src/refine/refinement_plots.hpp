// The pictures of a structure refinement, drawn with QPainter for the window,
// files and printers alike: F_obs against F_calc, the internal-space maps
// with the domains' outlines, and the scene of a whole-pattern fit.
#pragma once

#include <QRectF>
#include <vector>

#include "refine/internal_map.hpp"
#include "powder/powder_plot_painter.hpp"
#include "refine/structure_refinement.hpp"
#include "refine/whole_pattern_fit.hpp"

class QPainter;

namespace lumora {

// sqrt(I_obs) against sqrt(I_calc) on one scale, the line of equality, the
// worst-fitting reflections in red, R1, wR2 and GoF in the title. A refused
// outcome gives its reason in the middle.
void PaintFobsFcalc(QPainter& painter, const QRectF& bounds, const RefinementOutcome& outcome);

// The maps side by side, each square: positive density blue, negative red
// (white at 0, full colour at the largest |value| of all maps), the domain's
// outline in green, axes in A.
void PaintInternalMaps(QPainter& painter, const QRectF& bounds, const std::vector<InternalMap>& maps);

// A whole-pattern fit as a powder plot: the measured points, the fit over
// them (with the difference below) and the lines' ticks; the view on all of it.
PowderPlotScene FittedPatternScene(const WholePatternOutcome& fit, double wavelength);

}  // namespace lumora
