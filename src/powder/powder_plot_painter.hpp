// The powder plot: calculated and measured patterns, their difference, the
// lines' tick marks and the found peaks, drawn with QPainter on the window,
// a picture, an SVG, a PDF or a printer alike.
#pragma once

#include <QByteArray>
#include <QRectF>
#include <QSize>
#include <QString>
#include <string>
#include <vector>

#include "powder/measured_pattern.hpp"
#include "powder/pattern_scale.hpp"
#include "powder/powder_axis.hpp"
#include "powder/powder_lines.hpp"
#include "powder/powder_profile.hpp"

class QFontMetricsF;
class QPainter;

namespace lumora {

struct PowderPlotScene {
  PowderAxis axis = PowderAxis::TwoTheta;
  IntensityScale scale = IntensityScale::Linear;
  double wavelength = 1.0;           // A, for d and q
  AxisRange view{0.0, 1.0};          // the abscissa on show, in the axis's unit
  // Curves in 2 theta (degrees); the calculated one already carries its scale.
  std::vector<double> calcTwoTheta, calcIntensity;
  std::vector<double> measTwoTheta, measIntensity;
  std::vector<double> lineTwoTheta;  // tick marks of the lines
  std::vector<double> peakTwoTheta;  // measured peaks
  std::vector<bool> peakIndexed;     // parallel to peakTwoTheta (may be empty: none indexed)
  int highlightedLine = -1;          // index into lineTwoTheta, or -1
  std::string message;               // shown in the middle when there is no curve
};

// What a powder plot shows, as the window and the command line hold it.
struct PowderPlotData {
  const Profile* profile = nullptr;                // calculated, or null
  ScaleAndBackground fit{1.0, 0.0};                // laid on the measured pattern as scale * I + background
  const std::vector<PowderLine>* lines = nullptr;  // tick marks, or null
  double zero = 0.0;                               // added to the lines' 2 theta
  const MeasuredPattern* measured = nullptr;       // or null
  std::vector<double> peaks;                       // found in the measured pattern
  const std::vector<double>* unindexed = nullptr;  // after a refinement: the peaks it left unindexed
};
PowderPlotScene MakePowderScene(const PowderPlotData& data, PowderAxis axis, IntensityScale scale, double wavelength);
// The abscissa range of everything the scene holds (d stops at 50 A, where it runs away towards 2 theta = 0).
AxisRange SceneLimits(const PowderPlotScene& scene);

// Where the parts of the plot lie inside bounds, and the ordinate's range in
// the scaled unit, for painting and for turning a mouse position into values.
struct PowderPlotLayout {
  QRectF data;        // the patterns
  QRectF ticks;       // the lines' tick strip under them
  QRectF difference;  // measured minus calculated (empty without both)
  double yLow = 0.0, yHigh = 1.0;  // scaled intensity at data.bottom() and data.top()
  double logFloor = 0.0;
  double diffRange = 1.0;          // |difference| at the strip's edges

  double xToPixel(double value, const AxisRange& view) const;
  double pixelToX(double pixel, const AxisRange& view) const;
  double yToPixel(double scaled) const;
  double pixelToY(double pixel) const;
};

PowderPlotLayout LayoutPowderPlot(const PowderPlotScene& scene, const QRectF& bounds, const QFontMetricsF& metrics);
void PaintPowderPlot(QPainter& painter, const QRectF& bounds, const PowderPlotScene& scene);

// The plot as a file's bytes: "png", "svg" or "pdf" (size in pixels; a PDF page
// of the same proportions). Empty with error set when it cannot be made.
QByteArray RenderPowderPlot(const PowderPlotScene& scene, const QString& format, QSize size, QString* error);

}  // namespace lumora
