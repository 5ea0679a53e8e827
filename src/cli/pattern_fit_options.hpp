// The whole-pattern fit options shared by "lumora-cli powder --rietveld" and
// the Python package: the parameters, the background's terms, the search.
#pragma once

#include <set>
#include <string>

#include "cli/cli_options.hpp"
#include "powder/powder_lines.hpp"
#include "powder/powder_profile.hpp"
#include "refine/whole_pattern_fit.hpp"

namespace lumora::cli {

class PatternFitOptions {
 public:
  static const std::set<std::string>& Names();  // --background, --search, --max-iterations
  // Applies one option, checking its value; false when the name is not one of
  // these. --refine is taken too (the fit's parameter list).
  bool Apply(const Option& option);

  struct Prepared {
    WholePatternSetup setup;
    std::size_t lines = 0;
  };
  // Runs the calculation over the measured range (2 degrees beyond either
  // end) at the inputs' a and c, takes its lines of complete orbits under the
  // space group's Laue class, and starts from the profile options (U, V, W,
  // eta, zero, doublet, cut) with the background at its least-squares value.
  // A UsageError names the option whose value cannot be used.
  Prepared Prepare(const CalculationInputs& inputs, const ProfileOptions& profile, const LineOptions& lines,
                   const StructureModel& model, const MeasuredPattern& measured) const;

 private:
  std::string refine_ = "scale,zero,a,c,u,v,w,eta,background";
  int backgroundTerms_ = 3;
  int searchStarts_ = 6;
  int maxIterations_ = 100;
};

}  // namespace lumora::cli
