#include <gtest/gtest.h>

#include <cmath>

#include "fourier/complex_image.hpp"
#include "fourier/ft_display.hpp"
#include "fourier/ft_profile.hpp"

namespace lumora {
namespace {

int Grey(const RasterImage& image, int x, int y) { return RedOf(image.at(x, y)); }

// An 8 x 8 transform with a strong zero frequency and a few weaker terms.
FtArray SmallTransform() {
  FtArray ft(8, 8);
  ft.at(0, 0) = {300.0f, 400.0f};  // magnitude 500
  ft.at(1, 0) = {250.0f, 0.0f};    // half: 127.5 rounds to the even 128
  ft.at(0, 3) = {0.0f, -1.0f};     // 0.51: rounds to 1
  ft.at(7, 7) = {0.9f, 0.0f};      // below 1/510 of the maximum: black
  return ft;
}

TEST(DrawFT, ZeroFrequencySitsLeftAboveTheCentre) {
  const ColorTable grey = GreyTable();
  const std::optional<FtPicture> drawn = DrawFT(SmallTransform(), 1.0f, grey);
  ASSERT_TRUE(drawn.has_value());
  const RasterImage& image = drawn->image;
  EXPECT_EQ(Grey(image, 3, 3), 255);  // (w/2 - 1, h/2 - 1)
  EXPECT_EQ(Grey(image, 4, 3), 128);
  EXPECT_EQ(Grey(image, 3, 6), 1);
  EXPECT_EQ(Grey(image, 2, 2), 0);  // FT(7, 7) wraps to (2, 2)
  EXPECT_EQ(Grey(image, 0, 0), 0);
  // The display map names the transform indices shown at each pixel.
  const auto at = [&](int x, int y) { return drawn->displayMap[static_cast<std::size_t>(y * 8 + x)]; };
  EXPECT_EQ(at(3, 3), (std::pair<std::int16_t, std::int16_t>{0, 0}));
  EXPECT_EQ(at(4, 3), (std::pair<std::int16_t, std::int16_t>{1, 0}));
  EXPECT_EQ(at(2, 2), (std::pair<std::int16_t, std::int16_t>{7, 7}));
}

TEST(DrawFT, GainScalesLinearlyAndClamps) {
  const ColorTable grey = GreyTable();
  const std::optional<FtPicture> bright = DrawFT(SmallTransform(), 4.0f, grey);
  ASSERT_TRUE(bright.has_value());
  EXPECT_EQ(Grey(bright->image, 3, 3), 255);
  EXPECT_EQ(Grey(bright->image, 4, 3), 255);  // 510 clamps to white
  EXPECT_EQ(Grey(bright->image, 3, 6), 2);    // 2.04
  EXPECT_EQ(Grey(bright->image, 2, 2), 2);    // 1.836
  const std::optional<FtPicture> dark = DrawFT(SmallTransform(), 0.5f, grey);
  EXPECT_EQ(Grey(dark->image, 3, 3), 128);  // 127.5
  EXPECT_FALSE(DrawFT(FtArray(8, 8), 1.0f, grey).has_value());
}

TEST(DrawFT, LogDisplayAndHiddenZeroFrequency) {
  const ColorTable grey = GreyTable();
  // Log: 255 (1 + log10(m / 500) / 4); 250 -> 0.9247 -> 235.8, 1 -> 0.3252 -> 82.9.
  FtDisplayOptions log;
  log.logarithmic = true;
  const auto drawn = DrawFT(SmallTransform(), 1.0f, grey, log);
  ASSERT_TRUE(drawn.has_value());
  EXPECT_EQ(Grey(drawn->image, 3, 3), 255);
  EXPECT_EQ(Grey(drawn->image, 4, 3), 236);
  EXPECT_EQ(Grey(drawn->image, 3, 6), 83);
  EXPECT_EQ(Grey(drawn->image, 0, 0), 0);  // zero magnitude
  // A gain of 10 lifts everything by a quarter of the ramp.
  EXPECT_EQ(Grey(DrawFT(SmallTransform(), 10.0f, grey, log)->image, 3, 6), 147);

  // Without the zero frequency the strongest other term sets the scale.
  FtDisplayOptions hide;
  hide.hideZeroFrequency = true;
  const auto hidden = DrawFT(SmallTransform(), 1.0f, grey, hide);
  ASSERT_TRUE(hidden.has_value());
  EXPECT_EQ(Grey(hidden->image, 3, 3), 0);
  EXPECT_EQ(Grey(hidden->image, 4, 3), 255);
  EXPECT_EQ(Grey(hidden->image, 3, 6), 1);  // 1 / 250 * 255 = 1.02
  // Only a zero frequency: nothing left to draw.
  FtArray single(8, 8);
  single.at(0, 0) = {1.0f, 0.0f};
  EXPECT_FALSE(DrawFT(single, 1.0f, grey, hide).has_value());
  // Default options are the classic picture.
  EXPECT_EQ(DrawFT(SmallTransform(), 1.0f, grey, FtDisplayOptions{})->image.pixels,
            DrawFT(SmallTransform(), 1.0f, grey)->image.pixels);
}

TEST(ChangeBrightness, StepsStopAtHalfAndNeverOverflow) {
  EXPECT_FLOAT_EQ(ChangeBrightness(1.0f, 1), 1.11f);
  EXPECT_FLOAT_EQ(ChangeBrightness(1.0f, 0), 0.9f);
  EXPECT_FLOAT_EQ(ChangeBrightness(1.0f, -3), 0.9f);
  float gain = 1.0f;
  for (int i = 0; i < 20; ++i) gain = ChangeBrightness(gain, -1);
  EXPECT_EQ(gain, kMinimumGain);
  gain = 1.0f;
  for (int i = 0; i < 2000; ++i) gain = ChangeBrightness(gain, 1);
  EXPECT_TRUE(std::isfinite(gain));
  EXPECT_GT(gain, 1e37f);
}

TEST(GetProfile, ReadsTheRowBelowTheCentreWithWrap) {
  FtArray ft(8, 8);
  ft.at(0, 4) = {3.0f, 4.0f};  // row h/2, column 0
  ft.at(5, 4) = {0.0f, 2.0f};
  ft.at(2, 5) = {7.0f, 0.0f};
  float vmax = 0.0f;
  std::vector<float> profile = GetProfile(ft, 0.0, vmax);
  ASSERT_EQ(profile.size(), 8u);
  EXPECT_FLOAT_EQ(profile[4], 5.0f);  // index w/2 is column 0
  EXPECT_FLOAT_EQ(profile[1], 2.0f);  // index 1 is column (4 + 1) mod 8
  EXPECT_FLOAT_EQ(profile[0], 0.0f);
  EXPECT_FLOAT_EQ(vmax, 5.0f);

  // y = 1 and y = -7 both read row 5; the mouse can leave the picture while held.
  for (double y : {1.0, -7.0, 9.0}) {
    vmax = 0.0f;
    profile = GetProfile(ft, y, vmax);
    EXPECT_FLOAT_EQ(profile[6], 7.0f) << y;
  }

  vmax = 0.0f;
  profile = GetProfile(ft, 2.0, vmax);  // an empty row
  EXPECT_FLOAT_EQ(vmax, 1.0f);
}

TEST(GetDisplayedProfile, ReadsThePixelsThePictureShows) {
  // Compared with the display map DrawFT records for every pixel it draws.
  FtArray ft(8, 8);
  for (int x = 0; x < 8; ++x)
    for (int y = 0; y < 8; ++y) ft.at(x, y) = {static_cast<float>(1 + x + 8 * y), 0.0f};
  const std::optional<FtPicture> drawn = DrawFT(ft, 1.0f, GreyTable());
  ASSERT_TRUE(drawn.has_value());
  for (int row = 0; row < 8; ++row) {
    float vmax = 0.0f;
    const std::vector<float> profile = GetDisplayedProfile(ft, row, vmax);
    ASSERT_EQ(profile.size(), 8u);
    for (int i = 0; i < 8; ++i) {
      const auto [x, y] = drawn->displayMap[static_cast<std::size_t>(row * 8 + i)];
      EXPECT_FLOAT_EQ(profile[static_cast<std::size_t>(i)], static_cast<float>(ft.Magnitude(x, y))) << row << " " << i;
    }
  }
  // The zero frequency lies on display row h/2 - 1, at entry w/2 - 1.
  float vmax = 0.0f;
  EXPECT_FLOAT_EQ(GetDisplayedProfile(ft, 3, vmax)[3], 1.0f);
  vmax = 0.0f;
  EXPECT_FLOAT_EQ(GetDisplayedProfile(ft, 11, vmax)[3], 1.0f);  // wraps
  vmax = 0.0f;
  GetDisplayedProfile(FtArray(8, 8), 0, vmax);
  EXPECT_FLOAT_EQ(vmax, 1.0f);
}

TEST(ProfileGraph, ScalesToTheStripAndPlacesIt) {
  EXPECT_EQ(ProfileGraph({0.0f, 50.0f, 100.0f}, 100.0f, 105), (std::vector<int>{105, 55, 5}));
  // No maximum (an empty or dark row): scaled as if it were 1, never by infinity.
  EXPECT_EQ(ProfileGraph({0.5f, 0.0f}, 0.0f, 45), (std::vector<int>{25, 45}));
  EXPECT_EQ(ProfileStripTop(110, 100, 104), 120);  // below the line while there is room
  EXPECT_EQ(ProfileStripTop(111, 100, 104), -3);   // else above it
}

TEST(ComplexImage, GainSurvivesTransformsAndBlackClearsThePicture) {
  ComplexImage image;
  image.SetDimensionFFT(16);
  RasterImage source(16, 16);
  source.at(3, 4) = kWhite;
  source.at(9, 9) = kWhite;
  ASSERT_TRUE(image.runFOURN(source));
  ASSERT_TRUE(image.picture().has_value());
  EXPECT_EQ(RedOf(image.picture()->at(7, 7)), 255);  // zero frequency

  image.ChangeBrightness(-1);
  image.ChangeBrightness(-1);
  const float gain = image.gain();
  EXPECT_FLOAT_EQ(gain, 0.9f * 0.9f);
  ASSERT_TRUE(image.runFOURN(source));
  EXPECT_FLOAT_EQ(image.gain(), gain);
  EXPECT_EQ(RedOf(image.picture()->at(7, 7)), 207);  // 255 * 0.81 = 206.55

  // A black source must not leave the previous transform on show.
  EXPECT_FALSE(image.runFOURN(RasterImage(16, 16)));
  ASSERT_TRUE(image.picture().has_value());
  for (ColorValue c : image.picture()->pixels) ASSERT_EQ(c, kBlack);
  EXPECT_FALSE(image.message().empty());
}

}  // namespace
}  // namespace lumora
