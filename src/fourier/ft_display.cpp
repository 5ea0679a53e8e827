#include "fourier/ft_display.hpp"

#include <algorithm>
#include <cmath>

#include "common/numeric.hpp"

namespace lumora {

std::optional<FtPicture> DrawFT(const FtArray& ft, float gain, const ColorTable& table) {
  const int w = ft.width;
  const int h = ft.height;
  double mmax = 0.0;
  for (int x = 0; x < w; ++x)
    for (int y = 0; y < h; ++y) mmax = std::max(mmax, ft.Magnitude(x, y));
  if (!(mmax > 0.0)) return std::nullopt;

  FtPicture picture{RasterImage(w, h), std::vector<std::pair<std::int16_t, std::int16_t>>(
                                           static_cast<std::size_t>(w) * static_cast<std::size_t>(h))};
  for (int x = 0; x < w; ++x) {
    const int xd = (x + w / 2 - 1) % w;
    for (int y = 0; y < h; ++y) {
      const int yd = (y + h / 2 - 1) % h;
      const double v = std::min(ft.Magnitude(x, y) / mmax * 255.0 * static_cast<double>(gain), 255.0);
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
