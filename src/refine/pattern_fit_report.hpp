// A whole-pattern fit as text (the report), JSON and the refined model.
#pragma once

#include <string>

#include "refine/whole_pattern_fit.hpp"

namespace lumora {

// The figures (Rp, Rwp, R_exp, chi^2), the refined lattice and profile, the
// parameters with su, correlations and other minima. outcome must be Refined.
std::string PatternFitReport(const WholePatternOutcome& outcome, std::size_t lines, const std::string& dataName);

// One JSON object: status, Rp, Rwp, Rexp, chi2, points, refined_parameters,
// iterations, lines, parameters (name, value, su, start, at_bound),
// correlations, candidates; a refused outcome gives status and error only.
std::string PatternFitJson(const WholePatternOutcome& outcome, std::size_t lines);

// The refined model in the model-file format after comment lines with the
// figures and the refined pattern values the format does not hold.
std::string PatternFitModelText(const WholePatternOutcome& outcome, const std::string& dataName);

}  // namespace lumora
