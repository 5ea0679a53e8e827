// What the tiling window's and lumora-cli's peak exports are checked
// against: the rows of their CSV files as numbers, and a direct Fourier sum
// over the exact vertices, worked out here and not by the program.
#pragma once

#include <array>
#include <cmath>
#include <numbers>
#include <sstream>
#include <string>
#include <utility>
#include <vector>

namespace lumora::testing {

// The rows of a CSV text without its "#" lines and header, as numbers.
inline std::vector<std::vector<double>> CsvNumbers(const std::string& text) {
  std::vector<std::vector<double>> rows;
  std::istringstream in(text);
  bool header = true;
  for (std::string line; std::getline(in, line);) {
    if (line.empty() || line[0] == '#') continue;
    if (std::exchange(header, false)) continue;
    std::vector<double> row;
    std::istringstream fields(line);
    for (std::string field; std::getline(fields, field, ',');) row.push_back(std::stod(field));
    rows.push_back(row);
  }
  return rows;
}

// k = (2/5) sum h_i e_i of a five-fold peak, from its indices h0..h3 (the
// fourth to seventh fields of a peak row).
inline std::array<double, 2> PenrosePeakVector(const std::vector<double>& peak) {
  const double pi = std::numbers::pi;
  std::array<double, 2> k{0.0, 0.0};
  for (std::size_t i = 0; i < 4; ++i) {
    k[0] += peak[3 + i] * 2.0 / 5.0 * std::cos(2.0 * pi * static_cast<double>(i) / 5.0);
    k[1] += peak[3 + i] * 2.0 / 5.0 * std::sin(2.0 * pi * static_cast<double>(i) / 5.0);
  }
  return k;
}

// |sum exp(2 pi i k.x)|^2 / n^2 over vertex rows (n, x, y, ...).
inline double VertexSumIntensity(const std::vector<std::vector<double>>& vertices, const std::array<double, 2>& k) {
  double re = 0.0, im = 0.0;
  for (const auto& v : vertices) {
    const double phase = 2.0 * std::numbers::pi * (k[0] * v[1] + k[1] * v[2]);
    re += std::cos(phase);
    im += std::sin(phase);
  }
  const double n = static_cast<double>(vertices.size());
  return (re * re + im * im) / (n * n);
}

}  // namespace lumora::testing
