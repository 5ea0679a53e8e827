// The tiling options shared by "lumora-cli tiling" and the Python package:
// the multigrid inputs, the standard tilings' shifts (presets) or given
// shifts, and the limits of the exact diffraction's peaks.
#pragma once

#include <optional>
#include <set>
#include <string>
#include <vector>

#include "inputs/input_reading.hpp"
#include "tiling/exact_diffraction.hpp"
#include "tiling/tiling_analysis.hpp"
#include "tiling/tiling_inputs.hpp"

namespace lumora {

class TilingOptions {
 public:
  TilingOptions();
  // --symmetry, --loop-order, --scale, --brightness, --shift-mode, --shifts,
  // --preset, --shift-sum, --k-max, --internal-max.
  static const NamedInputs& Inputs();
  // Applies one option, checking its value; false when the name is not one of these.
  bool Apply(const Option& option);
  // The inputs with a preset's N and shifts, or the given shifts, in place; a
  // UsageError when they do not fit together (a preset with given shifts or
  // another N, shifts that are not one per grid).
  TilingInputs Resolve() const;
  // The Fourier-module points within the peak limits for N grids; a
  // UsageError naming --k-max when there are more than kMaxPeaks.
  std::vector<ModulePoint> PeakPoints(int n) const;

  static constexpr std::size_t kMaxPeaks = 20000;
  double kMax = 0.0;         // reciprocal edge lengths
  double internalMax = 0.0;  // largest internal component

 private:
  TilingInputs inputs_;
  std::optional<std::vector<double>> shifts_;
  std::optional<TilingPreset> preset_;
  std::string presetName_;
  double shiftSum_ = 0.0;
  bool symmetryGiven_ = false;
};

// The peaks as CSV: "# " lines naming N, the module basis and the units, then
// "kx,ky,k,h0..h(r-1),internal,intensity", one row per module point in the
// order given (intensity parallel to points).
std::string PeaksCsv(int n, const std::vector<ModulePoint>& points, const std::vector<double>& intensity);

}  // namespace lumora
