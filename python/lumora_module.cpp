// The extension module lumora._core: the core's runs for Python. Each function
// takes the keyword arguments of the package's function of its name; the
// named inputs (src/inputs) turn them into the texts lumora-cli would read, so
// that bad input gets the same message.
#include <pybind11/numpy.h>
#include <pybind11/pybind11.h>
#include <pybind11/stl.h>

#include <algorithm>
#include <atomic>
#include <chrono>
#include <cmath>
#include <cstdint>
#include <future>
#include <map>
#include <optional>
#include <random>
#include <string>
#include <variant>

#include "common/number_text.hpp"
#include "common/text.hpp"
#include "inputs/input_reading.hpp"
#include "inputs/model_option.hpp"
#include "inputs/parameter_options.hpp"
#include "inputs/radiation_option.hpp"
#include "intensity/model_file.hpp"
#include "intensity/structure_factor.hpp"
#include "lattice/lattice.hpp"
#include "powder/measured_formats.hpp"
#include "powder/powder_lines.hpp"
#include "powder/powder_options.hpp"
#include "powder/powder_profile.hpp"
#include "powder/measured_pattern.hpp"
#include "powder/peak_search.hpp"
#include "powder/powder_indexing.hpp"
#include "powder/refinement_output.hpp"
#include "reflections/emission_lines.hpp"
#include "reflections/space_groups.hpp"
#include "refine/pattern_fit_options.hpp"
#include "refine/pattern_fit_report.hpp"
#include "refine/structure_options.hpp"
#include "refine/structure_report.hpp"
#include "tiling/exact_diffraction.hpp"
#include "tiling/multigrid.hpp"
#include "tiling/tiling_analysis.hpp"
#include "tiling/tiling_options.hpp"
#include "zone/grey_image.hpp"
#include "zone/zone_fit.hpp"
#include "zone/zone_options.hpp"

namespace py = pybind11;
using namespace lumora;
using Options = std::map<std::string, std::string>;  // option name -> text, as lumora-cli reads them

namespace {

// One Python value as lumora-cli would be given it: texts as they are, floats
// as Python writes them, other numbers as str() writes them.
std::string ValueText(py::handle value) {
  if (py::isinstance<py::bool_>(value)) throw py::type_error("expected a number or a text, not a bool");
  if (py::isinstance<py::str>(value)) return value.cast<std::string>();
  if (py::isinstance<py::float_>(value)) return py::repr(value).cast<std::string>();
  return py::str(value).cast<std::string>();
}

// The options of the keyword arguments given (None is left out). A list input
// takes a text or a sequence, whose values are joined by commas; a flag is
// given when its value is true.
Options KeywordOptions(const py::dict& keywords, const NamedInputs& accepted) {
  Options options;
  for (const auto& [key, value] : keywords) {
    if (value.is_none()) continue;
    const std::string name = py::str(key).cast<std::string>();
    const auto it = std::find_if(accepted.begin(), accepted.end(),
                                 [&name](const NamedInput* named) { return named->keyword == name; });
    if (it == accepted.end()) throw py::type_error("unexpected keyword argument '" + name + "'");
    const NamedInput& named = **it;
    const std::string option(named.option);
    if (named.type == InputType::Flag) {
      if (py::bool_(py::reinterpret_borrow<py::object>(value))) options[option] = "";
    } else if (named.type == InputType::List && !py::isinstance<py::str>(value) &&
               py::isinstance<py::iterable>(value)) {
      std::string joined;
      for (py::handle part : value) joined += (joined.empty() ? "" : ",") + ValueText(part);
      options[option] = joined;
    } else {
      options[option] = ValueText(value);
    }
  }
  return options;
}

// The inputs of a function: the calculation's and more.
NamedInputs WithParameters(const NamedInputs& more) {
  NamedInputs inputs = ParameterOptions::Inputs();
  inputs.insert(inputs.end(), more.begin(), more.end());
  return inputs;
}

// Hands reader the options it reads and leaves the rest.
template <typename Reader>
void Take(Options& options, Reader& reader) {
  for (auto it = options.begin(); it != options.end();)
    it = reader.Apply({it->first, it->second}) ? options.erase(it) : std::next(it);
}

// work() on a thread of its own, without the GIL. Every 0.1 s this thread
// takes the GIL back to run Python's signal handlers: when one raises (Ctrl+C
// gives KeyboardInterrupt), cancel is set, the work is waited for (it checks
// cancel every few records) and the exception goes to the caller.
template <typename Work>
auto Interruptible(std::atomic<bool>& cancel, Work work) -> decltype(work()) {
  auto done = std::async(std::launch::async, std::move(work));
  for (;;) {
    {
      py::gil_scoped_release release;
      if (done.wait_for(std::chrono::milliseconds(100)) == std::future_status::ready) break;
    }
    if (PyErr_CheckSignals() != 0) {
      cancel.store(true);
      {
        py::gil_scoped_release release;
        done.wait();
      }
      throw py::error_already_set();
    }
  }
  return done.get();
}

// The lattice and calculation options.
ParameterOptions ApplyParameters(const Options& options) {
  ParameterOptions parameters;
  for (const auto& [name, value] : options)
    if (!parameters.Apply({name, value})) throw UsageError("unknown option " + name);
  return parameters;
}


py::array_t<double> Doubles(const std::vector<double>& values) {
  py::array_t<double> out(static_cast<py::ssize_t>(values.size()));
  std::copy(values.begin(), values.end(), out.mutable_data());
  return out;
}

py::dict Reflections(const py::dict& keywords) {
  using namespace input;
  Options options =
      KeywordOptions(keywords, WithParameters({&kModel, &kMinIntensity, &kAlgorithm, &kRadiation, &kVoltage}));
  ModelOptions modelOptions;
  Take(options, modelOptions);
  RadiationOptions radiation;
  Take(options, radiation);
  std::string algorithm(kAlgorithm.defaultText);
  if (const auto it = options.find(std::string(kAlgorithm.option)); it != options.end()) {
    algorithm = ReadChoice(kAlgorithm, it->second);
    options.erase(it);
  }
  ParameterOptions parameters = ApplyParameters(options);
  radiation.Prepare(parameters);
  ParameterOptions::Read typed = parameters.ReadInputs();
  radiation.Name(typed.summary);
  const Summary& summary = typed.summary;
  const CalculationInputs& inputs = typed.inputs;

  std::atomic<bool> cancel{false};
  RunControl control;
  control.algorithm = algorithm == "box" ? WalkAlgorithm::Box : WalkAlgorithm::Bounded;
  control.cancel = &cancel;
  CalculationResult result;
  std::optional<IntensityResult> intensities;
  Interruptible(cancel, [&] {
    const std::optional<StructureModel> model = modelOptions.Model();
    result = RunCalculation(inputs, control);
    if (result.status == RunStatus::Completed && model) {
      intensities = ModelIntensities(*model, modelOptions.Label(*model), result, radiation.Of(inputs.wavelength), 0.0,
                                     std::chrono::steady_clock::now(), &cancel);
      if (const auto& least = modelOptions.MinIntensity()) KeepStrongReflections(result, *intensities, *least);
    }
  });
  if (result.status != RunStatus::Completed) throw UsageError(result.error);

  const std::vector<ReflectionRecord>& records = result.records;
  const std::size_t n = records.size();
  const int nDim = result.lattice.nDim;
  py::array_t<std::int32_t> indices({static_cast<py::ssize_t>(n), static_cast<py::ssize_t>(nDim)});
  auto idx = indices.mutable_unchecked<2>();
  py::array_t<std::int16_t> planeClass(static_cast<py::ssize_t>(n));
  py::array_t<bool> mainFlag(static_cast<py::ssize_t>(n));
  for (std::size_t i = 0; i < n; ++i) {
    for (int k = 0; k < nDim; ++k)
      idx(static_cast<py::ssize_t>(i), k) = static_cast<std::int32_t>(records[i].h[static_cast<std::size_t>(k)]);
    planeClass.mutable_data()[i] = records[i].planeClass;
    mainFlag.mutable_data()[i] = records[i].mainFlag != 0;
  }

  py::dict out;
  out["indices"] = indices;
  // Full precision from the indices: the records hold single-precision copies.
  const char* const names[] = {"theta", "d", "qe", "qi", "x", "y", "z"};
  std::vector<py::array_t<double>> columns;
  for (std::size_t k = 0; k < std::size(names); ++k) columns.emplace_back(static_cast<py::ssize_t>(n));
  for (std::size_t i = 0; i < n; ++i) {
    const ReflectionValues v = RecomputeReflection(result.lattice, result.wavelength, records[i]);
    const double values[] = {v.theta, v.d, v.qe, v.qi, v.xyz[0], v.xyz[1], v.xyz[2]};
    for (std::size_t k = 0; k < std::size(names); ++k) columns[k].mutable_data()[i] = values[k];
  }
  for (std::size_t k = 0; k < std::size(names); ++k) out[names[k]] = columns[k];
  out["plane_class"] = planeClass;
  out["main"] = mainFlag;
  if (intensities) {
    out["intensity"] = Doubles(intensities->intensity);
    out["f_abs"] = Doubles(intensities->fAbs);
    out["f_phase"] = Doubles(intensities->fPhase);
    out["model"] = EchoText(intensities->model, kShownNameChars);  // a str: valid UTF-8
  }
  const RunStatistics& s = result.stats;
  // The plot statistics are single-precision quantities of the run; they are
  // given as the decimal lumora-cli writes, not as the float widened.
  auto stat = [](float v) { return *ParseNumber(ShortestText(v)); };
  py::dict stats;
  stats["kept"] = result.kept;
  stats["visited"] = result.visited;
  stats["loops"] = py::int_(py::str(ToDecimal(result.loops)));
  stats["zero_layer_max"] = stat(s.zeroLayerMax);
  stats["theta_max"] = stat(s.thetaMax);
  stats["qi_max"] = stat(s.qiMax);
  stats["qi_min_positive"] = stat(s.qiMinPositive);
  stats["bounds"] = py::make_tuple(stat(s.bounds.xMin), stat(s.bounds.xMax), stat(s.bounds.yMin),
                                   stat(s.bounds.yMax), stat(s.bounds.zMin), stat(s.bounds.zMax));
  stats["coord_max"] = stat(s.bounds.CoordMax());
  out["statistics"] = stats;
  out["space_group"] = summary.sgSymbol;
  out["summary"] = py::make_tuple(summary.paramLine1, summary.paramLine2);
  return out;
}

// The run of inputs, released from the GIL and stopped by a signal.
CalculationResult PowderRun(const CalculationInputs& inputs, std::atomic<bool>& cancel) {
  RunControl control;
  control.cancel = &cancel;
  CalculationResult result = Interruptible(cancel, [&] { return RunCalculation(inputs, control); });
  if (result.status != RunStatus::Completed) throw UsageError(result.error);
  return result;
}

py::dict Powder(const py::dict& keywords) {
  using namespace input;
  Options options = KeywordOptions(keywords, WithParameters({&kModel, &kTolerance, &kMonochromator, &kTwoTheta,
                                                             &kCaglioti, &kEta, &kCut, &kDoublet, &kZero,
                                                             &kRadiation, &kVoltage}));
  ModelOptions modelOptions;
  Take(options, modelOptions);
  RadiationOptions radiation;
  Take(options, radiation);
  if (options.contains(std::string(kDoublet.option)) && radiation.Of(1.0).kind != RadiationKind::XRay)
    throw UsageError("option --doublet: an anode's K-alpha doublet needs --radiation xray");
  PowderOptions powder;
  Take(options, powder);
  ParameterOptions parameters = ApplyParameters(options);
  radiation.Prepare(parameters);
  parameters.LoopsAutoByDefault();  // as lumora-cli powder
  const ParameterOptions::Read typed = parameters.ReadInputs();
  const CalculationInputs& inputs = typed.inputs;
  const ProfileOptions profileOptions = powder.Profile(typed.texts, inputs);

  const Radiation beam = radiation.Of(inputs.wavelength);
  powder.lines.polarised = beam.kind == RadiationKind::XRay;

  std::atomic<bool> cancel{false};
  const CalculationResult result = PowderRun(inputs, cancel);
  PowderLines lines;
  Profile profile;
  Interruptible(cancel, [&] {
    std::optional<IntensityResult> intensities;
    if (const std::optional<StructureModel> model = modelOptions.Model())
      intensities = ModelIntensities(*model, model->name, result, beam, 0.0,
                                     std::chrono::steady_clock::now(), &cancel);
    lines = BuildPowderLines(result.records, intensities ? &intensities->intensity : nullptr, inputs.wavelength,
                             powder.lines);
    ScaleLinesToPercent(lines.lines);
    profile = ComputeProfile(lines.lines, profileOptions, &cancel);
  });
  if (!profile.error.empty()) throw UsageError("option --caglioti: " + profile.error);
  // A loop box may cut orbits: the complete run says which lines it cut, as lumora-cli powder does.
  if (!inputs.completeLoops) {
    CalculationInputs complete = inputs;
    complete.completeLoops = true;
    const CalculationResult whole = RunCalculation(complete);
    if (whole.status == RunStatus::Completed) CountCompleteOrbits(lines.lines, whole.records, powder.lines);
  }

  const auto n = static_cast<py::ssize_t>(lines.lines.size());
  const int nDim = result.lattice.nDim;
  py::array_t<double> twoTheta(n), d(n), intensity(n);
  py::array_t<std::int32_t> multiplicity(n), completeMultiplicity(n);
  py::array_t<bool> incomplete(n);
  py::array_t<std::int32_t> index({n, static_cast<py::ssize_t>(nDim)});
  auto idx = index.mutable_unchecked<2>();
  for (py::ssize_t i = 0; i < n; ++i) {
    const PowderLine& line = lines.lines[static_cast<std::size_t>(i)];
    twoTheta.mutable_data()[i] = line.twoTheta;
    d.mutable_data()[i] = line.d;
    intensity.mutable_data()[i] = line.intensity;
    multiplicity.mutable_data()[i] = line.multiplicity;
    completeMultiplicity.mutable_data()[i] = std::max(line.completeMultiplicity, line.multiplicity);
    incomplete.mutable_data()[i] = line.completeMultiplicity > line.multiplicity;
    for (int k = 0; k < nDim; ++k) idx(i, k) = line.indices.front()[static_cast<std::size_t>(k)];
  }
  py::dict out;
  out["two_theta"] = twoTheta;
  out["d"] = d;
  out["multiplicity"] = multiplicity;
  out["complete_multiplicity"] = completeMultiplicity;
  out["incomplete"] = incomplete;
  out["intensity"] = intensity;
  out["index"] = index;
  out["dropped_at_backscatter"] = lines.droppedAtBackscatter;
  py::dict pattern;
  pattern["two_theta"] = Doubles(profile.twoTheta);
  pattern["intensity"] = Doubles(profile.intensity);
  out["profile"] = pattern;
  return out;
}

MeasuredPattern PatternOf(const std::vector<double>& twoTheta, const std::vector<double>& intensity,
                          const std::optional<std::vector<double>>& sigma) {
  MeasuredPattern pattern{twoTheta, intensity, sigma ? *sigma : std::vector<double>{}};
  if (twoTheta.size() != intensity.size() || (sigma && sigma->size() != twoTheta.size()))
    throw UsageError("pattern: two_theta, intensity and sigma differ in length");
  for (std::size_t i = 0; i < twoTheta.size(); ++i)
    if (!(twoTheta[i] > 0.0 && twoTheta[i] < 180.0) || (i > 0 && !(twoTheta[i] > twoTheta[i - 1])) ||
        !std::isfinite(intensity[i]))
      throw UsageError("pattern: point " + std::to_string(i + 1) + " is not a 2theta rising within (0, 180) with a finite intensity");
  return pattern;
}

py::dict FindPeaksOf(const std::vector<double>& twoTheta, const std::vector<double>& intensity,
                     const std::optional<std::vector<double>>& sigma, const py::dict& keywords) {
  using namespace input;
  Options options = KeywordOptions(keywords, {&kPeakThreshold, &kPeakSmoothing});
  PowderOptions powder;
  Take(options, powder);
  const std::vector<MeasuredPeak> peaks = FindPeaks(PatternOf(twoTheta, intensity, sigma), powder.peaks);
  std::vector<double> at, height, fwhm;
  for (const MeasuredPeak& p : peaks) {
    at.push_back(p.twoTheta);
    height.push_back(p.height);
    fwhm.push_back(p.fwhm);
  }
  py::dict out;
  out["two_theta"] = Doubles(at);
  out["height"] = Doubles(height);
  out["fwhm"] = Doubles(fwhm);
  out["typical_fwhm"] = TypicalPeakWidth(peaks);
  out["range"] = py::make_tuple(twoTheta.empty() ? 0.0 : twoTheta.front(), twoTheta.empty() ? 0.0 : twoTheta.back());
  return out;
}

// The verdict, parameters, correlations and candidates of a fit, as Python
// values; false (status "refused" or "cancelled" and the error) when it
// refused, and nothing more is to be put.
bool PutFit(py::dict& out, const FittedParameters& fit) {
  const std::vector<RefinedValue>& parameters = fit.parameters;
  py::list list;
  for (const RefinedValue& p : parameters) {
    py::dict d;
    d["name"] = p.name;
    d["value"] = p.value;
    d["su"] = p.su;
    d["start"] = p.start;
    d["at_bound"] = p.atBound;
    list.append(d);
  }
  py::list candidates;
  for (const RefinementCandidate& c : fit.candidates) {
    py::dict d;
    d["chi2"] = c.chi2;
    d["values"] = py::cast(c.values);
    candidates.append(d);
  }
  out["parameters"] = list;
  out["candidates"] = candidates;
  const std::size_t q = fit.refinedIndex.size();
  py::list names;
  for (std::size_t a : fit.refinedIndex) names.append(parameters[a].name);
  py::array_t<double> matrix({static_cast<py::ssize_t>(q), static_cast<py::ssize_t>(q)});
  std::copy(fit.correlations.begin(), fit.correlations.end(), matrix.mutable_data());
  py::dict correlations;
  correlations["names"] = names;
  correlations["matrix"] = matrix;
  out["correlations"] = correlations;
  if (fit.status != RefinementStatus::Refined) {
    out["status"] = fit.status == RefinementStatus::Cancelled ? "cancelled" : "refused";
    out["error"] = fit.error;
    return false;
  }
  out["status"] = "refined";
  out["refined_parameters"] = fit.refinedParameters;
  out["iterations"] = fit.iterations;
  return true;
}

// Rows of h1..hn, I, sigma given as numbers: checked as the lines of a file
// would be ("row 3, field 7 (sigma): ...").
std::vector<Observation> ObservationRows(const std::vector<std::vector<double>>& rows, int nDim) {
  std::vector<std::string> names;
  for (int i = 1; i <= nDim; ++i) names.push_back("h" + std::to_string(i));
  names.push_back("I");
  names.push_back("sigma");
  std::vector<Observation> out;
  for (std::size_t r = 0; r < rows.size(); ++r) {
    if (rows[r].size() != names.size())
      throw UsageError("option --reflections: row " + std::to_string(r + 1) + " has " + std::to_string(rows[r].size()) +
                            " values, not " + std::to_string(names.size()) + " (h1..h" + std::to_string(nDim) +
                            ", I, sigma)");
    std::vector<std::string> fields;
    for (double v : rows[r]) fields.push_back(std::isfinite(v) ? ShortestText(v) : std::string("nan"));
    auto read = ReadObservation(fields, names, nDim, static_cast<int>(r + 1));
    if (const auto* error = std::get_if<ObservationError>(&read)) {
      std::string message = error->Message();
      message.replace(0, 4, "row");  // "line 3, ..." -> "row 3, ..."
      throw UsageError("option --reflections: " + message);
    }
    out.push_back(std::get<Observation>(read));
  }
  if (out.empty()) throw UsageError("option --reflections: no rows");
  return out;
}

// The refinements' own --refine and --scale: their Python keywords belong to
// the powder and tiling inputs, so they are taken out and handed over here.
Options RefinementKeywords(const py::dict& keywords, const NamedInputs& accepted) {
  py::dict rest;
  Options own;
  for (const auto& [key, value] : keywords) {
    const std::string name = py::str(key).cast<std::string>();
    if (value.is_none()) continue;
    if (name == "refine" && !py::isinstance<py::str>(value) && py::isinstance<py::iterable>(value)) {
      std::string joined;
      for (py::handle part : value) joined += (joined.empty() ? "" : ",") + ValueText(part);
      own["--refine"] = joined;
    } else if (name == "refine" || name == "scale") {
      own["--" + name] = ValueText(value);
    } else {
      rest[key] = value;
    }
  }
  Options options = KeywordOptions(rest, accepted);
  options.insert(own.begin(), own.end());
  return options;
}

py::dict RefineStructureDict(const py::dict& keywords, const std::optional<std::vector<std::vector<double>>>& rows) {
  NamedInputs accepted = WithParameters(StructureOptions::Inputs());
  accepted.insert(accepted.end(), {&input::kRadiation, &input::kVoltage});
  Options options = RefinementKeywords(keywords, accepted);
  StructureOptions structure;
  Take(options, structure);
  RadiationOptions radiation;
  Take(options, radiation);
  ParameterOptions parameters = ApplyParameters(options);
  radiation.Prepare(parameters);
  const ParameterOptions::Read typed = parameters.ReadInputs();
  std::optional<std::vector<Observation>> given;
  if (rows) given = ObservationRows(*rows, DimensionOf(typed.inputs.system));
  StructureOptions::Prepared prepared = structure.Prepare(typed.inputs, given ? &*given : nullptr);
  prepared.setup.radiation = radiation.Of(typed.inputs.wavelength).kind;
  const std::optional<MapRequest> mapRequest = structure.Map(prepared.setup.start.model);
  RefinementOutcome outcome;
  std::variant<std::vector<InternalMap>, std::string> maps;
  {
    py::gil_scoped_release release;
    outcome = RefineStructure(prepared.setup);
    if (mapRequest && outcome.status == RefinementStatus::Refined)
      maps = InternalSpaceMaps(outcome, prepared.setup.lattice,
                               Radiation{prepared.setup.radiation, prepared.setup.wavelength, 0.0},
                               prepared.group ? &*prepared.group : nullptr, *mapRequest);
  }
  const RefinementContext context{prepared.dataName, prepared.setup.weighting, &prepared.setup.data,
                                  prepared.setup.lattice.nDim};
  const int nDim = prepared.setup.lattice.nDim;
  py::dict out;
  if (!PutFit(out, outcome)) return out;
  out["R1"] = outcome.r1;
  out["wR2"] = outcome.wR2;
  out["GoF"] = outcome.gof;
  out["observations"] = outcome.observations;
  out["strong_observations"] = outcome.strongObservations;
  out["measurements"] = prepared.setup.data.measurements;
  out["merged_in"] = prepared.setup.data.group;
  out["R_int"] = prepared.setup.data.rInt;
  const auto n = static_cast<py::ssize_t>(outcome.reflections.size());
  py::array_t<std::int32_t> index({n, static_cast<py::ssize_t>(nDim)});
  auto idx = index.mutable_unchecked<2>();
  std::vector<double> observed, sigma, calculated;
  for (py::ssize_t i = 0; i < n; ++i) {
    const FittedReflection& f = outcome.reflections[static_cast<std::size_t>(i)];
    for (int k = 0; k < nDim; ++k) idx(i, k) = f.h[static_cast<std::size_t>(k)];
    observed.push_back(f.observed);
    sigma.push_back(f.sigma);
    calculated.push_back(f.calculated);
  }
  py::dict fitted;
  fitted["index"] = index;
  fitted["observed"] = Doubles(observed);
  fitted["sigma"] = Doubles(sigma);
  fitted["calculated"] = Doubles(calculated);
  out["reflections"] = fitted;
  out["worst"] = py::cast(std::vector<std::size_t>(outcome.worst.begin(), outcome.worst.end()));
  out["model"] = RefinedModelText(outcome, context);
  out["report"] = StructureRefinementReport(outcome, context);
  if (mapRequest) {
    if (const std::string* error = std::get_if<std::string>(&maps)) throw UsageError("option --map-at: " + *error);
    py::list list;
    for (const InternalMap& map : std::get<std::vector<InternalMap>>(maps)) {
      py::dict d;
      py::array_t<double> values({map.pixels, map.pixels});
      std::copy(map.values.begin(), map.values.end(), values.mutable_data());
      d["values"] = values;
      d["plane"] = map.plane;
      d["half_width"] = map.halfWidth;
      d["source"] = MapSourceName(map.source);
      py::list outlines;
      for (const auto& outline : map.outlines) {
        py::array_t<double> points({static_cast<py::ssize_t>(outline.size()), static_cast<py::ssize_t>(2)});
        auto p = points.mutable_unchecked<2>();
        for (std::size_t k = 0; k < outline.size(); ++k) {
          p(static_cast<py::ssize_t>(k), 0) = outline[k][0];
          p(static_cast<py::ssize_t>(k), 1) = outline[k][1];
        }
        outlines.append(points);
      }
      d["outlines"] = outlines;
      list.append(d);
    }
    out["maps"] = list;
  }
  return out;
}

py::dict FitPatternDict(const py::dict& keywords, const std::optional<std::vector<std::vector<double>>>& rows) {
  using namespace input;
  NamedInputs accepted = WithParameters(PowderOptions::Inputs());
  accepted.insert(accepted.end(),
                  {&kModel, &kMeasuredFile, &kBackgroundTerms, &kSearch, &kMaxIterations, &kRadiation, &kVoltage});
  Options options = RefinementKeywords(keywords, accepted);
  std::optional<std::string> measuredFile, modelName;
  for (const NamedInput* named : {&kMeasuredFile, &kModel})
    if (const auto it = options.find(std::string(named->option)); it != options.end()) {
      (named == &kModel ? modelName : measuredFile) = it->second;
      options.erase(it);
    }
  PatternFitOptions fit;
  Take(options, fit);  // before the powder options: --refine is the fit's list here
  RadiationOptions radiation;
  Take(options, radiation);
  if (options.contains(std::string(kDoublet.option)) && radiation.Of(1.0).kind != RadiationKind::XRay)
    throw UsageError("option --doublet: an anode's K-alpha doublet needs --radiation xray");
  PowderOptions powder;
  Take(options, powder);
  ParameterOptions parameters = ApplyParameters(options);
  radiation.Prepare(parameters);
  const ParameterOptions::Read typed = parameters.ReadInputs();
  const ProfileOptions profile = powder.Profile(typed.texts, typed.inputs);
  if (!modelName) throw UsageError("option --model is needed: the start model");
  const std::optional<StructureModel> model = ModelOption(modelName);
  MeasuredPattern measured;
  if (rows) {
    std::string text;
    for (const auto& row : *rows) {
      for (std::size_t k = 0; k < row.size(); ++k) text += (k ? " " : "") + ShortestText(row[k]);
      text += "\n";
    }
    MeasuredRead read = ParseMeasuredPattern(text);
    if (!read.error.empty()) throw UsageError("option --measured: " + read.error);
    measured = std::move(read.pattern);
  } else {
    if (!measuredFile) throw UsageError("option --measured is needed: a pattern file or rows of 2theta, I[, sigma]");
    MeasuredFile read = ReadMeasuredFile(*measuredFile);
    if (!read.error.empty()) BadValue(kMeasuredFile.option, *measuredFile, "cannot be used: " + read.error);
    measured = std::move(read.pattern);
  }
  PatternFitOptions::Prepared prepared = fit.Prepare(typed.inputs, profile, powder.lines, *model, measured);
  prepared.setup.radiation = radiation.Of(typed.inputs.wavelength).kind;
  WholePatternOutcome outcome;
  {
    py::gil_scoped_release release;
    outcome = FitWholePattern(prepared.setup);
  }
  py::dict out;
  if (!PutFit(out, outcome)) return out;
  out["Rp"] = outcome.rp;
  out["Rwp"] = outcome.rwp;
  out["Rexp"] = outcome.rexp;
  out["chi2"] = outcome.chi2;
  out["points"] = outcome.points;
  out["lines"] = prepared.lines;
  out["two_theta"] = Doubles(outcome.twoTheta);
  out["observed"] = Doubles(outcome.observed);
  out["calculated"] = Doubles(outcome.calculated);
  out["background"] = Doubles(outcome.background);
  out["line_two_theta"] = Doubles(outcome.lineTwoTheta);
  out["model"] = PatternFitModelText(outcome, measuredFile.value_or(""));
  out["report"] = PatternFitReport(outcome, prepared.lines, measuredFile.value_or(""));
  return out;
}

// The indexing as --refine-json writes it; abInitio: index, else refine from the start.
std::string IndexPeaks(const std::vector<double>& twoTheta, const std::vector<double>& height, double low,
                       double high, double peakWidth, bool abInitio, const py::dict& keywords) {
  using namespace input;
  Options options = KeywordOptions(
      keywords, WithParameters({&kModel, &kRefine, &kARange, &kCRange, &kWavelengthModel, &kIndexTolerance,
                                &kTolerance, &kMonochromator, &kZero, &kRadiation, &kVoltage}));
  ModelOptions modelOptions;
  Take(options, modelOptions);
  RadiationOptions radiation;
  Take(options, radiation);
  PowderOptions powder;
  Take(options, powder);
  ParameterOptions parameters = ApplyParameters(options);
  radiation.Prepare(parameters);
  parameters.LoopsAutoByDefault();
  const ParameterOptions::Read typed = parameters.ReadInputs();
  const CalculationInputs& inputs = typed.inputs;
  if (powder.cRequested && inputs.system == CrystalSystem::Icosahedral)
    throw UsageError("option --refine: c cannot be refined: the icosahedral system has no c");
  if (powder.wavelengthModel != WavelengthModel::Doublet && !AnodeEmissionLines(typed.texts.anodeIndex))
    throw UsageError("option --wavelength-model: needs an anode (--anode); a typed wavelength is one line");
  if (!height.empty() && height.size() != twoTheta.size()) throw UsageError("peaks: two_theta and height differ in length");
  const std::optional<StructureModel> model = modelOptions.Model();
  std::vector<ObservedPeak> peaks;
  for (std::size_t i = 0; i < twoTheta.size(); ++i) peaks.push_back({twoTheta[i], height.empty() ? 0.0 : height[i]});
  IndexingOptions indexing = powder.indexing;
  indexing.radiation = radiation.Of(inputs.wavelength).kind;
  if (indexing.radiation != RadiationKind::XRay) powder.lines.polarised = false;
  indexing.abInitio = abInitio;
  indexing.measuredLow = low;
  indexing.measuredHigh = high;
  indexing.peakWidth = peakWidth;
  std::atomic<bool> cancel{false};
  indexing.cancel = &cancel;
  const WavelengthSetup wavelengths = powder.Wavelengths(typed.texts, inputs);
  const IndexingResult r = Interruptible(cancel, [&] {
    return IndexPattern(peaks, inputs, model ? &*model : nullptr, wavelengths, powder.lines, indexing);
  });
  if (!r.error.empty()) throw UsageError("indexing: " + r.error);
  return IndexingJson(r, DimensionOf(inputs.system));
}

py::array_t<double> MatrixArray(const Matrix7& m, int n) {
  py::array_t<double> out({n, n});
  auto a = out.mutable_unchecked<2>();
  for (int i = 0; i < n; ++i)
    for (int j = 0; j < n; ++j) a(i, j) = m[static_cast<std::size_t>(i)][static_cast<std::size_t>(j)];
  return out;
}

py::dict Matrices(const py::dict& keywords) {
  using namespace input;
  ParameterOptions parameters =
      ApplyParameters(KeywordOptions(keywords, {&kSystem, &kSetting, &kLatticeA, &kLatticeC, &kSettings}));
  ParameterTexts texts = parameters.Resolve();
  const ParameterTexts typed = texts;
  NormaliseDecimalCommas(texts);
  const auto read = ReadInputs(texts);
  if (const InputError* error = std::get_if<InputError>(&read)) {
    // Only the lattice options matter here, as in "lumora-cli matrices".
    if (error->field == InputField::A || error->field == InputField::C) parameters.Reject(AsTyped(*error, typed));
  }
  const CrystalSystem system = SystemFromIndex(texts.systemIndex);
  const double a = *ParseNumber(texts.a);
  const double c = system == CrystalSystem::Icosahedral ? 1.0 : *ParseNumber(texts.c);
  const Lattice lattice = SetupLattice(system, a, c, texts.yamamoto);
  for (const Matrix7* m : {&lattice.directMatrix, &lattice.inverseMatrix})
    for (int i = 0; i < lattice.nDim; ++i)
      for (int j = 0; j < lattice.nDim; ++j)
        if (!std::isfinite((*m)[static_cast<std::size_t>(i)][static_cast<std::size_t>(j)]))
          parameters.Reject({InputField::A, 0, texts.a, "gives matrix values that are not finite"});
  py::dict out;
  out["direct"] = MatrixArray(lattice.directMatrix, lattice.nDim);
  out["inverse"] = MatrixArray(lattice.inverseMatrix, lattice.nDim);
  return out;
}

py::list SpaceGroups(const py::dict& keywords) {
  const ParameterTexts texts = ApplyParameters(KeywordOptions(keywords, {&input::kSystem})).Resolve();
  py::list out;
  for (const SpaceGroup& group : GroupsOf(SystemFromIndex(texts.systemIndex))) out.append(group.symbol);
  return out;
}

py::dict MakeTilingDict(const py::dict& keywords, bool peaks) {
  Options options = KeywordOptions(keywords, TilingOptions::Inputs());
  TilingOptions tilingOptions;
  Take(options, tilingOptions);
  const TilingInputs inputs = tilingOptions.Resolve();
  Tiling tiling;
  {
    py::gil_scoped_release release;
    // The same seed as the window and lumora-cli: the first random tiling.
    std::mt19937 random(kTilingRandomSeed);
    tiling = MakeTiling(inputs, random);
  }
  const auto nv = static_cast<py::ssize_t>(tiling.nVert());
  py::array_t<double> vertices({nv, static_cast<py::ssize_t>(2)});
  auto v = vertices.mutable_unchecked<2>();
  for (py::ssize_t i = 0; i < nv; ++i) {
    v(i, 0) = tiling.vertX[static_cast<std::size_t>(i)];
    v(i, 1) = tiling.vertY[static_cast<std::size_t>(i)];
  }
  const auto nt = static_cast<py::ssize_t>(tiling.nTiles());
  py::array_t<std::int32_t> tiles({nt, static_cast<py::ssize_t>(4), static_cast<py::ssize_t>(2)});
  py::array_t<std::int32_t> types(nt);
  auto t = tiles.mutable_unchecked<3>();
  for (py::ssize_t i = 0; i < nt; ++i) {
    const Tile& tile = tiling.tiles[static_cast<std::size_t>(i)];
    for (py::ssize_t k = 0; k < 4; ++k) {
      t(i, k, 0) = tile.corners[static_cast<std::size_t>(k)].x;
      t(i, k, 1) = tile.corners[static_cast<std::size_t>(k)].y;
    }
    types.mutable_data()[i] = tile.type;
  }
  py::dict out;
  out["vertices"] = vertices;
  out["tiles"] = tiles;
  out["tile_types"] = types;
  out["vertex_table_full"] = tiling.vertexTableFull;
  out["grid_shift"] = Doubles(tiling.gridShift);
  const std::optional<std::string> note = TilingNote(tiling.inputs.symmetry, tiling.gridShift);
  out["note"] = note ? py::object(py::str(*note)) : py::object(py::none());
  if (peaks) {
    const int n = tiling.inputs.symmetry;
    const std::vector<ModulePoint> points = tilingOptions.PeakPoints(n);
    std::vector<double> intensity;
    {
      py::gil_scoped_release release;
      intensity = BraggIntensities(n, LatticeVertexPositions(tiling), points);
    }
    const auto m = static_cast<py::ssize_t>(points.size());
    const auto rank = static_cast<py::ssize_t>(ModuleRank(n));
    py::array_t<double> k({m, static_cast<py::ssize_t>(2)});
    py::array_t<std::int32_t> index({m, rank});
    py::array_t<double> internal(m);
    auto kv = k.mutable_unchecked<2>();
    auto iv = index.mutable_unchecked<2>();
    for (py::ssize_t p = 0; p < m; ++p) {
      const ModulePoint& point = points[static_cast<std::size_t>(p)];
      kv(p, 0) = point.qx;
      kv(p, 1) = point.qy;
      for (py::ssize_t i = 0; i < rank; ++i) iv(p, i) = point.index[static_cast<std::size_t>(i)];
      internal.mutable_data()[p] = point.internal;
    }
    py::dict found;
    found["k"] = k;
    found["index"] = index;
    found["internal"] = internal;
    found["intensity"] = Doubles(intensity);
    out["peaks"] = found;
  }
  return out;
}

py::object OptionalNumber(const std::optional<double>& value) {
  return value ? py::object(py::float_(*value)) : py::object(py::none());
}

// A measured pattern in any format read, as lumora-cli powder --measured and --range read it.
py::dict ReadPattern(const std::string& path, const py::object& rangeValue) {
  std::size_t range = 1;
  if (!rangeValue.is_none())
    range = static_cast<std::size_t>(ReadWholeNumber(input::kMeasuredRange, ValueText(rangeValue)));
  MeasuredFile file;
  {
    py::gil_scoped_release release;
    file = ReadMeasuredFile(path, range - 1);
  }
  if (!file.error.empty()) throw UsageError(file.error);
  py::dict out;
  out["two_theta"] = Doubles(file.pattern.twoTheta);
  out["intensity"] = Doubles(file.pattern.intensity);
  out["sigma"] = file.pattern.sigma.empty() ? py::object(py::none()) : py::object(Doubles(file.pattern.sigma));
  out["format"] = file.format;
  out["ranges"] = file.ranges;
  out["range"] = file.range + 1;
  out["wavelength"] = OptionalNumber(file.wavelength);
  out["wavelength2"] = OptionalNumber(file.wavelength2);
  out["ratio"] = OptionalNumber(file.ratio);
  out["wavelength_item"] = file.wavelengthItem.empty() ? py::object(py::none()) : py::object(py::str(file.wavelengthItem));
  return out;
}


// The zone's inputs, options and model from the keyword arguments; accepted
// are the pattern's and, for a fit, the spot search's and the fit's.
struct ZoneRequest {
  ZoneInputs inputs;
  ZoneOptions zone;
  std::optional<StructureModel> model;
  std::string modelName;
};

ZoneRequest ReadZoneRequest(const py::dict& keywords, const NamedInputs& accepted) {
  using namespace input;
  NamedInputs inputs = accepted;
  inputs.push_back(&kModel);
  Options options = KeywordOptions(keywords, inputs);
  ZoneRequest r;
  ModelOptions modelOptions;
  Take(options, modelOptions);
  ParameterOptions parameters;
  for (const auto& [name, value] : options) {
    const Option option{name, value};
    if (!r.zone.Apply(option) && !parameters.Apply(option)) throw UsageError("unknown option " + name);
  }
  r.model = modelOptions.Model();
  r.inputs = r.zone.Read(parameters.ReadInputs());
  if (r.model) r.modelName = modelOptions.Label(*r.model);
  return r;
}

// The pattern's inputs: the zone's without those of the spot search and fit.
NamedInputs ZonePatternInputs() {
  using namespace input;
  NamedInputs inputs;
  for (const NamedInput* in : ZoneOptions::Inputs())
    if (in != &kSpotSigma && in != &kSpotThreshold && in != &kFitTolerance && in != &kCentre && in != &kKRange &&
        in != &kMinIndexed && in != &kFitTilt)
      inputs.push_back(in);
  return inputs;
}

ZonePattern SimulateFor(const ZoneRequest& r) {
  ZonePattern p;
  {
    py::gil_scoped_release release;
    p = SimulateZonePattern(r.inputs, r.model ? &*r.model : nullptr);
  }
  if (!p.error.empty()) throw UsageError(p.error);
  return p;
}

py::array_t<double> Triple(const Direction& d) { return Doubles({d[0], d[1], d[2]}); }

py::dict ZonePatternDict(const py::dict& keywords) {
  const ZoneRequest r = ReadZoneRequest(keywords, ZonePatternInputs());
  const ZonePattern p = SimulateFor(r);
  const auto n = static_cast<py::ssize_t>(p.spots.size());
  const int nDim = p.lattice.nDim;
  py::array_t<std::int32_t> indices({n, static_cast<py::ssize_t>(nDim)});
  py::array_t<std::int32_t> zone(n);
  auto idx = indices.mutable_unchecked<2>();
  std::vector<double> x, y, s, intensity, d, qPerp, f2, shape, xMm, yMm;
  for (py::ssize_t i = 0; i < n; ++i) {
    const ZoneSpot& spot = p.spots[static_cast<std::size_t>(i)];
    for (int k = 0; k < nDim; ++k) idx(i, k) = spot.h[static_cast<std::size_t>(k)];
    zone.mutable_data()[i] = spot.laueZone;
    x.push_back(spot.x), y.push_back(spot.y), s.push_back(spot.excitationError), intensity.push_back(spot.intensity);
    d.push_back(spot.d), qPerp.push_back(spot.qPerp), f2.push_back(spot.fSquared), shape.push_back(spot.shape);
    xMm.push_back(spot.xMm), yMm.push_back(spot.yMm);
  }
  py::dict out;
  out["indices"] = indices;
  out["x"] = Doubles(x);
  out["y"] = Doubles(y);
  out["excitation_error"] = Doubles(s);
  out["laue_zone"] = zone;
  out["intensity"] = Doubles(intensity);
  out["d"] = Doubles(d);
  out["q_perp"] = Doubles(qPerp);
  out["f_squared"] = Doubles(f2);
  out["shape_factor"] = Doubles(shape);
  if (r.inputs.cameraLength > 0.0) {
    out["x_mm"] = Doubles(xMm);
    out["y_mm"] = Doubles(yMm);
  }
  out["wavelength"] = p.wavelength;
  out["radiation"] = RadiationName(r.inputs.radiation.kind);
  out["axis"] = p.axis.name;
  py::list axisIndex;
  for (int k = 0; k < nDim; ++k) axisIndex.append(p.axis.index[static_cast<std::size_t>(k)]);
  out["axis_index"] = axisIndex;
  out["beam"] = Triple(p.frame.beam);
  out["pattern_x"] = Triple(p.frame.x);
  out["pattern_y"] = Triple(p.frame.y);
  out["layer_spacing"] = p.layerSpacing;
  out["rotation_order"] = p.rotationOrder;
  out["model"] = r.modelName;
  return out;
}

// image: a file name (str) or a 2-D array of grey values (row 0 at the top).
py::dict FitZoneImageDict(const py::object& image, const py::dict& keywords) {
  GreyImage grey;
  if (py::isinstance<py::str>(image)) {
    auto read = ReadGreyImage(image.cast<std::string>());
    if (const std::string* error = std::get_if<std::string>(&read)) throw UsageError("image: " + *error);
    grey = std::get<GreyImage>(std::move(read));
  } else {
    const auto array = py::array_t<double, py::array::c_style | py::array::forcecast>::ensure(image);
    if (!array || array.ndim() != 2) throw UsageError("image: expected a file name or a 2-D array of grey values");
    if (array.shape(0) < 1 || array.shape(1) < 1 || array.shape(0) > kMaxImageSide || array.shape(1) > kMaxImageSide)
      throw UsageError("image: an array of 1 to " + std::to_string(kMaxImageSide) + " pixels a side is needed");
    grey.height = static_cast<int>(array.shape(0));
    grey.width = static_cast<int>(array.shape(1));
    const double* data = array.data();
    for (py::ssize_t i = 0; i < array.size(); ++i) {
      if (!std::isfinite(data[i])) throw UsageError("image: the array holds a value that is not a number");
      grey.pixels.push_back(static_cast<float>(data[i]));
    }
  }
  NamedInputs accepted = ZoneOptions::Inputs();
  accepted.erase(std::remove(accepted.begin(), accepted.end(), &input::kCameraLength), accepted.end());
  const ZoneRequest r = ReadZoneRequest(keywords, accepted);
  const ZonePattern p = SimulateFor(r);
  std::vector<FoundSpot> found;
  ZoneFit f;
  {
    py::gil_scoped_release release;
    found = FindSpots(grey, r.zone.spots);
    f = FitZoneImage(p, found, grey.width, grey.height, r.zone.fit);
  }
  const int nDim = p.lattice.nDim;
  py::dict out;
  out["reliable"] = f.reliable;
  out["verdict"] = f.verdict;
  out["camera_constant"] = f.k;
  out["camera_constant_su"] = f.kSu;
  out["rotation_deg"] = f.rotation;
  out["rotation_deg_su"] = f.rotationSu;
  out["centre_x"] = f.cx;
  out["centre_x_su"] = f.cxSu;
  out["centre_y"] = f.cy;
  out["centre_y_su"] = f.cySu;
  out["rms_px"] = f.rms;
  if (f.tiltFitted) {
    out["tilt_deg"] = py::make_tuple(f.tiltX, f.tiltY);
    out["tilt_deg_su"] = py::make_tuple(f.tiltXSu, f.tiltYSu);
  }
  out["rotation_order"] = f.rotationOrder;
  out["spots_found"] = found.size();
  out["spots_considered"] = f.considered;
  out["indexed_fraction"] = f.fraction;
  out["chance_fraction"] = f.chanceFraction;
  const auto m = static_cast<py::ssize_t>(f.indexed.size());
  py::array_t<std::int32_t> indices({m, static_cast<py::ssize_t>(nDim)});
  auto idx = indices.mutable_unchecked<2>();
  std::vector<double> x, y, xc, yc, res, d, inten, calc;
  for (py::ssize_t i = 0; i < m; ++i) {
    const IndexedSpot& s = f.indexed[static_cast<std::size_t>(i)];
    for (int k = 0; k < nDim; ++k) idx(i, k) = s.h[static_cast<std::size_t>(k)];
    x.push_back(s.x), y.push_back(s.y), xc.push_back(s.xCalc), yc.push_back(s.yCalc), res.push_back(s.residual);
    d.push_back(s.d), inten.push_back(s.intensity), calc.push_back(s.calculated);
  }
  py::dict indexed;
  indexed["indices"] = indices;
  indexed["x"] = Doubles(x);
  indexed["y"] = Doubles(y);
  indexed["x_calc"] = Doubles(xc);
  indexed["y_calc"] = Doubles(yc);
  indexed["residual"] = Doubles(res);
  indexed["d"] = Doubles(d);
  indexed["intensity"] = Doubles(inten);
  indexed["calculated"] = Doubles(calc);
  out["indexed"] = indexed;
  py::array_t<double> unindexed({static_cast<py::ssize_t>(f.unindexed.size()), static_cast<py::ssize_t>(2)});
  auto u = unindexed.mutable_unchecked<2>();
  for (std::size_t i = 0; i < f.unindexed.size(); ++i) {
    u(static_cast<py::ssize_t>(i), 0) = found[f.unindexed[i]].x;
    u(static_cast<py::ssize_t>(i), 1) = found[f.unindexed[i]].y;
  }
  out["unindexed"] = unindexed;
  py::list candidates;
  for (const ZoneFitSolution& c : f.candidates) {
    py::dict cd;
    cd["camera_constant"] = c.k;
    cd["rotation_deg"] = c.rotation;
    cd["centre_x"] = c.cx;
    cd["centre_y"] = c.cy;
    cd["indexed"] = c.indexed;
    cd["rms_px"] = c.rms;
    candidates.append(cd);
  }
  out["candidates"] = candidates;
  return out;
}

}  // namespace

PYBIND11_MODULE(_core, m) {
  m.doc() = "The Lumora core: reflection runs, lattice matrices, space groups and tilings.";
  py::register_exception_translator([](std::exception_ptr p) {
    try {
      if (p) std::rethrow_exception(p);
    } catch (const UsageError& error) {
      PyErr_SetString(PyExc_ValueError, error.what());
    }
  });
  m.def("reflections", &Reflections, py::arg("keywords"),
        "Runs the calculation for the keyword arguments of lumora.reflections; returns a dict of numpy arrays "
        "and the run statistics. Raises ValueError for bad input.");
  m.def("matrices", &Matrices, py::arg("keywords"),
        "The direct and inverse lattice matrices for the keyword arguments of lumora.matrices.");
  m.def("space_groups", &SpaceGroups, py::arg("keywords"), "The space-group symbols of a system, in list order.");
  m.def("powder", &Powder, py::arg("keywords"),
        "Powder lines and the simulated profile for the keyword arguments of lumora.powder.");
  m.def("read_pattern", &ReadPattern, py::arg("path"), py::arg("range") = py::none(),
        "A measured powder pattern in any format read, range counted from 1; see lumora.read_pattern.");
  m.def("tiling", &MakeTilingDict, py::arg("keywords"), py::arg("peaks") = false,
        "A multigrid tiling for the keyword arguments of lumora.tiling: vertices and tiles as arrays, and with "
        "peaks the Bragg peaks of its exact vertices.");
  m.def("find_peaks", &FindPeaksOf, py::arg("two_theta"), py::arg("intensity"), py::arg("sigma"), py::arg("keywords"),
        "The peaks of a pattern: two_theta, height, fwhm and the pattern's range.");
  m.def("index_peaks", &IndexPeaks, py::arg("two_theta"), py::arg("height"), py::arg("low"), py::arg("high"),
        py::arg("peak_width"), py::arg("ab_initio"), py::arg("keywords"),
        "Indexes peaks; the JSON text of lumora-cli powder --refine-json.");
  m.def("zone_pattern", &ZonePatternDict, py::arg("keywords"),
        "The zone-axis pattern for the keyword arguments of lumora.zone_pattern.");
  m.def("fit_zone_image", &FitZoneImageDict, py::arg("image"), py::arg("keywords"),
        "Finds the spots of an image (file name or 2-D array) and fits the zone pattern to them.");
  m.def("refine_structure", &RefineStructureDict, py::arg("keywords"), py::arg("rows") = py::none(),
        "Refines a structure model against measured intensities for the keyword arguments of "
        "lumora.refine_structure (reflections a file, or rows of h1..hn, I, sigma); a dict like lumora-cli refine "
        "--refine-json, with status \"refused\" and error when it refuses.");
  m.def("fit_pattern", &FitPatternDict, py::arg("keywords"), py::arg("rows") = py::none(),
        "The whole-pattern fit of a measured powder pattern for the keyword arguments of lumora.fit_pattern "
        "(measured a file, or rows of 2theta, I[, sigma]); a dict like lumora-cli powder --rietveld --refine-json, "
        "with status \"refused\" and error when it refuses.");
}
