#include "inputs/parameters.hpp"

#include <gtest/gtest.h>

namespace lumora {
namespace {

TEST(Anodes, WavelengthsAndTheirTexts) {
  const char* expected[] = {"0.7106867", "1.541878", "1.659113", "1.790197",
                            "1.937283",  "2.29092",  "0.5608337", "1.541878"};
  for (int i = 0; i < kAnodeCount; ++i) EXPECT_EQ(AnodeWavelengthText(i), expected[i]) << AnodeSymbol(i);
  // (2 K-alpha1 + K-alpha2) / 3 from the single-precision table values.
  const char* symbols[] = {"Mo", "Cu", "Ni", "Co", "Fe", "Cr", "Ag", "US"};
  const float table[][2] = {{0.70926f, 0.71354f},   {1.5405982f, 1.544438f}, {1.65783f, 1.66168f},
                            {1.7889f, 1.79279f},    {1.93597f, 1.93991f},    {2.28962f, 2.29352f},
                            {0.559363f, 0.563775f}, {1.5405982f, 1.544438f}};
  for (int i = 0; i < kAnodeCount; ++i) {
    EXPECT_EQ(AnodeSymbol(i), symbols[i]);
    EXPECT_EQ(AnodeWavelength(i), static_cast<float>((2.0 * double(table[i][0]) + double(table[i][1])) / 3.0));
  }
  EXPECT_EQ(FindAnode("cu"), 1);
  EXPECT_EQ(FindAnode("US"), kTypedAnodeIndex);
  EXPECT_FALSE(FindAnode("Xx").has_value());
  EXPECT_THROW(AnodeWavelength(8), std::out_of_range);
}

TEST(LoopLimits, ArrowsStepWithinZeroToTwenty) {
  EXPECT_EQ(StepLoopLimit("0", false), "0");
  EXPECT_EQ(StepLoopLimit("20", true), "20");
  EXPECT_EQ(StepLoopLimit("25", true), "20");
  EXPECT_EQ(StepLoopLimit("25", false), "24");  // typed values above 20 step down freely
  EXPECT_EQ(StepLoopLimit("abc", true), "1");
  EXPECT_EQ(StepLoopLimit("2.5", true), "4");   // 3.5 rounds half to even
  EXPECT_EQ(StepLoopLimit("2.5", false), "2");  // 1.5 rounds to 2
  EXPECT_EQ(StepLoopLimit("-3", true), "-2");
  EXPECT_EQ(StepLoopLimit("-3", false), "0");
  EXPECT_EQ(StepLoopLimit("1e9", false), "32767");
}

TEST(Summary, LinesCarryTheFieldsAsTyped) {
  ParameterTexts texts = StartupParameters();
  Summary s = BuildSummary(texts);
  EXPECT_EQ(s.sgSymbol, "P10.5/mmc");
  EXPECT_EQ(s.paramLine1, "a = 2.82, c = 12.06, loop = 22222, Yamamoto matrices");
  EXPECT_EQ(s.paramLine2, "wavelength = 0.7106867, thmin = 1.0, thmax = 30.0, qimax = 1.0");

  texts.yamamoto = false;
  texts.wavelength = "1,54";
  texts.loops = {"1", "2", "3", "4", "5", "6"};
  s = BuildSummary(texts);
  EXPECT_EQ(s.paramLine1, "a = 2.82, c = 12.06, loop = 12345, Steurer matrices ");
  EXPECT_EQ(s.paramLine2, "wavelength = 1,54, thmin = 1.0, thmax = 30.0, qimax = 1.0");

  texts = StartupParameters();
  texts.systemIndex = 3;
  texts.groupIndex = 0;
  s = BuildSummary(texts);
  EXPECT_EQ(s.sgSymbol, "P235");
  EXPECT_EQ(s.paramLine1, "a = 2.82, loop = 222222, Yamamoto matrices");
}

TEST(Komma2Punkt, NormalisesTheNumericFieldsOnly) {
  ParameterTexts texts = StartupParameters();
  texts.wavelength = "1,54";
  texts.a = "2,82";
  texts.thetaMin = "1,0";
  texts.loops[0] = "2,5";
  NormaliseDecimalCommas(texts);
  EXPECT_EQ(texts.wavelength, "1.54");
  EXPECT_EQ(texts.a, "2.82");
  EXPECT_EQ(texts.thetaMin, "1.0");
  EXPECT_EQ(texts.loops[0], "2,5");
  EXPECT_EQ(Komma2Punkt("1,2,3"), "1.2.3");
}

TEST(ReadInputs, StartupParametersReadBack) {
  auto read = ReadInputs(StartupParameters());
  ASSERT_TRUE(std::holds_alternative<CalculationInputs>(read));
  const CalculationInputs& in = std::get<CalculationInputs>(read);
  EXPECT_EQ(in.system, CrystalSystem::Decagonal);
  EXPECT_EQ(in.groupIndex, kStartGroupIndex);
  EXPECT_EQ(in.a, 2.82);
  EXPECT_EQ(in.wavelength, 0.7106867);
  EXPECT_EQ(in.loopLimits, (std::array<int, 6>{2, 2, 2, 2, 2, 0}));  // no sixth index
}

TEST(ReadInputs, EveryBadFieldIsNamedWithItsText) {
  struct Case {
    std::string ParameterTexts::*field;
    const char* text;
    InputField expected;
    const char* message;
  };
  const Case cases[] = {
      {&ParameterTexts::a, "abc", InputField::A, "a: \"abc\" is not a number"},
      {&ParameterTexts::a, "0", InputField::A, "a: \"0\" must be greater than 0"},
      {&ParameterTexts::c, "-12", InputField::C, "c: \"-12\" must be greater than 0"},
      {&ParameterTexts::wavelength, "0", InputField::Wavelength, "Wavelength: \"0\" must be greater than 0"},
      {&ParameterTexts::thetaMax, "x", InputField::ThetaMax, "Theta Range (maximum): \"x\" is not a number"},
      {&ParameterTexts::thetaMin, "40", InputField::ThetaMin,
       "Theta Range (minimum): \"40\" is larger than the maximum \"30.0\""},
      {&ParameterTexts::qiMax, "", InputField::QiMax, "qi-Max: \"\" is not a number"},
  };
  for (const Case& c : cases) {
    ParameterTexts texts = StartupParameters();
    texts.*c.field = c.text;
    auto read = ReadInputs(texts);
    ASSERT_TRUE(std::holds_alternative<InputError>(read)) << c.text;
    const InputError& error = std::get<InputError>(read);
    EXPECT_EQ(error.field, c.expected);
    EXPECT_EQ(error.Message(), c.message);
  }
  ParameterTexts texts = StartupParameters();
  texts.loops[1] = "x";
  auto notNumber = ReadInputs(texts);
  ASSERT_TRUE(std::holds_alternative<InputError>(notNumber));
  EXPECT_EQ(std::get<InputError>(notNumber).Message(), "Loop Limits h2: \"x\" is not a number");
  texts = StartupParameters();
  texts.loops[2] = "-1";
  auto read = ReadInputs(texts);
  ASSERT_TRUE(std::holds_alternative<InputError>(read));
  EXPECT_EQ(std::get<InputError>(read).Message(),
            "Loop Limits h3: \"-1\" must be a whole number from 0 to 32767");

  // The icosahedral system ignores c; the axial systems ignore h6.
  texts = StartupParameters();
  texts.c = "junk";
  texts.systemIndex = 3;
  texts.groupIndex = 0;
  EXPECT_TRUE(std::holds_alternative<CalculationInputs>(ReadInputs(texts)));
  texts = StartupParameters();
  texts.loops[5] = "junk";
  EXPECT_TRUE(std::holds_alternative<CalculationInputs>(ReadInputs(texts)));
  texts.loops[0] = "2.5";  // read like the window reads it: halves to even
  EXPECT_EQ(std::get<CalculationInputs>(ReadInputs(texts)).loopLimits[0], 2);
  // Only a, c and the wavelength must be above 0.
  texts.qiMax = "0";
  texts.thetaMin = "-1";
  texts.thetaMax = "0";
  const auto zeros = ReadInputs(texts);
  ASSERT_TRUE(std::holds_alternative<CalculationInputs>(zeros));
  EXPECT_EQ(std::get<CalculationInputs>(zeros).qiLimit, 0.0);
  EXPECT_EQ(std::get<CalculationInputs>(zeros).thetaLow, -1.0);
}

}  // namespace
}  // namespace lumora
