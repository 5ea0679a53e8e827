// Refusals that the named inputs added or tightened, as lumora-cli reports
// them: a negative qi-max or theta, typed or from a settings file, picture
// files whose names do not say their format, and control characters in a
// tiling shift list shown escaped.
#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>

#include "cli/cli_run.hpp"
#include "scratch_test.hpp"

namespace lumora {
namespace {

using testing::RunCli;

class InputOptionsCli : public testing::ScratchTest {};

TEST_F(InputOptionsCli, ANegativeQiMaxIsRefusedTypedOrFromTheSettingsFile) {
  auto run = RunCli("reflections --qi-max -1", true);
  EXPECT_EQ(run.status, 2);
  EXPECT_EQ(run.out, "lumora-cli: option --qi-max: \"-1\" must not be negative\n");

  const std::string cfg = Path("negative.cfg");
  std::ofstream(cfg, std::ios::binary) << "1\r\n0\r\nTrue\r\n2.82\r\n12.06\r\n2\r\n2\r\n2\r\n2\r\n2\r\n2\r\n0\r\n"
                                          "1.0\r\n30.0\r\n-0.5\r\n0 0\r\n";
  run = RunCli("reflections --settings " + cfg, true);
  EXPECT_EQ(run.status, 2);
  EXPECT_EQ(run.out, "lumora-cli: settings file \"" + cfg + "\" line 15 (qi-Max): \"-0.5\" must not be negative\n");

  // Zero is a limit: it keeps the reflections without an internal component,
  // which within loop limits 2 are those of the periodic axis, l = -2 .. 2
  // without 0 (theta of l = 2 is 3.4 degrees, inside 1 .. 30).
  run = RunCli("reflections --qi-max 0");
  EXPECT_EQ(run.status, 0);
  EXPECT_EQ(run.out.rfind("LUMORA REPORT - 4 reflections\r\n", 0), 0u) << run.out;
}

TEST_F(InputOptionsCli, ANegativeThetaMaximumIsRefused) {
  auto run = RunCli("reflections --theta -9,-5", true);
  EXPECT_EQ(run.status, 2);
  EXPECT_EQ(run.out, "lumora-cli: option --theta: \"-5\" must not be negative\n");
  // A negative minimum still reads as 0, as it always did: the same rows (the
  // header quotes the limits as typed).
  auto rows = [](const std::string& csv) { return csv.substr(csv.find("\nn,") + 1); };
  const auto fromZero = RunCli("reflections --format csv --theta 0,30");
  ASSERT_EQ(fromZero.status, 0);
  EXPECT_GT(rows(fromZero.out).size(), 1000u);
  EXPECT_EQ(rows(RunCli("reflections --format csv --theta -1,30").out), rows(fromZero.out));
}

TEST_F(InputOptionsCli, APictureFileMustBeNamedForTheFormatWritten) {
  struct Case {
    std::string args;
    std::string message;
  };
  const Case refused[] = {
      {"plot -o " + Path("x.jpg"), "option -o: \"" + Path("x.jpg") + "\" must end in .png, .bmp, .svg, .pdf or .wmf"},
      {"plot -o " + Path("noextension"), "option -o: \"" + Path("noextension") + "\" must end in"},
      {"plot --format svg -o " + Path("x.png"), "option --format: \"svg\" does not match the file name"},
      {"tiling --tiling-png " + Path("t.jpg"), "option --tiling-png: \"" + Path("t.jpg") + "\" must end in .png"},
      {"tiling --svg " + Path("t.png"), "option --svg: \"" + Path("t.png") + "\" must end in .svg"},
      {"powder --plot " + Path("p.gif"), "option --plot: \"" + Path("p.gif") + "\" must end in .png, .svg or .pdf"},
  };
  for (const Case& c : refused) {
    const auto run = RunCli(c.args, true);
    EXPECT_EQ(run.status, 2) << c.args;
    EXPECT_EQ(run.out.rfind("lumora-cli: " + c.message, 0), 0u) << c.args << ": " << run.out;
    EXPECT_EQ(run.out.find('\n'), run.out.size() - 1) << "one line: " << run.out;
  }
  EXPECT_TRUE(std::filesystem::is_empty(dir_)) << "a refused run wrote a file";

  // The extension in any case gives the format; --format may repeat it.
  const std::string upper = Path("x.SVG");
  ASSERT_EQ(RunCli("plot --format svg -o " + upper).status, 0);
  std::ifstream svg(upper);
  std::string head(200, '\0');
  svg.read(head.data(), static_cast<std::streamsize>(head.size()));
  EXPECT_NE(head.find("<svg"), std::string::npos) << head;
  const std::string bmp = Path("x.bmp");
  ASSERT_EQ(RunCli("plot -o " + bmp).status, 0);
  std::ifstream bitmap(bmp, std::ios::binary);
  char magic[2] = {};
  bitmap.read(magic, 2);
  EXPECT_EQ(std::string(magic, 2), "BM");
}

TEST_F(InputOptionsCli, ControlCharactersOfAShiftAreShownEscaped) {
  const auto run = RunCli("tiling --shifts \"$(printf '0.1,\\033[2J')\" --xy " + Path("v.xy"), true);
  EXPECT_EQ(run.status, 2);
  EXPECT_EQ(run.out,
            "lumora-cli: option --shifts: \"0.1,\\x1B[2J\" has \"\\x1B[2J\", which is not a number from -1 to 1\n");
}

}  // namespace
}  // namespace lumora
