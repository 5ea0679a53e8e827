#include "report/machine_formats.hpp"

#include <utility>
#include <vector>

#include "common/number_text.hpp"
#include "common/text.hpp"

namespace lumora {
namespace {

using NamedValue = std::pair<std::string, std::string>;

// The run's description and statistics, in the order both formats list them.
std::vector<NamedValue> Statistics(const CalculationResult& result) {
  const RunStatistics& s = result.stats;
  return {
      {"reflections", std::to_string(result.records.size())},
      {"loops", ToDecimal(result.loops)},
      {"zeroLayerMax", ShortestText(s.zeroLayerMax)},
      {"thetaMax", ShortestText(s.thetaMax)},
      {"qiMax", ShortestText(s.qiMax)},
      {"qiMinPositive", ShortestText(s.qiMinPositive)},
      {"xMin", ShortestText(s.bounds.xMin)},
      {"xMax", ShortestText(s.bounds.xMax)},
      {"yMin", ShortestText(s.bounds.yMin)},
      {"yMax", ShortestText(s.bounds.yMax)},
      {"zMin", ShortestText(s.bounds.zMin)},
      {"zMax", ShortestText(s.bounds.zMax)},
      {"coordMax", ShortestText(s.bounds.CoordMax())},
  };
}

std::vector<NamedValue> Description(const CalculationResult& result, const Summary& summary) {
  return {
      {"system", std::string(SystemName(result.lattice.system))},
      {"spaceGroup", summary.sgSymbol},
      {"spaceGroupNumber", std::to_string(result.group ? result.group->number : 0)},
      {"extinctionRules", result.group ? result.group->rules : std::string()},
      {"setting", result.lattice.yamamoto ? "Yamamoto" : "Steurer"},
      {"paramLine1", summary.paramLine1},
      {"paramLine2", summary.paramLine2},
  };
}

std::string CsvField(std::string_view s) {
  if (s.find_first_of(",\"\r\n") == std::string_view::npos) return std::string(s);
  std::string out = "\"";
  for (char ch : s) out += ch == '"' ? std::string("\"\"") : std::string(1, ch);
  return out + "\"";
}

std::vector<std::string> RecordFields(const ReflectionRecord& r) {
  std::vector<std::string> fields;
  for (float h : r.h) fields.push_back(ShortestText(h));
  for (float v : {r.theta, r.d, r.qe, r.qi, r.x, r.y, r.z}) fields.push_back(ShortestText(v));
  fields.push_back(std::to_string(r.planeClass));
  fields.push_back(std::to_string(r.mainFlag));
  return fields;
}

constexpr const char* kRecordColumns[] = {"h1", "h2", "h3", "h4", "h5", "h6", "theta", "d",
                                          "qe", "qi", "x",  "y",  "z",  "planeClass", "mainFlag"};
constexpr const char* kIntensityColumns[] = {"f_abs", "f_phase", "intensity"};

std::vector<std::string> IntensityFields(const IntensityResult& r, std::size_t i) {
  return {ShortestText(r.fAbs[i]), ShortestText(r.fPhase[i]), ShortestText(r.intensity[i])};
}

}  // namespace

std::string CsvText(const CalculationResult& result, const Summary& summary, const IntensityResult* intensities) {
  std::string out;
  // A comment line shows its value escaped: a line end or control character would break the file.
  for (const auto& [name, value] : Description(result, summary))
    out += "# " + name + ": " + EchoText(value, std::string_view::npos) + std::string(kCrLf);
  if (intensities) out += "# model: " + EchoText(intensities->model, kShownNameChars) + std::string(kCrLf);
  for (const auto& [name, value] : Statistics(result)) out += "# " + name + ": " + value + std::string(kCrLf);
  out += "n";
  for (const char* column : kRecordColumns) out += std::string(",") + column;
  if (intensities)
    for (const char* column : kIntensityColumns) out += std::string(",") + column;
  out += kCrLf;
  for (std::size_t i = 0; i < result.records.size(); ++i) {
    out += std::to_string(i + 1);
    for (const std::string& field : RecordFields(result.records[i])) out += "," + CsvField(field);
    if (intensities)
      for (const std::string& field : IntensityFields(*intensities, i)) out += "," + field;
    out += kCrLf;
  }
  return out;
}

std::string JsonText(const CalculationResult& result, const Summary& summary, const IntensityResult* intensities) {
  std::string out = "{\n";
  for (const auto& [name, value] : Description(result, summary))
    out += "  " + JsonString(name) + ": " + JsonString(value) + ",\n";
  if (intensities) out += "  \"model\": " + JsonString(EchoText(intensities->model, kShownNameChars)) + ",\n";
  out += "  \"statistics\": {";
  bool first = true;
  for (const auto& [name, value] : Statistics(result)) {
    out += (first ? "\n    " : ",\n    ") + JsonString(name) + ": " + (name == "loops" ? JsonString(value) : value);
    first = false;
  }
  out += "\n  },\n  \"records\": [";
  for (std::size_t i = 0; i < result.records.size(); ++i) {
    const std::vector<std::string> fields = RecordFields(result.records[i]);
    out += i == 0 ? "\n    {" : ",\n    {";
    out += "\"n\": " + std::to_string(i + 1);
    for (std::size_t f = 0; f < fields.size(); ++f) out += ", " + JsonString(kRecordColumns[f]) + ": " + fields[f];
    if (intensities) {
      const std::vector<std::string> values = IntensityFields(*intensities, i);
      for (std::size_t f = 0; f < values.size(); ++f) out += ", " + JsonString(kIntensityColumns[f]) + ": " + values[f];
    }
    out += "}";
  }
  out += result.records.empty() ? "]\n}\n" : "\n  ]\n}\n";
  return out;
}

}  // namespace lumora
