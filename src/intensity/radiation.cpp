#include "intensity/radiation.hpp"

#include <gemmi/c4322.hpp>
#include <gemmi/neutron92.hpp>

#include <cmath>
#include <stdexcept>

namespace lumora {
namespace {

// CODATA 2018.
constexpr double kPlanck = 6.62607015e-34;           // J s
constexpr double kElectronMass = 9.1093837015e-31;   // kg
constexpr double kElementaryCharge = 1.602176634e-19;  // C
constexpr double kLightSpeed = 299792458.0;          // m/s

gemmi::El ElementOf(int z) { return static_cast<gemmi::El>(z); }

}  // namespace

Radiation XRayRadiation(double wavelength) { return {RadiationKind::XRay, wavelength, 0.0}; }
Radiation NeutronRadiation(double wavelength) { return {RadiationKind::Neutron, wavelength, 0.0}; }
Radiation ElectronRadiation(double voltageKv) {
  return {RadiationKind::Electron, RelativisticElectronWavelength(voltageKv), voltageKv};
}

double RelativisticElectronWavelength(double voltageKv) {
  const double energy = kElementaryCharge * voltageKv * 1e3;  // J
  const double rest = kElectronMass * kLightSpeed * kLightSpeed;
  const double momentum = std::sqrt(2.0 * kElectronMass * energy * (1.0 + energy / (2.0 * rest)));
  return kPlanck / momentum * 1e10;
}

std::string RadiationName(RadiationKind kind) {
  switch (kind) {
    case RadiationKind::XRay: return "x-ray";
    case RadiationKind::Neutron: return "neutron";
    case RadiationKind::Electron: return "electron";
  }
  return "";
}

std::string ScatteringFactorUnit(RadiationKind kind) {
  switch (kind) {
    case RadiationKind::XRay: return "electrons";
    case RadiationKind::Neutron: return "fm";
    case RadiationKind::Electron: return "A";
  }
  return "";
}

bool HasScatteringFactor(RadiationKind kind, int z) {
  if (z < 1) return false;
  switch (kind) {
    case RadiationKind::XRay: return z <= 98;
    case RadiationKind::Neutron: return z <= 118 && gemmi::Neutron92<double>::has(ElementOf(z));
    case RadiationKind::Electron: return z <= 98 && gemmi::C4322<double>::has(ElementOf(z));
  }
  return false;
}

double ElectronScatteringFactor(int z, double s) {
  if (!HasScatteringFactor(RadiationKind::Electron, z))
    throw std::runtime_error("no electron scattering factor for element " + std::to_string(z));
  return gemmi::C4322<double>::get(ElementOf(z)).calculate_sf(s * s);
}

double NeutronScatteringLength(int z) {
  if (!HasScatteringFactor(RadiationKind::Neutron, z))
    throw std::runtime_error("no neutron scattering length for element " + ElementSymbol(z));
  return gemmi::Neutron92<double>::get_(ElementOf(z));
}

ScatteringTable::ScatteringTable(int z, const Radiation& radiation, double sMax) : z_(z), kind_(radiation.kind) {
  switch (kind_) {
    case RadiationKind::XRay: xray_.emplace_back(z, radiation.wavelength, sMax); break;
    case RadiationKind::Neutron: constant_ = NeutronScatteringLength(z); break;
    case RadiationKind::Electron: {
      const std::size_t count = static_cast<std::size_t>(std::ceil(std::max(sMax, 0.0) * kInverseStep)) + 2;
      values_.resize(count);
      for (std::size_t i = 0; i < count; ++i) values_[i] = ElectronScatteringFactor(z, static_cast<double>(i) * kStep);
      break;
    }
  }
}

}  // namespace lumora
