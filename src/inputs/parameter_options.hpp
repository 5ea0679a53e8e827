// The calculation inputs as options, shared by lumora-cli and the Python
// package: system, space group, setting, lattice constants, wavelength or
// anode, theta range, qi-max, loop limits and a settings file to start from.
#pragma once

#include <optional>
#include <set>
#include <string>

#include "inputs/input_reading.hpp"
#include "inputs/parameters.hpp"

namespace lumora {

// The error with the field's text as typed (before decimal commas became
// points), so that a message quotes what the user wrote.
InputError AsTyped(InputError error, const ParameterTexts& typed);

class ParameterOptions {
 public:
  // The inputs these options read, and their option names.
  static const NamedInputs& Inputs();
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
  // Whether the wavelength was chosen (--wavelength, --anode or a settings
  // file); if not, a measured file may state it.
  bool WavelengthChosen() const { return wavelength_ || anode_ || settingsFile_; }
  void ChooseWavelength(const std::string& text) { wavelength_ = text; }
  // Without --loops the run takes complete loops (as "--loops auto" does):
  // lumora-cli powder and the indexing.
  void LoopsAutoByDefault() { loopsAutoByDefault_ = true; }

 private:
  bool loopsAutoByDefault_ = false;
  std::optional<std::string> settingsFile_, system_, group_, setting_, a_, c_, wavelength_, anode_, theta_, qiMax_,
      loops_;
};

}  // namespace lumora
