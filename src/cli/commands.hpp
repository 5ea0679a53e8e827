// The subcommands of lumora-cli. Each returns the process exit status and
// throws UsageError for bad input.
#pragma once

#include <string>
#include <vector>

namespace lumora::cli {

int RunReflections(const std::vector<std::string>& args);
int RunMatrices(const std::vector<std::string>& args);
int RunTiling(const std::vector<std::string>& args);
int RunPlot(const std::vector<std::string>& args);
int RunPowder(const std::vector<std::string>& args);
int RunZone(const std::vector<std::string>& args);

}  // namespace lumora::cli
