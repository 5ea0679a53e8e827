// The named inputs against the parts that rely on them: their defaults are
// the core's defaults and pass their own readers, their settings lines are
// where the settings file keeps them, their Python keywords are unambiguous,
// and the readers keep each range's open and closed ends.
#include <gtest/gtest.h>

#include <cmath>
#include <set>
#include <string>
#include <variant>
#include <vector>

#include "common/text.hpp"
#include "inputs/input_reading.hpp"
#include "inputs/parameters.hpp"
#include "inputs/settings_file.hpp"
#include "plots/view_options.hpp"
#include "powder/powder_options.hpp"
#include "reflections/calculation.hpp"
#include "tiling/tiling_inputs.hpp"
#include "zone/zone_options.hpp"

namespace lumora {
namespace {

using namespace input;

// The message a reader refuses text with, or "" when it takes it.
template <typename Reader>
std::string Refusal(Reader read) {
  try {
    read();
  } catch (const UsageError& error) {
    return error.what();
  }
  return "";
}

TEST(NamedInputs, DefaultsAreTheCoresAndPassTheirOwnReaders) {
  for (const NamedInput* in : kAll) {
    if (in->defaultText.empty()) continue;
    const std::string text(in->defaultText);
    SCOPED_TRACE(std::string(in->option) + " " + text);
    std::string refusal;
    if (in->type == InputType::Number) refusal = Refusal([&] { ReadNumber(*in, text); });
    if (in->type == InputType::WholeNumber) refusal = Refusal([&] { ReadWholeNumber(*in, text); });
    if (in->type == InputType::Choice && !in->choices.empty()) refusal = Refusal([&] { ReadChoice(*in, text); });
    EXPECT_EQ(refusal, "");
  }

  const ParameterTexts startup = StartupParameters();
  EXPECT_EQ(startup.systemIndex, static_cast<int>(*ChoiceIndex(kSystem, kSystem.defaultText)));
  EXPECT_EQ(GroupAt(SystemFromIndex(startup.systemIndex), startup.groupIndex).symbol, kSpaceGroup.defaultText);
  EXPECT_EQ(startup.yamamoto, kSetting.defaultText == "yamamoto");
  EXPECT_EQ(AnodeSymbol(startup.anodeIndex), kAnode.defaultText);
  EXPECT_EQ(startup.wavelength, AnodeWavelengthText(*FindAnode(kAnode.defaultText)));
  EXPECT_EQ(kTheta.defaultText, startup.thetaMin + "," + startup.thetaMax);

  const LineOptions lines;
  EXPECT_EQ(DefaultNumber(kTolerance), lines.tolerance);
  EXPECT_EQ(DefaultNumber(kMonochromator), lines.monochromatorTwoTheta);
  const ProfileOptions profile;
  EXPECT_EQ(DefaultNumber(kTwoThetaMin), profile.twoThetaMin);
  EXPECT_EQ(DefaultNumber(kTwoThetaMax), profile.twoThetaMax);
  EXPECT_EQ(DefaultNumber(kTwoThetaStep), profile.step);
  EXPECT_EQ(ReadNumbers(kCaglioti, std::string(kCaglioti.defaultText), 3),
            (std::vector<double>{DefaultNumber(kCagliotiU), DefaultNumber(kCagliotiV), DefaultNumber(kCagliotiW)}));
  EXPECT_EQ((std::vector<double>{profile.u, profile.v, profile.w}),
            ReadNumbers(kCaglioti, std::string(kCaglioti.defaultText), 3));
  EXPECT_EQ(DefaultNumber(kEta), profile.eta);
  EXPECT_EQ(DefaultNumber(kCut), profile.cutWidths);
  EXPECT_EQ(DefaultNumber(kZero), profile.zeroShift);
  const PeakSearchOptions peaks;
  EXPECT_EQ(DefaultNumber(kPeakSmoothing), peaks.smoothingPoints);
  EXPECT_EQ(DefaultNumber(kPeakThreshold), peaks.threshold);
  // The default --refine list, read as given, is the refinement's default.
  PowderOptions powder;
  ASSERT_TRUE(powder.Apply({std::string(kRefine.option), std::string(kRefine.defaultText)}));
  const IndexingOptions refine;
  EXPECT_EQ(powder.indexing.refineA, refine.refineA);
  EXPECT_EQ(powder.indexing.refineC, refine.refineC);
  EXPECT_EQ(powder.indexing.refineZero, refine.refineZero);
  EXPECT_EQ(DefaultNumber(kIndexTolerance), refine.tolerance);
  EXPECT_EQ(ReadNumbers(kARange, std::string(kARange.defaultText), 2), (std::vector<double>{refine.aLow, refine.aHigh}));
  EXPECT_EQ(ReadNumbers(kCRange, std::string(kCRange.defaultText), 2), (std::vector<double>{refine.cLow, refine.cHigh}));
  EXPECT_EQ(powder.wavelengthModel, WavelengthModel::Doublet);
  EXPECT_EQ(kWavelengthModel.defaultText, WavelengthModelName(WavelengthModel::Doublet));

  const TilingInputs tiling;
  EXPECT_EQ(DefaultNumber(kSymmetry), tiling.symmetry);
  EXPECT_EQ(DefaultNumber(kLoopOrder), tiling.loopOrder);
  EXPECT_EQ(DefaultNumber(kScale), tiling.zoom);
  EXPECT_EQ(DefaultNumber(kBrightness), tiling.brightness);
  EXPECT_EQ(DefaultNumber(kShiftMode), static_cast<int>(tiling.shiftMode));

  const ZoneInputs zone;
  EXPECT_EQ(DefaultNumber(kThickness) * 10.0, zone.thickness);  // nm against A
  EXPECT_EQ(DefaultNumber(kPrecession), zone.precession);
  EXPECT_EQ(DefaultNumber(kGMax), zone.gMax);
  EXPECT_EQ(DefaultNumber(kSMax), zone.sMax);
  EXPECT_EQ(ZoneRadiation(std::string(kRadiation.defaultText), DefaultNumber(kVoltage), 1.0).wavelength,
            zone.radiation.wavelength);
  EXPECT_EQ(ReadNumbers(kTilt, std::string(kTilt.defaultText), 2),
            (std::vector<double>{DefaultNumber(kTiltX), DefaultNumber(kTiltY)}));
  EXPECT_EQ(DefaultNumber(kTiltX), zone.beam.tiltX);
  const SpotSearchOptions spots;
  EXPECT_EQ(DefaultNumber(kSpotSigma), spots.sigma);
  EXPECT_EQ(DefaultNumber(kSpotThreshold), spots.threshold);
  const ZoneFitOptions fit;
  EXPECT_EQ(DefaultNumber(kFitTolerance), fit.tolerance);
  EXPECT_EQ(DefaultNumber(kMinIndexed), fit.minIndexed);

  const RunControl control;
  EXPECT_EQ(DefaultNumber(kMaxRecords), static_cast<double>(control.maxRecords));
  EXPECT_EQ(DefaultNumber(kMaxVisited), static_cast<double>(control.maxVisited));
  const ViewOptions view;
  EXPECT_EQ(std::lround(DefaultNumber(kSpots) * 10.0), view.spotRadiusSlider);
  EXPECT_EQ(DefaultNumber(kLayer), view.layerSlider);
  EXPECT_EQ(DefaultNumber(kMinIntensity), view.minIntensity);
}

TEST(NamedInputs, ChoicesFollowTheTablesTheyName) {
  // --system's choices are in the order of the system indices; --anode's
  // problem lists the anode table, --columns' choices the report's columns.
  for (int i = 0; i < 4; ++i) {
    std::string name(SystemName(SystemFromIndex(i)));
    EXPECT_EQ(ChoiceIndex(kSystem, name), static_cast<std::size_t>(i)) << name;
  }
  std::string anodes;
  for (int i = 0; i < kAnodeCount; ++i) anodes += std::string(i ? ", " : "") + std::string(AnodeSymbol(i));
  EXPECT_EQ(kAnode.problem, "is not one of " + anodes);
  EXPECT_EQ(SplitWords(kBackground.choices).size(), 3u);  // the window's three background modes
}

TEST(NamedInputs, EachPythonKeywordAndWindowFieldNamesOneInput) {
  std::set<std::string_view> keywords, fields;
  for (const NamedInput* in : kAll) {
    ASSERT_FALSE(in->option.empty());
    EXPECT_EQ(in->option.front(), '-') << in->option;
    if (!in->keyword.empty()) {
      EXPECT_TRUE(keywords.insert(in->keyword).second) << "keyword used twice: " << in->keyword;
      // The keyword is the option without its dashes, "-" written "_".
      std::string expected(in->option.substr(in->option.find_first_not_of('-')));
      for (char& ch : expected)
        if (ch == '-') ch = '_';
      EXPECT_EQ(in->keyword, expected);
    }
    if (in->field.empty()) continue;
    EXPECT_TRUE(fields.insert(in->field).second) << "field used twice: " << in->field;
    if (in->type == InputType::Number) {
      EXPECT_FALSE(in->label.empty()) << in->field << " has no label for its messages";
    }
  }
}

TEST(NamedInputs, SettingsLinesAreWhereTheSettingsFileKeepsThem) {
  StoredSettings settings;
  ParameterTexts& p = settings.parameters;
  p.systemIndex = 2;
  p.groupIndex = 1;
  p.yamamoto = false;
  p.anodeIndex = 3;
  p.a = "A";
  p.c = "C";
  p.thetaMin = "T1";
  p.thetaMax = "T2";
  p.qiMax = "Q";
  for (std::size_t k = 0; k < 6; ++k) p.loops[k] = "L" + std::to_string(k);
  std::vector<std::string> lines;
  const std::string text = SettingsText(settings);
  for (std::size_t start = 0; start < text.size();) {
    const std::size_t end = text.find(kCrLf, start);
    lines.push_back(text.substr(start, end - start));
    start = end + kCrLf.size();
  }
  auto line = [&lines](const NamedInput& in, int offset = 0) {
    return lines.at(static_cast<std::size_t>(in.settingsLine - 1 + offset));
  };
  EXPECT_EQ(line(kSystem), "2");
  EXPECT_EQ(line(kSpaceGroup), "1");
  EXPECT_EQ(line(kSetting), "False");
  EXPECT_EQ(line(kLatticeA), "A");
  EXPECT_EQ(line(kLatticeC), "C");
  for (int k = 0; k < 6; ++k) EXPECT_EQ(line(kLoops, k), "L" + std::to_string(k));
  EXPECT_EQ(line(kAnode), "3");
  EXPECT_EQ(kWavelength.settingsLine, kAnode.settingsLine);  // the file keeps the anode, not the wavelength
  EXPECT_EQ(line(kThetaMin), "T1");
  EXPECT_EQ(line(kThetaMax), "T2");
  EXPECT_EQ(line(kQiMax), "Q");
}

TEST(InputReading, RangeEndsAreOpenOrClosedAsStated) {
  struct Case {
    const NamedInput* input;
    const char* text;
    bool taken;
  };
  const Case cases[] = {
      {&kZero, "-10", false},          {&kZero, "-9.999", true},     {&kZero, "10", false},
      {&kTolerance, "0", true},        {&kTolerance, "0.1", false},  {&kTolerance, "0.0999", true},
      {&kIndexTolerance, "0", false},  {&kIndexTolerance, "10", true}, {&kMinIntensity, "100", true},
      {&kMinIntensity, "100.01", false}, {&kMaxSeconds, "0", false}, {&kMaxSeconds, "1e-9", true},
      {&kGain, "3.4e38", true},        {&kGain, "3.5e38", false},    {&kEta, "nan", false},
      {&kEta, " 0.5 ", true},          {&kEta, "", false},
  };
  for (const Case& c : cases) {
    const std::string refusal = Refusal([&] { ReadNumber(*c.input, c.text); });
    EXPECT_EQ(refusal.empty(), c.taken) << c.input->option << " " << c.text << ": " << refusal;
    if (c.taken) continue;
    EXPECT_EQ(refusal, "option " + std::string(c.input->option) + ": \"" + c.text + "\" " +
                           std::string(c.input->problem));
  }
  // Whole numbers: the message names the range; an exponent is fine, a fraction is not.
  EXPECT_EQ(ReadWholeNumber(kLayer, "1e2"), 100);
  EXPECT_EQ(Refusal([] { ReadWholeNumber(kLayer, "1.5"); }),
            "option --layer: \"1.5\" is not a whole number from 1 to 100");
  EXPECT_EQ(Refusal([] { ReadWholeNumber(kMaxRecords, "1000000000000001"); }),
            "option --max-records: \"1000000000000001\" is not a whole number from 1 to 1000000000000000");
}

TEST(InputReading, ChoicesListsAndNames) {
  EXPECT_EQ(ReadChoice(kSystem, "ICOSAHEDRAL"), "icosahedral");  // any case where the input allows it
  EXPECT_EQ(Refusal([] { ReadChoice(kView, "3D"); }), "option --view: \"3D\" is not 2d or 3d");
  EXPECT_EQ(Refusal([] { ReadChoice(kView, "2d 3d"); }), "option --view: \"2d 3d\" is not 2d or 3d");
  EXPECT_EQ(Refusal([] { ReadNumbers(kCaglioti, "1,2", 3); }), "option --caglioti: \"1,2\" must be U,V,W");
  EXPECT_EQ(Refusal([] { ReadNumbers(kCaglioti, "1, x ,2", 3); }),
            "option --caglioti: \"1, x ,2\" must be U,V,W (\"x\" is not a number)");
  EXPECT_EQ(ReadNumbers(kTwoTheta, " 5, 60 ,0.02", 3), (std::vector<double>{5.0, 60.0, 0.02}));
  EXPECT_EQ(Refusal([] { ReadFileName(kOutput, ""); }), "option -o: \"\" is not a file name");
  // A quoted value shows control characters escaped, as every message does.
  EXPECT_EQ(Refusal([] { ReadChoice(kGrey, "a\033[2J"); }), "option --grey: \"a\\x1B[2J\" is not theta, qi or intensity");
  EXPECT_EQ(FieldMessage(kEta, "x\ty", "is not a number."), "\u03b7: \"x\\x09y\" is not a number.");
  EXPECT_EQ(FieldLabel(InputField::Loop, 3), "Loop Limits h4");
  EXPECT_EQ(ValuedOptions({&kEta, &kDoublet, &kTheta, &kThetaMin}), (std::set<std::string>{"--eta", "--theta"}));
  EXPECT_EQ(FlagOptions({&kEta, &kDoublet}), (std::set<std::string>{"--doublet"}));
}

TEST(ReadInputs, ANegativeQiMaxIsRefusedAndZeroIsNot) {
  // A negative limit on |qi| keeps no reflection at all; it is refused.
  ParameterTexts texts = StartupParameters();
  texts.qiMax = "-0.5";
  const auto negative = ReadInputs(texts);
  ASSERT_TRUE(std::holds_alternative<InputError>(negative));
  EXPECT_EQ(std::get<InputError>(negative).Message(), "qi-Max: \"-0.5\" must not be negative");
  for (const char* text : {"0", "-0", "1e300"}) {
    texts.qiMax = text;
    EXPECT_TRUE(std::holds_alternative<CalculationInputs>(ReadInputs(texts))) << text;
  }
}

}  // namespace
}  // namespace lumora
