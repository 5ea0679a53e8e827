// The words the status bar's tooltip shows must say what the rules do: a
// reflection built to fit each sentence is left out, its neighbour is not.
#include "reflections/extinction_text.hpp"

#include <gtest/gtest.h>

#include "reflections/extinction.hpp"

namespace lumora {
namespace {

ReflectionRecord Record(std::array<float, 6> h, std::int16_t planeClass) {
  ReflectionRecord r;
  r.h = h;
  r.planeClass = planeClass;
  return r;
}

TEST(ExtinctionText, EachSentenceDescribesWhatTheGroupLeavesOut) {
  // "Ob": second-family direction, h5 odd.
  const SpaceGroup& ob = *FindGroup("P10.5/mmc");
  EXPECT_NE(ExtinctionConditionsText(ob).find("Ob: reflections on a second-family direction with h5 odd"),
            std::string::npos);
  EXPECT_TRUE(IsExtinct(Record({1, 0, 0, 0, 1, 0}, kSecondFamily), ob, 5));
  EXPECT_FALSE(IsExtinct(Record({1, 0, 0, 0, 2, 0}, kSecondFamily), ob, 5));
  EXPECT_FALSE(IsExtinct(Record({1, 0, 0, 0, 1, 0}, kFirstFamily), ob, 5));
  // "Zo": h5 = 0 and an odd index sum.
  const SpaceGroup& zo = *FindGroup("P8/n");
  EXPECT_NE(ExtinctionConditionsText(zo).find("Zo: reflections with h5 = 0 and an odd index sum"), std::string::npos);
  EXPECT_TRUE(IsExtinct(Record({1, 0, 0, 0, 0, 0}, kGeneralPlane), zo, 5));
  EXPECT_FALSE(IsExtinct(Record({1, 1, 0, 0, 0, 0}, kGeneralPlane), zo, 5));
  // "Eoa": first family, h5 even, odd sum.
  const SpaceGroup& eoa = *FindGroup("P8.4nm");
  EXPECT_TRUE(IsExtinct(Record({1, 0, 0, 0, 2, 0}, kFirstFamily), eoa, 5));
  EXPECT_NE(ExtinctionConditionsText(eoa).find("Eoa: reflections on a first-family direction with h5 even and an odd"),
            std::string::npos);
  // "Aoa" says it leaves nothing out, and it does not.
  EXPECT_EQ(ExtinctionCodeMeaning("Aoa"), "listed for the group, but leaves no reflection out");
  EXPECT_EQ(ExtinctionCodeMeaning("Xy"), "");
}

TEST(ExtinctionText, GroupsWithoutConditionsSaySo) {
  EXPECT_EQ(ExtinctionConditionsText(*FindGroup("P10/mmm")), "no reflection conditions");
  EXPECT_EQ(ExtinctionConditionsText(*FindGroup("I8")), "I centring: reflections with an odd index sum are absent");
}

}  // namespace
}  // namespace lumora
