#include "plots/print_scene.hpp"

#include <gtest/gtest.h>

namespace lumora {
namespace {

struct Sample {
  std::vector<ReflectionRecord> records;
  PlotData data;
  PointTable points;
  Sample() {
    for (int n = 0; n < 6; ++n) {
      const float i = static_cast<float>(n);
      ReflectionRecord r;
      r.h = {i, 0, 0, 0, static_cast<float>(n % 2), 0};  // three in the zeroth layer
      r.x = 0.1f * i;
      r.y = -0.05f * i;
      r.z = 0.02f * i;
      r.theta = 5.0f * i;
      r.qi = 0.2f + 0.1f * i;
      records.push_back(r);
    }
    data.records = &records;
    data.nDim = 5;
    data.stats.zeroLayerMax = 0.4f;
    data.stats.thetaMax = 25.0f;
    data.stats.qiMax = 0.7f;
    data.stats.qiMinPositive = 0.2f;
    data.coordMax = 0.5f;
    points = MakePointTable(records);
  }
};

TEST(PrintScene, HeaderAndSummary) {
  Sample run;
  const PrintPage page{11000, 15000, 2.4};
  const std::string summary = PrintSummaryLine(6, "P10.5/mmc", "a = 2.82, c = 12.06, loop = 22222, Yamamoto matrices",
                                               "wavelength = 0.7106867, thmin = 1.0, thmax = 30.0, qimax = 1.0");
  EXPECT_EQ(summary.substr(0, 26), "6 reflections, P10.5/mmc, ");
  const PrintLayout layout = BuildPrintScene(run.data, run.points, ViewOptions{}, page, false, summary);
  EXPECT_EQ(layout.title.text, "Lumora 1.0");
  EXPECT_DOUBLE_EQ(layout.title.x, 24.0);
  EXPECT_DOUBLE_EQ(layout.summary.y, 22 * 2.4);
  EXPECT_EQ(layout.summary.text, summary);
  EXPECT_DOUBLE_EQ(layout.ruleY, 34 * 2.4);
  EXPECT_EQ(layout.spots.labelPoints, 6.0);
}

TEST(PrintScene, SpotsOfBothPrintouts) {
  Sample run;
  const PrintPage page{10000, 14000, 2.4};
  ViewOptions options;
  options.layerSlider = 1;  // ignored on paper
  const PrintLayout flat = BuildPrintScene(run.data, run.points, options, page, false, "");
  const PrintLayout deep = BuildPrintScene(run.data, run.points, options, page, true, "");
  EXPECT_EQ(flat.spots.circles.size(), 3u);
  EXPECT_EQ(deep.spots.circles.size(), 6u);  // every spot, whatever the layer slider says
  // Each printout fits what it prints into 0.8 of the page: the zeroth layer's
  // x = 0.4 and, on the 3D page, the rows' horizontal extent (y = -0.25).
  EXPECT_NEAR(flat.spots.circles[2].x, 5000 + 0.8 * 5000, 1e-3);
  EXPECT_NEAR(deep.spots.circles[5].x, 5000 - 0.8 * 5000, 1e-3);  // horizontal = y
  for (const SceneCircle& c : deep.spots.circles) {
    EXPECT_GE(c.x, 0.1 * 10000 - 1e-6);
    EXPECT_LE(c.x, 0.9 * 10000 + 1e-6);
  }
  // Black discs with black outlines; rings when spots are not filled.
  EXPECT_EQ(flat.spots.circles[0].fill, kBlack);
  EXPECT_EQ(flat.spots.circles[0].outline, kBlack);
  EXPECT_FALSE(flat.spots.circles[0].transparentFill);
  options.filledSpots = false;
  EXPECT_TRUE(BuildPrintScene(run.data, run.points, options, page, false, "").spots.circles[0].transparentFill);
  // Radius in printer pixels: (1 / (2 qi) + 1) u.
  EXPECT_NEAR(flat.spots.circles[0].radius, (1 / (2 * 0.2) + 1) * 2.4, 1e-5);
  // Grey by theta follows the dark-background rule on paper.
  options.filledSpots = true;
  options.colorByTheta = true;
  EXPECT_EQ(BuildPrintScene(run.data, run.points, options, page, false, "").spots.circles[0].fill, kWhite);
}

TEST(PrintScene, LabelsOnTheFlatPrintoutOnly) {
  Sample run;
  ViewOptions options;
  options.showIndices = true;
  const PrintPage page{10000, 14000, 2.4};
  const PrintLayout flat = BuildPrintScene(run.data, run.points, options, page, false, "");
  const PrintLayout deep = BuildPrintScene(run.data, run.points, options, page, true, "");
  // Radii 8.4, 5.4 and 4.4 twips: only those above two printer pixels (4.8) get a label.
  EXPECT_EQ(flat.spots.labels.size(), 2u);
  EXPECT_EQ(flat.spots.labels[1].text, " 2 0 0 0 0");
  EXPECT_TRUE(deep.spots.labels.empty());
  EXPECT_TRUE(deep.spots.legend.empty());
  options.highlightMain = true;
  run.records[0].mainFlag = -1;
  EXPECT_EQ(BuildPrintScene(run.data, run.points, options, page, false, "").spots.circles.size(), 4u);
}

TEST(PrintScene, NoZeroLayerMeansNoSpotsOnTheFlatPage) {
  Sample run;
  for (ReflectionRecord& r : run.records) r.h[4] = 1;
  const PrintLayout flat = BuildPrintScene(run.data, run.points, ViewOptions{}, PrintPage{100, 100, 1}, false, "x");
  EXPECT_TRUE(flat.spots.empty());
  EXPECT_EQ(flat.title.text, "Lumora 1.0");
  // The 3D page fits its own rows, so it still shows every spot.
  const PrintLayout deep = BuildPrintScene(run.data, run.points, ViewOptions{}, PrintPage{100, 100, 1}, true, "x");
  EXPECT_EQ(deep.spots.circles.size(), run.records.size());
}

}  // namespace
}  // namespace lumora
