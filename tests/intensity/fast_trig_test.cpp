// The inlined sine and cosine against the C library.
#include <gtest/gtest.h>

#include <cmath>
#include <random>

#include "intensity/fast_trig.hpp"

namespace lumora {
namespace {

TEST(FastTrig, AgreesWithTheLibrary) {
  std::mt19937_64 random(11);
  for (double range : {1.0, 10.0, 1e3, 1e5, 1e6}) {
    std::uniform_real_distribution<double> uniform(-range, range);
    for (int i = 0; i < 200000; ++i) {
      const double x = uniform(random);
      const SinCos sc = FastSinCos(x);
      ASSERT_NEAR(sc.sin, std::sin(x), 4e-16) << x;
      ASSERT_NEAR(sc.cos, std::cos(x), 4e-16) << x;
    }
  }
  // Quadrant edges and special values.
  for (double x : {0.0, -0.0, M_PI / 4, M_PI / 2, M_PI, 1.5 * M_PI, -M_PI / 2, 1e-300}) {
    EXPECT_NEAR(FastSinCos(x).sin, std::sin(x), 4e-16) << x;
    EXPECT_NEAR(FastSinCos(x).cos, std::cos(x), 4e-16) << x;
  }
  EXPECT_TRUE(std::isnan(FastSinCos(NAN).sin));
}

}  // namespace
}  // namespace lumora
