#include <unistd.h>

#include <atomic>
#include <chrono>
#include <cstdio>
#include <memory>
#include <optional>
#include <string>
#include <variant>

#include "cli/cli_options.hpp"
#include "cli/command_inputs.hpp"
#include "cli/commands.hpp"
#include "common/number_text.hpp"
#include "common/text.hpp"
#include "intensity/model_file.hpp"
#include "intensity/structure_factor.hpp"
#include "report/cif_output.hpp"
#include "inputs/radiation_option.hpp"
#include "report/machine_formats.hpp"
#include "report/report.hpp"

namespace lumora::cli {
namespace {

constexpr const char* kHelp = R"(Usage: lumora-cli reflections [options]

Enumerates the diffraction reflections of a quasicrystal and writes the report.

Lattice and calculation:
  --system NAME          octagonal, decagonal (default), dodecagonal, icosahedral
  --space-group SYMBOL   space group of the system (default P10.5/mmc for
                         decagonal, else P8/mmm, P12/mmm, P235)
  --setting NAME         yamamoto (default) or steurer
  -a A                   lattice constant a in Angstrom (default 2.82)
  -c C                   lattice constant c in Angstrom (default 12.06)
  --wavelength W         X-ray wavelength in Angstrom
  --anode SYMBOL         Mo (default, 0.7106867), Cu, Ni, Co, Fe, Cr, Ag or US;
                         K-alpha wavelength of that X-ray tube anode. US is
                         "user specified", the window's entry for a typed
                         wavelength: --wavelength W selects it; alone it
                         starts from the Cu value, 1.541878
  --theta MIN,MAX        Bragg angle range in degrees, MAX not negative
                         (default 1.0,30.0)
  --qi-max Q             largest internal component, 0 or more (default 1.0)
  --loops L[,L2,...]     loop limits: one for all indices, or five (axial
                         systems) or six (icosahedral) values (default 2)
  --settings FILE        start from a settings file (Lumora.cfg)

Intensities:
  --model NAME|FILE      structure model: penrose, ammann-beenker,
                         ammann-kramer, square-triangle, or a model file;
                         adds the "I" column (percent of the strongest) to
                         the report and f_abs, f_phase, intensity to CSV/JSON
  --min-intensity P      keep only reflections with I >= P percent
  --radiation KIND       xray (default), neutron or electron: the scattering
                         factors of the intensities; the report and the
                         CSV/JSON header name it when it is not X-rays
  --voltage KV           electrons: accelerating voltage (default 200 kV);
                         the run's wavelength is then the relativistic
                         electron wavelength (choose --theta to match)

Output:
  --columns LIST         any of indices,theta,d,qe-qi,xyz,intensity (default all)
  --format FORMAT        hkl (the report, default), csv, json or cif (a
                         _refln loop with msCIF-style index tags h k l m_1
                         m_2 [m_3], d, sin(theta)/lambda; with a model F^2,
                         F and phase; the header names system, setting,
                         basis matrices, radiation, wavelength and model)
  -o FILE                write to FILE instead of standard output
  --progress             show a progress bar on standard error (terminals only)
  --max-records N        stop with an error rather than keep more than N
                         reflections (default 20000000)
  --max-visited N        stop with an error rather than visit more than N
                         index vectors (default 10000000000); a run known to
                         need more is refused before it starts
  --max-seconds S        stop with an error after S seconds (default: no limit)
  --algorithm NAME       fast (default): walk only the part of the index box
                         that can pass theta and qi-max, on every core;
                         box: walk every vector of the box. Both give the
                         same report.
  --help                 show this text
)";

ReportColumns ParseColumns(const std::string& list) {
  ReportColumns columns{false, false, false, false, false, false};
  bool* const flags[] = {&columns.indices, &columns.theta, &columns.dSpacing,
                         &columns.qeQi,    &columns.xyz,   &columns.intensity};
  std::size_t start = 0;
  for (;;) {
    const std::size_t comma = list.find(',', start);
    const std::string name(Trim(std::string_view(list).substr(start, comma - start)));
    if (const std::optional<std::size_t> which = ChoiceIndex(input::kColumns, name)) *flags[*which] = true;
    else if (!name.empty()) Refuse(input::kColumns, name);
    if (comma == std::string::npos) break;
    start = comma + 1;
  }
  return columns;
}

class ProgressBar {
 public:
  explicit ProgressBar(bool enabled) : enabled_(enabled && isatty(STDERR_FILENO)) {}
  void Show(double fraction) {
    if (!enabled_) return;
    const int percent = static_cast<int>(fraction * 100.0);
    if (percent == lastPercent_) return;
    lastPercent_ = percent;
    const int filled = percent * 40 / 100;
    std::fprintf(stderr, "\r[%s%s] %3d%%", std::string(static_cast<std::size_t>(filled), '#').c_str(),
                 std::string(static_cast<std::size_t>(40 - filled), ' ').c_str(), percent);
    std::fflush(stderr);
  }
  void Finish() {
    if (enabled_ && lastPercent_ >= 0) std::fputs("\n", stderr);
  }

 private:
  bool enabled_;
  int lastPercent_ = -1;
};

}  // namespace

int RunReflections(const std::vector<std::string>& args) {
  using namespace input;
  const std::vector<Option> options = ReadOptions(args, CommandInputs("reflections"));

  ParameterOptions parameters;
  ReportColumns columns;
  std::string format(kReportFormat.defaultText);
  std::string output;
  bool progress = false;
  RunControl control;
  WalkAlgorithm algorithm = WalkAlgorithm::Bounded;
  ModelOptions modelOptions;
  RadiationOptions radiation;
  std::string columnsText;
  for (const Option& option : options) {
    const std::string& n = option.name;
    if (n == kHelpOption.option) {
      std::fputs(kHelp, stdout);
      return 0;
    }
    if (radiation.Apply(option) || parameters.Apply(option) || modelOptions.Apply(option)) continue;
    if (n == kColumns.option) {
      columns = ParseColumns(option.value);
      columnsText = option.value;
    } else if (n == kReportFormat.option) {
      format = ReadChoice(kReportFormat, option.value);
    } else if (n == kOutput.option) {
      output = ReadFileName(kOutput, option.value);
    } else if (n == kProgress.option) {
      progress = true;
    } else if (n == kAlgorithm.option) {
      algorithm = ReadChoice(kAlgorithm, option.value) == "box" ? WalkAlgorithm::Box : WalkAlgorithm::Bounded;
    } else if (n == kMaxRecords.option) {
      control.maxRecords = static_cast<std::size_t>(ReadWholeNumber(kMaxRecords, option.value));
    } else if (n == kMaxVisited.option) {
      control.maxVisited = static_cast<std::uint64_t>(ReadWholeNumber(kMaxVisited, option.value));
    } else if (n == kMaxSeconds.option) {
      control.maxSeconds = ReadNumber(kMaxSeconds, option.value);
    }
  }

  const std::optional<StructureModel> model = modelOptions.Model();
  if (columns.intensity && !columnsText.empty() && !model)
    BadValue("--columns", columnsText, "names intensity, which needs --model");

  radiation.Prepare(parameters);
  ParameterOptions::Read read = parameters.ReadInputs();
  radiation.Name(read.summary);
  const Summary& summary = read.summary;
  const CalculationInputs& inputs = read.inputs;

  ProgressBar bar(progress);
  control.algorithm = algorithm;
  if (progress) control.progress = [&bar](const RunProgress& p) { bar.Show(p.fraction); };
  const auto started = std::chrono::steady_clock::now();  // --max-seconds covers the intensities too
  CalculationResult result = RunCalculation(inputs, control);
  bar.Finish();
  if (result.status != RunStatus::Completed) {
    std::fprintf(stderr, "lumora-cli: %s\n", result.error.c_str());
    return 1;
  }

  std::optional<IntensityResult> intensities;
  if (model) {
    intensities = ModelIntensities(*model, modelOptions.Label(*model), result, radiation.Of(inputs.wavelength),
                                   control.maxSeconds,
                                   started);
    if (const auto& least = modelOptions.MinIntensity()) KeepStrongReflections(result, *intensities, *least);
  }
  const IntensityResult* withIntensities = intensities ? &*intensities : nullptr;

  std::string text;
  if (format == "csv") {
    text = CsvText(result, summary, withIntensities);
  } else if (format == "json") {
    text = JsonText(result, summary, withIntensities);
  } else if (format == "cif") {
    text = ReflectionsCif(result, summary, withIntensities, CifBeamOf(radiation.Of(inputs.wavelength)));
  } else {
    ReportContext context{summary, result.lattice.nDim, !inputs.yamamoto, columns, nullptr, nullptr, {}};
    if (intensities) {
      context.intensities = std::make_shared<const std::vector<double>>(intensities->intensity);
      context.model = intensities->model;
    }
    text = ReportText(result.records, context);
  }
  return WriteOutput(output, text) ? 0 : 1;
}

}  // namespace lumora::cli
