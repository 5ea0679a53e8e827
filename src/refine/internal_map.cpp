#include "refine/internal_map.hpp"

#include <Eigen/Dense>

#include <algorithm>
#include <cmath>
#include <map>

#include "refine/calculated_intensities.hpp"

namespace lumora {
namespace {

constexpr double kTwoPi = 6.283185307179586476925;

double Dot(const Vec3& a, const Vec3& b) { return a[0] * b[0] + a[1] * b[1] + a[2] * b[2]; }

Vec3 Cross(const Vec3& a, const Vec3& b) {
  return {a[1] * b[2] - a[2] * b[1], a[2] * b[0] - a[0] * b[2], a[0] * b[1] - a[1] * b[0]};
}

// The largest distance of the domain's boundary from its centre, A.
double DomainRadius(const OccupationDomain& domain) {
  if (const auto* s = std::get_if<SphereDomain>(&domain)) return s->radius;
  if (const auto* d = std::get_if<DiskDomain>(&domain)) return d->radius;
  if (const auto* p = std::get_if<PolygonDomain>(&domain)) {
    double r = 0.0;
    for (const Vec2& c : p->corners()) r = std::max(r, std::hypot(c[0], c[1]));
    return r;
  }
  double r = 0.0;  // a zonohedron reaches half the sum of its generators' lengths at most
  for (const Vec3& g : std::get<ZonohedronDomain>(domain).generators()) r += std::sqrt(Dot(g, g)) / 2.0;
  return r;
}

// The domain cut by the plane through its centre spanned by e_u, e_v: a
// polygon (corners as they are), a circle (disk, sphere) or the section of a
// zonohedron (the distance to its boundary along each direction of the plane).
std::vector<std::array<double, 2>> Outline(const OccupationDomain& domain, const Vec3& eu, const Vec3& ev) {
  std::vector<std::array<double, 2>> out;
  if (const auto* p = std::get_if<PolygonDomain>(&domain)) {
    for (const Vec2& c : p->corners()) out.push_back({c[0], c[1]});
    return out;
  }
  constexpr int kSteps = 180;
  for (int k = 0; k < kSteps; ++k) {
    const double angle = kTwoPi * k / kSteps;
    const double cu = std::cos(angle), sv = std::sin(angle);
    double reach = 0.0;
    if (const auto* s = std::get_if<SphereDomain>(&domain)) reach = s->radius;
    else if (const auto* d = std::get_if<DiskDomain>(&domain)) reach = d->radius;
    else {
      // Faces n.r <= n.c of every generator pair (n = g_a x g_b, c the face centre).
      const auto& g = std::get<ZonohedronDomain>(domain).generators();
      const Vec3 dir{cu * eu[0] + sv * ev[0], cu * eu[1] + sv * ev[1], cu * eu[2] + sv * ev[2]};
      reach = 1e300;
      for (std::size_t a = 0; a < g.size(); ++a)
        for (std::size_t b = a + 1; b < g.size(); ++b) {
          const Vec3 n = Cross(g[a], g[b]);
          double support = 0.0;
          for (std::size_t j = 0; j < g.size(); ++j)
            if (j != a && j != b) support += std::fabs(Dot(n, g[j])) / 2.0;
          const double along = std::fabs(Dot(n, dir));
          if (along > 1e-12) reach = std::min(reach, support / along);
        }
    }
    out.push_back({reach * cu, reach * sv});
  }
  return out;
}

}  // namespace

std::string MapSourceName(MapSource source) {
  switch (source) {
    case MapSource::Observed: return "observed";
    case MapSource::Calculated: return "calculated";
    case MapSource::Difference: return "difference";
  }
  return "";
}

std::array<double, 2> InternalMap::Position(int row, int column) const {
  const double step = 2.0 * halfWidth / pixels;
  return {-halfWidth + (column + 0.5) * step, halfWidth - (row + 0.5) * step};
}

std::variant<std::vector<InternalMap>, std::string> InternalSpaceMaps(const RefinementOutcome& outcome,
                                                                      const Lattice& lattice, const Radiation& radiation,
                                                                      const PointGroup* group,
                                                                      const MapRequest& request) {
  if (outcome.status != RefinementStatus::Refined) return std::string("there is no refined model to draw a map of");
  if (request.pixels < 16 || request.pixels > 1024)
    return "map size " + std::to_string(request.pixels) + " is not from 16 to 1024 pixels";
  if (!(request.halfWidth >= 0.0) || !std::isfinite(request.halfWidth))
    return std::string("the map's half width must be 0 (automatic) or above");
  const StructureModel& model = outcome.refined.model;
  const auto site = std::find_if(model.sites.begin(), model.sites.end(), [&](const Site& s) { return s.label == request.site; });
  if (site == model.sites.end()) return "the model has no site \"" + request.site + "\"";
  const std::size_t siteIndex = static_cast<std::size_t>(site - model.sites.begin());
  auto resolvedOr = ResolveModel(model, lattice);
  if (const std::string* error = std::get_if<std::string>(&resolvedOr)) return *error;
  const ResolvedSite& placed = std::get<ResolvedModel>(resolvedOr).sites[siteIndex];
  const int n = lattice.nDim;

  // Every reflection's orbit, each index vector once, with the ratio that
  // turns F_calc into F_obs.
  std::map<IndexVector, double> ratio;
  for (const FittedReflection& f : outcome.reflections) {
    const double r = f.calculated > 0.0 ? std::sqrt(std::max(f.observed, 0.0) / f.calculated) : 0.0;
    std::vector<IndexVector> orbit;
    if (group)
      for (const IndexMatrix& m : group->operations) orbit.push_back(Apply(m, f.h, n));
    orbit.push_back(f.h);
    IndexVector minus{};
    for (int i = 0; i < n; ++i) minus[i] = -f.h[i];
    orbit.push_back(minus);
    for (const IndexVector& h : orbit) ratio.emplace(h, r);
  }
  std::vector<std::vector<IndexVector>> each;
  for (const auto& [h, r] : ratio) each.push_back({h});
  auto calcOr = CalculatedIntensities::Make(lattice, radiation, model, each);
  if (const std::string* error = std::get_if<std::string>(&calcOr)) return *error;
  const std::vector<std::complex<double>> fCalc = std::get<CalculatedIntensities>(calcOr).StructureFactors(outcome.refined);

  // Coefficients c_H = F(H) exp(-2 pi i H.x_j) and internal components q_perp(H).
  // H and -H give complex conjugate terms: one of each pair, counted twice.
  std::vector<std::complex<double>> coefficient;
  std::vector<Vec3> perp;
  std::size_t k = 0;
  for (const auto& [h, r] : ratio) {
    IndexVector minus{};
    for (int i = 0; i < n; ++i) minus[static_cast<std::size_t>(i)] = -h[static_cast<std::size_t>(i)];
    const bool paired = ratio.count(minus) > 0;
    if (paired && h < minus) {
      ++k;
      continue;
    }
    std::complex<double> f = fCalc[k++];
    if (request.source == MapSource::Observed) f *= r;
    if (request.source == MapSource::Difference) f *= r - 1.0;
    double hx = 0.0;
    for (int i = 0; i < n; ++i) hx += h[static_cast<std::size_t>(i)] * placed.x[static_cast<std::size_t>(i)];
    hx -= std::round(hx);
    coefficient.push_back((paired ? 2.0 : 1.0) * f * std::polar(1.0, -kTwoPi * hx));
    std::array<double, 6> w{};
    for (int i = 0; i < n; ++i)
      for (int j = 0; j < n; ++j) w[static_cast<std::size_t>(i)] += lattice.inverseMatrix[i][j] * h[static_cast<std::size_t>(j)];
    perp.push_back(InternalPart(lattice, w));
  }
  std::vector<std::pair<std::string, std::array<Vec3, 2>>> planes;
  if (n == 6)
    planes = {{"internal y-z", {Vec3{0, 1, 0}, Vec3{0, 0, 1}}},
              {"internal x-z", {Vec3{1, 0, 0}, Vec3{0, 0, 1}}},
              {"internal x-y", {Vec3{1, 0, 0}, Vec3{0, 1, 0}}}};
  else
    planes = {{"internal x-y", {Vec3{1, 0, 0}, Vec3{0, 1, 0}}}};

  const double halfWidth = request.halfWidth > 0.0 ? request.halfWidth : 1.3 * DomainRadius(placed.domain);
  const int pixels = request.pixels;
  const double step = 2.0 * halfWidth / pixels;
  std::vector<InternalMap> maps;
  for (const auto& [name, axes] : planes) {
    // rho[row][column] = Re sum_H a_H(row) b_H(column) with a_H = c_H exp(-2 pi i q.e_v v_row) and
    // b_H = exp(-2 pi i q.e_u u_column): Re(a) Re(b) - Im(a) Im(b), two real matrix products,
    // over blocks of reflections; the phases along a row follow by one multiplication a pixel.
    constexpr std::size_t kBlock = 2048;
    Eigen::MatrixXd rho = Eigen::MatrixXd::Zero(pixels, pixels);
    for (std::size_t first = 0; first < coefficient.size(); first += kBlock) {
      const Eigen::Index block = static_cast<Eigen::Index>(std::min(kBlock, coefficient.size() - first));
      Eigen::MatrixXd aRe(pixels, block), aIm(pixels, block), bRe(block, pixels), bIm(block, pixels);
      for (Eigen::Index h = 0; h < block; ++h) {
        const Vec3& q = perp[first + static_cast<std::size_t>(h)];
        const double qu = Dot(q, axes[0]), qv = Dot(q, axes[1]);
        std::complex<double> a = coefficient[first + static_cast<std::size_t>(h)] * std::polar(1.0, -kTwoPi * qv * (halfWidth - step / 2.0));
        std::complex<double> b = std::polar(1.0, -kTwoPi * qu * (-halfWidth + step / 2.0));
        const std::complex<double> aStep = std::polar(1.0, kTwoPi * qv * step), bStep = std::polar(1.0, -kTwoPi * qu * step);
        for (int p = 0; p < pixels; ++p) {
          aRe(p, h) = a.real(), aIm(p, h) = a.imag();
          bRe(h, p) = b.real(), bIm(h, p) = b.imag();
          a *= aStep;
          b *= bStep;
        }
      }
      rho.noalias() += aRe * bRe;
      rho.noalias() -= aIm * bIm;
    }
    InternalMap map;
    map.site = request.site;
    map.source = request.source;
    map.plane = name;
    map.pixels = pixels;
    map.halfWidth = halfWidth;
    map.values.resize(static_cast<std::size_t>(pixels * pixels));
    for (int r = 0; r < pixels; ++r)
      for (int c = 0; c < pixels; ++c) map.values[static_cast<std::size_t>(r * pixels + c)] = rho(r, c);
    map.outlines.push_back(Outline(placed.domain, axes[0], axes[1]));
    maps.push_back(std::move(map));
  }
  return maps;
}

}  // namespace lumora
