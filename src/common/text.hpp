// Fixed-width text helpers used by the report, the matrix text and the search.
#pragma once

#include <string>
#include <string_view>
#include <vector>

namespace lumora {

// s right-justified in a field of width characters; a longer s keeps its
// leftmost width characters.
std::string PadLeft(std::string_view s, std::size_t width);
// s left-justified in a field of width characters; a longer s is cut likewise.
std::string PadRight(std::string_view s, std::size_t width);
// s written n times in a row.
std::string RepeatStr(std::string_view s, std::size_t n);

// The words of s: leading and trailing spaces dropped, any run of spaces is one
// separator, empty pieces are not kept.
std::vector<std::string> SplitWords(std::string_view s);

// Every occurrence of from replaced by to.
std::string ReplaceAll(std::string_view s, char from, char to);

// Leading and trailing blanks (spaces, tabs, CR, LF) removed.
std::string_view Trim(std::string_view s);

// A value as quoted in a message: control characters and the invisible marks
// that reorder or hide text (right-to-left override, zero-width space) shown
// as escapes ("\x1B", "\u202E"), bytes that are not UTF-8 as "\xNN", and a
// value longer than maxChars characters cut there with "…".
std::string EchoText(std::string_view s, std::size_t maxChars = 64);

// The longest name (of a model, a file) a report or CSV/JSON output shows.
inline constexpr std::size_t kShownNameChars = 256;

// s as a JSON string literal: quotes, backslashes and control characters
// escaped as JSON does, and a byte that is not UTF-8 shown as EchoText shows
// it ("\xFF"), so that the literal is valid UTF-8 whatever s holds.
std::string JsonString(std::string_view s);

inline constexpr std::string_view kCrLf = "\r\n";

}  // namespace lumora
