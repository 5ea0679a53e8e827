#include <gtest/gtest.h>

#include "tiling/xy_file.hpp"

namespace lumora {
namespace {

TEST(XyFile, LineLayout) {
  EXPECT_EQ(XyLine(256.0f, 256.0f), "256.0000      256.0000\r\n");
  EXPECT_EQ(XyLine(0.5f, 511.5f), "0.5000        511.5000\r\n");
  EXPECT_EQ(XyLine(12.25f, 3.0f), "12.2500       3.0000\r\n");
  // Four decimals, halves rounded away from zero.
  EXPECT_EQ(XyLine(1.03125f, 7.96875f), "1.0313        7.9688\r\n");
  EXPECT_EQ(XyLine(100.123456f, 0.0f), "100.1235      0.0000\r\n");
  // A text reaching column 14 still gets a separating blank.
  EXPECT_EQ(XyLine(12345678.0f, 1.0f), "12345678.0000 1.0000\r\n");
  EXPECT_EQ(XyLine(1073741824.0f, 1.0f), "1073741824.0000 1.0000\r\n");
}

TEST(XyFile, OneLinePerVertexInRecordingOrder) {
  EXPECT_EQ(XyFileText({10.0f, 2.5f}, {20.0f, 300.75f}), "10.0000       20.0000\r\n2.5000        300.7500\r\n");
  EXPECT_EQ(XyFileText({}, {}), "");
}

TEST(XyFile, ProposedName) {
  EXPECT_EQ(ProposedXyFileName(TilingInputs{}), "NHA_5-6-8-0.xy");
  TilingInputs in;
  in.symmetry = 12;
  in.loopOrder = 40;
  in.zoom = 10;
  in.shiftMode = ShiftMode::Random;
  EXPECT_EQ(ProposedXyFileName(in), "NHA_12-40-10-2.xy");
}

}  // namespace
}  // namespace lumora
