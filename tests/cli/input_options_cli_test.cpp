// Refusals that the named inputs added or tightened, as lumora-cli reports
// them.
#include <gtest/gtest.h>

#include "cli/cli_run.hpp"
#include "scratch_test.hpp"

namespace lumora {
namespace {

using testing::RunCli;

class InputOptionsCli : public testing::ScratchTest {};

TEST_F(InputOptionsCli, ControlCharactersOfAShiftAreShownEscaped) {
  const auto run = RunCli("tiling --shifts \"$(printf '0.1,\\033[2J')\" --xy " + Path("v.xy"), true);
  EXPECT_EQ(run.status, 2);
  EXPECT_EQ(run.out,
            "lumora-cli: option --shifts: \"0.1,\\x1B[2J\" has \"\\x1B[2J\", which is not a number from -1 to 1\n");
}

}  // namespace
}  // namespace lumora
