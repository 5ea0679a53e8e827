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
#include "cli/command_inputs.hpp"
#include "cli/gui_application.hpp"
#include "cli/commands.hpp"
#include "cli/powder_measured.hpp"
#include "cli/powder_rietveld.hpp"
#include "common/number_text.hpp"
#include "common/text.hpp"
#include "intensity/model_file.hpp"
#include "inputs/radiation_option.hpp"
#include "intensity/structure_factor.hpp"
#include "powder/powder_cif.hpp"
#include "powder/powder_files.hpp"
#include "powder/powder_plot_painter.hpp"
#include "powder/powder_lines.hpp"
#include "powder/powder_options.hpp"
#include "powder/powder_profile.hpp"
#include "powder/refinement_output.hpp"
#include "reflections/emission_lines.hpp"

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
  --radiation KIND       xray (default), neutron or electron (see "lumora-cli
                         reflections --help"); neutrons and electrons take the
                         Lorentz factor 1 / (sin^2 theta cos theta) without
                         the polarisation term
  --voltage KV           electrons: accelerating voltage (default 200 kV)

Lines:
  --tolerance T          relative d tolerance for merging (default 1e-6)
  --monochromator ANGLE  2theta of the monochromator crystal in degrees
                         (default 0: no monochromator)
  --lines FILE           every line with all its index vectors and qi values:
                         CSV, or CIF when FILE ends in .cif (_pd_peak rows
                         and a _refln row per index vector), or JSON when
                         it ends in .json (lines the loop box cut marked
                         "incomplete": true)

Profile (pseudo-Voigt, FWHM^2 = U tan^2 theta + V tan theta + W):
  --two-theta MIN,MAX,STEP  range and step in degrees (default twice the theta
                         range, step 0.01)
  --caglioti U,V,W       width parameters in degrees^2, each within 100 of 0
                         (default 0,0,0.01)
  --eta E                Lorentzian fraction 0..1 (default 0.5)
  --cut N                each peak reaches N FWHM either side (default 20)
  --zero Z               zero shift in degrees added to every calculated 2theta
                         (-10 < Z < 10; default 0); also the refinement's start
  --doublet              K-alpha1 and K-alpha2 of the anode (K-alpha2 at half
                         the strength of K-alpha1) instead of one peak
  --pattern FILE         the profile: CSV when FILE ends in .csv, pdCIF when
                         it ends in .cif (with --measured on the measured
                         points, with the measurement and the scaled
                         profile), else XY (two columns, "#" comment header)

Measured pattern: text (.xy, .xye, .csv and other text: 2 or 3 columns:
2theta, intensity[, sigma]; blanks, tabs, commas or semicolons between them;
"#" and "!" comments; one header line; 2theta rising or falling throughout),
or a diffractometer's file: Bruker RAW4.00 (DIFFRAC.SUITE) or any format xylib
reads (Bruker RAW and UXD, PANalytical XRDML, Philips UDF and RD, Rigaku DAT,
Sietronics CPI, DBWS, RIET7, pdCIF, ...). A wavelength the file states is the run's unless
--wavelength, --anode or --settings chooses one; the report says which.
  --measured FILE        report its peaks and the least-squares scale of the
                         simulated profile on it (weighted by 1/sigma^2)
  --range N              the range (scan) of a file that holds several,
                         counted from 1 (default 1)
  --peak-threshold T     a peak's smoothed second derivative must lie T times
                         its noise below 0 and below its sides, and its top T
                         times the noise of one intensity above the
                         background (default 3); the noise comes from sigma
                         or from the scatter of the pattern
  --peak-smoothing N     points of the smoothing window, odd, 3..101 (default
                         5); about the points across a peak's FWHM
  --index                index the peaks without a start: a (and c for the
                         axial systems) searched over --a-range (and --c-range),
                         the zero shift within 0.2 degrees of --zero
  --refine a[,c][,zero]  index the peaks from the start -a (and -c): the search
                         covers every cell within 2 % of it, and these
                         parameters are refined by least squares on 2theta
                         (default a,c,zero; c for the axial systems only)
  --a-range MIN,MAX      the a searched by --index in A (default 1.5,12)
  --c-range MIN,MAX      the c searched by --index in A (default 2,40)
  --wavelength-model doublet|ka1
                         with an anode, the peak positions of K-alpha1 and
                         K-alpha2 (default) or of K-alpha1 alone (a
                         monochromated beam); a typed wavelength is one line
  --index-tolerance T    a peak is indexed by a line within T degrees
                         (default 0.1)
  --refine-json FILE     the indexing as JSON (reliable, criteria, candidates,
                         a, a_su, c, c_su, zero, zero_su, figures of merit,
                         peaks with their marks, unindexed)
  --plot FILE            the pattern as a picture (.png, .svg or .pdf; 1200 x 700):
                         calculated in red with the line marks, with
                         --measured the measurement in blue under the scaled
                         profile, its peaks and the difference
Candidates are ranked by W = C x F(N), C the intensity match of the observed
peaks and the calculated lines (a structure model's intensities, or the qi
weight exp(-ln 100 (qi/qi-max)^2) without one). A solution is reliable when
C >= 0.5, M(20) >= 10, F(N) >= 10, at least 9 of the 10 strongest peaks are
indexed, no peak of a quarter of the strongest's intensity is left unindexed,
W beats the next candidate's by 1.5 times and at least P + 2 peaks enter the
least squares (P parameters). Otherwise "no reliable solution" with the failed
criteria and the candidates go to standard error, only --refine-json is
written (marked "reliable": false) and the exit status is 3. An indexing that cannot run (fewer than 3
peaks, no lines) writes nothing and exits with status 1.
The loops default to "auto" here: the smallest index box that holds every
reflection of the theta range and qi-max; lines whose orbits a given --loops
box cuts are marked "incomplete" in the report.

Whole-pattern fit (with --measured and --model):
  --rietveld             fit the measured pattern point by point: the lines
                         of complete orbits of the space group's Laue class
                         over the measured range (the run's theta range is
                         set to cover it) with the model's |F|^2, LP, the
                         pseudo-Voigt profile and a Chebyshev background;
                         weights 1/sigma^2 (sigma from the file, else
                         sqrt(counts)). Reports Rp, Rwp, R_exp, chi^2 and each
                         parameter with its su
  --refine LIST          with --rietveld: any of scale, zero, a, c, u, v, w,
                         eta, background (every term) or background:K, and the
                         structure's occupancy:LABEL, b_par:LABEL,
                         b_perp:LABEL, size:LABEL (KIND:* for every site);
                         A=B holds them equal (default
                         scale,zero,a,c,u,v,w,eta,background). Starts: -a, -c,
                         --zero, --caglioti, --eta; scale and background from
                         the data
  --background N         Chebyshev terms of the background, 0..20 (default 3)
  --search N             further starts for the structure (default 6)
  --max-iterations N     per descent (default 100)
  --model-out FILE       the refined model (model-file format)
With --rietveld, --refine-json writes the fit (Rp, Rwp, Rexp, chi2, points,
parameters, correlations, candidates) and --plot the measured pattern under
the fit with the difference. A fit that refuses (a parameter the data do not
determine, no convergence, two minima alike) exits with status 3.

  -o FILE                write the report to FILE instead of standard output
  --help                 show this text
)";


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
         ", intensities: " + (model.empty() ? std::string("1 per reflection") : "model " + EchoText(model, kShownNameChars)) +
         (options.polarised ? " x LP\n" : " x L (no polarisation term)\n");
  if (lines.droppedAtBackscatter)
    out += std::to_string(lines.droppedAtBackscatter) + " reflections at 2theta = 180 left out (LP has no value)\n";
  const auto cut = std::count_if(lines.lines.begin(), lines.lines.end(),
                                 [](const PowderLine& l) { return l.completeMultiplicity > l.multiplicity; });
  if (cut > 0)
    out += std::to_string(cut) + " lines have orbits cut by the loop box (marked incomplete: multiplicity of the "
           "complete orbits in brackets); --loops auto takes them whole\n";
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
    if (line.completeMultiplicity > line.multiplicity)
      row += "  incomplete (" + std::to_string(line.completeMultiplicity) + ")";
    out += row + "\n";
  }
  return out;
}

}  // namespace

int RunPowder(const std::vector<std::string>& args) {
  using namespace input;
  const std::vector<Option> options = ReadOptions(args, CommandInputs("powder"));
  // With --rietveld, --refine is the whole-pattern fit's list.
  const bool rietveld = std::any_of(options.begin(), options.end(), [](const Option& o) { return o.name == kRietveld.option; });
  PatternFitOptions patternFit;
  std::string modelOut;

  ParameterOptions parameters;
  PowderOptions powder;
  ModelOptions modelOptions;
  RadiationOptions radiation;
  bool doublet = false;
  std::string linesFile, patternFile, measuredFile, jsonFile, plotFile, output;
  std::optional<std::size_t> measuredRange;
  for (const Option& option : options) {
    const std::string& n = option.name;
    if (n == kHelpOption.option) {
      std::fputs(kHelp, stdout);
      return 0;
    }
    if (n == kRietveld.option) continue;
    if (rietveld && patternFit.Apply(option)) continue;
    if (!rietveld && (n == kModelOut.option || n == kBackgroundTerms.option || n == kSearch.option ||
                      n == kMaxIterations.option))
      throw UsageError("option " + n + " needs --rietveld");
    doublet = doublet || n == kDoublet.option;
    if (radiation.Apply(option) || parameters.Apply(option) || powder.Apply(option) ||
        modelOptions.Apply(option))
      continue;
    if (n == kMeasuredRange.option) {
      measuredRange = static_cast<std::size_t>(ReadWholeNumber(kMeasuredRange, option.value));
      continue;
    }
    std::string& file = n == kModelOut.option       ? modelOut
                        : n == kLinesFile.option    ? linesFile
                        : n == kPatternFile.option  ? patternFile
                        : n == kMeasuredFile.option ? measuredFile
                        : n == kRefineJson.option   ? jsonFile
                        : n == kPowderPlot.option   ? plotFile
                                                    : output;
    if (option.value.empty()) BadValue(n, option.value, std::string(kNotAFileName));
    file = option.value;
  }
  if (rietveld && measuredFile.empty()) throw UsageError("option --rietveld needs --measured");
  if (rietveld && !modelOptions.Given()) throw UsageError("option --rietveld needs --model (the start model)");
  if (powder.refineGiven && measuredFile.empty())
    throw UsageError(std::string("option ") + (powder.indexing.abInitio ? "--index" : "--refine") + " needs --measured");
  if (measuredRange && measuredFile.empty()) throw UsageError("option --range needs --measured");
  if (!jsonFile.empty() && !powder.refineGiven && !rietveld) throw UsageError("option --refine-json needs --refine or --index");
  const std::string plotFormat = plotFile.empty() ? std::string() : ReadPictureFormat(kPowderPlot, plotFile);

  const std::optional<StructureModel> model = modelOptions.Model();

  radiation.Prepare(parameters);
  parameters.LoopsAutoByDefault();

  // The measurement is read first: a wavelength it states is the run's unless one was chosen.
  std::optional<MeasuredFile> measuredRead;
  bool wavelengthFromFile = false;
  if (!measuredFile.empty()) {
    measuredRead = ReadMeasured(measuredFile, measuredRange.value_or(1));
    if (measuredRead->wavelength && !parameters.WavelengthChosen()) {
      parameters.ChooseWavelength(ShortestText(*measuredRead->wavelength));
      wavelengthFromFile = true;
    }
  }
  ParameterOptions::Read read = parameters.ReadInputs();
  radiation.Name(read.summary);
  const Summary& summary = read.summary;
  const CalculationInputs& inputs = read.inputs;
  const Radiation beam = radiation.Of(inputs.wavelength);
  if (beam.kind != RadiationKind::XRay) {
    if (doublet) throw UsageError("option --doublet: an anode's K-alpha doublet needs --radiation xray");
    powder.lines.polarised = false;
  }
  powder.indexing.radiation = beam.kind;
  const ProfileOptions profile = powder.Profile(read.texts, inputs);
  if (powder.cRequested && inputs.system == CrystalSystem::Icosahedral)
    throw UsageError("option --refine: c cannot be refined: the icosahedral system has no c");
  if (powder.wavelengthModel != WavelengthModel::Doublet && !AnodeEmissionLines(read.texts.anodeIndex))
    throw UsageError("option --wavelength-model: needs an anode (--anode); a typed wavelength is one line");

  // The run's lines, with the model's intensities when there is one.
  std::string modelLabel;
  auto runLines = [&](const CalculationInputs& in, CalculationResult& result) -> std::optional<PowderLines> {
    result = RunCalculation(in);
    if (result.status != RunStatus::Completed) {
      std::fprintf(stderr, "lumora-cli: %s\n", result.error.c_str());
      return std::nullopt;
    }
    std::optional<IntensityResult> intensities;
    if (model) {
      modelLabel = modelOptions.Label(*model);
      Radiation atRun = beam;
      atRun.wavelength = in.wavelength;  // a refinement may run at another wavelength
      intensities = ModelIntensities(*model, modelLabel, result, atRun);
    }
    PowderLines made = BuildPowderLines(result.records, intensities ? &intensities->intensity : nullptr, in.wavelength,
                                        powder.lines);
    ScaleLinesToPercent(made.lines);
    return made;
  };
  CalculationResult result;
  std::optional<PowderLines> computed = runLines(inputs, result);
  if (!computed) return 1;
  PowderLines& lines = *computed;
  const int nDim = result.lattice.nDim;
  // A loop box may cut orbits: the complete run says which lines it cut.
  if (!inputs.completeLoops) {
    CalculationInputs complete = inputs;
    complete.completeLoops = true;
    const CalculationResult whole = RunCalculation(complete);
    if (whole.status == RunStatus::Completed) CountCompleteOrbits(lines.lines, whole.records, powder.lines);
  }
  if (rietveld) {
    const std::string report = LinesReport(lines, result.records.size(), summary, nDim, powder.lines, modelLabel);
    const bool json = HasExtension(linesFile, ".json");
    if (!linesFile.empty() &&
        !WriteOutput(linesFile, json ? PowderLinesJson(lines, nDim) : PowderLinesCsv(lines, nDim)))
      return 1;
    return RunPatternFit(patternFit, inputs, beam.kind, measuredRead->pattern, profile, powder.lines, *model, report,
                         {measuredFile, output, jsonFile, modelOut, plotFile, plotFormat});
  }

  // Everything is computed before anything is written.
  std::optional<Profile> pattern;
  if (!patternFile.empty() || !measuredFile.empty() || !plotFile.empty()) {
    pattern = ComputeProfile(lines.lines, profile);
    if (!pattern->error.empty()) throw UsageError("option --caglioti: " + pattern->error);
  }
  std::string report = LinesReport(lines, result.records.size(), summary, nDim, powder.lines, modelLabel);
  std::string json;
  MeasuredOutput measured;
  bool refused = false;
  if (!measuredFile.empty()) {
    measured = AnalyseMeasured(*measuredRead, measuredFile, *pattern, powder, inputs, read.texts,
                               model ? &*model : nullptr, nDim,
                               StatedWavelengthLine(*measuredRead, wavelengthFromFile, inputs.wavelength));
    if (measured.indexing && !measured.indexing->error.empty()) {
      std::fprintf(stderr, "lumora-cli: indexing: %s\n", measured.indexing->error.c_str());
      return 1;
    }
    refused = measured.indexing && !measured.indexing->reliable;
    report += measured.report;
    json = measured.json;
  }
  // Every file's content, refusals included, before any file is touched.
  const PowderCifRun cifRun{result, summary, CifBeamOf(beam), modelLabel};
  std::vector<OutputFile> files;
  if (!linesFile.empty())
    files.push_back({linesFile, HasExtension(linesFile, ".cif")    ? LinesCif(cifRun, lines, powder.lines)
                                : HasExtension(linesFile, ".json") ? PowderLinesJson(lines, nDim)
                                                                   : PowderLinesCsv(lines, nDim)});
  if (!patternFile.empty())
    files.push_back({patternFile, HasExtension(patternFile, ".cif")
                                      ? PatternCif(cifRun, *pattern, profile,
                                                   measuredFile.empty() ? nullptr : &measured.pattern, measured.fit)
                                      : PowderPatternText(*pattern, EndsWithCsv(patternFile))});
  if (!jsonFile.empty()) files.push_back({jsonFile, json});
  if (!plotFile.empty()) {
    PowderPlotData data;
    data.profile = &*pattern;
    data.lines = &lines.lines;
    // After a refinement the picture shows the pattern of the refined constants.
    CalculationResult refinedRun;
    std::optional<PowderLines> refinedLines;
    Profile refinedPattern;
    if (measured.refined) {
      CalculationInputs refinedInputs = inputs;
      refinedInputs.a = measured.a;
      refinedInputs.c = measured.c;
      refinedLines = runLines(refinedInputs, refinedRun);
      if (!refinedLines) return 1;
      ProfileOptions shifted = profile;
      shifted.zeroShift = measured.zero;
      refinedPattern = ComputeProfile(refinedLines->lines, shifted);
      if (!refinedPattern.error.empty()) {
        std::fprintf(stderr, "lumora-cli: refinement: the refined pattern cannot be drawn: %s\n",
                     refinedPattern.error.c_str());
        return 1;
      }
      data.profile = &refinedPattern;
      data.lines = &refinedLines->lines;
      data.zero = measured.zero;
      measured.fit = FitScaleAndBackground(refinedPattern, measured.pattern);
    }
    if (!measuredFile.empty()) {
      data.fit = measured.fit;
      data.measured = &measured.pattern;
      data.peaks = measured.peaks;
      if (measured.refined) data.unindexed = &measured.unindexed;
    }
    EnsureGuiApplication();
    QString problem;
    const QByteArray bytes = RenderPowderPlot(MakePowderScene(data, PowderAxis::TwoTheta, IntensityScale::Linear, inputs.wavelength),
                                              QString::fromStdString(plotFormat), QSize(1200, 700), &problem);
    if (bytes.isEmpty()) {
      std::fprintf(stderr, "lumora-cli: %s: %s\n", EchoText(plotFile, 256).c_str(), problem.toUtf8().constData());
      return 1;
    }
    files.push_back({plotFile, std::string(bytes.constData(), static_cast<std::size_t>(bytes.size()))});
  }
  files.push_back({output, report});
  // A refusal writes nothing but the JSON, marked "reliable": false; the
  // refusal and the candidates go to standard error.
  if (refused) std::erase_if(files, [&](const OutputFile& f) { return jsonFile.empty() || f.path != jsonFile; });
  if (!WriteOutputs(files)) return 1;
  if (refused) {
    std::fprintf(stderr, "lumora-cli: no reliable solution: %s\ncandidates (best first):\n%s",
                 measured.indexing->Refusal().c_str(), CandidatesText(*measured.indexing).c_str());
    return 3;
  }
  return 0;
}

}  // namespace lumora::cli
