// lumora-cli powder: lines report, lines CSV, pattern files and bad options.
#include <gtest/gtest.h>

#include <cmath>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <sstream>

#include <gemmi/cif.hpp>

#include "scratch_test.hpp"
#include "cli/cli_run.hpp"

namespace lumora {
namespace {

namespace fs = std::filesystem;
using testing::RunCli;

class CliPowder : public lumora::testing::ScratchTest {
 protected:
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
};

TEST_F(CliPowder, LinesTakeEveryReflectionOnceAndThePatternKeepsTheirArea) {
  const auto reflections = RunCli("reflections");
  ASSERT_EQ(reflections.status, 0);
  const std::string count = "LUMORA REPORT - ";
  ASSERT_EQ(reflections.out.rfind(count, 0), 0u);
  const std::size_t records = std::stoul(reflections.out.substr(count.size()));

  const auto run = RunCli("powder --two-theta 0.5,70,0.005 --lines " + Path("l.csv") + " --pattern " + Path("p.xy"));
  ASSERT_EQ(run.status, 0);
  EXPECT_NE(run.out.find("LUMORA POWDER LINES - "), std::string::npos);
  EXPECT_NE(run.out.find("from " + std::to_string(records) + " reflections"), std::string::npos) << run.out.substr(0, 200);

  const auto csv = Lines(Path("l.csv"));
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
  const auto xy = Lines(Path("p.xy"));
  ASSERT_EQ(xy.size(), 1u + 13901u);
  EXPECT_EQ(xy[0][0], '#');
  double area = 0.0;
  for (std::size_t i = 1; i < xy.size(); ++i) area += std::stod(Fields(xy[i], ' ').at(1));
  EXPECT_NEAR(area * 0.005, sumI, 1e-6 * sumI);

  // The doublet keeps the area too; CSV by the name's ending.
  ASSERT_EQ(RunCli("powder --anode Cu --doublet --two-theta 0.5,150,0.01 --pattern " + Path("p.CSV")).status, 0);
  const auto doublet = Lines(Path("p.CSV"));
  EXPECT_EQ(doublet[0], "two_theta,intensity");
  EXPECT_EQ(Fields(doublet[1], ',').size(), 2u);
}

// The CIF files of both commands read back with gemmi, with as many rows as
// their CSV counterparts.
TEST_F(CliPowder, CifFilesReadBackWithGemmi) {
  namespace cif = gemmi::cif;
  const auto csv = RunCli("reflections --system icosahedral --model ammann-kramer --format csv");
  const auto text = RunCli("reflections --system icosahedral --model ammann-kramer --format cif");
  ASSERT_EQ(csv.status, 0);
  ASSERT_EQ(text.status, 0);
  cif::Document reflections = cif::read_string(text.out);
  const std::size_t records = std::stoul(csv.out.substr(csv.out.find("# reflections: ") + 15));
  EXPECT_GT(records, 50u);
  EXPECT_EQ(reflections.blocks.at(0).find_values("_refln_index_m_3").length(), records);
  EXPECT_EQ(reflections.blocks.at(0).find_values("_refln_F_calc").length(), records);

  ASSERT_EQ(RunCli("powder --anode Cu --theta 5,30 --pattern " + Path("p.xy") + " --lines " + Path("l.cif")).status, 0);
  ASSERT_EQ(RunCli("powder --anode Cu --theta 5,30 --pattern " + Path("p.cif") + " --lines " + Path("l.csv")).status, 0);
  cif::Document pattern = cif::read_file(Path("p.cif"));
  cif::Document lines = cif::read_file(Path("l.cif"));
  EXPECT_EQ(pattern.blocks.at(0).find_values("_pd_calc_intensity_total").length(), Lines(Path("p.xy")).size() - 1);
  EXPECT_EQ(lines.blocks.at(0).find_values("_pd_peak_id").length(), Lines(Path("l.csv")).size() - 1);
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
  const std::string pattern = " --pattern " + Path("bad.xy");
  const std::vector<std::pair<std::string, std::string>> cases = {
      {"--two-theta 10,5,0.01", "--two-theta"}, {"--two-theta 1,2", "--two-theta"},
      {"--two-theta 1,2,0", "--two-theta"},      {"--caglioti 1,2", "--caglioti"},
      {"--caglioti 0,x,1", "--caglioti"},        {"--eta 2", "--eta"},
      {"--cut 0", "--cut"},                      {"--tolerance abc", "--tolerance"},
      {"--tolerance 0.5", "--tolerance"},        {"--monochromator 200", "--monochromator"},
      {"--wavelength 1.5 --doublet", "--doublet"}, {"--caglioti 0,-1,0.01", "--caglioti"},
      {"-a x", "-a"},                            {"--model nosuchmodel", "--model"},
      {"--plot " + Path("p.gif"), "--plot"},
      {"--zero 10", "--zero"},                   {"--zero x", "--zero"},
      // Widths that used to take minutes and gigabytes, then fail.
      {"--caglioti 1e12,0,0", "--caglioti: \"1e12,0,0\" Caglioti U 1e+12 is not within 100 degrees^2 of 0"},
      {"--caglioti 0,0,1e30", "--caglioti: \"0,0,1e30\" Caglioti W 1e+30 is not within"},
  };
  for (const auto& [arguments, option] : cases) {
    const auto run = RunCli("powder " + arguments + pattern, true);
    EXPECT_EQ(run.status, 2) << arguments;
    EXPECT_NE(run.out.find(option), std::string::npos) << arguments << ": " << run.out;
    EXPECT_FALSE(fs::exists(Path("bad.xy"))) << arguments;
  }
  EXPECT_FALSE(fs::exists(Path("p.gif")));
}

// The number after "key": in a JSON text (the first such key).
double JsonNumber(const std::string& json, const std::string& key) {
  const std::size_t at = json.find("\"" + key + "\": ");
  if (at == std::string::npos) return std::nan("");
  return std::stod(json.substr(at + key.size() + 4));
}

std::string ReadAll(const std::string& path) {
  std::ifstream in(path);
  return std::string(std::istreambuf_iterator<char>(in), {});
}

TEST_F(CliPowder, MeasuredPatternPeaksScaleAndRefinement) {
  // A narrow-line pattern of the default run, then the same pattern three
  // times as strong and shifted by 0.05 degrees, as a measurement would be.
  const std::string narrow = " --caglioti 0,0,0.0004 --two-theta 4,60,0.004 ";
  ASSERT_EQ(RunCli("powder" + narrow + "--pattern " + Path("p.xy")).status, 0);
  {
    std::ofstream shifted(Path("m.xye")), same(Path("s.csv"));
    same << "2theta;I\n";
    for (const std::string& line : Lines(Path("p.xy"))) {
      if (line[0] == '#') continue;
      const auto f = Fields(line, ' ');
      const double y = 3.0 * std::stod(f[1]);
      shifted << std::stod(f[0]) + 0.05 << " " << y << " " << 1.0 + std::sqrt(y) << "\n";
      same << f[0] << ";" << y << "\n";
    }
  }
  const auto scaled = RunCli("powder" + narrow + "--measured " + Path("s.csv"));
  ASSERT_EQ(scaled.status, 0);
  const std::string scaleText = "scale of the simulated pattern (least squares over the common range) = ";
  const std::size_t at = scaled.out.find(scaleText);
  ASSERT_NE(at, std::string::npos) << scaled.out;
  EXPECT_NEAR(std::stod(scaled.out.substr(at + scaleText.size())), 3.0, 1e-6);
  EXPECT_NE(scaled.out.find("MEASURED PATTERN - " + Path("s.csv") + ": 14001 points, 2theta 4 to 60, no sigma column"),
            std::string::npos);
  EXPECT_EQ(scaled.out.find("REFINEMENT"), std::string::npos);

  // The default run: a = 2.82 A (decagonal, Mo).
  const auto refined = RunCli("powder" + narrow + "-a 2.821 --measured " + Path("m.xye") +
                              " --refine a,c,zero --refine-json " + Path("r.json") + " -o " + Path("r.txt"));
  ASSERT_EQ(refined.status, 0);
  const std::string report = ReadAll(Path("r.txt")), json = ReadAll(Path("r.json"));
  EXPECT_NE(report.find("REFINEMENT - "), std::string::npos);
  EXPECT_NE(report.find("F(N) (Smith-Snyder) = "), std::string::npos);
  EXPECT_NEAR(JsonNumber(json, "a"), 2.82, 2.82e-4);
  EXPECT_NEAR(JsonNumber(json, "zero"), 0.05, 0.005);
  EXPECT_GT(JsonNumber(json, "a_su"), 0.0);
  EXPECT_GT(JsonNumber(json, "figure_of_merit"), 0.0);
  for (const char* key : {"c", "c_su", "zero_su", "mean_difference", "possible_lines", "iterations"})
    EXPECT_FALSE(std::isnan(JsonNumber(json, key))) << key;
  EXPECT_NE(json.find("\"refined\": [\"a\", \"c\", \"zero\"]"), std::string::npos) << json.substr(0, 400);
  EXPECT_NE(json.find("\"figure_of_merit_name\": \"F(N) (Smith-Snyder)\""), std::string::npos);
  EXPECT_NE(json.find("\"peaks\": [\n    {\"observed\": "), std::string::npos);
  EXPECT_NE(json.find("\"unindexed\": ["), std::string::npos);

  // The scale with a background: the file is three times the profile and nothing more.
  const std::string withBackground = "with a constant background: scale = ";
  ASSERT_NE(scaled.out.find(withBackground), std::string::npos);
  EXPECT_NEAR(std::stod(scaled.out.substr(scaled.out.find(withBackground) + withBackground.size())), 3.0, 1e-6);

  // The picture in each format, with the refinement drawn.
  for (const char* name : {"r.png", "r.svg", "r.pdf"}) {
    ASSERT_EQ(RunCli("powder" + narrow + "-a 2.821 --measured " + Path("m.xye") + " --refine a,zero --plot " + Path(name)).status, 0)
        << name;
    const std::string bytes = ReadAll(Path(name));
    const std::string magic = name[2] == 'p' && name[3] == 'n' ? "\x89PNG" : name[2] == 's' ? "<svg" : "%PDF";
    EXPECT_NE(bytes.find(magic), std::string::npos) << name;
  }
}

TEST_F(CliPowder, ResolvedDoubletsRefineWithKAlpha1) {
  // Cu K-alpha1 and K-alpha2 apart: the peaks found are K-alpha1 peaks, so
  // --doublet refines with 1.5405982 A; the run's K-alpha mean would put a
  // 0.08 % off.
  ASSERT_EQ(RunCli("powder --anode Cu --theta 5,60 --caglioti 0.002,0,0.002 --two-theta 10,120,0.01 --doublet --pattern " +
                   Path("cu.xy")).status, 0);
  {
    std::ofstream measured(Path("m.xy"));
    for (const std::string& line : Lines(Path("cu.xy")))
      if (line[0] != '#') measured << std::stod(Fields(line, ' ')[0]) + 0.02 << " " << Fields(line, ' ')[1] << "\n";
  }
  const auto run = RunCli("powder --anode Cu --theta 5,60 --two-theta 10,120,0.01 --doublet -a 2.8205 --measured " +
                          Path("m.xy") + " --refine a,c,zero --refine-json " + Path("r.json"));
  ASSERT_EQ(run.status, 0);
  EXPECT_NE(run.out.find("wavelength = 1.540598 A"), std::string::npos);
  const std::string json = ReadAll(Path("r.json"));
  EXPECT_NEAR(JsonNumber(json, "a"), 2.82, 2e-5 * 2.82);
  EXPECT_NEAR(JsonNumber(json, "zero"), 0.02, 0.002);
}

TEST_F(CliPowder, DiffractometerFileRangeAndStatedWavelength) {
  // A UXD file of two ranges: a short first scan, then the Cu K-alpha1
  // profile three times as strong; the file states Cu K-alpha1.
  const std::string narrow = " --caglioti 0,0,0.0004 --two-theta 4,60,0.004 ";
  ASSERT_EQ(RunCli("powder --wavelength 1.540598" + narrow + "--pattern " + Path("p.xy")).status, 0);
  {
    std::ofstream uxd(Path("m.uxd"));
    uxd << "_FILEVERSION=1\n_WL1=1.540598\n; Data for range 1\n_DRIVE='COUPLED'\n_STEPSIZE=0.5\n_START=10\n"
           "_2THETA=10\n_COUNTS\n1 2 3\n; Data for range 2\n_DRIVE='COUPLED'\n_STEPSIZE=0.004\n_START=4\n_2THETA=4\n_COUNTS\n";
    for (const std::string& line : Lines(Path("p.xy")))
      if (line[0] != '#') uxd << 3.0 * std::stod(Fields(line, ' ')[1]) << "\n";
  }
  const std::string scaleText = "with a constant background: scale = ";
  auto scale = [&scaleText](const std::string& out) {
    const std::size_t at = out.find(scaleText);
    return at == std::string::npos ? 0.0 : std::stod(out.substr(at + scaleText.size()));
  };
  // No wavelength chosen: the file's is the run's, and the profile fits it.
  const auto fromFile = RunCli("powder" + narrow + "--measured " + Path("m.uxd") + " --range 2");
  ASSERT_EQ(fromFile.status, 0) << fromFile.out;
  EXPECT_NE(fromFile.out.find("format Bruker Diffrac-AT UXD, range 2 of 2\n"
                              "the file states wavelength 1.540598 A (WL1): the run uses it\n"),
            std::string::npos) << fromFile.out.substr(0, 2000);
  EXPECT_NE(fromFile.out.find(": 14001 points, 2theta 4 to 60,"), std::string::npos);
  EXPECT_NEAR(scale(fromFile.out), 3.0, 1e-3);
  // A chosen wavelength stays the run's, and the report says the file differs.
  const auto chosen = RunCli("powder --anode Mo" + narrow + "--measured " + Path("m.uxd") + " --range 2");
  ASSERT_EQ(chosen.status, 0);
  EXPECT_NE(chosen.out.find("the file states wavelength 1.540598 A (WL1): the run uses 0.71"), std::string::npos);
  EXPECT_GT(std::abs(scale(chosen.out) - 3.0), 0.1);

  for (const auto& [arguments, message] : std::vector<std::pair<std::string, std::string>>{
           {"--measured " + Path("m.uxd") + " --range 3",
            "option --range: " + Path("m.uxd") + ", range 3 asked for, but the file has 2 ranges"},
           {"--measured " + Path("m.uxd") + " --range 0", "option --range: \"0\" is not a range number"},
           {"--range 2", "option --range needs --measured"}}) {
    const auto run = RunCli("powder " + arguments + " -o " + Path("out.txt"), true);
    EXPECT_EQ(run.status, 2) << arguments;
    EXPECT_NE(run.out.find(message), std::string::npos) << arguments << ": " << run.out;
    EXPECT_FALSE(fs::exists(Path("out.txt"))) << arguments;
  }
}

TEST_F(CliPowder, MeasuredAndRefinementProblems) {
  std::ofstream(Path("bad.xy")) << "10 5\n11 x\n";
  {
    std::ofstream two(Path("two.xy"));  // two spikes
    for (int i = 0; i < 16; ++i) two << 10.0 + 0.1 * i << " " << (i == 5 || i == 10 ? 50 : 0) << "\n";
  }
  const std::string out = " --refine-json " + Path("out.json") + " -o " + Path("out.txt");
  const std::vector<std::pair<std::string, std::string>> usage = {
      {"--refine a", "option --refine needs --measured"},
      {"--measured " + Path("two.xy") + " --refine-json " + Path("x.json"), "option --refine-json needs --refine"},
      {"--measured " + Path("two.xy") + " --refine a,b", "option --refine: \"a,b\" is not a list of a, c and zero"},
      {"--measured " + Path("two.xy") + " --refine a,a", "option --refine: \"a,a\""},
      {"--system icosahedral --measured " + Path("two.xy") + " --refine a,c",
       "option --refine: c cannot be refined: the icosahedral system has no c"},
      {"--measured " + Path("bad.xy"), "option --measured: " + Path("bad.xy") + ", line 2: \"x\" is not a number"},
      {"--measured " + Path("none.xy"), "option --measured: " + Path("none.xy") + ": no such file"},
      {"--measured " + Path("two.xy") + " --peak-threshold 0", "option --peak-threshold: \"0\""},
      {"--measured " + Path("two.xy") + " --peak-smoothing 4", "option --peak-smoothing: \"4\""},
      {"--measured " + Path("two.xy") + " --index-tolerance -1", "option --index-tolerance: \"-1\""},
  };
  for (const auto& [arguments, message] : usage) {
    const auto run = RunCli("powder " + arguments + " -o " + Path("out.txt"), true);
    EXPECT_EQ(run.status, 2) << arguments;
    EXPECT_NE(run.out.find(message), std::string::npos) << arguments << ": " << run.out;
    EXPECT_FALSE(fs::exists(Path("out.txt"))) << arguments;
  }
  // Two peaks cannot be refined: exit 1, nothing written.
  const auto failed = RunCli("powder --measured " + Path("two.xy") + " --refine a,zero" + out, true);
  EXPECT_EQ(failed.status, 1);
  EXPECT_NE(failed.out.find("lumora-cli: refinement: fewer than 3 peaks"), std::string::npos) << failed.out;
  EXPECT_FALSE(fs::exists(Path("out.txt")) || fs::exists(Path("out.json")));
}

// A refusal found late (the refined pattern for the picture, a picture that
// cannot be written) leaves every output as it was: the files are all made
// first, then written together.
TEST_F(CliPowder, NothingIsWrittenBeforeARefusal) {
  const std::vector<std::string> names = {"lines.csv", "pattern.xy", "fit.json", "plot.png", "report.txt"};
  for (const std::string& name : names) std::ofstream(Path(name)) << "old";
  const std::string outputs = " --lines " + Path("lines.csv") + " --pattern " + Path("pattern.xy") +
                              " --refine-json " + Path("fit.json") + " --plot " + Path("plot.png") + " -o " +
                              Path("report.txt");
  const std::string measured = " --model penrose --anode Cu --theta 5,40 --loops 4 --doublet -a 2.824 -c 12.07"
                               " --measured " LUMORA_SOURCE_DIR "/docs/examples/synthetic_decagonal.xye";
  const auto refused = RunCli("powder" + measured + " --refine a,c,zero --zero -9.99" + outputs, true);
  EXPECT_NE(refused.status, 0) << refused.out;
  const auto unwritable = RunCli("powder" + measured + " --refine a,c,zero" + outputs + " --plot " +
                                     Path("missing/plot.png"), true);
  EXPECT_EQ(unwritable.status, 1) << unwritable.out;
  EXPECT_NE(unwritable.out.find("no file was written"), std::string::npos) << unwritable.out;
  for (const std::string& name : names) EXPECT_TRUE(ReadAll(Path(name)) == "old") << name;
  EXPECT_EQ(std::distance(fs::directory_iterator(dir_), {}), static_cast<std::ptrdiff_t>(names.size()));
  // And with nothing in the way, every file is replaced.
  ASSERT_EQ(RunCli("powder" + measured + " --refine a,c,zero" + outputs).status, 0);
  for (const std::string& name : names) EXPECT_TRUE(ReadAll(Path(name)) != "old") << name;
}

}  // namespace
}  // namespace lumora
