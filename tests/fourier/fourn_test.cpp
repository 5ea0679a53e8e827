#include <gtest/gtest.h>

#include <cmath>
#include <complex>
#include <random>
#include <stdexcept>
#include <vector>

#include "fourier/fourn.hpp"
#include "fourier/ft_transform.hpp"

namespace lumora {
namespace {

using Complex = std::complex<double>;

// The transform by its definition, last dimension fastest.
std::vector<Complex> DirectDft(const std::vector<Complex>& h, int n1, int n2, int isign) {
  std::vector<Complex> out(h.size());
  const double twoPi = 2.0 * std::acos(-1.0);
  for (int k1 = 0; k1 < n1; ++k1)
    for (int k2 = 0; k2 < n2; ++k2) {
      Complex sum = 0.0;
      for (int j1 = 0; j1 < n1; ++j1)
        for (int j2 = 0; j2 < n2; ++j2) {
          const double phase = twoPi * isign * (static_cast<double>(j1 * k1) / n1 + static_cast<double>(j2 * k2) / n2);
          sum += h[static_cast<std::size_t>(j1 * n2 + j2)] * std::polar(1.0, phase);
        }
      out[static_cast<std::size_t>(k1 * n2 + k2)] = sum;
    }
  return out;
}

std::vector<float> Interleave(const std::vector<Complex>& values) {
  std::vector<float> data;
  for (const Complex& v : values) {
    data.push_back(static_cast<float>(v.real()));
    data.push_back(static_cast<float>(v.imag()));
  }
  return data;
}

std::vector<Complex> RandomValues(std::size_t n, unsigned seed) {
  std::mt19937 random(seed);
  std::uniform_real_distribution<double> value(-1.0, 1.0);
  std::vector<Complex> values;
  for (std::size_t i = 0; i < n; ++i) values.emplace_back(value(random), value(random));
  return values;
}

TEST(Fourn, MatchesTheDirectTransform) {
  struct Shape { int n1, n2; };
  for (const Shape shape : {Shape{1, 8}, Shape{4, 8}, Shape{8, 2}, Shape{16, 16}}) {
    for (int isign : {1, -1}) {
      const std::vector<Complex> h = RandomValues(static_cast<std::size_t>(shape.n1 * shape.n2), 7u);
      std::vector<float> data = Interleave(h);
      std::vector<int> nn;
      if (shape.n1 > 1) nn.push_back(shape.n1);
      nn.push_back(shape.n2);
      fourn(data, nn, isign);
      const std::vector<Complex> expected = DirectDft(h, shape.n1, shape.n2, isign);
      for (std::size_t k = 0; k < expected.size(); ++k) {
        EXPECT_NEAR(data[2 * k], expected[k].real(), 1e-4) << shape.n1 << "x" << shape.n2 << " k=" << k;
        EXPECT_NEAR(data[2 * k + 1], expected[k].imag(), 1e-4) << shape.n1 << "x" << shape.n2 << " k=" << k;
      }
    }
  }
}

TEST(Fourn, ForwardThenBackwardMultipliesByThePointCount) {
  const std::vector<Complex> h = RandomValues(32 * 64, 11u);
  const std::vector<float> original = Interleave(h);
  std::vector<float> data = original;
  const int nn[2] = {32, 64};
  fourn(data, nn, 1);
  fourn(data, nn, -1);
  for (std::size_t i = 0; i < data.size(); ++i) EXPECT_NEAR(data[i], original[i] * 2048.0f, 2e-3) << i;
}

TEST(Fourn, RejectsLengthsItCannotHandle) {
  std::vector<float> data(2 * 12);
  const int notPowerOfTwo[1] = {12};
  EXPECT_THROW(fourn(data, notPowerOfTwo, 1), std::invalid_argument);
  const int tooMany[1] = {16};
  EXPECT_THROW(fourn(data, tooMany, 1), std::invalid_argument);
}

TEST(RunFourn, SingleWhitePixelHasConstantMagnitude) {
  RasterImage image(64, 64);
  image.at(37, 5) = kWhite;
  const std::optional<FtArray> ft = runFOURN(image);
  ASSERT_TRUE(ft.has_value());
  for (int x = 0; x < 64; ++x)
    for (int y = 0; y < 64; ++y) ASSERT_NEAR(ft->Magnitude(x, y), 255.0, 1e-3) << x << "," << y;
}

TEST(RunFourn, PictureColumnIsTheFirstTransformIndex) {
  // A pixel in column 1, row 0 becomes complex value k = w * 1 + 0: its phase
  // turns along the first index and stays fixed along the second.
  const int w = 16;
  RasterImage image(w, w);
  image.at(1, 0) = Rgb(200, 0, 0);
  const std::optional<FtArray> ft = runFOURN(image);
  ASSERT_TRUE(ft.has_value());
  const double step = 2.0 * std::acos(-1.0) / w;
  EXPECT_NEAR(ft->at(1, 0).re, 200.0 * std::cos(step), 1e-3);
  EXPECT_NEAR(ft->at(1, 0).im, 200.0 * std::sin(step), 1e-3);
  EXPECT_NEAR(ft->at(0, 1).re, 200.0, 1e-3);
  EXPECT_NEAR(ft->at(0, 1).im, 0.0, 1e-3);
}

TEST(RunFourn, BlackPictureAndBadSizes) {
  EXPECT_FALSE(runFOURN(RasterImage(32, 32)).has_value());
  // Only the red component counts: pure green and blue are black to it.
  EXPECT_FALSE(runFOURN(RasterImage(32, 32, Rgb(0, 255, 255))).has_value());
  EXPECT_THROW(runFOURN(RasterImage(32, 16, kWhite)), std::invalid_argument);
  EXPECT_THROW(runFOURN(RasterImage(24, 24, kWhite)), std::invalid_argument);
}

}  // namespace
}  // namespace lumora
