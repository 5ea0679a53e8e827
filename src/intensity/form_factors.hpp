// X-ray atomic form factors f = f0(s) + f' + i f'' from xraylib: f0 from
// FF_Rayl, the anomalous terms f', f'' from Fi and Fii at the photon energy of
// the wavelength. s = sin(theta)/lambda in 1/A (half the physical |q| of the
// report, q without 2 pi); energies in keV, wavelengths in A.
#pragma once

#include <complex>
#include <cstddef>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

namespace lumora {

// hc in keV A: photon energy = kHcKeVAngstrom / wavelength.
inline constexpr double kHcKeVAngstrom = 12.398419843320026;

// The atomic number of an element symbol ("Al", "al"), or nothing.
std::optional<int> AtomicNumberOf(std::string_view symbol);
// The conventional spelling of an element symbol ("AL" -> "Al").
std::string ElementSymbol(int z);

// f0(s) straight from xraylib; s >= 0 in 1/A. Throws std::runtime_error when
// xraylib reports an error.
double FormFactorF0(int z, double s);
// f' and f'' (f'' > 0, absorption) at a wavelength in A (> 0).
std::complex<double> AnomalousTerms(int z, double wavelength);

// The interval i (0 <= i <= size - 2) and the fraction within it of grid
// position t on a table of size >= 2 points, clamped at both ends. The clamp
// comes before the conversion: a huge, infinite or NaN t must not reach it.
struct GridPoint {
  std::size_t i;
  double frac;
};
inline GridPoint GridStep(double t, std::size_t size) {
  const double last = static_cast<double>(size - 1);
  if (!(t > 0.0)) return {0, 0.0};
  if (!(t < last)) return {size - 2, 1.0};
  const auto i = static_cast<std::size_t>(t);
  return {i, t - static_cast<double>(i)};
}

// f0 of one element tabulated on a fine s grid, with the anomalous terms of
// one wavelength: a lookup per reflection instead of a library call. Linear
// interpolation on steps of 1e-4 1/A keeps f within 1e-5 relative.
class FormFactorTable {
 public:
  FormFactorTable(int z, double wavelength, double sMax);
  int z() const { return z_; }
  // f(s) for 0 <= s <= sMax (clamped beyond).
  std::complex<double> operator()(double s) const {
    const auto [i, frac] = GridStep(s * kInverseStep, f0_.size());
    return {f0_[i] + frac * (f0_[i + 1] - f0_[i]) + anomalous_.real(), anomalous_.imag()};
  }

 private:
  static constexpr double kStep = 1e-4;
  static constexpr double kInverseStep = 1e4;
  int z_ = 0;
  std::complex<double> anomalous_;
  std::vector<double> f0_;
};

}  // namespace lumora
