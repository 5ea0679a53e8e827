// Scattering factors typed in from the published tables, for tests that
// check Lumora's radiation tables and everything built on them against an
// independent source (never read from Lumora's own tables):
//   neutron: bound coherent lengths, Sears, Neutron News 3 (1992) 29;
//   electron: International Tables Vol. C, table 4.3.2.2 (neutral atoms,
//   0 <= s <= 2 1/A): f_e(s) = sum a_i exp(-b_i s^2), a in A, b in A^2.
#pragma once

#include <array>
#include <cmath>

namespace lumora::testing {

inline constexpr double kNeutronLengthFe = 9.45;   // fm
inline constexpr double kNeutronLengthAl = 3.449;  // fm

struct ElectronFit {
  std::array<double, 5> a, b;
  double operator()(double s) const {
    double f = 0.0;
    for (std::size_t i = 0; i < 5; ++i) f += a[i] * std::exp(-b[i] * s * s);
    return f;
  }
};

inline constexpr ElectronFit kElectronFe{{0.3946, 1.2725, 1.7031, 2.3140, 1.4795},
                                         {0.2717, 2.0443, 7.6007, 29.9714, 86.2265}};
inline constexpr ElectronFit kElectronAl{{0.2390, 0.6573, 1.2011, 2.5586, 1.2312},
                                         {0.3138, 2.1063, 10.4163, 34.4552, 98.5344}};

}  // namespace lumora::testing
