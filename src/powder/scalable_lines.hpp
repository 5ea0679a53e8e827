// Powder lines whose positions follow the lattice constants: for the axial
// systems the physical reciprocal components x, y scale with 1/a and z with
// 1/c; for the icosahedral system all three scale with 1/a. So
//   q^2(a, c) = axy / a^2 + az / c^2   (q = 1/d in 1/A, no 2 pi)
// with axy = (x^2 + y^2) a0^2 and az = z^2 c0^2 taken once at the run's a0, c0.
#pragma once

#include <array>
#include <string>
#include <vector>

#include "powder/powder_lines.hpp"
#include "reflections/calculation.hpp"

namespace lumora {

struct ScalableLine {
  double axy = 0.0;  // A^0: (x^2 + y^2) a0^2, or q^2 a0^2 for the icosahedral system
  double az = 0.0;   // z^2 c0^2; 0 for the icosahedral system
  std::array<int, 6> index{};  // first index vector of the line
  int multiplicity = 0;
  double strength = 0.0;  // sum of the merged reflections' weights (without LP)
};

struct ScalableLines {
  std::vector<ScalableLine> lines;
  std::string error;  // why the lines cannot be had; empty when fine
};

// The lines of records (merged as BuildPowderLines merges them), their
// components recomputed in double from the indices through the lattice of
// inputs. records must come from a run of the same system; weights, parallel
// to them, give each line its strength (null: 1 per reflection).
ScalableLines BuildScalableLines(const std::vector<ReflectionRecord>& records, const CalculationInputs& inputs,
                                 const LineOptions& lineOptions, const std::vector<double>* weights = nullptr);

// q = 1/d in 1/A at a and c (A, both above 0).
double LineQ(const ScalableLine& line, double a, double c);

// 2 theta in degrees at the wavelength (A), without zero shift; NaN when the
// line lies beyond 2 theta = 180 there.
double LineTwoTheta(const ScalableLine& line, double a, double c, double wavelength);

// d(2 theta)/da and d(2 theta)/dc in degrees per A at a, c, for a line with a
// finite 2 theta below 180.
std::array<double, 2> LineSlopes(const ScalableLine& line, double a, double c, double wavelength);

}  // namespace lumora
