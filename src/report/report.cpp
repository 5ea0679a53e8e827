#include "report/report.hpp"

#include "report/report_lines.hpp"

namespace lumora {

std::string ReportText(const std::vector<ReflectionRecord>& records, const ReportContext& context) {
  const ReportLines lines(records, context);
  std::string out;
  out.reserve(static_cast<std::size_t>(lines.TextLength()) + 2 * lines.size());
  lines.Write([&out](std::string_view piece) {
    out += piece;
    return true;
  });
  return out;
}

WriteOutcome WriteReport(const std::filesystem::path& path, const std::vector<ReflectionRecord>& records,
                         const ReportContext& context) {
  // Streamed: a report of millions of rows is never held whole.
  const ReportLines lines(records, context);
  return WriteFileAtomically(path, ContentWriter([&lines](const ContentSink& put) { return lines.Write(put); }));
}

}  // namespace lumora
