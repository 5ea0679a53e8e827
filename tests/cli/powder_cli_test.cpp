// lumora-cli powder: lines report, lines CSV, pattern files and bad options.
#include <gtest/gtest.h>

#include <cmath>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <map>
#include <regex>
#include <random>
#include <sstream>

#include <gemmi/cif.hpp>

#include "powder/synthetic_powder.hpp"
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
  // powder takes complete loops by default, as "reflections --loops auto" does.
  const auto reflections = RunCli("reflections --loops auto");
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

  // The scale with a background: the file is three times the profile and nothing more.
  const std::string withBackground = "with a constant background: scale = ";
  ASSERT_NE(scaled.out.find(withBackground), std::string::npos);
  EXPECT_NEAR(std::stod(scaled.out.substr(scaled.out.find(withBackground) + withBackground.size())), 3.0, 1e-6);

  // The picture in each format.
  for (const char* name : {"r.png", "r.svg", "r.pdf"}) {
    ASSERT_EQ(RunCli("powder" + narrow + "--measured " + Path("m.xye") + " --plot " + Path(name)).status, 0) << name;
    const std::string bytes = ReadAll(Path(name));
    const std::string magic = name[2] == 'p' && name[3] == 'n' ? "\x89PNG" : name[2] == 's' ? "<svg" : "%PDF";
    EXPECT_NE(bytes.find(magic), std::string::npos) << name;
  }
}

// A measured-like decagonal pattern written by the test's own code
// (synthetic_powder.hpp: its own basis, window transform, the Cu doublet,
// background and noise), and the options of the Steurer setting that describe
// its module.
class CliIndexing : public CliPowder {
 protected:
  static constexpr double kA = 2.825, kC = 12.08, kZero = 0.037;
  std::string WritePattern(const std::string& name, double ratio, bool randomPeaks = false) {
    synthetic::Structure structure;  // decagonal, a = 2.825, c = 12.08
    synthetic::Measurement m;
    m.zero = kZero;
    m.ratio = ratio;
    std::vector<synthetic::Line> lines = synthetic::Lines(structure, m.kAlpha1, m.high + 1.0);
    if (randomPeaks) {  // twelve lines at random places
      std::mt19937 random(4);
      std::uniform_real_distribution<double> at(1.0, 4.4), strength(0.1, 1.0);
      lines.clear();
      for (int i = 0; i < 12; ++i) lines.push_back({at(random), strength(random), {}, 1});
    }
    const MeasuredPattern pattern = synthetic::Pattern(lines, m);
    std::ofstream out(Path(name));
    for (std::size_t i = 0; i < pattern.twoTheta.size(); ++i) out << pattern.twoTheta[i] << " " << pattern.intensity[i] << "\n";
    return Path(name);
  }
  static std::string Module(double a, double c) {
    std::string group;
    for (const SpaceGroup& g : GroupsOf(CrystalSystem::Decagonal))
      if (g.rules.empty()) group = g.symbol;
    // qi-max 1/A at the given a: the synthetic limit 1 at the true a.
    return "powder --system decagonal --setting steurer --space-group " + group + " --anode Cu -a " +
           std::to_string(a) + " -c " + std::to_string(c) + " --qi-max " + std::to_string(kA / a) +
           " --theta 5,40 --two-theta 10,80,0.01 ";
  }
};

TEST_F(CliIndexing, FindsTheCellWithoutAndFromAStartWithinThreeSu) {
  const std::string file = WritePattern("m.xy", 0.5);
  struct Case {
    std::string options;
    double a, c;
  };
  for (const Case& k : {Case{"--index", kA, kC}, Case{"--refine a,c,zero", kA * 1.02, kC * 0.98},
                        Case{"--refine a,c,zero", kA * 0.98, kC * 1.02}}) {
    const auto run = RunCli(Module(k.a, k.c) + "--measured " + file + " " + k.options + " --refine-json " +
                            Path("r.json") + " -o " + Path("r.txt"), true);
    ASSERT_EQ(run.status, 0) << k.options << ": " << run.out;
    const std::string json = ReadAll(Path("r.json")), report = ReadAll(Path("r.txt"));
    EXPECT_NE(json.find("\"reliable\": true"), std::string::npos);
    EXPECT_LT(std::fabs(JsonNumber(json, "a") - kA), 3.0 * JsonNumber(json, "a_su")) << k.options;
    EXPECT_LT(std::fabs(JsonNumber(json, "c") - kC), 3.0 * JsonNumber(json, "c_su")) << k.options;
    EXPECT_LT(std::fabs(JsonNumber(json, "zero") - kZero), 3.0 * JsonNumber(json, "zero_su")) << k.options;
    for (const char* key : {"\"criteria\": [", "\"candidates\": [", "\"ambiguous\": ", "\"wavelength_model\": \"doublet\""})
      EXPECT_NE(json.find(key), std::string::npos) << key;
    EXPECT_NE(report.find("reliable: every criterion below is met"), std::string::npos);
  }
  // A K-alpha1 measurement with the plain anode: its K-alpha2 positions find no peaks.
  const std::string ka1 = WritePattern("k.xy", 0.0);
  const auto run = RunCli(Module(kA * 1.01, kC * 1.01) + "--measured " + ka1 + " --refine a,c,zero --refine-json " +
                          Path("k.json") + " -o " + Path("k.txt"), true);
  ASSERT_EQ(run.status, 0) << run.out;
  const std::string json = ReadAll(Path("k.json"));
  EXPECT_LT(std::fabs(JsonNumber(json, "a") - kA), 3.0 * JsonNumber(json, "a_su"));
  EXPECT_NE(json.find("\"wavelength_model\": \"ka1\""), std::string::npos) << json.substr(0, 600);
}

TEST_F(CliIndexing, RefusesRandomPeaksAndOtherSystemsWithExit3) {
  const std::string noise = WritePattern("n.xy", 0.5, true), decagonal = WritePattern("m.xy", 0.5);
  for (const std::string& arguments :
       {Module(kA, kC) + "--measured " + noise + " --index", Module(kA, kC) + "--measured " + noise + " --refine a,c,zero",
        "powder --system octagonal --anode Cu -a 2.9 -c 7 --theta 5,40 --measured " + decagonal + " --index"}) {
    fs::remove(Path("r.json"));
    const auto run = RunCli(arguments + " --refine-json " + Path("r.json") + " -o " + Path("r.txt"), true);
    EXPECT_EQ(run.status, 3) << arguments;
    EXPECT_NE(run.out.find("lumora-cli: no reliable solution: "), std::string::npos) << run.out;
    EXPECT_NE(run.out.find("candidates (best first):"), std::string::npos) << run.out;
    // The JSON is still written, marked.
    const std::string json = ReadAll(Path("r.json"));
    EXPECT_NE(json.find("\"reliable\": false"), std::string::npos) << arguments;
    EXPECT_FALSE(fs::exists(Path("r.txt")));  // nothing but the JSON
  }
}

TEST_F(CliPowder, LinesCutByTheLoopBoxAreMarkedIncomplete) {
  const auto boxed = RunCli("powder --loops 2");
  const auto whole = RunCli("powder");
  ASSERT_EQ(boxed.status, 0);
  ASSERT_EQ(whole.status, 0);
  EXPECT_NE(boxed.out.find("incomplete ("), std::string::npos);
  EXPECT_NE(boxed.out.find("lines have orbits cut by the loop box"), std::string::npos);
  EXPECT_EQ(whole.out.find("incomplete"), std::string::npos);
  EXPECT_NE(whole.out.find("loop = auto"), std::string::npos);

  // The lines as JSON say the same: each cut line with the multiplicity the
  // complete run gives the line of its d.
  ASSERT_EQ(RunCli("powder --loops 2 --lines " + Path("boxed.json")).status, 0);
  ASSERT_EQ(RunCli("powder --lines " + Path("whole.json")).status, 0);
  const std::regex row(R"re("d": ([^,]+), "multiplicity": (\d+)(?:, "complete_multiplicity": (\d+))?, "incomplete": (true|false))re");
  auto rows = [&](const std::string& text) {
    std::vector<std::smatch> found;
    for (auto it = std::sregex_iterator(text.begin(), text.end(), row); it != std::sregex_iterator(); ++it)
      found.push_back(*it);
    return found;
  };
  const std::string boxedJson = ReadAll(Path("boxed.json")), wholeJson = ReadAll(Path("whole.json"));
  std::map<double, int> wholeMultiplicity;  // by d
  for (const std::smatch& m : rows(wholeJson)) {
    EXPECT_EQ(m[4], "false");
    wholeMultiplicity[std::stod(m[1])] = std::stoi(m[2]);
  }
  const auto boxedRows = rows(boxedJson);
  ASSERT_FALSE(boxedRows.empty());
  std::size_t cut = 0;
  for (const std::smatch& m : boxedRows) {
    const bool incomplete = m[4] == "true";
    cut += incomplete;
    const double d = std::stod(m[1]);
    const auto same = wholeMultiplicity.lower_bound(d * (1 - 1e-9));
    ASSERT_TRUE(same != wholeMultiplicity.end() && same->first <= d * (1 + 1e-9)) << m[0];
    EXPECT_EQ(incomplete, same->second > std::stoi(m[2])) << m[0];
    if (incomplete) {
      EXPECT_EQ(std::stoi(m[3]), same->second) << m[0];
    }
  }
  std::size_t reported = 0;
  for (std::size_t at = boxed.out.find("  incomplete ("); at != std::string::npos; at = boxed.out.find("  incomplete (", at + 1))
    ++reported;
  EXPECT_EQ(cut, reported);
  EXPECT_NE(boxedJson.find("\"incomplete_lines\": " + std::to_string(cut)), std::string::npos);
  EXPECT_NE(wholeJson.find("\"incomplete_lines\": 0"), std::string::npos);
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
      {"--measured " + Path("two.xy") + " --refine-json " + Path("x.json"), "option --refine-json needs --refine or --index"},
      {"--index", "option --index needs --measured"},
      {"--measured " + Path("two.xy") + " --index --a-range 3,2", "option --a-range: \"3,2\""},
      {"--measured " + Path("two.xy") + " --index --c-range 0,2", "option --c-range: \"0,2\""},
      {"--measured " + Path("two.xy") + " --index --wavelength-model ka2", "option --wavelength-model: \"ka2\""},
      {"--wavelength 1.5 --measured " + Path("two.xy") + " --index --wavelength-model ka1", "option --wavelength-model: needs an anode"},
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
  // Two peaks cannot be indexed: no reliable solution, exit 3.
  const auto failed = RunCli("powder --measured " + Path("two.xy") + " --refine a,zero" + out, true);
  EXPECT_EQ(failed.status, 3);
  EXPECT_NE(failed.out.find("lumora-cli: no reliable solution: fewer than 3 peaks"), std::string::npos) << failed.out;
  EXPECT_NE(ReadAll(Path("out.json")).find("\"reliable\": false"), std::string::npos);
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
  // The refused indexing (exit 3) wrote the JSON alone, marked, and nothing else.
  EXPECT_EQ(refused.status, 3) << refused.out;
  for (const std::string& name : names)
    if (name != "fit.json") {
      EXPECT_TRUE(ReadAll(Path(name)) == "old") << name;
    }
  EXPECT_NE(ReadAll(Path("fit.json")).find("\"reliable\": false"), std::string::npos);
  EXPECT_EQ(std::distance(fs::directory_iterator(dir_), {}), static_cast<std::ptrdiff_t>(names.size()));
  // And with nothing in the way, every file is replaced.
  ASSERT_EQ(RunCli("powder" + measured + " --refine a,c,zero" + outputs).status, 0);
  for (const std::string& name : names) EXPECT_TRUE(ReadAll(Path(name)) != "old") << name;
}

}  // namespace
}  // namespace lumora
