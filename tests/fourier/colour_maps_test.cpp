#include <gtest/gtest.h>

#include "fourier/hsb_to_rgb.hpp"
#include "fourier/red_component.hpp"

namespace lumora {
namespace {

void ExpectRgb(RgbRecord rgb, int red, int green, int blue) {
  EXPECT_EQ(rgb.red, red);
  EXPECT_EQ(rgb.green, green);
  EXPECT_EQ(rgb.blue, blue);
}

TEST(HSBtoRGB, TileHuesAtFullSaturation) {
  ExpectRgb(HSBtoRGB(0, 239, 120), 255, 1, 1);
  ExpectRgb(HSBtoRGB(79, 239, 120), 5, 255, 1);
  ExpectRgb(HSBtoRGB(158, 239, 120), 1, 9, 255);
  // 239 is the full turn, not 240.
  ExpectRgb(HSBtoRGB(239, 239, 120), 255, 1, 1);
}

TEST(HSBtoRGB, BrightnessEndsAndGrey) {
  ExpectRgb(HSBtoRGB(0, 239, 100), 213, 0, 0);
  ExpectRgb(HSBtoRGB(0, 239, 220), 255, 214, 214);
  ExpectRgb(HSBtoRGB(0, 0, 120), 128, 128, 128);
  ExpectRgb(HSBtoRGB(100, 0, 239), 255, 255, 255);
  EXPECT_EQ(ToColorValue(HSBtoRGB(0, 239, 120)), Rgb(255, 1, 1));
}

TEST(RedComponent, PlainAndSystemColours) {
  EXPECT_EQ(RedComponent(Rgb(255, 255, 255)), 255);
  EXPECT_EQ(RedComponent(Rgb(255, 0, 255)), 255);
  EXPECT_EQ(RedComponent(Rgb(0, 255, 0)), 0);
  EXPECT_EQ(RedComponent(Rgb(17, 200, 3)), 17);

  int asked = -1;
  const SystemColorLookup lookup = [&asked](int index) {
    asked = index;
    return ColorValue{0xFF0000C8u};  // bits above 24 are dropped
  };
  EXPECT_EQ(RedComponent(kSystemColorFlag | 15u, lookup), 0xC8);
  EXPECT_EQ(asked, 15);
  // Unknown system colours read as black rather than as their index bits.
  EXPECT_EQ(RedComponent(kSystemColorFlag | 0xFFu), 0);
  EXPECT_EQ(RedComponent(kSystemColorFlag | 5u), RedOf(DefaultSystemColor(5)));
}

}  // namespace
}  // namespace lumora
