#include "report/table_export.hpp"

#include "common/number_text.hpp"
#include "common/text.hpp"
#include "report/table_columns.hpp"

namespace lumora {

std::string ClipboardTableText(const std::vector<ReflectionRecord>& records, int nDim, const ReportColumns& columns,
                               const std::vector<double>* intensities) {
  const bool withIntensity = columns.intensity && intensities && intensities->size() == records.size();
  const ColumnSwitches on = ColumnsShown(columns, nDim);
  std::string out;
  for (std::size_t i = 0; i < records.size(); ++i) {
    out += std::to_string(i + 1);
    out += '\t';
    const std::array<double, 13> values = ColumnValues(records[i]);
    for (int col = 0; col < 13; ++col) {
      if (!on[static_cast<std::size_t>(col)]) continue;
      out += FormatFixed(values[static_cast<std::size_t>(col)], col < 6 ? 0 : 5);
      out += '\t';
    }
    if (withIntensity) {
      out += FormatFixed((*intensities)[i], 5);
      out += '\t';
    }
    out += kCrLf;
  }
  return out;
}

std::string SearchText(std::string_view fieldText) {
  std::string needle;
  for (const std::string& word : SplitWords(fieldText)) needle += PadLeft(FormatFixed(Val(word), 0), 4);
  return needle;
}

long long FindReflection(std::string_view text, std::string_view needle, long long lastHit) {
  const auto start = static_cast<std::size_t>(lastHit + 1);
  if (needle.empty() || start > text.size()) return -1;
  const std::size_t hit = text.find(needle, start);
  return hit == std::string_view::npos ? -1 : static_cast<long long>(hit);
}

}  // namespace lumora
