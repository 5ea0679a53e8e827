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

// A value with its standard uncertainty: "2.50012(3)"-style is easy to misread
// in a table, so "2.500123 +- 0.000031", with the su to two significant digits
// and the value to the same decimal; decimals (at least) when su is 0.
std::string ValueWithSu(double value, double su, int decimals);

}  // namespace lumora
