// lumora-cli: the program's calculations without a window, for scripts.
#include <cstdio>
#include <exception>
#include <string>
#include <vector>

#include "cli/cli_options.hpp"
#include "cli/command_inputs.hpp"
#include "cli/commands.hpp"
#include "cli/process_guard.hpp"
#include "common/text.hpp"
#include "common/version.hpp"

namespace {

constexpr const char* kUsage = R"(Usage: lumora-cli COMMAND [options]

Commands:
  reflections   enumerate the reflections and write the report (hkl, csv, json)
  matrices      print the direct and inverse lattice matrices
  tiling        build a multigrid tiling and write its vertices and pictures
  plot          write the 2D or 3D plot as a picture (png, bmp, svg, pdf, wmf)
  powder        merge the reflections into powder lines and simulate the pattern
  zone          simulate a zone-axis diffraction pattern and fit a measured image
  refine        refine a structure model against measured intensities

"lumora-cli COMMAND --help" describes the options of a command;
"lumora-cli --version" shows the version.
)";

}  // namespace

namespace {

int Run(std::vector<std::string> args) {
  if (args.empty() || args[0] == "--help" || args[0] == "-h") {
    std::fputs(kUsage, args.empty() ? stderr : stdout);
    return args.empty() ? 2 : 0;
  }
  // For the shell's completion: the words that may follow (command_inputs.hpp).
  if (args[0] == "--complete") {
    try {
      for (const std::string& word : lumora::cli::CompletionWords({args.begin() + 1, args.end()}))
        std::printf("%s\n", word.c_str());
      return 0;
    } catch (const lumora::cli::UsageError& error) {
      std::fprintf(stderr, "lumora-cli: %s\n", error.what());
      return 2;
    }
  }
  if (args[0] == "--version") {
    std::printf("lumora-cli %s\n", lumora::kVersion);
    return 0;
  }
  const std::string command = args[0];
  args.erase(args.begin());
  try {
    if (command == "reflections") return lumora::cli::RunReflections(args);
    if (command == "matrices") return lumora::cli::RunMatrices(args);
    if (command == "tiling") return lumora::cli::RunTiling(args);
    if (command == "plot") return lumora::cli::RunPlot(args);
    if (command == "powder") return lumora::cli::RunPowder(args);
    if (command == "zone") return lumora::cli::RunZone(args);
    if (command == "refine") return lumora::cli::RunRefine(args);
    throw lumora::cli::UsageError("unknown command \"" + lumora::EchoText(command) +
                                  "\" (reflections, matrices, tiling, plot, powder, zone or refine)");
  } catch (const lumora::cli::UsageError& error) {
    std::fprintf(stderr, "lumora-cli: %s\n", error.what());
    return 2;
  } catch (const std::exception& error) {
    std::fprintf(stderr, "lumora-cli: %s\n", error.what());
    return 1;
  }
}

}  // namespace

int main(int argc, char** argv) {
  lumora::cli::GuardStandardStreams();
  lumora::cli::RemoveTemporaryFilesOnSignals();
  return lumora::cli::FinishStandardOutput(Run(std::vector<std::string>(argv + 1, argv + argc)));
}
