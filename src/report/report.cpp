#include "report/report.hpp"

#include <array>
#include <cmath>
#include <string_view>

#include "common/number_text.hpp"
#include "common/text.hpp"
#include "report/table_columns.hpp"

namespace lumora {
namespace {

constexpr std::array<std::string_view, 13> kHeads = {"h1", "h2", "h3", "h4", "h5", "h6", "Theta",
                                                     "d",  "qe", "qi", "x",  "y",  "z"};

std::string_view Head(int column, bool steurer) {
  if (steurer && column == 8) return "ve";
  if (steurer && column == 9) return "vi";
  return kHeads[static_cast<std::size_t>(column)];
}

// Rows are numbered in a field of 5 characters; only lists of 100,000 rows or
// more widen it, so that no row number is ever cut.
std::size_t RowFieldWidth(std::size_t rowCount) {
  return std::max<std::size_t>(5, std::to_string(rowCount).size());
}

}  // namespace

std::string ReportColumnHeader(const ReportContext& context, std::size_t rowCount) {
  const ColumnSwitches on = ColumnsShown(context.columns, context.nDim);
  std::string header = PadRight("#", RowFieldWidth(rowCount));
  for (int col = 0; col < 13; ++col) {
    if (!on[static_cast<std::size_t>(col)]) continue;
    header += PadLeft(Head(col, context.steurer), col < 6 ? 4 : 10);
  }
  return header;
}

std::string ReportText(const std::vector<ReflectionRecord>& records, const ReportContext& context) {
  const ColumnSwitches on = ColumnsShown(context.columns, context.nDim);
  const std::string header = ReportColumnHeader(context, records.size());
  const std::string rule = RepeatStr("-", header.size());
  const std::size_t rowWidth = RowFieldWidth(records.size());

  std::string out;
  out.reserve(200 + records.size() * (header.size() + 2));
  out += "LUMORA REPORT - " + std::to_string(records.size()) + " reflections";
  out += kCrLf;
  out += context.summary.sgSymbol + ", " + context.summary.paramLine1;
  out += kCrLf;
  out += context.summary.paramLine2;
  out += kCrLf;
  out += kCrLf;
  out += rule;
  out += kCrLf;
  out += header;
  out += kCrLf;
  out += rule;
  out += kCrLf;
  for (std::size_t i = 0; i < records.size(); ++i) {
    out += PadRight(std::to_string(i + 1), rowWidth);
    const std::array<double, 13> values = ColumnValues(records[i]);
    for (int col = 0; col < 13; ++col) {
      if (!on[static_cast<std::size_t>(col)]) continue;
      const double v = values[static_cast<std::size_t>(col)];
      out += col < 6 ? PadLeft(FormatFixed(v, 0), 4) : PadLeft(FormatFixed(v, 5), 10);
    }
    out += kCrLf;
  }
  return out;
}

WriteOutcome WriteReport(const std::filesystem::path& path, const std::vector<ReflectionRecord>& records,
                         const ReportContext& context) {
  return WriteFileAtomically(path, ReportText(records, context));
}

}  // namespace lumora
