#include "tiling/xy_file.hpp"

#include <algorithm>

#include "common/number_text.hpp"
#include "common/text.hpp"

namespace lumora {

std::string XyLine(float x, float y) {
  std::string line = FormatFixed(x, 4);
  // Always at least one blank, even for a text that reaches column 14.
  line += std::string(line.size() < 14 ? 14 - line.size() : 1, ' ');
  line += FormatFixed(y, 4);
  line += kCrLf;
  return line;
}

std::string XyFileText(const std::vector<float>& vertX, const std::vector<float>& vertY) {
  const std::size_t count = std::min(vertX.size(), vertY.size());
  std::string text;
  text.reserve(count * 24);
  for (std::size_t i = 0; i < count; ++i) text += XyLine(vertX[i], vertY[i]);
  return text;
}

std::string ProposedXyFileName(const TilingInputs& inputs) {
  return "NHA_" + std::to_string(inputs.symmetry) + "-" + std::to_string(inputs.loopOrder) + "-" +
         std::to_string(inputs.zoom) + "-" + std::to_string(static_cast<int>(inputs.shiftMode)) + ".xy";
}

}  // namespace lumora
