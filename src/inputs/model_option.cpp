#include "inputs/model_option.hpp"

#include <variant>

#include "intensity/model_file.hpp"

namespace lumora {

std::optional<StructureModel> ModelOption(const std::optional<std::string>& nameOrPath) {
  if (!nameOrPath) return std::nullopt;
  ReadFileName(input::kModel, *nameOrPath);
  auto found = FindModel(*nameOrPath);
  if (const std::string* error = std::get_if<std::string>(&found))
    throw UsageError("option " + std::string(input::kModel.option) + ": " + *error);
  return std::get<StructureModel>(std::move(found));
}

const NamedInputs& ModelOptions::Inputs() {
  static const NamedInputs inputs = {&input::kModel, &input::kMinIntensity};
  return inputs;
}

bool ModelOptions::Apply(const Option& option) {
  if (option.name == input::kModel.option) {
    name_ = ReadFileName(input::kModel, option.value);
  } else if (option.name == input::kMinIntensity.option) {
    minIntensity_ = ReadNumber(input::kMinIntensity, option.value);
  } else {
    return false;
  }
  return true;
}

std::optional<StructureModel> ModelOptions::Model() const {
  if (minIntensity_ && !name_)
    throw UsageError("option " + std::string(input::kMinIntensity.option) + " needs " +
                     std::string(input::kModel.option));
  return ModelOption(name_);
}

std::string ModelOptions::Label(const StructureModel& model) const {
  return model.name.empty() ? name_.value_or("") : model.name;
}

IntensityResult ModelIntensities(const StructureModel& model, const std::string& label, const CalculationResult& run,
                                 const Radiation& radiation, double maxSeconds, std::chrono::steady_clock::time_point started,
                                 const std::atomic<bool>* cancel) {
  const auto resolved = ResolveModel(model, run.lattice);
  if (const std::string* error = std::get_if<std::string>(&resolved))
    throw UsageError("option " + std::string(input::kModel.option) + ": " + *error);
  IntensityResult intensities;
  intensities.model = label;
  IntensityControl control;
  control.cancel = cancel;
  if (maxSeconds > 0.0)
    control.deadline = started + std::chrono::duration_cast<std::chrono::steady_clock::duration>(
                                     std::chrono::duration<double>(maxSeconds));
  switch (ComputeIntensities(std::get<ResolvedModel>(resolved), run.lattice, run.records, radiation, intensities, control)) {
    case IntensityStatus::Completed: return intensities;
    case IntensityStatus::TimedOut: throw RunError(TooLongMessage(maxSeconds));
    case IntensityStatus::Cancelled: throw RunError("the intensities were cancelled");
    case IntensityStatus::NotFinite: break;
  }
  throw RunError(intensities.error);
}

}  // namespace lumora
