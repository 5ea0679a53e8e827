// lumora-cli plot: the window's 2D and 3D plots as files, built from the same
// scenes and painters the window uses.
#include <QBuffer>
#include <QByteArray>
#include <QGuiApplication>
#include <QImage>
#include <cmath>
#include <cstdio>
#include <memory>
#include <optional>
#include <string>
#include <variant>
#include <vector>

#include "cli/cli_options.hpp"
#include "cli/command_inputs.hpp"
#include "cli/gui_application.hpp"
#include "cli/commands.hpp"
#include "common/number_text.hpp"
#include "common/text.hpp"
#include "intensity/model_file.hpp"
#include "intensity/structure_factor.hpp"
#include "plots/metafile.hpp"
#include "plots/plot_scenes.hpp"
#include "plots/raster_painter.hpp"
#include "plots/scene_painter.hpp"

namespace lumora::cli {
namespace {

constexpr const char* kHelp = R"(Usage: lumora-cli plot [options]

Runs the calculation and writes the 2D (zeroth layer) or 3D plot as a file,
as the window draws it.

Picture:
  --view 2d|3d           the zeroth-layer plot (default; for the icosahedral
                         system a thin slab of the 3D orientation) or the 3D plot
  --format FORMAT        png, bmp, svg, pdf or wmf (placeable Windows metafile);
                         default: from the extension of -o, else png
  --size WxH             picture size in pixels (default 700x500)
  --rotate AXIS:DEGREES  turn the 3D view about axis 1 (viewing direction),
                         2 (screen horizontal) or 3 (screen vertical), as the
                         window's keys and Custom Rotation buttons; repeatable,
                         applied in order after the start orientation
  --rings                spots as rings instead of filled
  --main                 main reflections red
  --directions           mirror directions green and blue (axial systems)
  --uniform              every spot the same size (not by 1/qi)
  --grey theta|qi|intensity  grey levels by theta, qi or (with --model) intensity
  --area-by-intensity    with --model: spot areas in proportion to the intensity
  --labels               index labels
  --background COLOUR    black (default), white or blue
  --spots FACTOR         spot size factor, 0 to 4 in steps of 0.1 (default 1)
  --layer DZ             3D layer thickness about the screen plane, percent of
                         the largest coordinate, 1..100 (default 100: all)
  --scale-bar            a bar of a round length in 1/A (reciprocal Angstrom,
                         without 2 pi), bottom right
  --ticks                ticks every bar length along the bottom (x; in 3D the
                         screen horizontal) and left edge (y, growing downward)
  --orientation          3D: the report's x, y and z axes as seen, top right
  --caption              the run's space group and parameters, top left
                         (not in wmf, which holds the spots only)
  -o FILE                write to FILE instead of standard output; its name
                         ends in .png, .bmp, .svg, .pdf or .wmf, which gives
                         the format (--format, if given, must agree)

Lattice and calculation: as "lumora-cli reflections" (--system, --space-group,
--setting, -a, -c, --wavelength, --anode, --theta, --qi-max, --loops,
--settings, --algorithm), and --model NAME|FILE with --min-intensity P to plot
only the reflections of at least P percent.
  --help                 show this text
)";

struct Size {
  int width = 700;
  int height = 500;
};

Size ParseSize(const std::string& text) {
  const NumberRange& range = input::kSize.range;
  const std::size_t x = text.find_first_of("xX");
  const std::optional<double> w = x == std::string::npos ? std::nullopt : ParseNumber(text.substr(0, x));
  const std::optional<double> h = x == std::string::npos ? std::nullopt : ParseNumber(text.substr(x + 1));
  auto ok = [&range](const std::optional<double>& v) { return v && range.Contains(*v) && *v == std::floor(*v); };
  if (!ok(w) || !ok(h)) Refuse(input::kSize, text);
  return {static_cast<int>(*w), static_cast<int>(*h)};
}

struct Turn {
  int axis = 0;
  float degrees = 0.0f;
};

Turn ParseRotation(const std::string& text) {
  const std::size_t colon = text.find(':');
  const std::string axis = colon == std::string::npos ? "" : std::string(Trim(text.substr(0, colon)));
  const std::optional<double> angle = colon == std::string::npos ? std::nullopt : ParseNumber(text.substr(colon + 1));
  if ((axis != "1" && axis != "2" && axis != "3") || !angle || !input::kRotate.range.Contains(*angle))
    Refuse(input::kRotate, text);
  return {axis[0] - '0', static_cast<float>(*angle)};
}

std::string ImageBytes(const QImage& image, const char* format) {
  QByteArray bytes;
  QBuffer buffer(&bytes);
  buffer.open(QIODevice::WriteOnly);
  if (!image.save(&buffer, format)) throw std::runtime_error(std::string("cannot encode the ") + format + " picture");
  return bytes.toStdString();
}


}  // namespace

int RunPlot(const std::vector<std::string>& args) {
  using namespace input;
  const std::vector<Option> options = ReadOptions(args, CommandInputs("plot"));

  ParameterOptions parameters;
  ViewOptions view;
  bool threeD = false;
  std::string format, output;
  bool outputGiven = false;
  bool caption = false;
  Size size;
  std::vector<Turn> turns;
  RunControl control;
  ModelOptions modelOptions;
  for (const Option& option : options) {
    const std::string& n = option.name;
    if (n == kHelpOption.option) {
      std::fputs(kHelp, stdout);
      return 0;
    }
    if (parameters.Apply(option) || modelOptions.Apply(option)) continue;
    if (n == kView.option) {
      threeD = ReadChoice(kView, option.value) == "3d";
    } else if (n == kPlotFormat.option) {
      format = ReadChoice(kPlotFormat, option.value);
    } else if (n == kSize.option) {
      size = ParseSize(option.value);
    } else if (n == kRotate.option) {
      turns.push_back(ParseRotation(option.value));
    } else if (n == kRings.option) {
      view.filledSpots = false;
    } else if (n == kMainSpots.option) {
      view.highlightMain = true;
    } else if (n == kDirections.option) {
      view.highlightDirections = true;
    } else if (n == kUniform.option) {
      view.sizeByQi = false;
    } else if (n == kLabels.option) {
      view.showIndices = true;
    } else if (n == kAreaByIntensity.option) {
      view.areaByIntensity = true;
      view.sizeByQi = false;
    } else if (n == kScaleBar.option) {
      view.marks.scaleBar = true;
    } else if (n == kTicks.option) {
      view.marks.ticks = true;
    } else if (n == kOrientation.option) {
      view.marks.orientation = true;
    } else if (n == kCaption.option) {
      caption = true;
    } else if (n == kGrey.option) {
      const std::string grey = ReadChoice(kGrey, option.value);
      view.colorByTheta = grey == "theta";
      view.colorByQi = grey == "qi";
      view.greyByIntensity = grey == "intensity";
    } else if (n == kBackground.option) {
      const std::optional<std::size_t> mode = ChoiceIndex(kBackground, option.value);
      if (!mode) Refuse(kBackground, option.value);
      view.backgroundMode = static_cast<int>(*mode);
    } else if (n == kSpots.option) {
      view.spotRadiusSlider = static_cast<int>(std::lround(ReadNumber(kSpots, option.value) * 10.0));
    } else if (n == kLayer.option) {
      view.layerSlider = static_cast<int>(ReadWholeNumber(kLayer, option.value));
    } else if (n == kPlotOutput.option) {
      output = option.value;
      outputGiven = true;
    } else if (n == kAlgorithm.option) {
      control.algorithm = ReadChoice(kAlgorithm, option.value) == "box" ? WalkAlgorithm::Box : WalkAlgorithm::Bounded;
    }
  }
  if (outputGiven) {
    const std::string named = ReadPictureFormat(kPlotOutput, output);
    if (!format.empty() && format != named)
      BadValue(kPlotFormat.option, format, "does not match the file name \"" + EchoText(output) + "\"");
    format = named;
  }
  if (format.empty()) format = std::string(kPlotFormat.defaultText);
  const std::optional<StructureModel> model = modelOptions.Model();
  if (view.areaByIntensity && !model) throw UsageError("option --area-by-intensity needs --model");
  if (view.greyByIntensity && !model) BadValue("--grey", "intensity", "needs --model");

  const ParameterOptions::Read read = parameters.ReadInputs();
  const CalculationInputs& inputs = read.inputs;
  if (format == "wmf" && (view.marks.any() || caption))
    BadValue(kPlotFormat.option, format, "holds the spots only: no --scale-bar, --ticks, --orientation or --caption");
  if (caption) view.marks.caption = RunCaption(read.summary, model ? modelOptions.Label(*model) : std::string());
  // The window offers mirror directions for the axial systems only.
  if (view.highlightDirections && inputs.system == CrystalSystem::Icosahedral)
    throw UsageError("option --directions: the icosahedral system has no mirror-direction colours");

  CalculationResult result = RunCalculation(inputs, control);
  if (result.status != RunStatus::Completed) {
    std::fprintf(stderr, "lumora-cli: %s\n", result.error.c_str());
    return 1;
  }
  IntensityResult intensities;
  if (model) {
    intensities = ModelIntensities(*model, modelOptions.Label(*model), result, XRayRadiation(inputs.wavelength));
    if (const auto& least = modelOptions.MinIntensity()) KeepStrongReflections(result, intensities, *least);
  }

  // The window's plot data: the 3D scale is that of this run.
  const PlotData data{&result.records, result.lattice.nDim, result.stats, result.stats.bounds.CoordMax(),
                      model ? &intensities.intensity : nullptr};
  PointTable points = MakePointTable(result.records);
  if (result.lattice.system == CrystalSystem::Icosahedral) {
    // The icosahedral start orientation of the window.
    Rotate(points, 2, 31.7f);
    Rotate(points, 3, 90.0f);
  }
  for (const Turn& turn : turns) Rotate(points, turn.axis, turn.degrees);
  // Nearer spots are painted over farther ones, as after a turn by the keys.
  if (!turns.empty()) SortPlotRows(points);

  EnsureGuiApplication();
  const SceneTarget target{size.width * kTwipsPerPixel, size.height * kTwipsPerPixel,
                           BackgroundScheme(view.backgroundMode)};
  const bool slab = !threeD && data.nDim == 6;  // the icosahedral 2D view
  std::string bytes;
  if (format == "png" || format == "bmp") {
    const QImage picture =
        threeD ? Rasterize3D(data, points, view, target, 0.0f, view.zoom3D, size.width, size.height)
        : slab ? Rasterize3D(data, points, view, target, 3.0f, view.zoom2D, size.width, size.height)
               : RasterizeScene(BuildZeroLayerScene(data, view, target), size.width, size.height);
    bytes = ImageBytes(picture, format == "png" ? "PNG" : "BMP");
  } else {
    const PlotScene scene = threeD ? Build3DScene(data, points, view, target, 0.0f, view.zoom3D)
                            : slab ? BuildSlabScene(data, points, view, target)
                                   : BuildZeroLayerScene(data, view, target);
    if (format == "svg") {
      bytes = SceneToSvg(scene).toStdString();
    } else if (format == "pdf") {
      bytes = SceneToPdf(scene).toStdString();
    } else {
      const Bytes metafile = PlaceableMetafile(scene, kTwipsPerInch);
      bytes.assign(metafile.begin(), metafile.end());
    }
  }
  return WriteOutput(output, bytes) ? 0 : 1;
}

}  // namespace lumora::cli
