// Command-line option reading shared by the lumora-cli subcommands.
#pragma once

#include "intensity/structure_model.hpp"

#include <cstdint>
#include <optional>
#include <set>
#include <stdexcept>
#include <string>
#include <vector>

#include "inputs/parameters.hpp"

namespace lumora::cli {

// Bad input: reported as one line, exit status 2, nothing written.
struct UsageError : std::runtime_error {
  using std::runtime_error::runtime_error;
};

struct Option {
  std::string name;   // "--system", "-a"
  std::string value;  // empty for flags
};

// Splits arguments into options in the order given. "--name value" and
// "--name=value" both work; unknown names, missing values and stray arguments
// are usage errors.
std::vector<Option> ReadOptions(const std::vector<std::string>& args, const std::set<std::string>& valued,
                                const std::set<std::string>& flags);

// The comma-separated parts of s, each trimmed (one part when s has no comma).
std::vector<std::string> SplitCommas(const std::string& s);

// "option -a: "abc" is not a number"; the value shown escaped and cut.
[[noreturn]] void BadValue(const std::string& option, const std::string& value, const std::string& problem);

// A whole number from lowest to highest (both below 2^53), checked before it
// is converted.
std::uint64_t WholeNumberOption(const Option& option, std::uint64_t lowest, std::uint64_t highest);

// The structure model --model names (a built-in name or a file), or none;
// a UsageError says why a named one cannot be had.
std::optional<StructureModel> ModelOption(const std::optional<std::string>& nameOrPath);


// The calculation inputs that several subcommands share: system, space group,
// setting, lattice constants, wavelength or anode, theta range, qi-max, loop
// limits and a settings file to start from.
class ParameterOptions {
 public:
  static const std::set<std::string>& Names();
  // Applies one option; returns false when the name is not one of these.
  bool Apply(const Option& option);
  // Resolves the options into the field texts (settings file first, then the
  // options in any order).
  ParameterTexts Resolve() const;
  // Maps a field error back to the option that set the field, or to the line
  // of the settings file it came from.
  [[noreturn]] void Reject(const InputError& error) const;
  // Resolve, normalise decimal commas and read the inputs strictly; a bad
  // field is rejected as above. The summary lines describe the texts as typed.
  struct Read {
    Summary summary;  // from the texts as typed
    ParameterTexts texts;
    CalculationInputs inputs;
  };
  Read ReadInputs() const;

 private:
  std::optional<std::string> settingsFile_, system_, group_, setting_, a_, c_, wavelength_, anode_, theta_, qiMax_,
      loops_;
};

// Writes text to path atomically, or to standard output when path is empty.
// Returns false (after saying why on standard error) when it cannot be written.
bool WriteOutput(const std::string& path, const std::string& text);

}  // namespace lumora::cli
