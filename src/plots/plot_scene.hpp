// A plot as an ordered list of shapes in twips (15 twips per screen pixel),
// built once by the spot rules and painted by every output: screen, large
// view, printer, bitmap, SVG and metafile.
#pragma once

#include <string>
#include <vector>

#include "plots/color.hpp"

namespace lumora {

inline constexpr double kTwipsPerPixel = 15.0;

struct SceneCircle {
  double x = 0.0;  // centre, twips from the top-left corner
  double y = 0.0;
  double radius = 0.0;
  ColorValue fill = kWhite;
  ColorValue outline = kBlack;
  bool transparentFill = false;  // rings on paper
};

struct SceneLabel {
  double x = 0.0;  // top-left corner of the text, twips
  double y = 0.0;
  std::string text;
  ColorValue color = kBlue;
  std::size_t circlesBefore = 0;  // painted after this many circles
};

// A straight line of the marks (scale bar, ticks, orientation), one pixel wide.
struct SceneLine {
  double x1 = 0.0;  // twips
  double y1 = 0.0;
  double x2 = 0.0;
  double y2 = 0.0;
  ColorValue color = kWhite;
};

struct PlotScene {
  double width = 0.0;  // twips
  double height = 0.0;
  ColorValue background = kBlack;
  ColorValue foreground = kWhite;
  double labelPoints = 7.0;            // font size of the labels (Arial)
  std::vector<SceneCircle> circles;    // painting order
  std::vector<SceneLabel> labels;      // each painted after its circlesBefore circles
  std::vector<SceneLabel> legend;      // painted last; left out of the metafile
  std::vector<SceneLine> lines;        // painted with the legend; left out of the metafile

  bool empty() const { return circles.empty() && labels.empty(); }
};

// Calls circle(c) and label(l) in painting order.
template <typename CircleFn, typename LabelFn>
void ForEachInOrder(const PlotScene& scene, CircleFn&& circle, LabelFn&& label) {
  std::size_t next = 0;
  for (std::size_t i = 0; i < scene.circles.size(); ++i) {
    while (next < scene.labels.size() && scene.labels[next].circlesBefore <= i) label(scene.labels[next++]);
    circle(scene.circles[i]);
  }
  while (next < scene.labels.size()) label(scene.labels[next++]);
}

}  // namespace lumora
