// Measured powder patterns in every format xylib reads (Bruker RAW and UXD,
// PANalytical XRDML, Philips UDF and RD, Rigaku DAT, Sietronics CPI, DBWS,
// pdCIF, ...) and in Bruker RAW4.00 (own reader, bruker_raw4.hpp), with the
// wavelength the file states, and one range chosen from files that hold
// several. Plain text (.xy, .xye, .csv, and any file xylib
// takes for columns of text) goes to the program's own reader
// (measured_pattern.hpp), whose messages name the line.
#pragma once

#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "powder/measured_pattern.hpp"

namespace lumora {

struct MeasuredFile {
  MeasuredPattern pattern;  // the chosen range; empty when error is set
  std::string error;        // names the file, and the line, point or range at fault
  std::string format;       // "PANalytical XRDML", or "text" for the own reader
  // One description per range of the file ("2theta 10 to 60, 2501 points");
  // one entry for a file of one range.
  std::vector<std::string> ranges;
  std::size_t range = 0;  // the range read, 0-based
  // The wavelengths the file states, in A: K-alpha1 (or the only one) and,
  // when given, K-alpha2 with the ratio I(K-alpha2)/I(K-alpha1).
  std::optional<double> wavelength;
  std::optional<double> wavelength2;
  std::optional<double> ratio;
  std::string wavelengthItem;  // the file's item the wavelength came from ("kAlpha1", "USED_LAMBDA")
};

// The file at path (a regular file of at most kMaxMeasuredFileBytes), range
// (0-based) of it. A range beyond the file's is an error naming how many there are.
MeasuredFile ReadMeasuredFile(const std::string& path, std::size_t range = 0);

// The same from the file's bytes; name gives the extension that chooses the
// own reader (.xy, .xye, .csv) and helps xylib tell the format.
MeasuredFile ParseMeasuredFile(const std::string& bytes, const std::string& name, std::size_t range = 0);

// The wavelengths of an XRDML file's first <usedWavelength>: kAlpha1,
// kAlpha2 and ratioKAlpha2KAlpha1 (each absent when the file lacks it or it is
// no positive number).
struct StatedWavelengths {
  std::optional<double> alpha1, alpha2, ratio;
};
StatedWavelengths XrdmlWavelengths(std::string_view text);

// The file-dialog filter of every format read: "Powder patterns (*.xy *.xye
// *.csv *.raw *.xrdml ...);;All files (*)".
std::string MeasuredFileFilter();

}  // namespace lumora
