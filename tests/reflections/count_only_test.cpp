// Counting a run without keeping its records, as the window does before it
// asks about a large run: the count equals the length of the real run's list.
#include <gtest/gtest.h>

#include "reflections/calculation.hpp"
#include "inputs/parameters.hpp"

namespace lumora {
namespace {

TEST(CountOnly, CountsWhatTheRunKeepsInBothWalks) {
  for (int system = 0; system < 4; ++system) {
    ParameterTexts texts = StartupParameters();
    texts.systemIndex = system;
    texts.groupIndex = 0;
    texts.thetaMax = "60";
    texts.loops = {"3", "3", "3", "3", "3", "3"};
    const auto inputs = std::get<CalculationInputs>(ReadInputs(texts));
    const CalculationResult run = RunCalculation(inputs);
    ASSERT_EQ(run.status, RunStatus::Completed);
    ASSERT_GT(run.records.size(), 100u);
    EXPECT_EQ(run.kept, run.records.size());
    for (WalkAlgorithm walk : {WalkAlgorithm::Bounded, WalkAlgorithm::Box}) {
      RunControl control;
      control.algorithm = walk;
      control.countOnly = true;
      const CalculationResult counted = RunCalculation(inputs, control);
      EXPECT_EQ(counted.status, RunStatus::Completed);
      EXPECT_EQ(counted.kept, run.records.size()) << "system " << system;
      EXPECT_TRUE(counted.records.empty());
    }
  }
}

}  // namespace
}  // namespace lumora
