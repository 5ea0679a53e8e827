// The radiation of an intensity calculation and the scattering factor of an
// element for it, in one place for every intensity in Lumora:
//   X-ray:    f = f0(s) + f' + i f'' in electrons (xraylib, form_factors.hpp);
//   neutron:  the bound coherent scattering length b in fm, independent of s
//             (Neutron News 3 (1992) 29, from gemmi's neutron92.hpp);
//   electron: f_e(s) = sum_{i=1..5} a_i exp(-b_i s^2) in A, the International
//             Tables Vol. C table 4.3.2.2 fit for neutral atoms (gemmi's
//             c4322.hpp), valid for s <= 2 1/A and extrapolated beyond.
// s = sin(theta)/lambda in 1/A. The electron wavelength is the relativistic one
// of the accelerating voltage.
#pragma once

#include <complex>
#include <string>
#include <vector>

#include "intensity/form_factors.hpp"

namespace lumora {

enum class RadiationKind { XRay, Neutron, Electron };

struct Radiation {
  RadiationKind kind = RadiationKind::XRay;
  double wavelength = 0.0;  // A, > 0
  double voltageKv = 0.0;   // electrons: accelerating voltage in kV (the wavelength follows it)
};

Radiation XRayRadiation(double wavelength);
Radiation NeutronRadiation(double wavelength);
// Electrons accelerated through voltageKv kV (> 0), with their relativistic wavelength.
Radiation ElectronRadiation(double voltageKv);

// lambda = h / sqrt(2 m0 e V (1 + e V / (2 m0 c^2))), A, for V in kV (> 0);
// 200 kV: 0.0250793 A.
double RelativisticElectronWavelength(double voltageKv);

// "x-ray", "neutron", "electron".
std::string RadiationName(RadiationKind kind);
// The unit of the scattering factor: "electrons", "fm", "A".
std::string ScatteringFactorUnit(RadiationKind kind);

// Electron scattering factor f_e(s), A, s >= 0 in 1/A; z 1..98.
double ElectronScatteringFactor(int z, double s);
// Coherent neutron scattering length, fm; z 1..118.
double NeutronScatteringLength(int z);
// Whether the radiation's table has the element (the neutron table lacks a few
// elements, such as Po and At; the electron table ends at Cf).
bool HasScatteringFactor(RadiationKind kind, int z);

// The scattering factor of one element for one radiation on 0 <= s <= sMax:
// the X-ray form-factor table, the electron fit tabulated on the same grid, or
// the constant neutron length. Throws std::runtime_error for an element the
// radiation's table lacks.
class ScatteringTable {
 public:
  ScatteringTable(int z, const Radiation& radiation, double sMax);
  int z() const { return z_; }
  std::complex<double> operator()(double s) const {
    if (kind_ == RadiationKind::XRay) return xray_[0](s);
    if (kind_ == RadiationKind::Neutron) return constant_;
    const auto [i, frac] = GridStep(s * kInverseStep, values_.size());
    return values_[i] + frac * (values_[i + 1] - values_[i]);
  }

 private:
  static constexpr double kStep = 1e-4;
  static constexpr double kInverseStep = 1e4;
  int z_ = 0;
  RadiationKind kind_ = RadiationKind::XRay;
  std::vector<FormFactorTable> xray_;  // one entry for X-rays
  std::vector<double> values_;         // electrons
  double constant_ = 0.0;              // neutrons
};

}  // namespace lumora
