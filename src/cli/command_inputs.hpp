// The named inputs each lumora-cli command accepts, in one place: each command
// reads its options through this list, the shell completion asks for the
// values an option takes (lumora-cli --complete), and the tests keep every
// command's --help covering its list.
#pragma once

#include <string>
#include <string_view>
#include <vector>

#include "inputs/input_reading.hpp"

namespace lumora::cli {

inline constexpr std::string_view kCommands[] = {"reflections", "matrices", "tiling", "plot",
                                                    "powder",      "zone",     "refine"};

// The inputs of a command; a UsageError for a command that does not exist.
const NamedInputs& CommandInputs(std::string_view command);

// What the shell may offer, one word a line:
// - no command: the commands, --help and --version;
// - a command alone: its option names;
// - a command and an option: "@value" when the option takes a value, then
//   the words it takes (choices, anode symbols, space groups, built-in
//   models), and "@file" when a file name fits; nothing for a flag.
std::vector<std::string> CompletionWords(const std::vector<std::string>& args);

}  // namespace lumora::cli
