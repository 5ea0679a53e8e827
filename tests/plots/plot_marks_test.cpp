// The plots' fit and marks: the 3D icosahedral pattern inside a landscape
// picture (checked against the picture's own rectangle), the scale bar and
// ticks against the scale read off two spots of known position, and the
// orientation mark against where spots on the report's axes actually land.
#include "plots/plot_marks.hpp"

#include <gtest/gtest.h>

#include <cmath>

#include "inputs/parameter_options.hpp"
#include "plots/plot_scenes.hpp"

namespace lumora {
namespace {

constexpr double kPx = kTwipsPerPixel;

// The run lumora-cli makes for "--system icosahedral" and nothing else.
CalculationResult IcosahedralRun() {
  ParameterOptions options;
  options.Apply({"--system", "icosahedral"});
  return RunCalculation(options.ReadInputs().inputs);
}

PlotData DataOf(const CalculationResult& run) {
  return PlotData{&run.records, run.lattice.nDim, run.stats, run.stats.bounds.CoordMax(), nullptr};
}

// The window's icosahedral start orientation.
PointTable StartOrientation(const std::vector<ReflectionRecord>& records) {
  PointTable points = MakePointTable(records);
  Rotate(points, 2, 31.7f);
  Rotate(points, 3, 90.0f);
  return points;
}

TEST(PlotFit, TheIcosahedral3DPlotHoldsEverySpotOfALandscapePicture) {
  const CalculationResult run = IcosahedralRun();
  ASSERT_EQ(run.records.size(), 2498u);  // whole families at the limits
  const PlotData data = DataOf(run);
  const PointTable points = StartOrientation(run.records);
  // 700 x 500 pixels, the default picture; and its portrait twin.
  for (const auto& [w, h] : {std::pair{700.0, 500.0}, std::pair{500.0, 700.0}, std::pair{300.0, 900.0}}) {
    const SceneTarget target{w * kPx, h * kPx, {kBlack, kWhite}};
    const PlotScene scene = Build3DScene(data, points, ViewOptions{}, target, 0.0f, 1.0f);
    ASSERT_EQ(scene.circles.size(), run.records.size());
    std::size_t outside = 0;
    for (const SceneCircle& c : scene.circles)
      if (c.x - c.radius < 0.0 || c.x + c.radius > w * kPx || c.y - c.radius < 0.0 || c.y + c.radius > h * kPx)
        ++outside;
    EXPECT_EQ(outside, 0u) << w << " x " << h;
  }
}

TEST(PlotMarks, NoneUnlessAskedFor) {
  const CalculationResult run = IcosahedralRun();
  const PlotData data = DataOf(run);
  const PointTable points = StartOrientation(run.records);
  const SceneTarget target{700 * kPx, 500 * kPx, {kBlack, kWhite}};
  for (const PlotScene& scene :
       {Build3DScene(data, points, ViewOptions{}, target, 0.0f, 1.0f), BuildZeroLayerScene(data, {}, target)}) {
    EXPECT_TRUE(scene.lines.empty());
    EXPECT_TRUE(scene.legend.empty());
  }
}

// The scale of a scene in twips per 1/Å from two circles whose coordinates
// along the screen's horizontal are known.
double ScaleFromTwoSpots(const SceneCircle& a, double ua, const SceneCircle& b, double ub) {
  return (b.x - a.x) / (ub - ua);
}

TEST(PlotMarks, TheScaleBarIsItsLengthTimesTheScaleOfTheSpots) {
  const CalculationResult run = IcosahedralRun();
  const PlotData data = DataOf(run);
  const PointTable points = MakePointTable(run.records);  // unturned: horizontal = y
  ViewOptions options;
  options.marks.scaleBar = true;
  const SceneTarget target{700 * kPx, 500 * kPx, {kBlack, kWhite}};
  const PlotScene scene = Build3DScene(data, points, options, target, 0.0f, 1.0f);
  ASSERT_EQ(scene.circles.size(), points.size());
  // Circle i is row i; take the rows of smallest and largest y.
  std::size_t lo = 0, hi = 0;
  for (std::size_t i = 0; i < points.size(); ++i) {
    if (points[i][kHorizontal] < points[lo][kHorizontal]) lo = i;
    if (points[i][kHorizontal] > points[hi][kHorizontal]) hi = i;
  }
  const double scale = ScaleFromTwoSpots(scene.circles[lo], run.records[RecordOf(points[lo])].y, scene.circles[hi],
                                         run.records[RecordOf(points[hi])].y);
  ASSERT_GT(scale, 0.0);

  ASSERT_EQ(scene.lines.size(), 3u);  // the bar and its two end marks
  const SceneLine& bar = scene.lines[0];
  EXPECT_DOUBLE_EQ(bar.y1, bar.y2);
  const double length = ScaleBarLength(scale, target.width);
  EXPECT_NEAR(bar.x2 - bar.x1, length * scale, 1e-3 * kPx);
  ASSERT_EQ(scene.legend.size(), 1u);
  EXPECT_EQ(scene.legend[0].text, ReciprocalLengthText(length));
  // A round length: 1, 2 or 5 times a power of ten, between a twelfth and a
  // fifth of the picture (a 1-2-5 step never leaves more than a factor 2.5).
  const double mantissa = length / std::pow(10.0, std::floor(std::log10(length) + 1e-9));
  EXPECT_TRUE(std::fabs(mantissa - 1) < 1e-9 || std::fabs(mantissa - 2) < 1e-9 || std::fabs(mantissa - 5) < 1e-9)
      << length;
  EXPECT_LE(length * scale, target.width / 5 * (1 + 1e-9));
  EXPECT_GT(length * scale, target.width / 5 / 2.5);
  EXPECT_EQ(ReciprocalLengthText(0.5), "0.5 \u00c5\u207b\u00b9");
  EXPECT_EQ(ReciprocalLengthText(2), "2 \u00c5\u207b\u00b9");

  // The zeroth layer: the same rule at that plot's own scale.
  const PlotScene flat = BuildZeroLayerScene(data, options, target);
  ASSERT_GE(flat.circles.size(), 2u);
  std::vector<const ReflectionRecord*> layer;
  for (const ReflectionRecord& r : run.records)
    if (InZeroLayer(r, data.nDim)) layer.push_back(&r);
  ASSERT_EQ(layer.size(), flat.circles.size());
  std::size_t a = 0, b = 0;
  for (std::size_t i = 0; i < layer.size(); ++i) {
    if (layer[i]->x < layer[a]->x) a = i;
    if (layer[i]->x > layer[b]->x) b = i;
  }
  const double flatScale = ScaleFromTwoSpots(flat.circles[a], layer[a]->x, flat.circles[b], layer[b]->x);
  ASSERT_EQ(flat.lines.size(), 3u);
  EXPECT_NEAR(flat.lines[0].x2 - flat.lines[0].x1, ScaleBarLength(flatScale, target.width) * flatScale, 1e-3 * kPx);
}

TEST(PlotMarks, TicksStepByTheBarFromTheOrigin) {
  const CalculationResult run = IcosahedralRun();
  const PlotData data = DataOf(run);
  ViewOptions options;
  options.marks.ticks = true;
  const SceneTarget target{700 * kPx, 500 * kPx, {kBlack, kWhite}};
  const PlotScene scene = BuildZeroLayerScene(data, options, target);
  // The spot at the origin is absent (theta > 0); the origin is the middle.
  std::vector<double> bottom;
  for (const SceneLine& l : scene.lines)
    if (l.y1 == target.height) bottom.push_back(l.x1);
  ASSERT_GE(bottom.size(), 3u);
  const double step = bottom[1] - bottom[0];
  for (std::size_t i = 1; i < bottom.size(); ++i) EXPECT_NEAR(bottom[i] - bottom[i - 1], step, 1e-6);
  EXPECT_NEAR(std::remainder(target.width / 2 - bottom[0], step), 0.0, 1e-6);
  EXPECT_LE(bottom.front(), step);
  EXPECT_GE(bottom.back(), target.width - step);
  // The value under the middle tick is 0.
  bool zero = false;
  for (const SceneLabel& label : scene.legend)
    zero = zero || (label.text == "0" && std::fabs(label.x - 2 * kPx - target.width / 2) < 1e-6);
  EXPECT_TRUE(zero);
}

TEST(PlotMarks, OrientationArmsPointWhereTheAxesSpotsLand) {
  const CalculationResult run = IcosahedralRun();
  PointTable points = StartOrientation(run.records);
  Rotate(points, 1, 20.0f);
  const std::optional<ScreenAxes> axes = ViewAxes(run.records, points);
  ASSERT_TRUE(axes);
  // Every row is the sum of its coordinates times the axes' screen vectors.
  double worst = 0.0;
  for (const PointRow& row : points) {
    const ReflectionRecord& r = run.records[RecordOf(row)];
    const double c[3] = {r.x, r.y, r.z};
    double h = 0.0, v = 0.0;
    for (std::size_t k = 0; k < 3; ++k) {
      h += c[k] * (*axes)[k][0];
      v += c[k] * (*axes)[k][1];
    }
    worst = std::max({worst, std::fabs(h - row[kHorizontal]), std::fabs(v - row[kVertical])});
  }
  EXPECT_LT(worst, 1e-4);

  // The unturned view: x along the depth, y to the right, z downward.
  const std::optional<ScreenAxes> plain = ViewAxes(run.records, MakePointTable(run.records));
  ASSERT_TRUE(plain);
  EXPECT_NEAR((*plain)[0][0], 0.0, 1e-6);
  EXPECT_NEAR((*plain)[1][0], 1.0, 1e-6);
  EXPECT_NEAR((*plain)[2][1], 1.0, 1e-6);

  // Drawn: three arms of the scene, each from the mark's centre along its axis.
  ViewOptions options;
  options.marks.orientation = true;
  const PlotData data = DataOf(run);
  const SceneTarget target{700 * kPx, 500 * kPx, {kBlack, kWhite}};
  const PlotScene scene = Build3DScene(data, points, options, target, 0.0f, 1.0f);
  ASSERT_EQ(scene.lines.size(), 3u);
  for (std::size_t k = 0; k < 3; ++k) {
    const SceneLine& arm = scene.lines[k];
    EXPECT_NEAR((arm.x2 - arm.x1) * (*axes)[k][1] - (arm.y2 - arm.y1) * (*axes)[k][0], 0.0, 1e-6);
    EXPECT_GE((arm.x2 - arm.x1) * (*axes)[k][0] + (arm.y2 - arm.y1) * (*axes)[k][1], 0.0);
  }

  // Reflections of one plane fix no orientation.
  std::vector<ReflectionRecord> plane(3);
  plane[0].x = 1.0f;
  plane[1].y = 1.0f;
  plane[2].x = plane[2].y = 1.0f;
  EXPECT_FALSE(ViewAxes(plane, MakePointTable(plane)));
}

TEST(PlotMarks, CaptionLinesTopLeftBelowALegend) {
  PlotScene scene;
  scene.width = 700 * kPx;
  scene.height = 500 * kPx;
  PlotMarks marks;
  marks.caption = "P235  a = 5\nwavelength = 0.7";
  AddPlotMarks(scene, marks, 100.0, 350 * kPx, 250 * kPx);
  ASSERT_EQ(scene.legend.size(), 2u);
  EXPECT_EQ(scene.legend[0].text, "P235  a = 5");
  EXPECT_EQ(scene.legend[1].text, "wavelength = 0.7");
  EXPECT_GT(scene.legend[1].y, scene.legend[0].y);
  // Below the "along"/"between" legend when it is there.
  PlotScene withLegend = scene;
  withLegend.legend = {{3 * kPx, 15 * kPx, "between", kBlue, 0}};
  AddPlotMarks(withLegend, marks, 100.0, 350 * kPx, 250 * kPx);
  EXPECT_GT(withLegend.legend[1].y, 15 * kPx + 10 * kPx);
}

}  // namespace
}  // namespace lumora
