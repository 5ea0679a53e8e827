// lumora-cli reflections and powder with --radiation: the classic X-ray output
// unchanged, and the amplitudes of one-site models against scattering factors
// typed in here from the published tables (not read from Lumora's tables).
#include <gtest/gtest.h>

#include <cmath>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <map>
#include <numbers>
#include <sstream>
#include <vector>

#include "cli/cli_run.hpp"
#include "intensity/published_scattering.hpp"

namespace lumora {
namespace {

using testing::RunCli;

// d and f_abs of every CSV row, by the row's index vector.
std::map<std::string, std::pair<double, double>> DAndF(const std::string& csv) {
  std::map<std::string, std::pair<double, double>> out;
  std::istringstream in(csv);
  bool rows = false;
  for (std::string line; std::getline(in, line);) {
    if (!line.empty() && line.back() == '\r') line.pop_back();
    if (line.rfind("n,h1,", 0) == 0) {
      rows = true;
      continue;
    }
    if (!rows || line.empty() || line[0] == '#') continue;
    std::vector<std::string> f;
    std::istringstream fields(line);
    for (std::string field; std::getline(fields, field, ',');) f.push_back(field);
    if (f.size() < 19) continue;  // n, h1..h6, theta, d, ..., f_abs, f_phase, intensity
    out[f[1] + " " + f[2] + " " + f[3] + " " + f[4] + " " + f[5] + " " + f[6]] = {std::stod(f[8]), std::stod(f[16])};
  }
  return out;
}

class CliRadiation : public ::testing::Test {
 protected:
  void SetUp() override {
    // One folder per test: ctest runs the tests of this class side by side.
    dir_ /= ::testing::UnitTest::GetInstance()->current_test_info()->name();
    std::filesystem::create_directories(dir_);
    for (const char* element : {"Fe", "Al"})
      std::ofstream(Model(element)) << "system octagonal\nsetting steurer\nV " << element
                                    << " 1 0 0 0 0 0 polygon:8:22.5 1.3066 0 0\n";
  }
  void TearDown() override { std::filesystem::remove_all(dir_); }
  std::string Model(const std::string& element) const { return (dir_ / (element + ".model")).string(); }
  std::map<std::string, std::pair<double, double>> Run(const std::string& element, const std::string& more) const {
    const auto run = RunCli("reflections --system octagonal --format csv --model " + Model(element) + " " + more);
    EXPECT_EQ(run.status, 0) << more;
    return DAndF(run.out);
  }
  std::filesystem::path dir_ = std::filesystem::temp_directory_path() / "lumora_cli_radiation";
};

TEST_F(CliRadiation, NeutronAmplitudeRatioIsTheLengthRatio) {
  const double ratio = testing::kNeutronLengthFe / testing::kNeutronLengthAl;
  const auto fe = Run("Fe", "--radiation neutron");
  const auto al = Run("Al", "--radiation neutron");
  ASSERT_GT(al.size(), 100u);
  ASSERT_EQ(fe.size(), al.size());
  std::size_t compared = 0;
  for (const auto& [index, dAndF] : al) {
    if (dAndF.second < 1e-9) continue;  // an amplitude that vanishes by symmetry
    EXPECT_NEAR(fe.at(index).second / dAndF.second, ratio, 1e-9 * ratio) << index;
    ++compared;
  }
  EXPECT_GT(compared, 100u);
}

TEST_F(CliRadiation, ElectronAmplitudeRatioFollowsTheTableAtEachS) {
  const std::string beam = "--radiation electron --voltage 300 --theta 0.05,2.5";
  const auto fe = Run("Fe", beam);
  const auto al = Run("Al", beam);
  ASSERT_GT(al.size(), 100u);
  ASSERT_EQ(fe.size(), al.size());
  double sMin = 1e9, sMax = 0.0;
  for (const auto& [index, dAndF] : al) {
    if (dAndF.second < 1e-9) continue;
    const double s = 0.5 / dAndF.first;  // sin(theta) / lambda
    sMin = std::min(sMin, s), sMax = std::max(sMax, s);
    const double expected = testing::kElectronFe(s) / testing::kElectronAl(s);
    EXPECT_NEAR(fe.at(index).second / dAndF.second, expected, 2e-4 * expected) << index << " s = " << s;
  }
  EXPECT_LT(sMin, 0.2);  // a range over which the ratio changes (1.31 to 1.97)
  EXPECT_GT(sMax, 0.4);

  // The run's wavelength is the 300 kV one: hc / sqrt(E (E + 2 m c^2)).
  const auto report = RunCli("reflections --system octagonal --radiation electron --voltage 300 --theta 0.05,2.5");
  const double lambda = 12.398419843 / std::sqrt(300.0 * (300.0 + 2.0 * 510.99895));
  const std::size_t at = report.out.find("wavelength = ");
  ASSERT_NE(at, std::string::npos);
  EXPECT_NEAR(std::stod(report.out.substr(at + 13)), lambda, 1e-9);
  EXPECT_NE(report.out.find("electron 300 kV"), std::string::npos);
}

TEST_F(CliRadiation, XRaysStayTheClassicOutput) {
  for (const char* args : {"reflections --model penrose", "reflections --model penrose --format csv",
                           "reflections --model penrose --format json", "powder --model penrose"}) {
    const auto classic = RunCli(args);
    const auto chosen = RunCli(std::string(args) + " --radiation xray");
    ASSERT_EQ(classic.status, 0) << args;
    EXPECT_EQ(chosen.out, classic.out) << args;
    EXPECT_EQ(classic.out.find("neutron"), std::string::npos) << args;
  }
  const auto neutron = RunCli("reflections --model penrose --format json --radiation neutron");
  EXPECT_NE(neutron.out.find("qimax = 1.0, neutron\""), std::string::npos) << neutron.out.substr(0, 600);
  const auto cif = RunCli("reflections --model penrose --format cif --radiation electron --voltage 120 --theta 0.1,2");
  EXPECT_NE(cif.out.find("_diffrn_radiation_probe electron"), std::string::npos) << cif.out.substr(0, 800);
  EXPECT_NE(cif.out.find("_lumora_electron_voltage_kv 120"), std::string::npos);
}

TEST_F(CliRadiation, NeutronPowderLinesTakeTheLorentzFactorAlone) {
  // One per reflection: the X-ray line is m LP, the neutron line m L; their
  // ratio, after each is scaled to its strongest, is (1 + cos^2 2theta) / 2
  // up to one constant.
  auto lines = [](const std::string& more) {
    const auto run = RunCli("powder --system octagonal" + more);
    EXPECT_EQ(run.status, 0) << more;
    std::vector<std::pair<double, double>> out;  // 2theta, I
    std::istringstream in(run.out);
    int dashes = 0;
    for (std::string line; std::getline(in, line);) {
      if (line.rfind("---", 0) == 0) {
        ++dashes;
        continue;
      }
      if (dashes < 2) continue;
      std::istringstream fields(line);
      int number = 0;
      double twoTheta = 0.0, d = 0.0, mult = 0.0, intensity = 0.0;
      if (fields >> number >> twoTheta >> d >> mult >> intensity) out.emplace_back(twoTheta, intensity);
    }
    return out;
  };
  const auto xray = lines("");
  const auto neutron = lines(" --radiation neutron");
  ASSERT_GT(xray.size(), 20u);
  ASSERT_EQ(xray.size(), neutron.size());
  std::vector<double> constant;
  for (std::size_t i = 0; i < xray.size(); ++i) {
    const double c2 = std::cos(xray[i].first * std::numbers::pi / 180.0);
    constant.push_back(xray[i].second / neutron[i].second / ((1.0 + c2 * c2) / 2.0));
  }
  for (double c : constant) EXPECT_NEAR(c, constant.front(), 2e-3 * constant.front());  // the report's 5 digits
}

// Intensities |F_Fe|^2 of the Fe model under neutrons, refined with the Al
// model's scale alone: under neutrons the fit is exact at (b_Fe/b_Al)^2,
// under X-rays (which fall off with s) it is not.
TEST_F(CliRadiation, RefineTakesTheRadiation) {
  const auto fe = Run("Fe", "--radiation neutron");
  const std::string observations = (dir_ / "fe.hkl").string();
  {
    std::ofstream out(observations);
    out.precision(17);
    for (const auto& [index, dAndF] : fe) {
      if (dAndF.second < 1e-9) continue;
      const double intensity = dAndF.second * dAndF.second;
      out << index.substr(0, index.rfind(' ')) << " " << intensity << " " << 0.01 * intensity << "\n";
    }
  }
  auto refine = [&](const std::string& beam) {
    const std::string json = (dir_ / "refined.json").string();
    const auto run = RunCli("refine --system octagonal --model " + Model("Al") + " --reflections " + observations +
                            " --refine scale --refine-json " + json + " " + beam);
    EXPECT_EQ(run.status, 0) << beam << run.out;
    std::ifstream in(json);
    const std::string text((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>());
    std::pair<double, double> scaleAndR1{0.0, 0.0};
    const std::size_t scale = text.find("\"value\"", text.find("\"scale\""));
    const std::size_t r1 = text.find("\"R1\"");
    if (scale != std::string::npos) scaleAndR1.first = std::stod(text.substr(text.find(':', scale) + 1));
    if (r1 != std::string::npos) scaleAndR1.second = std::stod(text.substr(text.find(':', r1) + 1));
    return std::make_pair(scaleAndR1, run.out);
  };
  const double ratio = testing::kNeutronLengthFe / testing::kNeutronLengthAl;
  const auto [neutron, report] = refine("--radiation neutron");
  EXPECT_NEAR(neutron.first, ratio * ratio, 1e-6 * ratio * ratio);
  EXPECT_LT(neutron.second, 1e-6);
  EXPECT_NE(report.find("data: " + observations + ", neutron\n"), std::string::npos) << report;
  const auto [xray, xrayReport] = refine("");
  EXPECT_GT(xray.second, 0.01);  // X-ray form factors cannot fit neutron data by a scale
  EXPECT_EQ(xrayReport.find("neutron"), std::string::npos);
}

TEST_F(CliRadiation, RefusedCombinations) {
  struct Case {
    const char* args;
    const char* message;
  };
  for (const Case& c :
       {Case{"reflections --voltage 100", "option --voltage: only electrons have an accelerating voltage"},
        Case{"reflections --radiation electron --wavelength 1.5", "option --wavelength: electrons take --voltage"},
        Case{"reflections --radiation gamma", "option --radiation: \"gamma\" is not electron, xray or neutron"},
        Case{"powder --radiation neutron --doublet", "option --doublet: an anode's K-alpha doublet needs"}}) {
    const auto run = RunCli(c.args, true);
    EXPECT_EQ(run.status, 2) << c.args;
    EXPECT_NE(run.out.find(c.message), std::string::npos) << c.args << ": " << run.out;
  }
}

}  // namespace
}  // namespace lumora
