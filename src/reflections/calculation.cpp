#include "reflections/calculation.hpp"

#include <algorithm>
#include <chrono>
#include <cmath>
#include <stdexcept>

#include "common/numeric.hpp"
#include "common/number_text.hpp"
#include "reflections/bounded_walk.hpp"
#include "reflections/ellipsoid_bound.hpp"
#include "reflections/reflection_collector.hpp"

namespace lumora {

void CoordinateBounds::Widen(float x, float y, float z) {
  if (x < xMin) xMin = x;
  if (x > xMax) xMax = x;
  if (y < yMin) yMin = y;
  if (y > yMax) yMax = y;
  if (z < zMin) zMin = z;
  if (z > zMax) zMax = z;
}

void CoordinateBounds::Widen(const CoordinateBounds& other) {
  Widen(other.xMin, other.yMin, other.zMin);
  Widen(other.xMax, other.yMax, other.zMax);
}

float CoordinateBounds::CoordMax() const {
  return static_cast<float>(Max3(xMax, yMax, zMax));
}

void RunStatistics::Merge(const RunStatistics& other) {
  if (other.zeroLayerMax > zeroLayerMax) zeroLayerMax = other.zeroLayerMax;
  if (other.thetaMax > thetaMax) thetaMax = other.thetaMax;
  if (other.qiMax > qiMax) qiMax = other.qiMax;
  if (other.qiMinPositive < qiMinPositive) qiMinPositive = other.qiMinPositive;
  bounds.Widen(other.bounds);
}

std::string TooManyRecordsMessage(std::size_t maxRecords) {
  return "the run would keep more than " + std::to_string(maxRecords) +
         " reflections; lower the loop limits, theta maximum or qi-max";
}

std::string TooManyVisitsMessage(std::uint64_t maxVisited) {
  return "the run would visit more than " + std::to_string(maxVisited) +
         " index vectors; lower the loop limits or qi-max";
}

std::string TooLongMessage(double maxSeconds) {
  return "the run was stopped after " + ShortestText(maxSeconds) +
         " seconds; lower the loop limits, theta maximum or qi-max";
}

std::string CheckInputs(const CalculationInputs& in) {
  auto text = [](double v) { return ShortestText(v); };
  if (!std::isfinite(in.a) || in.a <= 0.0)
    return "lattice constant a = " + text(in.a) + " must be a number greater than 0";
  if (in.system != CrystalSystem::Icosahedral && (!std::isfinite(in.c) || in.c <= 0.0))
    return "lattice constant c = " + text(in.c) + " must be a number greater than 0";
  if (!std::isfinite(in.wavelength) || in.wavelength <= 0.0)
    return "wavelength = " + text(in.wavelength) + " must be a number greater than 0";
  if (!std::isfinite(in.thetaLow)) return "theta minimum = " + text(in.thetaLow) + " is not a number";
  if (!std::isfinite(in.thetaHigh)) return "theta maximum = " + text(in.thetaHigh) + " is not a number";
  if (in.thetaLow > in.thetaHigh)
    return "theta minimum " + text(in.thetaLow) + " exceeds theta maximum " + text(in.thetaHigh);
  if (std::isnan(in.qiLimit)) return "qi-max is not a number";
  const int n = DimensionOf(in.system);
  for (int k = 0; k < n && !in.completeLoops; ++k) {
    const int limit = in.loopLimits[static_cast<std::size_t>(k)];
    if (limit < 0 || limit > 32767)
      return "loop limit h" + std::to_string(k + 1) + " = " + std::to_string(limit) +
             " must be a whole number from 0 to 32767";
  }
  const auto groups = GroupsOf(in.system);
  if (in.groupIndex < 0 || static_cast<std::size_t>(in.groupIndex) >= groups.size())
    return "space group index " + std::to_string(in.groupIndex) + " is not in the list of the " +
           std::string(SystemName(in.system)) + " system";
  return {};
}

void MarkMainReflections(std::vector<ReflectionRecord>& records, CrystalSystem system) {
  const int n = DimensionOf(system);
  for (ReflectionRecord& r : records) {
    int zeros = 0;
    for (int k = 0; k < n; ++k)
      if (r.h[static_cast<std::size_t>(k)] == 0.0f) ++zeros;
    if (zeros == n - 1) r.mainFlag = -1;
    if (system != CrystalSystem::Octagonal && r.h[0] == r.h[1] && r.h[1] == r.h[2] && r.h[2] == r.h[3] &&
        zeros == 1)
      r.mainFlag = -1;
  }
}

namespace {

// Every vector of the box in order, outermost index first, each index from
// +limit down to -limit.
WalkOutcome BoxWalk(const Lattice& lattice, const SpaceGroup& group, const ReflectionFilter& filter,
                    const std::array<int, 6>& limits, BoxCount loops, const RunControl& control) {
  WalkOutcome outcome;
  if (loops > control.maxVisited) {
    outcome.status = RunStatus::Failed;
    outcome.error = TooManyVisitsMessage(control.maxVisited);
    return outcome;
  }
  const auto start = std::chrono::steady_clock::now();
  ReflectionCollector collector(lattice, group, filter, control.maxRecords, control.countOnly);
  const double total = static_cast<double>(loops);
  IndexVector h = limits;
  std::uint64_t counter = 0;
  auto fail = [&](std::string error) {
    outcome.status = RunStatus::Failed;
    outcome.error = std::move(error);
    outcome.visited = counter;
    return outcome;
  };
  for (;;) {
    if (h != IndexVector{} && !collector.Visit(h)) return fail(TooManyRecordsMessage(control.maxRecords));
    ++counter;
    if (counter % 100 == 0) {
      if (control.progress) control.progress({counter, static_cast<double>(counter) / total});
      if (control.cancel && control.cancel->load(std::memory_order_relaxed)) {
        outcome.status = RunStatus::Cancelled;
        outcome.visited = counter;
        return outcome;
      }
      if (control.maxSeconds > 0.0 && counter % 10000 == 0 &&
          std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count() > control.maxSeconds)
        return fail(TooLongMessage(control.maxSeconds));
    }
    int k = 5;
    for (; k >= 0; --k) {
      if (h[k] > -limits[k]) {
        --h[k];
        break;
      }
      h[k] = limits[k];
    }
    if (k < 0) break;
  }
  outcome.visited = counter;
  outcome.kept = collector.kept();
  outcome.records = std::move(collector.records());
  outcome.stats = collector.stats();
  return outcome;
}

}  // namespace

CalculationResult RunCalculation(const CalculationInputs& inputs, const RunControl& control) {
  CalculationResult result;
  const int n = DimensionOf(inputs.system);
  std::array<int, 6> limits = inputs.loopLimits;
  if (n == 5) limits[5] = 0;
  result.loops = BoxSize(limits, 6);

  result.error = CheckInputs(inputs);
  if (!result.error.empty()) return result;
  result.lattice = SetupLattice(inputs.system, inputs.a, inputs.c, inputs.yamamoto);
  result.wavelength = inputs.wavelength;
  result.group = &GroupAt(inputs.system, inputs.groupIndex);

  const ReflectionFilter filter{inputs.wavelength, inputs.thetaLow, inputs.thetaHigh, inputs.qiLimit};
  if (inputs.completeLoops) {
    const CompleteLimits complete = CompleteLoopLimits(result.lattice, filter);
    if (!complete.error.empty()) {
      result.error = complete.error;
      return result;
    }
    limits = complete.limits;
    result.loops = BoxSize(limits, 6);
  }
  result.loopLimits = limits;
  WalkOutcome walk = control.algorithm == WalkAlgorithm::Box
                         ? BoxWalk(result.lattice, *result.group, filter, limits, result.loops, control)
                         : BoundedWalk(result.lattice, *result.group, filter, limits, control);
  result.status = walk.status;
  result.error = std::move(walk.error);
  result.visited = walk.visited;
  result.kept = walk.kept;
  if (walk.status != RunStatus::Completed) return result;
  result.records = std::move(walk.records);
  result.stats = walk.stats;
  MarkMainReflections(result.records, inputs.system);
  if (inputs.completeLoops && !control.countOnly) {
    // The bound may be wider than the reflections reach: the box they need.
    result.loopLimits = {};
    for (const ReflectionRecord& r : result.records)
      for (int k = 0; k < n; ++k)
        result.loopLimits[static_cast<std::size_t>(k)] =
            std::max(result.loopLimits[static_cast<std::size_t>(k)], static_cast<int>(std::lround(std::fabs(r.h[static_cast<std::size_t>(k)]))));
    result.loops = BoxSize(result.loopLimits, 6);
  }
  return result;
}

}  // namespace lumora
