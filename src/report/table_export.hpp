// The reflection table as tab-separated text for the clipboard, and the search
// of the shown table by indices.
#pragma once

#include <string>
#include <string_view>
#include <vector>

#include "report/report.hpp"

namespace lumora {

// One CRLF-ended line per reflection, no header: the row number, a tab, then
// every shown column followed by a tab.
// With intensities (parallel to the records) and the intensity column on,
// the intensity follows as the last column.
std::string ClipboardTableText(const std::vector<ReflectionRecord>& records, int nDim, const ReportColumns& columns,
                               const std::vector<double>* intensities = nullptr);

// The text the search looks for: every word of the search field read as a
// number, formatted as the report's index columns ("0 2 2 1 0" ->
// "   0   2   2   1   0").
std::string SearchText(std::string_view fieldText);

// The next hit of needle in text starting at position lastHit + 1, or -1.
// With lastHit -1 the search starts again at the top.
long long FindReflection(std::string_view text, std::string_view needle, long long lastHit);

}  // namespace lumora
