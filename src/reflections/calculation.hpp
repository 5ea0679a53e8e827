// The calculation run: every index vector of the loop box is turned into a
// reflection, filtered by theta, qi and the space group, and kept in
// generation order, with the run statistics the plots need.
#pragma once

#include <array>
#include <atomic>
#include <cstdint>
#include <functional>
#include <string>
#include <vector>

#include "lattice/lattice.hpp"
#include "reflections/box_count.hpp"
#include "reflections/compute_reflection.hpp"
#include "reflections/reflection_record.hpp"
#include "reflections/space_groups.hpp"

namespace lumora {

struct CalculationInputs {
  CrystalSystem system = CrystalSystem::Decagonal;
  int groupIndex = kStartGroupIndex;  // list index within the system's groups
  bool yamamoto = true;
  double a = 0.0;
  double c = 0.0;
  double wavelength = 0.0;
  double thetaLow = 0.0;
  double thetaHigh = 0.0;
  double qiLimit = 0.0;
  std::array<int, 6> loopLimits{};  // the sixth is ignored by the axial systems
  // Walk the smallest box that holds every reflection the filters pass, so
  // that no symmetry orbit is cut by the box (loopLimits are then ignored).
  bool completeLoops = false;
};

// Smallest and largest x, y, z of kept reflections. They start at 0 and only
// widen, so the origin always lies inside.
struct CoordinateBounds {
  float xMin = 0.0f, xMax = 0.0f;
  float yMin = 0.0f, yMax = 0.0f;
  float zMin = 0.0f, zMax = 0.0f;

  void Widen(float x, float y, float z);
  void Widen(const CoordinateBounds& other);
  // The largest of xMax, yMax, zMax: the 3D plot's scale reference.
  float CoordMax() const;
};

struct RunStatistics {
  float zeroLayerMax = 0.0f;    // largest |x| among reflections whose last index is 0
  float thetaMax = 0.0f;
  float qiMax = 0.0f;
  float qiMinPositive = 10.0f;  // smallest qi above 0
  CoordinateBounds bounds;

  void Merge(const RunStatistics& other);
};

struct RunProgress {
  std::uint64_t visited = 0;  // index vectors walked so far
  double fraction = 0.0;      // 0..1 of the box
};

enum class WalkAlgorithm {
  Bounded,  // only the vectors that can pass the filters, on several threads
  Box,      // every vector of the box, one by one: the reference
};

struct RunControl {
  WalkAlgorithm algorithm = WalkAlgorithm::Bounded;
  int threads = 0;  // bounded walk: 0 uses every core
  // Called with the progress of the run (the box walk: every 100 index
  // vectors; the bounded walk: a few times a second); may be empty.
  std::function<void(const RunProgress&)> progress;
  // The run stops soon after this flag is set; may be null.
  const std::atomic<bool>* cancel = nullptr;
  // A run that would keep more reflections than this stops with an error.
  std::size_t maxRecords = 20'000'000;
  // A run that would visit more index vectors than this stops with an error:
  // at once when the walk's size is known to exceed it, else when it gets there.
  std::uint64_t maxVisited = 10'000'000'000;
  // A run still going after this many seconds stops with an error; 0: no limit.
  double maxSeconds = 0.0;
  // Only count the reflections that would be kept (CalculationResult::kept).
  bool countOnly = false;
};

enum class RunStatus { Completed, Cancelled, Failed };

struct CalculationResult {
  RunStatus status = RunStatus::Failed;
  std::string error;  // why a run failed
  Lattice lattice;
  double wavelength = 0.0;  // A: with the lattice, the records' values at full precision (RecomputeReflection)
  const SpaceGroup* group = nullptr;
  std::vector<ReflectionRecord> records;  // in generation order
  RunStatistics stats;
  std::size_t kept = 0;       // reflections kept (or, counting only, that would be)
  // The loop limits of the box: the inputs', or with completeLoops the
  // smallest box that holds every kept reflection.
  std::array<int, 6> loopLimits{};
  BoxCount loops = 0;         // index vectors in the box
  std::uint64_t visited = 0;  // index vectors walked
};

// The messages of a run stopped by its limits.
std::string TooManyRecordsMessage(std::size_t maxRecords);
std::string TooManyVisitsMessage(std::uint64_t maxVisited);
std::string TooLongMessage(double maxSeconds);

// Why inputs cannot be run, or an empty string.
std::string CheckInputs(const CalculationInputs& inputs);

// The whole run. Never throws for bad inputs: they give status Failed with a
// message naming the value. Both walks give the same records in the same
// order and the same statistics.
CalculationResult RunCalculation(const CalculationInputs& inputs, const RunControl& control = {});

// Marks main reflections: exactly one non-zero index, or (for all systems but
// the octagonal) h1 = h2 = h3 = h4 with exactly one zero index.
void MarkMainReflections(std::vector<ReflectionRecord>& records, CrystalSystem system);

}  // namespace lumora
