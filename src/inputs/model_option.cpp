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

}  // namespace lumora
