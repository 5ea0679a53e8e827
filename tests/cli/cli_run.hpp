// Runs lumora-cli as a user would and captures what it prints.
#pragma once

#include <sys/wait.h>

#include <array>
#include <cstdio>
#include <string>

namespace lumora::testing {

struct CliRun {
  int status = -1;
  std::string out;  // standard output, or standard error with errorsOnly
};

// Runs a shell command line; its standard output and exit status.
inline CliRun RunCommand(const std::string& command) {
  CliRun run;
  FILE* pipe = popen(command.c_str(), "r");
  if (!pipe) return run;
  std::array<char, 4096> buffer{};
  std::size_t n = 0;
  while ((n = std::fread(buffer.data(), 1, buffer.size(), pipe)) > 0) run.out.append(buffer.data(), n);
  const int raw = pclose(pipe);
  run.status = WIFEXITED(raw) ? WEXITSTATUS(raw) : -1;
  return run;
}

inline CliRun RunCli(const std::string& arguments, bool errorsOnly = false) {
  return RunCommand(std::string(LUMORA_CLI_PATH) + " " + arguments +
                    (errorsOnly ? " 2>&1 >/dev/null" : " 2>/dev/null"));
}

}  // namespace lumora::testing
