// The lines an indexing scores cells against: every powder line of the
// system's module (space group, setting, qi limit) that any cell of the
// searched box puts into the measured range. Lines move to higher angles as
// the cell shrinks, so one run at the largest cell (a and c at the top of the
// box) up to the largest angle holds them all, with complete orbits (the
// loops are those of CalculationInputs::completeLoops). Each line's strength
// is the sum over its reflections of
//   a structure model's |F|^2 (percent of the strongest), or without one
//   the qi weight exp(-ln 100 (qi / qi-max)^2): 1 at qi = 0, 1 % at the limit
//   (strong reflections of a quasicrystal have small internal components).
// In the Steurer setting qi-max (1/A) holds at the run's a; the run at the
// larger a takes the same limit in units of that a, so that the same index
// vectors pass.
#pragma once

#include <atomic>
#include <string>
#include <vector>

#include "intensity/radiation.hpp"
#include "intensity/structure_model.hpp"
#include "powder/powder_lines.hpp"
#include "powder/scalable_lines.hpp"
#include "reflections/calculation.hpp"

namespace lumora {

struct IndexingLineRequest {
  CalculationInputs inputs;          // system, group, setting, qi-max (at inputs.a); a, c are replaced
  double aRun = 0.0, cRun = 0.0;     // the largest cell of the box, A
  double wavelength = 0.0;           // the longest wavelength modelled, A
  double twoThetaMax = 0.0;          // degrees: the largest angle a line must reach
  const StructureModel* model = nullptr;
  Radiation modelRadiation;          // the model's scattering factors (X-rays: the anomalous terms at its wavelength)
  LineOptions lineOptions;
  const std::atomic<bool>* cancel = nullptr;
};

struct IndexingLines {
  std::vector<ScalableLine> lines;
  std::string error;           // why there are none
  std::string strengthSource;  // "model penrose" or "qi weight"
};

// The qi weight of one reflection (qi and qiLimit in the same units).
double QiWeight(double qi, double qiLimit);

// At most this many reflections: beyond, the search would take too long (and
// a quasicrystal's lines that dense index anything).
inline constexpr std::size_t kMaxIndexingReflections = 400'000;

IndexingLines BuildIndexingLines(const IndexingLineRequest& request);

}  // namespace lumora
