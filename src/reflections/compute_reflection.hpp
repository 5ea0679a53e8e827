// Turning one index vector into a reflection, and classifying its direction.
#pragma once

#include <array>

#include "lattice/lattice.hpp"
#include "reflections/reflection_record.hpp"

namespace lumora {

using IndexVector = std::array<int, 6>;

// The theta range and the qi limit include values within this relative
// distance of their limits: symmetry-equivalent reflections, whose computed
// lengths differ by rounding only, are then kept or dropped together.
inline constexpr double kLimitTolerance = 1e-9;

struct ReflectionFilter {
  double wavelength = 0.0;  // A
  double thetaLow = 0.0;    // degrees
  double thetaHigh = 0.0;   // degrees
  double qiLimit = 0.0;
};

struct ReflectionValues {
  double d = 0.0;
  double theta = 0.0;
  double qi = 0.0;
  double qe = 0.0;
  std::array<double, 3> xyz{};
  bool ok = false;  // passes the theta and qi filters (within kLimitTolerance)
};

// The reciprocal vector of h (inverseMatrix times h, in double) split into its
// physical and internal parts; d, theta and the filter verdict. A vector with no
// physical part (the origin) is never ok and has d and theta left at 0; nor is
// one beyond the limiting sphere (wavelength / 2d above 1), whose theta reads
// 90.00000001.
ReflectionValues ComputeReflection(const Lattice& lattice, const IndexVector& h,
                                   const ReflectionFilter& filter);

// The values of a kept record in double precision, worked out again from its
// indices (the record holds single-precision copies): theta in degrees at
// wavelength (A), d in A, qe, qi, x, y, z in 1/A without 2 pi. ok is left false.
ReflectionValues RecomputeReflection(const Lattice& lattice, double wavelength, const ReflectionRecord& record);

// 0 general, 1 on a direction of the first family, 2 of the second family;
// always 0 for the icosahedral system. Reads the record's stored indices.
std::int16_t ClassifyPlane(const Lattice& lattice, const ReflectionRecord& record);

}  // namespace lumora
