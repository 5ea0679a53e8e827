#include "report/report_lines.hpp"

#include <algorithm>

#include "common/number_text.hpp"
#include "common/text.hpp"
#include "report/table_columns.hpp"

namespace lumora {
namespace {

// Rows are numbered in a field of 5 characters; only lists of 100,000 rows or
// more widen it, so that no row number is ever cut.
std::size_t RowFieldWidth(std::size_t rowCount) { return std::max<std::size_t>(5, std::to_string(rowCount).size()); }

void AppendPadLeft(std::string& out, const std::string& s, std::size_t width) {
  if (s.size() >= width) {
    out.append(s, 0, width);
  } else {
    out.append(width - s.size(), ' ');
    out += s;
  }
}

// A report whose I column comes from a structure model says which one.
std::string ModelLine(const ReportContext& context) {
  if (!context.intensities || !context.columns.intensity || context.model.empty()) return "";
  return "I from the structure model " + EchoText(context.model, kShownNameChars);
}

}  // namespace

std::string ReportColumnHeader(const ReportContext& context, std::size_t rowCount) {
  static constexpr std::string_view kHeads[] = {"h1", "h2", "h3", "h4", "h5", "h6", "Theta",
                                                "d",  "qe", "qi", "x",  "y",  "z"};
  const ColumnSwitches on = ColumnsShown(context.columns, context.nDim);
  std::string header = PadRight("#", RowFieldWidth(rowCount));
  for (int col = 0; col < 13; ++col) {
    if (!on[static_cast<std::size_t>(col)]) continue;
    std::string_view head = kHeads[col];
    if (context.steurer && col == 8) head = "ve";
    if (context.steurer && col == 9) head = "vi";
    header += PadLeft(head, col < 6 ? 4 : 10);
  }
  if (context.intensities && context.columns.intensity) header += PadLeft("I", 10);
  return header;
}

ReportLines::ReportLines(const std::vector<ReflectionRecord>& records, const ReportContext& context)
    : records_(&records), on_(ColumnsShown(context.columns, context.nDim)) {
  if (context.intensities && context.columns.intensity) intensities_ = context.intensities;
  shown_ = context.shownRows;
  const std::string header = ReportColumnHeader(context, records.size());
  const std::string rule = RepeatStr("-", header.size());
  header_ = {"LUMORA REPORT - " + std::to_string(records.size()) + " reflections",
             context.summary.sgSymbol + ", " + context.summary.paramLine1,
             context.summary.paramLine2,
             ModelLine(context),
             rule,
             header,
             rule};
  rowField_ = RowFieldWidth(records.size());
  rowLength_ = header.size();  // every row is as wide as the column header
  for (const std::string& line : header_) headerChars_ += static_cast<long long>(line.size()) + 1;
}

void ReportLines::AppendRow(std::string& out, std::size_t line) const {
  const std::size_t row = shown_ ? (*shown_)[line] : line;
  std::string number = std::to_string(row + 1);
  out += number;
  out.append(rowField_ - number.size(), ' ');
  const std::array<double, 13> values = ColumnValues((*records_)[row]);
  for (std::size_t col = 0; col < 13; ++col) {
    if (!on_[col]) continue;
    if (col < 6) AppendPadLeft(out, FormatFixed(values[col], 0), 4);
    else AppendPadLeft(out, FormatFixed(values[col], 5), 10);
  }
  if (intensities_) AppendPadLeft(out, FormatFixed(row < intensities_->size() ? (*intensities_)[row] : 0.0, 5), 10);
}

std::string ReportLines::Line(std::size_t index) const {
  if (index < kHeaderLines) return header_[index];
  std::string out;
  out.reserve(rowLength_);
  if (index < size()) AppendRow(out, index - kHeaderLines);
  return out;
}

std::size_t ReportLines::LineLength(std::size_t index) const {
  return index < kHeaderLines ? header_[index].size() : rowLength_;
}

std::size_t ReportLines::MaxLineLength() const {
  std::size_t longest = rowCount() == 0 ? 0 : rowLength_;
  for (const std::string& line : header_) longest = std::max(longest, line.size());
  return longest;
}

long long ReportLines::LineStart(std::size_t index) const {
  if (index < kHeaderLines) {
    long long start = 0;
    for (std::size_t i = 0; i < index; ++i) start += static_cast<long long>(header_[i].size()) + 1;
    return start;
  }
  return headerChars_ + static_cast<long long>(index - kHeaderLines) * static_cast<long long>(rowLength_ + 1);
}

std::size_t ReportLines::LineAt(long long position) const {
  if (position < 0) return 0;
  if (position < headerChars_) {
    std::size_t line = 0;
    long long end = static_cast<long long>(header_[0].size());
    while (position > end && line + 1 < kHeaderLines) end += static_cast<long long>(header_[++line].size()) + 1;
    return line;
  }
  const auto row = static_cast<std::size_t>((position - headerChars_) / static_cast<long long>(rowLength_ + 1));
  return std::min(kHeaderLines + row, size() - 1);
}

long long ReportLines::TextLength() const { return LineStart(size() - 1) + static_cast<long long>(LineLength(size() - 1)); }

long long ReportLines::Find(std::string_view needle, long long lastHit) const {
  const long long start = lastHit + 1;
  if (needle.empty() || needle.find('\n') != std::string_view::npos || start < 0 || start > TextLength()) return -1;
  std::string line;
  for (std::size_t i = LineAt(start); i < size(); ++i) {
    const long long lineStart = LineStart(i);
    if (static_cast<long long>(LineLength(i)) < static_cast<long long>(needle.size())) continue;
    line = Line(i);
    const auto from = static_cast<std::size_t>(std::max<long long>(0, start - lineStart));
    if (from > line.size()) continue;
    const std::size_t hit = line.find(needle, from);
    if (hit != std::string::npos) return lineStart + static_cast<long long>(hit);
  }
  return -1;
}

std::string ReportLines::Text(long long from, long long to) const {
  from = std::max<long long>(from, 0);
  to = std::min(to, TextLength());
  std::string out;
  for (std::size_t i = LineAt(from); from < to && i < size(); ++i) {
    const long long lineStart = LineStart(i);
    const std::string line = Line(i) + "\n";
    const long long end = std::min(to, lineStart + static_cast<long long>(line.size()));
    out.append(line, static_cast<std::size_t>(from - lineStart), static_cast<std::size_t>(end - from));
    from = end;
  }
  return out;
}

bool ReportLines::Write(const std::function<bool(std::string_view)>& sink, const std::atomic<bool>* cancel) const {
  constexpr std::size_t kChunk = 1 << 16;
  std::string chunk;
  chunk.reserve(kChunk + 256);
  for (const std::string& line : header_) {
    chunk += line;
    chunk += kCrLf;
  }
  for (std::size_t row = 0; row < rowCount(); ++row) {
    AppendRow(chunk, row);
    chunk += kCrLf;
    if (chunk.size() >= kChunk) {
      if ((cancel && cancel->load(std::memory_order_relaxed)) || !sink(chunk)) return false;
      chunk.clear();
    }
  }
  return chunk.empty() || sink(chunk);
}

}  // namespace lumora
