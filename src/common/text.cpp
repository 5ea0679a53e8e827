#include "common/text.hpp"

namespace lumora {

std::string PadLeft(std::string_view s, std::size_t width) {
  if (s.size() >= width) return std::string(s.substr(0, width));
  return std::string(width - s.size(), ' ') + std::string(s);
}

std::string PadRight(std::string_view s, std::size_t width) {
  if (s.size() >= width) return std::string(s.substr(0, width));
  return std::string(s) + std::string(width - s.size(), ' ');
}

std::string RepeatStr(std::string_view s, std::size_t n) {
  std::string out;
  out.reserve(s.size() * n);
  for (std::size_t i = 0; i < n; ++i) out += s;
  return out;
}

std::vector<std::string> SplitWords(std::string_view s) {
  std::vector<std::string> words;
  std::size_t i = 0;
  while (i < s.size()) {
    while (i < s.size() && s[i] == ' ') ++i;
    std::size_t start = i;
    while (i < s.size() && s[i] != ' ') ++i;
    if (i > start) words.emplace_back(s.substr(start, i - start));
  }
  return words;
}

std::string ReplaceAll(std::string_view s, char from, char to) {
  std::string out(s);
  for (char& ch : out)
    if (ch == from) ch = to;
  return out;
}

std::string_view Trim(std::string_view s) {
  auto blank = [](char ch) { return ch == ' ' || ch == '\t' || ch == '\r' || ch == '\n'; };
  while (!s.empty() && blank(s.front())) s.remove_prefix(1);
  while (!s.empty() && blank(s.back())) s.remove_suffix(1);
  return s;
}

}  // namespace lumora
