#include "cli/cli_options.hpp"

#include "intensity/model_file.hpp"

#include <algorithm>
#include <cctype>
#include <cmath>
#include <cstdio>
#include <variant>

#include "inputs/settings_file.hpp"
#include "cli/process_guard.hpp"
#include "common/file_io.hpp"
#include "common/number_text.hpp"
#include "common/text.hpp"

namespace lumora::cli {
namespace {

std::string Lower(std::string s) {
  std::transform(s.begin(), s.end(), s.begin(), [](unsigned char ch) { return static_cast<char>(std::tolower(ch)); });
  return s;
}

bool IsWholeNumberText(const std::string& text) {
  std::string_view t = Trim(text);
  if (t.empty()) return false;
  return std::all_of(t.begin(), t.end(), [](char ch) { return ch >= '0' && ch <= '9'; });
}

}  // namespace

std::vector<std::string> SplitCommas(const std::string& s) {
  std::vector<std::string> parts;
  std::size_t start = 0;
  for (;;) {
    std::size_t comma = s.find(',', start);
    parts.emplace_back(Trim(std::string_view(s).substr(start, comma - start)));
    if (comma == std::string::npos) break;
    start = comma + 1;
  }
  return parts;
}

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

void BadValue(const std::string& option, const std::string& value, const std::string& problem) {
  throw UsageError("option " + option + ": \"" + EchoText(value) + "\" " + problem);
}

std::uint64_t WholeNumberOption(const Option& option, std::uint64_t lowest, std::uint64_t highest) {
  const std::optional<double> value = ParseNumber(option.value);
  if (!value || !(*value >= static_cast<double>(lowest)) || !(*value <= static_cast<double>(highest)) ||
      *value != std::floor(*value))
    BadValue(option.name, option.value,
             "is not a whole number from " + std::to_string(lowest) + " to " + std::to_string(highest));
  return static_cast<std::uint64_t>(*value);
}

const std::set<std::string>& ParameterOptions::Names() {
  static const std::set<std::string> names = {"--settings", "--system",  "--space-group", "--setting",
                                              "-a",         "-c",        "--wavelength",  "--anode",
                                              "--theta",    "--qi-max",  "--loops"};
  return names;
}

bool ParameterOptions::Apply(const Option& option) {
  const std::string& n = option.name;
  std::optional<std::string>* slot = n == "--settings"      ? &settingsFile_
                                     : n == "--system"      ? &system_
                                     : n == "--space-group" ? &group_
                                     : n == "--setting"     ? &setting_
                                     : n == "-a"            ? &a_
                                     : n == "-c"            ? &c_
                                     : n == "--wavelength"  ? &wavelength_
                                     : n == "--anode"       ? &anode_
                                     : n == "--theta"       ? &theta_
                                     : n == "--qi-max"      ? &qiMax_
                                     : n == "--loops"       ? &loops_
                                                            : nullptr;
  if (!slot) return false;
  *slot = option.value;
  return true;
}

ParameterTexts ParameterOptions::Resolve() const {
  StoredSettings stored;
  if (settingsFile_) {
    const ReadOutcome read = ReadSmallRegularFile(*settingsFile_, kMaxSettingsFileBytes);
    if (read.status == ReadStatus::Missing) BadValue("--settings", *settingsFile_, "cannot be read: no such file");
    if (read.status == ReadStatus::Refused) BadValue("--settings", *settingsFile_, read.problem);
    ApplySettingsText(read.text, stored);
  }
  ParameterTexts p = stored.parameters;

  if (system_) {
    static const char* names[] = {"octagonal", "decagonal", "dodecagonal", "icosahedral"};
    const auto it = std::find(std::begin(names), std::end(names), Lower(*system_));
    if (it == std::end(names))
      BadValue("--system", *system_, "is not one of octagonal, decagonal, dodecagonal, icosahedral");
    const int index = static_cast<int>(it - std::begin(names));
    if (index != p.systemIndex || !settingsFile_) {
      p.systemIndex = index;
      const CrystalSystem system = SystemFromIndex(index);
      p.groupIndex = system == CrystalSystem::Decagonal ? kStartGroupIndex : DefaultGroupIndex(system);
    }
  }
  const CrystalSystem system = SystemFromIndex(p.systemIndex);
  if (group_) {
    const SpaceGroup* group = FindGroup(*group_);
    if (!group) BadValue("--space-group", *group_, "is not a known space group");
    if (group->system != system)
      BadValue("--space-group", *group_,
               "belongs to the " + Lower(std::string(SystemName(group->system))) + " system, not the " +
                   Lower(std::string(SystemName(system))) + " one");
    p.groupIndex = group->listIndex;
  }
  if (setting_) {
    const std::string s = Lower(*setting_);
    if (s != "yamamoto" && s != "steurer") BadValue("--setting", *setting_, "is not yamamoto or steurer");
    p.yamamoto = s == "yamamoto";
  }
  if (a_) p.a = *a_;
  if (c_) p.c = *c_;
  if (wavelength_ && anode_) throw UsageError("options --wavelength and --anode cannot be used together");
  if (anode_) {
    const std::optional<int> index = FindAnode(*anode_);
    if (!index) BadValue("--anode", *anode_, "is not one of Mo, Cu, Ni, Co, Fe, Cr, Ag, US");
    p.anodeIndex = *index;
    p.wavelength = AnodeWavelengthText(*index);
  }
  if (wavelength_) {
    p.anodeIndex = kTypedAnodeIndex;
    p.wavelength = *wavelength_;
  }
  if (theta_) {
    const std::vector<std::string> parts = SplitCommas(*theta_);
    if (parts.size() != 2) BadValue("--theta", *theta_, "must be MIN,MAX");
    p.thetaMin = parts[0];
    p.thetaMax = parts[1];
  }
  if (qiMax_) p.qiMax = *qiMax_;
  if (loops_) {
    const std::vector<std::string> parts = SplitCommas(*loops_);
    const std::size_t n = static_cast<std::size_t>(DimensionOf(system));
    if (parts.size() != 1 && parts.size() != n)
      BadValue("--loops", *loops_, "must be one limit or " + std::to_string(n) + " limits separated by commas");
    for (std::size_t k = 0; k < 6; ++k) {
      const std::string& part = parts.size() == 1 ? parts[0] : (k < n ? parts[k] : p.loops[k]);
      if (k < n && (!IsWholeNumberText(part) || part.size() > 5 || std::stoi(part) > 32767))
        BadValue("--loops", part, "is not a whole number from 0 to 32767");
      if (k < n) p.loops[k] = part;
    }
  }
  return p;
}

ParameterOptions::Read ParameterOptions::ReadInputs() const {
  Read read;
  read.texts = Resolve();
  read.summary = BuildSummary(read.texts);
  NormaliseDecimalCommas(read.texts);
  auto inputs = lumora::ReadInputs(read.texts);
  if (const InputError* error = std::get_if<InputError>(&inputs)) Reject(*error);
  read.inputs = std::get<CalculationInputs>(inputs);
  return read;
}

void ParameterOptions::Reject(const InputError& error) const {
  // A value the user did not type came from the settings file: say where.
  const std::optional<std::string>* typed = nullptr;
  int line = 0;
  switch (error.field) {
    case InputField::System: typed = &system_, line = 1; break;
    case InputField::SpaceGroup: typed = &group_, line = 2; break;
    case InputField::A: typed = &a_, line = 4; break;
    case InputField::C: typed = &c_, line = 5; break;
    case InputField::Loop: typed = &loops_, line = 6 + error.loopIndex; break;
    case InputField::Wavelength: typed = wavelength_ ? &wavelength_ : &anode_, line = 12; break;
    case InputField::ThetaMin: typed = &theta_, line = 13; break;
    case InputField::ThetaMax: typed = &theta_, line = 14; break;
    case InputField::QiMax: typed = &qiMax_, line = 15; break;
  }
  if (typed && !typed->has_value() && settingsFile_)
    throw UsageError("settings file \"" + EchoText(*settingsFile_, 256) + "\" line " + std::to_string(line) + " (" +
                     FieldLabel(error.field, error.loopIndex) + "): \"" + EchoText(error.text) + "\" " +
                     error.problem);
  switch (error.field) {
    case InputField::A: BadValue("-a", error.text, error.problem);
    case InputField::C: BadValue("-c", error.text, error.problem);
    case InputField::Wavelength: BadValue(anode_ ? "--anode" : "--wavelength", error.text, error.problem);
    case InputField::ThetaMin:
    case InputField::ThetaMax: BadValue("--theta", error.text, error.problem);
    case InputField::QiMax: BadValue("--qi-max", error.text, error.problem);
    case InputField::Loop: BadValue("--loops", error.text, error.problem);
    case InputField::System: BadValue("--system", error.text, error.problem);
    case InputField::SpaceGroup: BadValue("--space-group", error.text, error.problem);
  }
  throw UsageError(error.Message());
}

bool WriteOutput(const std::string& path, const std::string& text) {
  if (path.empty()) return WriteStandardOutput(text);
  const WriteOutcome outcome = WriteFileAtomically(path, text, &CleanupWatch());
  if (!outcome.ok) std::fprintf(stderr, "lumora-cli: %s\n", outcome.error.c_str());
  return outcome.ok;
}

std::optional<StructureModel> ModelOption(const std::optional<std::string>& nameOrPath) {
  if (!nameOrPath) return std::nullopt;
  if (nameOrPath->empty()) BadValue("--model", *nameOrPath, "is not a model name or file");
  auto found = FindModel(*nameOrPath);
  if (const std::string* error = std::get_if<std::string>(&found)) throw UsageError("option --model: " + *error);
  return std::get<StructureModel>(std::move(found));
}

}  // namespace lumora::cli
