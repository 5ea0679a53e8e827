// One drag step of the 3D plot with 50,000 spots: rotate about two axes, sort
// the painting order, build the scene, paint it and copy it to the screen box.
#include <benchmark/benchmark.h>

#include <QGuiApplication>
#include <QImage>
#include <QPainter>
#include <random>

#include "plots/drag_rotation.hpp"
#include "plots/plot_scenes.hpp"
#include "plots/raster_painter.hpp"

namespace {

std::vector<lumora::ReflectionRecord> Spots(std::size_t count) {
  std::mt19937 random(42);
  std::uniform_real_distribution<float> coordinate(-1.0f, 1.0f);
  std::uniform_real_distribution<float> internal(0.05f, 1.0f);
  std::vector<lumora::ReflectionRecord> records(count);
  for (auto& r : records) {
    r.x = coordinate(random);
    r.y = coordinate(random);
    r.z = coordinate(random);
    r.qi = internal(random);
    r.theta = 10.0f;
  }
  return records;
}

void BM_DragStep3D(benchmark::State& state) {
  const auto records = Spots(static_cast<std::size_t>(state.range(0)));
  lumora::PlotData data;
  data.records = &records;
  data.stats.thetaMax = 30.0f;
  data.stats.qiMax = 1.0f;
  data.stats.qiMinPositive = 0.05f;
  data.coordMax = 1.0f;
  lumora::PointTable points = lumora::MakePointTable(records);
  const lumora::ViewOptions options;
  const int width = 700;
  const int height = 500;
  const lumora::SceneTarget target{width * lumora::kTwipsPerPixel, height * lumora::kTwipsPerPixel,
                                   lumora::BackgroundScheme(0)};
  QImage screen(width, height, QImage::Format_RGB32);
  float x = 0.0f;
  for (auto _ : state) {
    // A mouse step of one degree to the side and half a degree up.
    const lumora::DragStep step = lumora::LeftDragStep(x, 0.0f, x - 50.0f, 25.0f, 9000.0f);
    x -= 50.0f;
    lumora::Rotate(points, step.turn.axis, step.turn.angle);
    lumora::Rotate(points, step.tilt.axis, step.tilt.angle);
    if (step.sort) lumora::SortPlotRows(points);
    const lumora::PlotScene scene = lumora::Build3DScene(data, points, options, target, 0.0f, 1.0f);
    const QImage picture = lumora::RasterizeScene(scene, width, height);
    QPainter painter(&screen);
    painter.drawImage(0, 0, picture);
  }
  state.counters["spots"] = static_cast<double>(records.size());
}

BENCHMARK(BM_DragStep3D)->Arg(50000)->Unit(benchmark::kMillisecond);

}  // namespace

int main(int argc, char** argv) {
  qputenv("QT_QPA_PLATFORM", "offscreen");
  QGuiApplication app(argc, argv);
  benchmark::Initialize(&argc, argv);
  benchmark::RunSpecifiedBenchmarks();
  benchmark::Shutdown();
  return 0;
}
