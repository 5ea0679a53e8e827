// The words the status bar's tooltip shows must say what the rules do: a
// reflection built to fit each sentence is left out, its neighbour is not.
#include "reflections/extinction_text.hpp"

#include <gtest/gtest.h>

#include <array>
#include <string>
#include <vector>

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

TEST(ExtinctionText, IcosahedralRulesNameTheReflectionsLeftOut) {
  // The written rule names the reflections that go: those of its form that
  // meet the equation. Each case: the group, its sentence, reflections of the
  // form meeting it (absent), and of the form or not, failing it (kept).
  struct Case {
    const char* symbol;
    const char* words;
    std::vector<std::array<float, 6>> absent, kept;
  };
  const Case cases[] = {
      {"P235.1", "whose h1 is a multiple of 5, 0 included, are absent",
       {{5, 1, 1, 1, 1, 1}, {0, 1, 1, 1, 1, 1}, {-10, 2, 2, 2, 2, 2}},
       {{3, 1, 1, 1, 1, 1}, {5, 1, 1, 1, 1, 2}}},
      {"I235.1", "whose h1 + 5 h2 is a multiple of 10, 0 included, are absent",
       {{5, 1, 1, 1, 1, 1}, {-5, 1, 1, 1, 1, 1}, {10, 2, 2, 2, 2, 2}},
       {{3, 1, 1, 1, 1, 1}, {2, 2, 2, 2, 2, 2}}},
      {"F235.1", "whose h1 + 5 h2 is a multiple of 10, 0 included, are absent",
       {{5, 1, 1, 1, 1, 1}, {-5, 1, 1, 1, 1, 1}},
       {{3, 1, 1, 1, 1, 1}, {1, 1, 1, 1, 1, 1}}},
      {"Pn-3-5", "whose h5 - h6 is even, 0 included, are absent",
       {{1, 2, -1, -2, 3, 1}, {1, 2, -1, -2, 1, 1}},
       {{1, 2, -1, -2, 2, 1}, {1, 2, 1, -2, 3, 1}}},
      {"Fn-3-5", "whose h5 - h6 is a multiple of 4, 0 included, are absent",
       {{1, 1, -1, -1, 5, 1}, {1, 1, -1, -1, 1, 1}},
       {{1, 1, -1, -1, 3, 1}, {1, 1, -1, -1, 7, 1}}},
  };
  for (const Case& c : cases) {
    const SpaceGroup& group = *FindGroup(c.symbol);
    const std::string text = ExtinctionConditionsText(group);
    EXPECT_NE(text.find(c.words), std::string::npos) << c.symbol << ": " << text;
    for (const auto& h : c.absent) EXPECT_TRUE(IsExtinct(Record(h, kGeneralPlane), group, 6)) << c.symbol << " " << h[0];
    for (const auto& h : c.kept) EXPECT_FALSE(IsExtinct(Record(h, kGeneralPlane), group, 6)) << c.symbol << " " << h[0];
  }
  EXPECT_EQ(IcosahedralRuleMeaning(75), "");
}

TEST(ExtinctionText, GroupsWithoutConditionsSaySo) {
  EXPECT_EQ(ExtinctionConditionsText(*FindGroup("P10/mmm")), "no reflection conditions");
  EXPECT_EQ(ExtinctionConditionsText(*FindGroup("I8")), "I centring: reflections with an odd index sum are absent");
}

}  // namespace
}  // namespace lumora
