// Text files of the powder pattern: the lines as CSV and the profile as XY or CSV.
#pragma once

#include <array>
#include <string>
#include <string_view>

#include "powder/powder_lines.hpp"
#include "powder/powder_profile.hpp"

namespace lumora {

// "1 -2 0 1 1" for nDim indices joined by separator.
std::string IndexText(const std::array<int, 6>& h, int nDim, const char* separator);

// Every line with all its index vectors (";"-separated) and qi values.
std::string PowderLinesCsv(const PowderLines& lines, int nDim);

// The same as JSON: per line two_theta, d, multiplicity, incomplete (true
// when the run's loop box cut its orbits), complete_multiplicity (when the
// lines were compared with a complete run), intensity, indices and qi; and
// the count of incomplete lines.
std::string PowderLinesJson(const PowderLines& lines, int nDim);

// Two columns, 2 theta and intensity: CSV with a header row, or XY with a "#" comment header.
std::string PowderPatternText(const Profile& profile, bool csv);

// True when name ends in extension (".cif", lower case), in any case.
bool HasExtension(const std::string& name, std::string_view extension);
// True when name ends in ".csv" (any case).
bool EndsWithCsv(const std::string& name);

}  // namespace lumora
