#include "cli/structure_options.hpp"

#include <algorithm>
#include <cmath>

#include "common/number_text.hpp"
#include "common/text.hpp"
#include "intensity/model_file.hpp"
#include "refine/merging.hpp"

namespace lumora::cli {
namespace {

double NumberOption(const Option& option, double low, double high, const std::string& problem) {
  const std::optional<double> value = ParseNumber(option.value);
  if (!value || !(*value >= low && *value <= high)) BadValue(option.name, option.value, problem);
  return *value;
}

}  // namespace

const std::set<std::string>& StructureOptions::Names() {
  static const std::set<std::string> names = {"--model",      "--reflections", "--refine",     "--scale",
                                              "--extinction", "--weight",      "--max-iterations", "--search",
                                              "--map-at",     "--map-source",  "--map-size",   "--map-width"};
  return names;
}

const std::set<std::string>& StructureOptions::Flags() {
  static const std::set<std::string> flags = {"--no-merge"};
  return flags;
}

bool StructureOptions::Apply(const Option& option) {
  const std::string& name = option.name;
  if (name == "--model" || name == "--reflections" || name == "--map-at") {
    if (Trim(option.value).empty()) BadValue(name, option.value, name == "--map-at" ? "is not a site label" : "is not a file name");
    (name == "--model" ? model_ : name == "--reflections" ? reflections_ : mapAt_) = option.value;
  } else if (name == "--refine") {
    if (Trim(option.value).empty()) BadValue(name, option.value, "is not a list of parameters");
    refine_ = option.value;
  } else if (name == "--scale") {
    scale_ = NumberOption(option, 1e-300, 1e300, "is not a scale above 0");
  } else if (name == "--extinction") {
    extinction_ = NumberOption(option, 0.0, 1e300, "is not an extinction parameter of 0 or above");
  } else if (name == "--weight") {
    const std::vector<std::string> parts = SplitCommas(option.value);
    const std::optional<double> a = parts.size() == 2 ? ParseNumber(parts[0]) : std::nullopt;
    const std::optional<double> b = parts.size() == 2 ? ParseNumber(parts[1]) : std::nullopt;
    if (!a || !b || *a < 0.0 || *b < 0.0) BadValue(name, option.value, "must be A,B: two numbers of 0 or above");
    weighting_ = {*a, *b};
  } else if (name == "--max-iterations") {
    maxIterations_ = static_cast<int>(WholeNumberOption(option, 1, 10000));
  } else if (name == "--search") {
    searchStarts_ = static_cast<int>(WholeNumberOption(option, 0, 1000));
  } else if (name == "--map-source") {
    const std::string v = option.value;
    if (v == "observed") map_.source = MapSource::Observed;
    else if (v == "calculated") map_.source = MapSource::Calculated;
    else if (v == "difference") map_.source = MapSource::Difference;
    else BadValue(name, option.value, "is not observed, calculated or difference");
  } else if (name == "--map-size") {
    map_.pixels = static_cast<int>(WholeNumberOption(option, 16, 1024));
  } else if (name == "--map-width") {
    map_.halfWidth = NumberOption(option, 1e-3, 1e3, "is not a half width from 0.001 to 1000 A");
  } else if (name == "--no-merge") {
    merge_ = false;
  } else {
    return false;
  }
  return true;
}

std::optional<MapRequest> StructureOptions::Map() const {
  if (!mapAt_) return std::nullopt;
  MapRequest request = map_;
  request.site = *mapAt_;
  return request;
}

StructureOptions::Prepared StructureOptions::Prepare(const CalculationInputs& inputs,
                                                     const std::vector<Observation>* given) const {
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
  if (const std::string* error = std::get_if<std::string>(&parsed)) BadValue("--refine", refine_, "names a bad parameter: " + *error);
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

}  // namespace lumora::cli
