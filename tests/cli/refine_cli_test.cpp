// lumora-cli refine: a refinement of exact synthetic data from a far start,
// its files (model, JSON, CIF, pictures), the refusal with exit status 3,
// and bad input named by its option, line and field.
#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>
#include <iterator>

#include "cli/cli_run.hpp"
#include "intensity/model_file.hpp"
#include "refine/synthetic_data.hpp"
#include "scratch_test.hpp"

namespace lumora {
namespace {

using testing::RunCli;

std::string ReadAll(const std::string& path) {
  std::ifstream in(path, std::ios::binary);
  return {std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>()};
}

double JsonValueOf(const std::string& json, const std::string& name) {
  const std::size_t at = json.find("\"name\": \"" + name + "\", \"value\": ");
  if (at == std::string::npos) return std::nan("");
  return std::stod(json.substr(json.find("\"value\": ", at) + 9));
}

constexpr const char* kTrue =
    "name truth\nsystem decagonal\nsetting yamamoto\n"
    "P1 Al 0.8 0.2 0.2 0.2 0.2 0 polygon:5:0 1 0.7 1.5\n"
    "P2 Al 1 0.4 0.4 0.4 0.4 0 polygon:5:180 1.618034 0.7 1.5\n"
    "P3 Al 1 0.6 0.6 0.6 0.6 0 polygon:5:0 1.618034 0.7 1.5\n"
    "P4 Al 0.8 0.8 0.8 0.8 0.8 0 polygon:5:180 1 0.7 1.5\n";

class CliRefine : public lumora::testing::ScratchTest {
 protected:
  // Exact data of the true model at the lattice of the command line below.
  void WriteData(const std::string& file, const char* modelText, CrystalSystem system = CrystalSystem::Decagonal) {
    CalculationInputs in;
    in.system = system;
    in.groupIndex = system == CrystalSystem::Decagonal ? FindGroup("P10.5/mmc")->listIndex : FindGroup("P8/mmm")->listIndex;
    in.yamamoto = true;
    in.a = 2.82;
    in.c = 4.1;
    in.wavelength = 0.7107;
    in.thetaLow = 2.0;
    in.thetaHigh = 25.0;
    in.qiLimit = 1.5;
    in.loopLimits.fill(3);
    const auto data = testing::MakeSyntheticData(std::get<StructureModel>(ParseModel(modelText)), in, 25.0, 0.0, 0);
    std::ofstream out(file);
    out << "# h1 h2 h3 h4 h5 I sigma\n";
    for (const Observation& o : data.observations) {
      for (int i = 0; i < 5; ++i) out << o.h[static_cast<std::size_t>(i)] << ' ';
      out << o.intensity << ' ' << o.sigma << '\n';
    }
  }
  std::string Lattice() const { return "--wavelength 0.7107 -a 2.82 -c 4.1 "; }
};

TEST_F(CliRefine, ExactDataFromAFarStartWithEveryOutput) {
  WriteData(Path("data.hkl"), kTrue);
  StructureModel start = std::get<StructureModel>(ParseModel(kTrue));
  for (Site& s : start.sites) s.bPar = s.bPerp = 0.0;
  start.sites[0].occupancy = start.sites[3].occupancy = 1.0;
  ASSERT_TRUE(SaveModel(Path("start.model"), start).ok);
  const auto run = RunCli("refine " + Lattice() + "--model " + Path("start.model") + " --reflections " + Path("data.hkl") +
                          " --refine scale,occupancy:P1=occupancy:P4,b_par:P1=b_par:*,b_perp:P1=b_perp:*" +
                          " --model-out " + Path("out.model") + " --refine-json " + Path("r.json") + " --cif " +
                          Path("r.cif") + " --plot " + Path("fofc.svg") + " --map-png " + Path("map.png") +
                          " --map-at P2 --map-size 48");
  ASSERT_EQ(run.status, 0) << run.out;
  EXPECT_NE(run.out.find("LUMORA STRUCTURE REFINEMENT"), std::string::npos);
  EXPECT_NE(run.out.find("merged in 10/mmm"), std::string::npos);
  const std::string json = ReadAll(Path("r.json"));
  EXPECT_NEAR(JsonValueOf(json, "scale"), 25.0, 1e-4);
  EXPECT_NEAR(JsonValueOf(json, "occupancy:P1=occupancy:P4"), 0.8, 1e-6);
  EXPECT_NEAR(JsonValueOf(json, "b_par:P1=b_par:P2=b_par:P3=b_par:P4"), 0.7, 1e-5);
  EXPECT_NEAR(JsonValueOf(json, "b_perp:P1=b_perp:P2=b_perp:P3=b_perp:P4"), 1.5, 1e-4);
  EXPECT_LT(std::stod(json.substr(json.find("\"R1\": ") + 6)), 1e-6);

  // The refined model reads back with the refined values.
  const auto refined = ParseModel(ReadAll(Path("out.model")));
  ASSERT_TRUE(std::holds_alternative<StructureModel>(refined));
  EXPECT_NEAR(std::get<StructureModel>(refined).sites[3].occupancy, 0.8, 1e-6);
  EXPECT_NEAR(std::get<StructureModel>(refined).sites[1].bPerp, 1.5, 1e-4);
  // The CIF's _refln loop holds every merged reflection, and reads as data again.
  const auto fromCif = ParseReflectionCif(ReadAll(Path("r.cif")), 5);
  ASSERT_TRUE(std::holds_alternative<std::vector<Observation>>(fromCif));
  EXPECT_EQ(std::get<std::vector<Observation>>(fromCif).size(),
            static_cast<std::size_t>(std::stoi(json.substr(json.find("\"observations\": ") + 16))));
  EXPECT_EQ(ReadAll(Path("map.png")).substr(1, 3), "PNG");
  EXPECT_NE(ReadAll(Path("fofc.svg")).find("<svg"), std::string::npos);
}

TEST_F(CliRefine, RefusalExitsWith3AndWritesOnlyItsJson) {
  const char* single = "system octagonal\nsetting yamamoto\nV Al 1 0 0 0 0 0 polygon:8:22.5 1.3066 0 1\n";
  WriteData(Path("data.hkl"), single, CrystalSystem::Octagonal);
  std::ofstream(Path("v.model")) << single;
  const auto run = RunCli("refine --system octagonal --space-group P8/mmm " + Lattice() + "--model " + Path("v.model") +
                              " --reflections " + Path("data.hkl") + " --refine scale,occupancy:V --model-out " +
                              Path("out.model") + " --refine-json " + Path("r.json"),
                          true);
  EXPECT_EQ(run.status, 3);
  EXPECT_NE(run.out.find("no reliable solution: "), std::string::npos) << run.out;
  EXPECT_NE(run.out.find("is not determined by the data"), std::string::npos) << run.out;
  EXPECT_FALSE(std::filesystem::exists(Path("out.model")));
  EXPECT_NE(ReadAll(Path("r.json")).find("\"status\": \"refused\""), std::string::npos);
}

TEST_F(CliRefine, BadInputNamesTheOptionLineAndField) {
  WriteData(Path("data.hkl"), kTrue);
  std::ofstream(Path("bad.hkl")) << "1 0 0 0 0 5 1\n1 0 0 0 0 5 -2\n";
  std::ofstream(Path("m.model")) << kTrue;
  const std::string base = "refine " + Lattice() + "--model " + Path("m.model");
  struct Case {
    std::string arguments, message;
  };
  const std::vector<Case> cases = {
      {base, "option --reflections is needed"},
      {base + " --reflections " + Path("bad.hkl"), "line 2, field 7 (sigma): \"-2\" must be above 0"},
      {base + " --reflections " + Path("data.hkl") + " --refine b_perp:Q9",
       "option --refine: \"b_perp:Q9\" names a bad parameter: \"b_perp:Q9\": the model has no site \"Q9\""},
      {base + " --reflections " + Path("data.hkl") + " --refine occupancy:P1=b_par:P2", "only parameters of one kind"},
      {base + " --reflections " + Path("data.hkl") + " --map-at P2", "option --map-at needs --map-png"},
      {base + " --reflections " + Path("data.hkl") + " --map-at Q --map-png " + Path("m.png"),
       "option --map-at: \"Q\" is not a site of the model"},
      {base + " --reflections " + Path("data.hkl") + " --weight 0.1", "option --weight: \"0.1\" must be A,B"},
      {"refine --system icosahedral --model " + Path("m.model") + " --reflections " + Path("data.hkl"),
       "option --model: the model"},
  };
  for (const Case& c : cases) {
    const auto run = RunCli(c.arguments, true);
    EXPECT_EQ(run.status, 2) << c.arguments;
    EXPECT_NE(run.out.find(c.message), std::string::npos) << run.out;
  }
}

}  // namespace
}  // namespace lumora

namespace lumora {
namespace {

using testing::RunCli;

// powder --rietveld on the example pattern (made from the Penrose model at
// a = 2.825 A, c = 12.08 A, zero +0.04 degrees: docs/examples/make_synthetic_powder.py).
class CliRietveld : public lumora::testing::ScratchTest {};

TEST_F(CliRietveld, FitsTheExamplePatternAndRefusesWhatItCannotTell) {
  const std::string pattern = std::string(LUMORA_SOURCE_DIR) + "/docs/examples/synthetic_decagonal.xye";
  const std::string base = "powder --model penrose --anode Cu --theta 5,40 --loops 4 --doublet -a 2.824 -c 12.07 "
                           "--caglioti 0.004,0,0.004 --measured " + pattern + " --rietveld";
  const auto run = RunCli(base + " --refine-json " + Path("fit.json") + " --model-out " + Path("fit.model"));
  ASSERT_EQ(run.status, 0) << run.out;
  EXPECT_NE(run.out.find("WHOLE-PATTERN FIT - 7001 points"), std::string::npos);
  const std::string json = ReadAll(Path("fit.json"));
  EXPECT_NEAR(JsonValueOf(json, "a"), 2.825, 1e-4);
  EXPECT_NEAR(JsonValueOf(json, "c"), 12.08, 2e-3);
  EXPECT_NEAR(JsonValueOf(json, "zero"), 0.04, 3e-3);
  EXPECT_NEAR(std::stod(json.substr(json.find("\"chi2\": ") + 8)), 1.0, 0.1);
  EXPECT_TRUE(std::holds_alternative<StructureModel>(ParseModel(ReadAll(Path("fit.model")))));

  // One occupancy for every site (of one element) moves every line with the scale.
  const auto refused = RunCli(base + " --refine scale,occupancy:P1=occupancy:* --search 0", true);
  EXPECT_EQ(refused.status, 3);
  EXPECT_NE(refused.out.find("no reliable solution: "), std::string::npos) << refused.out;
  for (const auto& [arguments, message] : std::vector<std::pair<std::string, std::string>>{
           {base + " --refine scale,extinction", "extinction is refined against single-crystal data only"},
           {base + " --refine background:5", "the background has the terms 0 to 2"},
           {"powder --background 2", "option --background needs --rietveld"},
           {"powder --model penrose --rietveld", "option --rietveld needs --measured"}}) {
    const auto bad = RunCli(arguments, true);
    EXPECT_EQ(bad.status, 2) << arguments;
    EXPECT_NE(bad.out.find(message), std::string::npos) << bad.out;
  }
}

}  // namespace
}  // namespace lumora
