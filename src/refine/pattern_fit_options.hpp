// The whole-pattern fit options shared by "lumora-cli powder --rietveld" and
// the Python package: the parameters, the background's terms, the search.
#pragma once

#include <string>

#include "inputs/input_reading.hpp"
#include "powder/measured_pattern.hpp"
#include "powder/powder_lines.hpp"
#include "powder/powder_profile.hpp"
#include "refine/whole_pattern_fit.hpp"

namespace lumora {

class PatternFitOptions {
 public:
  // --refine (the fit's list), --background, --search, --max-iterations.
  static const NamedInputs& Inputs();
  // Reads one option; false when the name is not one of these.
  bool Apply(const Option& option);

  struct Prepared {
    WholePatternSetup setup;
    std::size_t lines = 0;
  };
  // Runs the calculation over the measured range (2 degrees beyond either
  // end) at the inputs' a and c, takes its lines of complete orbits under the
  // space group's Laue class, and starts from the profile options (U, V, W,
  // eta, zero, doublet, cut); scale and background start at their
  // least-squares values. A UsageError names the option whose value cannot be used.
  Prepared Prepare(const CalculationInputs& inputs, const ProfileOptions& profile, const LineOptions& lines,
                   const StructureModel& model, const MeasuredPattern& measured) const;

 private:
  std::string refine_{input::kPatternRefine.defaultText};
  int backgroundTerms_ = 3;
  int searchStarts_ = 6;
  int maxIterations_ = 100;
};

}  // namespace lumora
