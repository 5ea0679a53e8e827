#include "report/report.hpp"

#include <gtest/gtest.h>

#include <filesystem>
#include <sstream>

#include "common/file_io.hpp"
#include "report/table_export.hpp"

namespace lumora {
namespace {

std::vector<std::string> Lines(const std::string& text) {
  std::vector<std::string> lines;
  std::size_t start = 0;
  for (std::size_t end; (end = text.find("\r\n", start)) != std::string::npos; start = end + 2)
    lines.push_back(text.substr(start, end - start));
  EXPECT_EQ(start, text.size()) << "every line ends with CR LF";
  return lines;
}

ReflectionRecord Record(std::array<float, 6> h, float theta, float d, float qe, float qi, float x, float y, float z) {
  ReflectionRecord r;
  r.h = h;
  r.theta = theta;
  r.d = d;
  r.qe = qe;
  r.qi = qi;
  r.x = x;
  r.y = y;
  r.z = z;
  return r;
}

ReportContext Decagonal() {
  ReportContext context;
  context.summary = BuildSummary(StartupParameters());
  return context;
}

const std::vector<ReflectionRecord> kRecords = {
    Record({2, 0, -1, 1, 0, 0}, 7.30675f, 2.79399f, 0.35791f, 0.89443f, -0.31717f, 0.0f, 0.16584f),
    Record({-1000, 1, 0, 0, 1, 3}, 12345.678f, 1.0f, 1.0f, -0.5f, -3e-8f, 1.0f, -1.0f),
};

TEST(Report, HeaderLinesRuleAndColumns) {
  const std::vector<std::string> lines = Lines(ReportText(kRecords, Decagonal()));
  ASSERT_EQ(lines.size(), 9u);
  EXPECT_EQ(lines[0], "LUMORA REPORT - 2 reflections");
  EXPECT_EQ(lines[1], "P10.5/mmc, a = 2.82, c = 12.06, loop = 22222, Yamamoto matrices");
  EXPECT_EQ(lines[2], "wavelength = 0.7106867, thmin = 1.0, thmax = 30.0, qimax = 1.0");
  EXPECT_EQ(lines[3], "");
  EXPECT_EQ(lines[4], std::string(95, '-'));
  EXPECT_EQ(lines[5],
            "#      h1  h2  h3  h4  h5     Theta         d        qe        qi         x         y         z");
  EXPECT_EQ(lines[6], lines[4]);
  EXPECT_EQ(lines[7],
            "1       2   0  -1   1   0   7.30675   2.79399   0.35791   0.89443  -0.31717   0.00000   0.16584");
  // Cut on the right when too wide; |qi|; no minus sign on a value that rounds to zero.
  EXPECT_EQ(lines[8],
            "2    -100   1   0   0   112345.6777   1.00000   1.00000   0.50000   0.00000   1.00000  -1.00000");
}

TEST(Report, IcosahedralShowsSixIndicesAndSteurerHeads) {
  ReportContext context = Decagonal();
  context.nDim = 6;
  context.steurer = true;
  const std::vector<std::string> lines = Lines(ReportText(kRecords, context));
  EXPECT_EQ(lines[5],
            "#      h1  h2  h3  h4  h5  h6     Theta         d        ve        vi         x         y         z");
  EXPECT_EQ(lines[4].size(), 99u);
  EXPECT_EQ(lines[8].substr(0, 29), "2    -100   1   0   0   1   3");
}

TEST(Report, ColumnSwitches) {
  ReportContext context = Decagonal();
  context.columns = {false, false, false, false, false};
  std::vector<std::string> lines = Lines(ReportText(kRecords, context));
  EXPECT_EQ(lines[5], "#    ");
  EXPECT_EQ(lines[4], "-----");
  EXPECT_EQ(lines[7], "1    ");

  context.columns = {false, true, false, true, false};
  lines = Lines(ReportText(kRecords, context));
  EXPECT_EQ(lines[5], "#         Theta        qe        qi");
  EXPECT_EQ(lines[7], "1       7.30675   0.35791   0.89443");
}

TEST(Report, EmptyListAndLongLists) {
  std::vector<std::string> lines = Lines(ReportText({}, Decagonal()));
  EXPECT_EQ(lines.size(), 7u);
  EXPECT_EQ(lines[0], "LUMORA REPORT - 0 reflections");

  // Row numbers never wrap or get cut, even past 99,999 rows.
  std::vector<ReflectionRecord> many(100000, kRecords[0]);
  ReportContext context = Decagonal();
  context.columns = {true, false, false, false, false};
  lines = Lines(ReportText(many, context));
  EXPECT_EQ(lines[5].substr(0, 8), "#       ");
  EXPECT_EQ(lines[7 + 32767].substr(0, 6), "32768 ");
  EXPECT_EQ(lines.back(), "100000   2   0  -1   1   0");
}

TEST(Report, WrittenFileHasTheSameBytes) {
  const std::filesystem::path path = std::filesystem::temp_directory_path() / "lumora_report_test.hkl";
  ASSERT_TRUE(WriteReport(path, kRecords, Decagonal()).ok);
  EXPECT_EQ(ReadWholeFile(path), ReportText(kRecords, Decagonal()));
  std::filesystem::remove(path);
  const WriteOutcome failed = WriteReport("/nonexistent-folder/x.hkl", kRecords, Decagonal());
  EXPECT_FALSE(failed.ok);
  EXPECT_NE(failed.error.find("/nonexistent-folder/x.hkl"), std::string::npos);
}

TEST(ClipboardTable, TabSeparatedWithATrailingTab) {
  std::string text = ClipboardTableText(kRecords, 5, {});
  EXPECT_EQ(text.substr(0, text.find("\r\n")),
            "1\t2\t0\t-1\t1\t0\t7.30675\t2.79399\t0.35791\t0.89443\t-0.31717\t0.00000\t0.16584\t");
  EXPECT_NE(text.find("2\t-1000\t1\t0\t0\t1\t12345.67773\t"), std::string::npos);
  text = ClipboardTableText(kRecords, 6, {true, false, false, false, false});
  EXPECT_EQ(text, "1\t2\t0\t-1\t1\t0\t0\t\r\n2\t-1000\t1\t0\t0\t1\t3\t\r\n");
  EXPECT_EQ(ClipboardTableText({}, 5, {}), "");
}

TEST(Search, SearchTextAndWrapAround) {
  EXPECT_EQ(SearchText("0 2 2 1 0"), "   0   2   2   1   0");
  EXPECT_EQ(SearchText("0   2   2   1   0"), "   0   2   2   1   0");
  EXPECT_EQ(SearchText("x -1"), "   0  -1");
  EXPECT_EQ(SearchText(""), "");

  const std::string table = ReportText(kRecords, Decagonal());
  const std::string needle = SearchText("1");
  long long hit = FindReflection(table, needle, 0);
  ASSERT_GE(hit, 0);
  const long long second = FindReflection(table, needle, hit);
  EXPECT_GT(second, hit);
  long long last = second;
  while (last >= 0) {
    hit = last;
    last = FindReflection(table, needle, last);
  }
  EXPECT_EQ(last, -1);                                   // after the last hit: nothing
  EXPECT_EQ(FindReflection(table, needle, -1), FindReflection(table, needle, -1));
  EXPECT_LT(FindReflection(table, needle, -1), second);  // then from the top again
  EXPECT_EQ(FindReflection(table, "", 0), -1);
  EXPECT_EQ(FindReflection(table, SearchText("7 7 7"), 0), -1);

  ReportContext hidden = Decagonal();
  hidden.columns.indices = false;
  EXPECT_EQ(FindReflection(ReportText(kRecords, hidden), SearchText("2 0 -1 1 0"), 0), -1);
}

}  // namespace
}  // namespace lumora
