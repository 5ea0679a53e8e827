#include "powder/refinement_output.hpp"

#include "common/number_text.hpp"
#include "common/text.hpp"
#include "powder/powder_files.hpp"
#include "report/machine_formats.hpp"

namespace lumora {
namespace {

std::string SearchText(const IndexingResult& r) {
  const CellBox& b = r.searched;
  auto span = [](double low, double high, const char* unit) {
    return low == high ? ShortestText(low) + unit + " (fixed)" : FormatFixed(low, 4) + " to " + FormatFixed(high, 4) + unit;
  };
  std::string out = (r.abInitio ? "ab initio search: a " : "search about the start: a ") + span(b.aLow, b.aHigh, " A");
  if (r.hasC) out += ", c " + span(b.cLow, b.cHigh, " A");
  return out + ", zero " + span(b.zeroLow, b.zeroHigh, " degrees");
}

}  // namespace

std::string ComponentName(StickComponent component) {
  switch (component) {
    case StickComponent::KAlpha1: return "K-alpha1";
    case StickComponent::KAlpha2: return "K-alpha2";
    case StickComponent::Blend: return "blend";
  }
  return "";
}

std::string CandidatesText(const IndexingResult& r) {
  std::string out = "#         a          c      zero         W        C  indexed     F(N)    M(20)\n";
  std::size_t number = 0;
  for (const IndexingCandidate& c : r.candidates)
    out += PadRight(std::to_string(++number), 3) + PadLeft(FormatFixed(c.a, 5), 10) +
           PadLeft(r.hasC ? FormatFixed(c.c, 4) : std::string("-"), 11) + PadLeft(FormatFixed(c.zero, 4), 10) +
           PadLeft(FormatFixed(c.figureOfMerit, 1), 10) + PadLeft(FormatFixed(c.match, 3), 9) +
           PadLeft(std::to_string(c.indexed), 9) + PadLeft(FormatFixed(c.fN, 1), 9) + PadLeft(FormatFixed(c.m20, 1), 9) +
           "\n";
  return out;
}

std::string IndexingReport(const IndexingResult& r, int nDim) {
  const std::size_t peaks = r.indexed.size() + r.unindexed.size();
  std::string out = "INDEXING - " + std::to_string(peaks) + " peaks, " + std::to_string(r.indexed.size()) +
                    " indexed within " + ShortestText(r.tolerance) + " degrees, " + std::to_string(r.iterations) +
                    " iterations\n";
  out += r.reliable ? "reliable: every criterion below is met\n"
                    : "no reliable solution: " + r.Refusal() + "\n  (the values below are the best candidate's; do not use them)\n";
  out += SearchText(r) + "\n";
  out += "wavelength model: " + r.wavelength.Describe() +
         (r.wavelengthNote.empty() ? "" : " (" + r.wavelengthNote + ")") + "; line intensities: " + r.strengthSource + "\n";
  auto row = [&out](const char* name, bool refined, double value, double su, const char* unit) {
    out += PadRight(name, 5) + "= " + (refined ? ValueWithSu(value, su, 6) : FormatFixed(value, 6) + " (fixed)") + " " +
           unit + "\n";
  };
  row("a", r.refineA, r.a, r.aSu, "A");
  if (nDim == 5) row("c", r.refineC, r.c, r.cSu, "A");
  row("zero", r.refineZero, r.zero, r.zeroSu, "degrees 2theta");
  const IndexingFigures& f = r.figures;
  out += "figure of merit W = C x F(N) = " + FormatFixed(f.merit, 1) + "\n";
  out += "intensity match C = " + FormatFixed(f.match, 3) + ", F(N) = " + FormatFixed(f.fN, 1) + " (N = " +
         std::to_string(peaks) + ", Nposs = " + std::to_string(f.possibleLines) +
         ", mean |d2theta| = " + FormatFixed(f.meanDifference, 5) + "), M(" + std::to_string(f.m20Peaks) +
         ") = " + FormatFixed(f.m20, 1) + " (N20 = " + std::to_string(f.m20Lines) + ")\n";
  out += "least squares: " + std::to_string(r.peaksInFit) + " of the " + std::to_string(r.indexed.size()) +
         " indexed peaks; the su rest on them alone: peaks marked ambiguous (another line explains them at least "
         "half as well), blurred (a K-alpha doublet's other half moves them) or off (far off their line) are not fitted";
  out += "\ncriteria:\n";
  for (const Criterion& c : r.criteria) out += "  " + c.Text() + "\n";
  out += "candidates (best first):\n" + CandidatesText(r);
  std::string header = "#    2Theta obs  2Theta calc     diff         d  Mult";
  for (int i = 1; i <= nDim; ++i) header += PadLeft("h" + std::to_string(i), 4);
  out += std::string(header.size(), '-') + "\n" + header + "\n" + std::string(header.size(), '-') + "\n";
  std::size_t number = 0;
  for (const IndexedPeak& p : r.indexed) {
    std::string line = PadRight(std::to_string(++number), 5) + PadLeft(FormatFixed(p.observed, 5), 11) +
                       PadLeft(FormatFixed(p.calculated, 5), 13) + PadLeft(FormatFixed(p.difference, 5), 9) +
                       PadLeft(FormatFixed(p.d, 5), 10) + PadLeft(std::to_string(p.multiplicity), 6);
    for (int i = 0; i < nDim; ++i) line += PadLeft(std::to_string(p.index[static_cast<std::size_t>(i)]), 4);
    if (p.component != StickComponent::KAlpha1) line += "  " + ComponentName(p.component);
    if (p.ambiguous) line += "  ambiguous";
    if (p.blurred) line += "  blurred";
    if (p.outlier) line += "  off";
    if (!p.inFit) line += "  (not fitted)";
    out += line + "\n";
  }
  out += "unindexed:";
  if (r.unindexed.empty()) out += " none";
  for (double t : r.unindexed) out += " " + FormatFixed(t, 5);
  return out + "\n";
}

std::string IndexingJson(const IndexingResult& r, int nDim) {
  auto number = [](double v) { return ShortestText(v); };
  auto boolean = [](bool b) { return std::string(b ? "true" : "false"); };
  std::string out = "{\n";
  out += "  \"reliable\": " + boolean(r.reliable) + ", \"refusal\": " + JsonString(r.Refusal()) + ",\n";
  out += "  \"criteria\": [";
  for (std::size_t k = 0; k < r.criteria.size(); ++k) {
    const Criterion& c = r.criteria[k];
    out += std::string(k ? "," : "") + "\n    {\"name\": " + JsonString(c.name) + ", \"description\": " +
           JsonString(c.description) + ", \"value\": " + number(c.value) + ", \"limit\": " + number(c.limit) +
           ", \"at_least\": " + boolean(c.atLeast) + ", \"passed\": " + boolean(c.passed) + "}";
  }
  out += r.criteria.empty() ? "],\n" : "\n  ],\n";
  out += "  \"candidates\": [";
  for (std::size_t k = 0; k < r.candidates.size(); ++k) {
    const IndexingCandidate& c = r.candidates[k];
    out += std::string(k ? "," : "") + "\n    {\"a\": " + number(c.a) + ", \"c\": " + number(c.c) +
           ", \"zero\": " + number(c.zero) + ", \"figure_of_merit\": " + number(c.figureOfMerit) +
           ", \"intensity_match\": " + number(c.match) + ", \"indexed\": " + std::to_string(c.indexed) +
           ", \"f_n\": " + number(c.fN) + ", \"m20\": " + number(c.m20) + "}";
  }
  out += r.candidates.empty() ? "],\n" : "\n  ],\n";
  out += "  \"a\": " + number(r.a) + ", \"a_su\": " + number(r.aSu) + ",\n";
  out += "  \"c\": " + number(r.c) + ", \"c_su\": " + number(r.cSu) + ",\n";
  out += "  \"zero\": " + number(r.zero) + ", \"zero_su\": " + number(r.zeroSu) + ",\n";
  std::string refined;
  for (const auto& [on, name] : {std::pair{r.refineA, "a"}, {r.refineC, "c"}, {r.refineZero, "zero"}})
    if (on) refined += (refined.empty() ? "" : ", ") + JsonString(name);
  out += "  \"refined\": [" + refined + "],\n";
  out += "  \"figure_of_merit\": " + number(r.figures.merit) + ", \"figure_of_merit_name\": " +
         JsonString("W = C x F(N)") + ",\n";
  out += "  \"intensity_match\": " + number(r.figures.match) + ", \"f_n\": " + number(r.figures.fN) +
         ", \"m20\": " + number(r.figures.m20) + ",\n";
  out += "  \"mean_difference\": " + number(r.figures.meanDifference) + ", \"possible_lines\": " +
         std::to_string(r.figures.possibleLines) + ",\n";
  out += "  \"index_tolerance\": " + number(r.tolerance) + ", \"iterations\": " + std::to_string(r.iterations) + ",\n";
  out += "  \"wavelength_model\": " + JsonString(WavelengthModelName(r.wavelength.model)) + ", \"wavelengths\": [" +
         number(r.wavelength.kAlpha1) +
         (r.wavelength.model == WavelengthModel::Doublet ? ", " + number(r.wavelength.kAlpha2) : std::string()) +
         "], \"wavelength_ratio\": " + number(r.wavelength.ratio) + ", \"wavelength_note\": " +
         JsonString(r.wavelengthNote) + ",\n";
  out += "  \"line_strengths\": " + JsonString(r.strengthSource) + ",\n";
  const CellBox& b = r.searched;
  out += "  \"search\": {\"ab_initio\": " + boolean(r.abInitio) + ", \"a\": [" + number(b.aLow) + ", " +
         number(b.aHigh) + "], \"c\": [" + number(b.cLow) + ", " + number(b.cHigh) + "], \"zero\": [" +
         number(b.zeroLow) + ", " + number(b.zeroHigh) + "]},\n";
  out += "  \"peaks\": [";
  for (std::size_t k = 0; k < r.indexed.size(); ++k) {
    const IndexedPeak& p = r.indexed[k];
    out += std::string(k ? "," : "") + "\n    {\"observed\": " + number(p.observed) + ", \"intensity\": " +
           number(p.intensity) + ", \"calculated\": " + number(p.calculated) + ", \"difference\": " +
           number(p.difference) + ", \"index\": [" + IndexText(p.index, nDim, ", ") + "], \"multiplicity\": " +
           std::to_string(p.multiplicity) + ", \"d\": " + number(p.d) + ", \"component\": " +
           JsonString(ComponentName(p.component)) + ", \"k_alpha2\": " + boolean(p.component == StickComponent::KAlpha2) +
           ", \"ambiguous\": " + boolean(p.ambiguous) + ", \"blurred\": " + boolean(p.blurred) +
           ", \"outlier\": " + boolean(p.outlier) + ", \"in_fit\": " + boolean(p.inFit) + "}";
  }
  out += r.indexed.empty() ? "],\n" : "\n  ],\n";
  out += "  \"unindexed\": [";
  for (std::size_t k = 0; k < r.unindexed.size(); ++k) out += (k ? ", " : "") + number(r.unindexed[k]);
  return out + "]\n}\n";
}

}  // namespace lumora
