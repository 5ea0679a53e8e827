#include <QBuffer>
#include <QByteArray>
#include <QImage>
#include <cfloat>
#include <cmath>
#include <cstdio>
#include <random>
#include <stdexcept>

#include "cli/cli_options.hpp"
#include "cli/commands.hpp"
#include "cli/process_guard.hpp"
#include "common/file_io.hpp"
#include "common/number_text.hpp"
#include "fourier/complex_image.hpp"
#include "tiling/multigrid.hpp"
#include "tiling/tiling_painter.hpp"
#include "tiling/tiling_status.hpp"
#include "tiling/xy_file.hpp"

namespace lumora::cli {
namespace {

constexpr const char* kHelp = R"(Usage: lumora-cli tiling [options]

Builds a quasiperiodic rhombus tiling by the multigrid method on a 512 x 512
canvas and writes its unique vertices and pictures.

Tiling:
  --symmetry N       number of grids, the N of the N-fold symmetry, 5..20 (default 5)
  --loop-order L     line indices run from -L to L, 1..40 (default 6)
  --scale Z          edge length 3 x Z pixels, 1..10 (default 8)
  --brightness B     tile colour brightness, 100..220 (default 120)
  --shift-mode M     0 symmetry type 1 (default), 1 symmetry type 2, 2 random;
                     the random tiling is the first one the window shows

Output (any of them; without one the XY lines go to standard output):
  --xy FILE          unique vertex coordinates, one "x y" line each
  --tiling-png FILE  the coloured tiling
  --vertices-png FILE
                     the vertex image, one white pixel per vertex
  --ft-png FILE      the Fourier transform of the vertex image
  --gain G           display gain of the transform, a number above 0 (default 1)
  --help             show this text
)";

int WholeOption(const Option& option, int lo, int hi) {
  const std::optional<double> value = ParseNumber(option.value);
  if (!value || *value < lo || *value > hi || *value != std::floor(*value))
    BadValue(option.name, option.value,
             "is not a whole number from " + std::to_string(lo) + " to " + std::to_string(hi));
  return static_cast<int>(*value);
}

std::string PngBytes(const QImage& image) {
  QByteArray bytes;
  QBuffer buffer(&bytes);
  buffer.open(QIODevice::WriteOnly);
  if (!image.save(&buffer, "PNG")) throw std::runtime_error("cannot encode a PNG picture");
  return bytes.toStdString();
}

}  // namespace

int RunTiling(const std::vector<std::string>& args) {
  const std::vector<Option> options =
      ReadOptions(args,
                  {"--symmetry", "--loop-order", "--scale", "--brightness", "--shift-mode", "--xy", "--tiling-png",
                   "--vertices-png", "--ft-png", "--gain"},
                  {"--help"});
  using L = TilingLimits;
  TilingInputs inputs;
  float gain = 1.0f;
  std::string xyPath, tilingPng, verticesPng, ftPng;
  bool anyOutput = false;
  for (const Option& option : options) {
    const std::string& n = option.name;
    if (n == "--help") {
      std::fputs(kHelp, stdout);
      return 0;
    }
    if (n == "--symmetry") inputs.symmetry = WholeOption(option, L::kMinSymmetry, L::kMaxSymmetry);
    else if (n == "--loop-order") inputs.loopOrder = WholeOption(option, L::kMinLoopOrder, L::kMaxLoopOrder);
    else if (n == "--scale") inputs.zoom = WholeOption(option, L::kMinZoom, L::kMaxZoom);
    else if (n == "--brightness") inputs.brightness = WholeOption(option, L::kMinBrightness, L::kMaxBrightness);
    else if (n == "--shift-mode") inputs.shiftMode = static_cast<ShiftMode>(WholeOption(option, 0, 2));
    else if (n == "--gain") {
      const std::optional<double> value = ParseNumber(option.value);
      if (!value || !(*value > 0.0) || *value > FLT_MAX)
        BadValue(n, option.value, "is not a number greater than 0");
      gain = static_cast<float>(*value);
    } else {
      if (option.value.empty()) BadValue(n, option.value, "is not a file name");
      std::string& path = n == "--xy" ? xyPath : n == "--tiling-png" ? tilingPng : n == "--vertices-png" ? verticesPng : ftPng;
      path = option.value;
      anyOutput = true;
    }
  }

  std::mt19937 random(kTilingRandomSeed);
  const Tiling tiling = MakeTiling(inputs, random);
  if (tiling.vertexTableFull) std::fprintf(stderr, "lumora-cli: %s\n", TilingStatusTexts(tiling)[3].c_str());

  if (!anyOutput) return WriteOutput("", XyFileText(tiling.vertX, tiling.vertY)) ? 0 : 1;

  // All the files or none: each is staged in full before any is replaced.
  FileTransaction transaction(&CleanupWatch());
  auto stage = [&](const std::string& path, const std::string& content) {
    if (path.empty()) return true;
    const WriteOutcome outcome = transaction.Stage(path, content);
    if (!outcome.ok) std::fprintf(stderr, "lumora-cli: %s; no file was written\n", outcome.error.c_str());
    return outcome.ok;
  };
  if (!stage(xyPath, XyFileText(tiling.vertX, tiling.vertY))) return 1;
  if (!stage(tilingPng, PngBytes(PaintTiling(tiling)))) return 1;
  if (!stage(verticesPng, PngBytes(RasterToImage(tiling.vertexImage)))) return 1;
  if (!ftPng.empty()) {
    ComplexImage transform;
    transform.SetDimensionFFT(tiling.vertexImage.width);
    transform.RedrawFT(0, gain);
    transform.runFOURN(tiling.vertexImage);
    if (!stage(ftPng, PngBytes(RasterToImage(*transform.picture())))) return 1;
  }
  const WriteOutcome committed = transaction.Commit();
  if (!committed.ok) std::fprintf(stderr, "lumora-cli: %s\n", committed.error.c_str());
  return committed.ok ? 0 : 1;
}

}  // namespace lumora::cli
