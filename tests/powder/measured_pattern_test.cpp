#include "powder/measured_pattern.hpp"

#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>

namespace lumora {
namespace {

TEST(MeasuredPattern, EveryAcceptedLayoutReadsTheSameNumbers) {
  const std::vector<double> x{10.0, 10.5, 11.0}, y{5.0, -1.5, 2e3};
  const std::vector<std::pair<const char*, const char*>> layouts = {
      {"blanks", "10 5\n10.5 -1.5\n11.0 2e3\n"},
      {"tabs and runs of blanks, no final line end", "10\t5\n  10.5   -1.5\n11.0\t\t2e3"},
      {"commas with blanks", "10, 5\n10.5 ,-1.5\n11.0,2e3,\n"},
      {"semicolons", "10;5\n10.5;-1.5\n11.0;2e3\n"},
      {"comments and blank lines", "# made by hand\n! instrument X\n\n10 5  # first\n   \n10.5 -1.5 ! low\n11.0 2e3\n"},
      {"CSV header", "two_theta,intensity\n10,5\n10.5,-1.5\n11.0,2e3\n"},
      {"CR LF and a byte-order mark", "\xEF\xBB\xBF" "2theta I\r\n10 5\r\n10.5 -1.5\r\n11.0 2e3\r\n"},
      {"lone CR line ends", "10 5\r10.5 -1.5\r11.0 2e3\r"},
      {"lines of vertical tabs and form feeds", "10 5\n\v\n\f \f\n10.5 -1.5\n11.0 2e3\n"},
      {"falling scan", "11.0 2e3\n10.5 -1.5\n10 5\n"},
  };
  for (const auto& [name, text] : layouts) {
    const MeasuredRead read = ParseMeasuredPattern(text);
    EXPECT_EQ(read.error, "") << name;
    EXPECT_EQ(read.pattern.twoTheta, x) << name;
    EXPECT_EQ(read.pattern.intensity, y) << name;
    EXPECT_TRUE(read.pattern.sigma.empty()) << name;
  }
  const MeasuredRead xye = ParseMeasuredPattern("# x y e\n10 5 2.2\n10.5 -1.5 1\n11.0 2e3 44.7\n");
  ASSERT_EQ(xye.error, "");
  EXPECT_EQ(xye.pattern.sigma, (std::vector<double>{2.2, 1.0, 44.7}));
}

TEST(MeasuredPattern, RejectedLinesAreNamed) {
  const std::vector<std::pair<const char*, const char*>> cases = {
      {"", "no data lines (2theta and intensity)"},
      {"# only a comment\n\n", "no data lines (2theta and intensity)"},
      {"10 5\n11\n", "line 2: 1 column; a data line has 2 (2theta, intensity) or 3 (2theta, intensity, sigma)"},
      {"10 5 1 7\n", "line 1: 4 columns; a data line has 2 (2theta, intensity) or 3 (2theta, intensity, sigma)"},
      {"10 5\n10.5 4x\n", "line 2: \"4x\" is not a number"},
      {"10,5\n10.5,,4\n", "line 2: \"\" is not a number"},
      {"x y\n10 5\nab cd\n", "line 3: \"ab\" is not a number"},  // a second header after the data
      {"10 nan\n", "line 1: \"nan\" is not a finite number"},
      {"10 5\n11 inf\n", "line 2: \"inf\" is not a finite number"},
      {"10 1e999\n", "line 1: \"1e999\" is not a finite number"},
      {"10 5 1\n11 6\n", "line 2: 2 columns where line 1 has 3"},
      {"10 5 0\n", "line 1: sigma 0 is not above 0"},
      {"0 5\n", "line 1: 2theta 0 is not above 0 and below 180 degrees"},
      {"180 5\n", "line 1: 2theta 180 is not above 0 and below 180 degrees"},
      {"10 5\n10 6\n", "line 2: 2theta 10 does not rise from 10 on line 1 (2theta must run one way)"},
      {"10 5\n# gap\n12 6\n11 7\n", "line 4: 2theta 11 does not rise from 12 on line 3 (2theta must run one way)"},
      {"12 5\n11 6\n11.5 7\n", "line 3: 2theta 11.5 does not fall from 11 on line 2 (2theta must run one way)"},
  };
  for (const auto& [text, error] : cases) {
    const MeasuredRead read = ParseMeasuredPattern(text);
    EXPECT_EQ(read.error, error) << text;
    EXPECT_TRUE(read.pattern.twoTheta.empty() && read.pattern.intensity.empty()) << text;
  }
}

TEST(MeasuredPattern, FilesNameTheirPath) {
  const std::filesystem::path dir = std::filesystem::temp_directory_path() / "lumora-measured-test";
  std::filesystem::create_directories(dir);
  const std::string good = (dir / "p.xy").string(), bad = (dir / "q.xy").string();
  std::ofstream(good) << "10 5\n11 6\n";
  std::ofstream(bad) << "10 5\n11 x\n";
  const MeasuredRead read = ReadMeasuredPattern(good);
  EXPECT_EQ(read.error, "");
  EXPECT_EQ(read.pattern.intensity, (std::vector<double>{5.0, 6.0}));
  EXPECT_EQ(ReadMeasuredPattern(bad).error, bad + ", line 2: \"x\" is not a number");
  EXPECT_EQ(ReadMeasuredPattern((dir / "none.xy").string()).error, (dir / "none.xy").string() + ": no such file");
  EXPECT_EQ(ReadMeasuredPattern(dir.string()).error, dir.string() + " is a folder, not a file");
  std::filesystem::remove_all(dir);
}

}  // namespace
}  // namespace lumora
