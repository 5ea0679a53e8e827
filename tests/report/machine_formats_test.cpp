#include "report/machine_formats.hpp"

#include <gtest/gtest.h>

namespace lumora {
namespace {

// One record and statistics chosen by hand; every value is exact in single
// precision, so the shortest texts are known.
CalculationResult SmallResult() {
  CalculationResult result;
  result.status = RunStatus::Completed;
  result.lattice = SetupLattice(CrystalSystem::Decagonal, 2.82, 12.06, true);
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
            "1,1,0,0,0,-1,0,1.5,2,0.5,0.25,-0.5,0,0.125,2,-1\r\n");
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
            "    {\"n\": 1, \"h1\": 1, \"h2\": 0, \"h3\": 0, \"h4\": 0, \"h5\": -1, \"h6\": 0, \"theta\": 1.5, \"d\": 2, "
            "\"qe\": 0.5, \"qi\": 0.25, \"x\": -0.5, \"y\": 0, \"z\": 0.125, \"planeClass\": 2, \"mainFlag\": -1}\n"
            "  ]\n}\n");

  CalculationResult empty = SmallResult();
  empty.records.clear();
  const std::string none = JsonText(empty, kSummary);
  EXPECT_EQ(none.substr(none.size() - 16), "\"records\": []\n}\n");
}

}  // namespace
}  // namespace lumora
