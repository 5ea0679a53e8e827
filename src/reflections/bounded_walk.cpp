#include "reflections/bounded_walk.hpp"

#include <algorithm>
#include <chrono>
#include <cmath>
#include <condition_variable>
#include <mutex>
#include <optional>
#include <thread>

#include "reflections/ellipsoid_bound.hpp"
#include "reflections/reflection_collector.hpp"

namespace lumora {
namespace {

// What all workers share.
struct SharedState {
  std::atomic<bool> stop{false};
  std::atomic<bool> overBudget{false};
  std::atomic<bool> overVisits{false};
  std::atomic<bool> tooLong{false};
  std::atomic<std::uint64_t> visited{0};
  std::atomic<std::size_t> kept{0};
  std::atomic<std::size_t> nextSlice{0};
  std::atomic<std::size_t> slicesDone{0};
  std::mutex mutex;
  std::condition_variable changed;
};

struct Slice {
  int h0 = 0;
  std::vector<ReflectionRecord> records;
  RunStatistics stats;
};

// Walks the vectors of one value of the outermost index.
class SliceWalker {
 public:
  SliceWalker(const Lattice& lattice, const SpaceGroup& group, const ReflectionFilter& filter,
              const std::array<int, 6>& limits, const EllipsoidBound* bound, const IndexSlab* slab,
              const RunControl& control, SharedState& shared)
      : collector_(lattice, group, filter, control.maxRecords, control.countOnly),
        limits_(limits),
        bound_(bound),
        slab_(slab),
        n_(lattice.nDim),
        maxRecords_(control.maxRecords),
        maxVisited_(control.maxVisited),
        shared_(shared) {}

  void Walk(Slice& slice, double partial) {
    h_ = {};
    h_[0] = slice.h0;
    if (n_ == 1) Leaf();
    else Level(1, partial);
    slice.records = std::move(collector_.records());
    slice.stats = collector_.stats();
    Flush();
  }

 private:
  void Level(int k, double partial) {
    int high = limits_[k];
    int low = -limits_[k];
    double center = 0.0;
    if (bound_) {
      const IndexRange range = BoundIndex(*bound_, k, h_, partial);
      high = std::min(high, range.high);
      low = std::max(low, range.low);
      center = range.center;
    }
    if (k == n_ - 1 && slab_) SlabRange(k, low, high);
    for (int v = high; v >= low && !stopped_; --v) {
      h_[k] = v;
      const double t = v - center;
      const double next = bound_ ? partial + bound_->d[k] * t * t : partial;
      if (k == n_ - 1) Leaf();
      else Level(k + 1, next);
    }
    h_[k] = 0;
  }

  // Narrows [low, high] of the innermost index k to the slab, with a margin
  // well above rounding so that no vector the slab filter passes is skipped.
  void SlabRange(int k, int& low, int& high) const {
    const double u = slab_->normal[static_cast<std::size_t>(k)];
    if (!(std::fabs(u) > 1e-12)) return;
    double outer = 0.0;
    for (int j = 0; j < k; ++j) outer += slab_->normal[static_cast<std::size_t>(j)] * h_[static_cast<std::size_t>(j)];
    const double reach = slab_->halfWidth * (1.0 + 1e-6) + 1e-9 * (1.0 + std::fabs(outer));
    double a = (-reach - outer) / u, b = (reach - outer) / u;
    if (a > b) std::swap(a, b);
    high = static_cast<int>(std::min(static_cast<double>(high), std::floor(b + 1e-6)));
    low = static_cast<int>(std::max(static_cast<double>(low), std::ceil(a - 1e-6)));
  }

  void Leaf() {
    if (h_ != IndexVector{} && (!slab_ || InSlab(*slab_, h_))) {
      const std::size_t before = collector_.kept();
      if (!collector_.Visit(h_) || (collector_.kept() > before && ++shared_.kept > maxRecords_)) {
        shared_.overBudget = true;
        shared_.stop = true;
      }
    }
    if (++pending_ == 100) {
      Flush();
      if (shared_.stop.load(std::memory_order_relaxed)) stopped_ = true;
    }
  }

  void Flush() {
    if (shared_.visited.fetch_add(pending_) + pending_ > maxVisited_) {
      shared_.overVisits = true;
      shared_.stop = true;
    }
    pending_ = 0;
  }

  ReflectionCollector collector_;
  const std::array<int, 6>& limits_;
  const EllipsoidBound* bound_;
  const IndexSlab* slab_;
  int n_;
  std::size_t maxRecords_;
  std::uint64_t maxVisited_;
  SharedState& shared_;
  IndexVector h_{};
  std::uint64_t pending_ = 0;
  bool stopped_ = false;
};

}  // namespace

WalkOutcome BoundedWalk(const Lattice& lattice, const SpaceGroup& group, const ReflectionFilter& filter,
                        const std::array<int, 6>& limits, const RunControl& control, const IndexSlab* slab) {
  WalkOutcome outcome;
  if (FiltersExcludeEverything(filter)) return outcome;
  const std::optional<EllipsoidBound> bound = MakeEllipsoidBound(lattice, filter, limits);
  const EllipsoidBound* form = bound ? &*bound : nullptr;
  // A walk known to be too long is refused before it starts; one that may be
  // is stopped when it gets there.
  const double likely = form ? EstimateVisits(*form, limits).volume
                             : static_cast<double>(BoxSize(limits, lattice.nDim));
  if (likely > static_cast<double>(control.maxVisited)) {
    outcome.status = RunStatus::Failed;
    outcome.error = TooManyVisitsMessage(control.maxVisited);
    return outcome;
  }

  // The outermost index, from the top down.
  int high = limits[0];
  int low = -limits[0];
  if (form) {
    const IndexRange range = BoundIndex(*form, 0, IndexVector{}, 0.0);
    high = std::min(high, range.high);
    low = std::max(low, range.low);
  }
  std::vector<Slice> slices;
  for (int v = high; v >= low; --v) slices.push_back(Slice{v, {}, {}});
  if (slices.empty()) return outcome;

  SharedState shared;
  auto work = [&] {
    for (;;) {
      const std::size_t i = shared.nextSlice++;
      if (i >= slices.size() || shared.stop) break;
      SliceWalker walker(lattice, group, filter, limits, form, slab, control, shared);
      const double t = slices[i].h0;
      walker.Walk(slices[i], form ? form->d[0] * t * t : 0.0);
      ++shared.slicesDone;
      std::lock_guard<std::mutex> lock(shared.mutex);
      shared.changed.notify_all();
    }
  };
  const unsigned available = std::max(1u, std::thread::hardware_concurrency());
  const std::size_t threads =
      std::min<std::size_t>(slices.size(), control.threads > 0 ? static_cast<std::size_t>(control.threads) : available);
  std::vector<std::thread> workers;
  for (std::size_t i = 0; i < threads; ++i) workers.emplace_back(work);

  // This thread reports progress, passes a cancel request on and keeps the time.
  const auto start = std::chrono::steady_clock::now();
  {
    std::unique_lock<std::mutex> lock(shared.mutex);
    while (shared.slicesDone < slices.size() && !(shared.stop && shared.nextSlice >= slices.size())) {
      shared.changed.wait_for(lock, std::chrono::milliseconds(40));
      if (control.cancel && control.cancel->load(std::memory_order_relaxed)) shared.stop = true;
      if (control.maxSeconds > 0.0 &&
          std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count() > control.maxSeconds) {
        shared.tooLong = true;
        shared.stop = true;
      }
      if (shared.stop) break;
      if (control.progress) {
        lock.unlock();
        control.progress({shared.visited.load(),
                          static_cast<double>(shared.slicesDone.load()) / static_cast<double>(slices.size())});
        lock.lock();
      }
    }
  }
  for (std::thread& worker : workers) worker.join();

  outcome.visited = shared.visited;
  outcome.kept = shared.kept;
  if (shared.overBudget || shared.overVisits || shared.tooLong) {
    outcome.status = RunStatus::Failed;
    outcome.error = shared.overBudget   ? TooManyRecordsMessage(control.maxRecords)
                    : shared.overVisits ? TooManyVisitsMessage(control.maxVisited)
                                        : TooLongMessage(control.maxSeconds);
    return outcome;
  }
  if (shared.stop) {
    outcome.status = RunStatus::Cancelled;
    return outcome;
  }
  std::size_t total = 0;
  for (const Slice& slice : slices) total += slice.records.size();
  outcome.records.reserve(total);
  for (Slice& slice : slices) {
    outcome.records.insert(outcome.records.end(), slice.records.begin(), slice.records.end());
    // Each slice is freed once copied, so a large run never holds its list twice.
    std::vector<ReflectionRecord>().swap(slice.records);
    outcome.stats.Merge(slice.stats);
  }
  return outcome;
}

}  // namespace lumora
