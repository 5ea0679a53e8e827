#include "report/machine_formats.hpp"

#include <gtest/gtest.h>

#include <cmath>
#include <sstream>

#include "common/number_text.hpp"

namespace lumora {
namespace {

// One record and statistics chosen by hand; every value is exact in single
// precision, so the shortest texts are known.
CalculationResult SmallResult() {
  CalculationResult result;
  result.status = RunStatus::Completed;
  result.lattice = SetupLattice(CrystalSystem::Decagonal, 2.82, 12.06, true);
  result.wavelength = 0.7106867;
  result.group = FindGroup("P10.5/mmc");
  result.loops = 3125;
  ReflectionRecord r;
  r.h = {1, 0, 0, 0, -1, 0};
  r.theta = 1.5f;
  r.d = 2.0f;
  r.qe = 0.5f;
  r.qi = 0.25f;
  r.x = -0.5f;
  r.z = 0.125f;
  r.planeClass = 2;
  r.mainFlag = -1;
  result.records = {r};
  result.stats.zeroLayerMax = 0.75f;
  result.stats.thetaMax = 1.5f;
  result.stats.qiMax = 0.25f;
  result.stats.qiMinPositive = 0.125f;
  result.stats.bounds = {-0.5f, 3.0f, -1.0f, 2.0f, -4.0f, 0.125f};
  return result;
}

// The record's values as they are written: worked out again from its indices.
std::string Values(const CalculationResult& run) {
  const ReflectionValues v = RecomputeReflection(run.lattice, run.wavelength, run.records.front());
  std::string out;
  for (double value : {v.theta, v.d, v.qe, v.qi, v.xyz[0], v.xyz[1], v.xyz[2]}) out += (out.empty() ? "" : ",") + ShortestText(value);
  return out;
}

std::string JsonValues(const CalculationResult& run) {
  const char* names[] = {"theta", "d", "qe", "qi", "x", "y", "z"};
  std::string values = Values(run), out;
  std::size_t start = 0;
  for (const char* name : names) {
    const std::size_t comma = values.find(',', start);
    out += std::string(out.empty() ? "" : ", ") + "\"" + name + "\": " + values.substr(start, comma - start);
    start = comma + 1;
  }
  return out;
}

const Summary kSummary{"P10.5/mmc", "a = 2.82, loop = 22222, Yamamoto matrices \xFF", "tab\there \"q\" back\\ \x01"};

TEST(MachineFormats, CsvListsTheRunThenEveryField) {
  EXPECT_EQ(CsvText(SmallResult(), kSummary),
            "# system: Decagonal\r\n# spaceGroup: P10.5/mmc\r\n# spaceGroupNumber: 63\r\n# extinctionRules: Ob \r\n"
            "# setting: Yamamoto\r\n# paramLine1: a = 2.82, loop = 22222, Yamamoto matrices \\xFF\r\n"
            "# paramLine2: tab\\x09here \"q\" back\\ \\x01\r\n"
            "# reflections: 1\r\n# loops: 3125\r\n# zeroLayerMax: 0.75\r\n# thetaMax: 1.5\r\n# qiMax: 0.25\r\n"
            "# qiMinPositive: 0.125\r\n# xMin: -0.5\r\n# xMax: 3\r\n# yMin: -1\r\n# yMax: 2\r\n# zMin: -4\r\n"
            "# zMax: 0.125\r\n# coordMax: 3\r\n"
            "n,h1,h2,h3,h4,h5,h6,theta,d,qe,qi,x,y,z,planeClass,mainFlag\r\n"
            "1,1,0,0,0,-1,0," + Values(SmallResult()) + ",2,-1\r\n");
}

// Bragg's law, |q| = 1/d and |q|^2 = x^2 + y^2 + z^2, worked out here in
// double precision: the written values are not the records' single-precision
// copies widened, which miss these by about 1e-8.
TEST(MachineFormats, ValuesAreWrittenAtFullPrecision) {
  CalculationInputs inputs;
  inputs.a = 2.82;
  inputs.c = 12.06;
  inputs.wavelength = 1.5406;
  inputs.thetaHigh = 60.0;
  inputs.qiLimit = 2.0;
  inputs.loopLimits = {2, 2, 2, 2, 2, 0};
  const CalculationResult run = RunCalculation(inputs);
  ASSERT_GT(run.records.size(), 100u);
  std::istringstream csv(CsvText(run, kSummary));
  std::string line;
  std::size_t rows = 0, differ = 0;
  while (std::getline(csv, line)) {
    if (line.empty() || line[0] == '#' || line[0] == 'n') continue;
    std::vector<double> f;
    std::istringstream fields(line);
    for (std::string field; std::getline(fields, field, ',');) f.push_back(std::stod(field));
    ASSERT_EQ(f.size(), 16u) << line;
    const double theta = f[7], d = f[8], qe = f[9], x = f[11], y = f[12], z = f[13];
    const ReflectionRecord& r = run.records[rows++];
    EXPECT_NEAR(std::asin(1.5406 / (2.0 * d)) * 180.0 / 3.14159265358979324, theta, 2e-10 * theta) << line;
    EXPECT_NEAR(qe * d, 1.0, 1e-15) << line;
    EXPECT_NEAR(std::sqrt(x * x + y * y + z * z), qe, 1e-14 * qe) << line;
    EXPECT_NEAR(d, r.d, 1e-6 * d) << line;  // the same reflection as the record
    if (d != static_cast<double>(r.d)) ++differ;
  }
  EXPECT_EQ(rows, run.records.size());
  EXPECT_GT(differ, rows / 2);
}

TEST(MachineFormats, JsonEscapesTextsAndKeepsNumbersBare) {
  const std::string json = JsonText(SmallResult(), kSummary);
  EXPECT_EQ(json.substr(0, 40), "{\n  \"system\": \"Decagonal\",\n  \"spaceGroup");
  EXPECT_NE(json.find("  \"paramLine2\": \"tab\\there \\\"q\\\" back\\\\ \\u0001\",\n"), std::string::npos);
  // A byte that is not UTF-8 is shown as in messages: the text stays valid UTF-8.
  EXPECT_NE(json.find("Yamamoto matrices \\\\xFF\",\n"), std::string::npos);
  EXPECT_NE(json.find("\"statistics\": {\n    \"reflections\": 1,\n    \"loops\": \"3125\",\n"), std::string::npos);
  EXPECT_NE(json.find("    \"coordMax\": 3\n  },\n  \"records\": [\n"), std::string::npos);
  EXPECT_EQ(json.substr(json.find("    {\"n\"")),
            "    {\"n\": 1, \"h1\": 1, \"h2\": 0, \"h3\": 0, \"h4\": 0, \"h5\": -1, \"h6\": 0, " + JsonValues(SmallResult()) +
            ", \"planeClass\": 2, \"mainFlag\": -1}\n  ]\n}\n");

  CalculationResult empty = SmallResult();
  empty.records.clear();
  const std::string none = JsonText(empty, kSummary);
  EXPECT_EQ(none.substr(none.size() - 16), "\"records\": []\n}\n");
}

}  // namespace
}  // namespace lumora
