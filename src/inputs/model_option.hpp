// The structure model a front end names (--model, model=): a built-in name or
// a model file, and the weakest intensity a run keeps (--min-intensity).
#pragma once

#include <chrono>
#include <optional>
#include <stdexcept>
#include <string>

#include "inputs/input_reading.hpp"
#include "intensity/structure_factor.hpp"
#include "intensity/structure_model.hpp"

namespace lumora {

// The model nameOrPath names, or none when it is not given; a UsageError says
// why a named one cannot be had.
std::optional<StructureModel> ModelOption(const std::optional<std::string>& nameOrPath);

class ModelOptions {
 public:
  static const NamedInputs& Inputs();  // --model, --min-intensity
  // Reads one option; false when the name is not one of these.
  bool Apply(const Option& option);
  bool Given() const { return name_.has_value(); }
  // Percent of the strongest intensity; none: keep every reflection.
  const std::optional<double>& MinIntensity() const { return minIntensity_; }
  // The model named, or none; a UsageError when --min-intensity comes
  // without --model or the model cannot be had.
  std::optional<StructureModel> Model() const;
  // The model's name for a report: its own, else the name or file as given.
  std::string Label(const StructureModel& model) const;

 private:
  std::optional<std::string> name_;
  std::optional<double> minIntensity_;
};

// A run that could not be finished (a time limit, a value out of reach):
// lumora-cli exits with status 1 and the message.
struct RunError : std::runtime_error {
  using std::runtime_error::runtime_error;
};

// The model's intensities for the run's records with the radiation's
// scattering factors, labelled label. A UsageError
// when the model cannot be placed on the run's lattice; a RunError when the
// work passes maxSeconds (counted from started; 0: no limit), is cancelled
// through cancel, or a structure factor is not finite.
IntensityResult ModelIntensities(const StructureModel& model, const std::string& label, const CalculationResult& run,
                                 const Radiation& radiation, double maxSeconds = 0.0,
                                 std::chrono::steady_clock::time_point started = std::chrono::steady_clock::now(),
                                 const std::atomic<bool>* cancel = nullptr);

}  // namespace lumora
