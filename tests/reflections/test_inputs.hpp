// Inputs for tests: the start-up parameters with a few fields changed.
#pragma once

#include <gtest/gtest.h>

#include <string>
#include <variant>

#include "inputs/parameters.hpp"

namespace lumora::testing {

inline CalculationInputs ReadOrFail(const ParameterTexts& texts) {
  auto read = ReadInputs(texts);
  if (const InputError* error = std::get_if<InputError>(&read)) {
    ADD_FAILURE() << error->Message();
    return {};
  }
  return std::get<CalculationInputs>(read);
}

inline CalculationInputs StartupInputs() { return ReadOrFail(StartupParameters()); }

inline CalculationInputs SystemInputs(CrystalSystem system, int loopLimit = 2) {
  ParameterTexts texts = StartupParameters();
  texts.systemIndex = SystemIndex(system);
  texts.groupIndex = DefaultGroupIndex(system);
  for (std::string& loop : texts.loops) loop = std::to_string(loopLimit);
  return ReadOrFail(texts);
}

}  // namespace lumora::testing
