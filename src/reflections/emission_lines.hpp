// Today's K-alpha emission lines of the anodes, for analyses that model peak
// positions (indexing, refinement): K-alpha1, K-alpha2 and the intensity ratio
// K-alpha2 / K-alpha1. The classic anode table (parameters.hpp), whose mean
// the main window shows, stays as it was; the sources are cited in the .cpp.
#pragma once

#include <optional>
#include <string>

namespace lumora {

struct EmissionLines {
  double kAlpha1 = 0.0;  // A
  double kAlpha2 = 0.0;  // A
  double ratio = 0.0;    // intensity of K-alpha2 over that of K-alpha1
};

// The lines of the anode at the classic list index (0 Mo .. 6 Ag); none for
// the typed wavelength ("US") or an index outside the list.
std::optional<EmissionLines> AnodeEmissionLines(int anodeIndex);

// How peak positions are modelled for an anode.
enum class WavelengthModel {
  Doublet,  // K-alpha1 and K-alpha2 positions (and their blend where unresolved)
  KAlpha1,  // K-alpha1 only: a monochromated beam
  Single,   // one given wavelength (a typed wavelength)
};

// "doublet", "ka1" or "single".
std::string WavelengthModelName(WavelengthModel model);
std::optional<WavelengthModel> FindWavelengthModel(const std::string& name);

}  // namespace lumora
