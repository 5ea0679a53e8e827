// lumora-cli zone: the zone-axis diffraction pattern, and the fit of a
// measured image to it.
#include <cstdio>
#include <optional>
#include <set>
#include <string>
#include <variant>
#include <vector>

#include "cli/command_inputs.hpp"
#include "cli/cli_options.hpp"
#include "cli/commands.hpp"
#include "cli/gui_application.hpp"
#include "common/text.hpp"
#include "zone/grey_image.hpp"
#include "zone/zone_options.hpp"
#include "zone/zone_output.hpp"
#include "zone/zone_pattern_painter.hpp"

namespace lumora::cli {
namespace {

constexpr const char* kHelp = R"(Usage: lumora-cli zone [options]

Simulates the kinematic diffraction pattern along a zone axis: every
reflection within --g-max of the origin whose excitation error |s| is at most
--s-max, with its position in the pattern plane, its Laue zone and its
intensity I = |F|^2 x sin^2(pi t s)/(pi s)^2 (or its mean over a precession
turn), in percent of the strongest spot. Writes a report of the strongest
spots to standard output or -o.

Lattice, space group, model: the options of "lumora-cli reflections"
  (--system, --space-group, --setting, -a, -c, --qi-max, --loops, --settings,
  --model); the pattern's extent replaces --theta. Without a model every
  reflection has |F|^2 = exp(-(l q_perp)^2), l the edge of the tiling's rhombi.

Beam and specimen:
  --axis NAME|h1,...,hn  a symmetry axis (icosahedral 5, 3, 2; axial 10, 8 or
                         12, and 2 or 2' (2a, 2b) in the plane), or a
                         direct-lattice index vector (default 5, or the
                         periodic axis)
  --tilt TX,TY           tilt the beam by TX about the pattern's x axis, then
                         TY about its y axis, degrees (default 0,0)
  --radiation KIND       electron (default), xray or neutron
  --voltage KV           electrons: accelerating voltage (default 200 kV;
                         relativistic wavelength)
  --wavelength W         X-rays and neutrons: wavelength in A (X-rays also --anode)
  --thickness NM         specimen thickness (default 50 nm)
  --precession DEG       precession half-angle, 0 to 10 degrees (default 0)
  --g-max G              pattern radius in 1/A (default 1.5)
  --s-max S              largest |excitation error| in 1/A (default 0.05)
  --camera-length MM     adds spot positions on the screen in mm

Outputs:
  --csv FILE             one spot a row: indices, x, y (1/A, pattern frame),
                         excitation_error, laue_zone, intensity, d, q_perp,
                         f_squared, shape_factor[, x_mm, y_mm]
  --json FILE            the same with the wavelength, beam direction and frame
  --png FILE | --svg FILE | --pdf FILE   the pattern as a picture (900 x 900)
  --log                  spot areas by log intensity (four decades)
  --labels               index labels on spots of at least 20 %
  -o FILE                the report to FILE instead of standard output

Measured image (PNG or TIFF, 8 or 16 bit grey; MRC modes 0, 1, 2, 6):
  --measured IMAGE       find its spots and fit the zero-layer pattern to them:
                         centre, camera constant K (R = K / d, px A) and
                         rotation (counter-clockwise on screen from the
                         image's +x to the pattern's x, modulo the pattern's
                         symmetry); the fit's report follows the pattern's
  --fit-json FILE        camera_constant, rotation_deg, centre_x, centre_y
                         (px, origin at the top-left pixel centre, y down),
                         their _su, indexed, reliable, verdict, candidates
  --spot-sigma PX        spot width (default 1.5 px)
  --spot-threshold T     spots stand T times their local noise above the
                         background (default 6)
  --fit-tolerance PX     a spot indexes a simulated one this near (default 3)
  --centre X,Y           start from this centre instead of searching for it
  --k-range KMIN,KMAX    search the camera constant only in this range
  --min-indexed N        fewest indexed spots of a reliable fit (default 8)
  --fit-tilt MAX         also fit a small beam tilt (within MAX degrees) from
                         the indexed spots' intensities against
                         |F|^2 t^2 / (1 + 2 (pi t s)^2); adds tilt_deg and
                         tilt_deg_su. A tilted pattern's Friedel pairs are
                         unequal: when the similar pairs' centre fails, the
                         centres most spots are symmetric about are tried.
A fit is reliable when at least --min-indexed spots and half the spots inside
the pattern are indexed, three times more than chance would index, the rms
residual is at most half the tolerance and no other camera constant or
rotation indexes 80 % as many. Otherwise everything is still written, with
"reliable": false, and the exit status is 3 (no reliable solution).
  --help                 show this text
)";

}  // namespace

int RunZone(const std::vector<std::string>& args) {
  using namespace input;
  const std::vector<Option> options = ReadOptions(args, CommandInputs("zone"));

  ParameterOptions parameters;
  ZoneOptions zone;
  ModelOptions modelOptions;
  std::string csvFile, jsonFile, pictureFile, pictureFormat, measuredFile, fitFile, output;
  ZonePictureOptions picture;
  for (const Option& option : options) {
    const std::string& n = option.name;
    if (n == kHelpOption.option) {
      std::fputs(kHelp, stdout);
      return 0;
    }
    if (zone.Apply(option) || parameters.Apply(option) || modelOptions.Apply(option)) continue;
    if (n == kLogIntensity.option) {
      picture.logIntensity = true;
    } else if (n == kLabels.option) {
      picture.labels = true;
    } else if (n == kPngFile.option || n == kSvgFile.option || n == kPdfFile.option) {
      if (!pictureFile.empty()) throw UsageError("give one of --png, --svg and --pdf");
      if (option.value.empty()) BadValue(n, option.value, std::string(kNotAFileName));
      pictureFile = option.value;
      pictureFormat = n.substr(2);
    } else {
      std::string& file = n == kZoneCsv.option        ? csvFile
                          : n == kZoneJson.option     ? jsonFile
                          : n == kMeasuredFile.option ? measuredFile
                          : n == kFitJson.option      ? fitFile
                                                      : output;
      if (option.value.empty()) BadValue(n, option.value, std::string(kNotAFileName));
      file = option.value;
    }
  }
  if (!fitFile.empty() && measuredFile.empty()) throw UsageError("option --fit-json needs --measured");

  const std::optional<StructureModel> model = modelOptions.Model();
  const ZoneInputs inputs = zone.Read(parameters.ReadInputs());

  // The image is read before anything is computed: a bad file is bad input.
  std::optional<GreyImage> image;
  if (!measuredFile.empty()) {
    auto read_ = ReadGreyImage(measuredFile);
    if (const std::string* error = std::get_if<std::string>(&read_)) throw UsageError("option --measured: " + *error);
    image = std::get<GreyImage>(std::move(read_));
  }

  const ZonePattern pattern = SimulateZonePattern(inputs, model ? &*model : nullptr);
  if (!pattern.error.empty()) {
    if (pattern.error.find("model") != std::string::npos || pattern.error.find("system") != std::string::npos)
      throw UsageError("option --model: " + pattern.error);
    if (pattern.error.find("axis") != std::string::npos) throw UsageError("option --axis: " + pattern.error);
    std::fprintf(stderr, "lumora-cli: %s\n", pattern.error.c_str());
    return 1;
  }
  const std::string modelLabel = model ? modelOptions.Label(*model) : std::string();

  // Everything is computed before anything is written.
  std::string report = ZoneReport(pattern, inputs, modelLabel);
  std::string fitJson;
  bool reliable = true;
  if (image) {
    const std::vector<FoundSpot> found = FindSpots(*image, zone.spots);
    const ZoneFit fit = FitZoneImage(pattern, found, image->width, image->height, zone.fit);
    report += "\n" + ZoneFitReport(fit, pattern, found.size());
    fitJson = ZoneFitJson(fit, pattern, found, zone.fit, image->width, image->height);
    reliable = fit.reliable;
  }
  QByteArray pictureBytes;
  if (!pictureFile.empty()) {
    EnsureGuiApplication();
    QString error;
    pictureBytes = RenderZonePattern(pattern, picture, QString::fromStdString(pictureFormat), QSize(900, 900), &error);
    if (pictureBytes.isEmpty()) {
      std::fprintf(stderr, "lumora-cli: %s: %s\n", pictureFile.c_str(), error.toUtf8().constData());
      return 1;
    }
  }
  if (!csvFile.empty() && !WriteOutput(csvFile, ZoneCsv(pattern, inputs))) return 1;
  if (!jsonFile.empty() && !WriteOutput(jsonFile, ZoneJson(pattern, inputs, modelLabel))) return 1;
  if (!fitFile.empty() && !WriteOutput(fitFile, fitJson)) return 1;
  if (!pictureFile.empty() &&
      !WriteOutput(pictureFile, std::string(pictureBytes.constData(), static_cast<std::size_t>(pictureBytes.size()))))
    return 1;
  if (!WriteOutput(output, report)) return 1;
  if (!reliable) {
    std::fprintf(stderr, "lumora-cli: no reliable solution\n");
    return 3;
  }
  return 0;
}

}  // namespace lumora::cli
