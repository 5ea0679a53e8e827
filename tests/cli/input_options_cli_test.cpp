// Refusals that the named inputs added or tightened, as lumora-cli reports
// them: a negative qi-max, typed or from a settings file, and control
// characters in a tiling shift list shown escaped.
#include <gtest/gtest.h>

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

TEST_F(InputOptionsCli, ControlCharactersOfAShiftAreShownEscaped) {
  const auto run = RunCli("tiling --shifts \"$(printf '0.1,\\033[2J')\" --xy " + Path("v.xy"), true);
  EXPECT_EQ(run.status, 2);
  EXPECT_EQ(run.out,
            "lumora-cli: option --shifts: \"0.1,\\x1B[2J\" has \"\\x1B[2J\", which is not a number from -1 to 1\n");
}

}  // namespace
}  // namespace lumora
