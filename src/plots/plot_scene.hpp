// A plot as an ordered list of shapes in twips (15 twips per screen pixel),
// built once by the spot rules and painted by every output: screen, large
// view, printer, bitmap, SVG and metafile.
#pragma once

#include <string>
#include <variant>
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
};

using SceneItem = std::variant<SceneCircle, SceneLabel>;

struct PlotScene {
  double width = 0.0;  // twips
  double height = 0.0;
  ColorValue background = kBlack;
  ColorValue foreground = kWhite;
  double labelPoints = 7.0;         // font size of the labels (Arial)
  std::vector<SceneItem> items;     // painting order
  std::vector<SceneLabel> legend;   // painted last; left out of the metafile
};

}  // namespace lumora
