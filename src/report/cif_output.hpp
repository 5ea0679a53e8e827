// Runs as CIF, written through gemmi: a data block whose header names the
// program, the system, setting and space group, the lattice constants, the
// basis (the direct matrix and its inverse, as "Used Matrices" shows them),
// the radiation with its wavelength and the structure model; and the run's
// reflections as a _refln loop with msCIF-style index tags, h1 ... hn in
// order as _refln_index_h, _k, _l, _m_1, _m_2 (and _m_3 for the icosahedral
// system). Tags that no dictionary defines carry the prefix _lumora_.
#pragma once

#include <gemmi/cifdoc.hpp>

#include <string>

#include "intensity/structure_factor.hpp"
#include "inputs/parameters.hpp"
#include "reflections/calculation.hpp"

namespace lumora {

// The radiation as the header names it.
struct CifBeam {
  std::string probe = "x-ray";  // _diffrn_radiation_probe: x-ray, neutron or electron
  double voltageKv = 0.0;       // electrons: the accelerating voltage; 0: none stated
};
inline CifBeam CifBeamOf(const Radiation& radiation) {
  return {RadiationName(radiation.kind), radiation.kind == RadiationKind::Electron ? radiation.voltageKv : 0.0};
}

// The header items of a run (result's lattice, group and wavelength) into block.
void AddRunHeader(gemmi::cif::Block& block, const CalculationResult& result, const Summary& summary,
                  const CifBeam& beam, const std::string& model);

// The index tags of an n-dimensional run without their category:
// "index_h", "index_k", "index_l", "index_m_1" ... "index_m_(n-3)".
std::vector<std::string> IndexTags(int nDim);

// A text value as CIF needs it: quoted when it has blanks or quotes, control
// characters shown escaped.
std::string CifTextValue(const std::string& text);

// The whole document as CIF 1.1 text.
std::string CifText(const gemmi::cif::Document& document);

// The run's reflections: header and one _refln row per record in run order
// with the indices, _refln_d_spacing, _refln_sint/lambda (1/2d),
// _lumora_refln_theta (degrees) and _lumora_refln_q_internal (|qi|), all at
// full precision from the indices; with intensities also
// _refln_F_squared_calc, _refln_F_calc (|F|, in the model's scattering-factor
// units per internal cell volume), _refln_phase_calc (degrees) and
// _lumora_refln_intensity (percent of the strongest). A run without
// reflections has the header only (CIF has no empty loop).
std::string ReflectionsCif(const CalculationResult& result, const Summary& summary,
                           const IntensityResult* intensities = nullptr, const CifBeam& beam = {});

}  // namespace lumora
