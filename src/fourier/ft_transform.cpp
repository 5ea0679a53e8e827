#include "fourier/ft_transform.hpp"

#include <stdexcept>
#include <vector>

#include "fourier/fourn.hpp"

namespace lumora {

std::optional<FtArray> runFOURN(const RasterImage& source, int isign, const SystemColorLookup& systemColors) {
  const int w = source.width;
  if (w <= 0 || source.height != w) throw std::invalid_argument("runFOURN: the picture must be square");
  const std::size_t count = static_cast<std::size_t>(w) * static_cast<std::size_t>(w);
  std::vector<float> data(2 * count, 0.0f);
  bool any = false;
  for (int x = 0; x < w; ++x) {
    for (int y = 0; y < w; ++y) {
      const int v = RedComponent(source.at(x, y), systemColors);
      const std::size_t k = static_cast<std::size_t>(w) * static_cast<std::size_t>(x) + static_cast<std::size_t>(y);
      data[2 * k] = static_cast<float>(v);
      any = any || v != 0;
    }
  }
  if (!any) return std::nullopt;
  const int nn[2] = {w, w};
  fourn(data, nn, isign);
  FtArray ft(w, w);
  for (std::size_t k = 0; k < count; ++k) ft.values[k] = {data[2 * k], data[2 * k + 1]};
  return ft;
}

}  // namespace lumora
