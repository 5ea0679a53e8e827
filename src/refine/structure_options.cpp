#include "refine/structure_options.hpp"

#include <algorithm>

#include "common/text.hpp"
#include "inputs/model_option.hpp"
#include "refine/merging.hpp"

namespace lumora {

const NamedInputs& StructureOptions::Inputs() {
  using namespace input;
  static const NamedInputs inputs = {&kModel,  &kReflections,   &kStructureRefine, &kStartScale, &kExtinction,
                                     &kWeight, &kNoMerge,       &kMaxIterations,   &kSearch,     &kMapAt,
                                     &kMapSource, &kMapSize,    &kMapWidth};
  return inputs;
}

bool StructureOptions::Apply(const Option& option) {
  using namespace input;
  const std::string& name = option.name;
  if (name == kModel.option) {
    if (Trim(option.value).empty()) Refuse(kModel, option.value);
    model_ = option.value;
  } else if (name == kReflections.option) {
    reflections_ = ReadFileName(kReflections, option.value);
  } else if (name == kMapAt.option) {
    if (Trim(option.value).empty()) Refuse(kMapAt, option.value);
    mapAt_ = option.value;
  } else if (name == kStructureRefine.option) {
    if (Trim(option.value).empty()) Refuse(kStructureRefine, option.value);
    refine_ = option.value;
  } else if (name == kStartScale.option) {
    scale_ = ReadNumber(kStartScale, option.value);
  } else if (name == kExtinction.option) {
    extinction_ = ReadNumber(kExtinction, option.value);
  } else if (name == kWeight.option) {
    const std::vector<double> v = ReadNumbers(kWeight, option.value, 2);
    if (!kWeight.range.Contains(v[0]) || !kWeight.range.Contains(v[1])) Refuse(kWeight, option.value);
    weighting_ = {v[0], v[1]};
  } else if (name == kMaxIterations.option) {
    maxIterations_ = static_cast<int>(ReadWholeNumber(kMaxIterations, option.value));
  } else if (name == kSearch.option) {
    searchStarts_ = static_cast<int>(ReadWholeNumber(kSearch, option.value));
  } else if (name == kMapSource.option) {
    const std::string source = ReadChoice(kMapSource, option.value);
    map_.source = source == "observed" ? MapSource::Observed : source == "calculated" ? MapSource::Calculated
                                                                                      : MapSource::Difference;
  } else if (name == kMapSize.option) {
    map_.pixels = static_cast<int>(ReadWholeNumber(kMapSize, option.value));
  } else if (name == kMapWidth.option) {
    map_.halfWidth = ReadNumber(kMapWidth, option.value);
  } else if (name == kNoMerge.option) {
    merge_ = false;
  } else {
    return false;
  }
  return true;
}

std::optional<MapRequest> StructureOptions::Map(const StructureModel& model) const {
  if (!mapAt_) return std::nullopt;
  if (std::none_of(model.sites.begin(), model.sites.end(), [&](const Site& s) { return s.label == *mapAt_; }))
    BadValue(input::kMapAt.option, *mapAt_, "is not a site of the model");
  MapRequest request = map_;
  request.site = *mapAt_;
  return request;
}

StructureOptions::Prepared StructureOptions::Prepare(const CalculationInputs& inputs,
                                                     const std::vector<Observation>* given) const {
  using namespace input;
  if (!model_) throw UsageError("option --model is needed: the start model (a built-in name or a model file)");
  if (!reflections_ && !given) throw UsageError("option --reflections is needed: the measured reflections (text or CIF)");
  const std::optional<StructureModel> model = ModelOption(model_);
  Prepared prepared;
  RefinementSetup& setup = prepared.setup;
  setup.lattice = SetupLattice(inputs.system, inputs.a, inputs.system == CrystalSystem::Icosahedral ? 1.0 : inputs.c,
                               inputs.yamamoto);
  setup.wavelength = inputs.wavelength;
  if (const auto placed = ResolveModel(*model, setup.lattice); std::holds_alternative<std::string>(placed))
    throw UsageError("option --model: " + std::get<std::string>(placed));
  setup.start = {*model, scale_.value_or(1.0), extinction_, {}};
  auto parsed = ParseParameterList(refine_, *model);
  if (const std::string* error = std::get_if<std::string>(&parsed))
    BadValue(kStructureRefine.option, refine_, "names a bad parameter: " + *error);
  setup.free = std::get<std::vector<FreeParameter>>(parsed);
  // Without --scale the scale is refined whether listed or not: it has no value of its own.
  const bool scaleListed = std::any_of(setup.free.begin(), setup.free.end(), [](const FreeParameter& f) {
    return f.members.front().kind == ParameterKind::Scale;
  });
  if (!scaleListed && !scale_) setup.free.insert(setup.free.begin(), FreeParameter{{{ParameterKind::Scale, -1}}});
  std::variant<std::vector<Observation>, std::string> loaded;
  if (!given) loaded = LoadObservations(*reflections_, setup.lattice.nDim);
  if (const std::string* error = std::get_if<std::string>(&loaded)) throw UsageError("option --reflections: " + *error);
  const auto& observations = given ? *given : std::get<std::vector<Observation>>(loaded);
  if (merge_) {
    prepared.group = LaueClass(setup.lattice, GroupAt(inputs.system, inputs.groupIndex));
    setup.data = MergeObservations(observations, *prepared.group, setup.lattice.nDim);
  } else {
    setup.data = KeepObservations(observations);
  }
  setup.weighting = weighting_;
  setup.maxIterations = maxIterations_;
  setup.searchStarts = searchStarts_;
  prepared.dataName = reflections_.value_or("");
  return prepared;
}

}  // namespace lumora
