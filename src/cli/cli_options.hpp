// Command-line reading shared by the lumora-cli subcommands: the arguments
// split into options, which the named inputs (src/inputs) then read.
#pragma once

#include <set>
#include <string>
#include <vector>

#include "inputs/input_reading.hpp"
#include "inputs/model_option.hpp"
#include "inputs/parameter_options.hpp"

namespace lumora::cli {

using lumora::Option;
using lumora::ParameterOptions;
using lumora::UsageError;

// Splits arguments into options in the order given. "--name value" and
// "--name=value" both work; unknown names, missing values and stray arguments
// are usage errors.
std::vector<Option> ReadOptions(const std::vector<std::string>& args, const std::set<std::string>& valued,
                                const std::set<std::string>& flags);
// The same for the options of the named inputs given.
std::vector<Option> ReadOptions(const std::vector<std::string>& args, const NamedInputs& inputs);

// Writes text to path atomically, or to standard output when path is empty.
// Returns false (after saying why on standard error) when it cannot be written.
bool WriteOutput(const std::string& path, const std::string& text);

// Several outputs of one command: every file is staged before any is replaced,
// so that all are written or none (the message then says so); an output
// without a path goes to standard output once the files are in place.
struct OutputFile {
  std::string path;
  std::string text;
};
bool WriteOutputs(const std::vector<OutputFile>& outputs);

}  // namespace lumora::cli
