#include "powder/run_lines.hpp"

#include <variant>

namespace lumora {

RunLines MakeRunLines(const RunLinesRequest& request) {
  const CalculationInputs& inputs = *request.inputs;
  RunLines out;
  auto build = [&](const CalculationResult& run, const IntensityResult* intensities) {
    out.lines = BuildPowderLines(run.records, intensities ? &intensities->intensity : nullptr, inputs.wavelength,
                                 request.options);
    ScaleLinesToPercent(out.lines.lines);
    out.reflections = run.records.size();
  };
  if (inputs.completeLoops) {
    build(*request.run, request.intensities);
    out.completeOrbits = true;
    return out;
  }
  CalculationInputs wholeInputs = inputs;
  wholeInputs.completeLoops = true;
  RunControl control;
  control.maxRecords = request.maxRecords;
  control.cancel = request.cancel;
  const CalculationResult whole = RunCalculation(wholeInputs, control);
  if (whole.status != RunStatus::Completed) {
    build(*request.run, request.intensities);
    if (whole.status != RunStatus::Cancelled)
      out.note = "the orbits could not be completed (" + whole.error + "); the lines hold the loop box's reflections";
    return out;
  }
  if (request.complete) {
    // A model's intensities are computed again for the complete run's reflections.
    std::string problem;
    IntensityResult intensities;
    if (request.intensities && request.model) {
      try {
        const auto resolved = ResolveModel(*request.model, whole.lattice);
        if (const std::string* error = std::get_if<std::string>(&resolved)) {
          problem = *error;
        } else {
          IntensityControl intensityControl;
          intensityControl.cancel = request.cancel;
          if (ComputeIntensities(std::get<ResolvedModel>(resolved), whole.lattice, whole.records, inputs.wavelength,
                                 intensities, intensityControl) != IntensityStatus::Completed)
            problem = intensities.error.empty() ? std::string("not computed") : intensities.error;
        }
      } catch (const std::exception& e) {
        problem = e.what();
      }
    } else if (request.intensities) {
      problem = "no model for the complete run";
    }
    if (problem.empty()) {
      build(whole, request.intensities ? &intensities : nullptr);
      out.completeOrbits = true;
      return out;
    }
    out.note = "the model's intensities of the complete orbits failed (" + problem +
               "); the lines hold the loop box's reflections";
  }
  build(*request.run, request.intensities);
  CountCompleteOrbits(out.lines.lines, whole.records, request.options);
  return out;
}

}  // namespace lumora
