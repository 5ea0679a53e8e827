// Reading the named inputs (named_inputs.hpp) from the texts the front ends
// hand over: a value of the input's type within its range, or a refusal that
// names the input and quotes the value as given.
#pragma once

#include <cstdint>
#include <optional>
#include <set>
#include <stdexcept>
#include <string>
#include <string_view>
#include <vector>

#include "inputs/named_inputs.hpp"

namespace lumora {

// Bad input: one line naming the option and the value. lumora-cli exits with
// status 2, Python raises ValueError.
struct UsageError : std::runtime_error {
  using std::runtime_error::runtime_error;
};

// One input as given: its option name and its text (empty for a flag).
struct Option {
  std::string name;   // "--system", "-a"
  std::string value;  // empty for flags
};

// "option -a: "abc" is not a number"; the value shown escaped and cut.
[[noreturn]] void BadValue(std::string_view option, const std::string& value, const std::string& problem);
// BadValue with the input's own option and problem.
[[noreturn]] void Refuse(const NamedInput& input, const std::string& value);

// What follows a refused value: the input's problem, or for a whole number
// "is not a whole number from L to H".
std::string Problem(const NamedInput& input);
std::string WholeNumberProblem(const NumberRange& range);

// A window's message for a field: its label, the text as typed, the problem
// ("a: "abc" is not a number").
std::string FieldMessage(const NamedInput& input, std::string_view text, std::string_view problem);

// The comma-separated parts of s, each trimmed (one part when s has no comma).
std::vector<std::string> SplitCommas(const std::string& s);

// The option names of inputs that take a value, and of the flags among them.
using NamedInputs = std::vector<const NamedInput*>;
std::set<std::string> ValuedOptions(const NamedInputs& inputs);
std::set<std::string> FlagOptions(const NamedInputs& inputs);

// The readers: each returns the value or throws UsageError through Refuse.
// A number within the input's range.
double ReadNumber(const NamedInput& input, const std::string& text);
// A whole number within the input's range (both ends below 2^53), checked
// before it is converted.
std::int64_t ReadWholeNumber(const NamedInput& input, const std::string& text);
// The word of the input's choices the text names (matched in any case when
// the input allows it), as it stands in the choices.
std::string ReadChoice(const NamedInput& input, const std::string& text);
// A file name: any text but the empty one.
std::string ReadFileName(const NamedInput& input, const std::string& text);
// The format of a picture file: the extension of its name in lower case,
// which must be one of the input's choices ("must end in .png or .svg").
std::string ReadPictureFormat(const NamedInput& input, const std::string& text);
// Exactly count numbers separated by commas: "must be U,V,W", or with the part
// that is no number: "must be U,V,W ("x" is not a number)".
std::vector<double> ReadNumbers(const NamedInput& input, const std::string& text, std::size_t count);

// The input's default as a number (its default text must be one).
double DefaultNumber(const NamedInput& input);

// The index of word in the input's choices, or none.
std::optional<std::size_t> ChoiceIndex(const NamedInput& input, std::string_view word);

}  // namespace lumora
