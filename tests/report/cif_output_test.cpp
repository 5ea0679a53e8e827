// Reflections as CIF, read back with gemmi: the rows and values equal the
// CSV of the same run, the header names the run, and the basis matrices it
// holds are inverse to each other.
#include "report/cif_output.hpp"

#include <gemmi/cif.hpp>
#include <gemmi/numb.hpp>
#include <gtest/gtest.h>

#include <cmath>
#include <sstream>

#include "../intensity/model_run.hpp"
#include "report/machine_formats.hpp"

namespace lumora {
namespace {

namespace cif = gemmi::cif;

// The CSV's rows without its "#" lines and header, as texts.
std::vector<std::vector<std::string>> CsvRows(const std::string& text) {
  std::vector<std::vector<std::string>> rows;
  std::istringstream in(text);
  std::string line;
  while (std::getline(in, line)) {
    if (!line.empty() && line.back() == '\r') line.pop_back();
    if (line.empty() || line[0] == '#' || line[0] == 'n') continue;
    std::vector<std::string> row;
    std::istringstream fields(line);
    for (std::string field; std::getline(fields, field, ',');) row.push_back(field);
    rows.push_back(row);
  }
  return rows;
}

double Value(const cif::Block& block, const std::string& tag) { return cif::as_number(*block.find_value(tag)); }

TEST(CifOutput, ReflectionsReadBackEqualTheCsv) {
  for (const bool icosahedral : {false, true}) {
    SCOPED_TRACE(icosahedral ? "icosahedral" : "decagonal");
    const CalculationInputs in =
        icosahedral ? testing::ModelInputs(CrystalSystem::Icosahedral, "P235", 5.1, true, 2, 0.7, 30.0, 1.5)
                    : testing::ModelInputs(CrystalSystem::Decagonal, "P10/mmm", 2.82, true, 2, 0.7, 30.0, 1.0);
    testing::ModelRun r = testing::RunModel(*BuiltinModel(icosahedral ? "ammann-kramer" : "penrose"), in);
    r.intensities.model = "my model 'one'";
    const Summary summary{icosahedral ? "P235" : "P10/mmm", "line one", "wavelength = 0.7"};
    const cif::Document doc = cif::read_string(ReflectionsCif(r.run, summary, &r.intensities));
    ASSERT_EQ(doc.blocks.size(), 1u);
    const cif::Block& block = doc.blocks[0];
    const int n = r.run.lattice.nDim;
    const std::vector<std::vector<std::string>> csv = CsvRows(CsvText(r.run, summary, &r.intensities));
    ASSERT_GT(csv.size(), 20u);

    std::vector<std::string> tags = {"_refln_index_h", "_refln_index_k", "_refln_index_l", "_refln_index_m_1",
                                     "_refln_index_m_2"};
    if (icosahedral) tags.push_back("_refln_index_m_3");
    for (const char* tag : {"_refln_d_spacing", "_refln_sint/lambda", "_lumora_refln_theta", "_lumora_refln_q_internal",
                            "_refln_F_squared_calc", "_refln_F_calc", "_refln_phase_calc", "_lumora_refln_intensity"})
      tags.emplace_back(tag);
    cif::Table table = const_cast<cif::Block&>(block).find(tags);
    ASSERT_TRUE(table.ok());
    ASSERT_EQ(table.length(), csv.size());
    for (std::size_t i = 0; i < csv.size(); ++i) {
      const auto row = table[static_cast<int>(i)];
      const std::vector<std::string>& c = csv[i];
      for (int k = 0; k < n; ++k) EXPECT_EQ(cif::as_int(row[k]), std::stoi(c[static_cast<std::size_t>(k + 1)]));
      // CSV: n, h1..h6, theta, d, qe, qi, x, y, z, planeClass, mainFlag, f_abs, f_phase, intensity.
      const double d = cif::as_number(row[n]);
      EXPECT_DOUBLE_EQ(d, std::stod(c[8]));
      EXPECT_DOUBLE_EQ(cif::as_number(row[n + 1]), 1.0 / (2.0 * d));
      EXPECT_DOUBLE_EQ(cif::as_number(row[n + 2]), std::stod(c[7]));
      EXPECT_DOUBLE_EQ(cif::as_number(row[n + 3]), std::stod(c[10]));
      const double f = cif::as_number(row[n + 5]);
      EXPECT_DOUBLE_EQ(f, std::stod(c[16]));
      EXPECT_DOUBLE_EQ(cif::as_number(row[n + 4]), f * f);
      EXPECT_DOUBLE_EQ(cif::as_number(row[n + 6]), std::stod(c[17]));
      EXPECT_DOUBLE_EQ(cif::as_number(row[n + 7]), std::stod(c[18]));
    }

    // The header.
    EXPECT_EQ(cif::as_string(*block.find_value("_lumora_system")), icosahedral ? "Icosahedral" : "Decagonal");
    EXPECT_EQ(cif::as_string(*block.find_value("_lumora_setting")), "Yamamoto");
    EXPECT_EQ(cif::as_string(*block.find_value("_lumora_space_group")), summary.sgSymbol);
    EXPECT_EQ(cif::as_string(*block.find_value("_lumora_model")), "my model 'one'");
    EXPECT_EQ(cif::as_string(*block.find_value("_diffrn_radiation_probe")), "x-ray");
    EXPECT_EQ(Value(block, "_diffrn_radiation_wavelength"), 0.7);
    EXPECT_EQ(Value(block, "_cell_modulation_dimension"), n - 3);
    EXPECT_EQ(Value(block, "_lumora_lattice_a"), icosahedral ? 5.1 : 2.82);
    EXPECT_EQ(block.find_value("_lumora_lattice_c") != nullptr, !icosahedral);
    // The two matrices read back are inverse to each other (worked out here).
    std::vector<std::string> direct = {"_lumora_basis_direct_row"}, inverse = {"_lumora_basis_inverse_row"};
    for (int j = 1; j <= n; ++j) {
      direct.push_back("_lumora_basis_direct_" + std::to_string(j));
      inverse.push_back("_lumora_basis_inverse_" + std::to_string(j));
    }
    cif::Table dm = const_cast<cif::Block&>(block).find(direct), im = const_cast<cif::Block&>(block).find(inverse);
    ASSERT_EQ(dm.length(), static_cast<std::size_t>(n));
    ASSERT_EQ(im.length(), static_cast<std::size_t>(n));
    for (int i = 0; i < n; ++i)
      for (int j = 0; j < n; ++j) {
        double sum = 0.0;
        for (int k = 0; k < n; ++k) sum += cif::as_number(dm[i][k + 1]) * cif::as_number(im[k][j + 1]);
        EXPECT_NEAR(sum, i == j ? 1.0 : 0.0, 1e-12) << i << " " << j;
      }
  }
}

TEST(CifOutput, WithoutAModelOrReflections) {
  CalculationInputs in = testing::ModelInputs(CrystalSystem::Octagonal, "P8/mmm", 2.5, false, 1, 1.5406, 40.0, 1.0);
  CalculationResult run = RunCalculation(in);
  const std::string text = ReflectionsCif(run, {"P8/mmm", "a", "b"}, nullptr, CifBeam{"neutron", 0.0});
  const cif::Document doc = cif::read_string(text);
  const cif::Block& block = doc.blocks.at(0);
  EXPECT_EQ(cif::as_string(*block.find_value("_diffrn_radiation_probe")), "neutron");
  EXPECT_EQ(cif::as_string(*block.find_value("_lumora_setting")), "Steurer");
  EXPECT_TRUE(cif::is_null(*block.find_value("_lumora_model")));
  EXPECT_EQ(text.find("_refln_F_calc"), std::string::npos);
  EXPECT_EQ(const_cast<cif::Block&>(block).find_values("_refln_index_m_2").length(), run.records.size());
  run.records.clear();
  const cif::Document none = cif::read_string(ReflectionsCif(run, {"P8/mmm", "a", "b"}));
  EXPECT_EQ(const_cast<cif::Block&>(none.blocks.at(0)).find_values("_refln_index_h").length(), 0u);
}

}  // namespace
}  // namespace lumora
