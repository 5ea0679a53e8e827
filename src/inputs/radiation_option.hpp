// The radiation of the model intensities in lumora-cli reflections, powder and
// plot and in the Python package: --radiation xray|neutron|electron and
// --voltage. X-rays stay the default here (the zone pattern defaults to
// electrons), so a run without these options reads and reports as before.
#pragma once

#include <optional>
#include <string>

#include "inputs/input_reading.hpp"
#include "inputs/parameter_options.hpp"
#include "intensity/radiation.hpp"

namespace lumora {

class RadiationOptions {
 public:
  static const NamedInputs& Inputs();  // --radiation, --voltage
  // Reads one option; false when the name is not one of these. --wavelength
  // and --anode are noted (electrons refuse them) and left to the caller.
  bool Apply(const Option& option);
  // Electrons: puts the relativistic wavelength of the voltage into the
  // run's wavelength, so that theta, the report and the intensities use it.
  // A UsageError for a voltage without electrons or a wavelength with them.
  void Prepare(ParameterOptions& parameters) const;
  // The radiation at the run's wavelength (after Prepare).
  Radiation Of(double wavelength) const;
  // Names the radiation in the summary's second line unless it is X-rays.
  void Name(Summary& summary) const;

 private:
  std::string Kind() const;
  std::optional<std::string> kind_;
  std::optional<double> voltage_;
  bool wavelengthGiven_ = false;
};

// ", neutron" or ", electron 200 kV" for a summary line; empty for X-rays.
std::string RadiationNote(const Radiation& radiation);

}  // namespace lumora
