// A plot on paper: the "Lumora 1.0" header with the run's summary line and a
// rule, then the spots scaled by the 2D zoom so that what is printed fits the
// page. All positions are twips; u is one printer pixel.
#pragma once

#include <string>

#include "plots/plot_scenes.hpp"

namespace lumora {

// The printer pixel the page layout counts in: 1/72 inch.
inline constexpr double kTwipsPerPrintPixel = 20.0;

struct PrintPage {
  double width = 0.0;   // drawing width of the page, twips
  double height = 0.0;
  double unit = kTwipsPerPrintPixel;
};

struct PrintLayout {
  PrintPage page;
  SceneLabel title;     // "Lumora 1.0", Arial 10 bold
  SceneLabel summary;   // Arial 8
  double ruleY = 0.0;   // white band above it, black rule along it
  PlotScene spots;      // circles, and labels in Arial 6
};

// "N reflections, <group>, <line 1>, <line 2>".
std::string PrintSummaryLine(std::size_t reflections, const std::string& sgSymbol, const std::string& paramLine1,
                             const std::string& paramLine2);

// The zeroth layer (threeD false) or every row of the point table in table
// order (threeD true: no layer restriction, no labels, no legend). Spots are
// black discs, or rings with a transparent fill when spots are not filled;
// the grey rules are those of a dark background.
PrintLayout BuildPrintScene(const PlotData& data, const PointTable& points, const ViewOptions& options,
                            const PrintPage& page, bool threeD, const std::string& summaryLine);

}  // namespace lumora
