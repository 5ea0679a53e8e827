// Bruker RAW4.00 files written here byte by byte from the format's published
// layout (file header, segments of type and length, 160-byte range headers,
// float32 counts), read back through the measured-file reading and compared
// value by value; truncated and corrupt files must be refused by name.
#include <gtest/gtest.h>

#include <bit>
#include <cstdint>
#include <string>
#include <vector>

#include "powder/measured_formats.hpp"

namespace lumora {
namespace {

// Writes little-endian fields at fixed offsets of a zeroed block.
class Block {
 public:
  explicit Block(std::size_t size) : bytes_(size, '\0') {}
  Block& U32(std::size_t at, std::uint32_t v) {
    for (int i = 0; i < 4; ++i) bytes_.at(at + static_cast<std::size_t>(i)) = static_cast<char>((v >> (8 * i)) & 0xFF);
    return *this;
  }
  Block& F64(std::size_t at, double v) {
    const auto bits = std::bit_cast<std::uint64_t>(v);
    for (int i = 0; i < 8; ++i) bytes_.at(at + static_cast<std::size_t>(i)) = static_cast<char>((bits >> (8 * i)) & 0xFF);
    return *this;
  }
  Block& Text(std::size_t at, const std::string& text) {
    bytes_.replace(at, text.size(), text);
    return *this;
  }
  const std::string& Bytes() const { return bytes_; }

 private:
  std::string bytes_;
};

struct Range {
  std::string scanType;
  double start, step;
  std::vector<float> counts;
  double usedWavelength;
  std::size_t extraHeader = 0;  // bytes of a drive segment after the range header
};

struct Layout {
  bool hardware = true;  // a type-30 segment stating K-alpha1, K-alpha2 and their ratio
  std::vector<Range> ranges;
  std::size_t datumBytes = 4;
};

std::string Raw4(const Layout& layout) {
  std::string file = Block(61).Text(0, "RAW4.00").Text(12, "12/07/2026").Text(24, "19:55:00").Bytes();
  // A text item of the measurement (type 10), skipped by the reader.
  file += Block(60).U32(0, 10).U32(4, 60).Text(12, "SampleName").Text(36, "AlCuFe").Bytes();
  if (layout.hardware)
    file += Block(120)
                .U32(0, 30)
                .U32(4, 120)
                .F64(72, 1.5418)
                .F64(80, 1.540598)
                .F64(88, 1.544426)
                .F64(96, 1.39222)
                .F64(104, 0.5)
                .Text(116, "Cu")
                .Bytes();
  for (const Range& r : layout.ranges) {
    file += Block(160)
                .U32(0, 0)
                .U32(4, 160)
                .Text(32, r.scanType)
                .F64(72, r.start)
                .F64(80, r.step)
                .U32(88, static_cast<std::uint32_t>(r.counts.size()))
                .F64(112, r.usedWavelength)
                .U32(136, static_cast<std::uint32_t>(layout.datumBytes))
                .U32(140, static_cast<std::uint32_t>(r.extraHeader))
                .Bytes();
    if (r.extraHeader) file += Block(r.extraHeader).U32(0, 50).U32(4, static_cast<std::uint32_t>(r.extraHeader)).Text(12, "2Theta").F64(56, r.start).Bytes();
    for (float c : r.counts) file += Block(4).U32(0, std::bit_cast<std::uint32_t>(c)).Bytes();
  }
  return file;
}

const Layout kTwoRanges = {true,
                           {{"Locked Coupled", 10.0, 0.02, {12.5f, 40.0f, 1.0e6f, 0.0f, 7.25f}, 1.5406, 64},
                            {"Unlocked Coupled", 40.0, 0.05, {3.0f, 2.0f, 1.0f}, 1.5406, 0}}};

void ExpectPoints(const MeasuredFile& file, const Range& r) {
  ASSERT_EQ(file.error, "");
  ASSERT_EQ(file.pattern.twoTheta.size(), r.counts.size());
  for (std::size_t i = 0; i < r.counts.size(); ++i) {
    EXPECT_NEAR(file.pattern.twoTheta[i], r.start + static_cast<double>(i) * r.step, 1e-12);
    EXPECT_EQ(file.pattern.intensity[i], static_cast<double>(r.counts[i]));
  }
  EXPECT_TRUE(file.pattern.sigma.empty());
}

TEST(BrukerRaw4, TwoRangesWithTheStatedWavelengths) {
  const std::string bytes = Raw4(kTwoRanges);
  for (std::size_t range = 0; range < 2; ++range) {
    const MeasuredFile file = ParseMeasuredFile(bytes, "scan.raw", range);
    ExpectPoints(file, kTwoRanges.ranges[range]);
    EXPECT_EQ(file.format, "Bruker RAW4.00");
    EXPECT_EQ(file.range, range);
    EXPECT_EQ(file.ranges, (std::vector<std::string>{"Locked Coupled: 2theta 10 to 10.08, step 0.02, 5 points",
                                                     "Unlocked Coupled: 2theta 40 to 40.1, step 0.05, 3 points"}));
    EXPECT_EQ(file.wavelength, 1.540598);
    EXPECT_EQ(file.wavelength2, 1.544426);
    EXPECT_EQ(file.ratio, 0.5);
    EXPECT_EQ(file.wavelengthItem, "ALPHA1");
  }
  EXPECT_EQ(ParseMeasuredFile(bytes, "scan.raw", 2).error, "scan.raw, range 3 asked for, but the file has 2 ranges");

  // Without the hardware segment the range's wavelength is the one stated.
  Layout plain = kTwoRanges;
  plain.hardware = false;
  plain.ranges[1].usedWavelength = 0.7093;
  const MeasuredFile second = ParseMeasuredFile(Raw4(plain), "scan.raw", 1);
  ExpectPoints(second, plain.ranges[1]);
  EXPECT_EQ(second.wavelength, 0.7093);
  EXPECT_EQ(second.wavelengthItem, "USED_LAMBDA");
  EXPECT_FALSE(second.wavelength2.has_value());
  EXPECT_FALSE(second.ratio.has_value());
}

TEST(BrukerRaw4, TruncatedAndCorruptFilesAreRefusedByName) {
  const std::string bytes = Raw4(kTwoRanges);
  // Every cut is refused, except the one just after the first range's
  // counts, which is a whole file of one range.
  const std::size_t firstRangeEnd = bytes.size() - (160 + 3 * 4);
  for (std::size_t size = 0; size < bytes.size(); ++size) {
    const MeasuredFile file = ParseMeasuredFile(bytes.substr(0, size), "cut.raw");
    if (size == firstRangeEnd) {
      EXPECT_EQ(file.error, "");
      EXPECT_EQ(file.ranges.size(), 1u);
      continue;
    }
    if (size < 7) continue;  // no longer opens as RAW4.00: another reader's matter
    EXPECT_EQ(file.error.rfind("cut.raw, Bruker RAW4.00 truncated", 0), 0u) << size << ": " << file.error;
    EXPECT_TRUE(file.pattern.twoTheta.empty());
  }

  // A segment shorter than its own header, and one claiming more than the file.
  std::string shortSegment = bytes;
  shortSegment[61 + 4] = 4;
  EXPECT_EQ(ParseMeasuredFile(shortSegment, "x.raw").error,
            "x.raw, Bruker RAW4.00 corrupt at byte 61: segment of type 10 claims 4 bytes, less than its own header");
  std::string longSegment = bytes;
  longSegment[61 + 7] = 0x10;
  EXPECT_NE(ParseMeasuredFile(longSegment, "x.raw").error.find("truncated at byte 61: segment of type 10 claims"),
            std::string::npos);
  // A step count far beyond the file.
  std::string manySteps = bytes;
  const std::size_t firstRange = 61 + 60 + 120;
  manySteps[firstRange + 91] = 0x7F;
  EXPECT_NE(ParseMeasuredFile(manySteps, "x.raw").error.find("range 1 claims 2130706437 counts"), std::string::npos);
  // Counts of another width, a range that is not one, a scan of another axis.
  Layout wide = kTwoRanges;
  wide.datumBytes = 8;
  EXPECT_EQ(ParseMeasuredFile(Raw4(wide), "x.raw").error,
            "x.raw, Bruker RAW4.00 not read: range 1 stores counts of 8 bytes, not float32");
  std::string stray = bytes;
  stray[firstRangeEnd] = 7;
  EXPECT_EQ(ParseMeasuredFile(stray, "x.raw").error,
            "x.raw, Bruker RAW4.00 corrupt at byte " + std::to_string(firstRangeEnd) + ": range 2 opens with type 7, not a range");
  Layout rocking = kTwoRanges;
  rocking.ranges[1].scanType = "Rocking Curve";
  const MeasuredFile refused = ParseMeasuredFile(Raw4(rocking), "x.raw", 1);
  EXPECT_EQ(refused.error, "x.raw, range 2, a \"Rocking Curve\" scan, not a 2theta scan");
  EXPECT_EQ(refused.ranges.at(1), "Rocking Curve: not a 2theta scan, 3 points");
  EXPECT_EQ(ParseMeasuredFile(Raw4(rocking), "x.raw", 0).error, "");
}

}  // namespace
}  // namespace lumora
