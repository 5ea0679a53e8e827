// lumora-cli powder: lines report, lines CSV, pattern files and bad options.
#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>
#include <random>
#include <sstream>

#include "cli/cli_run.hpp"

namespace lumora {
namespace {

namespace fs = std::filesystem;
using testing::RunCli;

class CliPowder : public ::testing::Test {
 protected:
  void SetUp() override {
    dir_ = fs::temp_directory_path() / ("lumora-powder-cli-" + std::to_string(std::random_device{}()));
    fs::create_directories(dir_);
  }
  void TearDown() override { fs::remove_all(dir_); }
  std::string File(const std::string& name) const { return (dir_ / name).string(); }
  static std::vector<std::string> Lines(const std::string& path) {
    std::ifstream in(path);
    std::vector<std::string> lines;
    for (std::string line; std::getline(in, line);) lines.push_back(line);
    return lines;
  }
  static std::vector<std::string> Fields(const std::string& line, char separator) {
    std::vector<std::string> fields;
    std::istringstream in(line);
    for (std::string field; std::getline(in, field, separator);) fields.push_back(field);
    return fields;
  }
  fs::path dir_;
};

TEST_F(CliPowder, LinesTakeEveryReflectionOnceAndThePatternKeepsTheirArea) {
  const auto reflections = RunCli("reflections");
  ASSERT_EQ(reflections.status, 0);
  const std::string count = "LUMORA REPORT - ";
  ASSERT_EQ(reflections.out.rfind(count, 0), 0u);
  const std::size_t records = std::stoul(reflections.out.substr(count.size()));

  const auto run = RunCli("powder --two-theta 0.5,70,0.005 --lines " + File("l.csv") + " --pattern " + File("p.xy"));
  ASSERT_EQ(run.status, 0);
  EXPECT_NE(run.out.find("LUMORA POWDER LINES - "), std::string::npos);
  EXPECT_NE(run.out.find("from " + std::to_string(records) + " reflections"), std::string::npos) << run.out.substr(0, 200);

  const auto csv = Lines(File("l.csv"));
  ASSERT_GT(csv.size(), 2u);
  EXPECT_EQ(csv[0], "two_theta,d,multiplicity,intensity,indices,qi");
  std::size_t merged = 0;
  double sumI = 0.0, previous = 0.0, strongest = 0.0;
  for (std::size_t i = 1; i < csv.size(); ++i) {
    const auto f = Fields(csv[i], ',');
    ASSERT_EQ(f.size(), 6u) << csv[i];
    const double twoTheta = std::stod(f[0]), d = std::stod(f[1]);
    EXPECT_GT(twoTheta, previous);
    previous = twoTheta;
    // Bragg's law with the Mo wavelength of the run.
    EXPECT_NEAR(twoTheta, 2.0 * std::asin(0.7106867 / (2.0 * d)) * 180.0 / 3.14159265358979, 1e-4);
    const int multiplicity = std::stoi(f[2]);
    EXPECT_EQ(std::count(f[4].begin(), f[4].end(), ';') + 1, multiplicity);
    EXPECT_EQ(std::count(f[5].begin(), f[5].end(), ';') + 1, multiplicity);
    merged += static_cast<std::size_t>(multiplicity);
    sumI += std::stod(f[3]);
    strongest = std::max(strongest, std::stod(f[3]));
  }
  EXPECT_EQ(merged, records);
  EXPECT_DOUBLE_EQ(strongest, 100.0);

  // Every line lies inside 2..60 degrees, well within the range: the
  // pattern's sum times the step is the sum of the line intensities.
  const auto xy = Lines(File("p.xy"));
  ASSERT_EQ(xy.size(), 1u + 13901u);
  EXPECT_EQ(xy[0][0], '#');
  double area = 0.0;
  for (std::size_t i = 1; i < xy.size(); ++i) area += std::stod(Fields(xy[i], ' ').at(1));
  EXPECT_NEAR(area * 0.005, sumI, 1e-6 * sumI);

  // The doublet keeps the area too; CSV by the name's ending.
  ASSERT_EQ(RunCli("powder --anode Cu --doublet --two-theta 0.5,150,0.01 --pattern " + File("p.CSV")).status, 0);
  const auto doublet = Lines(File("p.CSV"));
  EXPECT_EQ(doublet[0], "two_theta,intensity");
  EXPECT_EQ(Fields(doublet[1], ',').size(), 2u);
}

TEST_F(CliPowder, ModelIntensitiesAndMonochromatorChangeTheLines) {
  const auto plain = RunCli("powder");
  const auto model = RunCli("powder --model penrose");
  const auto mono = RunCli("powder --monochromator 26.6");
  ASSERT_EQ(model.status, 0);
  ASSERT_EQ(mono.status, 0);
  EXPECT_NE(model.out.find("model penrose"), std::string::npos);
  EXPECT_NE(plain.out, model.out);
  EXPECT_NE(plain.out, mono.out);
  EXPECT_NE(mono.out.find("monochromator 2theta = 26.6"), std::string::npos);
}

TEST_F(CliPowder, BadOptionsExit2NamingTheOptionAndWriteNothing) {
  const std::string pattern = " --pattern " + File("bad.xy");
  const std::vector<std::pair<std::string, std::string>> cases = {
      {"--two-theta 10,5,0.01", "--two-theta"}, {"--two-theta 1,2", "--two-theta"},
      {"--two-theta 1,2,0", "--two-theta"},      {"--caglioti 1,2", "--caglioti"},
      {"--caglioti 0,x,1", "--caglioti"},        {"--eta 2", "--eta"},
      {"--cut 0", "--cut"},                      {"--tolerance abc", "--tolerance"},
      {"--tolerance 0.5", "--tolerance"},        {"--monochromator 200", "--monochromator"},
      {"--wavelength 1.5 --doublet", "--doublet"}, {"--caglioti 0,-1,0.01", "--caglioti"},
      {"-a x", "-a"},                            {"--model nosuchmodel", "--model"},
  };
  for (const auto& [arguments, option] : cases) {
    const auto run = RunCli("powder " + arguments + pattern, true);
    EXPECT_EQ(run.status, 2) << arguments;
    EXPECT_NE(run.out.find(option), std::string::npos) << arguments << ": " << run.out;
    EXPECT_FALSE(fs::exists(File("bad.xy"))) << arguments;
  }
}

}  // namespace
}  // namespace lumora
