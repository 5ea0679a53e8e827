#include "fourier/complex_image.hpp"

#include <cmath>

#include "fourier/ft_profile.hpp"
#include "fourier/ft_transform.hpp"

namespace lumora {

ComplexImage::ComplexImage() : table_(GreyTable()) {}

void ComplexImage::SetDimensionFFT(int w) {
  dimension_ = w;
  ft_ = FtArray(w, w);
}

bool ComplexImage::runFOURN(const RasterImage& source) {
  message_.clear();
  std::optional<FtArray> ft = lumora::runFOURN(source, 1);
  if (!ft) {
    ft_ = FtArray(source.width, source.height);
    picture_ = RasterImage(source.width, source.height, table_[0]);
    message_ = "No vertices to transform";
    return false;
  }
  ft_ = std::move(*ft);
  dimension_ = ft_.width;
  Draw();
  return true;
}

void ComplexImage::RedrawFT(int mode, float gain) {
  if (gain > 0.0f && std::isfinite(gain)) gain_ = gain;
  if (mode == 1) Draw();
}

void ComplexImage::SetDisplayOptions(const FtDisplayOptions& options) {
  if (options == options_) return;
  options_ = options;
  Draw();
}

void ComplexImage::ChangeBrightness(int d) { RedrawFT(1, lumora::ChangeBrightness(gain_, d)); }

std::vector<float> ComplexImage::GetProfile(double y, float& vmax) const { return lumora::GetProfile(ft_, y, vmax); }

void ComplexImage::Draw() {
  // An all-zero transform keeps whatever picture is there.
  if (std::optional<FtPicture> drawn = DrawFT(ft_, gain_, table_, options_)) picture_ = std::move(drawn->image);
}

}  // namespace lumora
