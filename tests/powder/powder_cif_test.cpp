// The powder pattern and lines as CIF, read back with gemmi: row counts and
// values equal the CSV of the same pattern and lines; a synthetic
// measurement of known scale and background gives back the measurement.
#include "powder/powder_cif.hpp"

#include <gemmi/cif.hpp>
#include <gemmi/numb.hpp>
#include <gtest/gtest.h>

#include <cmath>
#include <sstream>

#include "powder/powder_files.hpp"

namespace lumora {
namespace {

namespace cif = gemmi::cif;

struct PowderRun {
  CalculationResult result;
  PowderLines lines;
  ProfileOptions options;
  Profile profile;
  Summary summary{"P10.5/mmc", "a = 2.82", "wavelength = 1.5406"};
};

PowderRun MakeRun() {
  PowderRun r;
  CalculationInputs in;
  in.a = 2.82;
  in.c = 12.06;
  in.wavelength = 1.5406;
  in.thetaLow = 5.0;
  in.thetaHigh = 30.0;
  in.qiLimit = 1.0;
  in.loopLimits = {2, 2, 2, 2, 2, 0};
  r.result = RunCalculation(in);
  r.lines = BuildPowderLines(r.result.records, nullptr, in.wavelength);
  ScaleLinesToPercent(r.lines.lines);
  r.options.twoThetaMin = 10.0;
  r.options.twoThetaMax = 60.0;
  r.options.step = 0.02;
  r.profile = ComputeProfile(r.lines.lines, r.options);
  return r;
}

std::vector<std::vector<std::string>> CsvRows(const std::string& text) {
  std::vector<std::vector<std::string>> rows;
  std::istringstream in(text);
  std::string line;
  std::getline(in, line);  // header
  while (std::getline(in, line)) {
    std::vector<std::string> row;
    std::istringstream fields(line);
    for (std::string field; std::getline(fields, field, ',');) row.push_back(field);
    rows.push_back(row);
  }
  return rows;
}

cif::Table Find(cif::Document& doc, std::vector<std::string> tags) { return doc.blocks.at(0).find(tags); }

TEST(PowderCif, PatternReadsBackAsItsCsv) {
  PowderRun r = MakeRun();
  ASSERT_GT(r.profile.twoTheta.size(), 1000u);
  cif::Document doc =
      cif::read_string(PatternCif({r.result, r.summary, {}, ""}, r.profile, r.options));
  cif::Table table = Find(doc, {"_pd_proc_2theta_corrected", "_pd_calc_intensity_total"});
  const auto csv = CsvRows(PowderPatternText(r.profile, true));
  ASSERT_EQ(table.length(), csv.size());
  for (std::size_t i = 0; i < csv.size(); ++i) {
    EXPECT_NEAR(cif::as_number(table[static_cast<int>(i)][0]), std::stod(csv[i][0]), 5e-7);
    EXPECT_DOUBLE_EQ(cif::as_number(table[static_cast<int>(i)][1]), std::stod(csv[i][1]));
  }
  const cif::Block& block = doc.blocks[0];
  EXPECT_EQ(cif::as_int(*block.find_value("_pd_proc_number_of_points")), static_cast<int>(csv.size()));
  EXPECT_EQ(cif::as_number(*block.find_value("_diffrn_radiation_wavelength")), 1.5406);
  EXPECT_TRUE(cif::is_null(*block.find_value("_lumora_profile_doublet")));
}

TEST(PowderCif, AMeasurementOfKnownScaleAndBackground) {
  // The measurement: the profile itself at every other point, times 3 plus 5,
  // and two points beyond the profile's range.
  PowderRun r = MakeRun();
  MeasuredPattern measured;
  for (std::size_t i = 0; i < r.profile.twoTheta.size(); i += 2) {
    measured.twoTheta.push_back(r.profile.twoTheta[i]);
    measured.intensity.push_back(3.0 * r.profile.intensity[i] + 5.0);
    measured.sigma.push_back(2.0);
  }
  for (double beyond : {61.0, 62.0}) {
    measured.twoTheta.push_back(beyond);
    measured.intensity.push_back(5.0);
    measured.sigma.push_back(2.0);
  }
  const ScaleAndBackground fit = FitScaleAndBackground(r.profile, measured);
  ASSERT_NEAR(fit.scale, 3.0, 1e-9);
  ASSERT_NEAR(fit.background, 5.0, 1e-9);
  cif::Document doc = cif::read_string(PatternCif({r.result, r.summary, {}, ""}, r.profile, r.options, &measured, fit));
  cif::Table table = Find(doc, {"_pd_meas_2theta_scan", "_pd_meas_intensity_total", "_pd_calc_intensity_total",
                                "_pd_proc_ls_weight"});
  ASSERT_EQ(table.length(), measured.twoTheta.size());
  for (std::size_t i = 0; i + 2 < measured.twoTheta.size(); ++i) {
    const auto row = table[static_cast<int>(i)];
    EXPECT_DOUBLE_EQ(cif::as_number(row[0]), measured.twoTheta[i]);
    EXPECT_NEAR(cif::as_number(row[2]), cif::as_number(row[1]), 1e-9 * (1.0 + cif::as_number(row[1])));
    EXPECT_EQ(cif::as_number(row[3]), 0.25);
  }
  EXPECT_EQ(table[static_cast<int>(measured.twoTheta.size() - 1)][2], "?");  // beyond the profile
}

TEST(PowderCif, LinesReadBackAsTheirCsv) {
  PowderRun r = MakeRun();
  cif::Document doc = cif::read_string(LinesCif({r.result, r.summary, CifBeam{"neutron", 0.0}, "penrose"}, r.lines, {}));
  cif::Table peaks = Find(doc, {"_pd_peak_id", "_pd_peak_2theta_centroid", "_pd_peak_d_spacing", "_pd_peak_intensity",
                                "_lumora_peak_multiplicity"});
  const auto csv = CsvRows(PowderLinesCsv(r.lines, 5));
  ASSERT_EQ(peaks.length(), csv.size());
  ASSERT_GT(csv.size(), 10u);
  std::size_t reflections = 0;
  for (std::size_t i = 0; i < csv.size(); ++i) {
    const auto row = peaks[static_cast<int>(i)];
    EXPECT_EQ(cif::as_int(row[0]), static_cast<int>(i + 1));
    EXPECT_DOUBLE_EQ(cif::as_number(row[1]), std::stod(csv[i][0]));
    EXPECT_DOUBLE_EQ(cif::as_number(row[2]), std::stod(csv[i][1]));
    EXPECT_DOUBLE_EQ(cif::as_number(row[3]), std::stod(csv[i][3]));
    EXPECT_EQ(cif::as_int(row[4]), std::stoi(csv[i][2]));
    reflections += static_cast<std::size_t>(std::stoi(csv[i][2]));
  }
  // Every index vector once, tied to the line whose CSV row lists it.
  cif::Table refln = Find(doc, {"_refln_index_h", "_refln_index_k", "_refln_index_l", "_refln_index_m_1",
                                "_refln_index_m_2", "_pd_refln_peak_id"});
  ASSERT_EQ(refln.length(), reflections);
  for (std::size_t i = 0; i < reflections; ++i) {
    const auto row = refln[static_cast<int>(i)];
    const std::string indices = row[0] + " " + row[1] + " " + row[2] + " " + row[3] + " " + row[4];
    const std::size_t line = static_cast<std::size_t>(cif::as_int(row[5])) - 1;
    ASSERT_LT(line, csv.size());
    EXPECT_NE((";" + csv[line][4] + ";").find(";" + indices + ";"), std::string::npos) << indices;
  }
  EXPECT_EQ(cif::as_string(*doc.blocks[0].find_value("_diffrn_radiation_probe")), "neutron");
  EXPECT_EQ(cif::as_string(*doc.blocks[0].find_value("_lumora_model")), "penrose");
}

}  // namespace
}  // namespace lumora
