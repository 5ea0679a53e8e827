#include "tiling/tiling_inputs.hpp"

#include <cmath>

namespace lumora {
namespace {

bool Within(int v, int lo, int hi) { return v >= lo && v <= hi; }

}  // namespace

std::optional<std::string> CheckTilingInputs(const TilingInputs& in) {
  using L = TilingLimits;
  if (!Within(in.symmetry, L::kMinSymmetry, L::kMaxSymmetry)) return "the symmetry must be 5 to 20";
  if (!Within(in.loopOrder, L::kMinLoopOrder, L::kMaxLoopOrder)) return "the loop order must be 1 to 40";
  if (!Within(in.zoom, L::kMinZoom, L::kMaxZoom)) return "the scale must be 1 to 10";
  if (!Within(in.brightness, L::kMinBrightness, L::kMaxBrightness)) return "the brightness must be 100 to 220";
  if (!Within(static_cast<int>(in.shiftMode), 0, 3)) return "the shift mode must be 0, 1, 2 or 3";
  if (in.shiftMode == ShiftMode::Given) {
    if (static_cast<int>(in.shifts.size()) != in.symmetry)
      return "the shifts must be " + std::to_string(in.symmetry) + " numbers, one per grid, not " +
             std::to_string(in.shifts.size());
    for (std::size_t i = 0; i < in.shifts.size(); ++i)
      if (!(std::isfinite(in.shifts[i]) && std::abs(in.shifts[i]) <= 1.0))
        return "shift " + std::to_string(i) + " must be a number from -1 to 1";
  }
  if (!Within(in.width, 1, 32767) || !Within(in.height, 1, 32767)) return "the canvas must be 1 to 32767 pixels";
  return std::nullopt;
}

}  // namespace lumora
