// The refinements' named inputs against the refinements' own defaults.
#include <gtest/gtest.h>

#include "intensity/model_file.hpp"
#include "inputs/input_reading.hpp"
#include "inputs/named_inputs.hpp"
#include "refine/internal_map.hpp"
#include "refine/refine_parameters.hpp"
#include "refine/structure_refinement.hpp"

namespace lumora {
namespace {

TEST(RefinementInputs, DefaultsAreTheRefinementsOwn) {
  using namespace input;
  const RefinementSetup setup;
  EXPECT_EQ(DefaultNumber(kMaxIterations), setup.maxIterations);
  EXPECT_EQ(DefaultNumber(kSearch), setup.searchStarts);
  EXPECT_EQ(DefaultNumber(kMapSize), MapRequest{}.pixels);
  EXPECT_EQ(ChoiceIndex(kMapSource, kMapSource.defaultText), std::size_t{0});  // observed, as MapRequest{}
  EXPECT_EQ(MapRequest{}.source, MapSource::Observed);
  EXPECT_EQ(DefaultNumber(kExtinction), ModelState{}.extinction);
  // The pattern fit's default list names every pattern parameter, and the
  // background's default terms are the Chebyshev terms it sets up.
  const StructureModel model = *BuiltinModel("penrose");
  const auto list = ParseParameterList(kPatternRefine.defaultText, model, ParameterScope::PowderPattern,
                                       static_cast<int>(DefaultNumber(kBackgroundTerms)));
  ASSERT_TRUE(std::holds_alternative<std::vector<FreeParameter>>(list));
  EXPECT_EQ(std::get<std::vector<FreeParameter>>(list).size(), 8u + 3u);
}

}  // namespace
}  // namespace lumora
