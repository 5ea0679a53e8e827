#include "cli/powder_measured.hpp"

#include "common/number_text.hpp"
#include "common/text.hpp"
#include "powder/pattern_scale.hpp"
#include "powder/peak_search.hpp"
#include "powder/refinement_output.hpp"

namespace lumora::cli {

MeasuredFile ReadMeasured(const std::string& path, std::size_t range) {
  MeasuredFile file = ReadMeasuredFile(path, range - 1);
  if (file.error.empty()) return file;
  const bool rangeFault = file.error.find("asked for, but the file has") != std::string::npos;
  throw UsageError(std::string("option ") + (rangeFault ? "--range" : "--measured") + ": " + file.error);
}

std::string StatedWavelengthLine(const MeasuredFile& file, bool fromFile, double runWavelength) {
  if (!file.wavelength) return {};
  std::string line = "the file states wavelength " + ShortestText(*file.wavelength) + " A (" + file.wavelengthItem;
  if (file.wavelength2) line += "; K-alpha2 " + ShortestText(*file.wavelength2) + " A";
  if (file.ratio) line += ", ratio " + ShortestText(*file.ratio);
  line += "): ";
  if (fromFile) return line + "the run uses it\n";
  return line + "the run uses " + ShortestText(runWavelength) + " A as chosen\n";
}

MeasuredOutput AnalyseMeasured(const MeasuredFile& file, const std::string& path, const Profile& simulated,
                               const PowderOptions& options, const CalculationInputs& inputs, const ParameterTexts& texts,
                               const StructureModel* model, int nDim, const std::string& wavelengthLine) {
  const MeasuredPattern& pattern = file.pattern;
  const std::vector<MeasuredPeak> peaks = FindPeaks(pattern, options.peaks);

  MeasuredOutput out;
  std::string& r = out.report;
  r += "\nMEASURED PATTERN - " + EchoText(path, kShownNameChars) + ": " + std::to_string(pattern.twoTheta.size()) + " points, 2theta " +
       ShortestText(pattern.twoTheta.front()) + " to " + ShortestText(pattern.twoTheta.back()) +
       (pattern.sigma.empty() ? ", no sigma column\n" : ", with sigma column\n");
  // A diffractometer's file: its format and range (the own text files say nothing more).
  if (file.format != "text")
    r += "format " + file.format + ", range " + std::to_string(file.range + 1) + " of " +
         std::to_string(file.ranges.size()) + "\n";
  r += wavelengthLine;
  out.fit = FitScaleAndBackground(simulated, pattern);
  r += "scale of the simulated pattern (least squares over the common range) = " +
       ShortestText(FitScale(simulated, pattern)) + "\n";
  r += "with a constant background: scale = " + ShortestText(out.fit.scale) +
       ", background = " + ShortestText(out.fit.background) + "\n";
  r += std::to_string(peaks.size()) + " peaks (second derivative over " + std::to_string(options.peaks.smoothingPoints) +
       " points, threshold " + ShortestText(options.peaks.threshold) + " x noise)\n";
  const std::string header = "#       2Theta             I";
  r += std::string(header.size(), '-') + "\n" + header + "\n" + std::string(header.size(), '-') + "\n";
  for (std::size_t i = 0; i < peaks.size(); ++i)
    r += PadRight(std::to_string(i + 1), 6) + PadLeft(FormatFixed(peaks[i].twoTheta, 5), 9) +
         PadLeft(FormatFixed(peaks[i].intensity, 4), 14) + "\n";
  std::vector<ObservedPeak> observed;
  for (const MeasuredPeak& peak : peaks) {
    out.peaks.push_back(peak.twoTheta);
    observed.push_back({peak.twoTheta, peak.height});
  }
  out.pattern = pattern;
  if (!options.refineGiven) return out;

  IndexingOptions indexing = options.indexing;
  indexing.measuredLow = pattern.twoTheta.front();
  indexing.measuredHigh = pattern.twoTheta.back();
  indexing.peakWidth = TypicalPeakWidth(peaks);
  out.indexing = IndexPattern(observed, inputs, model, options.Wavelengths(texts, inputs), options.lines, indexing);
  const IndexingResult& result = *out.indexing;
  if (!result.error.empty()) return out;
  r += "\n" + IndexingReport(result, nDim);
  out.json = IndexingJson(result, nDim);
  if (!result.reliable) return out;
  out.refined = true;
  out.a = result.a;
  out.c = result.c;
  out.zero = result.zero;
  out.unindexed = result.unindexed;
  return out;
}

}  // namespace lumora::cli
