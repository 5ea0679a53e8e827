// The report as numbered lines, each formatted only when it is asked for, so
// that a list of millions of reflections can be shown, searched and saved
// without ever holding its whole text. Line positions are those of the text
// with single "\n" line ends, as the table pane shows it.
#pragma once

#include <atomic>
#include <cstddef>
#include <functional>
#include <string>
#include <string_view>
#include <vector>

#include "report/report.hpp"

namespace lumora {

class ReportLines {
 public:
  // The records must outlive this object.
  ReportLines(const std::vector<ReflectionRecord>& records, const ReportContext& context);

  static constexpr std::size_t kHeaderLines = 7;

  std::size_t size() const { return kHeaderLines + rowCount(); }
  std::string Line(std::size_t index) const;
  std::size_t LineLength(std::size_t index) const;
  std::size_t MaxLineLength() const;

  // Where line `index` starts in the "\n"-joined text, and which line holds a
  // position (positions past the end give the last line).
  long long LineStart(std::size_t index) const;
  std::size_t LineAt(long long position) const;
  // Length of the "\n"-joined text (no line end after the last line).
  long long TextLength() const;

  // The next occurrence of needle at or after position lastHit + 1 of the
  // "\n"-joined text, or -1 (also for an empty needle or one with a line end).
  long long Find(std::string_view needle, long long lastHit) const;

  // The text from position `from` to `to` of the "\n"-joined text.
  std::string Text(long long from, long long to) const;

  // Hands the report to sink in pieces of some ten kilobytes, every line ended
  // by CR LF. Stops and returns false when sink returns false or cancel is set.
  bool Write(const std::function<bool(std::string_view)>& sink, const std::atomic<bool>* cancel = nullptr) const;

 private:
  void AppendRow(std::string& out, std::size_t row) const;
  std::size_t rowCount() const { return shown_ ? shown_->size() : records_->size(); }

  const std::vector<ReflectionRecord>* records_;
  std::array<bool, 13> on_{};
  std::shared_ptr<const std::vector<double>> intensities_;  // set when the "I" column is shown
  std::shared_ptr<const std::vector<std::size_t>> shown_;    // null: every record in run order
  std::vector<std::string> header_;  // the seven lines above the rows
  std::size_t rowField_ = 5;
  std::size_t rowLength_ = 0;
  long long headerChars_ = 0;        // the header lines with their "\n"
};

}  // namespace lumora
