#include "refine/observations.hpp"

#include <cmath>

#include "common/file_io.hpp"
#include "common/number_text.hpp"
#include "common/text.hpp"

namespace lumora {
namespace {

constexpr double kLargestIndex = 10000.0;

std::string FieldName(int index, int nDim) {
  if (index < nDim) return "h" + std::to_string(index + 1);
  return index == nDim ? "I" : "sigma";
}

bool IsCif(std::string_view text) {
  std::size_t start = 0;
  while (start < text.size()) {
    std::size_t end = text.find('\n', start);
    if (end == std::string_view::npos) end = text.size();
    const std::string_view line = Trim(text.substr(start, end - start));
    start = end + 1;
    if (line.empty() || line[0] == '#') continue;
    return line.size() >= 5 && (line.substr(0, 5) == "data_" || line.substr(0, 5) == "DATA_");
  }
  return false;
}

}  // namespace

std::string ObservationError::Message() const {
  if (line == 0) return problem;
  std::string where = "line " + std::to_string(line);
  if (field > 0) where += ", field " + std::to_string(field) + " (" + name + ")";
  if (field > 0 && text.empty()) return where + " is missing: " + problem;
  if (!text.empty()) return where + ": \"" + EchoText(text) + "\" " + problem;
  return where + ": " + problem;
}

std::variant<Observation, ObservationError> ReadObservation(const std::vector<std::string>& fields,
                                                            const std::vector<std::string>& names, int nDim, int line) {
  Observation obs;
  obs.line = line;
  auto fail = [&](int index, std::string problem) {
    return ObservationError{line, index + 1, names[static_cast<std::size_t>(index)], fields[static_cast<std::size_t>(index)],
                            std::move(problem)};
  };
  bool origin = true;
  for (int i = 0; i < nDim; ++i) {
    const std::optional<double> v = ParseNumber(fields[static_cast<std::size_t>(i)]);
    if (!v || *v != std::floor(*v) || std::fabs(*v) > kLargestIndex)
      return fail(i, "is not a whole number from -10000 to 10000");
    obs.h[static_cast<std::size_t>(i)] = static_cast<int>(*v);
    origin = origin && *v == 0.0;
  }
  if (origin) return ObservationError{line, 0, "", "", "the origin (all indices 0) is not a reflection"};
  const std::optional<double> intensity = ParseNumber(fields[static_cast<std::size_t>(nDim)]);
  if (!intensity || !std::isfinite(*intensity)) return fail(nDim, "is not a number");
  const std::optional<double> sigma = ParseNumber(fields[static_cast<std::size_t>(nDim + 1)]);
  if (!sigma || !std::isfinite(*sigma)) return fail(nDim + 1, "is not a number");
  if (!(*sigma > 0.0)) return fail(nDim + 1, "must be above 0");
  obs.intensity = *intensity;
  obs.sigma = *sigma;
  return obs;
}

ObservationRead ParseReflectionText(std::string_view text, int nDim) {
  std::vector<Observation> list;
  const std::size_t expected = static_cast<std::size_t>(nDim) + 2;
  std::vector<std::string> names;
  for (int i = 0; i < nDim + 2; ++i) names.push_back(FieldName(i, nDim));
  int lineNumber = 0;
  std::size_t start = 0;
  while (start < text.size()) {
    std::size_t end = text.find('\n', start);
    if (end == std::string_view::npos) end = text.size();
    std::string_view line = text.substr(start, end - start);
    start = end + 1;
    ++lineNumber;
    if (const std::size_t hash = line.find('#'); hash != std::string_view::npos) line = line.substr(0, hash);
    const std::vector<std::string> fields = SplitWords(ReplaceAll(ReplaceAll(line, '\t', ' '), '\r', ' '));
    if (fields.empty()) continue;
    if (fields.size() != expected) {
      const int field = static_cast<int>(std::min(fields.size(), expected)) + 1;
      return ObservationError{lineNumber, field, field <= nDim + 2 ? names[static_cast<std::size_t>(field - 1)] : "end of line",
                              fields.size() > expected ? fields[expected] : "",
                              "expected " + std::to_string(expected) + " fields (h1..h" + std::to_string(nDim) +
                                  ", I, sigma), found " + std::to_string(fields.size())};
    }
    auto read = ReadObservation(fields, names, nDim, lineNumber);
    if (auto* error = std::get_if<ObservationError>(&read)) return *error;
    list.push_back(std::get<Observation>(read));
  }
  if (list.empty()) return ObservationError{0, 0, "", "", "no reflections (lines of h1..h" + std::to_string(nDim) + " I sigma)"};
  return list;
}

std::variant<std::vector<Observation>, std::string> LoadObservations(const std::filesystem::path& path, int nDim) {
  const ReadOutcome file = ReadSmallRegularFile(path, kMaxReflectionFileBytes);
  const std::string name = EchoText(path.string(), 256);
  if (file.status == ReadStatus::Missing) return name + ": no such file";
  if (file.status != ReadStatus::Ok) return name + " " + file.problem;
  ObservationRead read = IsCif(file.text) ? ParseReflectionCif(file.text, nDim) : ParseReflectionText(file.text, nDim);
  if (const auto* error = std::get_if<ObservationError>(&read)) return name + ": " + error->Message();
  return std::get<std::vector<Observation>>(std::move(read));
}

}  // namespace lumora
