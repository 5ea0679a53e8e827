#include "common/text.hpp"

#include <cstdint>
#include <cstdio>

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

namespace {

// The code point of the UTF-8 sequence at s[i] and its length, or length 0
// when the bytes there are not one.
std::pair<std::uint32_t, std::size_t> DecodeUtf8(std::string_view s, std::size_t i) {
  const auto byte = [&](std::size_t k) { return static_cast<unsigned char>(s[k]); };
  const unsigned char b0 = byte(i);
  if (b0 < 0x80) return {b0, 1};
  std::size_t length = 0;
  std::uint32_t cp = 0;
  std::uint32_t lowest = 0;
  if ((b0 & 0xE0) == 0xC0) length = 2, cp = b0 & 0x1Fu, lowest = 0x80;
  else if ((b0 & 0xF0) == 0xE0) length = 3, cp = b0 & 0x0Fu, lowest = 0x800;
  else if ((b0 & 0xF8) == 0xF0) length = 4, cp = b0 & 0x07u, lowest = 0x10000;
  else return {0, 0};
  if (i + length > s.size()) return {0, 0};
  for (std::size_t k = 1; k < length; ++k) {
    if ((byte(i + k) & 0xC0) != 0x80) return {0, 0};
    cp = (cp << 6) | (byte(i + k) & 0x3Fu);
  }
  if (cp < lowest || cp > 0x10FFFF || (cp >= 0xD800 && cp <= 0xDFFF)) return {0, 0};
  return {cp, length};
}

bool Invisible(std::uint32_t cp) {
  return cp < 0x20 || (cp >= 0x7F && cp <= 0x9F) || cp == 0x061C || cp == 0x00AD || (cp >= 0x200B && cp <= 0x200F) ||
         (cp >= 0x2028 && cp <= 0x202E) || (cp >= 0x2060 && cp <= 0x2069) || cp == 0xFEFF;
}

}  // namespace

std::string EchoText(std::string_view s, std::size_t maxChars) {
  std::string out;
  std::size_t chars = 0;
  char escape[16];
  for (std::size_t i = 0; i < s.size();) {
    if (chars == maxChars) {
      out += "\u2026";  // …
      break;
    }
    const auto [cp, length] = DecodeUtf8(s, i);
    if (length == 0) {
      std::snprintf(escape, sizeof escape, "\\x%02X", static_cast<unsigned>(static_cast<unsigned char>(s[i])));
      out += escape;
      i += 1;
    } else if (Invisible(cp)) {
      if (cp < 0x80) std::snprintf(escape, sizeof escape, "\\x%02X", static_cast<unsigned>(cp));
      else std::snprintf(escape, sizeof escape, "\\u%04X", static_cast<unsigned>(cp));
      out += escape;
      i += length;
    } else {
      out.append(s.substr(i, length));
      i += length;
    }
    ++chars;
  }
  return out;
}

std::string JsonString(std::string_view s) {
  std::string out = "\"";
  char escape[16];
  for (std::size_t i = 0; i < s.size();) {
    const auto [cp, length] = DecodeUtf8(s, i);
    if (length == 0) {
      // Not UTF-8: shown as EchoText shows it, so that the text stays valid.
      std::snprintf(escape, sizeof escape, "\\\\x%02X", static_cast<unsigned>(static_cast<unsigned char>(s[i])));
      out += escape;
      i += 1;
      continue;
    }
    switch (cp) {
      case '"': out += "\\\""; break;
      case '\\': out += "\\\\"; break;
      case '\n': out += "\\n"; break;
      case '\r': out += "\\r"; break;
      case '\t': out += "\\t"; break;
      default:
        if (cp < 0x20) {
          std::snprintf(escape, sizeof escape, "\\u%04x", static_cast<unsigned>(cp));
          out += escape;
        } else {
          out.append(s.substr(i, length));
        }
    }
    i += length;
  }
  return out + "\"";
}

}  // namespace lumora
