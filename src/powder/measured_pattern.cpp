#include "powder/measured_pattern.hpp"

#include <algorithm>
#include <cmath>
#include <cstdlib>
#include <optional>

#include "common/file_io.hpp"
#include "common/number_text.hpp"
#include "common/text.hpp"

namespace lumora {
namespace {

bool IsBlank(char ch) { return ch == ' ' || ch == '\t' || ch == '\v' || ch == '\f'; }

// The fields of a line without its comment: split at commas and semicolons
// when it has any (blanks around them dropped), else at runs of blanks. A
// trailing separator adds no field.
std::vector<std::string_view> Fields(std::string_view line) {
  std::vector<std::string_view> fields;
  if (line.find_first_of(",;") != std::string_view::npos) {
    std::size_t start = 0;
    for (;;) {
      const std::size_t end = line.find_first_of(",;", start);
      fields.push_back(Trim(line.substr(start, end - start)));
      if (end == std::string_view::npos) break;
      start = end + 1;
    }
    if (fields.size() > 1 && fields.back().empty()) fields.pop_back();
    return fields;
  }
  std::size_t i = 0;
  while (i < line.size()) {
    while (i < line.size() && IsBlank(line[i])) ++i;
    const std::size_t start = i;
    while (i < line.size() && !IsBlank(line[i])) ++i;
    if (i > start) fields.push_back(line.substr(start, i - start));
  }
  return fields;
}

// Why a field is not a usable number ("is not a number", "is not a finite
// number"), or nothing with the value.
struct Number {
  double value = 0.0;
  std::string problem;
};
Number ReadField(std::string_view field) {
  if (const std::optional<double> v = ParseNumber(field)) return {*v, {}};
  // strtod reads "nan", "inf" and overflowing exponents that the strict
  // reading refuses: those are numbers, but not finite ones.
  const std::string copy(field);
  char* end = nullptr;
  const double v = std::strtod(copy.c_str(), &end);
  if (!copy.empty() && end == copy.c_str() + copy.size() && !std::isfinite(v))
    return {0.0, "\"" + EchoText(field) + "\" is not a finite number"};
  return {0.0, "\"" + EchoText(field) + "\" is not a number"};
}

std::string ColumnCountProblem(std::size_t count) {
  return std::to_string(count) + (count == 1 ? " column" : " columns") +
         "; a data line has 2 (2theta, intensity) or 3 (2theta, intensity, sigma)";
}

MeasuredRead Failed(std::size_t lineNumber, const std::string& problem) {
  MeasuredRead read;
  read.error = "line " + std::to_string(lineNumber) + ": " + problem;
  return read;
}

}  // namespace

MeasuredRead ParseMeasuredPattern(std::string_view text) {
  if (text.substr(0, 3) == "\xEF\xBB\xBF") text.remove_prefix(3);  // UTF-8 byte-order mark
  MeasuredRead read;
  MeasuredPattern& p = read.pattern;
  std::size_t columns = 0;       // of the first data line
  std::size_t columnsLine = 0;   // its line number
  std::size_t previousLine = 0;  // line number of the last data line
  int direction = 0;             // +1 rising, -1 falling, 0 not known yet
  bool headerSeen = false;
  std::size_t lineNumber = 0;
  std::size_t pos = 0;
  while (pos < text.size()) {
    // LF, CR LF and a lone CR all end a line.
    std::size_t end = text.find_first_of("\r\n", pos);
    if (end == std::string_view::npos) end = text.size();
    std::string_view line = text.substr(pos, end - pos);
    pos = end + 1;
    if (end + 1 < text.size() && text[end] == '\r' && text[end + 1] == '\n') ++pos;
    ++lineNumber;

    line = line.substr(0, line.find_first_of("#!"));
    if (std::all_of(line.begin(), line.end(), IsBlank)) continue;
    const std::vector<std::string_view> fields = Fields(line);

    std::vector<Number> numbers;
    bool anyNumber = false;
    for (std::string_view field : fields) {
      numbers.push_back(ReadField(field));
      anyNumber = anyNumber || numbers.back().problem.empty();
    }
    if (!anyNumber && columns == 0 && !headerSeen) {
      headerSeen = true;  // column names
      continue;
    }
    if (fields.size() < 2 || fields.size() > 3) return Failed(lineNumber, ColumnCountProblem(fields.size()));
    for (std::size_t k = 0; k < fields.size(); ++k)
      if (!numbers[k].problem.empty()) return Failed(lineNumber, numbers[k].problem);
    if (columns == 0) {
      columns = fields.size();
      columnsLine = lineNumber;
    } else if (fields.size() != columns) {
      return Failed(lineNumber, std::to_string(fields.size()) + " columns where line " + std::to_string(columnsLine) +
                                    " has " + std::to_string(columns));
    }

    const double twoTheta = numbers[0].value;
    if (!(twoTheta > 0.0 && twoTheta < 180.0))
      return Failed(lineNumber, "2theta " + std::string(Trim(fields[0])) + " is not above 0 and below 180 degrees");
    if (columns == 3 && !(numbers[2].value > 0.0))
      return Failed(lineNumber, "sigma " + std::string(Trim(fields[2])) + " is not above 0");
    if (!p.twoTheta.empty()) {
      const double last = p.twoTheta.back();
      const int step = twoTheta > last ? 1 : twoTheta < last ? -1 : 0;
      if (step == 0 || (direction != 0 && step != direction))
        return Failed(lineNumber, "2theta " + std::string(Trim(fields[0])) + " does not " +
                                      (direction < 0 ? "fall" : "rise") + " from " + ShortestText(last) + " on line " +
                                      std::to_string(previousLine) + " (2theta must run one way)");
      direction = step;
    }
    previousLine = lineNumber;
    p.twoTheta.push_back(twoTheta);
    p.intensity.push_back(numbers[1].value);
    if (columns == 3) p.sigma.push_back(numbers[2].value);
  }
  if (p.twoTheta.empty()) {
    read.pattern = {};
    read.error = "no data lines (2theta and intensity)";
    return read;
  }
  if (direction < 0) {
    std::reverse(p.twoTheta.begin(), p.twoTheta.end());
    std::reverse(p.intensity.begin(), p.intensity.end());
    std::reverse(p.sigma.begin(), p.sigma.end());
  }
  return read;
}

MeasuredRead ReadMeasuredPattern(const std::string& path) {
  const ReadOutcome file = ReadSmallRegularFile(path, kMaxMeasuredFileBytes);
  MeasuredRead read;
  if (file.status == ReadStatus::Missing) {
    read.error = EchoText(path, 256) + ": no such file";
    return read;
  }
  if (file.status != ReadStatus::Ok) {
    read.error = EchoText(path, 256) + " " + file.problem;
    return read;
  }
  read = ParseMeasuredPattern(file.text);
  if (!read.error.empty()) read.error = EchoText(path, 256) + ", " + read.error;
  return read;
}

}  // namespace lumora
