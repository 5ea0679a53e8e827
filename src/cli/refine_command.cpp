// lumora-cli refine: a structure model refined against measured single-crystal
// intensities.
#include <algorithm>
#include <cctype>
#include <cstdio>
#include <set>
#include <string>
#include <vector>

#include "cli/command_inputs.hpp"
#include "cli/cli_options.hpp"
#include "cli/commands.hpp"
#include "cli/gui_application.hpp"
#include "common/number_text.hpp"
#include "inputs/radiation_option.hpp"
#include "plots/picture_render.hpp"
#include "refine/refinement_plots.hpp"
#include "refine/structure_options.hpp"
#include "refine/structure_report.hpp"

namespace lumora::cli {
namespace {

constexpr const char* kHelp = R"(Usage: lumora-cli refine --model START --reflections DATA [options]

Refines a structure model against measured single-crystal intensities by
weighted least squares on F^2 (Levenberg-Marquardt with analytic
derivatives), and writes the report: R1 (on F, I > 2 sigma), wR2, GoF, each
parameter with its standard uncertainty, the correlations (* where |r| > 0.9),
the other minima the search found and the worst-fitting reflections.
  I_calc = scale |F|^2 (1 + 0.001 x |F|^2 lambda^3 / sin 2theta)^-1/2
with F the model's structure factor (see "lumora-cli reflections --help").

Lattice and radiation: the options of "lumora-cli reflections" (--system,
--space-group, --setting, -a, -c, --wavelength, --anode, --settings); the
space group's Laue class merges equivalent reflections. --theta, --qi-max and
--loops are read as there but choose nothing: the data name the reflections.
  --radiation KIND       xray (default), neutron or electron: the scattering
                         factors F takes (see "lumora-cli reflections --help")
  --voltage KV           electrons: accelerating voltage (default 200 kV)

  --model NAME|FILE      the start model (a built-in name or a model file)
  --reflections FILE     the measurements: text, one reflection a line
                         "h1 .. hn I sigma" ("#" comments), or a CIF with a
                         _refln loop (_refln_index_h, _k, _l, _m_1, _m_2[,
                         _m_3], _refln_F_squared_meas, _refln_F_squared_sigma)
  --refine LIST          the parameters, separated by commas: scale,
                         extinction, occupancy:LABEL, b_par:LABEL,
                         b_perp:LABEL, size:LABEL (KIND:* for every site);
                         A=B holds A and B equal (b_perp:Al1=b_perp:Al2).
                         Default: scale. Bounds: occupancy 0..1, B, size and
                         extinction not negative.
  --scale K              the scale's start; without it the scale is refined
                         even when not listed; with it and not listed, fixed
  --extinction X         the extinction parameter's start (default 0)
  --weight A,B           w = 1/(sigma^2 + (A P)^2 + B P), P = (max(Io,0) +
                         2 Ic)/3 (default 0,0: w = 1/sigma^2)
  --no-merge             fit every measurement, equivalents unmerged
  --max-iterations N     per descent (default 100)
  --search N             descents from N further starts spread over the
                         search ranges (default 6; 0: the given start only)
  --progress             each iteration's sum w (Io - Ic)^2 on standard error

Outputs (nothing is written when the refinement refuses):
  -o FILE                the report instead of standard output
  --model-out FILE       the refined model in the model-file format
  --refine-json FILE     R1, wR2, GoF, observations, parameters (name, value,
                         su), correlations, candidates, worst (also written,
                         with status and error, when it refuses)
  --cif FILE             the figures, parameters and the _refln loop with
                         F_squared_calc
  --plot FILE            F obs against F calc (.png, .svg or .pdf)
  --map-png FILE --map-at LABEL
                         the internal-space map through the site LABEL (.png,
                         .svg or .pdf; three sections for the icosahedral
                         system) with the domain's outline
  --map-source S         observed (F_obs with the model's phases, default),
                         calculated or difference
  --map-size N           pixels a side (16..1024, default 121)
  --map-width W          half width in A (default 1.3 times the domain's radius)

Exit status: 0 refined; 2 bad input; 3 no reliable solution (a parameter
the data do not determine, no convergence, two minima that fit equally
well, too few reflections), with the reason; 1 a file that cannot be written.
  --help                 show this text
)";

std::string PictureFormat(const NamedInput& input, const std::string& file) {
  const std::size_t dot = file.rfind('.');
  std::string suffix = dot == std::string::npos ? std::string() : file.substr(dot + 1);
  for (char& ch : suffix) ch = static_cast<char>(std::tolower(static_cast<unsigned char>(ch)));
  if (!ChoiceIndex(input, suffix)) BadValue(input.option, file, "must end in .png, .svg or .pdf");
  return suffix;
}

bool WritePicture(const std::string& file, const std::string& format, const PaintFunction& paint, QSize size,
                  const QString& title) {
  EnsureGuiApplication();
  QString problem;
  const QByteArray bytes = RenderPicture(paint, QString::fromStdString(format), size, title, &problem);
  if (bytes.isEmpty()) {
    std::fprintf(stderr, "lumora-cli: %s: %s\n", file.c_str(), problem.toUtf8().constData());
    return false;
  }
  return WriteOutput(file, std::string(bytes.constData(), static_cast<std::size_t>(bytes.size())));
}

}  // namespace

int RunRefine(const std::vector<std::string>& args) {
  using namespace input;
  const std::vector<Option> options = ReadOptions(args, CommandInputs("refine"));

  ParameterOptions parameters;
  RadiationOptions radiation;
  StructureOptions structure;
  std::string output, modelOut, jsonFile, cifFile, plotFile, mapFile;
  bool progress = false;
  for (const Option& option : options) {
    const std::string& n = option.name;
    if (n == kHelpOption.option) {
      std::fputs(kHelp, stdout);
      return 0;
    }
    if (n == kProgress.option) {
      progress = true;
      continue;
    }
    if (radiation.Apply(option) || parameters.Apply(option) || structure.Apply(option)) continue;
    std::string& file = n == kModelOut.option     ? modelOut
                        : n == kRefineJson.option ? jsonFile
                        : n == kCifOut.option     ? cifFile
                        : n == kPowderPlot.option ? plotFile
                        : n == kMapPicture.option ? mapFile
                                                  : output;
    if (option.value.empty()) BadValue(n, option.value, std::string(kNotAFileName));
    file = option.value;
  }
  const bool mapAsked = std::any_of(options.begin(), options.end(), [](const Option& o) { return o.name == kMapAt.option; });
  if (!mapFile.empty() && !mapAsked) throw UsageError("option --map-png needs --map-at (the site the map passes through)");
  if (mapFile.empty() && mapAsked) throw UsageError("option --map-at needs --map-png (the file of the map)");
  const std::string plotFormat = plotFile.empty() ? std::string() : PictureFormat(kPowderPlot, plotFile);
  const std::string mapFormat = mapFile.empty() ? std::string() : PictureFormat(kMapPicture, mapFile);

  radiation.Prepare(parameters);
  const ParameterOptions::Read read = parameters.ReadInputs();
  StructureOptions::Prepared prepared = structure.Prepare(read.inputs);
  prepared.setup.radiation = radiation.Of(read.inputs.wavelength).kind;
  const std::optional<MapRequest> map = structure.Map(prepared.setup.start.model);
  if (progress)
    prepared.setup.progress = [](int iteration, double chi2) {
      std::fprintf(stderr, "iteration %d: sum w (Io - Ic)^2 = %s\n", iteration, ShortestText(chi2).c_str());
    };

  const RefinementOutcome outcome = RefineStructure(prepared.setup);
  RefinementContext context{prepared.dataName, prepared.setup.weighting, &prepared.setup.data,
                            prepared.setup.lattice.nDim};
  if (outcome.status != RefinementStatus::Refined) {
    std::fprintf(stderr, "lumora-cli: no reliable solution: %s\n", outcome.error.c_str());
    if (!jsonFile.empty() && !WriteOutput(jsonFile, StructureRefinementJson(outcome, context))) return 1;
    return 3;
  }
  // Everything is made before anything is written.
  std::vector<InternalMap> maps;
  if (map) {
    auto made = InternalSpaceMaps(outcome, prepared.setup.lattice,
                                  Radiation{prepared.setup.radiation, prepared.setup.wavelength, 0.0},
                                  prepared.group ? &*prepared.group : nullptr, *map);
    if (const std::string* error = std::get_if<std::string>(&made)) throw UsageError("option --map-at: " + *error);
    maps = std::get<std::vector<InternalMap>>(std::move(made));
  }
  if (!modelOut.empty() && !WriteOutput(modelOut, RefinedModelText(outcome, context))) return 1;
  if (!jsonFile.empty() && !WriteOutput(jsonFile, StructureRefinementJson(outcome, context))) return 1;
  if (!cifFile.empty() && !WriteOutput(cifFile, StructureRefinementCif(outcome, context))) return 1;
  if (!plotFile.empty() &&
      !WritePicture(plotFile, plotFormat, [&](QPainter& p, const QRectF& b) { PaintFobsFcalc(p, b, outcome); },
                    QSize(800, 760), QStringLiteral("F obs against F calc")))
    return 1;
  if (!mapFile.empty()) {
    const QSize size = maps.size() > 1 ? QSize(1500, 620) : QSize(640, 660);
    if (!WritePicture(mapFile, mapFormat, [&](QPainter& p, const QRectF& b) { PaintInternalMaps(p, b, maps); }, size,
                      QStringLiteral("Internal-space map")))
      return 1;
  }
  return WriteOutput(output, StructureRefinementReport(outcome, context)) ? 0 : 1;
}

}  // namespace lumora::cli
