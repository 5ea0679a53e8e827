#include "plots/view_options.hpp"

#include <cmath>

namespace lumora {

bool ViewOptions::Flag(ViewFlag flag) const {
  switch (flag) {
    case ViewFlag::FilledSpots: return filledSpots;
    case ViewFlag::HighlightMain: return highlightMain;
    case ViewFlag::HighlightDirections: return highlightDirections;
    case ViewFlag::SizeByQi: return sizeByQi;
    case ViewFlag::ColorByTheta: return colorByTheta;
    case ViewFlag::ColorByQi: return colorByQi;
    case ViewFlag::ShowIndices: return showIndices;
    case ViewFlag::AreaByIntensity: return areaByIntensity;
    case ViewFlag::GreyByIntensity: return greyByIntensity;
    case ViewFlag::ScaleBar: return marks.scaleBar;
    case ViewFlag::AxisTicks: return marks.ticks;
    case ViewFlag::OrientationMark: return marks.orientation;
    case ViewFlag::CaptionOnSaved: return captionOnSaved;
  }
  return false;
}

void ViewOptions::Toggle(ViewFlag flag) {
  switch (flag) {
    case ViewFlag::FilledSpots: filledSpots = !filledSpots; break;
    case ViewFlag::HighlightMain: highlightMain = !highlightMain; break;
    case ViewFlag::HighlightDirections: highlightDirections = !highlightDirections; break;
    case ViewFlag::SizeByQi:
      areaByIntensity = false;
      sizeByQi = !sizeByQi;
      break;
    case ViewFlag::ColorByTheta:
      colorByQi = greyByIntensity = false;
      colorByTheta = !colorByTheta;
      break;
    case ViewFlag::ColorByQi:
      colorByTheta = greyByIntensity = false;
      colorByQi = !colorByQi;
      break;
    case ViewFlag::ShowIndices: showIndices = !showIndices; break;
    case ViewFlag::AreaByIntensity:
      sizeByQi = false;
      areaByIntensity = !areaByIntensity;
      break;
    case ViewFlag::GreyByIntensity:
      colorByTheta = colorByQi = false;
      greyByIntensity = !greyByIntensity;
      break;
    case ViewFlag::ScaleBar: marks.scaleBar = !marks.scaleBar; break;
    case ViewFlag::AxisTicks: marks.ticks = !marks.ticks; break;
    case ViewFlag::OrientationMark: marks.orientation = !marks.orientation; break;
    case ViewFlag::CaptionOnSaved: captionOnSaved = !captionOnSaved; break;
  }
}

ColorScheme BackgroundScheme(int mode) {
  switch (mode) {
    case 1: return {kWhite, kBlack};
    case 2: return {0xFF8080u, kWhite};  // light blue: red 128, green 128, blue 255
    default: return {kBlack, kWhite};
  }
}

double ZoomFactor(float zoom) {
  if (zoom > 0.0f) return zoom;
  return 1.0 / std::fabs(static_cast<double>(zoom) - 1.0);
}

}  // namespace lumora
