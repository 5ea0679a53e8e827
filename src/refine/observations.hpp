// Measured single-crystal intensities: a text list, one reflection a line
// ("h1 .. hn I sigma", n = 5 or 6, "#" comments), or the _refln loop of a CIF
// (index tags _refln_index_h, _k, _l, _m_1, _m_2[, _m_3], intensities
// _refln_F_squared_meas and _refln_F_squared_sigma). I and sigma on any
// common scale; sigma > 0.
#pragma once

#include <cstddef>
#include <filesystem>
#include <string>
#include <string_view>
#include <variant>
#include <vector>

#include "reflections/point_group.hpp"

namespace lumora {

struct Observation {
  IndexVector h{};
  double intensity = 0.0;
  double sigma = 0.0;
  int line = 0;  // where it was read: text line, or row of the CIF loop (1-based)
};

struct ObservationError {
  int line = 0;       // 1-based; 0: the file as a whole
  int field = 0;      // 1-based; 0: the whole line
  std::string name;   // "h3", "I", "sigma", or a CIF tag
  std::string text;   // what the field held
  std::string problem;
  // "line 12, field 6 (I): "abc" is not a number"
  std::string Message() const;
};

using ObservationRead = std::variant<std::vector<Observation>, ObservationError>;

// One reflection from its nDim + 2 field texts (names: for the messages),
// checked as below; an error names the field (1-based) on that line.
std::variant<Observation, ObservationError> ReadObservation(const std::vector<std::string>& fields,
                                                            const std::vector<std::string>& names, int nDim, int line);

// Indices must be whole numbers of at most 10000 in size, not all zero; I a
// finite number (negative ones are kept); sigma above 0.
ObservationRead ParseReflectionText(std::string_view text, int nDim);
// The first block with a _refln loop that has the index tags of nDim indices.
ObservationRead ParseReflectionCif(std::string_view text, int nDim);

inline constexpr std::size_t kMaxReflectionFileBytes = 256u << 20;

// A CIF when the first word of the file starts with "data_" (after comments),
// else the text list. The message names the file.
std::variant<std::vector<Observation>, std::string> LoadObservations(const std::filesystem::path& path, int nDim);

}  // namespace lumora
