#include "refine/structure_report.hpp"

#include <gemmi/cifdoc.hpp>

#include <cmath>

#include "common/number_text.hpp"
#include "common/text.hpp"
#include "intensity/model_file.hpp"
#include "powder/refinement_output.hpp"
#include "report/machine_formats.hpp"

namespace lumora {
namespace {

std::string Fixed(double v, int decimals) { return FormatFixed(v, decimals); }

std::string Indices(const IndexVector& h, int nDim, std::size_t width) {
  std::string out;
  for (int i = 0; i < nDim; ++i) out += PadLeft(std::to_string(h[static_cast<std::size_t>(i)]), width);
  return out;
}

std::string JsonIndices(const IndexVector& h, int nDim) {
  std::string out = "[";
  for (int i = 0; i < nDim; ++i) out += (i ? ", " : "") + std::to_string(h[static_cast<std::size_t>(i)]);
  return out + "]";
}

std::string FiguresLine(const RefinementOutcome& o) {
  return "R1 = " + Fixed(o.r1, 4) + " (" + std::to_string(o.strongObservations) + " reflections with I > 2 sigma), wR2 = " +
         Fixed(o.wR2, 4) + ", GoF = " + Fixed(o.gof, 3);
}

std::string DataLine(const RefinementContext& c) {
  if (!c.data) return "";
  const MergedData& d = *c.data;
  std::string line = std::to_string(d.measurements) + " measurements";
  if (d.group == "none") return line + ", not merged";
  return line + " merged in " + d.group + " to " + std::to_string(d.reflections.size()) + " reflections (" +
         std::to_string(d.multiple) + " measured more than once, R_int = " + Fixed(d.rInt, 4) + ")";
}

}  // namespace

std::string ParametersText(const std::vector<RefinedValue>& parameters, const std::vector<std::size_t>& refinedIndex,
                           const std::vector<double>& correlations, const std::vector<RefinementCandidate>& candidates,
                           double chi2) {
  std::string out;
  std::size_t width = 9;
  for (const RefinedValue& p : parameters) width = std::max(width, p.name.size() + 2);
  out += PadRight("parameter", width) + PadLeft("start", 12) + "   value +- su\n";
  for (const RefinedValue& p : parameters)
    out += PadRight(p.name, width) + PadLeft(ShortestText(p.start), 12) + "   " +
           (p.atBound ? FormatFixed(p.value, 6) + " (held at its bound)" : ValueWithSu(p.value, p.su, 6)) + "\n";
  const std::size_t q = refinedIndex.size();
  out += "\ncorrelations (* where |r| > " + FormatFixed(kHighCorrelation, 1) + ")\n";
  for (std::size_t a = 0; a < q; ++a) {
    std::string line = PadLeft(std::to_string(a + 1), 3) + " " + PadRight(parameters[refinedIndex[a]].name, width);
    for (std::size_t b = 0; b <= a; ++b) {
      const double r = correlations[a * q + b];
      line += PadLeft(FormatFixed(r, 2), 7) + (a != b && std::fabs(r) > kHighCorrelation ? "*" : " ");
    }
    out += line + "\n";
  }
  if (!candidates.empty()) {
    out += "\nother minima found (sum w d^2; the solution: " + ShortestText(chi2) + ")\n";
    for (const RefinementCandidate& cand : candidates) {
      std::string line = "  " + ShortestText(cand.chi2) + ":";
      for (std::size_t k = 0; k < cand.values.size(); ++k)
        line += (k ? ", " : " ") + parameters[k].name + " = " + ShortestText(cand.values[k]);
      out += line + "\n";
    }
  }
  return out;
}

std::string ParametersJson(const std::vector<RefinedValue>& parameters, const std::vector<std::size_t>& refinedIndex,
                           const std::vector<double>& correlations, const std::vector<RefinementCandidate>& candidates) {
  const auto number = [](double v) { return ShortestText(v); };
  std::string out = "  \"parameters\": [\n";
  for (std::size_t k = 0; k < parameters.size(); ++k) {
    const RefinedValue& p = parameters[k];
    out += "    {\"name\": " + JsonString(p.name) + ", \"value\": " + number(p.value) + ", \"su\": " + number(p.su) +
           ", \"start\": " + number(p.start) + ", \"at_bound\": " + (p.atBound ? "true" : "false") + "}" +
           (k + 1 < parameters.size() ? "," : "") + "\n";
  }
  out += "  ],\n  \"correlations\": {\"names\": [";
  const std::size_t q = refinedIndex.size();
  for (std::size_t a = 0; a < q; ++a) out += (a ? ", " : "") + JsonString(parameters[refinedIndex[a]].name);
  out += "], \"matrix\": [";
  for (std::size_t a = 0; a < q; ++a) {
    out += a ? ", [" : "[";
    for (std::size_t b = 0; b < q; ++b) out += (b ? ", " : "") + number(correlations[a * q + b]);
    out += "]";
  }
  out += "]},\n  \"candidates\": [";
  for (std::size_t k = 0; k < candidates.size(); ++k) {
    out += std::string(k ? ", " : "") + "{\"chi2\": " + number(candidates[k].chi2) + ", \"values\": [";
    for (std::size_t j = 0; j < candidates[k].values.size(); ++j) out += (j ? ", " : "") + number(candidates[k].values[j]);
    out += "]}";
  }
  return out + "]";
}

std::string RefusalJson(RefinementStatus status, const std::string& error) {
  return std::string("{\n  \"status\": ") + (status == RefinementStatus::Cancelled ? "\"cancelled\"" : "\"refused\"") +
         ",\n  \"error\": " + JsonString(error) + "\n}\n";
}

std::string RadiationSuffix(RadiationKind radiation) {
  return radiation == RadiationKind::XRay ? std::string() : ", " + RadiationName(radiation);
}

std::string WeightingText(const Weighting& w) {
  if (w.a == 0.0 && w.b == 0.0) return "w = 1/sigma^2";
  return "w = 1/(sigma^2 + (" + ShortestText(w.a) + " P)^2 + " + ShortestText(w.b) + " P), P = (max(Io,0) + 2 Ic)/3";
}

std::string StructureRefinementReport(const RefinementOutcome& o, const RefinementContext& c) {
  std::string out = "LUMORA STRUCTURE REFINEMENT - " + std::to_string(o.observations) + " reflections, " +
                    std::to_string(o.refinedParameters) + " parameters\n";
  out += "model: " + (o.refined.model.name.empty() ? std::string("(unnamed)") : o.refined.model.name) +
         (c.dataName.empty() ? "" : ", data: " + c.dataName) + RadiationSuffix(o.radiation) + "\n";
  if (c.data) out += DataLine(c) + "\n";
  out += "least squares on F^2, " + WeightingText(c.weighting) + "\n";
  out += FiguresLine(o) + "\n";
  out += std::to_string(o.iterations) + " iterations, largest last shift " + Fixed(o.maxShiftOverSu, 4) + " su\n\n";

  out += ParametersText(o.parameters, o.refinedIndex, o.correlations, o.candidates, o.chi2);
  out += "\nworst-fitting reflections\n";
  std::string head;
  for (int i = 1; i <= c.nDim; ++i) head += PadLeft("h" + std::to_string(i), 5);
  out += head + PadLeft("I obs", 14) + PadLeft("sigma", 12) + PadLeft("I calc", 14) + PadLeft("d/sigma", 10) + "\n";
  for (std::size_t i : o.worst) {
    const FittedReflection& f = o.reflections[i];
    const double z = (f.observed - f.calculated) * std::sqrt(f.weight);
    out += Indices(f.h, c.nDim, 5) + PadLeft(Fixed(f.observed, 3), 14) + PadLeft(Fixed(f.sigma, 3), 12) +
           PadLeft(Fixed(f.calculated, 3), 14) + PadLeft(Fixed(z, 2), 10) + "\n";
  }
  return out;
}

std::string StructureRefinementJson(const RefinementOutcome& o, const RefinementContext& c) {
  const auto number = [](double v) { return ShortestText(v); };
  if (o.status != RefinementStatus::Refined) return RefusalJson(o.status, o.error);
  std::string out = "{\n  \"status\": \"refined\",\n";
  out += "  \"R1\": " + number(o.r1) + ", \"wR2\": " + number(o.wR2) + ", \"GoF\": " + number(o.gof) + ",\n";
  out += "  \"observations\": " + std::to_string(o.observations) + ", \"strong_observations\": " +
         std::to_string(o.strongObservations) + ", \"refined_parameters\": " + std::to_string(o.refinedParameters) +
         ", \"iterations\": " + std::to_string(o.iterations) + ",\n";
  if (c.data)
    out += "  \"measurements\": " + std::to_string(c.data->measurements) + ", \"merged_in\": " + JsonString(c.data->group) +
           ", \"R_int\": " + number(c.data->rInt) + ",\n";
  out += "  \"weighting\": " + JsonString(WeightingText(c.weighting)) + ",\n";
  out += ParametersJson(o.parameters, o.refinedIndex, o.correlations, o.candidates);
  out += ",\n  \"worst\": [";
  for (std::size_t k = 0; k < o.worst.size(); ++k) {
    const FittedReflection& f = o.reflections[o.worst[k]];
    out += std::string(k ? ",\n    " : "\n    ") + "{\"index\": " + JsonIndices(f.h, c.nDim) + ", \"observed\": " +
           number(f.observed) + ", \"sigma\": " + number(f.sigma) + ", \"calculated\": " + number(f.calculated) + "}";
  }
  return out + "\n  ]\n}\n";
}

std::string StructureRefinementCif(const RefinementOutcome& o, const RefinementContext& c) {
  using gemmi::cif::quote;
  std::string out = "data_lumora_refinement\n";
  out += "_computing_structure_refinement " + quote("Lumora") + "\n";
  out += "_refine_ls_structure_factor_coef Fsqd\n";
  out += "_refine_ls_weighting_scheme calc\n";
  out += "_refine_ls_weighting_details " + quote(WeightingText(c.weighting)) + "\n";
  out += "_refine_ls_number_reflns " + std::to_string(o.observations) + "\n";
  out += "_refine_ls_number_parameters " + std::to_string(o.refinedParameters) + "\n";
  out += "_refine_ls_R_factor_gt " + ShortestText(o.r1) + "\n";
  out += "_reflns_number_gt " + std::to_string(o.strongObservations) + "\n";
  out += "_reflns_threshold_expression " + quote("I>2sigma(I)") + "\n";
  out += "_refine_ls_wR_factor_ref " + ShortestText(o.wR2) + "\n";
  out += "_refine_ls_goodness_of_fit_ref " + ShortestText(o.gof) + "\n";
  out += "_refine_ls_shift/su_max " + ShortestText(o.maxShiftOverSu) + "\n";
  if (c.data && c.data->group != "none") out += "_diffrn_reflns_av_R_equivalents " + ShortestText(c.data->rInt) + "\n";
  out += "\nloop_\n_lumora_refined_parameter_name\n_lumora_refined_parameter_value\n_lumora_refined_parameter_su\n";
  for (const RefinedValue& p : o.parameters)
    out += quote(p.name) + " " + ShortestText(p.value) + " " + (p.atBound ? std::string(".") : ShortestText(p.su)) + "\n";
  static const char* tags[] = {"_refln_index_h", "_refln_index_k", "_refln_index_l",
                               "_refln_index_m_1", "_refln_index_m_2", "_refln_index_m_3"};
  out += "\nloop_\n";
  for (int i = 0; i < c.nDim; ++i) out += std::string(tags[i]) + "\n";
  out += "_refln_F_squared_meas\n_refln_F_squared_sigma\n_refln_F_squared_calc\n";
  for (const FittedReflection& f : o.reflections)
    out += Indices(f.h, c.nDim, 4) + " " + ShortestText(f.observed) + " " + ShortestText(f.sigma) + " " +
           ShortestText(f.calculated) + "\n";
  return out;
}

std::string RefinedModelText(const RefinementOutcome& o, const RefinementContext& c) {
  std::string out = "# refined by Lumora" + (c.dataName.empty() ? std::string() : " against " + c.dataName) + ": " +
                    FiguresLine(o) + "\n";
  out += "# scale = " + ShortestText(o.refined.scale) + ", extinction = " + ShortestText(o.refined.extinction) + "\n";
  return out + ModelText(o.refined.model);
}

}  // namespace lumora
