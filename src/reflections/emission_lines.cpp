#include "reflections/emission_lines.hpp"

#include <array>

namespace lumora {
namespace {

// K-alpha1 and K-alpha2 in A, in the classic list order (Mo, Cu, Ni, Co, Fe,
// Cr, Ag). Cr, Co, Fe, Ni, Cu: G. Hoelzer, M. Fritsch, M. Deutsch, J. Haertwig
// and E. Foerster, Phys. Rev. A 56, 4554 (1997), as International Tables for
// Crystallography Vol. C (2006), section 4.2.2, lists them. Mo, Ag: R. D.
// Deslattes et al., Rev. Mod. Phys. 75, 35 (2003), the NIST X-ray transition
// energies database (KL3, KL2), 12398.41857 eV A. Ratios: the K-L2 / K-L3
// radiative rates (J. H. Scofield, Phys. Rev. A 9, 1041 (1974)) as xraylib
// tabulates them.
constexpr std::array<EmissionLines, 7> kLines = {{
    {0.7093171, 0.713607, 0.524},    // Mo
    {1.5405929, 1.5444274, 0.513},   // Cu
    {1.6579300, 1.6617830, 0.512},   // Ni
    {1.7889960, 1.7928350, 0.511},   // Co
    {1.9360410, 1.9399730, 0.511},   // Fe
    {2.2897260, 2.2936510, 0.509},   // Cr
    {0.5594210, 0.5638120, 0.530},   // Ag
}};

}  // namespace

std::optional<EmissionLines> AnodeEmissionLines(int anodeIndex) {
  if (anodeIndex < 0 || anodeIndex >= static_cast<int>(kLines.size())) return std::nullopt;  // "US": typed
  return kLines[static_cast<std::size_t>(anodeIndex)];
}

std::string WavelengthModelName(WavelengthModel model) {
  switch (model) {
    case WavelengthModel::Doublet: return "doublet";
    case WavelengthModel::KAlpha1: return "ka1";
    case WavelengthModel::Single: return "single";
  }
  return "";
}

std::optional<WavelengthModel> FindWavelengthModel(const std::string& name) {
  for (WavelengthModel m : {WavelengthModel::Doublet, WavelengthModel::KAlpha1, WavelengthModel::Single})
    if (WavelengthModelName(m) == name) return m;
  return std::nullopt;
}

}  // namespace lumora
