// The XY vertex file: one line per unique vertex, in recording order.
#pragma once

#include <string>
#include <vector>

#include "tiling/tiling_inputs.hpp"

namespace lumora {

// x as "0.0000" padded with blanks to column 14, y as "0.0000" from column 15,
// then CR LF. The decimal symbol is always a point.
std::string XyLine(float x, float y);

// The lines of all vertices; no header and no summary.
std::string XyFileText(const std::vector<float>& vertX, const std::vector<float>& vertY);

// "NHA_<N>-<L>-<zoom>-<mode>.xy", NHA_5-6-8-0.xy with the start values.
std::string ProposedXyFileName(const TilingInputs& inputs);

}  // namespace lumora
