#include "inputs/parameter_options.hpp"

#include <algorithm>
#include <cctype>
#include <variant>

#include "common/file_io.hpp"
#include "common/text.hpp"
#include "inputs/settings_file.hpp"

namespace lumora {
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

const NamedInputs& ParameterOptions::Inputs() {
  using namespace input;
  static const NamedInputs inputs = {&kSettings, &kSystem, &kSpaceGroup, &kSetting, &kLatticeA, &kLatticeC,
                                     &kWavelength, &kAnode, &kTheta, &kQiMax, &kLoops};
  return inputs;
}

const std::set<std::string>& ParameterOptions::Names() {
  static const std::set<std::string> names = ValuedOptions(Inputs());
  return names;
}

bool ParameterOptions::Apply(const Option& option) {
  using namespace input;
  const std::string& n = option.name;
  std::optional<std::string>* slot = n == kSettings.option     ? &settingsFile_
                                     : n == kSystem.option     ? &system_
                                     : n == kSpaceGroup.option ? &group_
                                     : n == kSetting.option    ? &setting_
                                     : n == kLatticeA.option   ? &a_
                                     : n == kLatticeC.option   ? &c_
                                     : n == kWavelength.option ? &wavelength_
                                     : n == kAnode.option      ? &anode_
                                     : n == kTheta.option      ? &theta_
                                     : n == kQiMax.option      ? &qiMax_
                                     : n == kLoops.option      ? &loops_
                                                               : nullptr;
  if (!slot) return false;
  *slot = option.value;
  return true;
}

ParameterTexts ParameterOptions::Resolve() const {
  using namespace input;
  StoredSettings stored;
  if (settingsFile_) {
    const ReadOutcome read = ReadSmallRegularFile(*settingsFile_, kMaxSettingsFileBytes);
    if (read.status == ReadStatus::Missing) BadValue(kSettings.option, *settingsFile_, "cannot be read: no such file");
    if (read.status == ReadStatus::Refused) BadValue(kSettings.option, *settingsFile_, read.problem);
    ApplySettingsText(read.text, stored);
  }
  ParameterTexts p = stored.parameters;

  if (system_) {
    const std::optional<std::size_t> choice = ChoiceIndex(kSystem, *system_);
    if (!choice) Refuse(kSystem, *system_);
    const int index = static_cast<int>(*choice);
    if (index != p.systemIndex || !settingsFile_) {
      p.systemIndex = index;
      const CrystalSystem system = SystemFromIndex(index);
      p.groupIndex = system == CrystalSystem::Decagonal ? kStartGroupIndex : DefaultGroupIndex(system);
    }
  }
  const CrystalSystem system = SystemFromIndex(p.systemIndex);
  if (group_) {
    const SpaceGroup* group = FindGroup(*group_);
    if (!group) Refuse(kSpaceGroup, *group_);
    if (group->system != system)
      BadValue(kSpaceGroup.option, *group_,
               "belongs to the " + Lower(std::string(SystemName(group->system))) + " system, not the " +
                   Lower(std::string(SystemName(system))) + " one");
    p.groupIndex = group->listIndex;
  }
  if (setting_) p.yamamoto = ReadChoice(kSetting, *setting_) == "yamamoto";
  if (a_) p.a = *a_;
  if (c_) p.c = *c_;
  if (wavelength_ && anode_)
    throw UsageError("options " + std::string(kWavelength.option) + " and " + std::string(kAnode.option) +
                     " cannot be used together");
  if (anode_) {
    const std::optional<int> index = FindAnode(*anode_);
    if (!index) Refuse(kAnode, *anode_);
    p.anodeIndex = *index;
    p.wavelength = AnodeWavelengthText(*index);
  }
  if (wavelength_) {
    p.anodeIndex = kTypedAnodeIndex;
    p.wavelength = *wavelength_;
  }
  if (theta_) {
    const std::vector<std::string> parts = SplitCommas(*theta_);
    if (parts.size() != 2) Refuse(kTheta, *theta_);
    p.thetaMin = parts[0];
    p.thetaMax = parts[1];
  }
  if (qiMax_) p.qiMax = *qiMax_;
  if (loopsAutoByDefault_ && !loops_) p.completeLoops = true;
  if (loops_ && Lower(*loops_) == kLoopsAuto) {
    p.completeLoops = true;
  } else if (loops_) {
    p.completeLoops = false;
    const std::vector<std::string> parts = SplitCommas(*loops_);
    const std::size_t n = static_cast<std::size_t>(DimensionOf(system));
    if (parts.size() != 1 && parts.size() != n)
      BadValue(kLoops.option, *loops_,
               "must be one limit or " + std::to_string(n) + " limits separated by commas");
    for (std::size_t k = 0; k < 6; ++k) {
      const std::string& part = parts.size() == 1 ? parts[0] : (k < n ? parts[k] : p.loops[k]);
      // Digits only: a typed loop limit is never rounded.
      if (k < n && (!IsWholeNumberText(part) || part.size() > 5 || !kLoops.range.Contains(std::stod(part))))
        BadValue(kLoops.option, part, WholeNumberProblem(kLoops.range));
      if (k < n) p.loops[k] = part;
    }
  }
  return p;
}

InputError AsTyped(InputError error, const ParameterTexts& typed) {
  switch (error.field) {
    case InputField::A: error.text = typed.a; break;
    case InputField::C: error.text = typed.c; break;
    case InputField::Wavelength: error.text = typed.wavelength; break;
    case InputField::ThetaMin: error.text = typed.thetaMin; break;
    case InputField::ThetaMax: error.text = typed.thetaMax; break;
    case InputField::QiMax: error.text = typed.qiMax; break;
    case InputField::Loop: error.text = typed.loops[static_cast<std::size_t>(error.loopIndex)]; break;
    case InputField::System:
    case InputField::SpaceGroup: break;
  }
  return error;
}

ParameterOptions::Read ParameterOptions::ReadInputs() const {
  Read read;
  read.texts = Resolve();
  read.summary = BuildSummary(read.texts);
  const ParameterTexts typed = read.texts;
  NormaliseDecimalCommas(read.texts);
  auto inputs = lumora::ReadInputs(read.texts);
  if (const InputError* error = std::get_if<InputError>(&inputs)) Reject(AsTyped(*error, typed));
  read.inputs = std::get<CalculationInputs>(inputs);
  return read;
}

void ParameterOptions::Reject(const InputError& error) const {
  // A value the user did not type came from the settings file: say where.
  const std::optional<std::string>* typed = nullptr;
  switch (error.field) {
    case InputField::System: typed = &system_; break;
    case InputField::SpaceGroup: typed = &group_; break;
    case InputField::A: typed = &a_; break;
    case InputField::C: typed = &c_; break;
    case InputField::Loop: typed = &loops_; break;
    case InputField::Wavelength: typed = wavelength_ ? &wavelength_ : &anode_; break;
    case InputField::ThetaMin:
    case InputField::ThetaMax: typed = &theta_; break;
    case InputField::QiMax: typed = &qiMax_; break;
  }
  const NamedInput& named = FieldInput(error.field);
  if (typed && !typed->has_value() && settingsFile_) {
    const int line = named.settingsLine + (error.field == InputField::Loop ? error.loopIndex : 0);
    throw UsageError("settings file \"" + EchoText(*settingsFile_, 256) + "\" line " + std::to_string(line) + " (" +
                     FieldLabel(error.field, error.loopIndex) + "): \"" + EchoText(error.text) + "\" " +
                     error.problem);
  }
  // The wavelength of an anode was set by --anode.
  const std::string_view option =
      error.field == InputField::Wavelength && anode_ ? input::kAnode.option : named.option;
  BadValue(option, error.text, error.problem);
}

}  // namespace lumora
