#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>

#include "cli/cli_run.hpp"

namespace lumora {
namespace {

using testing::RunCli;

std::string FirstLines(const std::string& text, int count) {
  std::size_t pos = 0;
  for (int i = 0; i < count && pos != std::string::npos; ++i) {
    pos = text.find("\r\n", pos);
    if (pos != std::string::npos) pos += 2;
  }
  return text.substr(0, pos);
}

TEST(CliReflections, DefaultReport) {
  const auto run = RunCli("reflections");
  ASSERT_EQ(run.status, 0);
  const std::string head = FirstLines(run.out, 3);
  EXPECT_EQ(head.substr(0, 16), "LUMORA REPORT - ");
  EXPECT_NE(head.find(" reflections\r\n"
                      "P10.5/mmc, a = 2.82, c = 12.06, loop = 22222, Yamamoto matrices\r\n"
                      "wavelength = 0.7106867, thmin = 1.0, thmax = 30.0, qimax = 1.0\r\n"),
            std::string::npos);
}

TEST(CliReflections, OptionsReachTheReport) {
  const auto run = RunCli(
      "reflections --system icosahedral --setting steurer --anode Cu --theta 2,40 --qi-max 0.5 "
      "--loops 1,1,1,1,1,2 --columns indices,qe-qi -a 5,1");
  ASSERT_EQ(run.status, 0) << run.out;
  EXPECT_NE(run.out.find("P235, a = 5,1, loop = 111112, Steurer matrices \r\n"
                         "wavelength = 1.541878, thmin = 2, thmax = 40, qimax = 0.5\r\n"),
            std::string::npos);
  EXPECT_NE(run.out.find("#      h1  h2  h3  h4  h5  h6        ve        vi\r\n"), std::string::npos);
}

TEST(CliReflections, MachineFormatsCarryEveryRecord) {
  const auto hkl = RunCli("reflections --loops 1");
  const auto csv = RunCli("reflections --loops 1 --format csv");
  const auto json = RunCli("reflections --loops 1 --format json");
  ASSERT_EQ(csv.status, 0);
  ASSERT_EQ(json.status, 0);
  const std::string count = hkl.out.substr(16, hkl.out.find(' ', 16) - 16);
  EXPECT_NE(csv.out.find("# reflections: " + count + "\r\n"), std::string::npos);
  EXPECT_NE(csv.out.find("n,h1,h2,h3,h4,h5,h6,theta,d,qe,qi,x,y,z,planeClass,mainFlag\r\n"), std::string::npos);
  std::size_t rows = 0;
  for (std::size_t p = csv.out.find("\r\n1,"); p != std::string::npos; p = csv.out.find("\r\n", p + 2)) ++rows;
  EXPECT_EQ(std::to_string(rows - 1), count);
  EXPECT_NE(json.out.find("\"reflections\": " + count), std::string::npos);
  EXPECT_NE(json.out.find("\"spaceGroup\": \"P10.5/mmc\""), std::string::npos);
  EXPECT_NE(json.out.find("\"n\": " + count + ", \"h1\""), std::string::npos);
}

TEST(CliReflections, WritesToAFileOnlyWhenTheInputIsGood) {
  const std::filesystem::path out = std::filesystem::temp_directory_path() / "lumora_cli_test.hkl";
  std::filesystem::remove(out);
  EXPECT_EQ(RunCli("reflections -a 0 -o " + out.string()).status, 2);
  EXPECT_FALSE(std::filesystem::exists(out));
  ASSERT_EQ(RunCli("reflections -o " + out.string()).status, 0);
  std::ifstream in(out, std::ios::binary);
  std::string text((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>());
  EXPECT_EQ(text, RunCli("reflections").out);
  std::filesystem::remove(out);
  EXPECT_EQ(RunCli("reflections -o /nonexistent-folder/out.hkl").status, 1);
}

TEST(CliReflections, BadInputExitsWithStatusTwoAndOneLine) {
  const std::pair<const char*, const char*> cases[] = {
      {"--system hexagonal", "option --system: \"hexagonal\""},
      {"--space-group P9", "option --space-group: \"P9\" is not a known space group"},
      {"--space-group P235", "option --space-group: \"P235\" belongs to the icosahedral system"},
      {"-a abc", "option -a: \"abc\" is not a number"},
      {"-c -1", "option -c: \"-1\" must be greater than 0"},
      {"-a 0", "option -a: \"0\" must be greater than 0"},
      {"--wavelength 0", "option --wavelength: \"0\" must be greater than 0"},
      {"--theta 30,1", "option --theta: \"30\" is larger than the maximum \"1\""},
      {"--loops 1.5", "option --loops: \"1.5\" is not a whole number from 0 to 32767"},
      {"--loops 40000", "option --loops: \"40000\" is not a whole number from 0 to 32767"},
      {"--loops 1,2", "option --loops: \"1,2\" must be one limit or 5 limits"},
      {"--settings /nonexistent/Lumora.cfg", "option --settings: \"/nonexistent/Lumora.cfg\" cannot be read"},
      {"--format xml", "option --format: \"xml\" is not hkl, csv, json or cif"},
      {"--bogus", "unknown option --bogus"},
      {"--theta", "option --theta needs a value"},
  };
  for (const auto& [arguments, message] : cases) {
    const auto run = RunCli(std::string("reflections ") + arguments, true);
    EXPECT_EQ(run.status, 2) << arguments;
    EXPECT_EQ(run.out.rfind(std::string("lumora-cli: ") + message, 0), 0u) << run.out;
    EXPECT_EQ(std::count(run.out.begin(), run.out.end(), '\n'), 1) << run.out;
  }
  EXPECT_EQ(RunCli("nonsense").status, 2);
  EXPECT_EQ(RunCli("").status, 2);
}

TEST(CliReflections, BothWalksWriteTheSameReport) {
  for (const char* system : {"decagonal", "icosahedral", "octagonal --setting steurer"}) {
    const auto fast = RunCli(std::string("reflections --loops 3 --system ") + system);
    const auto box = RunCli(std::string("reflections --loops 3 --algorithm box --system ") + system);
    ASSERT_EQ(fast.status, 0);
    EXPECT_EQ(fast.out, box.out) << system;
  }
  EXPECT_EQ(RunCli("reflections --algorithm quick").status, 2);
}

TEST(CliReflections, StartsFromASettingsFile) {
  const std::filesystem::path cfg = std::filesystem::temp_directory_path() / "lumora_cli_test.cfg";
  std::ofstream(cfg, std::ios::binary) << "0\r\n18\r\nFalse\r\n3.0\r\n10\r\n1\r\n1\r\n1\r\n1\r\n1\r\n1\r\n1\r\n"
                                           "2\r\n25\r\n0.9\r\n0 0\r\n";
  const auto run = RunCli("reflections --settings " + cfg.string() + " -c 11");
  ASSERT_EQ(run.status, 0);
  EXPECT_NE(run.out.find("P8nc, a = 3.0, c = 11, loop = 11111, Steurer matrices \r\n"
                         "wavelength = 1.541878, thmin = 2, thmax = 25, qimax = 0.9\r\n"),
            std::string::npos);
  std::filesystem::remove(cfg);
}

TEST(CliMatrices, OctagonalDirectAndInverse) {
  const auto run = RunCli("matrices --system octagonal");
  ASSERT_EQ(run.status, 0);
  EXPECT_EQ(run.out.rfind("Direct Lattice Matrix\r\n   1.9940   1.9940  -1.9940   1.9940   0.0000\r\n", 0), 0u);
  EXPECT_NE(run.out.find("\r\nInverse Matrix\r\n"), std::string::npos);
  const auto ico = RunCli("matrices --system icosahedral -c 0");
  ASSERT_EQ(ico.status, 0);
  EXPECT_EQ(std::count(ico.out.begin(), ico.out.end(), '\n'), 15);
  EXPECT_EQ(RunCli("matrices -a -2").status, 2);
  EXPECT_EQ(RunCli("matrices --help").status, 0);
}

}  // namespace
}  // namespace lumora
