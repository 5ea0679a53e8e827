// The options of "lumora-cli zone" shared with the Python package: the beam,
// the radiation, the specimen, the pattern's extent, and the spot search and
// fit of a measured image.
#pragma once

#include <optional>
#include <set>
#include <string>

#include "cli/cli_options.hpp"
#include "zone/spot_finder.hpp"
#include "zone/zone_fit.hpp"
#include "zone/zone_pattern.hpp"

namespace lumora::cli {

class ZoneOptions {
 public:
  static const std::set<std::string>& Names();  // options with a value
  // Applies one option, checking its value; false when the name is not one
  // of these. --wavelength and --anode are noted (for the radiation) and
  // left to ParameterOptions (false).
  bool Apply(const Option& option);
  // The zone inputs over the run's inputs; a UsageError when the radiation
  // options do not fit together or the index vector has the wrong length.
  ZoneInputs Inputs(const ParameterOptions::Read& read) const;

  SpotSearchOptions spots;
  ZoneFitOptions fit;

 private:
  std::optional<std::string> axis_, radiation_;
  std::optional<double> voltage_;
  double tiltX_ = 0.0, tiltY_ = 0.0;
  double thickness_ = 50.0;  // nm
  double precession_ = 0.0, gMax_ = 1.5, sMax_ = 0.05, cameraLength_ = 0.0;
  bool wavelengthGiven_ = false, anodeGiven_ = false;
};

}  // namespace lumora::cli
