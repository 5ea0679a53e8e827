// A measured powder pattern read from a text file (.xy, .xye, .csv): 2 theta in
// degrees, intensity, and optionally the intensity's standard uncertainty.
#pragma once

#include <string>
#include <string_view>
#include <vector>

namespace lumora {

struct MeasuredPattern {
  std::vector<double> twoTheta;   // degrees, in (0, 180), strictly ascending
  std::vector<double> intensity;  // any finite value (background-subtracted data may dip below 0)
  std::vector<double> sigma;      // above 0; empty when the file has two columns
};

struct MeasuredRead {
  MeasuredPattern pattern;  // empty when error is set
  std::string error;        // "line 12: ..." for a bad line; empty when fine
};

// The text of a pattern file. A data line holds 2 or 3 numbers (2 theta,
// intensity[, sigma]) separated by blanks, tabs, commas or semicolons; every
// data line has as many as the first. '#' and '!' start a comment that runs to
// the end of the line; blank lines are skipped; one header line of words (no
// field a number) may come before the data; CR LF line ends are read as LF.
// 2 theta must rise from line to line, or fall throughout (a scan recorded
// downwards, which is then reversed): a repeated or out-of-order angle is an
// error rather than sorted away, since it means two scans were joined.
MeasuredRead ParseMeasuredPattern(std::string_view text);

// The file at path (a regular file of at most kMaxMeasuredFileBytes); the
// error names the path when it cannot be read, or the line as above.
inline constexpr std::size_t kMaxMeasuredFileBytes = 256u << 20;
MeasuredRead ReadMeasuredPattern(const std::string& path);

}  // namespace lumora
