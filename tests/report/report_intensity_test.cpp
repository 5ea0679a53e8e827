// The "I" column and the intensity fields of the machine formats.
#include <gtest/gtest.h>

#include "report/machine_formats.hpp"
#include "report/report.hpp"

namespace lumora {
namespace {

std::vector<ReflectionRecord> TwoRecords() {
  ReflectionRecord a;
  a.h = {1, 0, 0, 0, 0, 0};
  a.theta = 7.3f;
  a.qe = 0.36f;
  ReflectionRecord b = a;
  b.h = {0, 1, 0, 0, 0, 0};
  return {a, b};
}

ReportContext Context() {
  ReportContext context;
  context.summary = {"P10/mmm", "a = 2.82, c = 12.06, loop = 22222, Yamamoto matrices", "wavelength = 0.7"};
  return context;
}

std::vector<std::string> Lines(const std::string& text) {
  std::vector<std::string> lines;
  std::size_t start = 0;
  for (std::size_t end; (end = text.find("\r\n", start)) != std::string::npos; start = end + 2)
    lines.push_back(text.substr(start, end - start));
  return lines;
}

TEST(ReportIntensity, IColumnAtTheEnd) {
  const auto records = TwoRecords();
  ReportContext context = Context();
  const std::vector<std::string> plain = Lines(ReportText(records, context));
  context.intensities = std::make_shared<const std::vector<double>>(std::vector<double>{100.0, 3.25});
  const std::vector<std::string> with = Lines(ReportText(records, context));
  ASSERT_EQ(with.size(), plain.size());
  EXPECT_EQ(with[5], plain[5] + "         I");
  EXPECT_EQ(with[4], std::string(plain[4].size() + 10, '-'));
  EXPECT_EQ(with[7], plain[7] + " 100.00000");
  EXPECT_EQ(with[8], plain[8] + "   3.25000");

  context.columns = {true, false, false, false, false, true};
  EXPECT_EQ(Lines(ReportText(records, context))[8], "2       0   1   0   0   0   3.25000");
  context.columns.intensity = false;  // switched off like any other column
  EXPECT_EQ(Lines(ReportText(records, context))[8], "2       0   1   0   0   0");
}

TEST(ReportIntensity, FourthLineNamesTheModelOnlyWithTheIColumn) {
  const auto records = TwoRecords();
  ReportContext context = Context();
  context.model = "penrose";  // a model name without intensities names nothing
  EXPECT_EQ(Lines(ReportText(records, context))[3], "");
  context.intensities = std::make_shared<const std::vector<double>>(std::vector<double>{100.0, 3.25});
  const std::vector<std::string> with = Lines(ReportText(records, context));
  ASSERT_EQ(with.size(), 9u);  // the header stays seven lines
  EXPECT_EQ(with[3], "I from the structure model penrose");
  context.columns.intensity = false;
  EXPECT_EQ(Lines(ReportText(records, context))[3], "");
  // A name read from a file cannot break the report's lines.
  context.columns.intensity = true;
  context.model = "two\r\nlines";
  const std::string text = ReportText(records, context);
  EXPECT_EQ(Lines(text).size(), 9u);
  EXPECT_EQ(Lines(text)[3].find('\n'), std::string::npos);
}

TEST(ReportIntensity, MachineFormatsGainThreeFields) {
  CalculationResult run;
  run.records = TwoRecords();
  const Summary summary{"P10/mmm", "line 1", "line 2"};
  IntensityResult intensities;
  intensities.fAbs = {2.5, 0.25};
  intensities.fPhase = {0.0, -90.0};
  intensities.intensity = {100.0, 1.0};
  intensities.model = "penrose";
  const std::string csv = CsvText(run, summary, &intensities);
  EXPECT_NE(csv.find("# model: penrose\r\n"), std::string::npos);
  EXPECT_NE(csv.find(",planeClass,mainFlag,f_abs,f_phase,intensity\r\n"), std::string::npos);
  EXPECT_NE(csv.find(",0,0,0.25,-90,1\r\n"), std::string::npos);
  const std::string json = JsonText(run, summary, &intensities);
  EXPECT_NE(json.find("\"model\": \"penrose\""), std::string::npos);
  EXPECT_NE(json.find("\"mainFlag\": 0, \"f_abs\": 2.5, \"f_phase\": 0, \"intensity\": 100}"), std::string::npos);
  // Without intensities nothing changes.
  EXPECT_EQ(CsvText(run, summary).find("f_abs"), std::string::npos);
  EXPECT_EQ(JsonText(run, summary).find("model"), std::string::npos);
}

TEST(ReportIntensity, MinimumIntensityKeepsStrongReflectionsAndTheirStatistics) {
  CalculationResult run;
  run.lattice = SetupLattice(CrystalSystem::Decagonal, 2.82, 12.06, true);
  run.records = TwoRecords();
  run.records[1].theta = 20.0f;
  run.records[1].x = -3.0f;
  IntensityResult intensities;
  intensities.fAbs = {10.0, 1.0};
  intensities.fPhase = {0.0, 180.0};
  intensities.intensity = {100.0, 1.0};
  KeepStrongReflections(run, intensities, 50.0);
  ASSERT_EQ(run.records.size(), 1u);
  EXPECT_EQ(intensities.intensity.size(), 1u);
  EXPECT_EQ(run.kept, 1u);
  EXPECT_FLOAT_EQ(run.stats.thetaMax, 7.3f);  // the weak record's 20 degrees are gone
  EXPECT_FLOAT_EQ(run.stats.bounds.xMin, 0.0f);
}

}  // namespace
}  // namespace lumora
