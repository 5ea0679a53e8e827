// The structure-refinement options shared by "lumora-cli refine" and the
// Python package: the start model, the reflections, the parameters to refine,
// the weighting, merging and search, and the internal-space map.
#pragma once

#include <optional>
#include <set>
#include <string>
#include <vector>

#include "inputs/input_reading.hpp"
#include "reflections/calculation.hpp"
#include "refine/internal_map.hpp"
#include "refine/observations.hpp"
#include "refine/structure_refinement.hpp"

namespace lumora {

class StructureOptions {
 public:
  // --model, --reflections, --refine, --scale, --extinction, --weight,
  // --no-merge, --max-iterations, --search, --map-at, --map-source,
  // --map-size, --map-width.
  static const NamedInputs& Inputs();
  // Reads one option; false when the name is not one of these.
  bool Apply(const Option& option);

  struct Prepared {
    RefinementSetup setup;
    std::optional<PointGroup> group;  // the Laue class the data were merged in
    std::string dataName;             // the reflection file as given
  };
  // Reads the model and the reflections (from --reflections, or given), merges
  // them and sets up the refinement on the run's lattice and wavelength; a
  // UsageError names the option whose value cannot be used.
  Prepared Prepare(const CalculationInputs& inputs, const std::vector<Observation>* given = nullptr) const;

  // The map of --map-at (with --map-source, --map-size, --map-width), if asked
  // for; a UsageError when its site is not one of the model's.
  std::optional<MapRequest> Map(const StructureModel& model) const;

 private:
  std::optional<std::string> model_, reflections_, mapAt_;
  std::string refine_{input::kStructureRefine.defaultText};
  std::optional<double> scale_;
  double extinction_ = 0.0;
  Weighting weighting_;
  bool merge_ = true;
  int maxIterations_ = 100;
  int searchStarts_ = 6;
  MapRequest map_;
};

}  // namespace lumora
