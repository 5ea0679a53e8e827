// What a tiling is generated from: the window's option controls and canvas.
#pragma once

#include <cstdint>
#include <optional>
#include <string>
#include <vector>

#include "inputs/named_inputs.hpp"
#include "plots/color.hpp"

namespace lumora {

// Ranges and start values of the option controls; the ranges are those of the
// named inputs, whose default texts name the same start values.
struct TilingLimits {
  static constexpr int kMinSymmetry = static_cast<int>(input::kSymmetry.range.low);
  static constexpr int kMaxSymmetry = static_cast<int>(input::kSymmetry.range.high);
  static constexpr int kDefaultSymmetry = 5;
  static constexpr int kMinLoopOrder = static_cast<int>(input::kLoopOrder.range.low);
  static constexpr int kMaxLoopOrder = static_cast<int>(input::kLoopOrder.range.high);
  static constexpr int kDefaultLoopOrder = 6;
  static constexpr int kMinZoom = static_cast<int>(input::kScale.range.low);
  static constexpr int kMaxZoom = static_cast<int>(input::kScale.range.high);
  static constexpr int kDefaultZoom = 8;
  static constexpr int kMinBrightness = static_cast<int>(input::kBrightness.range.low);
  static constexpr int kMaxBrightness = static_cast<int>(input::kBrightness.range.high);
  static constexpr int kDefaultBrightness = 120;
  static constexpr int kCanvasSize = 512;
};

// Given: the shifts come from TilingInputs::shifts (the shift editor and the presets).
enum class ShiftMode : int { SymmetryType1 = 0, SymmetryType2 = 1, Random = 2, Given = 3 };

struct TilingInputs {
  int symmetry = TilingLimits::kDefaultSymmetry;   // N, the number of grids
  int loopOrder = TilingLimits::kDefaultLoopOrder;  // L: line indices -L..+L
  int zoom = TilingLimits::kDefaultZoom;            // scale = zoom / 10
  int brightness = TilingLimits::kDefaultBrightness;
  ShiftMode shiftMode = ShiftMode::SymmetryType1;
  int width = TilingLimits::kCanvasSize;
  int height = TilingLimits::kCanvasSize;
  ColorValue gridColor = kBlack;  // tile outlines
  std::vector<double> shifts;     // gamma_0 .. gamma_(N-1) for ShiftMode::Given
};

// The random tilings start from the same seed at every program start, so the
// first random tiling after a start is always the same for a given N.
inline constexpr std::uint32_t kTilingRandomSeed = 5489u;

// Why the inputs cannot be generated (N, L, zoom, brightness or mode out of
// the controls' ranges, a canvas that is not 1..32767 pixels, or given shifts
// that are not N finite numbers), or nothing.
std::optional<std::string> CheckTilingInputs(const TilingInputs& inputs);

}  // namespace lumora
