#include "zone/zone_fit.hpp"

#include <Eigen/Dense>

#include <algorithm>
#include <cmath>
#include <map>
#include <unordered_map>

#include "common/number_text.hpp"
#include "zone/pattern_centre.hpp"
#include "zone/point_grid.hpp"

namespace lumora {
namespace {

constexpr double kPi = 3.14159265358979323846;

struct Simulated {
  std::size_t spot = 0;  // into pattern.spots
  double gx = 0.0, gy = 0.0, intensity = 0.0;
};

struct Params {
  double cx = 0.0, cy = 0.0, a = 0.0, b = 0.0;  // a = K cos phi, b = K sin phi
  double K() const { return std::hypot(a, b); }
  double Phi() const { return std::atan2(b, a); }
  std::array<double, 2> At(double gx, double gy) const { return {cx + a * gx - b * gy, cy - (b * gx + a * gy)}; }
};

// Simulated spots placed by p on a grid of cells for nearest-spot look-ups.
PointGrid SpotGrid(const std::vector<Simulated>& sim, const Params& p, double cell) {
  std::vector<std::array<double, 2>> positions;
  positions.reserve(sim.size());
  for (const Simulated& s : sim) positions.push_back(p.At(s.gx, s.gy));
  return PointGrid(std::move(positions), cell);
}

struct Match {
  std::size_t found;
  std::size_t sim;
};

// Each considered found spot to its nearest simulated spot within tolerance;
// a simulated spot takes only its nearest found one.
std::vector<Match> MatchSpots(const std::vector<Simulated>& sim, const std::vector<FoundSpot>& spots,
                              const std::vector<std::size_t>& considered, const Params& p, double tolerance) {
  const PointGrid grid = SpotGrid(sim, p, std::max(tolerance, 1.0));
  std::map<std::size_t, std::pair<std::size_t, double>> bySim;
  for (std::size_t f : considered) {
    const long s = grid.Nearest(spots[f].x, spots[f].y, tolerance);
    if (s < 0) continue;
    const auto q = p.At(sim[static_cast<std::size_t>(s)].gx, sim[static_cast<std::size_t>(s)].gy);
    const double d = std::hypot(q[0] - spots[f].x, q[1] - spots[f].y);
    auto it = bySim.find(static_cast<std::size_t>(s));
    if (it == bySim.end() || d < it->second.second) bySim[static_cast<std::size_t>(s)] = {f, d};
  }
  std::vector<Match> out;
  for (const auto& [s, fd] : bySim) out.push_back({fd.first, s});
  return out;
}

struct LeastSquares {
  Params p;
  Eigen::Matrix4d covariance = Eigen::Matrix4d::Zero();
  double rms = 0.0;
  bool ok = false;
};

LeastSquares Solve(const std::vector<Simulated>& sim, const std::vector<FoundSpot>& spots, const std::vector<Match>& m) {
  LeastSquares out;
  const Eigen::Index n = static_cast<Eigen::Index>(m.size());
  if (n < 3) return out;
  Eigen::MatrixXd j(2 * n, 4);
  Eigen::VectorXd r(2 * n);
  for (Eigen::Index i = 0; i < n; ++i) {
    const Simulated& s = sim[m[static_cast<std::size_t>(i)].sim];
    const FoundSpot& f = spots[m[static_cast<std::size_t>(i)].found];
    j.row(2 * i) << 1.0, 0.0, s.gx, -s.gy;
    j.row(2 * i + 1) << 0.0, 1.0, -s.gy, -s.gx;
    r(2 * i) = f.x;
    r(2 * i + 1) = f.y;
  }
  const Eigen::ColPivHouseholderQR<Eigen::MatrixXd> qr(j);
  if (qr.rank() < 4) return out;
  const Eigen::Vector4d x = qr.solve(r);
  out.p = {x(0), x(1), x(2), x(3)};
  const double rss = (j * x - r).squaredNorm();
  const Eigen::Matrix4d normal = j.transpose() * j;
  const double variance = n > 2 ? rss / static_cast<double>(2 * n - 4) : 0.0;
  out.covariance = normal.ldlt().solve(Eigen::Matrix4d::Identity()) * variance;
  out.rms = std::sqrt(rss / static_cast<double>(n));
  out.ok = true;
  return out;
}

struct Solution {
  LeastSquares fit;
  std::vector<Match> matches;
};

// Refines p by matching and solving until the matches stop changing.
Solution Refine(const std::vector<Simulated>& sim, const std::vector<FoundSpot>& spots,
                const std::vector<std::size_t>& considered, Params p, double tolerance) {
  Solution best;
  best.fit.p = p;
  std::vector<Match> previous;
  for (int iteration = 0; iteration < 8; ++iteration) {
    // Loose at first: a K from one spot may be off by a percent.
    const double tol = iteration == 0 ? tolerance * 2.0 : tolerance;
    std::vector<Match> m = MatchSpots(sim, spots, considered, p, tol);
    const LeastSquares ls = Solve(sim, spots, m);
    if (!ls.ok) break;
    p = ls.p;
    best.fit = ls;
    best.matches = MatchSpots(sim, spots, considered, p, tolerance);
    if (iteration > 0 && m.size() == previous.size() &&
        std::equal(m.begin(), m.end(), previous.begin(),
                   [](const Match& a, const Match& b) { return a.found == b.found && a.sim == b.sim; }))
      break;
    previous = std::move(m);
  }
  if (best.fit.ok) {
    const LeastSquares last = Solve(sim, spots, best.matches);
    if (last.ok) best.fit = last;
  }
  return best;
}

double Mod(double a, double m) {
  double r = std::fmod(a, m);
  if (r < 0.0) r += m;
  return r;
}

// Simulated spots by their position, to find the image of one under a
// rotation of the pattern's symmetry.
class SpotsByPosition {
 public:
  explicit SpotsByPosition(const std::vector<Simulated>& sim) {
    for (std::size_t i = 0; i < sim.size(); ++i) at_[Key(sim[i].gx, sim[i].gy)] = i;
  }
  // The spot at s's position turned by angle (radians, counter-clockwise in
  // the pattern frame), or none.
  std::optional<std::size_t> Turned(const Simulated& s, double angle) const {
    const double c = std::cos(angle), sn = std::sin(angle);
    const auto key = Key(s.gx * c - s.gy * sn, s.gx * sn + s.gy * c);
    // Positions on a 1e-7 1/A grid; a rounding edge may put the image in a neighbouring cell.
    for (long long dx = -1; dx <= 1; ++dx)
      for (long long dy = -1; dy <= 1; ++dy)
        if (const auto it = at_.find({key.first + dx, key.second + dy}); it != at_.end()) return it->second;
    return std::nullopt;
  }

 private:
  static std::pair<long long, long long> Key(double x, double y) { return {std::llround(x * 1e7), std::llround(y * 1e7)}; }
  std::map<std::pair<long long, long long>, std::size_t> at_;
};

// Intensity model of the tilt fit for one spot: ln(|F|^2 t^2 / (1 + 2 (pi t s)^2)).
struct TiltSpot {
  Direction g;
  double logObserved = 0.0, logF2 = 0.0;
};

double LogModel(const TiltSpot& spot, const Direction& beam, double lambda, double t) {
  const double s = ExcitationError(beam, spot.g, lambda);
  const double x = 3.14159265358979323846 * t * s;
  return spot.logF2 + std::log(t * t / (1.0 + 2.0 * x * x));
}

// Residuals ln I - (ln c + model) at tilts (tx, ty); ln c by its mean.
double TiltResiduals(const std::vector<TiltSpot>& spots, const BeamFrame& frame, double tx, double ty, double lambda,
                     double t, Eigen::VectorXd* residuals) {
  const Direction beam = TiltedBeam(frame, tx, ty);
  Eigen::VectorXd r(static_cast<Eigen::Index>(spots.size()));
  for (std::size_t i = 0; i < spots.size(); ++i)
    r(static_cast<Eigen::Index>(i)) = spots[i].logObserved - LogModel(spots[i], beam, lambda, t);
  r.array() -= r.mean();
  if (residuals) *residuals = r;
  return r.squaredNorm();
}

void FitTilt(ZoneFit& out, const ZonePattern& pattern, const std::vector<Simulated>& sim, const std::vector<Match>& matches,
             const std::vector<FoundSpot>& spots, double maxTilt) {
  std::vector<TiltSpot> data;
  for (const Match& m : matches) {
    const ZoneSpot& z = pattern.spots[sim[m.sim].spot];
    if (!(spots[m.found].intensity > 0.0) || !(z.fSquared > 0.0)) continue;
    data.push_back({PhysicalReciprocal(pattern.lattice, z.h), std::log(spots[m.found].intensity), std::log(z.fSquared)});
  }
  if (data.size() < 6 || pattern.thickness <= 0.0) return;
  const double lambda = pattern.wavelength, t = pattern.thickness;
  double bestX = 0.0, bestY = 0.0, best = TiltResiduals(data, pattern.frame, 0.0, 0.0, lambda, t, nullptr);
  const int steps = static_cast<int>(std::ceil(maxTilt / 0.1));
  for (int i = -steps; i <= steps; ++i)
    for (int j = -steps; j <= steps; ++j) {
      const double cost = TiltResiduals(data, pattern.frame, 0.1 * i, 0.1 * j, lambda, t, nullptr);
      if (cost < best) best = cost, bestX = 0.1 * i, bestY = 0.1 * j;
    }
  // Gauss-Newton on (tx, ty); the scale is the residuals' mean at each step.
  Eigen::VectorXd r;
  Eigen::Matrix2d covariance = Eigen::Matrix2d::Zero();
  for (int iteration = 0; iteration < 20; ++iteration) {
    const double h = 1e-4;
    Eigen::VectorXd rx, ry;
    TiltResiduals(data, pattern.frame, bestX, bestY, lambda, t, &r);
    TiltResiduals(data, pattern.frame, bestX + h, bestY, lambda, t, &rx);
    TiltResiduals(data, pattern.frame, bestX, bestY + h, lambda, t, &ry);
    Eigen::MatrixXd j(r.size(), 2);
    j.col(0) = -(rx - r) / h;
    j.col(1) = -(ry - r) / h;
    const Eigen::ColPivHouseholderQR<Eigen::MatrixXd> qr(j);
    if (qr.rank() < 2) return;
    const Eigen::Vector2d step = qr.solve(r);
    bestX += step(0), bestY += step(1);
    const double variance = r.squaredNorm() / static_cast<double>(r.size() - 3);
    covariance = (j.transpose() * j).ldlt().solve(Eigen::Matrix2d::Identity()) * variance;
    if (step.norm() < 1e-6) break;
  }
  if (std::fabs(bestX) > maxTilt || std::fabs(bestY) > maxTilt) return;
  out.tiltFitted = true;
  out.tiltX = bestX;
  out.tiltY = bestY;
  out.tiltXSu = std::sqrt(std::max(covariance(0, 0), 0.0));
  out.tiltYSu = std::sqrt(std::max(covariance(1, 1), 0.0));
}

struct Candidate {
  Solution solution;
  std::vector<std::size_t> considered;
};

// Every hypothesis about one centre, refined: the simulated spots and the
// pattern's extent shared by the searches about each centre tried.
struct Search {
  bool Cancelled() const { return cancel && cancel->load(std::memory_order_relaxed); }

  // Found spots inside the pattern's radius and off its centre.
  std::vector<std::size_t> Considered(const Params& p) const {
    const double k = p.K();
    std::vector<std::size_t> c;
    for (std::size_t f = 0; f < spots.size(); ++f) {
      const double r = std::hypot(spots[f].x - p.cx, spots[f].y - p.cy);
      if (r > 0.5 * k * gMin && r < k * gMax * 0.98) c.push_back(f);
    }
    return c;
  }

  // Adds the distinct solutions about centre to candidates (a better one
  // replaces its like); false when cancelled.
  bool AddSolutionsAbout(const std::array<double, 2>& centre, std::vector<Candidate>& candidates) const {
    const double tolerance = options.tolerance;
    // Hypotheses: one of the strongest found spots, or of the strongest near
    // the centre (a small g has little excitation error even in a tilted
    // pattern), off the centre, paired with a strong simulated one.
    std::vector<std::size_t> strongFound;
    {
      std::vector<std::pair<double, std::size_t>> byRadius;
      for (std::size_t f = 0; f < spots.size(); ++f) {
        const double r = std::hypot(spots[f].x - centre[0], spots[f].y - centre[1]);
        if (r > 4.0 * tolerance) byRadius.push_back({r, f});
      }
      std::sort(byRadius.begin(), byRadius.end());
      if (byRadius.size() > 40) byRadius.resize(40);
      for (const auto& rf : byRadius) strongFound.push_back(rf.second);
      std::sort(strongFound.begin(), strongFound.end());  // found spots come strongest first
      if (strongFound.size() > 10) strongFound.resize(10);
      // And the strongest anywhere.
      for (std::size_t f = 0, added = 0; f < spots.size() && added < 10; ++f) {
        if (std::hypot(spots[f].x - centre[0], spots[f].y - centre[1]) <= 4.0 * tolerance) continue;
        ++added;
        if (std::find(strongFound.begin(), strongFound.end(), f) == strongFound.end()) strongFound.push_back(f);
      }
    }
    const std::size_t strongSim = std::min<std::size_t>(sim.size(), 80);
    struct Scored {
      Params p;
      std::size_t score;
    };
    std::vector<Scored> hypotheses;
    for (std::size_t f : strongFound) {
      if (Cancelled()) return false;
      const double du = spots[f].x - centre[0], dv = -(spots[f].y - centre[1]);
      const double r = std::hypot(du, dv), azimuth = std::atan2(dv, du);
      for (std::size_t s = 0; s < strongSim; ++s) {
        const double g = std::hypot(sim[s].gx, sim[s].gy);
        const double k = r / g;
        if (options.kMax > 0.0 && (k < options.kMin || k > options.kMax)) continue;
        const double phi = azimuth - std::atan2(sim[s].gy, sim[s].gx);
        const Params p{centre[0], centre[1], k * std::cos(phi), k * std::sin(phi)};
        const std::vector<std::size_t> considered = Considered(p);
        const std::size_t score = MatchSpots(sim, spots, considered, p, 2.0 * tolerance + 0.01 * r).size();
        hypotheses.push_back({p, score});
      }
    }
    std::stable_sort(hypotheses.begin(), hypotheses.end(), [](const Scored& a, const Scored& b) { return a.score > b.score; });
    if (hypotheses.size() > 24) hypotheses.resize(24);

    // Refine the best hypotheses; keep distinct solutions.
    const double symmetryStep = 2.0 * kPi / pattern.rotationOrder;
    for (const Scored& h : hypotheses) {
      if (Cancelled()) return false;
      Candidate c;
      c.considered = Considered(h.p);
      c.solution = Refine(sim, spots, c.considered, h.p, tolerance);
      if (!c.solution.fit.ok) continue;
      c.considered = Considered(c.solution.fit.p);
      c.solution.matches = MatchSpots(sim, spots, c.considered, c.solution.fit.p, tolerance);
      const Params& p = c.solution.fit.p;
      const auto same = std::find_if(candidates.begin(), candidates.end(), [&](const Candidate& o) {
        const Params& q = o.solution.fit.p;
        const double dphi = Mod(p.Phi() - q.Phi() + symmetryStep / 2.0, symmetryStep) - symmetryStep / 2.0;
        return std::fabs(p.K() / q.K() - 1.0) < 0.02 && std::fabs(dphi) < 2.0 * kPi / 180.0 &&
               std::hypot(p.cx - q.cx, p.cy - q.cy) < 2.0 * tolerance;
      });
      if (same == candidates.end()) {
        candidates.push_back(std::move(c));
      } else if (c.solution.matches.size() > same->solution.matches.size()) {
        *same = std::move(c);
      }
    }
    return true;
  }

  const ZonePattern& pattern;
  const std::vector<Simulated>& sim;
  const std::vector<FoundSpot>& spots;
  const ZoneFitOptions& options;
  double gMin, gMax;
  const std::atomic<bool>* cancel;
};

// The best of the candidates, its rotation reduced by the pattern's symmetry,
// its indexed spots and the verdict; bestMatches gets its matches.
ZoneFit Judge(const Search& search, std::vector<Candidate> candidates, int width, int height, const ZoneFitOptions& options,
              std::vector<Match>& bestMatches) {
  const ZonePattern& pattern = search.pattern;
  const std::vector<Simulated>& sim = search.sim;
  const std::vector<FoundSpot>& spots = search.spots;
  const double tolerance = options.tolerance;
  const double symmetryStep = 2.0 * kPi / pattern.rotationOrder;
  const double gMin = search.gMin, gMax = search.gMax;
  ZoneFit out;
  out.rotationOrder = pattern.rotationOrder;
  if (candidates.empty()) {
    out.verdict = "no camera constant and rotation index 3 or more spots";
    return out;
  }
  std::stable_sort(candidates.begin(), candidates.end(), [](const Candidate& a, const Candidate& b) {
    if (a.solution.matches.size() != b.solution.matches.size()) return a.solution.matches.size() > b.solution.matches.size();
    return a.solution.fit.rms < b.solution.fit.rms;
  });
  for (const Candidate& c : candidates) {
    const Params& p = c.solution.fit.p;
    out.candidates.push_back({p.K(), Mod(p.Phi(), symmetryStep) * 180.0 / kPi, p.cx, p.cy,
                              static_cast<int>(c.solution.matches.size()), c.solution.fit.rms});
  }

  // The best, with its rotation brought into [0, 360 / order) by the symmetry
  // rotation that maps the one onto the other: each indexed spot takes the
  // simulated spot its own one turns into, whose indices are those of the
  // symmetry-equivalent reflection; the solution turns with them and its
  // residuals stay as they are.
  Candidate best = candidates.front();
  {
    const double turns = std::floor(best.solution.fit.p.Phi() / symmetryStep);
    if (turns != 0.0) {
      const SpotsByPosition positions(sim);
      std::vector<Match> turned;
      for (const Match& m : best.solution.matches)
        if (const std::optional<std::size_t> image = positions.Turned(sim[m.sim], turns * symmetryStep))
          turned.push_back({m.found, *image});
      best.solution = {Solve(sim, spots, turned), turned};
    }
  }
  const LeastSquares& fit = best.solution.fit;
  if (!fit.ok) {
    out.verdict = "the least-squares fit is singular";
    return out;
  }
  const Params& p = fit.p;
  out.fitted = true;
  out.k = p.K();
  // The rotation of the indices given (brought into [0, 360 / order) above).
  out.rotation = Mod(p.Phi(), 2.0 * kPi) * 180.0 / kPi;
  if (out.rotation >= 360.0 - 1e-9) out.rotation = 0.0;
  out.cx = p.cx;
  out.cy = p.cy;
  const Eigen::Matrix4d& v = fit.covariance;
  out.cxSu = std::sqrt(std::max(v(0, 0), 0.0));
  out.cySu = std::sqrt(std::max(v(1, 1), 0.0));
  const double k2 = out.k * out.k;
  out.kSu = std::sqrt(std::max((p.a * p.a * v(2, 2) + p.b * p.b * v(3, 3) + 2.0 * p.a * p.b * v(2, 3)) / k2, 0.0));
  out.rotationSu = std::sqrt(std::max((p.b * p.b * v(2, 2) + p.a * p.a * v(3, 3) - 2.0 * p.a * p.b * v(2, 3)) / (k2 * k2), 0.0)) *
                   180.0 / kPi;
  out.rms = fit.rms;
  out.considered = static_cast<int>(best.considered.size());
  std::vector<bool> used(spots.size(), false);
  for (const Match& m : best.solution.matches) {
    const ZoneSpot& z = pattern.spots[sim[m.sim].spot];
    const FoundSpot& f = spots[m.found];
    const auto q = p.At(sim[m.sim].gx, sim[m.sim].gy);
    out.indexed.push_back({m.found, z.h, z.d, f.x, f.y, q[0], q[1], std::hypot(q[0] - f.x, q[1] - f.y), f.intensity, z.intensity});
    used[m.found] = true;
  }
  std::stable_sort(out.indexed.begin(), out.indexed.end(), [](const IndexedSpot& a, const IndexedSpot& b) { return a.d > b.d; });
  for (std::size_t f : best.considered)
    if (!used[f]) out.unindexed.push_back(f);
  const int indexed = static_cast<int>(out.indexed.size());
  out.fraction = out.considered > 0 ? static_cast<double>(indexed) / out.considered : 0.0;

  // Chance: the part of the pattern's disc (inside the image) that lies
  // within the tolerance of a simulated spot.
  {
    double area = 0.0, covered = 0.0;
    const double rMax = out.k * gMax * 0.98, rMin = 0.5 * out.k * gMin;
    const int step = 4;
    const PointGrid grid = SpotGrid(sim, p, std::max(tolerance, 1.0));
    for (int y = 0; y < height; y += step)
      for (int x = 0; x < width; x += step) {
        const double r = std::hypot(x - p.cx, y - p.cy);
        if (r <= rMin || r >= rMax) continue;
        area += 1.0;
        if (grid.Nearest(x, y, tolerance) >= 0) covered += 1.0;
      }
    out.chanceFraction = area > 0.0 ? covered / area : 1.0;
  }

  std::vector<std::string> failed;
  if (indexed < options.minIndexed)
    failed.push_back(std::to_string(indexed) + " spots indexed, fewer than " + std::to_string(options.minIndexed));
  if (out.fraction < options.minFraction)
    failed.push_back(std::to_string(static_cast<int>(std::lround(100.0 * out.fraction))) + " % of the spots indexed, below " +
                     std::to_string(static_cast<int>(std::lround(100.0 * options.minFraction))) + " %");
  if (out.fraction < 3.0 * out.chanceFraction)
    failed.push_back("indexed fraction not 3 times the chance level " +
                     std::to_string(static_cast<int>(std::lround(100.0 * out.chanceFraction))) + " %");
  if (out.rms > tolerance / 2.0) failed.push_back("rms residual above half the tolerance");
  if (candidates.size() > 1 && static_cast<double>(candidates[1].solution.matches.size()) > 0.8 * static_cast<double>(best.solution.matches.size()))
    failed.push_back("another camera constant or rotation indexes nearly as many spots");
  bestMatches = best.solution.matches;
  out.reliable = failed.empty();
  if (out.reliable) {
    out.verdict = "reliable";
  } else {
    for (std::size_t i = 0; i < failed.size(); ++i) out.verdict += (i ? "; " : "") + failed[i];
  }
  return out;
}

}  // namespace

ZoneFit FitZoneImage(const ZonePattern& pattern, const std::vector<FoundSpot>& spots, int width, int height,
                     const ZoneFitOptions& options, const std::atomic<bool>* cancel) {
  ZoneFit out;
  out.rotationOrder = pattern.rotationOrder;
  // The zero layer's strong spots by |F|^2, strongest first: a measured zone
  // axis pattern (thick, precessed or dynamical) shows its strong reflections
  // far beyond the kinematic shape factor's reach.
  std::vector<Simulated> sim;
  double gMax = 0.0, gMin = 1e300, fMax = 0.0;
  for (const ZoneSpot& s : pattern.spots)
    if (s.laueZone == 0) fMax = std::max(fMax, s.fSquared);
  for (std::size_t i = 0; i < pattern.spots.size(); ++i) {
    const ZoneSpot& s = pattern.spots[i];
    const double strength = fMax > 0.0 ? 100.0 * s.fSquared / fMax : 0.0;
    if (s.laueZone != 0 || strength < options.strongest) continue;
    const double g = std::hypot(s.x, s.y);
    if (g <= 0.0) continue;
    sim.push_back({i, s.x, s.y, strength});
    gMax = std::max(gMax, g);
    gMin = std::min(gMin, g);
  }
  // Only spots whose symmetry images are all there (an index box too small
  // for a whole orbit cuts some), so that every equivalent rotation indexes
  // the same spots.
  {
    const SpotsByPosition positions(sim);
    std::vector<Simulated> whole;
    for (const Simulated& s : sim) {
      bool complete = true;
      for (int k = 1; k < pattern.rotationOrder && complete; ++k)
        complete = positions.Turned(s, k * 2.0 * kPi / pattern.rotationOrder).has_value();
      if (complete) whole.push_back(s);
    }
    sim = std::move(whole);
  }
  std::stable_sort(sim.begin(), sim.end(), [](const Simulated& a, const Simulated& b) { return a.intensity > b.intensity; });
  if (sim.size() < 3) {
    out.verdict = "the simulated pattern has fewer than 3 zero-layer spots of at least " + ShortestText(options.strongest) + " %";
    return out;
  }
  if (spots.size() < 3) {
    out.verdict = "fewer than 3 spots were found in the image";
    return out;
  }
  const Search search{pattern, sim, spots, options, gMin, gMax, cancel};
  std::vector<Candidate> candidates;
  std::vector<std::array<double, 2>> tried;
  std::optional<std::array<double, 2>> centre = options.centre;
  if (!centre) centre = SimilarPairCentre(spots, options.tolerance);
  if (centre) {
    if (!search.AddSolutionsAbout(*centre, candidates)) return out;
    tried.push_back(*centre);
  }
  std::vector<Match> matches;
  ZoneFit fit = candidates.empty() ? ZoneFit{} : Judge(search, candidates, width, height, options, matches);
  // Without a start, a refused fit may come from a wrong centre: a tilt
  // leaves Friedel mates unequal or lost in the noise, and the similar pairs
  // then lie about the Laue circle's centre. The centres where the most spots
  // have a partner opposite them are tried too, and the best of all taken.
  if (!fit.reliable && !options.centre) {
    for (const PatternCentre& c : SymmetryCentres(spots, options.tolerance, 4)) {
      if (std::any_of(tried.begin(), tried.end(), [&](const std::array<double, 2>& t) {
            return std::hypot(t[0] - c.x, t[1] - c.y) < 2.0 * options.tolerance;
          }))
        continue;
      if (!search.AddSolutionsAbout({c.x, c.y}, candidates)) return out;
      tried.push_back({c.x, c.y});
    }
    if (!candidates.empty()) fit = Judge(search, candidates, width, height, options, matches);
  }
  if (tried.empty()) {
    out.verdict = "no centre: no pairs of spots lie symmetric about one point";
    return out;
  }
  if (candidates.empty()) {
    out.verdict = "no camera constant and rotation index 3 or more spots";
    return out;
  }
  if (fit.fitted && options.fitTilt) FitTilt(fit, pattern, sim, matches, spots, options.maxTilt);
  return fit;
}

}  // namespace lumora
