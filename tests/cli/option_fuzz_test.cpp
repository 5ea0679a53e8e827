// Seeded random command lines and settings files through the readers: every
// one must end in a result or a one-line usage error with a printable, short
// message, never in a crash, another exception or undefined behaviour (the
// sanitizer build runs these too).
#include <gtest/gtest.h>

#include <random>
#include <string>
#include <variant>
#include <vector>

#include "inputs/settings_file.hpp"
#include "cli/cli_options.hpp"
#include "common/text.hpp"
#include "zone/zone_options.hpp"

namespace lumora {
namespace {

using cli::Option;
using cli::ParameterOptions;
using cli::UsageError;

class Junk {
 public:
  explicit Junk(std::uint32_t seed) : random_(seed) {}
  std::size_t Below(std::size_t n) { return std::uniform_int_distribution<std::size_t>(0, n - 1)(random_); }
  std::string Value() {
    static const char* numbers[] = {"0",    "-0",  "1",     "2.82", "1e308", "1e-320", "-1e300", "nan", "inf",
                                    "32767", "32768", "1e300", "4,5",  "2,82", "0.5,0.25", "&H10", "1.", ".5e3"};
    switch (Below(4)) {
      case 0: return numbers[Below(std::size(numbers))];
      case 1: {
        std::string s;
        for (std::size_t n = Below(12); n > 0; --n) s += static_cast<char>(Below(256));
        return s;
      }
      case 2: return std::string(Below(3) == 0 ? 100000 : 300, "1x\033,"[Below(4)]);
      default: return std::to_string(static_cast<long long>(Below(70000)) - 1000);
    }
  }

 private:
  std::mt19937 random_;
};

bool Printable(const std::string& message) {
  for (unsigned char ch : message)
    if (ch < 0x20 || ch == 0x7F) return false;
  return message.find("\xE2\x80\xAE") == std::string::npos;  // no right-to-left override
}

// A usage message a terminal shows as it is: printable and short.
bool Readable(const std::string& message) { return Printable(message) && message.size() < 400; }

TEST(OptionFuzz, RandomCommandLinesEndInInputsOrAUsageError) {
  const std::set<std::string>& names = ParameterOptions::Names();
  std::vector<std::string> vocabulary(names.begin(), names.end());
  vocabulary.insert(vocabulary.end(), {"--bogus", "-", "--", "--theta=", "--loops=1,2,3,4,5,6", "x", ""});
  Junk junk(20261207);
  int accepted = 0;
  int refused = 0;
  for (int i = 0; i < 4000; ++i) {
    std::vector<std::string> args;
    for (std::size_t n = junk.Below(6); n > 0; --n) {
      args.push_back(vocabulary[junk.Below(vocabulary.size())]);
      if (junk.Below(5) != 0) args.push_back(junk.Value());
    }
    std::vector<std::string> kept;
    for (const std::string& a : args)
      if (a != "--settings") kept.push_back(a);  // no files from random text
    try {
      ParameterOptions parameters;
      for (const Option& option : cli::ReadOptions(kept, names, {"--help"})) parameters.Apply(option);
      ParameterTexts texts = parameters.Resolve();
      NormaliseDecimalCommas(texts);
      const auto read = ReadInputs(texts);
      if (const InputError* error = std::get_if<InputError>(&read)) parameters.Reject(*error);
      ++accepted;
    } catch (const UsageError& error) {
      ++refused;
      ASSERT_TRUE(Readable(error.what())) << error.what();
    }
  }
  // Both ends are reached, so the sweep tests something.
  EXPECT_GT(accepted, 100);
  EXPECT_GT(refused, 1000);
}

TEST(OptionFuzz, RandomZoneOptionsEndInInputsOrAUsageError) {
  std::set<std::string> names = ValuedOptions(ZoneOptions::Inputs());
  names.erase("--settings");
  std::vector<std::string> vocabulary(names.begin(), names.end());
  vocabulary.insert(vocabulary.end(), {"--axis=1,0,0,0,0,0", "--axis=2'", "--radiation=neutron", "--radiation=xray",
                                       "--system=icosahedral", "--tilt=1,2", "--centre=1e300,-1e300"});
  Junk junk(20260522);
  int accepted = 0, refused = 0;
  for (int i = 0; i < 3000; ++i) {
    std::vector<std::string> args;
    for (std::size_t n = junk.Below(6); n > 0; --n) {
      args.push_back(vocabulary[junk.Below(vocabulary.size())]);
      if (args.back().find('=') == std::string::npos && junk.Below(5) != 0) args.push_back(junk.Value());
    }
    try {
      ParameterOptions parameters;
      ZoneOptions zone;
      for (const Option& option : cli::ReadOptions(args, names, {})) zone.Apply(option) || parameters.Apply(option);
      zone.Read(parameters.ReadInputs());
      ++accepted;
    } catch (const UsageError& error) {
      ++refused;
      ASSERT_TRUE(Readable(error.what())) << error.what();
    }
  }
  EXPECT_GT(accepted, 50);
  EXPECT_GT(refused, 1000);
}

TEST(SettingsFuzz, DamagedFilesApplyAPrefixThatReadsBackUnchanged) {
  StoredSettings original;
  original.parameters.systemIndex = 3;
  original.parameters.groupIndex = 1;
  const std::string good = SettingsText(original);
  Junk junk(7);
  int complete = 0;
  for (int i = 0; i < 3000; ++i) {
    std::string text = good;
    for (std::size_t edits = 1 + junk.Below(4); edits > 0; --edits) {
      const std::size_t at = junk.Below(text.size() + 1);
      switch (junk.Below(4)) {
        case 0: text.insert(at, junk.Value()); break;
        case 1: text.erase(at, junk.Below(20)); break;
        case 2: if (at < text.size()) text[at] = static_cast<char>(junk.Below(256)); break;
        default: text.insert(at, "\r\n"); break;
      }
    }
    StoredSettings applied;
    const int fields = ApplySettingsText(text, applied);
    ASSERT_GE(fields, 0);
    ASSERT_LE(fields, kSettingsFieldCount);
    complete += fields == kSettingsFieldCount;
    // Whatever was taken is a consistent state, and the file written from it
    // reads back to the same state.
    const ParameterTexts& p = applied.parameters;
    ASSERT_GE(p.systemIndex, 0);
    ASSERT_LE(p.systemIndex, 3);
    ASSERT_LT(static_cast<std::size_t>(p.groupIndex), GroupsOf(SystemFromIndex(p.systemIndex)).size());
    StoredSettings reread;
    ASSERT_EQ(ApplySettingsText(SettingsText(applied), reread), kSettingsFieldCount);
    ASSERT_EQ(SettingsText(reread), SettingsText(applied)) << i;
    (void)ReadInputs(p);  // bad values are reported, never trusted
  }
  EXPECT_GT(complete, 100);
  EXPECT_LT(complete, 3000);
}

TEST(EchoText, EscapesWhatATerminalWouldObeyAndCutsLongValues) {
  EXPECT_EQ(EchoText("2.82"), "2.82");
  EXPECT_EQ(EchoText("\xC3\xA5ngstr\xC3\xB6m"), "\xC3\xA5ngstr\xC3\xB6m");  // UTF-8 letters stay
  EXPECT_EQ(EchoText("a\033[31mb\tc\n"), "a\\x1B[31mb\\x09c\\x0A");
  EXPECT_EQ(EchoText("abc\xE2\x80\xAE" "fdp.exe"), "abc\\u202Efdp.exe");
  EXPECT_EQ(EchoText("\xFF\xC3"), "\\xFF\\xC3");  // not UTF-8
  EXPECT_EQ(EchoText(std::string(10, 'x'), 4), "xxxx\xE2\x80\xA6");
  EXPECT_EQ(EchoText(std::string(4, 'x'), 4), "xxxx");
}

}  // namespace
}  // namespace lumora
