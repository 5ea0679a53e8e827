#include "inputs/model_option.hpp"

#include <variant>

#include "inputs/input_reading.hpp"
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

}  // namespace lumora
