#include "powder/powder_options.hpp"

#include <algorithm>
#include <cmath>

namespace lumora {

const NamedInputs& PowderOptions::Inputs() {
  using namespace input;
  static const NamedInputs inputs = {&kTolerance,     &kMonochromator, &kTwoTheta, &kCaglioti,       &kEta,
                                     &kCut,           &kRefine,        &kIndex,    &kIndexTolerance, &kARange,
                                     &kCRange,        &kWavelengthModel, &kPeakThreshold, &kPeakSmoothing, &kZero,
                                     &kDoublet};
  return inputs;
}

const std::set<std::string>& PowderOptions::Names() {
  static const std::set<std::string> names = ValuedOptions(Inputs());
  return names;
}

const std::set<std::string>& PowderOptions::Flags() {
  static const std::set<std::string> flags = FlagOptions(Inputs());
  return flags;
}

bool PowderOptions::Apply(const Option& option) {
  using namespace input;
  const std::string& name = option.name;
  if (name == kTolerance.option) {
    lines.tolerance = ReadNumber(kTolerance, option.value);
  } else if (name == kMonochromator.option) {
    lines.monochromatorTwoTheta = ReadNumber(kMonochromator, option.value);
  } else if (name == kTwoTheta.option) {
    const std::vector<double> v = ReadNumbers(kTwoTheta, option.value, 3);
    ProfileOptions check;
    check.twoThetaMin = v[0];
    check.twoThetaMax = v[1];
    check.step = v[2];
    const std::string problem = CheckProfileOptions(check);
    if (!problem.empty()) BadValue(name, option.value, "is not a usable range: " + problem);
    range_ = std::array<double, 3>{v[0], v[1], v[2]};
  } else if (name == kCaglioti.option) {
    const std::vector<double> v = ReadNumbers(kCaglioti, option.value, 3);
    ProfileOptions check;
    check.u = v[0];
    check.v = v[1];
    check.w = v[2];
    if (const std::string problem = CheckProfileOptions(check); !problem.empty()) BadValue(name, option.value, problem);
    profile_.u = v[0];
    profile_.v = v[1];
    profile_.w = v[2];
  } else if (name == kEta.option) {
    profile_.eta = ReadNumber(kEta, option.value);
  } else if (name == kCut.option) {
    profile_.cutWidths = ReadNumber(kCut, option.value);
  } else if (name == kDoublet.option) {
    doublet_ = true;
  } else if (name == kRefine.option) {
    indexing.refineA = indexing.refineC = indexing.refineZero = cRequested = false;
    for (const std::string& part : SplitCommas(option.value)) {
      const std::optional<std::size_t> which = ChoiceIndex(kRefine, part);
      bool* slot = !which                ? nullptr
                   : *which == 0         ? &indexing.refineA
                   : *which == 1         ? &indexing.refineC
                                         : &indexing.refineZero;
      if (!slot || *slot) Refuse(kRefine, option.value);
      *slot = true;
      cRequested = cRequested || *which == 1;
    }
    refineGiven = true;
  } else if (name == kIndex.option) {
    indexing.abInitio = refineGiven = true;
  } else if (name == kARange.option || name == kCRange.option) {
    const NamedInput& input = name == kARange.option ? kARange : kCRange;
    const std::vector<double> v = ReadNumbers(input, option.value, 2);
    if (!input.range.Contains(v[0]) || !input.range.Contains(v[1]) || !(v[0] < v[1])) Refuse(input, option.value);
    (name == kARange.option ? indexing.aLow : indexing.cLow) = v[0];
    (name == kARange.option ? indexing.aHigh : indexing.cHigh) = v[1];
  } else if (name == kWavelengthModel.option) {
    wavelengthModel = ReadChoice(kWavelengthModel, option.value) == "ka1" ? WavelengthModel::KAlpha1
                                                                           : WavelengthModel::Doublet;
  } else if (name == kZero.option) {
    // The instrument's zero: where the simulated pattern lies, and the indexing's start.
    profile_.zeroShift = indexing.zero = ReadNumber(kZero, option.value);
  } else if (name == kIndexTolerance.option) {
    indexing.tolerance = ReadNumber(kIndexTolerance, option.value);
  } else if (name == kPeakThreshold.option) {
    peaks.threshold = ReadNumber(kPeakThreshold, option.value);
  } else if (name == kPeakSmoothing.option) {
    const std::int64_t points = ReadWholeNumber(kPeakSmoothing, option.value);
    if (points % 2 == 0) Refuse(kPeakSmoothing, option.value);
    peaks.smoothingPoints = static_cast<int>(points);
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

WavelengthSetup PowderOptions::Wavelengths(const ParameterTexts& texts, const CalculationInputs& inputs) const {
  return MakeWavelengthSetup(texts.anodeIndex, wavelengthModel, inputs.wavelength);
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

}  // namespace lumora
