#include "reflections/extinction.hpp"

#include <gtest/gtest.h>

#include <initializer_list>

namespace lumora {
namespace {

ReflectionRecord Record(std::initializer_list<int> h, std::int16_t planeClass = 0) {
  ReflectionRecord r;
  std::size_t k = 0;
  for (int v : h) r.h[k++] = static_cast<float>(v);
  r.planeClass = planeClass;
  return r;
}

bool Extinct(const char* symbol, std::initializer_list<int> h, std::int16_t planeClass = 0) {
  const SpaceGroup* group = FindGroup(symbol);
  EXPECT_NE(group, nullptr) << symbol;
  const int nDim = group->system == CrystalSystem::Icosahedral ? 6 : 5;
  return IsExtinct(Record(h, planeClass), *group, nDim);
}

TEST(Extinction, GroupsWithoutConditionsExcludeNothing) {
  for (std::int16_t cls : {kGeneralPlane, kFirstFamily, kSecondFamily}) {
    EXPECT_FALSE(Extinct("P-8", {1, 0, 0, 0, 1}, cls));
    EXPECT_FALSE(Extinct("P10/mmm", {1, 1, 0, 0, 1}, cls));
  }
  EXPECT_FALSE(Extinct("P235", {1, 0, 0, 0, 0, 0}));
  EXPECT_FALSE(Extinct("P235", {1, 2, 3, 4, 5, 7}));
}

TEST(Extinction, Centring) {
  EXPECT_TRUE(Extinct("I235", {1, 0, 0, 0, 0, 0}));
  EXPECT_FALSE(Extinct("I235", {1, 1, 0, 0, 0, 0}));
  EXPECT_TRUE(Extinct("I8", {1, 0, 0, 0, 0}));
  EXPECT_FALSE(Extinct("I8", {1, 0, 0, 0, -1}));

  EXPECT_FALSE(Extinct("F235", {1, 1, 1, 1, 1, 1}));
  EXPECT_FALSE(Extinct("F235", {2, 0, 0, 0, 0, 0}));
  EXPECT_TRUE(Extinct("F235", {1, 0, 0, 0, 0, 0}));
  EXPECT_TRUE(Extinct("F235", {1, 1, 1, 1, 1, 2}));
  EXPECT_TRUE(Extinct("Fm-3-5", {-1, 1, 1, 1, 1, 0}));
}

TEST(Extinction, AxialCodesMatchWholeWordsOnly) {
  // "Oa" must not match inside "Oab" or "Zoa".
  EXPECT_FALSE(Extinct("P8cc", {1, 0, 0, 0, 1}, 0));  // Oab, general plane
  EXPECT_TRUE(Extinct("P8cc", {1, 0, 0, 0, 1}, 1));
  EXPECT_TRUE(Extinct("P8cc", {1, 0, 0, 0, 1}, 2));
  EXPECT_FALSE(Extinct("P-82.1m", {1, 0, 0, 0, 1}, 1));  // Zoa needs h5 = 0
  EXPECT_TRUE(Extinct("P-82.1m", {1, 0, 0, 0, 0}, 1));
  EXPECT_FALSE(Extinct("P-82.1m", {1, 0, 0, 0, 0}, 2));

  EXPECT_TRUE(Extinct("P10.5/mmc", {1, 0, 0, 0, 1}, 2));   // Ob
  EXPECT_FALSE(Extinct("P10.5/mmc", {1, 0, 0, 0, 1}, 1));
  EXPECT_FALSE(Extinct("P10.5/mmc", {1, 0, 0, 0, 2}, 2));
  EXPECT_TRUE(Extinct("P10.5/mcm", {1, 0, 0, 0, -1}, 1));  // Oa, negative odd h5

  // "Oea": even sum, class 1, odd h5; "Eoa": even h5, class 1, odd sum.
  EXPECT_TRUE(Extinct("P8nc", {1, 0, 0, 0, 1}, 1));
  EXPECT_TRUE(Extinct("P8nc", {1, 0, 0, 0, 2}, 1));
  EXPECT_FALSE(Extinct("P8.4nm", {2, 0, 0, 0, 2}, 1));

  // "Zo": h5 = 0 with an odd sum; negative odd indices are odd.
  EXPECT_TRUE(Extinct("P8/n", {-1, 0, 0, 0, 0}));
  EXPECT_FALSE(Extinct("P8/n", {-1, 0, 0, 0, 1}));

  // "Aoa" is shown but excludes nothing.
  EXPECT_FALSE(Extinct("P-8b2", {1, 0, 0, 0, 0}, 1));
  EXPECT_FALSE(Extinct("P-8b2", {1, 0, 0, 0, 1}, 2));
}

TEST(Extinction, CentringThenRules) {
  // Even sum passes the I test, then "Ob" removes it.
  EXPECT_TRUE(Extinct("I-82c", {1, 0, 0, 0, 1}, 2));
  EXPECT_FALSE(Extinct("I-82c", {1, 1, 0, 0, 2}, 2));
}

TEST(Extinction, IcosahedralRules) {
  EXPECT_TRUE(Extinct("P235.1", {5, 1, 1, 1, 1, 1}));
  EXPECT_TRUE(Extinct("P235.1", {0, 1, 1, 1, 1, 1}));
  EXPECT_FALSE(Extinct("P235.1", {3, 1, 1, 1, 1, 1}));
  EXPECT_FALSE(Extinct("P235.1", {5, 1, 1, 1, 1, 2}));

  EXPECT_TRUE(Extinct("I235.1", {5, 1, 1, 1, 1, 1}));   // S = 10, then 5 + 5 = 10
  EXPECT_FALSE(Extinct("I235.1", {1, 1, 1, 1, 1, 1}));  // S even, 1 + 5 = 6
  EXPECT_TRUE(Extinct("F235.1", {5, 1, 1, 1, 1, 1}));

  EXPECT_TRUE(Extinct("Pn-3-5", {1, 2, -1, -2, 3, 1}));
  EXPECT_FALSE(Extinct("Pn-3-5", {1, 2, -1, -2, 2, 1}));
  EXPECT_FALSE(Extinct("Pn-3-5", {1, 2, 1, -2, 3, 1}));

  EXPECT_TRUE(Extinct("Fn-3-5", {1, 1, -1, -1, 5, 1}));
  EXPECT_FALSE(Extinct("Fn-3-5", {1, 1, -1, -1, 3, 1}));
}

TEST(Extinction, LargeIndicesDoNotOverflowTheSum) {
  EXPECT_TRUE(Extinct("I8", {32767, 32767, 32767, 32767, 1}));
  EXPECT_FALSE(Extinct("I8", {32767, 32767, 32767, 32767, 0}));
}

TEST(SpaceGroups, TableAndLists) {
  EXPECT_EQ(AllSpaceGroups().size(), 85u);
  EXPECT_EQ(GroupsOf(CrystalSystem::Octagonal).size(), 49u);
  EXPECT_EQ(GroupsOf(CrystalSystem::Decagonal).size(), 15u);
  EXPECT_EQ(GroupsOf(CrystalSystem::Dodecagonal).size(), 10u);
  EXPECT_EQ(GroupsOf(CrystalSystem::Icosahedral).size(), 11u);
  for (const SpaceGroup& g : AllSpaceGroups()) EXPECT_EQ(&GroupAt(g.system, g.listIndex), &g);

  EXPECT_EQ(GroupAt(CrystalSystem::Octagonal, DefaultGroupIndex(CrystalSystem::Octagonal)).symbol, "P8/mmm");
  EXPECT_EQ(GroupAt(CrystalSystem::Decagonal, DefaultGroupIndex(CrystalSystem::Decagonal)).symbol, "P10/mmm");
  EXPECT_EQ(GroupAt(CrystalSystem::Dodecagonal, DefaultGroupIndex(CrystalSystem::Dodecagonal)).symbol, "P12/mmm");
  EXPECT_EQ(GroupAt(CrystalSystem::Icosahedral, DefaultGroupIndex(CrystalSystem::Icosahedral)).symbol, "P235");
  EXPECT_EQ(GroupAt(CrystalSystem::Decagonal, kStartGroupIndex).symbol, "P10.5/mmc");
  EXPECT_EQ(GroupAt(CrystalSystem::Decagonal, kStartGroupIndex).number, 63);
  EXPECT_THROW(GroupAt(CrystalSystem::Decagonal, 15), std::out_of_range);

  EXPECT_EQ(ExtinctionStatusText(*FindGroup("P8nc")), "extinction rules: Oea Ob Eoa ");
  EXPECT_EQ(ExtinctionStatusText(*FindGroup("P-8")), "extinction rules: ");
  EXPECT_EQ(FindGroup("P235.1")->rules, "h1=5n for h1 h2 h2 h2 h2 h2 ");
  EXPECT_EQ(FindGroup("nonsense"), nullptr);
}

}  // namespace
}  // namespace lumora
