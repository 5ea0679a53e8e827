#include "powder/powder_cif.hpp"

#include <cmath>

#include "common/number_text.hpp"

namespace lumora {
namespace {

std::string Number(double v) { return ShortestText(v == 0.0 ? 0.0 : v); }  // no "-0"

gemmi::cif::Block& NewBlock(gemmi::cif::Document& document, const char* name, const PowderCifRun& run) {
  document.blocks.emplace_back(name);
  gemmi::cif::Block& block = document.blocks.back();
  AddRunHeader(block, run.result, run.summary, run.beam, run.model);
  return block;
}

std::vector<std::string> Tags(const char* prefix, std::initializer_list<const char*> names) {
  std::vector<std::string> tags;
  for (const char* name : names) tags.push_back(std::string(prefix) + name);
  return tags;
}

}  // namespace

std::string PatternCif(const PowderCifRun& run, const Profile& profile, const ProfileOptions& options,
                       const MeasuredPattern* measured, const ScaleAndBackground& fit) {
  gemmi::cif::Document document;
  gemmi::cif::Block& block = NewBlock(document, "lumora_powder_pattern", run);
  block.set_pair("_pd_calc_method", CifTextValue("pseudo-Voigt peaks of the powder lines, Caglioti widths"));
  block.set_pair("_lumora_profile_caglioti_uvw", CifTextValue(Number(options.u) + " " + Number(options.v) + " " +
                                                              Number(options.w)));
  block.set_pair("_lumora_profile_eta", Number(options.eta));
  block.set_pair("_lumora_profile_zero_shift", Number(options.zeroShift));
  block.set_pair("_lumora_profile_doublet",
                 options.doublet ? CifTextValue(Number((*options.doublet)[0]) + " " + Number((*options.doublet)[1]))
                                 : std::string("."));
  if (!measured) {
    const std::size_t n = profile.twoTheta.size();
    block.set_pair("_pd_proc_number_of_points", std::to_string(n));
    if (n) {
      block.set_pair("_pd_proc_2theta_range_min", Number(profile.twoTheta.front()));
      block.set_pair("_pd_proc_2theta_range_max", Number(profile.twoTheta.back()));
      block.set_pair("_pd_proc_2theta_range_inc", Number(options.step));
    }
    gemmi::cif::Loop& loop = block.init_loop("_pd_", Tags("", {"proc_2theta_corrected", "calc_intensity_total"}));
    for (std::size_t i = 0; i < n; ++i) loop.add_row({Number(profile.twoTheta[i]), Number(profile.intensity[i])});
    return CifText(document);
  }
  const MeasuredPattern& m = *measured;
  const bool weights = !m.sigma.empty();
  block.set_pair("_pd_meas_number_of_points", std::to_string(m.twoTheta.size()));
  block.set_pair("_lumora_profile_scale", Number(fit.scale));
  block.set_pair("_lumora_profile_background", Number(fit.background));
  std::vector<std::string> tags = Tags("", {"meas_2theta_scan", "meas_intensity_total", "calc_intensity_total"});
  if (weights) tags.emplace_back("proc_ls_weight");
  gemmi::cif::Loop& loop = block.init_loop("_pd_", tags);
  for (std::size_t i = 0; i < m.twoTheta.size(); ++i) {
    const double c = InterpolateLinear(profile.twoTheta, profile.intensity, m.twoTheta[i]);
    std::vector<std::string> row = {Number(m.twoTheta[i]), Number(m.intensity[i]),
                                    std::isfinite(c) ? Number(fit.scale * c + fit.background) : std::string("?")};
    if (weights) row.push_back(Number(1.0 / (m.sigma[i] * m.sigma[i])));
    loop.add_row(row);
  }
  return CifText(document);
}

std::string LinesCif(const PowderCifRun& run, const PowderLines& lines, const LineOptions& options) {
  gemmi::cif::Document document;
  gemmi::cif::Block& block = NewBlock(document, "lumora_powder_lines", run);
  block.set_pair("_lumora_line_d_tolerance", Number(options.tolerance));
  block.set_pair("_lumora_monochromator_2theta", Number(options.monochromatorTwoTheta));
  block.set_pair("_lumora_lines_left_at_backscatter", std::to_string(lines.droppedAtBackscatter));
  gemmi::cif::Loop& peaks = block.init_loop(
      "", {"_pd_peak_id", "_pd_peak_2theta_centroid", "_pd_peak_d_spacing", "_pd_peak_intensity",
           "_lumora_peak_multiplicity"});
  std::size_t id = 0;
  for (const PowderLine& line : lines.lines)
    peaks.add_row({std::to_string(++id), Number(line.twoTheta), Number(line.d), Number(line.intensity),
                   std::to_string(line.multiplicity)});
  const int n = run.result.lattice.nDim;
  std::vector<std::string> tags;
  for (const std::string& tag : IndexTags(n)) tags.push_back("_refln_" + tag);
  tags.emplace_back("_lumora_refln_q_internal");
  tags.emplace_back("_pd_refln_peak_id");
  gemmi::cif::Loop& reflections = block.init_loop("", tags);
  id = 0;
  for (const PowderLine& line : lines.lines) {
    ++id;
    for (std::size_t k = 0; k < line.indices.size(); ++k) {
      std::vector<std::string> row;
      for (int i = 0; i < n; ++i) row.push_back(std::to_string(line.indices[k][static_cast<std::size_t>(i)]));
      row.push_back(Number(line.qi[k]));
      row.push_back(std::to_string(id));
      reflections.add_row(row);
    }
  }
  return CifText(document);
}

}  // namespace lumora
