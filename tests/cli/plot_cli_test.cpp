// lumora-cli plot: every spot in the file, the formats, the options' effect
// and the messages for bad values. The spot counts are compared with the
// reflections the report lists for the same inputs.
#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <cstdint>
#include <sstream>
#include <string>
#include <vector>

#include "cli/cli_run.hpp"

namespace {

using lumora::testing::CliRun;
using lumora::testing::RunCli;

std::size_t Count(const std::string& text, const std::string& word) {
  std::size_t n = 0;
  for (std::size_t at = text.find(word); at != std::string::npos; at = text.find(word, at + 1)) ++n;
  return n;
}

// Reflections of the CSV report, and those whose last index is 0.
struct Counts {
  std::size_t all = 0;
  std::size_t zeroLayer = 0;
};

Counts ReportCounts(const std::string& options, int nDim) {
  const CliRun run = RunCli("reflections --format csv " + options);
  EXPECT_EQ(run.status, 0);
  Counts counts;
  std::istringstream lines(run.out);
  std::string line;
  while (std::getline(lines, line)) {
    if (line.empty() || line[0] == '#' || line[0] == 'n') continue;
    std::istringstream fields(line);
    std::string field;
    for (int k = 0; k <= nDim; ++k) std::getline(fields, field, ',');  // n, h1..h(nDim)
    ++counts.all;
    if (field == "0") ++counts.zeroLayer;
  }
  return counts;
}

std::uint16_t Word(const std::string& bytes, std::size_t at) {
  return static_cast<std::uint16_t>(static_cast<unsigned char>(bytes[at]) |
                                    (static_cast<unsigned char>(bytes[at + 1]) << 8));
}

TEST(PlotCli, SvgHasOneCirclePerSpotOfTheView) {
  const Counts decagonal = ReportCounts("", 5);
  ASSERT_GT(decagonal.zeroLayer, 100u);
  const CliRun flat = RunCli("plot --view 2d --format svg");
  ASSERT_EQ(flat.status, 0);
  EXPECT_EQ(Count(flat.out, "<circle"), decagonal.zeroLayer);
  const CliRun all = RunCli("plot --view 3d --format svg --rotate 2:40 --rotate 3:-15");
  ASSERT_EQ(all.status, 0);
  EXPECT_EQ(Count(all.out, "<circle"), decagonal.all);
  // A thin layer about the screen plane keeps only some of them.
  const CliRun layer = RunCli("plot --view 3d --format svg --layer 5");
  EXPECT_LT(Count(layer.out, "<circle"), decagonal.all);
  EXPECT_GT(Count(layer.out, "<circle"), 0u);
  // Labels: one text per spot with --labels.
  const CliRun labels = RunCli("plot --format svg --labels --system octagonal --loops 1");
  EXPECT_EQ(Count(labels.out, "<circle"), ReportCounts("--system octagonal --loops 1", 5).zeroLayer);
  EXPECT_GT(Count(labels.out, "<text"), 0u);
}

TEST(PlotCli, ModelFilterAndRotationReachThePicture) {
  const CliRun strong = RunCli("plot --view 3d --format svg --model penrose --min-intensity 1");
  ASSERT_EQ(strong.status, 0);
  EXPECT_EQ(Count(strong.out, "<circle"), ReportCounts("--model penrose --min-intensity 1", 5).all);
  const std::string front = RunCli("plot --view 3d --format svg").out;
  EXPECT_NE(RunCli("plot --view 3d --format svg --rotate 2:30").out, front);
  // A full turn comes back to the same picture up to rounding of the spot
  // positions; the spot count never changes.
  EXPECT_EQ(Count(RunCli("plot --view 3d --format svg --rotate 1:360").out, "<circle"), Count(front, "<circle"));
}

// With a model the spot areas follow the intensities: the radius goes with
// the square root of I. The zeroth layer's strongest reflection has I = 17.02
// (the report's figure), the strongest of all (in the 3D view) 100.
TEST(PlotCli, SpotAreasByIntensity) {
  auto radii = [](const std::string& svg) {
    std::vector<double> r;
    for (std::size_t at = svg.find(" r=\""); at != std::string::npos; at = svg.find(" r=\"", at + 1))
      r.push_back(std::stod(svg.substr(at + 4, svg.find('"', at + 4) - at - 4)));
    return r;
  };
  const CliRun flat = RunCli("plot --view 2d --format svg --model penrose --area-by-intensity");
  const CliRun all = RunCli("plot --view 3d --format svg --model penrose --area-by-intensity");
  ASSERT_EQ(flat.status, 0);
  ASSERT_EQ(all.status, 0);
  const std::vector<double> layer = radii(flat.out);
  const std::vector<double> every = radii(all.out);
  ASSERT_FALSE(layer.empty());
  const double strongestLayer = *std::max_element(layer.begin(), layer.end());
  const double strongest = *std::max_element(every.begin(), every.end());
  double zeroLayerI = 0.0;
  std::istringstream report(RunCli("reflections --format csv --model penrose").out);
  std::string line;
  while (std::getline(report, line)) {
    if (line.empty() || line[0] == '#' || line[0] == 'n') continue;
    std::vector<std::string> f;
    std::istringstream fields(line);
    for (std::string x; std::getline(fields, x, ',');) f.push_back(x);
    if (f[5] == "0") zeroLayerI = std::max(zeroLayerI, std::stod(f.back()));
  }
  ASSERT_GT(zeroLayerI, 1.0);
  EXPECT_NEAR(strongestLayer / strongest, std::sqrt(zeroLayerI / 100.0), 2e-3);
}

TEST(PlotCli, BitmapsAndMetafileFormats) {
  const CliRun png = RunCli("plot --size 320x240 --system icosahedral");
  ASSERT_EQ(png.status, 0);
  ASSERT_GT(png.out.size(), 24u);
  EXPECT_EQ(png.out.substr(1, 3), "PNG");
  // IHDR width and height, big-endian.
  auto be32 = [&](std::size_t at) {
    std::uint32_t v = 0;
    for (int k = 0; k < 4; ++k) v = (v << 8) | static_cast<unsigned char>(png.out[at + static_cast<std::size_t>(k)]);
    return v;
  };
  EXPECT_EQ(be32(16), 320u);
  EXPECT_EQ(be32(20), 240u);
  EXPECT_EQ(RunCli("plot --format bmp --view 3d").out.substr(0, 2), "BM");
  EXPECT_EQ(RunCli("plot --format pdf --background blue").out.substr(0, 5), "%PDF-");

  // The metafile: placeable header, then one Ellipse record per spot.
  const CliRun wmf = RunCli("plot --format wmf --view 2d --rings --uniform --grey theta");
  ASSERT_EQ(wmf.status, 0);
  ASSERT_GT(wmf.out.size(), 40u);
  EXPECT_EQ(Word(wmf.out, 0), 0xCDD7);
  EXPECT_EQ(Word(wmf.out, 2), 0x9AC6);
  std::size_t ellipses = 0;
  std::size_t at = 22 + 18;
  while (at + 6 <= wmf.out.size()) {
    const std::uint32_t words = Word(wmf.out, at) | (static_cast<std::uint32_t>(Word(wmf.out, at + 2)) << 16);
    const std::uint16_t function = Word(wmf.out, at + 4);
    if (function == 0x0418) ++ellipses;
    if (function == 0 || words < 3) break;
    at += 2 * static_cast<std::size_t>(words);
  }
  EXPECT_EQ(ellipses, ReportCounts("", 5).zeroLayer);
}

TEST(PlotCli, MarksOnlyWhenAskedAndNeverInTheMetafile) {
  const CliRun plain = RunCli("plot --view 3d --format svg");
  ASSERT_EQ(plain.status, 0);
  EXPECT_EQ(plain.out.find("\u00c5"), std::string::npos);
  EXPECT_EQ(plain.out.find("P10.5/mmc"), std::string::npos);
  const CliRun marked = RunCli("plot --view 3d --format svg --scale-bar --ticks --orientation --caption --model penrose");
  ASSERT_EQ(marked.status, 0);
  // The same spots, then the bar's length in 1/A (the SVG splits the text
  // where the font changes), the caption and the axes.
  EXPECT_EQ(Count(marked.out, "<circle"), Count(plain.out, "<circle"));
  EXPECT_NE(marked.out.find(">0.5 \u00c5"), std::string::npos);
  EXPECT_NE(marked.out.find("\u207b"), std::string::npos);
  EXPECT_NE(marked.out.find("P10.5/mmc  a = 2.82, c = 12.06"), std::string::npos);
  EXPECT_NE(marked.out.find("wavelength = 0.7106867"), std::string::npos);
  EXPECT_NE(marked.out.find("model: "), std::string::npos);
  EXPECT_NE(marked.out.find(">z<"), std::string::npos);
  const CliRun wmf = RunCli("plot --format wmf --scale-bar", true);
  EXPECT_EQ(wmf.status, 2);
  EXPECT_NE(wmf.out.find("option --format: \"wmf\" holds the spots only"), std::string::npos) << wmf.out;
}

TEST(PlotCli, BadValuesNameTheOption) {
  struct Case {
    const char* args;
    const char* message;
  };
  const Case cases[] = {
      {"--view 4d", "option --view: \"4d\" is not 2d or 3d"},
      {"--format gif", "option --format: \"gif\" is not png, bmp, svg, pdf or wmf"},
      {"--size 700", "option --size: \"700\" is not WIDTHxHEIGHT"},
      {"--size 8x8", "option --size: \"8x8\" is not WIDTHxHEIGHT"},
      {"--rotate 4:10", "option --rotate: \"4:10\" is not AXIS:DEGREES"},
      {"--rotate 2:abc", "option --rotate: \"2:abc\" is not AXIS:DEGREES"},
      {"--grey red", "option --grey: \"red\" is not theta, qi or intensity"},
      {"--grey intensity", "option --grey: \"intensity\" needs --model"},
      {"--area-by-intensity", "option --area-by-intensity needs --model"},
      {"--background green", "option --background: \"green\" is not black, white or blue"},
      {"--spots 5", "option --spots: \"5\" is not a number from 0 to 4"},
      {"--layer 0", "option --layer: \"0\" is not a whole number from 1 to 100"},
      {"-a x", "option -a: \"x\" is not a number"},
      {"--min-intensity 3", "option --min-intensity needs --model"},
      {"--system icosahedral --directions", "option --directions: the icosahedral system"},
  };
  for (const Case& c : cases) {
    const CliRun run = RunCli(std::string("plot -o /nonexistent/never.svg ") + c.args, true);
    EXPECT_EQ(run.status, 2) << c.args;
    EXPECT_NE(run.out.find(c.message), std::string::npos) << c.args << ": " << run.out;
  }
}

}  // namespace
