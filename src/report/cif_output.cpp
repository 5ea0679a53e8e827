#include "report/cif_output.hpp"

#include <gemmi/to_cif.hpp>

#include <sstream>

#include "common/number_text.hpp"
#include "common/text.hpp"
#include "common/version.hpp"

namespace lumora {
namespace {

std::string Number(double v) { return ShortestText(v == 0.0 ? 0.0 : v); }  // no "-0"

// One loop with a row per matrix row: _lumora_basis_<name>_row and the n elements.
void AddMatrix(gemmi::cif::Block& block, const std::string& name, const Matrix7& m, int n) {
  std::vector<std::string> tags = {"row"};
  for (int j = 1; j <= n; ++j) tags.push_back(std::to_string(j));
  gemmi::cif::Loop& loop = block.init_loop("_lumora_basis_" + name + "_", tags);
  for (int i = 0; i < n; ++i) {
    std::vector<std::string> row = {std::to_string(i + 1)};
    for (int j = 0; j < n; ++j) row.push_back(Number(m[static_cast<std::size_t>(i)][static_cast<std::size_t>(j)]));
    loop.add_row(row);
  }
}

}  // namespace

std::string CifTextValue(const std::string& text) { return gemmi::cif::quote(EchoText(text, 4096)); }

std::vector<std::string> IndexTags(int nDim) {
  std::vector<std::string> tags = {"index_h", "index_k", "index_l"};
  for (int m = 1; m <= nDim - 3; ++m) tags.push_back("index_m_" + std::to_string(m));
  return tags;
}

void AddRunHeader(gemmi::cif::Block& block, const CalculationResult& result, const Summary& summary,
                  const CifBeam& beam, const std::string& model) {
  const Lattice& lattice = result.lattice;
  block.set_pair("_audit_creation_method", CifTextValue(std::string("Lumora ") + kVersion));
  block.set_pair("_lumora_system", std::string(SystemName(lattice.system)));
  block.set_pair("_lumora_setting", lattice.yamamoto ? "Yamamoto" : "Steurer");
  block.set_pair("_lumora_space_group", CifTextValue(summary.sgSymbol));
  if (result.group) block.set_pair("_lumora_space_group_number", std::to_string(result.group->number));
  block.set_pair("_lumora_lattice_a", Number(lattice.a));
  if (lattice.nDim == 5) block.set_pair("_lumora_lattice_c", Number(lattice.c));
  // The extra dimensions beyond physical space, as msCIF counts them.
  block.set_pair("_cell_modulation_dimension", std::to_string(lattice.nDim - 3));
  block.set_pair("_diffrn_radiation_probe", beam.probe);
  block.set_pair("_diffrn_radiation_wavelength", Number(result.wavelength));
  if (beam.voltageKv > 0.0) block.set_pair("_lumora_electron_voltage_kv", Number(beam.voltageKv));
  block.set_pair("_lumora_model", model.empty() ? std::string(".") : CifTextValue(model));
  block.set_pair("_lumora_parameters_1", CifTextValue(summary.paramLine1));
  block.set_pair("_lumora_parameters_2", CifTextValue(summary.paramLine2));
  AddMatrix(block, "direct", lattice.directMatrix, lattice.nDim);
  AddMatrix(block, "inverse", lattice.inverseMatrix, lattice.nDim);
}

std::string CifText(const gemmi::cif::Document& document) {
  std::ostringstream out;
  gemmi::cif::write_cif_to_stream(out, document, gemmi::cif::Style::Simple);
  return out.str();
}

std::string ReflectionsCif(const CalculationResult& result, const Summary& summary,
                           const IntensityResult* intensities, const CifBeam& beam) {
  gemmi::cif::Document document;
  document.blocks.emplace_back("lumora_reflections");
  gemmi::cif::Block& block = document.blocks.back();
  AddRunHeader(block, result, summary, beam, intensities ? intensities->model : std::string());
  const int n = result.lattice.nDim;
  std::vector<std::string> tags = IndexTags(n);
  for (const char* tag : {"d_spacing", "sint/lambda"}) tags.emplace_back(tag);
  for (const char* tag : {"lumora_refln_theta", "lumora_refln_q_internal"}) tags.emplace_back(tag);
  if (intensities)
    for (const char* tag : {"F_squared_calc", "F_calc", "phase_calc", "lumora_refln_intensity"}) tags.emplace_back(tag);
  // The local tags are written whole: _lumora_refln_theta, not _refln_lumora_....
  std::vector<std::string> full;
  for (const std::string& tag : tags)
    full.push_back(tag.rfind("lumora_", 0) == 0 ? "_" + tag : "_refln_" + tag);
  gemmi::cif::Loop& loop = block.init_loop("", full);
  for (std::size_t i = 0; i < result.records.size(); ++i) {
    const ReflectionRecord& r = result.records[i];
    const ReflectionValues v = RecomputeReflection(result.lattice, result.wavelength, r);
    std::vector<std::string> row;
    for (int k = 0; k < n; ++k) row.push_back(ShortestText(r.h[static_cast<std::size_t>(k)]));
    row.push_back(Number(v.d));
    row.push_back(Number(0.5 / v.d));
    row.push_back(Number(v.theta));
    row.push_back(Number(v.qi));
    if (intensities) {
      const double f = intensities->fAbs[i];
      row.push_back(Number(f * f));
      row.push_back(Number(f));
      row.push_back(Number(intensities->fPhase[i]));
      row.push_back(Number(intensities->intensity[i]));
    }
    loop.add_row(row);
  }
  return CifText(document);
}

}  // namespace lumora
