#include "powder/scalable_lines.hpp"

#include <cmath>
#include <numbers>
#include <stdexcept>

namespace lumora {
namespace {

constexpr double kDegree = std::numbers::pi / 180.0;

}  // namespace

ScalableLines BuildScalableLines(const std::vector<ReflectionRecord>& records, const CalculationInputs& inputs,
                                 const LineOptions& lineOptions, const std::vector<double>* weights) {
  ScalableLines result;
  const bool icosahedral = inputs.system == CrystalSystem::Icosahedral;
  Lattice lattice;
  try {
    lattice = SetupLattice(inputs.system, inputs.a, icosahedral ? 1.0 : inputs.c, inputs.yamamoto);
  } catch (const std::invalid_argument& error) {
    result.error = error.what();
    return result;
  }
  const PowderLines lines = BuildPowderLines(records, weights, inputs.wavelength, lineOptions);
  const ReflectionFilter filter{inputs.wavelength, 0.0, 90.0, 0.0};
  result.lines.reserve(lines.lines.size());
  for (const PowderLine& line : lines.lines) {
    ScalableLine s;
    s.index = line.indices.front();
    s.multiplicity = line.multiplicity;
    s.strength = line.strength;
    const std::array<double, 3> p = ComputeReflection(lattice, s.index, filter).xyz;
    if (icosahedral) {
      s.axy = (p[0] * p[0] + p[1] * p[1] + p[2] * p[2]) * inputs.a * inputs.a;
    } else {
      s.axy = (p[0] * p[0] + p[1] * p[1]) * inputs.a * inputs.a;
      s.az = p[2] * p[2] * inputs.c * inputs.c;
    }
    result.lines.push_back(s);
  }
  return result;
}

double LineQ(const ScalableLine& line, double a, double c) {
  return std::sqrt(line.axy / (a * a) + (line.az == 0.0 ? 0.0 : line.az / (c * c)));
}

double LineTwoTheta(const ScalableLine& line, double a, double c, double wavelength) {
  const double s = 0.5 * wavelength * LineQ(line, a, c);
  return s < 1.0 ? 2.0 * std::asin(s) / kDegree : std::nan("");
}

std::array<double, 2> LineSlopes(const ScalableLine& line, double a, double c, double wavelength) {
  const double q = LineQ(line, a, c);
  const double s = 0.5 * wavelength * q;
  // 2 theta = 2 asin(lambda q / 2): d(2 theta)/dq = lambda / cos theta (radians).
  const double perQ = wavelength / std::sqrt(1.0 - s * s) / kDegree;
  const double dqda = -line.axy / (a * a * a * q);
  const double dqdc = line.az == 0.0 ? 0.0 : -line.az / (c * c * c * q);
  return {perQ * dqda, perQ * dqdc};
}

}  // namespace lumora
