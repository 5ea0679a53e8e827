#include "inputs/settings_file.hpp"

#include <optional>
#include <vector>

#include "common/number_text.hpp"
#include "common/numeric.hpp"
#include "common/text.hpp"

namespace lumora {
namespace {

std::vector<std::string> SplitLines(std::string_view text) {
  std::vector<std::string> lines;
  std::size_t start = 0;
  while (start < text.size()) {
    std::size_t end = text.find_first_of("\r\n", start);
    if (end == std::string_view::npos) {
      lines.emplace_back(text.substr(start));
      break;
    }
    lines.emplace_back(text.substr(start, end - start));
    start = end + ((text[end] == '\r' && end + 1 < text.size() && text[end + 1] == '\n') ? 2 : 1);
  }
  return lines;
}

std::string FieldValue(std::string_view line) {
  std::string_view field = Trim(line);
  if (!field.empty() && field.front() == '"') {
    field.remove_prefix(1);
    const std::size_t close = field.find('"');
    if (close != std::string_view::npos) field = field.substr(0, close);
  }
  return std::string(field);
}

std::optional<int> WholeNumber(const std::string& field, int lowest, int highest) {
  const std::optional<double> value = ParseNumber(field);
  if (!value) return std::nullopt;
  const double rounded = RoundHalfEven(*value);
  if (rounded < lowest || rounded > highest) return std::nullopt;
  return static_cast<int>(rounded);
}

}  // namespace

int ApplySettingsText(std::string_view text, StoredSettings& settings) {
  const std::vector<std::string> lines = SplitLines(text);
  ParameterTexts& p = settings.parameters;
  int applied = 0;
  for (; applied < kSettingsFieldCount; ++applied) {
    if (static_cast<std::size_t>(applied) >= lines.size()) return applied;
    const std::string field = FieldValue(lines[static_cast<std::size_t>(applied)]);
    const int line = applied + 1;
    if (line == 1) {
      const auto index = WholeNumber(field, 0, 3);
      if (!index) return applied;
      p.systemIndex = *index;
      p.groupIndex = DefaultGroupIndex(SystemFromIndex(*index));
    } else if (line == 2) {
      const int count = static_cast<int>(GroupsOf(SystemFromIndex(p.systemIndex)).size());
      const auto index = WholeNumber(field, 0, count - 1);
      if (!index) return applied;
      p.groupIndex = *index;
    } else if (line == 3) {
      p.yamamoto = field.find("True") != std::string::npos;
    } else if (line == 4) {
      p.a = field;
    } else if (line == 5) {
      p.c = field;
    } else if (line <= 11) {
      p.loops[static_cast<std::size_t>(line - 6)] = field;
    } else if (line == 12) {
      const auto index = WholeNumber(field, 0, kAnodeCount - 1);
      if (!index) return applied;
      p.anodeIndex = *index;
      p.wavelength = AnodeWavelengthText(*index);
    } else if (line == 13) {
      p.thetaMin = field;
    } else if (line == 14) {
      p.thetaMax = field;
    } else if (line == 15) {
      p.qiMax = field;
    } else {
      settings.findText = field;
    }
  }
  return applied;
}

std::string SettingsText(const StoredSettings& settings) {
  const ParameterTexts& p = settings.parameters;
  std::vector<std::string> lines = {std::to_string(p.systemIndex), std::to_string(p.groupIndex),
                                    p.yamamoto ? "True" : "False", p.a, p.c};
  for (const std::string& loop : p.loops) lines.push_back(loop);
  lines.push_back(std::to_string(p.anodeIndex));
  lines.insert(lines.end(), {p.thetaMin, p.thetaMax, p.qiMax, settings.findText});
  std::string out;
  for (const std::string& line : lines) {
    out += line;
    out += kCrLf;
  }
  return out;
}

}  // namespace lumora
