// Measured patterns in the diffractometers' formats: each file is written
// here from the format's documented layout with known points and wavelength,
// read back through xylib and compared.
#include "powder/measured_formats.hpp"

#include <gtest/gtest.h>

#include <cmath>
#include <cstring>

#include "powder/powder_cif.hpp"

namespace lumora {
namespace {

// Little-endian bytes of a value, put at offset of a buffer.
template <typename T>
void Put(std::string& bytes, std::size_t offset, T value) {
  std::memcpy(&bytes[offset], &value, sizeof value);
}

struct Range {
  double start, step;
  std::vector<float> counts;
  double wavelength;
};

// Bruker DIFFRAC-plus RAW ("RAW1.01", the binary of the ";RAW4.00" text
// files): a 712-byte file header (range count at 12, anode at 608, the
// average, K-alpha1, K-alpha2, K-beta wavelengths and the K-alpha2/K-alpha1
// ratio as doubles from 616), then per range a 304-byte header (its length
// at 0, steps at 4, start theta and 2theta at 8 and 16, step at 176, time per
// step at 192, the wavelength used at 240, the supplementary header length
// at 256) and the counts as 4-byte floats.
std::string BrukerRaw(const std::vector<Range>& ranges) {
  std::string bytes(712, '\0');
  std::memcpy(&bytes[0], "RAW1.01", 7);
  Put<std::uint32_t>(bytes, 8, 1);  // done
  Put<std::uint32_t>(bytes, 12, static_cast<std::uint32_t>(ranges.size()));
  std::memcpy(&bytes[608], "Cu", 2);
  Put<double>(bytes, 616, 1.5418);
  Put<double>(bytes, 624, 1.540598);
  Put<double>(bytes, 632, 1.544426);
  Put<double>(bytes, 640, 1.39222);
  Put<double>(bytes, 648, 0.5);
  for (const Range& r : ranges) {
    std::string header(304, '\0');
    Put<std::uint32_t>(header, 0, 304);
    Put<std::uint32_t>(header, 4, static_cast<std::uint32_t>(r.counts.size()));
    Put<double>(header, 8, r.start / 2.0);
    Put<double>(header, 16, r.start);
    Put<double>(header, 176, r.step);
    Put<float>(header, 192, 1.0f);
    Put<double>(header, 240, r.wavelength);
    bytes += header;
    for (float count : r.counts) {
      std::string four(4, '\0');
      Put<float>(four, 0, count);
      bytes += four;
    }
  }
  return bytes;
}

void ExpectRange(const MeasuredFile& file, const Range& r) {
  ASSERT_EQ(file.error, "");
  ASSERT_EQ(file.pattern.twoTheta.size(), r.counts.size());
  for (std::size_t i = 0; i < r.counts.size(); ++i) {
    EXPECT_NEAR(file.pattern.twoTheta[i], r.start + static_cast<double>(i) * r.step, 1e-9);
    EXPECT_EQ(file.pattern.intensity[i], r.counts[i]);
  }
}

TEST(MeasuredFormats, BrukerRawRangesAndWavelength) {
  const std::vector<Range> ranges = {{10.0, 0.02, {1, 2, 3, 4, 5.5f}, 1.540598}, {30.0, 0.05, {7, 8, 9}, 0.0}};
  const std::string bytes = BrukerRaw(ranges);
  const MeasuredFile first = ParseMeasuredFile(bytes, "scan.raw");
  ExpectRange(first, ranges[0]);
  EXPECT_EQ(first.format, "Siemens/Bruker RAW");
  EXPECT_EQ(first.ranges, (std::vector<std::string>{"2theta 10 to 10.08, step 0.02, 5 points",
                                                    "2theta 30 to 30.1, step 0.05, 3 points"}));
  // xylib keeps six digits of the binary's wavelengths.
  ASSERT_TRUE(first.wavelength);
  EXPECT_NEAR(*first.wavelength, 1.540598, 1e-5);
  EXPECT_EQ(first.wavelengthItem, "USED_LAMBDA");
  EXPECT_NEAR(first.wavelength2.value_or(0.0), 1.544426, 1e-5);
  EXPECT_EQ(first.ratio.value_or(0.0), 0.5);
  // The second range states no wavelength of its own: the file header's K-alpha1.
  const MeasuredFile second = ParseMeasuredFile(bytes, "scan.raw", 1);
  ExpectRange(second, ranges[1]);
  EXPECT_EQ(second.range, 1u);
  EXPECT_EQ(second.wavelengthItem, "ALPHA1");
  EXPECT_NEAR(second.wavelength.value_or(0.0), 1.540598, 1e-5);

  EXPECT_EQ(ParseMeasuredFile(bytes, "scan.raw", 2).error, "scan.raw, range 3 asked for, but the file has 2 ranges");
  // A file cut short is refused, not read past its end.
  EXPECT_NE(ParseMeasuredFile(bytes.substr(0, 800), "scan.raw").error, "");
}

TEST(MeasuredFormats, XrdmlScansAndTheWavelengthTheyStateAtFullPrecision) {
  const std::string scan = R"(
    <scan appendNumber="%N" mode="Continuous" scanAxis="Gonio" status="Completed">
      <dataPoints>
        <positions axis="2Theta" unit="deg"><startPosition>%S</startPosition><endPosition>%E</endPosition></positions>
        <positions axis="Omega" unit="deg"><startPosition>5</startPosition><endPosition>6</endPosition></positions>
        <commonCountingTime unit="seconds">1.0</commonCountingTime>
        <intensities unit="counts">%I</intensities>
      </dataPoints>
    </scan>)";
  auto fill = [&scan](const char* n, const char* start, const char* end, const char* counts) {
    std::string s = scan;
    for (auto [key, value] : {std::pair{"%N", n}, {"%S", start}, {"%E", end}, {"%I", counts}})
      s.replace(s.find(key), 2, value);
    return s;
  };
  const std::string text = std::string(R"(<?xml version="1.0" encoding="UTF-8"?>
<xrdMeasurements xmlns="http://www.xrdml.com/XRDMeasurement/1.5" status="Completed">
  <xrdMeasurement measurementType="Scan" status="Completed">
    <usedWavelength intended="K-Alpha 1">
      <kAlpha1 unit="Angstrom">1.5405980</kAlpha1>
      <kAlpha2 unit="Angstrom">1.5444260</kAlpha2>
      <kBeta unit="Angstrom">1.3922500</kBeta>
      <ratioKAlpha2KAlpha1>0.5000</ratioKAlpha2KAlpha1>
    </usedWavelength>)") + fill("0", "10.00", "10.04", "10 20 30 40 50") + fill("1", "20.00", "20.02", "7 8 9") +
                           "\n  </xrdMeasurement>\n</xrdMeasurements>\n";
  const MeasuredFile first = ParseMeasuredFile(text, "a.xrdml");
  ExpectRange(first, {10.0, 0.01, {10, 20, 30, 40, 50}, 0.0});
  EXPECT_EQ(first.format, "PANalytical XRDML");
  EXPECT_EQ(first.ranges.size(), 2u);
  EXPECT_EQ(first.wavelength, 1.540598);
  EXPECT_EQ(first.wavelength2, 1.544426);
  EXPECT_EQ(first.ratio, 0.5);
  EXPECT_EQ(first.wavelengthItem, "kAlpha1");
  ExpectRange(ParseMeasuredFile(text, "a.xrdml", 1), {20.0, 0.01, {7, 8, 9}, 0.0});

  const StatedWavelengths none = XrdmlWavelengths("<xrdMeasurements><usedWavelength><kAlpha1>x</kAlpha1></usedWavelength>");
  EXPECT_FALSE(none.alpha1 || none.alpha2 || none.ratio);
}

TEST(MeasuredFormats, UxdRangesAndWavelength) {
  const std::string text =
      "; converted\r\n_FILEVERSION=1\r\n_SAMPLE='test'\r\n_WL1=1.540598\r\n_WL2=1.544426\r\n_WLRATIO=0.5\r\n"
      "; Data for range 1\r\n_DRIVE='COUPLED'\r\n_STEPTIME=1.0\r\n_STEPSIZE=0.02\r\n_STEPMODE='C'\r\n_START=10.0\r\n"
      "_2THETA=10.0\r\n_THETA=5.0\r\n_COUNTS\r\n     10      20      30\r\n     40\r\n"
      "; Data for range 2\r\n_DRIVE='COUPLED'\r\n_STEPSIZE=0.05\r\n_START=30.0\r\n_2THETA=30.0\r\n_COUNTS\r\n 1 2 3\r\n";
  const MeasuredFile first = ParseMeasuredFile(text, "b.uxd");
  ExpectRange(first, {10.0, 0.02, {10, 20, 30, 40}, 0.0});
  EXPECT_EQ(first.wavelength, 1.540598);  // UXD states it as text: every digit
  EXPECT_EQ(first.wavelength2, 1.544426);
  EXPECT_EQ(first.wavelengthItem, "WL1");
  ExpectRange(ParseMeasuredFile(text, "b.uxd", 1), {30.0, 0.05, {1, 2, 3}, 0.0});
  // A second range without its _DRIVE line makes xylib file both ranges under
  // the same columns: refused, and the program goes on.
  std::string broken = text;
  broken.erase(broken.rfind("_DRIVE='COUPLED'\r\n"), 18);
  EXPECT_EQ(ParseMeasuredFile(broken, "b.uxd").error, "b.uxd, not read: its ranges could not be told apart");
}

TEST(MeasuredFormats, PdCifRoundTrip) {
  CalculationInputs in;
  in.a = 2.82;
  in.c = 12.06;
  in.wavelength = 1.5405981;
  in.thetaHigh = 30.0;
  in.qiLimit = 1.0;
  in.loopLimits = {1, 1, 1, 1, 1, 0};
  const CalculationResult run = RunCalculation(in);
  const Summary summary{"P10.5/mmc", "a", "b"};
  MeasuredPattern measured;
  for (int i = 0; i < 50; ++i) {
    measured.twoTheta.push_back(20.0 + 0.01 * i);
    measured.intensity.push_back(100.0 + 0.37 * i * i);
    measured.sigma.push_back(1.0 + 0.1 * i);
  }
  Profile profile;
  profile.twoTheta = {19.0, 21.0};
  profile.intensity = {1.0, 2.0};
  const std::string cif = PatternCif({run, summary, {}, ""}, profile, {}, &measured, {2.0, 1.0});
  const MeasuredFile file = ParseMeasuredFile(cif, "p.cif");
  ASSERT_EQ(file.error, "");
  EXPECT_EQ(file.format, "Powder Diffraction CIF");
  EXPECT_EQ(file.wavelength, 1.5405981);
  ASSERT_EQ(file.pattern.twoTheta.size(), 50u);
  for (std::size_t i = 0; i < 50; ++i) {
    EXPECT_DOUBLE_EQ(file.pattern.twoTheta[i], measured.twoTheta[i]);
    EXPECT_DOUBLE_EQ(file.pattern.intensity[i], measured.intensity[i]);  // the measurement, not the calculation
    EXPECT_NEAR(file.pattern.sigma.at(i), measured.sigma[i], 1e-12);
  }
}

TEST(MeasuredFormats, TextGoesToTheOwnReaderAndBadFilesAreRefused) {
  // Columns of text in any file xylib takes for text: the own reader's line messages.
  EXPECT_EQ(ParseMeasuredFile("10 1\n10.5 2\n10.2 3\n", "scan.dat").error,
            "scan.dat, line 3: 2theta 10.2 does not rise from 10.5 on line 2 (2theta must run one way)");
  const MeasuredFile text = ParseMeasuredFile("# 2theta I\n10 1\n10.5 2\n", "scan.txt");
  EXPECT_EQ(text.error, "");
  EXPECT_EQ(text.format, "text");
  EXPECT_EQ(text.pattern.twoTheta, (std::vector<double>{10.0, 10.5}));
  EXPECT_EQ(ParseMeasuredFile("10 1\n", "scan.xy", 1).error, "scan.xy, range 2 asked for, but the file has one");
  // A RAW file that is not one, and a file beyond 180 degrees.
  EXPECT_NE(ParseMeasuredFile(std::string("RAW1.01\0garbage", 15), "x.raw").error, "");
  const std::string high = BrukerRaw({{179.99, 0.02, {1, 2}, 1.54}});
  EXPECT_EQ(ParseMeasuredFile(high, "x.raw").error, "x.raw, point 2: 2theta 180.01 is not above 0 and below 180 degrees");
  EXPECT_EQ(ReadMeasuredFile("/no/such/file.raw").error, "/no/such/file.raw: no such file");
}

TEST(MeasuredFormats, TheOpenDialogListsTheFormats) {
  const std::string filter = MeasuredFileFilter();
  for (const char* pattern : {"*.xy ", "*.raw", "*.xrdml", "*.uxd", "*.udf", "*.cpi", "*.cif", "*.rd"})
    EXPECT_NE(filter.find(pattern), std::string::npos) << pattern;
}

}  // namespace
}  // namespace lumora
