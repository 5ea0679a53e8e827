// The program against values worked out independently by lumora_reference.py
// (numpy for the inverses, its own walk, classification, reflection conditions
// and report writer). The script writes its files into LUMORA_REFERENCE_DIR
// before these tests run.
#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <map>
#include <optional>
#include <sstream>
#include <string>
#include <variant>
#include <vector>

#include "common/file_io.hpp"
#include "reflections/calculation.hpp"
#include "reflections/extinction.hpp"
#include "inputs/parameters.hpp"
#include "report/report.hpp"

namespace lumora {
namespace {

using Words = std::vector<std::string>;

std::filesystem::path ReferenceDir() {
  const char* dir = std::getenv("LUMORA_REFERENCE_DIR");
  return dir ? std::filesystem::path(dir) : std::filesystem::path(LUMORA_REFERENCE_DIR);
}

// The lines of a reference file starting with the given tag, split into words
// (the tag dropped).
std::vector<Words> Tagged(const std::string& file, const std::string& tag) {
  std::ifstream in(ReferenceDir() / file);
  EXPECT_TRUE(in.good()) << "missing reference file " << (ReferenceDir() / file);
  std::vector<Words> rows;
  for (std::string line; std::getline(in, line);) {
    std::istringstream words(line);
    std::string first;
    if (!(words >> first) || first != tag) continue;
    Words row;
    for (std::string w; words >> w;) row.push_back(w);
    rows.push_back(std::move(row));
  }
  EXPECT_FALSE(rows.empty()) << file << " has no '" << tag << "' lines";
  return rows;
}

double Num(const std::string& s) { return std::strtod(s.c_str(), nullptr); }
int Int(const std::string& s) { return std::stoi(s); }
CrystalSystem System(const std::string& s) { return static_cast<CrystalSystem>(Int(s)); }

// Elements agree to 1e-12 of their size; elements that are zero up to the
// rounding of pi and of the elimination are held to 1e-14 of the matrix's
// largest element instead.
void ExpectMatrix(const Matrix7& got, const Words& row, const std::string& what) {
  const int n = Int(row[4]);
  double largest = 0.0;
  for (int k = 0; k < n * n; ++k) largest = std::max(largest, std::fabs(Num(row[5 + k])));
  for (int i = 0; i < 7; ++i) {
    for (int j = 0; j < 7; ++j) {
      if (i >= n || j >= n) {
        EXPECT_EQ(got[i][j], 0.0) << what << " outside the block at " << i << "," << j;
        continue;
      }
      const double want = Num(row[5 + i * n + j]);
      const double tolerance = std::max(1e-12 * std::fabs(want), 1e-14 * largest);
      EXPECT_NEAR(got[i][j], want, tolerance) << what << " element " << i << "," << j;
    }
  }
}

TEST(Reference, BasesAndInversesOfEverySystemAndSetting) {
  int checked = 0;
  for (const char* kind : {"basis", "direct", "inverse"}) {
    for (const Words& row : Tagged("matrices.txt", kind)) {
      const CrystalSystem system = System(row[0]);
      const bool yamamoto = row[1] == "1";
      const double a = Num(row[2]);
      const double c = Num(row[3]);
      const std::string what = std::string(kind) + " of " + std::string(SystemName(system)) +
                               (yamamoto ? " Yamamoto" : " Steurer") + " a=" + row[2] + " c=" + row[3];
      const Lattice lattice = SetupLattice(system, a, c, yamamoto);
      ASSERT_EQ(lattice.nDim, Int(row[4])) << what;
      if (std::string(kind) == "basis") ExpectMatrix(SystemBasis(system, a, c, yamamoto), row, what);
      else ExpectMatrix(std::string(kind) == "direct" ? lattice.directMatrix : lattice.inverseMatrix, row, what);
      ++checked;
    }
  }
  EXPECT_EQ(checked, 3 * 4 * 2 * 2);

  for (const Words& row : Tagged("matrices.txt", "axis")) {
    const CrystalSystem system = System(row[0]);
    const Lattice lattice = SetupLattice(system, Num(row[2]), Num(row[3]), row[1] == "1");
    EXPECT_NEAR(lattice.firstAxisDir[0], Num(row[4]), 1e-12) << SystemName(system);
    EXPECT_NEAR(lattice.firstAxisDir[1], Num(row[5]), 1e-12) << SystemName(system);
    if (lattice.nDim == 5) {
      EXPECT_EQ(lattice.mirrorAngle1, static_cast<float>(Num(row[6]))) << SystemName(system);
      EXPECT_EQ(lattice.mirrorAngle2, static_cast<float>(Num(row[7]))) << SystemName(system);
    }
  }
}

TEST(Reference, TheWholeSpaceGroupTable) {
  const std::vector<Words> rows = Tagged("groups.txt", "group");
  ASSERT_EQ(rows.size(), 85u);
  ASSERT_EQ(AllSpaceGroups().size(), 85u);
  for (const Words& row : rows) {
    const int number = Int(row[0]);
    const SpaceGroup& g = AllSpaceGroups()[static_cast<std::size_t>(number - 1)];
    std::string rules;
    for (std::size_t w = 5; w < row.size(); ++w) rules += row[w] + " ";
    EXPECT_EQ(g.number, number);
    EXPECT_EQ(g.system, System(row[1])) << number;
    EXPECT_EQ(g.listIndex, Int(row[2])) << number;
    EXPECT_EQ(g.symbol, row[3]) << number;
    EXPECT_EQ(g.rules, rules) << number;
    EXPECT_EQ(ExtinctionStatusText(g), "extinction rules: " + rules) << number;
    EXPECT_EQ(&GroupAt(g.system, g.listIndex), &g) << number;
    EXPECT_EQ(FindGroup(row[3]), &g) << number;
  }
  for (CrystalSystem system : {CrystalSystem::Octagonal, CrystalSystem::Decagonal, CrystalSystem::Dodecagonal,
                               CrystalSystem::Icosahedral}) {
    std::size_t count = 0;
    for (const Words& row : rows) count += System(row[1]) == system;
    EXPECT_EQ(GroupsOf(system).size(), count) << SystemName(system);
  }
  for (const Words& row : Tagged("groups.txt", "default")) {
    EXPECT_EQ(DefaultGroupIndex(System(row[0])), Int(row[1]));
    EXPECT_EQ(GroupAt(System(row[0]), DefaultGroupIndex(System(row[0]))).symbol, row[2]);
  }
  const Words start = Tagged("groups.txt", "start").at(0);
  const ParameterTexts startup = StartupParameters();
  EXPECT_EQ(SystemFromIndex(startup.systemIndex), System(start[0]));
  EXPECT_EQ(startup.groupIndex, Int(start[1]));
  EXPECT_EQ(kStartGroupIndex, Int(start[1]));
  EXPECT_EQ(BuildSummary(startup).sgSymbol, start[2]);
}

TEST(Reference, EveryGroupsVerdictOnEveryProbe) {
  struct Probe {
    ReflectionRecord record;
    int nDim;
  };
  std::vector<Probe> axial, icosahedral;
  for (const char* tag : {"v5", "v6"}) {
    for (const Words& row : Tagged("extinction.txt", tag)) {
      const int n = std::string(tag) == "v5" ? 5 : 6;
      Probe p{{}, n};
      for (int k = 0; k < n; ++k) p.record.h[static_cast<std::size_t>(k)] = static_cast<float>(Int(row[k]));
      p.record.planeClass = static_cast<std::int16_t>(Int(row[n]));
      (n == 5 ? axial : icosahedral).push_back(p);
    }
  }
  const std::vector<Words> verdicts = Tagged("extinction.txt", "ext");
  ASSERT_EQ(verdicts.size(), 85u);
  for (const Words& row : verdicts) {
    const SpaceGroup& g = AllSpaceGroups()[static_cast<std::size_t>(Int(row[0]) - 1)];
    const std::vector<Probe>& probes = g.system == CrystalSystem::Icosahedral ? icosahedral : axial;
    const std::string& expected = row[1];
    ASSERT_EQ(expected.size(), probes.size());
    int wrong = 0;
    for (std::size_t i = 0; i < probes.size(); ++i) {
      const bool want = expected[i] == '1';
      if (IsExtinct(probes[i].record, g, probes[i].nDim) == want) continue;
      if (++wrong <= 3) {
        std::string h;
        for (int k = 0; k < probes[i].nDim; ++k) h += " " + std::to_string(static_cast<int>(probes[i].record.h[k]));
        ADD_FAILURE() << g.symbol << " (" << g.rules << "):" << h << " class " << probes[i].record.planeClass
                      << " should be " << (want ? "extinct" : "kept");
      }
    }
    EXPECT_EQ(wrong, 0) << g.symbol;
  }
}

CalculationInputs OpenBox(CrystalSystem system, bool yamamoto, int groupIndex, const Words& open) {
  CalculationInputs in;
  in.system = system;
  in.groupIndex = groupIndex;
  in.yamamoto = yamamoto;
  in.a = Num(open[0]);
  in.c = Num(open[1]);
  in.wavelength = Num(open[2]);
  in.thetaLow = Num(open[3]);
  in.thetaHigh = Num(open[4]);
  in.qiLimit = Num(open[5]);
  in.loopLimits.fill(Int(open[6]));
  return in;
}

// Position of a record's index vector in the walk of the box (origin included).
long long Serial(const ReflectionRecord& r, int n, int limit) {
  long long serial = 0;
  for (int k = 0; k < n; ++k) serial = serial * (2 * limit + 1) + (limit - static_cast<int>(r.h[k]));
  return serial;
}

struct Signature {
  long long count = 0, sum = 0, squares = 0;
  void Add(long long serial) {
    ++count;
    sum += serial;
    squares += serial * serial;
  }
};

TEST(Reference, KeptReflectionsOfEveryGroupOnAnOpenBox) {
  const Words open = Tagged("counts.txt", "open").at(0);
  const int limit = Int(open[6]);
  const std::vector<Words> rows = Tagged("counts.txt", "count");
  EXPECT_EQ(rows.size(), 170u);
  for (const Words& row : rows) {
    const CrystalSystem system = System(row[0]);
    const bool yamamoto = row[1] == "1";
    const CalculationResult result = RunCalculation(OpenBox(system, yamamoto, Int(row[2]), open));
    ASSERT_EQ(result.status, RunStatus::Completed) << result.error;
    Signature s;
    for (const ReflectionRecord& r : result.records) s.Add(Serial(r, result.lattice.nDim, limit));
    const std::string what = result.group->symbol + (yamamoto ? " Yamamoto" : " Steurer");
    EXPECT_EQ(s.count, std::stoll(row[3])) << what;
    EXPECT_EQ(s.sum, std::stoll(row[4])) << what << ": other reflections kept";
    EXPECT_EQ(s.squares, std::stoll(row[5])) << what << ": other reflections kept";
  }
}

TEST(Reference, DirectionClassesAndMainReflectionsOfTheWholeBox) {
  const Words open = Tagged("counts.txt", "open").at(0);
  const int limit = Int(open[6]);
  for (const Words& row : Tagged("counts.txt", "classes")) {
    const CrystalSystem system = System(row[0]);
    const bool yamamoto = row[1] == "1";
    // List position 0 of every system has neither centring nor conditions.
    const CalculationResult result = RunCalculation(OpenBox(system, yamamoto, 0, open));
    ASSERT_EQ(result.status, RunStatus::Completed) << result.error;
    Signature classes[3], main;
    for (const ReflectionRecord& r : result.records) {
      const long long serial = Serial(r, result.lattice.nDim, limit);
      classes[r.planeClass].Add(serial);
      if (r.mainFlag == -1) main.Add(serial);
    }
    const std::string what = std::string(SystemName(system)) + (yamamoto ? " Yamamoto" : " Steurer");
    for (int k = 0; k < 3; ++k) {
      EXPECT_EQ(classes[k].count, std::stoll(row[2 + 2 * k])) << what << " class " << k;
      EXPECT_EQ(classes[k].sum, std::stoll(row[3 + 2 * k])) << what << " class " << k;
    }
    EXPECT_EQ(main.count, std::stoll(row[8])) << what << " main reflections";
    EXPECT_EQ(main.sum, std::stoll(row[9])) << what << " main reflections";
  }
}

struct ReportCase {
  std::string name;
  ParameterTexts texts;
};

std::vector<ReportCase> ReportCases() {
  std::vector<ReportCase> cases;
  for (const Words& row : Tagged("cases.txt", "case")) {
    ReportCase c{row[0], StartupParameters()};
    c.texts.systemIndex = Int(row[1]) - 1;
    c.texts.groupIndex = Int(row[2]);
    c.texts.yamamoto = row[3] == "1";
    c.texts.a = row[4];
    c.texts.c = row[5];
    c.texts.wavelength = row[6];
    c.texts.thetaMin = row[7];
    c.texts.thetaMax = row[8];
    c.texts.qiMax = row[9];
    c.texts.loops.fill(row[10]);
    cases.push_back(c);
  }
  EXPECT_EQ(cases.size(), 8u);
  return cases;
}

CalculationResult RunCase(const ReportCase& c) {
  auto read = ReadInputs(c.texts);
  if (!std::holds_alternative<CalculationInputs>(read)) {
    ADD_FAILURE() << c.name << ": " << std::get<InputError>(read).Message();
    return {};
  }
  return RunCalculation(std::get<CalculationInputs>(read));
}

std::vector<std::string> SplitCrLf(const std::string& text) {
  std::vector<std::string> lines;
  std::size_t start = 0;
  for (std::size_t end; (end = text.find("\r\n", start)) != std::string::npos; start = end + 2)
    lines.push_back(text.substr(start, end - start));
  if (start < text.size()) lines.push_back(text.substr(start));
  return lines;
}

TEST(Reference, WholeReportsByteForByte) {
  for (const ReportCase& c : ReportCases()) {
    const CalculationResult result = RunCase(c);
    ASSERT_EQ(result.status, RunStatus::Completed) << c.name << ": " << result.error;
    ReportContext context;
    context.summary = BuildSummary(c.texts);
    context.nDim = result.lattice.nDim;
    context.steurer = !c.texts.yamamoto;
    const std::string got = ReportText(result.records, context);
    const std::optional<std::string> want = ReadWholeFile(ReferenceDir() / ("report_" + c.name + ".hkl"));
    ASSERT_TRUE(want.has_value()) << c.name;
    if (got == *want) continue;
    const std::vector<std::string> g = SplitCrLf(got), w = SplitCrLf(*want);
    int differing = 0;
    std::string first;
    for (std::size_t i = 0; i < std::max(g.size(), w.size()); ++i) {
      const std::string gl = i < g.size() ? g[i] : "(none)";
      const std::string wl = i < w.size() ? w[i] : "(none)";
      if (gl == wl) continue;
      if (differing++ == 0) first = "line " + std::to_string(i + 1) + "\n  program:   " + gl + "\n  reference: " + wl;
    }
    ADD_FAILURE() << "report_" << c.name << ".hkl: " << differing << " lines differ (" << got.size() << " vs "
                  << want->size() << " bytes); first " << first;
  }
}

TEST(Reference, RunStatisticsDirectionClassesAndMainFlags) {
  std::map<std::string, Words> stats, flags;
  for (const Words& row : Tagged("cases.txt", "stats")) stats[row[0]] = row;
  for (const Words& row : Tagged("cases.txt", "flags")) flags[row[0]] = row;
  for (const ReportCase& c : ReportCases()) {
    const CalculationResult result = RunCase(c);
    const RunStatistics& s = result.stats;
    const float got[] = {s.zeroLayerMax, s.thetaMax,    s.qiMax,       s.qiMinPositive, s.bounds.xMin,
                         s.bounds.xMax,  s.bounds.yMin, s.bounds.yMax, s.bounds.zMin,   s.bounds.zMax};
    const char* names[] = {"zeroLayerMax", "thetaMax", "qiMax", "qiMinPositive", "xMin",
                           "xMax",         "yMin",     "yMax",  "zMin",          "zMax"};
    const Words& want = stats.at(c.name);
    for (int k = 0; k < 10; ++k)
      EXPECT_EQ(got[k], static_cast<float>(Num(want[1 + k]))) << c.name << " " << names[k];

    std::string classes, main;
    for (const ReflectionRecord& r : result.records) {
      classes += static_cast<char>('0' + r.planeClass);
      main += r.mainFlag == -1 ? '1' : '0';
    }
    if (result.records.empty()) classes = main = "-";
    EXPECT_EQ(classes, flags.at(c.name)[1]) << c.name << " direction classes";
    EXPECT_EQ(main, flags.at(c.name)[2]) << c.name << " main reflections";
  }
}

}  // namespace
}  // namespace lumora
