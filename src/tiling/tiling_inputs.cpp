#include "tiling/tiling_inputs.hpp"

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
  if (!Within(static_cast<int>(in.shiftMode), 0, 2)) return "the shift mode must be 0, 1 or 2";
  if (!Within(in.width, 1, 32767) || !Within(in.height, 1, 32767)) return "the canvas must be 1 to 32767 pixels";
  return std::nullopt;
}

}  // namespace lumora
