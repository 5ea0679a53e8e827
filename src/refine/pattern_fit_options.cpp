#include "refine/pattern_fit_options.hpp"

#include <algorithm>

#include "common/text.hpp"
#include "refine/orbit_lines.hpp"

namespace lumora {

const NamedInputs& PatternFitOptions::Inputs() {
  using namespace input;
  static const NamedInputs inputs = {&kPatternRefine, &kBackgroundTerms, &kSearch, &kMaxIterations};
  return inputs;
}

bool PatternFitOptions::Apply(const Option& option) {
  using namespace input;
  if (option.name == kPatternRefine.option) {
    if (Trim(option.value).empty()) Refuse(kPatternRefine, option.value);
    refine_ = option.value;
  } else if (option.name == kBackgroundTerms.option) {
    backgroundTerms_ = static_cast<int>(ReadWholeNumber(kBackgroundTerms, option.value));
  } else if (option.name == kSearch.option) {
    searchStarts_ = static_cast<int>(ReadWholeNumber(kSearch, option.value));
  } else if (option.name == kMaxIterations.option) {
    maxIterations_ = static_cast<int>(ReadWholeNumber(kMaxIterations, option.value));
  } else {
    return false;
  }
  return true;
}

PatternFitOptions::Prepared PatternFitOptions::Prepare(const CalculationInputs& inputs, const ProfileOptions& profile,
                                                       const LineOptions& lineOptions, const StructureModel& model,
                                                       const MeasuredPattern& measured) const {
  Prepared prepared;
  WholePatternSetup& setup = prepared.setup;
  CalculationInputs run = inputs;
  run.thetaLow = std::max(0.0, (measured.twoTheta.front() - 2.0) / 2.0);
  run.thetaHigh = std::min(89.9, (measured.twoTheta.back() + 2.0) / 2.0);
  const CalculationResult result = RunCalculation(run);
  if (result.status != RunStatus::Completed) throw UsageError(result.error);
  if (const auto placed = ResolveModel(model, result.lattice); std::holds_alternative<std::string>(placed))
    throw UsageError("option --model: " + std::get<std::string>(placed));
  setup.lattice = result.lattice;
  setup.lines = CompleteOrbitLines(result.records, result.lattice,
                                   LaueClass(result.lattice, GroupAt(inputs.system, inputs.groupIndex)));
  prepared.lines = setup.lines.size();
  setup.wavelength = inputs.wavelength;
  setup.doublet = profile.doublet;
  setup.monochromatorTwoTheta = lineOptions.monochromatorTwoTheta;
  setup.cutWidths = profile.cutWidths;
  setup.measured = measured;
  setup.start.model = model;
  PatternState& p = setup.start.pattern;
  p.zero = profile.zeroShift;
  p.a = inputs.a;
  p.c = inputs.c;
  p.u = profile.u;
  p.v = profile.v;
  p.w = profile.w;
  p.eta = profile.eta;
  p.background.assign(static_cast<std::size_t>(backgroundTerms_), 0.0);
  auto parsed = ParseParameterList(refine_, model, ParameterScope::PowderPattern, backgroundTerms_);
  if (const std::string* error = std::get_if<std::string>(&parsed))
    BadValue(input::kPatternRefine.option, refine_, "names a bad parameter: " + *error);
  setup.free = std::get<std::vector<FreeParameter>>(parsed);
  const bool icosahedral = inputs.system == CrystalSystem::Icosahedral;
  for (const FreeParameter& f : setup.free)
    if (icosahedral && f.members.front().kind == ParameterKind::LatticeC)
      BadValue(input::kPatternRefine.option, refine_, "names c, which the icosahedral system does not have");
  setup.maxIterations = maxIterations_;
  setup.searchStarts = searchStarts_;
  return prepared;
}

}  // namespace lumora
