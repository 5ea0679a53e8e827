#include "inputs/input_reading.hpp"

#include <algorithm>
#include <cctype>
#include <cmath>

#include "common/number_text.hpp"
#include "common/text.hpp"

namespace lumora {
namespace {

bool SameWord(std::string_view a, std::string_view b, bool anyCase) {
  if (!anyCase) return a == b;
  return a.size() == b.size() && std::equal(a.begin(), a.end(), b.begin(), [](char x, char y) {
           return std::tolower(static_cast<unsigned char>(x)) == std::tolower(static_cast<unsigned char>(y));
         });
}

std::string WholeText(double v) { return std::to_string(static_cast<std::int64_t>(v)); }

}  // namespace

void BadValue(std::string_view option, const std::string& value, const std::string& problem) {
  throw UsageError("option " + std::string(option) + ": \"" + EchoText(value) + "\" " + problem);
}

void Refuse(const NamedInput& input, const std::string& value) { BadValue(input.option, value, Problem(input)); }

std::string WholeNumberProblem(const NumberRange& range) {
  return "is not a whole number from " + WholeText(range.low) + " to " + WholeText(range.high);
}

std::string Problem(const NamedInput& input) {
  if (input.problem.empty() && input.type == InputType::WholeNumber) return WholeNumberProblem(input.range);
  return std::string(input.problem);
}

std::string FieldMessage(const NamedInput& input, std::string_view text, std::string_view problem) {
  return std::string(input.label) + ": \"" + EchoText(text) + "\" " + std::string(problem);
}

std::vector<std::string> SplitCommas(const std::string& s) {
  std::vector<std::string> parts;
  std::size_t start = 0;
  for (;;) {
    std::size_t comma = s.find(',', start);
    parts.emplace_back(Trim(std::string_view(s).substr(start, comma - start)));
    if (comma == std::string::npos) break;
    start = comma + 1;
  }
  return parts;
}

std::set<std::string> ValuedOptions(const NamedInputs& inputs) {
  std::set<std::string> names;
  for (const NamedInput* input : inputs)
    if (input->type != InputType::Flag) names.emplace(input->option);
  return names;
}

std::set<std::string> FlagOptions(const NamedInputs& inputs) {
  std::set<std::string> names;
  for (const NamedInput* input : inputs)
    if (input->type == InputType::Flag) names.emplace(input->option);
  return names;
}

double ReadNumber(const NamedInput& input, const std::string& text) {
  const std::optional<double> value = ParseNumber(text);
  if (!value || !input.range.Contains(*value)) Refuse(input, text);
  return *value;
}

std::int64_t ReadWholeNumber(const NamedInput& input, const std::string& text) {
  const std::optional<double> value = ParseNumber(text);
  if (!value || !input.range.Contains(*value) || *value != std::floor(*value)) Refuse(input, text);
  return static_cast<std::int64_t>(*value);
}

double DefaultNumber(const NamedInput& input) {
  const std::optional<double> value = ParseNumber(input.defaultText);
  if (!value) throw std::logic_error("option " + std::string(input.option) + " has no number for its default");
  return *value;
}

std::optional<std::size_t> ChoiceIndex(const NamedInput& input, std::string_view word) {
  const std::vector<std::string> words = SplitWords(input.choices);
  for (std::size_t i = 0; i < words.size(); ++i)
    if (SameWord(words[i], word, input.anyCase)) return i;
  return std::nullopt;
}

std::string ReadChoice(const NamedInput& input, const std::string& text) {
  const std::optional<std::size_t> index = ChoiceIndex(input, text);
  if (!index) Refuse(input, text);
  return SplitWords(input.choices)[*index];
}

std::string ReadFileName(const NamedInput& input, const std::string& text) {
  if (text.empty()) Refuse(input, text);
  return text;
}

std::string ReadPictureFormat(const NamedInput& input, const std::string& text) {
  ReadFileName(input, text);
  const std::size_t slash = text.find_last_of('/');
  const std::size_t dot = text.rfind('.');
  std::string extension =
      dot == std::string::npos || (slash != std::string::npos && dot < slash) ? "" : text.substr(dot + 1);
  std::transform(extension.begin(), extension.end(), extension.begin(),
                 [](unsigned char ch) { return static_cast<char>(std::tolower(ch)); });
  const std::vector<std::string> formats = SplitWords(input.choices);
  if (std::find(formats.begin(), formats.end(), extension) != formats.end()) return extension;
  std::string endings;
  for (std::size_t i = 0; i < formats.size(); ++i)
    endings += (i == 0 ? "." : i + 1 == formats.size() ? " or ." : ", .") + formats[i];
  BadValue(input.option, text, "must end in " + endings);
}

std::vector<double> ReadNumbers(const NamedInput& input, const std::string& text, std::size_t count) {
  const std::vector<std::string> parts = SplitCommas(text);
  if (parts.size() != count) Refuse(input, text);
  std::vector<double> values;
  for (const std::string& part : parts) {
    const std::optional<double> value = ParseNumber(part);
    if (!value) BadValue(input.option, text, Problem(input) + " (\"" + EchoText(part) + "\" is not a number)");
    values.push_back(*value);
  }
  return values;
}

}  // namespace lumora
