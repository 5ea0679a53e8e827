#include "powder/powder_files.hpp"

#include <cctype>

#include "common/number_text.hpp"

namespace lumora {

std::string IndexText(const std::array<int, 6>& h, int nDim, const char* separator) {
  std::string text;
  for (int i = 0; i < nDim; ++i) {
    if (i) text += separator;
    text += std::to_string(h[static_cast<std::size_t>(i)]);
  }
  return text;
}

std::string PowderLinesCsv(const PowderLines& lines, int nDim) {
  std::string out = "two_theta,d,multiplicity,intensity,indices,qi\n";
  for (const PowderLine& line : lines.lines) {
    out += ShortestText(line.twoTheta) + "," + ShortestText(line.d) + "," + std::to_string(line.multiplicity) + "," +
           ShortestText(line.intensity) + ",";
    for (std::size_t k = 0; k < line.indices.size(); ++k) out += (k ? ";" : "") + IndexText(line.indices[k], nDim, " ");
    out += ",";
    for (std::size_t k = 0; k < line.qi.size(); ++k) out += (k ? ";" : "") + ShortestText(line.qi[k]);
    out += "\n";
  }
  return out;
}

std::string PowderLinesJson(const PowderLines& lines, int nDim) {
  std::size_t cut = 0;
  std::string rows;
  for (const PowderLine& line : lines.lines) {
    const bool incomplete = line.completeMultiplicity > line.multiplicity;
    cut += incomplete ? 1 : 0;
    rows += std::string(rows.empty() ? "" : ",\n") + "    {\"two_theta\": " + ShortestText(line.twoTheta) +
            ", \"d\": " + ShortestText(line.d) + ", \"multiplicity\": " + std::to_string(line.multiplicity);
    if (line.completeMultiplicity > 0)
      rows += ", \"complete_multiplicity\": " + std::to_string(line.completeMultiplicity);
    rows += std::string(", \"incomplete\": ") + (incomplete ? "true" : "false") +
            ", \"intensity\": " + ShortestText(line.intensity) + ", \"indices\": [";
    for (std::size_t k = 0; k < line.indices.size(); ++k)
      rows += (k ? ", [" : "[") + IndexText(line.indices[k], nDim, ", ") + "]";
    rows += "], \"qi\": [";
    for (std::size_t k = 0; k < line.qi.size(); ++k) rows += (k ? ", " : "") + ShortestText(line.qi[k]);
    rows += "]}";
  }
  return "{\n  \"incomplete_lines\": " + std::to_string(cut) +
         ",\n  \"dropped_at_backscatter\": " + std::to_string(lines.droppedAtBackscatter) + ",\n  \"lines\": [\n" +
         rows + "\n  ]\n}\n";
}

std::string PowderPatternText(const Profile& profile, bool csv) {
  std::string out = csv ? "two_theta,intensity\n" : "# 2theta intensity\n";
  const char* separator = csv ? "," : " ";
  for (std::size_t i = 0; i < profile.twoTheta.size(); ++i)
    out += FormatFixed(profile.twoTheta[i], 6) + separator + ShortestText(profile.intensity[i]) + "\n";
  return out;
}

bool HasExtension(const std::string& name, std::string_view extension) {
  if (name.size() < extension.size()) return false;
  std::string tail = name.substr(name.size() - extension.size());
  for (char& ch : tail) ch = static_cast<char>(std::tolower(static_cast<unsigned char>(ch)));
  return tail == extension;
}

bool EndsWithCsv(const std::string& name) { return HasExtension(name, ".csv"); }

}  // namespace lumora
