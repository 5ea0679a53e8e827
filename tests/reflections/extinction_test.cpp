// The whole table and every group's verdicts are checked against the reference
// values (tests/reference); these are the cases the reference does not reach.
#include "reflections/extinction.hpp"

#include <gtest/gtest.h>

#include <stdexcept>

namespace lumora {
namespace {

TEST(Extinction, LargeIndicesDoNotOverflowTheSum) {
  const SpaceGroup& i8 = *FindGroup("I8");
  ReflectionRecord r;
  r.h = {32767, 32767, 32767, 32767, 1, 0};
  EXPECT_TRUE(IsExtinct(r, i8, 5));
  r.h[4] = 0;
  EXPECT_FALSE(IsExtinct(r, i8, 5));
}

TEST(SpaceGroups, UnknownGroupsAreRefused) {
  EXPECT_THROW(GroupAt(CrystalSystem::Decagonal, 15), std::out_of_range);
  EXPECT_THROW(GroupAt(CrystalSystem::Octagonal, -1), std::out_of_range);
  EXPECT_EQ(FindGroup("nonsense"), nullptr);
}

}  // namespace
}  // namespace lumora
