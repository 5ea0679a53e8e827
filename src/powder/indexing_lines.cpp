#include "powder/indexing_lines.hpp"

#include <algorithm>
#include <cmath>
#include <variant>

#include "intensity/structure_factor.hpp"

namespace lumora {

double QiWeight(double qi, double qiLimit) {
  if (!(qiLimit > 0.0)) return 1.0;
  const double x = qi / qiLimit;
  return std::exp(-std::log(100.0) * x * x);
}

IndexingLines BuildIndexingLines(const IndexingLineRequest& request) {
  IndexingLines out;
  CalculationInputs run = request.inputs;
  const bool steurerAxial = !run.yamamoto && run.system != CrystalSystem::Icosahedral;
  if (steurerAxial) run.qiLimit = request.inputs.qiLimit * request.inputs.a / request.aRun;
  run.a = request.aRun;
  run.c = request.cRun;
  run.wavelength = request.wavelength;
  run.thetaLow = 0.0;
  run.thetaHigh = std::min(0.5 * request.twoThetaMax, 90.0);
  run.completeLoops = true;
  RunControl control;
  control.cancel = request.cancel;
  control.maxRecords = kMaxIndexingReflections;
  const CalculationResult result = RunCalculation(run, control);
  if (result.status != RunStatus::Completed) {
    out.error = result.status == RunStatus::Cancelled ? "cancelled"
                : result.error == TooManyRecordsMessage(control.maxRecords)
                    ? "the cells searched would have more than " + std::to_string(control.maxRecords) +
                          " reflections in the measured range; lower qi-max or narrow the search"
                    : "the lines could not be made: " + result.error;
    return out;
  }
  std::vector<double> weights(result.records.size());
  if (request.model) {
    const auto resolved = ResolveModel(*request.model, result.lattice);
    if (const std::string* error = std::get_if<std::string>(&resolved)) {
      out.error = "model: " + *error;
      return out;
    }
    IntensityResult intensities;
    IntensityControl intensityControl;
    intensityControl.cancel = request.cancel;
    IntensityStatus status = IntensityStatus::Completed;
    try {
      status = ComputeIntensities(std::get<ResolvedModel>(resolved), result.lattice, result.records,
                                  request.modelRadiation, intensities, intensityControl);
    } catch (const std::exception& e) {
      out.error = std::string("model: ") + e.what();
      return out;
    }
    if (status != IntensityStatus::Completed) {
      out.error = status == IntensityStatus::Cancelled ? "cancelled"
                  : intensities.error.empty()          ? "model: the intensities could not be computed"
                                                       : "model: " + intensities.error;
      return out;
    }
    weights = intensities.intensity;
    out.strengthSource = "model " + (request.model->name.empty() ? std::string("(file)") : request.model->name);
  } else {
    for (std::size_t i = 0; i < weights.size(); ++i)
      weights[i] = QiWeight(static_cast<double>(result.records[i].qi), run.qiLimit);
    out.strengthSource = "qi weight";
  }
  ScalableLines lines = BuildScalableLines(result.records, run, request.lineOptions, &weights);
  out.lines = std::move(lines.lines);
  out.error = std::move(lines.error);
  return out;
}

}  // namespace lumora
