// lumora-cli reflections with a structure model.
#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>
#include <sstream>

#include "cli/cli_run.hpp"

namespace lumora {
namespace {

using testing::RunCli;

std::vector<std::string> DataLines(const std::string& report) {
  std::vector<std::string> lines;
  std::istringstream in(report);
  for (std::string line; std::getline(in, line);) lines.push_back(line.substr(0, line.size() - 1));  // drop CR
  return std::vector<std::string>(lines.begin() + 7, lines.end());
}

double LastValue(const std::string& line) { return std::stod(line.substr(line.size() - 10)); }

TEST(CliModel, ReportGainsTheIColumn) {
  const auto plain = RunCli("reflections");
  const auto run = RunCli("reflections --model penrose");
  ASSERT_EQ(run.status, 0);
  std::istringstream a(plain.out), b(run.out);
  std::string pl, ml;
  for (int i = 0; i < 6; ++i) std::getline(a, pl), std::getline(b, ml);
  EXPECT_EQ(ml, pl.substr(0, pl.size() - 1) + "         I\r");  // the column header
  // The fourth line, blank in a report without a model, names the model.
  EXPECT_NE(run.out.find("qimax = 1.0\r\nI from the structure model penrose\r\n---"), std::string::npos);
  EXPECT_NE(plain.out.find("qimax = 1.0\r\n\r\n---"), std::string::npos);
  double strongest = 0.0;
  const auto rows = DataLines(run.out);
  EXPECT_EQ(rows.size(), DataLines(plain.out).size());
  for (const std::string& row : rows) {
    const double i = LastValue(row);
    EXPECT_GE(i, 0.0);
    EXPECT_LE(i, 100.0);
    strongest = std::max(strongest, i);
  }
  EXPECT_EQ(strongest, 100.0);
}

TEST(CliModel, MinimumIntensityAndColumns) {
  const auto all = RunCli("reflections --model penrose --columns indices,intensity");
  const auto strong = RunCli("reflections --model penrose --min-intensity 5 --columns indices,intensity");
  ASSERT_EQ(strong.status, 0);
  const auto rows = DataLines(strong.out);
  ASSERT_FALSE(rows.empty());
  EXPECT_LT(rows.size(), DataLines(all.out).size());
  for (const std::string& row : rows) {
    EXPECT_EQ(row.size(), 5u + 5 * 4 + 10);  // number, five indices, I
    EXPECT_GE(LastValue(row), 5.0);
  }
  std::size_t above = 0;
  for (const std::string& row : DataLines(all.out)) above += LastValue(row) >= 5.0;
  EXPECT_EQ(above, rows.size());
  EXPECT_NE(strong.out.find("LUMORA REPORT - " + std::to_string(rows.size()) + " reflections"), std::string::npos);
}

TEST(CliModel, MachineFormatsCarryTheStructureFactor) {
  const auto csv = RunCli("reflections --model penrose --format csv");
  ASSERT_EQ(csv.status, 0);
  EXPECT_NE(csv.out.find("# model: penrose\r\n"), std::string::npos);
  EXPECT_NE(csv.out.find(",mainFlag,f_abs,f_phase,intensity\r\n"), std::string::npos);
  const auto json = RunCli("reflections --model penrose --format json");
  EXPECT_NE(json.out.find("\"f_abs\": "), std::string::npos);
  EXPECT_NE(json.out.find("\"intensity\": 100"), std::string::npos);
}

TEST(CliModel, ModelFilesAndOtherSystems) {
  const auto dir = std::filesystem::temp_directory_path() / "lumora_cli_model";
  std::filesystem::create_directories(dir);
  const auto good = dir / "octagon.txt";
  std::ofstream(good) << "system octagonal\nsetting steurer\nV Ni 1 0 0 0 0 0 polygon:8:22.5 1.3066 0 0\n";
  const auto run = RunCli("reflections --system octagonal --model " + good.string());
  EXPECT_EQ(run.status, 0);
  EXPECT_NE(run.out.find("         I\r\n"), std::string::npos);
  const auto bad = dir / "bad.txt";
  std::ofstream(bad) << "system octagonal\nsetting steurer\nV Ni 1 0 0 zero 0 0 disk 1 0 0\n";
  const auto broken = RunCli("reflections --system octagonal --model " + bad.string(), true);
  EXPECT_EQ(broken.status, 2);
  EXPECT_NE(broken.out.find("line 3, field 6 (x3): \"zero\" is not a number"), std::string::npos) << broken.out;
  std::filesystem::remove_all(dir);
}

TEST(CliModel, BadOptions) {
  struct Case {
    const char* args;
    const char* message;
  };
  for (const Case& c : {Case{"--model nosuch", "option --model: \"nosuch\" is neither a built-in model"},
                        Case{"--model penrose --system octagonal",
                             "option --model: the model \"penrose\" is for the decagonal system, the run is octagonal"},
                        Case{"--min-intensity 5", "option --min-intensity needs --model"},
                        Case{"--model penrose --min-intensity 120", "option --min-intensity: \"120\" is not a percentage"},
                        Case{"--columns indices,intensity", "option --columns: \"indices,intensity\" names intensity"}}) {
    const auto run = RunCli(std::string("reflections ") + c.args, true);
    EXPECT_EQ(run.status, 2) << c.args;
    EXPECT_NE(run.out.find(c.message), std::string::npos) << run.out;
  }
}

}  // namespace
}  // namespace lumora
