#include "cli/powder_rietveld.hpp"

#include <cstdio>

#include "cli/cli_options.hpp"
#include "cli/gui_application.hpp"
#include "powder/powder_plot_painter.hpp"
#include "refine/pattern_fit_report.hpp"
#include "refine/refinement_plots.hpp"

namespace lumora::cli {

int RunPatternFit(const PatternFitOptions& options, const CalculationInputs& inputs, RadiationKind radiation,
                  const MeasuredPattern& measured, const ProfileOptions& profile,
                  const LineOptions& lines, const StructureModel& model, const std::string& linesReport,
                  const PatternFitFiles& files) {
  PatternFitOptions::Prepared prepared = options.Prepare(inputs, profile, lines, model, measured);
  prepared.setup.radiation = radiation;
  const WholePatternOutcome outcome = FitWholePattern(prepared.setup);
  if (outcome.status != RefinementStatus::Refined) {
    std::fprintf(stderr, "lumora-cli: no reliable solution: %s\n", outcome.error.c_str());
    if (!files.json.empty() && !WriteOutput(files.json, PatternFitJson(outcome, prepared.lines))) return 1;
    return 3;
  }
  if (!files.json.empty() && !WriteOutput(files.json, PatternFitJson(outcome, prepared.lines))) return 1;
  if (!files.modelOut.empty() && !WriteOutput(files.modelOut, PatternFitModelText(outcome, files.measured))) return 1;
  if (!files.plot.empty()) {
    const PowderPlotScene scene = FittedPatternScene(outcome, inputs.wavelength);
    EnsureGuiApplication();
    QString problem;
    const QByteArray bytes = RenderPowderPlot(scene, QString::fromStdString(files.plotFormat), QSize(1200, 700), &problem);
    if (bytes.isEmpty()) {
      std::fprintf(stderr, "lumora-cli: %s: %s\n", files.plot.c_str(), problem.toUtf8().constData());
      return 1;
    }
    if (!WriteOutput(files.plot, std::string(bytes.constData(), static_cast<std::size_t>(bytes.size())))) return 1;
  }
  return WriteOutput(files.report, linesReport + "\n" + PatternFitReport(outcome, prepared.lines, files.measured)) ? 0 : 1;
}

}  // namespace lumora::cli
