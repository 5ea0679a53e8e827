// The extension module lumora._core: the core's runs for Python. Each function
// takes the keyword arguments of the package's function of its name; the
// named inputs (src/inputs) turn them into the texts lumora-cli would read, so
// that bad input gets the same message.
#include <pybind11/numpy.h>
#include <pybind11/pybind11.h>
#include <pybind11/stl.h>

#include <algorithm>
#include <cmath>
#include <cstdint>
#include <map>
#include <optional>
#include <random>
#include <string>
#include <variant>

#include "common/number_text.hpp"
#include "inputs/input_reading.hpp"
#include "inputs/model_option.hpp"
#include "inputs/parameter_options.hpp"
#include "intensity/model_file.hpp"
#include "intensity/structure_factor.hpp"
#include "lattice/lattice.hpp"
#include "powder/powder_lines.hpp"
#include "powder/powder_options.hpp"
#include "powder/powder_profile.hpp"
#include "powder/measured_pattern.hpp"
#include "powder/peak_search.hpp"
#include "powder/powder_indexing.hpp"
#include "powder/refinement_output.hpp"
#include "reflections/emission_lines.hpp"
#include "reflections/space_groups.hpp"
#include "tiling/multigrid.hpp"

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

// The lattice and calculation options.
ParameterOptions ApplyParameters(const Options& options) {
  ParameterOptions parameters;
  for (const auto& [name, value] : options)
    if (!parameters.Apply({name, value})) throw UsageError("unknown option " + name);
  return parameters;
}

template <typename T>
py::array_t<T> Column(const std::vector<ReflectionRecord>& records, float ReflectionRecord::*field) {
  py::array_t<T> out(static_cast<py::ssize_t>(records.size()));
  T* data = out.mutable_data();
  for (std::size_t i = 0; i < records.size(); ++i) data[i] = static_cast<T>(records[i].*field);
  return out;
}

py::array_t<double> Doubles(const std::vector<double>& values) {
  py::array_t<double> out(static_cast<py::ssize_t>(values.size()));
  std::copy(values.begin(), values.end(), out.mutable_data());
  return out;
}

py::dict Reflections(const py::dict& keywords) {
  using namespace input;
  Options options = KeywordOptions(keywords, WithParameters({&kModel, &kMinIntensity, &kAlgorithm}));
  ModelOptions modelOptions;
  Take(options, modelOptions);
  std::string algorithm(kAlgorithm.defaultText);
  if (const auto it = options.find(std::string(kAlgorithm.option)); it != options.end()) {
    algorithm = ReadChoice(kAlgorithm, it->second);
    options.erase(it);
  }
  ParameterOptions parameters = ApplyParameters(options);
  const std::optional<StructureModel> model = modelOptions.Model();

  const ParameterOptions::Read typed = parameters.ReadInputs();
  const Summary& summary = typed.summary;
  const CalculationInputs& inputs = typed.inputs;

  RunControl control;
  control.algorithm = algorithm == "box" ? WalkAlgorithm::Box : WalkAlgorithm::Bounded;
  CalculationResult result;
  std::optional<IntensityResult> intensities;
  std::string modelError;
  {
    py::gil_scoped_release release;
    result = RunCalculation(inputs, control);
    if (result.status == RunStatus::Completed && model) {
      const auto resolved = ResolveModel(*model, result.lattice);
      if (const std::string* error = std::get_if<std::string>(&resolved)) {
        modelError = *error;
      } else {
        intensities.emplace();
        intensities->model = modelOptions.Label(*model);
        ComputeIntensities(std::get<ResolvedModel>(resolved), result.lattice, result.records, inputs.wavelength,
                           *intensities);
        if (const auto& least = modelOptions.MinIntensity()) KeepStrongReflections(result, *intensities, *least);
      }
    }
  }
  if (result.status != RunStatus::Completed) throw UsageError(result.error);
  if (!modelError.empty()) throw UsageError("option --model: " + modelError);

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
  out["theta"] = Column<double>(records, &ReflectionRecord::theta);
  out["d"] = Column<double>(records, &ReflectionRecord::d);
  out["qe"] = Column<double>(records, &ReflectionRecord::qe);
  out["qi"] = Column<double>(records, &ReflectionRecord::qi);
  out["x"] = Column<double>(records, &ReflectionRecord::x);
  out["y"] = Column<double>(records, &ReflectionRecord::y);
  out["z"] = Column<double>(records, &ReflectionRecord::z);
  out["plane_class"] = planeClass;
  out["main"] = mainFlag;
  if (intensities) {
    out["intensity"] = Doubles(intensities->intensity);
    out["f_abs"] = Doubles(intensities->fAbs);
    out["f_phase"] = Doubles(intensities->fPhase);
    out["model"] = intensities->model;
  }
  const RunStatistics& s = result.stats;
  py::dict stats;
  stats["kept"] = result.kept;
  stats["visited"] = result.visited;
  stats["loops"] = py::int_(py::str(ToDecimal(result.loops)));
  stats["zero_layer_max"] = static_cast<double>(s.zeroLayerMax);
  stats["theta_max"] = static_cast<double>(s.thetaMax);
  stats["qi_max"] = static_cast<double>(s.qiMax);
  stats["qi_min_positive"] = static_cast<double>(s.qiMinPositive);
  stats["bounds"] = py::make_tuple(s.bounds.xMin, s.bounds.xMax, s.bounds.yMin, s.bounds.yMax, s.bounds.zMin,
                                   s.bounds.zMax);
  stats["coord_max"] = static_cast<double>(s.bounds.CoordMax());
  out["statistics"] = stats;
  out["space_group"] = summary.sgSymbol;
  out["summary"] = py::make_tuple(summary.paramLine1, summary.paramLine2);
  return out;
}

// The run of the parameter options in options, released from the GIL.
CalculationResult PowderRun(const CalculationInputs& inputs) {
  CalculationResult result;
  {
    py::gil_scoped_release release;
    result = RunCalculation(inputs);
  }
  if (result.status != RunStatus::Completed) throw UsageError(result.error);
  return result;
}

py::dict Powder(const py::dict& keywords) {
  using namespace input;
  Options options = KeywordOptions(keywords, WithParameters({&kModel, &kTolerance, &kMonochromator, &kTwoTheta,
                                                             &kCaglioti, &kEta, &kCut, &kDoublet, &kZero}));
  ModelOptions modelOptions;
  Take(options, modelOptions);
  PowderOptions powder;
  Take(options, powder);
  ParameterOptions parameters = ApplyParameters(options);
  parameters.LoopsAutoByDefault();  // as lumora-cli powder
  const ParameterOptions::Read typed = parameters.ReadInputs();
  const CalculationInputs& inputs = typed.inputs;
  const ProfileOptions profileOptions = powder.Profile(typed.texts, inputs);
  const std::optional<StructureModel> model = modelOptions.Model();

  CalculationResult result = PowderRun(inputs);
  std::optional<IntensityResult> intensities;
  if (model) {
    const auto resolved = ResolveModel(*model, result.lattice);
    if (const std::string* error = std::get_if<std::string>(&resolved)) throw UsageError("option --model: " + *error);
    intensities.emplace();
    ComputeIntensities(std::get<ResolvedModel>(resolved), result.lattice, result.records, inputs.wavelength,
                       *intensities);
  }
  PowderLines lines = BuildPowderLines(result.records, intensities ? &intensities->intensity : nullptr,
                                       inputs.wavelength, powder.lines);
  ScaleLinesToPercent(lines.lines);
  Profile profile;
  {
    py::gil_scoped_release release;
    profile = ComputeProfile(lines.lines, profileOptions);
  }
  if (!profile.error.empty()) throw UsageError("option --caglioti: " + profile.error);

  const auto n = static_cast<py::ssize_t>(lines.lines.size());
  const int nDim = result.lattice.nDim;
  py::array_t<double> twoTheta(n), d(n), intensity(n);
  py::array_t<std::int32_t> multiplicity(n);
  py::array_t<std::int32_t> index({n, static_cast<py::ssize_t>(nDim)});
  auto idx = index.mutable_unchecked<2>();
  for (py::ssize_t i = 0; i < n; ++i) {
    const PowderLine& line = lines.lines[static_cast<std::size_t>(i)];
    twoTheta.mutable_data()[i] = line.twoTheta;
    d.mutable_data()[i] = line.d;
    intensity.mutable_data()[i] = line.intensity;
    multiplicity.mutable_data()[i] = line.multiplicity;
    for (int k = 0; k < nDim; ++k) idx(i, k) = line.indices.front()[static_cast<std::size_t>(k)];
  }
  py::dict out;
  out["two_theta"] = twoTheta;
  out["d"] = d;
  out["multiplicity"] = multiplicity;
  out["intensity"] = intensity;
  out["index"] = index;
  out["dropped_at_backscatter"] = lines.droppedAtBackscatter;
  py::dict pattern;
  pattern["two_theta"] = Doubles(profile.twoTheta);
  pattern["intensity"] = Doubles(profile.intensity);
  out["profile"] = pattern;
  return out;
}

py::dict ReadPattern(const std::string& path) {
  const MeasuredRead read = ReadMeasuredPattern(path);
  if (!read.error.empty()) throw UsageError("pattern: " + read.error);
  py::dict out;
  out["two_theta"] = Doubles(read.pattern.twoTheta);
  out["intensity"] = Doubles(read.pattern.intensity);
  out["sigma"] = read.pattern.sigma.empty() ? py::object(py::none()) : py::object(Doubles(read.pattern.sigma));
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

// The indexing as --refine-json writes it; abInitio: index, else refine from the start.
std::string IndexPeaks(const std::vector<double>& twoTheta, const std::vector<double>& height, double low,
                       double high, double peakWidth, bool abInitio, const py::dict& keywords) {
  using namespace input;
  Options options = KeywordOptions(
      keywords, WithParameters({&kModel, &kRefine, &kARange, &kCRange, &kWavelengthModel, &kIndexTolerance,
                                &kTolerance, &kMonochromator, &kZero}));
  ModelOptions modelOptions;
  Take(options, modelOptions);
  PowderOptions powder;
  Take(options, powder);
  ParameterOptions parameters = ApplyParameters(options);
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
  indexing.abInitio = abInitio;
  indexing.measuredLow = low;
  indexing.measuredHigh = high;
  indexing.peakWidth = peakWidth;
  IndexingResult r;
  {
    py::gil_scoped_release release;
    r = IndexPattern(peaks, inputs, model ? &*model : nullptr, powder.Wavelengths(typed.texts, inputs), powder.lines,
                     indexing);
  }
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
  NormaliseDecimalCommas(texts);
  const auto read = ReadInputs(texts);
  if (const InputError* error = std::get_if<InputError>(&read)) {
    // Only the lattice options matter here, as in "lumora-cli matrices".
    if (error->field == InputField::A || error->field == InputField::C) parameters.Reject(*error);
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

py::dict MakeTilingDict(const py::dict& keywords) {
  using namespace input;
  const Options options = KeywordOptions(keywords, {&kSymmetry, &kLoopOrder, &kScale, &kShiftMode});
  auto whole = [&options](const NamedInput& named, int fallback) {
    const auto it = options.find(std::string(named.option));
    return it == options.end() ? fallback : static_cast<int>(ReadWholeNumber(named, it->second));
  };
  TilingInputs inputs;
  inputs.symmetry = whole(kSymmetry, inputs.symmetry);
  inputs.loopOrder = whole(kLoopOrder, inputs.loopOrder);
  inputs.zoom = whole(kScale, inputs.zoom);
  inputs.shiftMode = static_cast<ShiftMode>(whole(kShiftMode, 0));
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
  m.def("read_pattern", &ReadPattern, py::arg("path"), "A measured pattern file: two_theta, intensity, sigma.");
  m.def("find_peaks", &FindPeaksOf, py::arg("two_theta"), py::arg("intensity"), py::arg("sigma"), py::arg("keywords"),
        "The peaks of a pattern: two_theta, height, fwhm and the pattern's range.");
  m.def("index_peaks", &IndexPeaks, py::arg("two_theta"), py::arg("height"), py::arg("low"), py::arg("high"),
        py::arg("peak_width"), py::arg("ab_initio"), py::arg("keywords"),
        "Indexes peaks; the JSON text of lumora-cli powder --refine-json.");
  m.def("tiling", &MakeTilingDict, py::arg("keywords"),
        "A multigrid tiling for the keyword arguments of lumora.tiling: vertices and tiles as arrays.");
}
