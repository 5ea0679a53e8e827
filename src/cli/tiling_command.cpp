#include "cli/cli_options.hpp"
#include "cli/commands.hpp"

namespace lumora::cli {

int RunTiling(const std::vector<std::string>&) {
  throw UsageError("the tiling command is not available in this build yet");
}

}  // namespace lumora::cli
