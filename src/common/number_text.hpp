// Reading numbers from typed text and writing them in the program's formats.
#pragma once

#include <optional>
#include <string>
#include <string_view>

namespace lumora {

// The lenient reading of a text field: blanks, tabs and line feeds anywhere are
// ignored, the longest leading number is read ("2.82 A" -> 2.82, "1 2" -> 12),
// "&H"/"&O" prefixes read hexadecimal/octal, and text without a number is 0.
double Val(std::string_view text);

// The strict reading used to validate inputs: the trimmed text must be one
// finite decimal number (optional sign, digits with one decimal point, optional
// exponent) and nothing else.
std::optional<double> ParseNumber(std::string_view text);

// v with exactly `decimals` decimals, rounded to nearest with ties away from
// zero, a leading minus for negative values that do not round to zero, no
// thousands separator, at least one integer digit ("###0.00000" and "###0").
std::string FormatFixed(double v, int decimals);

// A single-precision value as text with at most 7 significant digits and no
// trailing zeros ("0.7106867", "1.541878", "2.29092").
std::string FormatSingle(float v);

// A whole number with a leading blank for zero and positive values and a
// leading minus for negative ones (" 2", " 0", "-1").
std::string SignedWholeText(double v);

// The shortest text that reads back as the same single-precision value; used
// by the machine-readable outputs.
std::string ShortestText(float v);
std::string ShortestText(double v);

// A value with its standard uncertainty: "2.50012(3)"-style is easy to misread
// in a table, so "2.500123 +- 0.000031", with the su to two significant digits
// and the value to the same decimal; decimals (at least) when su is 0.
std::string ValueWithSu(double value, double su, int decimals);

}  // namespace lumora
