#include <QBuffer>
#include <QByteArray>
#include <QImage>
#include <QPainter>
#include <cmath>
#include <cstdio>
#include <random>
#include <stdexcept>

#include "cli/cli_options.hpp"
#include "cli/command_inputs.hpp"
#include "cli/commands.hpp"
#include "cli/process_guard.hpp"
#include "common/file_io.hpp"
#include "common/number_text.hpp"
#include "common/text.hpp"
#include "fourier/complex_image.hpp"
#include "tiling/exact_diffraction.hpp"
#include "tiling/multigrid.hpp"
#include "tiling/tiling_analysis.hpp"
#include "tiling/tiling_export.hpp"
#include "tiling/tiling_options.hpp"
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
  --shifts LIST      the N grid shifts, each from -1 to 1, separated by commas
  --preset NAME      penrose, generalised-penrose or ammann-beenker: the
                     standard tiling's N and shifts
  --shift-sum S      shift sum of the generalised Penrose tiling (default 0.5)

Output (any of them; without one the XY lines go to standard output; the
pictures' names end in .png, the SVG's in .svg):
  --xy FILE          unique vertex coordinates, one "x y" line each
  --tiling-png FILE  the coloured tiling
  --vertices-png FILE
                     the vertex image, one white pixel per vertex
  --ft-png FILE      the Fourier transform of the vertex image
  --gain G           display gain of the transform, a number above 0 (default 1)
  --tiles-csv FILE   every tile: type, shape angle, corners in edge lengths
  --vertices-csv FILE
                     the exact vertices in edge lengths about the centre, with
                     their index vectors
  --svg FILE         the tiling as SVG polygons
  --diffraction-png FILE
                     Bragg peaks of the exact vertices, spot area in proportion
                     to intensity
  --k-max K          largest |k| of the peaks, reciprocal edge lengths (default 2)
  --internal-max Q   largest internal component of the peaks (default 1)
  --diffraction-csv FILE
                     the same peaks as numbers: kx, ky, |k|, module indices,
                     internal component and intensity (1 at k = 0)
  --stats FILE       tile counts by shape, their ratio and vertex coordination
                     as JSON
  --help             show this text
)";

std::string PngBytes(const QImage& image) {
  QByteArray bytes;
  QBuffer buffer(&bytes);
  buffer.open(QIODevice::WriteOnly);
  if (!image.save(&buffer, "PNG")) throw std::runtime_error("cannot encode a PNG picture");
  return bytes.toStdString();
}

}  // namespace

int RunTiling(const std::vector<std::string>& args) {
  using namespace input;
  const std::vector<Option> options = ReadOptions(args, CommandInputs("tiling"));
  TilingOptions tilingOptions;
  float gain = static_cast<float>(DefaultNumber(kGain));
  std::string xyPath, tilingPng, verticesPng, ftPng, tilesCsv, verticesCsv, svgPath, diffractionPng, diffractionCsv,
      statsPath;
  bool anyOutput = false;
  for (const Option& option : options) {
    const std::string& n = option.name;
    if (n == kHelpOption.option) {
      std::fputs(kHelp, stdout);
      return 0;
    }
    if (tilingOptions.Apply(option)) continue;
    if (n == kGain.option) {
      gain = static_cast<float>(ReadNumber(kGain, option.value));
    } else {
      if (option.value.empty()) BadValue(n, option.value, std::string(kNotAFileName));
      std::string& path = n == kXyFile.option           ? xyPath
                          : n == kTilingPng.option      ? tilingPng
                          : n == kVerticesPng.option    ? verticesPng
                          : n == kFtPng.option          ? ftPng
                          : n == kTilesCsv.option       ? tilesCsv
                          : n == kVerticesCsv.option    ? verticesCsv
                          : n == kSvgFile.option        ? svgPath
                          : n == kDiffractionPng.option ? diffractionPng
                          : n == kDiffractionCsv.option ? diffractionCsv
                                                        : statsPath;
      path = option.value;
      // A picture's name says its format.
      for (const NamedInput* picture : {&kTilingPng, &kVerticesPng, &kFtPng, &kSvgFile, &kDiffractionPng})
        if (n == picture->option) ReadPictureFormat(*picture, path);
      anyOutput = true;
    }
  }
  const TilingInputs inputs = tilingOptions.Resolve();

  std::mt19937 random(kTilingRandomSeed);
  const Tiling tiling = MakeTiling(inputs, random);
  if (const auto note = TilingNote(tiling.inputs.symmetry, tiling.gridShift))
    std::fprintf(stderr, "lumora-cli: note: %s\n", note->c_str());
  if (tiling.vertexTableFull) std::fprintf(stderr, "lumora-cli: %s\n", TilingStatusTexts(tiling)[3].c_str());

  // Limits that give too many peaks are bad input: said before any file is touched.
  std::optional<std::vector<ModulePoint>> points;
  std::vector<double> intensity;
  if (!diffractionPng.empty() || !diffractionCsv.empty()) {
    points = tilingOptions.PeakPoints(tiling.inputs.symmetry);
    intensity = BraggIntensities(tiling.inputs.symmetry, LatticeVertexPositions(tiling), *points);
  }

  if (!anyOutput) return WriteOutput("", XyFileText(tiling.vertX, tiling.vertY)) ? 0 : 1;

  // All the files or none: each is made in full before any is replaced.
  std::vector<OutputFile> files;
  auto add = [&files](const std::string& path, auto make) {
    if (!path.empty()) files.push_back({path, make()});
  };
  add(xyPath, [&] { return XyFileText(tiling.vertX, tiling.vertY); });
  add(tilingPng, [&] { return PngBytes(PaintTiling(tiling)); });
  add(verticesPng, [&] { return PngBytes(RasterToImage(tiling.vertexImage)); });
  add(ftPng, [&] {
    ComplexImage transform;
    transform.SetDimensionFFT(tiling.vertexImage.width);
    transform.RedrawFT(0, gain);
    transform.runFOURN(tiling.vertexImage);
    return PngBytes(RasterToImage(*transform.picture()));
  });
  add(tilesCsv, [&] { return TilesCsv(tiling); });
  add(verticesCsv, [&] { return VerticesCsv(tiling); });
  add(svgPath, [&] { return TilingSvg(tiling); });
  add(statsPath, [&] {
    return StatisticsJson(tiling, ComputeTilingStatistics(tiling), TilingNote(tiling.inputs.symmetry, tiling.gridShift));
  });
  if (points) {
    add(diffractionPng, [&] { return PngBytes(PaintPeaks(*points, intensity, tilingOptions.kMax, tiling.inputs.width)); });
    add(diffractionCsv, [&] { return PeaksCsv(tiling.inputs.symmetry, *points, intensity); });
  }
  return WriteOutputs(files) ? 0 : 1;
}

}  // namespace lumora::cli
