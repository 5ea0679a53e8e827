// An indexing as text for the report and as JSON for scripts.
#pragma once

#include <string>

#include "powder/powder_indexing.hpp"

namespace lumora {

// The verdict (reliable, or "no reliable solution" with the failed criteria),
// the search and wavelength model, the refined values with their standard
// uncertainties ("(fixed)" for those not refined), the figures of merit and
// criteria, the candidates, the table observed / calculated / difference / d /
// multiplicity / indices (nDim of them) with the peaks' marks, and the
// unindexed peaks. result must have no error.
std::string IndexingReport(const IndexingResult& result, int nDim);

// The candidates alone, one a line, for a refusal's message.
std::string CandidatesText(const IndexingResult& result);

// One JSON object: reliable, refusal, criteria, candidates, a, a_su, c, c_su,
// zero, zero_su, refined, figure_of_merit (C), figure_of_merit_name, f_n, m20,
// mean_difference, possible_lines, index_tolerance, iterations,
// wavelength_model, wavelengths, line_strengths, search, peaks (observed,
// intensity, calculated, difference, index, multiplicity, d, component,
// k_alpha2, ambiguous, in_fit) and unindexed. Numbers in their shortest exact
// form. result must have no error.
std::string IndexingJson(const IndexingResult& result, int nDim);

// "K-alpha1", "K-alpha2", "blend" (of an unresolved doublet).
std::string ComponentName(StickComponent component);

}  // namespace lumora
