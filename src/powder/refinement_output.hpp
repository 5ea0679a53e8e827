// A refinement as text for the report and as JSON for scripts.
#pragma once

#include <string>

#include "powder/powder_refinement.hpp"

namespace lumora {

// The refined values with their standard uncertainties ("(fixed)" for those
// not refined), the figure of merit, the table observed / calculated /
// difference / d / multiplicity / indices (nDim of them) and the unindexed
// peaks, and the wavelength used (A). result must have no error.
std::string RefinementReport(const RefinementResult& result, const RefineOptions& options, int nDim,
                             double wavelength);

// One JSON object: a, a_su, c, c_su, zero, zero_su, refined (names),
// figure_of_merit, figure_of_merit_name, mean_difference, possible_lines,
// iterations, peaks (observed, calculated, difference, index, multiplicity,
// d) and unindexed. Numbers in their shortest exact form.
std::string RefinementJson(const RefinementResult& result, const RefineOptions& options, int nDim);

}  // namespace lumora
