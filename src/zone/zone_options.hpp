// The options of a zone-axis pattern shared by "lumora-cli zone", the Python
// package and the zone window: the beam, the radiation, the specimen, the
// pattern's extent, and the spot search and fit of a measured image. Each is
// a named input (inputs/named_inputs.hpp) read by the shared readers.
#pragma once

#include <optional>
#include <string>

#include "inputs/input_reading.hpp"
#include "inputs/parameter_options.hpp"
#include "zone/spot_finder.hpp"
#include "zone/zone_fit.hpp"
#include "zone/zone_pattern.hpp"

namespace lumora {

// The zone's radiation from a choice of kRadiation ("electron", "xray",
// "neutron", "x-ray"): electrons by voltage (kV), the others by wavelength (A).
Radiation ZoneRadiation(const std::string& kind, double voltage, double wavelength);

class ZoneOptions {
 public:
  // The calculation's inputs without --theta (the pattern's extent is --g-max)
  // and the zone's own, spot search and fit included.
  static const NamedInputs& Inputs();
  // Applies one zone option, checking its value; false when the name is not
  // one of these. --wavelength and --anode are noted (for the radiation) and
  // left to ParameterOptions (false).
  bool Apply(const Option& option);
  // The zone inputs over the run's inputs; a UsageError when the radiation
  // options do not fit together, the index vector has the wrong length or the
  // inputs cannot be simulated.
  ZoneInputs Read(const ParameterOptions::Read& read) const;

  SpotSearchOptions spots;
  ZoneFitOptions fit;

 private:
  std::optional<std::string> axis_, radiation_;
  std::optional<double> voltage_;
  double tiltX_ = 0.0, tiltY_ = 0.0;
  double thickness_ = DefaultNumber(input::kThickness);  // nm
  double precession_ = DefaultNumber(input::kPrecession);
  double gMax_ = DefaultNumber(input::kGMax), sMax_ = DefaultNumber(input::kSMax), cameraLength_ = 0.0;
  bool wavelengthGiven_ = false, anodeGiven_ = false;
};

}  // namespace lumora
