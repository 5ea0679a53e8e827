#include "tiling/tiling_options.hpp"

#include <cmath>

#include "common/number_text.hpp"
#include "common/text.hpp"

namespace lumora {

TilingOptions::TilingOptions()
    : kMax(DefaultNumber(input::kKMax)),
      internalMax(DefaultNumber(input::kInternalMax)),
      shiftSum_(DefaultNumber(input::kShiftSum)) {}

const NamedInputs& TilingOptions::Inputs() {
  using namespace input;
  static const NamedInputs inputs = {&kSymmetry, &kLoopOrder, &kScale,    &kBrightness, &kShiftMode,
                                     &kShifts,   &kPreset,    &kShiftSum, &kKMax,       &kInternalMax};
  return inputs;
}

bool TilingOptions::Apply(const Option& option) {
  using namespace input;
  const std::string& n = option.name;
  auto whole = [&option](const NamedInput& named) { return static_cast<int>(ReadWholeNumber(named, option.value)); };
  if (n == kSymmetry.option) {
    inputs_.symmetry = whole(kSymmetry);
    symmetryGiven_ = true;
  } else if (n == kShifts.option) {
    std::vector<double> list;
    for (const std::string& part : SplitCommas(option.value)) {
      const std::optional<double> v = ParseNumber(part);
      if (!v || !kShifts.range.Contains(*v))
        BadValue(n, option.value, "has \"" + EchoText(part) + "\", which " + Problem(kShifts));
      list.push_back(*v);
    }
    shifts_ = list;
  } else if (n == kPreset.option) {
    const std::string name = ReadChoice(kPreset, option.value);
    preset_ = name == "penrose"          ? TilingPreset::Penrose
              : name == "ammann-beenker" ? TilingPreset::AmmannBeenker
                                         : TilingPreset::GeneralisedPenrose;
    presetName_ = option.value;
  } else if (n == kShiftSum.option) {
    shiftSum_ = ReadNumber(kShiftSum, option.value);
  } else if (n == kKMax.option) {
    kMax = ReadNumber(kKMax, option.value);
  } else if (n == kInternalMax.option) {
    internalMax = ReadNumber(kInternalMax, option.value);
  } else if (n == kLoopOrder.option) {
    inputs_.loopOrder = whole(kLoopOrder);
  } else if (n == kScale.option) {
    inputs_.zoom = whole(kScale);
  } else if (n == kBrightness.option) {
    inputs_.brightness = whole(kBrightness);
  } else if (n == kShiftMode.option) {
    inputs_.shiftMode = static_cast<ShiftMode>(whole(kShiftMode));
  } else {
    return false;
  }
  return true;
}

TilingInputs TilingOptions::Resolve() const {
  TilingInputs inputs = inputs_;
  std::optional<std::vector<double>> shifts = shifts_;
  if (preset_ && shifts) BadValue("--shifts", "", "cannot be given together with --preset");
  if (preset_) {
    const PresetShifts chosen = StandardShifts(*preset_, shiftSum_);
    if (symmetryGiven_ && inputs.symmetry != chosen.symmetry)
      BadValue("--symmetry", std::to_string(inputs.symmetry), "does not match --preset " + presetName_);
    inputs.symmetry = chosen.symmetry;
    shifts = chosen.shifts;
  }
  if (shifts) {
    if (static_cast<int>(shifts->size()) != inputs.symmetry)
      BadValue("--shifts", std::to_string(shifts->size()) + " numbers",
               "must give one shift per grid, " + std::to_string(inputs.symmetry) + " numbers");
    inputs.shiftMode = ShiftMode::Given;
    inputs.shifts = *shifts;
  }
  return inputs;
}

std::vector<ModulePoint> TilingOptions::PeakPoints(int n) const {
  std::string problem;
  std::optional<std::vector<ModulePoint>> points = FourierModulePoints(n, kMax, internalMax, kMaxPeaks, &problem);
  if (!points)
    BadValue("--k-max", FormatFixed(kMax, 3), "with --internal-max " + FormatFixed(internalMax, 3) + ": " + problem);
  return *points;
}

std::string PeaksCsv(int n, const std::vector<ModulePoint>& points, const std::vector<double>& intensity) {
  const int rank = ModuleRank(n);
  std::string out = "# N = " + std::to_string(n) + ": k = sum of h_i (2/N) e_i, e_i = (cos 2 pi i/N, sin 2 pi i/N), i < " +
                    std::to_string(rank) + "\n";
  out += "# k in reciprocal edge lengths (y down as in the picture); internal: length of the Galois-conjugate partner\n";
  out += "# intensity: |sum over the exact vertices of exp(2 pi i k.x)|^2 / n^2 (1 at k = 0)\n";
  out += "kx,ky,k";
  for (int i = 0; i < rank; ++i) out += ",h" + std::to_string(i);
  out += ",internal,intensity\n";
  for (std::size_t p = 0; p < points.size(); ++p) {
    const ModulePoint& point = points[p];
    out += ShortestText(point.qx) + "," + ShortestText(point.qy) + "," + ShortestText(std::hypot(point.qx, point.qy));
    for (int h : point.index) out += "," + std::to_string(h);
    out += "," + ShortestText(point.internal) + "," + ShortestText(intensity[p]) + "\n";
  }
  return out;
}

}  // namespace lumora
