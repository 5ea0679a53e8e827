#include "inputs/settings_file.hpp"

#include <gtest/gtest.h>

namespace lumora {
namespace {

StoredSettings Loaded(const std::string& text, int* applied = nullptr) {
  StoredSettings settings;
  const int n = ApplySettingsText(text, settings);
  if (applied) *applied = n;
  return settings;
}

TEST(SettingsFile, WritesSixteenCrLfLines) {
  StoredSettings settings;
  EXPECT_EQ(SettingsText(settings),
            "1\r\n13\r\nTrue\r\n2.82\r\n12.06\r\n2\r\n2\r\n2\r\n2\r\n2\r\n2\r\n0\r\n1.0\r\n30.0\r\n1.0\r\n"
            "0   2   2   1   0\r\n");
}

TEST(SettingsFile, RoundTripKeepsEveryStoredInput) {
  StoredSettings settings;
  ParameterTexts& p = settings.parameters;
  p.systemIndex = 3;
  p.groupIndex = 10;
  p.yamamoto = false;
  p.a = "5,1";  // a comma stays in its own field
  p.c = "8";
  p.loops = {"1", "2", "3", "4", "5", "6"};
  p.anodeIndex = 7;
  p.wavelength = "1.2345";  // typed with "US": not stored
  p.thetaMin = " 2";
  p.thetaMax = "60,5";
  p.qiMax = "0.5";
  settings.findText = "1 0 0 0 0 0";

  int applied = 0;
  const StoredSettings back = Loaded(SettingsText(settings), &applied);
  EXPECT_EQ(applied, 16);
  EXPECT_EQ(back.parameters.systemIndex, 3);
  EXPECT_EQ(back.parameters.groupIndex, 10);
  EXPECT_FALSE(back.parameters.yamamoto);
  EXPECT_EQ(back.parameters.a, "5,1");
  EXPECT_EQ(back.parameters.c, "8");
  EXPECT_EQ(back.parameters.loops, p.loops);
  EXPECT_EQ(back.parameters.anodeIndex, 7);
  EXPECT_EQ(back.parameters.wavelength, "1.541878");  // the Cu value "US" starts from
  EXPECT_EQ(back.parameters.thetaMin, "2");            // blanks around a value are dropped
  EXPECT_EQ(back.parameters.thetaMax, "60,5");
  EXPECT_EQ(back.findText, "1 0 0 0 0 0");
}

TEST(SettingsFile, AnythingButTrueSelectsSteurer) {
  for (const char* line : {"False", "", "true", "yes"})
    EXPECT_FALSE(Loaded(std::string("1\r\n13\r\n") + line + "\r\n").parameters.yamamoto) << line;
  EXPECT_TRUE(Loaded("1\r\n13\r\nTrue\r\n").parameters.yamamoto);
  EXPECT_TRUE(Loaded("1\r\n13\r\n \"True\" \r\n").parameters.yamamoto);
}

TEST(SettingsFile, StopsSilentlyAtTheFirstUnusableField) {
  int applied = 0;
  StoredSettings s = Loaded("", &applied);
  EXPECT_EQ(applied, 0);
  EXPECT_EQ(s.parameters.systemIndex, 1);

  // System applied as a click would: its default group until line 2 says otherwise.
  s = Loaded("0\r\n", &applied);
  EXPECT_EQ(applied, 1);
  EXPECT_EQ(s.parameters.systemIndex, 0);
  EXPECT_EQ(s.parameters.groupIndex, 31);

  // A group index outside the system's list ends the loading; later lines are not read.
  s = Loaded("2\r\n10\r\nFalse\r\n9.9\r\n", &applied);
  EXPECT_EQ(applied, 1);
  EXPECT_EQ(s.parameters.groupIndex, 7);
  EXPECT_TRUE(s.parameters.yamamoto);
  EXPECT_EQ(s.parameters.a, "2.82");

  s = Loaded("1\r\n13\r\nTrue\r\n3\r\n4\r\n1\r\n1\r\n1\r\n1\r\n1\r\n1\r\n8\r\n0\r\n", &applied);
  EXPECT_EQ(applied, 11);  // anode 8 does not exist
  EXPECT_EQ(s.parameters.a, "3");
  EXPECT_EQ(s.parameters.anodeIndex, 0);
  EXPECT_EQ(s.parameters.thetaMin, "1.0");

  // The end of the file is the end of the fields: no empty field after the last line break.
  s = Loaded("1\r\n13\r\nFalse\r\n", &applied);
  EXPECT_EQ(applied, 3);
  EXPECT_EQ(s.parameters.a, "2.82");

  s = Loaded("abc\r\n", &applied);
  EXPECT_EQ(applied, 0);
}

TEST(SettingsFile, ToleratesLineEndsAndQuotes) {
  int applied = 0;
  const StoredSettings s = Loaded(
      "0\n31\nTrue\n\"2,82\"\n12.06\n2\n2\n2\n2\n2\n2\n 1 \n1.0\n30.0\n1.0\n\"0 2 2 1 0\"", &applied);
  EXPECT_EQ(applied, 16);
  EXPECT_EQ(s.parameters.a, "2,82");
  EXPECT_EQ(s.parameters.anodeIndex, 1);
  EXPECT_EQ(s.parameters.wavelength, "1.541878");
  EXPECT_EQ(s.findText, "0 2 2 1 0");

  // Anything after the sixteenth line is not read.
  const StoredSettings longer = Loaded(SettingsText(StoredSettings{}) + "1 1 1 1 1\r\n", &applied);
  EXPECT_EQ(applied, 16);
  EXPECT_EQ(longer.findText, StoredSettings{}.findText);
}

}  // namespace
}  // namespace lumora
