#include "plots/plot_scenes.hpp"

#include <gtest/gtest.h>

#include <cmath>

#include "plots/drag_rotation.hpp"
#include "plots/spot_rules.hpp"

namespace lumora {
namespace {

ReflectionRecord Spot(std::array<float, 6> h, float x, float y, float z, float theta, float qi) {
  ReflectionRecord r;
  r.h = h;
  r.x = x;
  r.y = y;
  r.z = z;
  r.theta = theta;
  r.qi = qi;
  return r;
}

struct Fixture {
  std::vector<ReflectionRecord> records = {
      Spot({1, 0, 0, 0, 0, 0}, 1.0f, 0.0f, 0.0f, 10.0f, 0.5f),    // zero layer, the widest
      Spot({0, 1, 0, 0, 1, 0}, 0.2f, 0.3f, 0.5f, 20.0f, 0.25f),   // h5 = 1: not in the zero layer
      Spot({2, 0, -1, 1, 0, 0}, -0.5f, 0.5f, 0.0f, 30.0f, 0.0f),  // qi 0
  };
  PlotData data;
  ViewOptions options;
  SceneTarget target{3000.0, 1500.0, {kBlack, kWhite}};

  Fixture() {
    data.records = &records;
    data.nDim = 5;
    data.stats.zeroLayerMax = 1.0f;
    data.stats.thetaMax = 30.0f;
    data.stats.qiMax = 0.5f;
    data.stats.qiMinPositive = 0.25f;
    data.coordMax = 1.0f;
    records[2].planeClass = kSecondFamily;
    records[0].planeClass = kFirstFamily;
    records[0].mainFlag = -1;
  }
  std::vector<SceneCircle> Circles(const PlotScene& scene) const { return scene.circles; }
  std::vector<SceneLabel> Labels(const PlotScene& scene) const { return scene.labels; }
};

TEST(ZeroLayerScene, OnlyTheLastIndexZeroAndScaledToFit) {
  Fixture f;
  const std::vector<SceneCircle> circles = f.Circles(BuildZeroLayerScene(f.data, f.options, f.target));
  ASSERT_EQ(circles.size(), 2u);
  // At zoom 1 the largest |x| of the layer reaches the edge; y grows downward.
  EXPECT_DOUBLE_EQ(circles[0].x, 3000.0);
  EXPECT_DOUBLE_EQ(circles[0].y, 750.0);
  EXPECT_DOUBLE_EQ(circles[1].x, 1500.0 - 0.5 * 1500.0);
  EXPECT_DOUBLE_EQ(circles[1].y, 750.0 + 0.5 * 1500.0);

  // The icosahedral layer is the one with h6 = 0.
  f.data.nDim = 6;
  f.records[0].h[5] = 1;
  EXPECT_EQ(f.Circles(BuildZeroLayerScene(f.data, f.options, f.target)).size(), 2u);

  // A layer taller than the picture's shape is fitted by its height instead:
  // the spot at y = 1.5 lands on the bottom edge, not beyond it.
  f.data.nDim = 5;
  f.records[2].y = 1.5f;
  const std::vector<SceneCircle> tall = f.Circles(BuildZeroLayerScene(f.data, f.options, f.target));
  ASSERT_EQ(tall.size(), 2u);
  EXPECT_DOUBLE_EQ(tall[1].y, 1500.0);
  EXPECT_DOUBLE_EQ(tall[0].x, 1500.0 + 500.0);
  for (const SceneCircle& c : tall) {
    EXPECT_GE(c.x, 0.0);
    EXPECT_LE(c.x, 3000.0);
    EXPECT_LE(c.y, 1500.0);
  }

  // A layer without extent draws an empty picture instead of keeping an old one.
  for (ReflectionRecord& r : f.records) r.h[4] = 1;
  const PlotScene empty = BuildZeroLayerScene(f.data, f.options, f.target);
  EXPECT_TRUE(empty.empty());
  EXPECT_EQ(empty.background, kBlack);
}

TEST(SpotRules, FillsAndOutlines) {
  Fixture f;
  auto first = [&] { return f.Circles(BuildZeroLayerScene(f.data, f.options, f.target))[0]; };
  EXPECT_EQ(first().fill, kWhite);  // filled: foreground disc, background outline
  EXPECT_EQ(first().outline, kBlack);
  f.options.filledSpots = false;
  EXPECT_EQ(first().fill, kBlack);  // rings: foreground outline on the background
  EXPECT_EQ(first().outline, kWhite);

  // Colour by theta acts on filled spots only.
  f.options.colorByTheta = true;
  EXPECT_EQ(first().fill, kBlack);
  f.options.filledSpots = true;
  EXPECT_EQ(first().fill, Rgb(170, 170, 170));  // 255 - 255/30 * 10 = 170
  f.target.colors = {kWhite, kBlack};
  f.options.backgroundMode = 1;
  EXPECT_EQ(first().fill, Rgb(85, 85, 85));  // on white: 255/30 * 10
  const auto circles = f.Circles(BuildZeroLayerScene(f.data, f.options, f.target));
  EXPECT_EQ(circles[1].fill, kWhite);  // theta at the maximum: white on the white background

  // Colour by qi never goes below 55.
  f.options.Toggle(ViewFlag::ColorByQi);
  EXPECT_FALSE(f.options.colorByTheta);
  EXPECT_EQ(first().fill, Rgb(255, 255, 255));  // 200/0.5 * 0.5 + 55
  f.options.backgroundMode = 0;
  EXPECT_EQ(first().fill, Rgb(55, 55, 55));
  EXPECT_EQ(f.Circles(BuildZeroLayerScene(f.data, f.options, f.target))[1].fill, Rgb(255, 255, 255));

  // Direction colours override, even on rings.
  f.options.filledSpots = false;
  f.options.highlightDirections = true;
  EXPECT_EQ(first().fill, kGreen);
  EXPECT_EQ(f.Circles(BuildZeroLayerScene(f.data, f.options, f.target))[1].fill, kBlue);
  f.records[0].planeClass = kGeneralPlane;
  EXPECT_EQ(first().fill, kLightGrey);
}

TEST(SpotRules, RadiusFromQiZoomAndSlider) {
  Fixture f;
  auto radii = [&] {
    std::vector<double> r;
    for (const SceneCircle& c : f.Circles(BuildZeroLayerScene(f.data, f.options, f.target))) r.push_back(c.radius);
    return r;
  };
  // (1 / (2 |qi|) + 1) pixels; qi 0 takes the smallest positive qi (0.25).
  EXPECT_DOUBLE_EQ(radii()[0], (1.0 / (2 * 0.5) + 1) * 15);
  EXPECT_DOUBLE_EQ(radii()[1], (1.0 / (2 * 0.25) + 1) * 15);
  f.options.sizeByQi = false;
  EXPECT_DOUBLE_EQ(radii()[0], 60.0);
  f.options.spotRadiusSlider = 25;
  EXPECT_DOUBLE_EQ(radii()[0], 150.0);
  f.options.zoom2D = ZoomIn(1.0f);
  EXPECT_NEAR(radii()[0], 150.0 * 1.3, 1e-4);
  f.options.spotRadiusSlider = 0;
  EXPECT_DOUBLE_EQ(radii()[0], 0.0);
}

TEST(SpotRules, MainSpotsRedrawnRedAndLabelsOnLargeSpotsOnly) {
  Fixture f;
  f.options.highlightMain = true;
  PlotScene scene = BuildZeroLayerScene(f.data, f.options, f.target);
  ASSERT_EQ(scene.circles.size(), 3u);
  EXPECT_EQ(scene.circles[1].fill, kRed);
  EXPECT_EQ(scene.circles[1].x, scene.circles[0].x);

  f.options.highlightMain = false;
  f.options.showIndices = true;
  // Radii 30 and 45 twips: only the larger one is labelled.
  std::vector<SceneLabel> some = f.Labels(BuildZeroLayerScene(f.data, f.options, f.target));
  ASSERT_EQ(some.size(), 1u);
  EXPECT_EQ(some[0].text, " 2 0-1 1 0");
  f.options.sizeByQi = false;  // 60 twips
  scene = BuildZeroLayerScene(f.data, f.options, f.target);
  const std::vector<SceneLabel> labels = f.Labels(scene);
  ASSERT_EQ(labels.size(), 2u);
  EXPECT_EQ(labels[1].text, " 2 0-1 1 0");
  EXPECT_EQ(labels[1].color, kBlue);
  EXPECT_EQ(labels[1].x, 750.0);  // top-left corner at the spot centre
  EXPECT_EQ(labels[1].circlesBefore, 2u);  // right after its spot
  f.options.spotRadiusSlider = 5;  // exactly 30 twips: no label
  f.records[2].qi = 0.5f;
  EXPECT_TRUE(f.Labels(BuildZeroLayerScene(f.data, f.options, f.target)).empty());

  ReflectionRecord six;
  six.h = {1, 0, 0, 0, 0, 1};
  EXPECT_EQ(IndexLabel(six, 6), " 1 0 0 0 0 1");
}

TEST(Scene3D, ScaleLayerSlabAndLegend) {
  Fixture f;
  PointTable points = MakePointTable(f.records);
  PlotScene scene = Build3DScene(f.data, points, f.options, f.target, 0.0f, 1.0f);
  std::vector<SceneCircle> circles = f.Circles(scene);
  ASSERT_EQ(circles.size(), 3u);
  // 90 percent of the smaller half-size (the height of this landscape
  // target) for the largest coordinate; horizontal = y, vertical = z.
  EXPECT_NEAR(circles[1].x, 1500.0 + 0.3 * 675.0, 1e-4);
  EXPECT_NEAR(circles[1].y, 750.0 + 0.5 * 675.0, 1e-4);
  EXPECT_TRUE(scene.legend.empty());

  // Layer 1 percent keeps |depth| <= 0.01: none of these (depths 1, 0.2, -0.5).
  f.options.layerSlider = 1;
  EXPECT_TRUE(Build3DScene(f.data, points, f.options, f.target, 0.0f, 1.0f).empty());
  f.records[1].x = 0.01f;
  points = MakePointTable(f.records);
  EXPECT_EQ(f.Circles(Build3DScene(f.data, points, f.options, f.target, 0.0f, 1.0f)).size(), 1u);
  // The slab of the icosahedral 2D view: 3 percent, whatever the slider says.
  f.records[2].x = -0.03f;
  points = MakePointTable(f.records);
  f.options.layerSlider = 100;
  EXPECT_EQ(f.Circles(BuildSlabScene(f.data, points, f.options, f.target)).size(), 2u);

  // Painting order is the row order of the table.
  SortPlotRows(points);
  circles = f.Circles(Build3DScene(f.data, points, f.options, f.target, 0.0f, 1.0f));
  EXPECT_DOUBLE_EQ(circles[0].x, 1500.0);  // depth 1 first, record 0 at y = 0

  f.options.highlightDirections = true;
  scene = Build3DScene(f.data, points, f.options, f.target, 0.0f, 1.0f);
  ASSERT_EQ(scene.legend.size(), 2u);
  EXPECT_EQ(scene.legend[0].text, "along");
  EXPECT_EQ(scene.legend[0].color, kGreen);
  EXPECT_EQ(scene.legend[1].text, "between");
  EXPECT_EQ(scene.legend[1].y, 15 * 15.0);
}

TEST(ViewOptions, ColourFlagsExcludeEachOtherAndTheBackgroundCycles) {
  ViewOptions o;
  o.Toggle(ViewFlag::ColorByTheta);
  o.Toggle(ViewFlag::ColorByTheta);
  EXPECT_FALSE(o.colorByTheta);
  EXPECT_FALSE(o.colorByQi);
  o.Toggle(ViewFlag::ColorByTheta);
  o.Toggle(ViewFlag::ColorByQi);
  EXPECT_FALSE(o.colorByTheta);
  EXPECT_TRUE(o.colorByQi);
  o.Toggle(ViewFlag::FilledSpots);
  EXPECT_FALSE(o.Flag(ViewFlag::FilledSpots));
  EXPECT_TRUE(o.Flag(ViewFlag::SizeByQi));

  int mode = 0;
  EXPECT_EQ(BackgroundScheme(mode).back, kBlack);
  mode = NextBackgroundMode(mode);
  EXPECT_EQ(BackgroundScheme(mode).back, kWhite);
  EXPECT_EQ(BackgroundScheme(mode).fore, kBlack);
  mode = NextBackgroundMode(mode);
  EXPECT_EQ(BackgroundScheme(mode).back, Rgb(128, 128, 255));
  EXPECT_EQ(NextBackgroundMode(mode), 0);
}

TEST(ViewOptions, ZoomFactors) {
  EXPECT_EQ(ZoomFactor(2.0f), 2.0);
  EXPECT_EQ(ZoomFactor(0.0f), 1.0);
  EXPECT_EQ(ZoomFactor(-1.0f), 0.5);
  float zoom = 1.0f;
  for (int i = 0; i < 3; ++i) zoom = ZoomIn(zoom);
  for (int i = 0; i < 3; ++i) zoom = ZoomOut(zoom);
  EXPECT_NEAR(zoom, 1.0f, 1e-6f);
}

TEST(DragRotation, LeftDragsTurnAndTilt) {
  const float w = 9000.0f;
  // A drag of W/180 to the left: dH = 1, a -1 degree turn about axis 3, like the Left key.
  DragStep step = LeftDragStep(5000, 3000, 5000 - w / 180, 3000, w);
  EXPECT_EQ(step.turn.axis, 3);
  EXPECT_FLOAT_EQ(step.turn.angle, -1.0f);
  EXPECT_EQ(step.tilt.axis, 0);
  EXPECT_TRUE(step.sort);
  EXPECT_TRUE(step.redraw);
  EXPECT_EQ(step.turn.angle * 5.0f, ArrowKeyStep(ArrowKey::Left).angle);  // same direction as Left
  EXPECT_EQ(ArrowKeyStep(ArrowKey::Left).axis, 3);

  // Moving up tilts by a positive angle about axis 2.
  step = LeftDragStep(0, 100, 0, 100 - w / 360, w);
  EXPECT_EQ(step.tilt.axis, 2);
  EXPECT_FLOAT_EQ(step.tilt.angle, 0.5f);

  // Below 0.1 degree nothing turns; between 0.1 and 0.25 there is no sort.
  step = LeftDragStep(0, 0, w / 3600 * 1.5f, 0, w);  // 0.075 degree
  EXPECT_EQ(step.turn.axis, 0);
  EXPECT_TRUE(step.redraw);
  step = LeftDragStep(0, 0, w / 3600 * 4, 0, w);  // 0.2 degree
  EXPECT_EQ(step.turn.axis, 3);
  EXPECT_FALSE(step.sort);
  step = LeftDragStep(0, 0, w / 3600 * 0.1f, 0, w);  // 0.005 degree
  EXPECT_FALSE(step.redraw);
}

TEST(DragRotation, RightDragTurnsOppositeWaysOnTheTwoHalves) {
  const float w = 3600.0f;
  const RotationStep right = RightDragStep(3000, 1000, 3000, 1010, w);
  const RotationStep left = RightDragStep(500, 1000, 500, 1010, w);
  EXPECT_EQ(right.axis, 1);
  EXPECT_FLOAT_EQ(right.angle, 0.5f);
  EXPECT_FLOAT_EQ(left.angle, -0.5f);
  EXPECT_EQ(RightDragStep(500, 1000, 500, 1000.5f, w).axis, 0);
}

TEST(DragRotation, ArrowKeys) {
  EXPECT_EQ(ArrowKeyStep(ArrowKey::Right).angle, 5.0f);
  EXPECT_EQ(ArrowKeyStep(ArrowKey::Up).axis, 2);
  EXPECT_EQ(ArrowKeyStep(ArrowKey::Up).angle, 5.0f);
  EXPECT_EQ(ArrowKeyStep(ArrowKey::Down).angle, -5.0f);
}

// A table large enough to be read on two threads gives the scene of adding
// its spots one by one, labels and their places included.
TEST(Scene3D, LargeTablesGiveTheSceneOfOnePass) {
  std::vector<ReflectionRecord> records(300000);
  for (std::size_t i = 0; i < records.size(); ++i) {
    const float t = static_cast<float>(i);
    records[i] = Spot({std::fmod(t, 7.0f), 1, 0, 0, 0, 0}, std::sin(t), std::cos(t), std::sin(0.3f * t), 20.0f,
                      0.001f + std::fmod(t, 13.0f) * 0.05f);
  }
  PlotData data;
  data.records = &records;
  data.stats.thetaMax = 30.0f;
  data.stats.qiMax = 0.7f;
  data.stats.qiMinPositive = 0.001f;
  data.coordMax = 1.0f;
  ViewOptions options;
  options.showIndices = true;  // spots of qi 0.001 are large enough for labels
  const SceneTarget target{9000.0, 6000.0, {kBlack, kWhite}};
  const PointTable points = MakePointTable(records);
  const PlotScene scene = Build3DScene(data, points, options, target, 0.0f, 1.0f);

  PlotScene expected;
  const SpotStyle style = ScreenSpotStyle(options, target.colors, data.stats, data.nDim, 1.0);
  const double s = 3000.0 / 1.0 * 0.9;  // 90 percent of the smaller half-size
  for (const PointRow& row : points)
    AppendSpot(expected, records[RecordOf(row)], s * row[kHorizontal] + 4500.0, s * row[kVertical] + 3000.0, style);
  ASSERT_EQ(scene.circles.size(), expected.circles.size());
  ASSERT_FALSE(expected.labels.empty());
  ASSERT_EQ(scene.labels.size(), expected.labels.size());
  for (std::size_t i = 0; i < scene.circles.size(); ++i) {
    ASSERT_EQ(scene.circles[i].x, expected.circles[i].x);
    ASSERT_EQ(scene.circles[i].radius, expected.circles[i].radius);
  }
  for (std::size_t i = 0; i < scene.labels.size(); ++i) {
    ASSERT_EQ(scene.labels[i].circlesBefore, expected.labels[i].circlesBefore);
    ASSERT_EQ(scene.labels[i].text, expected.labels[i].text);
  }
}

// With a structure model: spot area in proportion to the intensity (radius
// by its square root), grey by amplitude, and a threshold on both plots.
TEST(SpotRules, IntensityAreaGreyAndThreshold) {
  Fixture f;
  const std::vector<double> intensities = {100.0, 50.0, 25.0};
  f.data.intensities = &intensities;
  f.options.areaByIntensity = true;
  f.options.sizeByQi = false;
  std::vector<SceneCircle> spots = f.Circles(BuildZeroLayerScene(f.data, f.options, f.target));
  ASSERT_EQ(spots.size(), 2u);  // records 0 and 2 form the zeroth layer
  EXPECT_DOUBLE_EQ(spots[0].radius, kStrongestSpotPixels * kTwipsPerPixel);
  EXPECT_DOUBLE_EQ(spots[0].radius / spots[1].radius, 2.0);  // a quarter of the intensity: half the radius
  f.options.greyByIntensity = true;
  spots = f.Circles(BuildZeroLayerScene(f.data, f.options, f.target));
  EXPECT_EQ(spots[0].fill, Rgb(255, 255, 255));
  EXPECT_EQ(spots[1].fill, Rgb(155, 155, 155));  // 55 + 200 sqrt(1/4)
  f.options.minIntensity = 30.0;
  EXPECT_EQ(f.Circles(BuildZeroLayerScene(f.data, f.options, f.target)).size(), 1u);
  const PointTable points = MakePointTable(f.records);
  EXPECT_EQ(f.Circles(Build3DScene(f.data, points, f.options, f.target, 0.0f, 1.0f)).size(), 2u);
  // Without intensities the rules change nothing.
  f.data.intensities = nullptr;
  EXPECT_EQ(f.Circles(BuildZeroLayerScene(f.data, f.options, f.target)).size(), 2u);
}

}  // namespace
}  // namespace lumora
