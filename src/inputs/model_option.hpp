// The structure model a front end names (--model, model=): a built-in name or
// a model file.
#pragma once

#include <optional>
#include <string>

#include "intensity/structure_model.hpp"

namespace lumora {

// The model nameOrPath names, or none when it is not given; a UsageError says
// why a named one cannot be had.
std::optional<StructureModel> ModelOption(const std::optional<std::string>& nameOrPath);

}  // namespace lumora
