#include "common/number_text.hpp"

#include <algorithm>
#include <array>
#include <charconv>
#include <cmath>
#include <cstdint>
#include <cstdlib>

#include "common/text.hpp"

namespace lumora {
namespace {

bool IsDigit(char ch) { return ch >= '0' && ch <= '9'; }

// Reads a run of digits in the given base; returns the number of characters used.
std::size_t ReadRadix(std::string_view s, int base, std::uint64_t& value) {
  std::size_t i = 0;
  value = 0;
  for (; i < s.size(); ++i) {
    int digit = -1;
    char ch = s[i];
    if (IsDigit(ch)) digit = ch - '0';
    else if (ch >= 'a' && ch <= 'f') digit = ch - 'a' + 10;
    else if (ch >= 'A' && ch <= 'F') digit = ch - 'A' + 10;
    if (digit < 0 || digit >= base) break;
    value = value * static_cast<std::uint64_t>(base) + static_cast<std::uint64_t>(digit);
  }
  return i;
}

// Length of the decimal number at the start of s ([sign] digits [. digits]
// [exponent]); 0 when s does not start with one. mantissaDigits counts the
// digits before the exponent.
std::size_t ScanDecimal(std::string_view s, bool allowDExponent, int& mantissaDigits) {
  std::size_t i = 0;
  mantissaDigits = 0;
  if (i < s.size() && (s[i] == '+' || s[i] == '-')) ++i;
  while (i < s.size() && IsDigit(s[i])) ++i, ++mantissaDigits;
  if (i < s.size() && s[i] == '.') {
    ++i;
    while (i < s.size() && IsDigit(s[i])) ++i, ++mantissaDigits;
  }
  if (mantissaDigits == 0) return 0;
  if (i < s.size() && (s[i] == 'e' || s[i] == 'E' || (allowDExponent && (s[i] == 'd' || s[i] == 'D')))) {
    std::size_t j = i + 1;
    if (j < s.size() && (s[j] == '+' || s[j] == '-')) ++j;
    std::size_t digitsStart = j;
    while (j < s.size() && IsDigit(s[j])) ++j;
    if (j > digitsStart) i = j;
  }
  return i;
}

double ParseDecimal(std::string_view s) {
  std::string copy(s);
  for (char& ch : copy)
    if (ch == 'd' || ch == 'D') ch = 'e';
  return std::strtod(copy.c_str(), nullptr);
}

}  // namespace

double Val(std::string_view text) {
  std::string t;
  t.reserve(text.size());
  for (char ch : text)
    if (ch != ' ' && ch != '\t' && ch != '\n') t += ch;
  std::string_view s = t;
  if (s.size() >= 2 && s[0] == '&') {
    int base = 0;
    std::string_view digits;
    if (s[1] == 'H' || s[1] == 'h') base = 16, digits = s.substr(2);
    else if (s[1] == 'O' || s[1] == 'o') base = 8, digits = s.substr(2);
    else if (IsDigit(s[1])) base = 8, digits = s.substr(1);
    if (base != 0) {
      std::uint64_t value = 0;
      std::size_t n = ReadRadix(digits, base, value);
      if (n == 0) return 0.0;
      // Short literals are 16-bit, longer ones 32-bit, both two's complement.
      bool shortLiteral = (base == 16 && n <= 4) || (base == 8 && value <= 0xFFFF);
      if (shortLiteral) return static_cast<double>(static_cast<std::int16_t>(value & 0xFFFF));
      return static_cast<double>(static_cast<std::int32_t>(value & 0xFFFFFFFFu));
    }
  }
  int mantissaDigits = 0;
  std::size_t n = ScanDecimal(s, true, mantissaDigits);
  if (n == 0) return 0.0;
  return ParseDecimal(s.substr(0, n));
}

std::optional<double> ParseNumber(std::string_view text) {
  std::string_view s = Trim(text);
  int mantissaDigits = 0;
  std::size_t n = ScanDecimal(s, false, mantissaDigits);
  if (n == 0 || n != s.size()) return std::nullopt;
  double v = ParseDecimal(s);
  if (!std::isfinite(v)) return std::nullopt;
  return v;
}

namespace {

// Single-precision values (every number of a report) times 10^decimals, for up
// to five decimals, are exact in double precision: a 24-bit mantissa times a
// 17-bit power of ten. They round exactly without the long decimal expansion.
std::optional<std::string> FormatSingleFast(double v, int decimals) {
  static constexpr double kPowers[] = {1.0, 10.0, 100.0, 1000.0, 10000.0, 100000.0};
  if (decimals < 0 || decimals > 5 || static_cast<double>(static_cast<float>(v)) != v || std::fabs(v) >= 1e13)
    return std::nullopt;
  const double scaled = std::fabs(v) * kPowers[decimals];
  double whole = std::floor(scaled);
  if (scaled - whole >= 0.5) whole += 1.0;  // ties away from zero
  std::string digits = std::to_string(static_cast<std::uint64_t>(whole));
  if (digits.size() <= static_cast<std::size_t>(decimals))
    digits.insert(0, static_cast<std::size_t>(decimals) + 1 - digits.size(), '0');
  if (decimals > 0) digits.insert(digits.size() - static_cast<std::size_t>(decimals), ".");
  if (v < 0 && whole != 0.0) digits.insert(0, "-");
  return digits;
}

}  // namespace

std::string FormatFixed(double v, int decimals) {
  if (std::isnan(v)) return "NaN";
  if (std::isinf(v)) return v > 0 ? "Infinity" : "-Infinity";
  if (std::optional<std::string> fast = FormatSingleFast(v, decimals)) return *std::move(fast);
  // Enough extra digits that the first dropped digit decides the rounding
  // exactly: ties (a dropped 5 followed by zeros) round away from zero.
  constexpr int kGuardDigits = 40;
  std::array<char, 420> buf{};
  auto result = std::to_chars(buf.data(), buf.data() + buf.size(), std::fabs(v),
                              std::chars_format::fixed, decimals + kGuardDigits);
  std::string digits(buf.data(), result.ptr);
  std::size_t point = digits.find('.');
  std::string whole = digits.substr(0, point);
  std::string frac = digits.substr(point + 1, static_cast<std::size_t>(decimals));
  bool roundUp = digits[point + 1 + static_cast<std::size_t>(decimals)] >= '5';
  std::string all = whole + frac;
  if (roundUp) {
    std::size_t i = all.size();
    while (i > 0) {
      --i;
      if (all[i] == '9') {
        all[i] = '0';
      } else {
        ++all[i];
        break;
      }
      if (i == 0) all.insert(all.begin(), '1');
    }
  }
  bool isZero = all.find_first_not_of('0') == std::string::npos;
  std::size_t wholeLen = all.size() - static_cast<std::size_t>(decimals);
  std::string out = (v < 0 && !isZero) ? "-" : "";
  out += all.substr(0, wholeLen);
  if (decimals > 0) out += "." + all.substr(wholeLen);
  return out;
}

std::string FormatSingle(float v) {
  if (!std::isfinite(v)) return std::isnan(v) ? "NaN" : (v > 0 ? "Infinity" : "-Infinity");
  if (v == 0.0f) return "0";
  std::array<char, 64> buf{};
  auto result = std::to_chars(buf.data(), buf.data() + buf.size(), static_cast<double>(v),
                              std::chars_format::general, 7);
  std::string s(buf.data(), result.ptr);
  std::size_t e = s.find('e');
  std::string mantissa = s.substr(0, e);
  if (mantissa.find('.') != std::string::npos) {
    while (mantissa.back() == '0') mantissa.pop_back();
    if (mantissa.back() == '.') mantissa.pop_back();
  }
  if (e == std::string::npos) return mantissa;
  // Exponent form as "1.5E-05" / "1.5E+08".
  std::string exponent = s.substr(e + 1);
  char sign = '+';
  if (!exponent.empty() && (exponent[0] == '+' || exponent[0] == '-')) {
    sign = exponent[0];
    exponent.erase(0, 1);
  }
  while (exponent.size() < 2) exponent.insert(exponent.begin(), '0');
  return mantissa + "E" + sign + exponent;
}

std::string SignedWholeText(double v) {
  std::string text = FormatFixed(std::fabs(v), 0);
  return (v < 0 && text != "0" ? "-" : " ") + text;
}

std::string ShortestText(float v) {
  std::array<char, 64> buf{};
  auto result = std::to_chars(buf.data(), buf.data() + buf.size(), v);
  return std::string(buf.data(), result.ptr);
}

std::string ShortestText(double v) {
  std::array<char, 64> buf{};
  auto result = std::to_chars(buf.data(), buf.data() + buf.size(), v);
  return std::string(buf.data(), result.ptr);
}

std::string ValueWithSu(double value, double su, int decimals) {
  if (su > 0.0 && std::isfinite(su)) {
    // Two significant digits of the su.
    decimals = std::clamp(1 - static_cast<int>(std::floor(std::log10(su))), 0, 12);
    return FormatFixed(value, decimals) + " +- " + FormatFixed(su, decimals);
  }
  return FormatFixed(value, decimals);
}

}  // namespace lumora
