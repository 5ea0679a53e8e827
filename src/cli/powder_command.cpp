// lumora-cli powder: the run's reflections as powder lines and a simulated
// pattern.
#include <algorithm>
#include <cctype>
#include <cstdio>
#include <set>
#include <optional>
#include <string>
#include <variant>
#include <vector>

#include "cli/cli_options.hpp"
#include "cli/commands.hpp"
#include "common/number_text.hpp"
#include "common/text.hpp"
#include "intensity/model_file.hpp"
#include "intensity/structure_factor.hpp"
#include "powder/powder_files.hpp"
#include "powder/powder_lines.hpp"
#include "powder/powder_profile.hpp"

namespace lumora::cli {
namespace {

constexpr const char* kHelp = R"(Usage: lumora-cli powder [options]

Merges the reflections of a run into powder lines (equal d within a relative
tolerance) and simulates the powder pattern. Writes the report of the lines
(2theta, d, multiplicity, I, first index vector) to standard output or -o.
Line intensity: the sum of I over the merged reflections (the model's I, or 1
each without a model) times the Lorentz-polarisation factor
  LP = (1 + cos^2 2thetaM cos^2 2theta) / ((1 + cos^2 2thetaM) sin^2 theta cos theta),
given in percent of the strongest line.

Lattice and calculation: the options of "lumora-cli reflections"
  (--system, --space-group, --setting, -a, -c, --wavelength, --anode, --theta,
  --qi-max, --loops, --settings).
  --model NAME|FILE      structure model (see "lumora-cli reflections --help")

Lines:
  --tolerance T          relative d tolerance for merging (default 1e-6)
  --monochromator ANGLE  2theta of the monochromator crystal in degrees
                         (default 0: no monochromator)
  --lines FILE.csv       every line with all its index vectors and qi values

Profile (pseudo-Voigt, FWHM^2 = U tan^2 theta + V tan theta + W):
  --two-theta MIN,MAX,STEP  range and step in degrees (default twice the theta
                         range, step 0.01)
  --caglioti U,V,W       width parameters in degrees^2 (default 0,0,0.01)
  --eta E                Lorentzian fraction 0..1 (default 0.5)
  --cut N                each peak reaches N FWHM either side (default 20)
  --doublet              K-alpha1 and K-alpha2 of the anode (K-alpha2 at half
                         the strength of K-alpha1) instead of one peak
  --pattern FILE         the profile: CSV when FILE ends in .csv, else XY
                         (two columns, "#" comment header)

  -o FILE                write the report to FILE instead of standard output
  --help                 show this text
)";

std::vector<std::string> SplitList(const std::string& text) {
  std::vector<std::string> parts;
  std::size_t start = 0;
  for (;;) {
    const std::size_t comma = text.find(',', start);
    parts.emplace_back(Trim(std::string_view(text).substr(start, comma - start)));
    if (comma == std::string::npos) return parts;
    start = comma + 1;
  }
}

std::vector<double> NumberList(const Option& option, std::size_t count, const std::string& form) {
  const std::vector<std::string> parts = SplitList(option.value);
  if (parts.size() != count) BadValue(option.name, option.value, "must be " + form);
  std::vector<double> values;
  for (const std::string& part : parts) {
    const std::optional<double> value = ParseNumber(part);
    if (!value) BadValue(option.name, option.value, "must be " + form + " (\"" + EchoText(part) + "\" is not a number)");
    values.push_back(*value);
  }
  return values;
}

std::string Pad(const std::string& text, std::size_t width) {
  return text.size() >= width ? text : std::string(width - text.size(), ' ') + text;
}

std::string LinesReport(const PowderLines& lines, std::size_t reflections, const Summary& summary, int nDim,
                        const LineOptions& options, const std::string& model) {
  std::string out = "LUMORA POWDER LINES - " + std::to_string(lines.lines.size()) + " lines from " +
                    std::to_string(reflections) + " reflections\n";
  out += summary.sgSymbol + ", " + summary.paramLine1 + "\n" + summary.paramLine2 + "\n";
  out += "tolerance = " + ShortestText(options.tolerance) +
         ", monochromator 2theta = " + ShortestText(options.monochromatorTwoTheta) +
         ", intensities: " + (model.empty() ? std::string("1 per reflection") : "model " + model) + " x LP\n";
  if (lines.droppedAtBackscatter)
    out += std::to_string(lines.droppedAtBackscatter) + " reflections at 2theta = 180 left out (LP has no value)\n";
  std::string header = "#       2Theta         d  Mult           I";
  for (int i = 1; i <= nDim; ++i) header += Pad("h" + std::to_string(i), 4);
  out += std::string(header.size(), '-') + "\n" + header + "\n" + std::string(header.size(), '-') + "\n";
  std::size_t number = 0;
  for (const PowderLine& line : lines.lines) {
    std::string row = std::to_string(++number);
    row += std::string(row.size() < 6 ? 6 - row.size() : 1, ' ');
    row += Pad(FormatFixed(line.twoTheta, 5), 8) + Pad(FormatFixed(line.d, 5), 10) +
           Pad(std::to_string(line.multiplicity), 6) + Pad(FormatFixed(line.intensity, 4), 12);
    for (int i = 0; i < nDim; ++i) row += Pad(std::to_string(line.indices.front()[static_cast<std::size_t>(i)]), 4);
    out += row + "\n";
  }
  return out;
}

}  // namespace

int RunPowder(const std::vector<std::string>& args) {
  std::set<std::string> valued = ParameterOptions::Names();
  valued.insert({"--model", "--tolerance", "--monochromator", "--lines", "--two-theta", "--caglioti", "--eta", "--cut",
                 "--pattern", "-o"});
  const std::vector<Option> options = ReadOptions(args, valued, {"--doublet", "--help"});

  ParameterOptions parameters;
  LineOptions lineOptions;
  ProfileOptions profile;
  std::optional<std::array<double, 3>> range;
  bool doublet = false;
  std::optional<std::string> modelName;
  std::string linesFile, patternFile, output;
  for (const Option& option : options) {
    if (option.name == "--help") {
      std::fputs(kHelp, stdout);
      return 0;
    }
    if (parameters.Apply(option)) continue;
    if (option.name == "--model") {
      if (option.value.empty()) BadValue("--model", option.value, "is not a model name or file");
      modelName = option.value;
    } else if (option.name == "--tolerance") {
      const std::optional<double> value = ParseNumber(option.value);
      lineOptions.tolerance = value ? *value : -1.0;
      if (!value || !CheckLineOptions(lineOptions).empty())
        BadValue(option.name, option.value, "is not a relative tolerance from 0 to below 0.1");
    } else if (option.name == "--monochromator") {
      const std::optional<double> value = ParseNumber(option.value);
      lineOptions.monochromatorTwoTheta = value ? *value : -1.0;
      if (!value || !CheckLineOptions(lineOptions).empty())
        BadValue(option.name, option.value, "is not an angle from 0 to below 180 degrees");
    } else if (option.name == "--two-theta") {
      const std::vector<double> v = NumberList(option, 3, "MIN,MAX,STEP");
      ProfileOptions check;
      check.twoThetaMin = v[0];
      check.twoThetaMax = v[1];
      check.step = v[2];
      const std::string problem = CheckProfileOptions(check);
      if (!problem.empty()) BadValue(option.name, option.value, "is not a usable range: " + problem);
      range = std::array<double, 3>{v[0], v[1], v[2]};
    } else if (option.name == "--caglioti") {
      const std::vector<double> v = NumberList(option, 3, "U,V,W");
      profile.u = v[0];
      profile.v = v[1];
      profile.w = v[2];
    } else if (option.name == "--eta") {
      const std::optional<double> value = ParseNumber(option.value);
      if (!value || !(*value >= 0.0 && *value <= 1.0)) BadValue(option.name, option.value, "is not a number from 0 to 1");
      profile.eta = *value;
    } else if (option.name == "--cut") {
      const std::optional<double> value = ParseNumber(option.value);
      if (!value || !(*value >= 1.0 && *value <= 1000.0))
        BadValue(option.name, option.value, "is not a number of widths from 1 to 1000");
      profile.cutWidths = *value;
    } else if (option.name == "--doublet") {
      doublet = true;
    } else if (option.name == "--lines" || option.name == "--pattern" || option.name == "-o") {
      if (option.value.empty()) BadValue(option.name, option.value, "is not a file name");
      (option.name == "--lines" ? linesFile : option.name == "--pattern" ? patternFile : output) = option.value;
    }
  }

  const std::optional<StructureModel> model = ModelOption(modelName);

  const ParameterOptions::Read read = parameters.ReadInputs();
  const ParameterTexts& texts = read.texts;
  const Summary& summary = read.summary;
  const CalculationInputs& inputs = read.inputs;

  if (doublet) {
    if (texts.anodeIndex == kTypedAnodeIndex)
      throw UsageError("option --doublet needs an anode (--anode Mo, Cu, Ni, Co, Fe, Cr or Ag), not a typed wavelength");
    profile.doublet = AnodeKAlphaPair(texts.anodeIndex);
  }
  if (range) {
    profile.twoThetaMin = (*range)[0];
    profile.twoThetaMax = (*range)[1];
    profile.step = (*range)[2];
  } else {
    profile.step = 0.01;
    profile.twoThetaMin = inputs.thetaLow > 0.0 ? 2.0 * inputs.thetaLow : profile.step;
    profile.twoThetaMax = std::min(2.0 * inputs.thetaHigh, 179.99);
    const std::string problem = CheckProfileOptions(profile);
    if (!problem.empty())
      throw UsageError("option --theta: twice the theta range is no usable 2theta range (" + problem +
                       "); give --two-theta");
  }

  CalculationResult result = RunCalculation(inputs);
  if (result.status != RunStatus::Completed) {
    std::fprintf(stderr, "lumora-cli: %s\n", result.error.c_str());
    return 1;
  }
  std::optional<IntensityResult> intensities;
  std::string modelLabel;
  if (model) {
    const auto resolved = ResolveModel(*model, result.lattice);
    if (const std::string* error = std::get_if<std::string>(&resolved)) throw UsageError("option --model: " + *error);
    intensities.emplace();
    modelLabel = model->name.empty() ? *modelName : model->name;
    ComputeIntensities(std::get<ResolvedModel>(resolved), result.lattice, result.records, inputs.wavelength, *intensities);
  }

  PowderLines lines = BuildPowderLines(result.records, intensities ? &intensities->intensity : nullptr,
                                       inputs.wavelength, lineOptions);
  ScaleLinesToPercent(lines.lines);
  const int nDim = result.lattice.nDim;

  // Everything is computed before anything is written.
  std::optional<Profile> pattern;
  if (!patternFile.empty()) {
    pattern = ComputeProfile(lines.lines, profile);
    if (!pattern->error.empty()) throw UsageError("option --caglioti: " + pattern->error);
  }
  const std::string report = LinesReport(lines, result.records.size(), summary, nDim, lineOptions, modelLabel);
  if (!linesFile.empty() && !WriteOutput(linesFile, PowderLinesCsv(lines, nDim))) return 1;
  if (pattern && !WriteOutput(patternFile, PowderPatternText(*pattern, EndsWithCsv(patternFile)))) return 1;
  return WriteOutput(output, report) ? 0 : 1;
}

}  // namespace lumora::cli
