#include "cli/powder_options.hpp"

#include <algorithm>
#include <cmath>

#include "common/number_text.hpp"
#include "common/text.hpp"

namespace lumora::cli {
namespace {

std::vector<double> NumberList(const Option& option, std::size_t count, const std::string& form) {
  const std::vector<std::string> parts = SplitCommas(option.value);
  if (parts.size() != count) BadValue(option.name, option.value, "must be " + form);
  std::vector<double> values;
  for (const std::string& part : parts) {
    const std::optional<double> value = ParseNumber(part);
    if (!value) BadValue(option.name, option.value, "must be " + form + " (\"" + EchoText(part) + "\" is not a number)");
    values.push_back(*value);
  }
  return values;
}

double NumberIn(const Option& option, double low, double high, bool openLow, const std::string& problem) {
  const std::optional<double> value = ParseNumber(option.value);
  if (!value || !(openLow ? *value > low : *value >= low) || !(*value <= high)) BadValue(option.name, option.value, problem);
  return *value;
}

}  // namespace

const std::set<std::string>& PowderOptions::Names() {
  static const std::set<std::string> names = {"--tolerance", "--monochromator", "--two-theta",       "--caglioti",
                                              "--eta",       "--cut",           "--refine",          "--index-tolerance",
                                              "--peak-threshold", "--peak-smoothing", "--zero"};
  return names;
}

const std::set<std::string>& PowderOptions::Flags() {
  static const std::set<std::string> flags = {"--doublet"};
  return flags;
}

bool PowderOptions::Apply(const Option& option) {
  const std::string& name = option.name;
  if (name == "--tolerance" || name == "--monochromator") {
    const bool tolerance = name == "--tolerance";
    (tolerance ? lines.tolerance : lines.monochromatorTwoTheta) = ParseNumber(option.value).value_or(-1.0);
    if (!CheckLineOptions(lines).empty())
      BadValue(name, option.value,
               tolerance ? "is not a relative tolerance from 0 to below 0.1" : "is not an angle from 0 to below 180 degrees");
  } else if (name == "--two-theta") {
    const std::vector<double> v = NumberList(option, 3, "MIN,MAX,STEP");
    ProfileOptions check;
    check.twoThetaMin = v[0];
    check.twoThetaMax = v[1];
    check.step = v[2];
    const std::string problem = CheckProfileOptions(check);
    if (!problem.empty()) BadValue(name, option.value, "is not a usable range: " + problem);
    range_ = std::array<double, 3>{v[0], v[1], v[2]};
  } else if (name == "--caglioti") {
    const std::vector<double> v = NumberList(option, 3, "U,V,W");
    profile_.u = v[0];
    profile_.v = v[1];
    profile_.w = v[2];
  } else if (name == "--eta") {
    profile_.eta = NumberIn(option, 0.0, 1.0, false, "is not a number from 0 to 1");
  } else if (name == "--cut") {
    profile_.cutWidths = NumberIn(option, 1.0, 1000.0, false, "is not a number of widths from 1 to 1000");
  } else if (name == "--doublet") {
    doublet_ = true;
  } else if (name == "--refine") {
    refine.refineA = refine.refineC = refine.refineZero = false;
    for (const std::string& part : SplitCommas(option.value)) {
      bool* slot = part == "a" ? &refine.refineA : part == "c" ? &refine.refineC : part == "zero" ? &refine.refineZero : nullptr;
      if (!slot || *slot) BadValue(name, option.value, "is not a list of a, c and zero, each at most once");
      *slot = true;
    }
    refineGiven = true;
  } else if (name == "--zero") {
    // The instrument's zero: where the simulated pattern lies, and the refinement's start.
    profile_.zeroShift = refine.zero = NumberIn(option, -10.0, 10.0, true, "is not an angle between -10 and 10 degrees");
    if (profile_.zeroShift >= 10.0) BadValue(name, option.value, "is not an angle between -10 and 10 degrees");
  } else if (name == "--index-tolerance") {
    refine.tolerance = NumberIn(option, 0.0, 10.0, true, "is not an angle above 0 and at most 10 degrees");
  } else if (name == "--peak-threshold") {
    peaks.threshold = NumberIn(option, 0.0, 1e6, true, "is not a number above 0 (multiples of the noise)");
  } else if (name == "--peak-smoothing") {
    const std::optional<double> value = ParseNumber(option.value);
    PeakSearchOptions check = peaks;
    check.smoothingPoints = value && *value == std::floor(*value) && std::fabs(*value) < 1e6 ? static_cast<int>(*value) : 0;
    if (!CheckPeakSearchOptions(check).empty())
      BadValue(name, option.value,
               "is not an odd number of points from 3 to " + std::to_string(kMaxSmoothingPoints));
    peaks.smoothingPoints = check.smoothingPoints;
  } else {
    return false;
  }
  return true;
}

std::optional<std::array<double, 2>> PowderOptions::Doublet(const ParameterTexts& texts) const {
  if (!doublet_) return std::nullopt;
  if (texts.anodeIndex == kTypedAnodeIndex)
    throw UsageError("option --doublet needs an anode (--anode Mo, Cu, Ni, Co, Fe, Cr or Ag), not a typed wavelength");
  return AnodeKAlphaPair(texts.anodeIndex);
}

double PowderOptions::RefineWavelength(const ParameterTexts& texts, const CalculationInputs& inputs) const {
  const std::optional<std::array<double, 2>> pair = Doublet(texts);
  return pair ? (*pair)[0] : inputs.wavelength;
}

double PowderOptions::SecondWavelength(const ParameterTexts& texts) const {
  const std::optional<std::array<double, 2>> pair = Doublet(texts);
  return pair ? (*pair)[1] : 0.0;
}

ProfileOptions PowderOptions::Profile(const ParameterTexts& texts, const CalculationInputs& inputs) const {
  ProfileOptions profile = profile_;
  profile.doublet = Doublet(texts);
  if (range_) {
    profile.twoThetaMin = (*range_)[0];
    profile.twoThetaMax = (*range_)[1];
    profile.step = (*range_)[2];
  } else {
    profile.step = 0.01;
    profile.twoThetaMin = inputs.thetaLow > 0.0 ? 2.0 * inputs.thetaLow : profile.step;
    profile.twoThetaMax = std::min(2.0 * inputs.thetaHigh, 179.99);
    const std::string problem = CheckProfileOptions(profile);
    if (!problem.empty())
      throw UsageError("option --theta: twice the theta range is no usable 2theta range (" + problem +
                       "); give --two-theta");
  }
  return profile;
}

}  // namespace lumora::cli
