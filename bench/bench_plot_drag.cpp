// One drag step of the 3D plot with 50,000 spots: rotate about two axes, sort
// the painting order, build the scene, paint it and copy it to the screen box.
#include <benchmark/benchmark.h>

#include <QGuiApplication>
#include <QImage>
#include <QPainter>
#include <algorithm>
#include <random>

#include "plots/drag_rotation.hpp"
#include "plots/plot_scenes.hpp"
#include "plots/raster_painter.hpp"
#include "inputs/parameters.hpp"

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

BENCHMARK(BM_DragStep3D)->Arg(50000)->Arg(1000000)->Unit(benchmark::kMillisecond);

// The parts of one arrow-key step with a million spots.
// The icosahedral run of loop limit 5, theta 0-90 and qi-max 100: 1.77
// million reflections, turned to the start orientation.
std::vector<lumora::ReflectionRecord> IcosahedralRun() {
  lumora::ParameterTexts texts = lumora::StartupParameters();
  texts.systemIndex = 3;
  texts.groupIndex = 0;
  texts.thetaMin = "0";
  texts.thetaMax = "90";
  texts.qiMax = "100";
  for (auto& l : texts.loops) l = "5";
  const auto inputs = std::get<lumora::CalculationInputs>(lumora::ReadInputs(texts));
  return lumora::RunCalculation(inputs).records;
}

struct Million {
  std::vector<lumora::ReflectionRecord> records = IcosahedralRun();
  lumora::PlotData data;
  lumora::PointTable points = lumora::MakePointTable(records);
  lumora::SceneTarget target{700 * lumora::kTwipsPerPixel, 500 * lumora::kTwipsPerPixel, lumora::BackgroundScheme(0)};
  Million() {
    data.records = &records;
    data.stats.thetaMax = 30.0f;
    data.stats.qiMax = 1.0f;
    data.stats.qiMinPositive = 0.05f;
    data.nDim = 6;
    data.coordMax = data.stats.bounds.CoordMax();
    for (const auto& r : records) data.coordMax = std::max({data.coordMax, r.x, r.y, r.z});
    data.stats.qiMax = 100.0f;
    lumora::Rotate(points, 2, 31.7f);
    lumora::Rotate(points, 3, 90.0f);
  }
};

void BM_RotateAndSort(benchmark::State& state) {
  Million m;
  for (auto _ : state) {
    lumora::Rotate(m.points, 3, 3.0f);
    lumora::SortPlotRows(m.points);
  }
}
BENCHMARK(BM_RotateAndSort)->Unit(benchmark::kMillisecond);

void BM_Scene(benchmark::State& state) {
  Million m;
  const lumora::ViewOptions options;
  for (auto _ : state) benchmark::DoNotOptimize(lumora::Build3DScene(m.data, m.points, options, m.target, 0.0f, 1.0f));
}
BENCHMARK(BM_Scene)->Unit(benchmark::kMillisecond);

void BM_SlabScene(benchmark::State& state) {
  Million m;
  const lumora::ViewOptions options;
  for (auto _ : state) benchmark::DoNotOptimize(lumora::BuildSlabScene(m.data, m.points, options, m.target));
}
BENCHMARK(BM_SlabScene)->Unit(benchmark::kMillisecond);

void BM_Raster(benchmark::State& state) {
  Million m;
  const lumora::PlotScene scene = lumora::Build3DScene(m.data, m.points, lumora::ViewOptions{}, m.target, 0.0f, 1.0f);
  for (auto _ : state) benchmark::DoNotOptimize(lumora::RasterizeScene(scene, 700, 500));
}
BENCHMARK(BM_Raster)->Unit(benchmark::kMillisecond);

}  // namespace

int main(int argc, char** argv) {
  qputenv("QT_QPA_PLATFORM", "offscreen");
  QGuiApplication app(argc, argv);
  benchmark::Initialize(&argc, argv);
  benchmark::RunSpecifiedBenchmarks();
  benchmark::Shutdown();
  return 0;
}
