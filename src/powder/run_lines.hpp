// The powder lines of a run with complete orbits: when the run's loop box may
// cut orbits, the same filters are run again with complete loops and the
// lines (and a model's intensities) come from that run; with complete set to
// false the run's own records are kept and the lines the box cut are marked
// (PowderLine::completeMultiplicity).
#pragma once

#include <atomic>
#include <cstddef>
#include <string>

#include "intensity/structure_factor.hpp"
#include "intensity/structure_model.hpp"
#include "powder/powder_lines.hpp"
#include "reflections/calculation.hpp"

namespace lumora {

struct RunLinesRequest {
  const CalculationInputs* inputs = nullptr;  // the run's; inputs->wavelength places the lines
  const CalculationResult* run = nullptr;     // the run's reflections
  const IntensityResult* intensities = nullptr;  // the run's model intensities, or null (1 per reflection)
  const StructureModel* model = nullptr;      // the model of those intensities, for the complete run
  LineOptions options;
  bool complete = true;  // take whole orbits (false: keep the run's box and mark the cut lines)
  std::size_t maxRecords = 400'000;  // the complete run's limit
  const std::atomic<bool>* cancel = nullptr;
};

struct RunLines {
  PowderLines lines;          // intensities in percent of the strongest
  std::size_t reflections = 0;  // the reflections the lines hold
  bool completeOrbits = false;  // every line holds its whole orbits
  std::string note;           // why the orbits could not be completed, or empty
};

RunLines MakeRunLines(const RunLinesRequest& request);

}  // namespace lumora
