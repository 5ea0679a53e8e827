#include "cli/cli_options.hpp"

#include <cstdio>
#include <optional>

#include "cli/process_guard.hpp"
#include "common/file_io.hpp"
#include "common/text.hpp"

namespace lumora::cli {

std::vector<Option> ReadOptions(const std::vector<std::string>& args, const std::set<std::string>& valued,
                                const std::set<std::string>& flags) {
  std::vector<Option> options;
  for (std::size_t i = 0; i < args.size(); ++i) {
    std::string name = args[i];
    std::optional<std::string> inlineValue;
    if (name.rfind("--", 0) == 0) {
      const std::size_t eq = name.find('=');
      if (eq != std::string::npos) {
        inlineValue = name.substr(eq + 1);
        name = name.substr(0, eq);
      }
    }
    if (flags.count(name)) {
      if (inlineValue) throw UsageError("option " + EchoText(name) + " takes no value");
      options.push_back({name, ""});
    } else if (valued.count(name)) {
      if (inlineValue) {
        options.push_back({name, *inlineValue});
      } else {
        if (i + 1 >= args.size()) throw UsageError("option " + EchoText(name) + " needs a value");
        options.push_back({name, args[++i]});
      }
    } else if (!name.empty() && name[0] == '-') {
      throw UsageError("unknown option " + EchoText(name));
    } else {
      throw UsageError("unexpected argument \"" + EchoText(name) + "\"");
    }
  }
  return options;
}

std::vector<Option> ReadOptions(const std::vector<std::string>& args, const NamedInputs& inputs) {
  return ReadOptions(args, ValuedOptions(inputs), FlagOptions(inputs));
}

bool WriteOutput(const std::string& path, const std::string& text) {
  if (path.empty()) return WriteStandardOutput(text);
  const WriteOutcome outcome = WriteFileAtomically(path, text, &CleanupWatch());
  if (!outcome.ok) std::fprintf(stderr, "lumora-cli: %s\n", outcome.error.c_str());
  return outcome.ok;
}

bool WriteOutputs(const std::vector<OutputFile>& outputs) {
  FileTransaction transaction(&CleanupWatch());
  for (const OutputFile& file : outputs) {
    if (file.path.empty()) continue;
    const WriteOutcome staged = transaction.Stage(file.path, file.text);
    if (!staged.ok) {
      std::fprintf(stderr, "lumora-cli: %s; no file was written\n", staged.error.c_str());
      return false;
    }
  }
  const WriteOutcome committed = transaction.Commit();
  if (!committed.ok) {
    std::fprintf(stderr, "lumora-cli: %s\n", committed.error.c_str());
    return false;
  }
  for (const OutputFile& file : outputs)
    if (file.path.empty() && !WriteStandardOutput(file.text)) return false;
  return true;
}

}  // namespace lumora::cli
