// The run in machine-readable form: every field of every record, its plane
// class and main flag, and the run statistics, as CSV or JSON.
#pragma once

#include <string>

#include "reflections/calculation.hpp"
#include "reflections/parameters.hpp"

namespace lumora {

// Statistics as "# name: value" comment lines, then a header line and one
// CRLF-ended row per record.
std::string CsvText(const CalculationResult& result, const Summary& summary);

// One JSON object: summary, statistics and the list of records.
std::string JsonText(const CalculationResult& result, const Summary& summary);

}  // namespace lumora
