// The run in machine-readable form: every field of every record, its plane
// class and main flag, and the run statistics, as CSV or JSON.
#pragma once

#include <string>
#include <string_view>

#include "intensity/structure_factor.hpp"
#include "reflections/calculation.hpp"
#include "common/text.hpp"
#include "inputs/parameters.hpp"

namespace lumora {

// Statistics as "# name: value" comment lines, then a header line and one
// CRLF-ended row per record. With intensities (parallel to the records) every
// row ends with f_abs, f_phase (degrees) and intensity (percent of the strongest).
std::string CsvText(const CalculationResult& result, const Summary& summary,
                    const IntensityResult* intensities = nullptr);

// One JSON object: summary, statistics and the list of records (with f_abs,
// f_phase and intensity when intensities are given).
std::string JsonText(const CalculationResult& result, const Summary& summary,
                     const IntensityResult* intensities = nullptr);

}  // namespace lumora
