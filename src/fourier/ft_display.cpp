#include "fourier/ft_display.hpp"

#include <algorithm>
#include <cmath>

#include "common/numeric.hpp"

namespace lumora {

std::optional<FtPicture> DrawFT(const FtArray& ft, float gain, const ColorTable& table) {
  return DrawFT(ft, gain, table, FtDisplayOptions{});
}

std::optional<FtPicture> DrawFT(const FtArray& ft, float gain, const ColorTable& table,
                                const FtDisplayOptions& options) {
  const int w = ft.width;
  const int h = ft.height;
  auto magnitude = [&](int x, int y) {
    return options.hideZeroFrequency && x == 0 && y == 0 ? 0.0 : ft.Magnitude(x, y);
  };
  double mmax = 0.0;
  for (int x = 0; x < w; ++x)
    for (int y = 0; y < h; ++y) mmax = std::max(mmax, magnitude(x, y));
  if (!(mmax > 0.0)) return std::nullopt;

  FtPicture picture{RasterImage(w, h), std::vector<std::pair<std::int16_t, std::int16_t>>(
                                           static_cast<std::size_t>(w) * static_cast<std::size_t>(h))};
  for (int x = 0; x < w; ++x) {
    const int xd = (x + w / 2 - 1) % w;
    for (int y = 0; y < h; ++y) {
      const int yd = (y + h / 2 - 1) % h;
      const double m = magnitude(x, y);
      double v = 0.0;
      if (!options.logarithmic) {
        v = std::min(m / mmax * 255.0 * static_cast<double>(gain), 255.0);
      } else if (m > 0.0) {
        const double level = 1.0 + std::log10(m / mmax * static_cast<double>(gain)) / kLogDecades;
        v = 255.0 * std::clamp(level, 0.0, 1.0);
      }
      picture.image.at(xd, yd) = table[static_cast<std::size_t>(RoundHalfEven(v))];
      picture.displayMap[static_cast<std::size_t>(yd) * static_cast<std::size_t>(w) + static_cast<std::size_t>(xd)] =
          {static_cast<std::int16_t>(x), static_cast<std::int16_t>(y)};
    }
  }
  return picture;
}

float ChangeBrightness(float gain, int d) {
  float next = d <= 0 ? gain * 0.9f : gain * 1.11f;
  if (!std::isfinite(next)) next = gain;
  return next < kMinimumGain ? kMinimumGain : next;
}

}  // namespace lumora
