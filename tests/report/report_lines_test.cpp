// The lazily formatted report against the whole text written line by line in
// the plainest way (the layout the report has always had), and the search
// against a plain find in that text: on the start-up run and on 200,000 rows.
#include "report/report_lines.hpp"

#include <gtest/gtest.h>

#include <random>

#include "common/number_text.hpp"
#include "common/text.hpp"
#include "report/table_export.hpp"

namespace lumora {
namespace {

// The report as one string with "\n" line ends, built directly from the layout.
std::string PlainReport(const std::vector<ReflectionRecord>& records, const ReportContext& context) {
  const std::string header = ReportColumnHeader(context, records.size());
  const std::size_t rowWidth = std::max<std::size_t>(5, std::to_string(records.size()).size());
  std::string out = "LUMORA REPORT - " + std::to_string(records.size()) + " reflections\n" +
                    context.summary.sgSymbol + ", " + context.summary.paramLine1 + "\n" +
                    context.summary.paramLine2 + "\n\n" + std::string(header.size(), '-') + "\n" + header + "\n" +
                    std::string(header.size(), '-');
  const bool idx = context.columns.indices;
  for (std::size_t i = 0; i < records.size(); ++i) {
    const ReflectionRecord& r = records[i];
    out += "\n" + PadRight(std::to_string(i + 1), rowWidth);
    for (int k = 0; k < context.nDim && idx; ++k) out += PadLeft(FormatFixed(r.h[static_cast<std::size_t>(k)], 0), 4);
    const double values[] = {r.theta, r.d, r.qe, std::fabs(r.qi), r.x, r.y, r.z};
    const bool shown[] = {context.columns.theta, context.columns.dSpacing, context.columns.qeQi, context.columns.qeQi,
                          context.columns.xyz,   context.columns.xyz,      context.columns.xyz};
    for (int c = 0; c < 7; ++c)
      if (shown[c]) out += PadLeft(FormatFixed(values[c], 5), 10);
  }
  return out;
}

std::string ReplaceAllText(const std::string& s, const std::string& from, const std::string& to) {
  std::string out;
  std::size_t start = 0;
  for (std::size_t at; (at = s.find(from, start)) != std::string::npos; start = at + from.size())
    out += s.substr(start, at - start) + to;
  return out + s.substr(start);
}

std::vector<ReflectionRecord> StartupRun() {
  const auto inputs = std::get<CalculationInputs>(ReadInputs(StartupParameters()));
  return RunCalculation(inputs).records;
}

std::vector<ReflectionRecord> ManyRows(std::size_t count) {
  std::mt19937 random(7);
  std::uniform_int_distribution<int> index(-12, 12);
  std::uniform_real_distribution<float> value(-3.0f, 3.0f);
  std::vector<ReflectionRecord> records(count);
  for (ReflectionRecord& r : records) {
    for (int k = 0; k < 5; ++k) r.h[static_cast<std::size_t>(k)] = static_cast<float>(index(random));
    r.theta = std::fabs(value(random)) * 10.0f;
    r.d = std::fabs(value(random));
    r.qe = std::fabs(value(random));
    r.qi = value(random);
    r.x = value(random);
    r.y = value(random);
    r.z = value(random);
  }
  return records;
}

ReportContext Context(bool steurer, ReportColumns columns) {
  ReportContext context;
  context.summary = BuildSummary(StartupParameters());
  context.steurer = steurer;
  context.columns = columns;
  return context;
}

void ExpectSameAsPlain(const std::vector<ReflectionRecord>& records, const ReportContext& context,
                       const std::vector<std::string>& needles) {
  const ReportLines lines(records, context);
  const std::string plain = PlainReport(records, context);
  ASSERT_EQ(lines.TextLength(), static_cast<long long>(plain.size()));
  EXPECT_EQ(lines.Text(0, lines.TextLength()), plain);
  // The file and every line end with CR LF.
  std::string written;
  ASSERT_TRUE(lines.Write([&](std::string_view piece) {
    written += piece;
    return true;
  }));
  EXPECT_EQ(written, ReplaceAllText(plain, "\n", "\r\n") + "\r\n");
  EXPECT_EQ(ReportText(records, context), written);
  // Line starts and pieces of the text.
  for (std::size_t i : {std::size_t{0}, std::size_t{3}, std::size_t{6}, std::size_t{7}, lines.size() - 1}) {
    const long long start = lines.LineStart(i);
    EXPECT_EQ(plain.substr(static_cast<std::size_t>(start), lines.LineLength(i)), lines.Line(i));
    EXPECT_EQ(lines.LineAt(start), i);
    EXPECT_EQ(lines.LineAt(start + static_cast<long long>(lines.LineLength(i))), i);  // its line end
    EXPECT_EQ(lines.Text(start - 3, start + 5), plain.substr(static_cast<std::size_t>(std::max(start - 3, 0LL)),
                                                             static_cast<std::size_t>(start + 5 - std::max(start - 3, 0LL))));
  }
  // Searching hit after hit, as the Find button does, finds exactly what a
  // plain find in the whole text finds, then nothing, then starts again.
  for (const std::string& needle : needles) {
    long long expected = 0;
    long long got = 0;
    for (int step = 0; step < 50; ++step) {
      expected = FindReflection(plain, needle, expected);
      got = lines.Find(needle, got);
      ASSERT_EQ(got, expected) << "needle \"" << needle << "\" step " << step;
    }
  }
}

TEST(ReportLines, StartupRunMatchesThePlainReport) {
  const std::vector<ReflectionRecord> records = StartupRun();
  ASSERT_GT(records.size(), 1000u);
  const std::vector<std::string> needles = {SearchText("2 2 2 2"), SearchText("0 2 2 1 0"), SearchText("1"),
                                            SearchText("-1 0"), "Theta", "---", "0.3"};
  ExpectSameAsPlain(records, Context(false, {}), needles);
  ExpectSameAsPlain(records, Context(true, {true, false, true, false, true}), needles);
  ExpectSameAsPlain(records, Context(false, {false, false, false, false, false}), needles);
}

TEST(ReportLines, TwoHundredThousandRows) {
  const std::vector<ReflectionRecord> records = ManyRows(200'000);
  // Row numbers up to 200000 widen the "#" field to six characters.
  const ReportLines lines(records, Context(false, {}));
  EXPECT_EQ(lines.Line(lines.size() - 1).substr(0, 7), "200000 ");
  ExpectSameAsPlain(records, Context(false, {}), {SearchText("12 -12 12"), SearchText("3 -7"), "99999"});
}

TEST(ReportLines, EmptyListAndOddPositions) {
  const std::vector<ReflectionRecord> none;
  const ReportLines lines(none, Context(false, {}));
  EXPECT_EQ(lines.size(), ReportLines::kHeaderLines);
  EXPECT_EQ(lines.Line(0), "LUMORA REPORT - 0 reflections");
  EXPECT_EQ(lines.Find("   1", -1), -1);
  EXPECT_EQ(lines.Find("", -1), -1);
  EXPECT_EQ(lines.Find("LUMORA", -1), 0);  // from -1 the search starts at the very top
  EXPECT_EQ(lines.Find("LUMORA", 0), -1);  // a hit at the last position is not found again
  EXPECT_EQ(lines.Find("x", lines.TextLength() + 5), -1);
  EXPECT_EQ(lines.Text(-10, 6), "LUMORA");
  EXPECT_EQ(lines.Text(5, 5), "");
  // A cancelled write stops and says so.
  const std::vector<ReflectionRecord> many = ManyRows(5000);
  const ReportLines big(many, Context(false, {}));
  std::atomic<bool> cancel{true};
  std::size_t pieces = 0;
  EXPECT_FALSE(big.Write([&](std::string_view) { return ++pieces > 0; }, &cancel));
  EXPECT_EQ(pieces, 0u);
  EXPECT_FALSE(big.Write([](std::string_view) { return false; }));
}

}  // namespace
}  // namespace lumora
