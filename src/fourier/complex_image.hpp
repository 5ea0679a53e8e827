// The transform object the tiling window owns: it transforms the vertex
// image, keeps the transform and the display gain, and draws the transform.
#pragma once

#include <optional>
#include <string>
#include <vector>

#include "fourier/ft_array.hpp"
#include "fourier/ft_display.hpp"
#include "fourier/grey_table.hpp"
#include "fourier/raster_image.hpp"

namespace lumora {

class ComplexImage {
 public:
  ComplexImage();  // grey table, gain 1

  // Square transform size; a power of two.
  void SetDimensionFFT(int w);
  int dimension() const { return dimension_; }

  // Transforms the source (w x w, w a power of two) and draws it. An all-black
  // source has an all-zero transform: the picture becomes black rather than
  // keep showing the transform of an earlier picture. Answers whether there
  // was anything to transform.
  bool runFOURN(const RasterImage& source);

  // A gain above 0 (and finite) becomes the display gain; mode 1 redraws.
  void RedrawFT(int mode, float gain);
  void ChangeBrightness(int d);
  float gain() const { return gain_; }
  // Log display and zero-frequency suppression; a change redraws.
  void SetDisplayOptions(const FtDisplayOptions& options);
  const FtDisplayOptions& displayOptions() const { return options_; }

  const FtArray& ft() const { return ft_; }
  // The drawn transform; empty before the first transform.
  const std::optional<RasterImage>& picture() const { return picture_; }
  // The status text of the last operation ("" after a successful transform).
  const std::string& message() const { return message_; }

  std::vector<float> GetProfile(double y, float& vmax) const;

 private:
  void Draw();

  ColorTable table_;
  float gain_ = 1.0f;
  FtDisplayOptions options_;
  int dimension_ = 0;
  FtArray ft_;
  std::optional<RasterImage> picture_;
  std::string message_;
};

}  // namespace lumora
