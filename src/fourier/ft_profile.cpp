#include "fourier/ft_profile.hpp"

#include <algorithm>
#include <cmath>

#include "common/numeric.hpp"

namespace lumora {
namespace {

int WrapIndex(double v, int n) {
  const long long i = static_cast<long long>(RoundHalfEven(v)) % n;
  return static_cast<int>(i < 0 ? i + n : i);
}

}  // namespace

std::vector<float> GetProfile(const FtArray& ft, double y, float& vmax) {
  const int w = ft.width;
  const int h = ft.height;
  std::vector<float> profile(static_cast<std::size_t>(w), 0.0f);
  if (w <= 0 || h <= 0) {
    if (vmax == 0.0f) vmax = 1.0f;
    return profile;
  }
  const int row = WrapIndex(h / 2 + y, h);
  for (int i = 0; i < w; ++i) {
    const int column = (w / 2 + i) % w;
    const float m = static_cast<float>(ft.Magnitude(column, row));
    profile[static_cast<std::size_t>(i)] = m;
    if (m > vmax) vmax = m;
  }
  if (vmax == 0.0f) vmax = 1.0f;
  return profile;
}

std::vector<float> GetDisplayedProfile(const FtArray& ft, int displayY, float& vmax) {
  const int w = ft.width;
  const int h = ft.height;
  std::vector<float> profile(static_cast<std::size_t>(std::max(w, 0)), 0.0f);
  if (w > 0 && h > 0) {
    // Inverse of the quadrant swap x' = (x + w/2 - 1) mod w.
    const int row = WrapIndex(static_cast<double>(displayY) - h / 2 + 1, h);
    for (int i = 0; i < w; ++i) {
      const int column = ((i - w / 2 + 1) % w + w) % w;
      const float m = static_cast<float>(ft.Magnitude(column, row));
      profile[static_cast<std::size_t>(i)] = m;
      if (m > vmax) vmax = m;
    }
  }
  if (vmax == 0.0f) vmax = 1.0f;
  return profile;
}

std::vector<int> ProfileGraph(const std::vector<float>& profile, float vmax, int stripHeight) {
  // A maximum of 0 (or none) would scale by infinity, as GetProfile knows.
  const double scale = (stripHeight - 5) / static_cast<double>(vmax > 0.0f ? vmax : 1.0f);
  std::vector<int> ys;
  ys.reserve(profile.size());
  for (float entry : profile) {
    const double y = RoundHalfEven(stripHeight - scale * entry);
    // Kept in the range of int before the conversion; far off the strip either way.
    ys.push_back(static_cast<int>(std::isnan(y) ? stripHeight : std::clamp(y, -1e6, 1e6)));
  }
  return ys;
}

int ProfileStripTop(int lineY, int innerHeight, int outerHeight) {
  return lineY <= innerHeight + 10 ? lineY + 10 : lineY - 10 - outerHeight;
}

}  // namespace lumora
