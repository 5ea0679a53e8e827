// The screen painter's fast paths against the plain way of painting: every
// circle in order, each pixel taking the colour of the last circle over it.
#include <QtTest>
#include <cmath>
#include <random>

#include "plots/raster_painter.hpp"
#include "plots/view_options.hpp"

using namespace lumora;

namespace {

// Independent reference: a pixel belongs to a disc of radius r about (cx, cy)
// when its centre pixel's offset lies within r (outline) or r - 1 (fill),
// rows and half-widths rounded down as the painter defines its discs.
QImage PaintInOrder(const PlotScene& scene, int width, int height) {
  QImage image(width, height, QImage::Format_RGB32);
  image.fill(qRgb(RedOf(scene.background), GreenOf(scene.background), BlueOf(scene.background)));
  for (const SceneCircle& c : scene.circles) {
    const double x = c.x / kTwipsPerPixel, y = c.y / kTwipsPerPixel, r = std::round(c.radius / kTwipsPerPixel * 8) / 8;
    const int px = static_cast<int>(std::floor(x)), py = static_cast<int>(std::floor(y));
    const int reach = static_cast<int>(std::floor(r));
    for (int dy = -reach; dy <= reach; ++dy) {
      const int outer = static_cast<int>(std::floor(std::sqrt(std::max(r * r - dy * dy, 0.0))));
      const double in = r - 1.0;
      const int inner = in >= 0 && in * in >= dy * dy ? static_cast<int>(std::floor(std::sqrt(in * in - dy * dy))) : -1;
      for (int dx = -outer; dx <= outer; ++dx) {
        const int X = px + dx, Y = py + dy;
        if (X < 0 || Y < 0 || X >= width || Y >= height) continue;
        const bool inside = inner >= 0 && std::abs(dx) <= inner;
        if (inside && c.transparentFill) continue;
        const ColorValue v = inside ? c.fill : c.outline;
        image.setPixel(X, Y, qRgb(RedOf(v), GreenOf(v), BlueOf(v)));
      }
    }
  }
  return image;
}

}  // namespace

class RasterPainterTest : public QObject {
  Q_OBJECT
 private slots:
  void crowdedScenesPaintAsInOrder() {
    // Far more spots than pixels, so most are hidden: filled discs, rings and
    // spots across the picture's edges.
    std::mt19937 random(5);
    std::uniform_real_distribution<double> across(-300.0, 3300.0);
    std::uniform_real_distribution<double> down(-300.0, 2400.0);
    std::uniform_real_distribution<double> size(10.0, 130.0);
    std::uniform_int_distribution<int> colour(0, 0xFFFFFF);
    PlotScene scene;
    scene.width = 3000;
    scene.height = 2100;
    scene.background = kBlack;
    for (int i = 0; i < 60000; ++i)
      scene.circles.push_back({across(random), down(random), size(random), static_cast<ColorValue>(colour(random)),
                               static_cast<ColorValue>(colour(random)), i % 7 == 0});
    const QImage fast = RasterizeScene(scene, 200, 140);
    QCOMPARE(fast.convertToFormat(QImage::Format_RGB32), PaintInOrder(scene, 200, 140));
    // Few spots take the plain path; the same rule holds.
    scene.circles.resize(300);
    QCOMPARE(RasterizeScene(scene, 200, 140).convertToFormat(QImage::Format_RGB32), PaintInOrder(scene, 200, 140));
  }

  // Painting straight from the point table gives the pixels of the scene, for
  // every option that changes which spots show and how.
  void pointTablePicturesMatchTheirScenes() {
    std::mt19937 random(9);
    std::uniform_real_distribution<float> coordinate(-1.0f, 1.0f);
    std::uniform_real_distribution<float> internal(0.0f, 1.5f);
    std::uniform_int_distribution<int> index(-3, 3);
    std::vector<ReflectionRecord> records(40000);
    for (ReflectionRecord& r : records) {
      r.x = coordinate(random);
      r.y = coordinate(random);
      r.z = coordinate(random);
      r.qi = internal(random) < 0.05f ? 0.0f : internal(random) - 0.75f;  // signs and zeros
      r.theta = 40.0f * std::fabs(coordinate(random));
      r.h = {static_cast<float>(index(random)), 0, 0, 0, static_cast<float>(index(random)), 0};
      r.planeClass = static_cast<std::int16_t>(index(random) & 3) % 3;
      r.mainFlag = index(random) == 0 ? -1 : 0;
    }
    PlotData data;
    data.records = &records;
    data.stats.thetaMax = 40.0f;
    data.stats.qiMax = 0.75f;
    data.stats.qiMinPositive = 0.01f;
    data.coordMax = 1.0f;
    PointTable points = MakePointTable(records);
    Rotate(points, 2, 20.0f);
    SortPlotRows(points);
    const SceneTarget target{4500.0, 3000.0, BackgroundScheme(0)};
    for (int variant = 0; variant < 8; ++variant) {
      ViewOptions options;
      options.filledSpots = variant != 1;
      options.highlightMain = variant == 2 || variant == 7;
      options.highlightDirections = variant == 3;
      options.colorByTheta = variant == 4;
      options.colorByQi = variant == 5;
      options.sizeByQi = variant != 6;
      options.layerSlider = variant == 7 ? 30 : 100;
      const SceneTarget back{target.width, target.height, BackgroundScheme(variant % 3)};
      const float zoom = variant == 6 ? 1.5f : 1.0f;
      const QImage direct = Rasterize3D(data, points, options, back, 0.0f, zoom, 300, 200);
      const QImage viaScene = RasterizeScene(Build3DScene(data, points, options, back, 0.0f, zoom), 300, 200);
      QVERIFY2(direct == viaScene, qPrintable(QStringLiteral("variant %1").arg(variant)));
      const ColorValue b = back.colors.back;
      int painted = 0;
      for (int y = 0; y < direct.height(); ++y)
        for (int x = 0; x < direct.width(); ++x) painted += direct.pixel(x, y) != qRgb(RedOf(b), GreenOf(b), BlueOf(b));
      QVERIFY2(painted > 1000, qPrintable(QStringLiteral("variant %1: %2 painted").arg(variant).arg(painted)));
    }
  }

  // On a screen of two device pixels per pixel the picture has twice the
  // pixels each way and every spot is drawn at that resolution: the same
  // pixels as the scene twice as large, painted at one device pixel per pixel.
  void highDensityPicturesAreDrawnAtFullResolution() {
    PlotScene scene;
    scene.width = 3000;
    scene.height = 2100;
    for (int i = 0; i < 40; ++i)
      scene.circles.push_back({75.0 * i, 50.0 * i + 10, 20.0 + 3.0 * i, kWhite, kRed, i % 3 == 0});
    PlotScene doubled = scene;
    doubled.width *= 2;
    doubled.height *= 2;
    for (SceneCircle& c : doubled.circles) {
      c.x *= 2;
      c.y *= 2;
      c.radius *= 2;
    }
    const QImage sharp = RasterizeScene(scene, 200, 140, nullptr, 2.0);
    QCOMPARE(sharp.size(), QSize(400, 280));
    QCOMPARE(sharp.devicePixelRatio(), 2.0);
    QImage plain = sharp;
    plain.setDevicePixelRatio(1.0);
    QCOMPARE(plain, RasterizeScene(doubled, 400, 280));
  }
};

QTEST_MAIN(RasterPainterTest)
#include "raster_painter_test.moc"
