#include "intensity/structure_factor.hpp"

#include <algorithm>
#include <cmath>
#include <limits>
#include <map>
#include <memory>
#include <thread>

#include "intensity/fast_trig.hpp"

namespace lumora {
namespace {

constexpr double kTwoPi = 6.283185307179586476925;

// Everything one reflection needs from its indices.
struct ReciprocalVector {
  Vec3 par{};
  Vec3 perp{};
};

ReciprocalVector ReciprocalOf(const Lattice& lattice, const std::array<int, 6>& h) {
  std::array<double, 6> w{};
  for (int i = 0; i < lattice.nDim; ++i) {
    double sum = 0.0;
    for (int j = 0; j < lattice.nDim; ++j) sum += lattice.inverseMatrix[i][j] * static_cast<double>(h[j]);
    w[i] = sum;
  }
  return {PhysicalPart(lattice, w), InternalPart(lattice, w)};
}

double Norm2(const Vec3& v) { return v[0] * v[0] + v[1] * v[1] + v[2] * v[2]; }

bool Near(double a, double b) { return std::fabs(a - b) <= 1e-12 * (1.0 + std::fabs(a) + std::fabs(b)); }

// Whether domain a equals sign * b (sign -1: the point mirror).
bool SameDomain(const OccupationDomain& a, const OccupationDomain& b, double sign) {
  if (a.index() != b.index()) return false;
  if (const auto* s = std::get_if<SphereDomain>(&a)) return Near(s->radius, std::get<SphereDomain>(b).radius);
  if (const auto* d = std::get_if<DiskDomain>(&a)) return Near(d->radius, std::get<DiskDomain>(b).radius);
  if (const auto* z = std::get_if<ZonohedronDomain>(&a)) {
    const auto& gb = std::get<ZonohedronDomain>(b).generators();
    if (z->generators().size() != gb.size()) return false;
    for (std::size_t i = 0; i < gb.size(); ++i)
      for (int c = 0; c < 3; ++c)
        if (!Near(z->generators()[i][c], gb[i][c])) return false;
    return true;  // zonohedra are centrosymmetric
  }
  const auto& ca = std::get<PolygonDomain>(a).corners();
  const auto& cb = std::get<PolygonDomain>(b).corners();
  if (ca.size() != cb.size()) return false;
  for (const Vec2& p : ca) {
    const bool found = std::any_of(cb.begin(), cb.end(), [&](const Vec2& r) {
      return Near(p[0], sign * r[0]) && Near(p[1], sign * r[1]);
    });
    if (!found) return false;
  }
  return true;
}

// A key equal for equal domains and for point mirrors of each other (sorted,
// quantised corners of W or of -W, whichever is smaller), so that sites of
// one domain are found by lookup. Quantisation can only split equal domains
// across keys at a rounding edge, never join different ones: a match is
// confirmed by SameDomain.
std::vector<long long> DomainKey(const OccupationDomain& domain) {
  std::vector<long long> key{static_cast<long long>(domain.index())};
  auto quantum = [](double extent) { return std::exp2(std::floor(std::log2(std::max(extent, 1e-300) * 1e-9))); };
  auto q = [](double v, double step) { return std::llround(v / step); };
  if (const auto* s = std::get_if<SphereDomain>(&domain)) {
    key.push_back(q(s->radius, quantum(s->radius)));
  } else if (const auto* d = std::get_if<DiskDomain>(&domain)) {
    key.push_back(q(d->radius, quantum(d->radius)));
  } else if (const auto* z = std::get_if<ZonohedronDomain>(&domain)) {
    double extent = 0.0;
    for (const Vec3& g : z->generators()) extent = std::max(extent, std::sqrt(Norm2(g)));
    const double step = quantum(extent);
    for (const Vec3& g : z->generators())
      for (double c : g) key.push_back(q(c, step));
  } else {
    const auto& corners = std::get<PolygonDomain>(domain).corners();
    double extent = 0.0;
    for (const Vec2& p : corners) extent = std::max(extent, std::hypot(p[0], p[1]));
    const double step = quantum(extent);
    std::vector<std::pair<long long, long long>> plus, minus;
    for (const Vec2& p : corners) {
      plus.push_back({q(p[0], step), q(p[1], step)});
      minus.push_back({-plus.back().first, -plus.back().second});
    }
    std::sort(plus.begin(), plus.end());
    std::sort(minus.begin(), minus.end());
    for (const auto& [x, y] : std::min(plus, minus)) key.insert(key.end(), {x, y});
  }
  return key;
}

// The sites grouped by element, with one form-factor table per element.
class Evaluator {
 public:
  Evaluator(const ResolvedModel& model, const Lattice& lattice, const Radiation& radiation, double sMax)
      : model_(model), lattice_(lattice) {
    for (const ResolvedSite& site : model.sites) {
      auto it = std::find_if(tables_.begin(), tables_.end(), [&](const ScatteringTable& t) { return t.z() == site.z; });
      if (it == tables_.end()) {
        tables_.emplace_back(site.z, radiation, sMax);
        it = tables_.end() - 1;
      }
      tableOf_.push_back(static_cast<std::size_t>(it - tables_.begin()));
    }
    fValues_.resize(tables_.size());
    // Sites whose domains are equal, or point mirrors of each other, share one
    // transform per reflection: T of -W is the conjugate of T of W. Found by
    // key, so that many sites cost n log n, not n^2.
    std::map<std::vector<long long>, std::vector<std::size_t>> byKey;
    for (std::size_t j = 0; j < model.sites.size(); ++j) {
      std::vector<std::size_t>& candidates = byKey[DomainKey(model.sites[j].domain)];
      std::size_t shape = shapes_.size();
      bool conjugate = false;
      for (std::size_t u : candidates) {
        const OccupationDomain& other = model.sites[shapes_[u]].domain;
        if (SameDomain(model.sites[j].domain, other, 1.0)) shape = u;
        else if (SameDomain(model.sites[j].domain, other, -1.0)) shape = u, conjugate = true;
        if (shape != shapes_.size()) break;
      }
      if (shape == shapes_.size()) {
        candidates.push_back(shape);
        shapes_.push_back(j);
      }
      shapeOf_.push_back(shape);
      conjugateOf_.push_back(conjugate);
    }
    transforms_.resize(shapes_.size());
  }

  std::size_t shapes() const { return shapes_.size(); }

  std::complex<double> operator()(const std::array<int, 6>& h) {
    const ReciprocalVector q = ReciprocalOf(lattice_, h);
    const double s = std::sqrt(Norm2(q.par)) / 2.0;
    const double s2 = s * s;
    const double perp2 = Norm2(q.perp);
    for (std::size_t t = 0; t < tables_.size(); ++t) fValues_[t] = tables_[t](s);
    for (std::size_t u = 0; u < shapes_.size(); ++u) transforms_[u] = DomainTransform(model_.sites[shapes_[u]].domain, q.perp);
    std::complex<double> sum = 0.0;
    const int n = lattice_.nDim;
    for (std::size_t j = 0; j < model_.sites.size(); ++j) {
      const ResolvedSite& site = model_.sites[j];
      double hx = 0.0;
      for (int i = 0; i < n; ++i) hx += static_cast<double>(h[i]) * site.x[i];
      // Reduce H.x modulo 1 before the angle: large indices keep their precision.
      hx -= std::round(hx);
      double weight = site.occupancy;
      if (site.bPar != 0.0 || site.bPerp != 0.0) weight *= std::exp(-site.bPar * s2 - site.bPerp * perp2 / 4.0);
      const SinCos sc = FastSinCos(kTwoPi * hx);
      const std::complex<double> phase(sc.cos, sc.sin);
      const std::complex<double> t = transforms_[shapeOf_[j]];
      sum += weight * fValues_[tableOf_[j]] * (conjugateOf_[j] ? std::conj(t) : t) * phase;
    }
    return sum / model_.internalCellVolume;
  }

 private:
  const ResolvedModel& model_;
  const Lattice& lattice_;
  std::vector<ScatteringTable> tables_;
  std::vector<std::size_t> tableOf_;
  std::vector<std::complex<double>> fValues_;
  std::vector<std::size_t> shapes_;   // one site of each distinct domain
  std::vector<std::size_t> shapeOf_;  // per site
  std::vector<char> conjugateOf_;     // per site: the domain is -W of its shape
  std::vector<std::complex<double>> transforms_;
};

std::array<int, 6> IndicesOf(const ReflectionRecord& r) {
  std::array<int, 6> h{};
  for (int i = 0; i < 6; ++i) h[i] = static_cast<int>(std::lround(r.h[i]));
  return h;
}

}  // namespace

std::complex<double> StructureFactor(const ResolvedModel& model, const Lattice& lattice, const std::array<int, 6>& h,
                                     const Radiation& radiation) {
  const ReciprocalVector q = ReciprocalOf(lattice, h);
  Evaluator evaluate(model, lattice, radiation, std::sqrt(Norm2(q.par)) / 2.0);
  return evaluate(h);
}

IntensityStatus ComputeIntensities(const ResolvedModel& model, const Lattice& lattice,
                                   const std::vector<ReflectionRecord>& records, const Radiation& radiation,
                                   IntensityResult& result, const IntensityControl& control) {
  const std::size_t count = records.size();
  result.fAbs.assign(count, 0.0);
  result.fPhase.assign(count, 0.0);
  result.intensity.assign(count, 0.0);
  result.maxF = 0.0;
  result.error.clear();
  double sMax = 0.0;
  for (const ReflectionRecord& r : records) sMax = std::max(sMax, static_cast<double>(r.qe) / 2.0);
  // The tables are built here, on one thread: xraylib is not asked from the workers.
  const Evaluator prototype(model, lattice, radiation, sMax * 1.001 + 1e-3);

  int threads = control.threads > 0 ? control.threads : static_cast<int>(std::thread::hardware_concurrency());
  threads = std::clamp(threads, 1, 64);
  if (count < 4096) threads = 1;
  // A record costs about one transform per distinct domain and one term per
  // site: the flags and the clock are looked at every ~1000 such units.
  const std::size_t stride = std::max<std::size_t>(1, 1024 / (1 + prototype.shapes() + model.sites.size()));
  std::atomic<bool> cancelled{false}, timedOut{false};
  std::atomic<std::size_t> notFinite{std::numeric_limits<std::size_t>::max()};
  auto work = [&](std::size_t begin, std::size_t end) {
    Evaluator evaluate = prototype;
    for (std::size_t i = begin; i < end; ++i) {
      if ((i - begin) % stride == 0) {
        if (cancelled.load(std::memory_order_relaxed) || timedOut.load(std::memory_order_relaxed) ||
            notFinite.load(std::memory_order_relaxed) != std::numeric_limits<std::size_t>::max())
          return;
        if (control.cancel && control.cancel->load(std::memory_order_relaxed)) {
          cancelled = true;
          return;
        }
        if (control.deadline && std::chrono::steady_clock::now() > *control.deadline) {
          timedOut = true;
          return;
        }
      }
      const std::complex<double> f = evaluate(IndicesOf(records[i]));
      if (!std::isfinite(f.real()) || !std::isfinite(f.imag())) {
        std::size_t seen = notFinite.load();
        while (i < seen && !notFinite.compare_exchange_weak(seen, i)) {
        }
        return;
      }
      result.fAbs[i] = std::abs(f);
      double phase = std::arg(f) * 180.0 / 3.14159265358979323846;
      if (phase <= -180.0) phase += 360.0;
      result.fPhase[i] = result.fAbs[i] == 0.0 ? 0.0 : phase;
    }
  };
  std::vector<std::thread> workers;
  const std::size_t chunk = (count + static_cast<std::size_t>(threads) - 1) / static_cast<std::size_t>(threads);
  for (int t = 1; t < threads; ++t) {
    const std::size_t begin = std::min(count, chunk * static_cast<std::size_t>(t));
    workers.emplace_back(work, begin, std::min(count, begin + chunk));
  }
  work(0, std::min(count, chunk));
  for (std::thread& w : workers) w.join();
  if (const std::size_t bad = notFinite.load(); bad != std::numeric_limits<std::size_t>::max()) {
    std::string indices;
    for (int k = 0; k < lattice.nDim; ++k) indices += (k ? " " : "") + std::to_string(IndicesOf(records[bad])[k]);
    result.error = "the structure factor of reflection (" + indices +
                   ") is not a finite number; the model's values or the lattice are out of reach";
    return IntensityStatus::NotFinite;
  }
  if (cancelled) return IntensityStatus::Cancelled;
  if (timedOut) {
    result.error = "the intensities were stopped at the time limit";
    return IntensityStatus::TimedOut;
  }

  // Relative to the strongest |F| before squaring: |F|^2 could overflow.
  for (double a : result.fAbs) result.maxF = std::max(result.maxF, a);
  if (result.maxF > 0.0)
    for (std::size_t i = 0; i < count; ++i) {
      const double ratio = result.fAbs[i] / result.maxF;
      result.intensity[i] = 100.0 * ratio * ratio;
    }
  return IntensityStatus::Completed;
}

void KeepStrongReflections(CalculationResult& run, IntensityResult& result, double percent) {
  std::vector<ReflectionRecord>& records = run.records;
  std::size_t out = 0;
  RunStatistics stats;
  const int last = run.lattice.nDim - 1;
  for (std::size_t i = 0; i < records.size(); ++i) {
    if (!(result.intensity[i] >= percent)) continue;
    const ReflectionRecord r = records[i];
    // The statistics as the run gathers them, on the stored single-precision values.
    if (r.h[static_cast<std::size_t>(last)] == 0.0f && std::fabs(r.x) > stats.zeroLayerMax) stats.zeroLayerMax = std::fabs(r.x);
    if (r.theta > stats.thetaMax) stats.thetaMax = r.theta;
    if (r.qi > stats.qiMax) stats.qiMax = r.qi;
    if (r.qi > 0.0f && r.qi < stats.qiMinPositive) stats.qiMinPositive = r.qi;
    stats.bounds.Widen(r.x, r.y, r.z);
    records[out] = r;
    result.fAbs[out] = result.fAbs[i];
    result.fPhase[out] = result.fPhase[i];
    result.intensity[out] = result.intensity[i];
    ++out;
  }
  records.resize(out);
  result.fAbs.resize(out);
  result.fPhase.resize(out);
  result.intensity.resize(out);
  run.stats = stats;
  run.kept = out;
}

}  // namespace lumora
