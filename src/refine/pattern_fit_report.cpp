#include "refine/pattern_fit_report.hpp"

#include "common/number_text.hpp"
#include "intensity/model_file.hpp"
#include "refine/structure_report.hpp"
#include "report/machine_formats.hpp"

namespace lumora {
namespace {

std::string Figures(const WholePatternOutcome& o) {
  return "Rp = " + FormatFixed(o.rp, 4) + ", Rwp = " + FormatFixed(o.rwp, 4) + ", R_exp = " + FormatFixed(o.rexp, 4) +
         ", chi^2 = " + FormatFixed(o.chi2, 3);
}

}  // namespace

std::string PatternFitReport(const WholePatternOutcome& o, std::size_t lines, const std::string& dataName) {
  std::string out = "WHOLE-PATTERN FIT - " + std::to_string(o.points) + " points, " + std::to_string(o.refinedParameters) +
                    " parameters, " + std::to_string(lines) + " lines of complete orbits\n";
  out += "model: " + (o.refined.model.name.empty() ? std::string("(unnamed)") : o.refined.model.name) +
         (dataName.empty() ? "" : ", data: " + dataName) + RadiationSuffix(o.radiation) + "\n";
  out += "least squares on the counts, w = 1/sigma^2\n";
  out += Figures(o) + "\n";
  out += std::to_string(o.iterations) + " iterations, largest last shift " + FormatFixed(o.maxShiftOverSu, 4) + " su\n\n";
  return out + ParametersText(o.parameters, o.refinedIndex, o.correlations, o.candidates, o.chi2);
}

std::string PatternFitJson(const WholePatternOutcome& o, std::size_t lines) {
  if (o.status != RefinementStatus::Refined) return RefusalJson(o.status, o.error);
  const auto number = [](double v) { return ShortestText(v); };
  std::string out = "{\n  \"status\": \"refined\",\n";
  out += "  \"Rp\": " + number(o.rp) + ", \"Rwp\": " + number(o.rwp) + ", \"Rexp\": " + number(o.rexp) +
         ", \"chi2\": " + number(o.chi2) + ",\n";
  out += "  \"points\": " + std::to_string(o.points) + ", \"refined_parameters\": " + std::to_string(o.refinedParameters) +
         ", \"iterations\": " + std::to_string(o.iterations) + ", \"lines\": " + std::to_string(lines) + ",\n";
  return out + ParametersJson(o.parameters, o.refinedIndex, o.correlations, o.candidates) + "\n}\n";
}

std::string PatternFitModelText(const WholePatternOutcome& o, const std::string& dataName) {
  const PatternState& p = o.refined.pattern;
  std::string out = "# refined by Lumora's whole-pattern fit" + (dataName.empty() ? std::string() : " of " + dataName) +
                    ": " + Figures(o) + "\n";
  out += "# a = " + ShortestText(p.a) + ", c = " + ShortestText(p.c) + ", zero = " + ShortestText(p.zero) +
         ", U, V, W = " + ShortestText(p.u) + ", " + ShortestText(p.v) + ", " + ShortestText(p.w) +
         ", eta = " + ShortestText(p.eta) + ", scale = " + ShortestText(o.refined.scale) + "\n";
  return out + ModelText(o.refined.model);
}

}  // namespace lumora
