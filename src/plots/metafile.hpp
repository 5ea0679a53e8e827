// Windows metafiles of a plot: the standard records of its circles, labels and
// frame, and the 22-byte placeable header in front of them. Little-endian
// bytes, written without any platform library.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

#include "plots/plot_scene.hpp"

namespace lumora {

using Bytes = std::vector<std::uint8_t>;

inline constexpr std::uint32_t kPlaceableKey = 0x9AC6CDD7u;
inline constexpr int kTwipsPerInch = 1440;
inline constexpr int kLargeViewUnitsPerInch = 3000;

// Record function numbers of the records the writer uses.
enum MetaFunction : std::uint16_t {
  kMetaEof = 0x0000,
  kMetaSetMapMode = 0x0103,
  kMetaSetWindowExt = 0x020C,
  kMetaSelectObject = 0x012D,
  kMetaDeleteObject = 0x01F0,
  kMetaCreatePenIndirect = 0x02FA,
  kMetaCreateFontIndirect = 0x02FB,
  kMetaCreateBrushIndirect = 0x02FC,
  kMetaRectangle = 0x041B,
  kMetaEllipse = 0x0418,
  kMetaTextOut = 0x0521,
};

// The font description of the labels: every field 0 but the height,
// -(pixels x 15) so that it selects the character height, and the face name.
struct LogFont {
  std::int16_t height = 0;
  std::string face;
};
LogFont MakeLogFont(const std::string& face, int pixels);

struct MetafileOptions {
  int penWidth = 2;         // twips: one pixel of a 600-dpi printer
  std::string fontFace = "Arial";
  int fontPixels = 8;
};

// The standard metafile (18-byte header and records) of a scene of width x
// height twips: window extent (width, height) in anisotropic mapping, a black
// frame rectangle, then every circle as an Ellipse on its rounded bounding
// square with a solid brush of its fill colour and the black pen, and every
// label as TextOut at its rounded position. The legend is not recorded.
// Coordinates beyond the 16-bit range are scaled down by a whole factor,
// which `scale` receives.
Bytes StandardMetafile(const PlotScene& scene, int width, int height, const MetafileOptions& options = {},
                       int* scale = nullptr);

// The 22-byte placeable header: key, bounds (0, 0, width + 1, height + 1),
// units per inch and the XOR checksum of its first ten 16-bit words.
Bytes PlaceableHeader(int width, int height, int unitsPerInch);

// Header and metafile together: what "a.wmf" holds. unitsPerInch is 1440, or
// 3000 while the large view is open; it is divided by the scale factor when
// coordinates had to be scaled down, so the picture keeps its size.
Bytes PlaceableMetafile(const PlotScene& scene, int unitsPerInch, const MetafileOptions& options = {});

}  // namespace lumora
