// sin and cos of one argument together, inlined for the structure-factor loops,
// where they dominate. The argument is reduced by pi/2 in three parts (exact
// products for |x| < 2^19 pi/2) and the quadrant polynomials are those of
// fdlibm's __kernel_sin and __kernel_cos, accurate to about one unit in the
// last place on [-pi/4, pi/4]. Larger arguments go to the library.
#pragma once

#include <cmath>

namespace lumora {

struct SinCos {
  double sin;
  double cos;
};

inline SinCos FastSinCos(double x) {
  constexpr double kTwoOverPi = 6.36619772367581382433e-01;
  constexpr double kPio2Part1 = 1.57079632673412561417e+00;   // first 33 bits of pi/2
  constexpr double kPio2Part2 = 6.07710050630396597660e-11;   // next 33 bits
  constexpr double kPio2Part3 = 2.02226624879595063154e-21;   // pi/2 - part1 - part2
  if (!(std::fabs(x) < 8.0e5)) return {std::sin(x), std::cos(x)};
  // Round to nearest by the 2^52 + 2^51 shift (exact for |x 2/pi| < 2^51).
  constexpr double kShift = 6755399441055744.0;
  const double n = (x * kTwoOverPi + kShift) - kShift;
  const double r = ((x - n * kPio2Part1) - n * kPio2Part2) - n * kPio2Part3;
  const double z = r * r;
  const double s = r + r * z * (-1.66666666666666324348e-01 +
                                z * (8.33333333332248946124e-03 +
                                     z * (-1.98412698298579493134e-04 +
                                          z * (2.75573137070700676789e-06 +
                                               z * (-2.50507602534068634195e-08 + z * 1.58969099521155010221e-10)))));
  const double c = 1.0 - 0.5 * z +
                   z * z * (4.16666666666666019037e-02 +
                            z * (-1.38888888888741095749e-03 +
                                 z * (2.48015872894767294178e-05 +
                                      z * (-2.75573143513906633035e-07 +
                                           z * (2.08757232129817482790e-09 + z * -1.13596475577881948265e-11)))));
  switch (static_cast<long long>(n) & 3) {
    case 0: return {s, c};
    case 1: return {c, -s};
    case 2: return {-s, -c};
    default: return {-c, s};
  }
}

}  // namespace lumora
