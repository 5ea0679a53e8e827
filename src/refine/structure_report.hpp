// A structure refinement as text (the report), JSON (for scripts), CIF (the
// refinement's figures and the fitted reflections) and the refined model in
// the model-file format.
#pragma once

#include <string>

#include "refine/structure_refinement.hpp"

namespace lumora {

// What the outputs say about the data beside the outcome.
struct RefinementContext {
  std::string dataName;    // the reflection file, as given
  Weighting weighting;
  MergedData const* data = nullptr;  // the merged data refined against (R_int, counts)
  int nDim = 5;
};

// The parameters with start, value and su (at a bound marked), the
// correlation matrix (|r| > 0.9 marked "*") and the other minima found; and
// the same as the JSON members "parameters", "correlations" (names, matrix)
// and "candidates".
std::string ParametersText(const std::vector<RefinedValue>& parameters, const std::vector<std::size_t>& refinedIndex,
                           const std::vector<double>& correlations, const std::vector<RefinementCandidate>& candidates,
                           double chi2);
std::string ParametersJson(const std::vector<RefinedValue>& parameters, const std::vector<std::size_t>& refinedIndex,
                           const std::vector<double>& correlations, const std::vector<RefinementCandidate>& candidates);
// {"status": "refused" (or "cancelled"), "error": ...}
std::string RefusalJson(RefinementStatus status, const std::string& error);

// ", neutron" or ", electron" for the report's model line; empty for X-rays,
// whose reports read as before.
std::string RadiationSuffix(RadiationKind radiation);

// "w = 1/sigma^2" or "w = 1/(sigma^2 + (0.05 P)^2 + 0.1 P), P = (max(Io,0) + 2 Ic)/3".
std::string WeightingText(const Weighting& weighting);

// The figures, the parameters with start, value and su (at a bound marked),
// the correlation matrix (|r| > 0.9 marked "*"), the other minima of the
// search and the reflections that fit worst. outcome must be Refined.
std::string StructureRefinementReport(const RefinementOutcome& outcome, const RefinementContext& context);

// One JSON object: status, R1, wR2, GoF, observations, strong_observations,
// refined_parameters, iterations, R_int, parameters (name, value, su, start,
// at_bound), correlations (names, matrix), candidates and worst (index,
// observed, sigma, calculated). A refused outcome gives status and error only.
std::string StructureRefinementJson(const RefinementOutcome& outcome, const RefinementContext& context);

// A CIF block: the _refine_ls figures, the refined parameters in a loop of
// their own, and the _refln loop with F_squared_meas, F_squared_sigma and
// F_squared_calc (I_calc, scale and extinction included).
std::string StructureRefinementCif(const RefinementOutcome& outcome, const RefinementContext& context);

// The refined model in the model-file format, after comment lines with the
// figures, the scale and the extinction (which the format does not hold).
std::string RefinedModelText(const RefinementOutcome& outcome, const RefinementContext& context);

}  // namespace lumora
