#include "powder/refinement_output.hpp"

#include "common/number_text.hpp"
#include "common/text.hpp"
#include "powder/powder_files.hpp"
#include "report/machine_formats.hpp"

namespace lumora {

std::string RefinementReport(const RefinementResult& r, const RefineOptions& o, int nDim, double wavelength) {
  const std::size_t peaks = r.indexed.size() + r.unindexed.size();
  std::string out = "REFINEMENT - " + std::to_string(peaks) + " peaks, " + std::to_string(r.indexed.size()) +
                    " indexed within " + ShortestText(o.tolerance) + " degrees, " + std::to_string(r.iterations) +
                    " iterations\n";
  out += "wavelength = " + FormatFixed(wavelength, 6) + " A\n";
  auto row = [&out](const char* name, bool refined, double value, double su, const char* unit) {
    out += PadRight(name, 5) + "= " + (refined ? ValueWithSu(value, su, 6) : FormatFixed(value, 6) + " (fixed)") + " " +
           unit + "\n";
  };
  row("a", o.refineA, r.a, r.aSu, "A");
  if (nDim == 5) row("c", o.refineC, r.c, r.cSu, "A");
  row("zero", o.refineZero, r.zero, r.zeroSu, "degrees 2theta");
  out += r.figureOfMeritName + " = " + FormatFixed(r.figureOfMerit, 1) + "  (N = " + std::to_string(peaks) +
         ", Nposs = " + std::to_string(r.possibleLines) + ", mean |d2theta| = " + FormatFixed(r.meanDifference, 5) +
         ")\n";
  std::string header = "#    2Theta obs  2Theta calc     diff         d  Mult";
  for (int i = 1; i <= nDim; ++i) header += PadLeft("h" + std::to_string(i), 4);
  out += std::string(header.size(), '-') + "\n" + header + "\n" + std::string(header.size(), '-') + "\n";
  std::size_t number = 0;
  for (const IndexedPeak& p : r.indexed) {
    std::string line = PadRight(std::to_string(++number), 5) + PadLeft(FormatFixed(p.observed, 5), 11) +
                       PadLeft(FormatFixed(p.calculated, 5), 13) + PadLeft(FormatFixed(p.difference, 5), 9) +
                       PadLeft(FormatFixed(p.d, 5), 10) + PadLeft(std::to_string(p.multiplicity), 6);
    for (int i = 0; i < nDim; ++i) line += PadLeft(std::to_string(p.index[static_cast<std::size_t>(i)]), 4);
    out += line + (p.secondWavelength ? "  K-alpha2" : "") + "\n";
  }
  out += "unindexed:";
  if (r.unindexed.empty()) out += " none";
  for (double t : r.unindexed) out += " " + FormatFixed(t, 5);
  return out + "\n";
}

std::string RefinementJson(const RefinementResult& r, const RefineOptions& o, int nDim) {
  auto number = [](double v) { return ShortestText(v); };
  std::string out = "{\n";
  out += "  \"a\": " + number(r.a) + ", \"a_su\": " + number(r.aSu) + ",\n";
  out += "  \"c\": " + number(r.c) + ", \"c_su\": " + number(r.cSu) + ",\n";
  out += "  \"zero\": " + number(r.zero) + ", \"zero_su\": " + number(r.zeroSu) + ",\n";
  std::string refined;
  for (const auto& [on, name] : {std::pair{o.refineA, "a"}, {o.refineC, "c"}, {o.refineZero, "zero"}})
    if (on) refined += (refined.empty() ? "" : ", ") + JsonString(name);
  out += "  \"refined\": [" + refined + "],\n";
  out += "  \"figure_of_merit\": " + number(r.figureOfMerit) + ",\n";
  out += "  \"figure_of_merit_name\": " + JsonString(r.figureOfMeritName) + ",\n";
  out += "  \"mean_difference\": " + number(r.meanDifference) + ", \"possible_lines\": " +
         std::to_string(r.possibleLines) + ",\n";
  out += "  \"index_tolerance\": " + number(o.tolerance) + ", \"iterations\": " + std::to_string(r.iterations) + ",\n";
  out += "  \"peaks\": [";
  for (std::size_t k = 0; k < r.indexed.size(); ++k) {
    const IndexedPeak& p = r.indexed[k];
    out += std::string(k ? "," : "") + "\n    {\"observed\": " + number(p.observed) +
           ", \"calculated\": " + number(p.calculated) + ", \"difference\": " + number(p.difference) +
           ", \"index\": [" + IndexText(p.index, nDim, ", ") + "], \"multiplicity\": " + std::to_string(p.multiplicity) +
           ", \"d\": " + number(p.d) + ", \"k_alpha2\": " + (p.secondWavelength ? "true" : "false") + "}";
  }
  out += r.indexed.empty() ? "],\n" : "\n  ],\n";
  out += "  \"unindexed\": [";
  for (std::size_t k = 0; k < r.unindexed.size(); ++k) out += (k ? ", " : "") + number(r.unindexed[k]);
  return out + "]\n}\n";
}

}  // namespace lumora
