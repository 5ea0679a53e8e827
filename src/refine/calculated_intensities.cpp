#include "refine/calculated_intensities.hpp"

#include <algorithm>
#include <cmath>
#include <thread>

#include "common/number_text.hpp"
#include "intensity/fast_trig.hpp"
#include "refine/domain_growth.hpp"

namespace lumora {
namespace {

constexpr double kTwoPi = 6.283185307179586476925;

std::string IndexText(const IndexVector& h, int nDim) {
  std::string text;
  for (int i = 0; i < nDim; ++i) text += (i ? " " : "") + std::to_string(h[static_cast<std::size_t>(i)]);
  return text;
}

// The free variable of each parameter of each site, or -1.
struct SiteSlots {
  int occupancy = -1, bPar = -1, bPerp = -1, size = -1;
};

}  // namespace

std::variant<CalculatedIntensities, std::string> CalculatedIntensities::Make(
    const Lattice& lattice, const Radiation& radiation, const StructureModel& model,
    const std::vector<std::vector<IndexVector>>& reflections) {
  const double wavelength = radiation.wavelength;
  CalculatedIntensities calc;
  calc.lattice_ = lattice;
  auto resolved = ResolveModel(model, lattice);
  if (const std::string* error = std::get_if<std::string>(&resolved)) return *error;
  const ResolvedModel& placed = std::get<ResolvedModel>(resolved);
  calc.sites_ = placed.sites.size();
  const int n = lattice.nDim;

  struct Geometry {
    Vec3 par{}, perp{};
  };
  std::vector<Geometry> geometry;
  double sMax = 0.0;
  for (const auto& members : reflections) {
    std::vector<std::size_t> points;
    for (const IndexVector& h : members) {
      std::array<double, 6> w{};
      for (int i = 0; i < n; ++i)
        for (int j = 0; j < n; ++j) w[i] += lattice.inverseMatrix[i][j] * static_cast<double>(h[j]);
      Geometry g{PhysicalPart(lattice, w), InternalPart(lattice, w)};
      const double s = std::sqrt(g.par[0] * g.par[0] + g.par[1] * g.par[1] + g.par[2] * g.par[2]) / 2.0;
      const double sinTheta = wavelength * s;
      if (!(sinTheta < 1.0))
        return "reflection " + IndexText(h, n) + " lies beyond the limiting sphere at the wavelength " +
               ShortestText(wavelength) + " A (sin theta = " + ShortestText(sinTheta) + ")";
      sMax = std::max(sMax, s);
      Point p;
      p.s2 = s * s;
      p.perp = g.perp;
      p.perp2 = g.perp[0] * g.perp[0] + g.perp[1] * g.perp[1] + g.perp[2] * g.perp[2];
      const double sin2Theta = 2.0 * sinTheta * std::sqrt(1.0 - sinTheta * sinTheta);
      p.extinction = 0.001 * wavelength * wavelength * wavelength / std::max(sin2Theta, 1e-12);
      points.push_back(calc.points_.size());
      calc.points_.push_back(p);
      geometry.push_back(g);
    }
    calc.members_.push_back(std::move(points));
  }

  // Scattering factors and phases do not change while the model refines.
  std::vector<ScatteringTable> tables;
  std::vector<std::size_t> tableOf;
  for (const ResolvedSite& site : placed.sites) {
    auto it = std::find_if(tables.begin(), tables.end(), [&](const ScatteringTable& t) { return t.z() == site.z; });
    if (it == tables.end()) {
      try {
        tables.emplace_back(site.z, radiation, sMax * 1.001 + 1e-3);
      } catch (const std::exception& e) {
        return std::string(e.what());
      }
      it = tables.end() - 1;
    }
    tableOf.push_back(static_cast<std::size_t>(it - tables.begin()));
  }
  calc.scatter_.reserve(calc.points_.size() * calc.sites_);
  std::size_t index = 0;
  for (const auto& members : reflections)
    for (const IndexVector& h : members) {
      Point& p = calc.points_[index++];
      p.first = calc.scatter_.size();
      for (std::size_t j = 0; j < calc.sites_; ++j) {
        const ResolvedSite& site = placed.sites[j];
        double hx = 0.0;
        for (int i = 0; i < n; ++i) hx += static_cast<double>(h[i]) * site.x[i];
        hx -= std::round(hx);
        const SinCos sc = FastSinCos(kTwoPi * hx);
        calc.scatter_.push_back(tables[tableOf[j]](std::sqrt(p.s2)) * std::complex<double>(sc.cos, sc.sin) /
                                placed.internalCellVolume);
      }
    }
  return calc;
}

ResolvedModel CalculatedIntensities::Resolve(const StructureModel& model) const {
  // The model was placed once in Make; sizes and values change, elements do not.
  return std::get<ResolvedModel>(ResolveModel(model, lattice_));
}

double CalculatedIntensities::Resolution(std::size_t reflection) const {
  return std::sqrt(points_[members_[reflection].front()].s2);
}

std::vector<std::complex<double>> CalculatedIntensities::StructureFactors(const ModelState& state) const {
  const ResolvedModel model = Resolve(state.model);
  std::vector<std::complex<double>> out;
  out.reserve(members_.size());
  for (const auto& members : members_) {
    const Point& p = points_[members.front()];
    std::complex<double> f = 0.0;
    for (std::size_t j = 0; j < sites_; ++j) {
      const ResolvedSite& site = model.sites[j];
      const double dw = std::exp(-site.bPar * p.s2 - site.bPerp * p.perp2 / 4.0);
      f += site.occupancy * dw * scatter_[p.first + j] * DomainTransform(site.domain, p.perp);
    }
    out.push_back(f);
  }
  return out;
}

void CalculatedIntensities::Evaluate(const ModelState& state, const std::vector<FreeParameter>& free,
                                     std::vector<double>& intensity, Eigen::MatrixXd* jacobian) const {
  const ResolvedModel model = Resolve(state.model);
  const Eigen::Index count = static_cast<Eigen::Index>(free.size());
  std::vector<SiteSlots> slots(sites_);
  int scaleSlot = -1, extinctionSlot = -1;
  for (std::size_t k = 0; k < free.size(); ++k)
    for (const ParameterRef& ref : free[k].members) {
      const int slot = static_cast<int>(k);
      switch (ref.kind) {
        case ParameterKind::Scale: scaleSlot = slot; break;
        case ParameterKind::Extinction: extinctionSlot = slot; break;
        case ParameterKind::Occupancy: slots[static_cast<std::size_t>(ref.site)].occupancy = slot; break;
        case ParameterKind::BPar: slots[static_cast<std::size_t>(ref.site)].bPar = slot; break;
        case ParameterKind::BPerp: slots[static_cast<std::size_t>(ref.site)].bPerp = slot; break;
        case ParameterKind::Size: slots[static_cast<std::size_t>(ref.site)].size = slot; break;
        default: break;  // not the structure's: no derivative here
      }
    }
  intensity.assign(members_.size(), 0.0);
  if (jacobian) jacobian->setZero(static_cast<Eigen::Index>(members_.size()), count);
  // Rows are independent: the reflections are shared out among the cores.
  auto work = [&](std::size_t begin, std::size_t end) {
    std::vector<std::complex<double>> dF(free.size());
    Eigen::VectorXd row(count);
    for (std::size_t r = begin; r < end; ++r) {
      const double share = 1.0 / static_cast<double>(members_[r].size());
      for (std::size_t point : members_[r]) {
        const Point& p = points_[point];
        std::complex<double> f = 0.0;
        std::fill(dF.begin(), dF.end(), 0.0);
        for (std::size_t j = 0; j < sites_; ++j) {
          const ResolvedSite& site = model.sites[j];
          const std::complex<double> base =
              scatter_[p.first + j] * std::exp(-site.bPar * p.s2 - site.bPerp * p.perp2 / 4.0);
          const std::complex<double> u = base * DomainTransform(site.domain, p.perp);
          const std::complex<double> term = site.occupancy * u;
          f += term;
          if (!jacobian) continue;
          const SiteSlots& s = slots[j];
          if (s.occupancy >= 0) dF[static_cast<std::size_t>(s.occupancy)] += u;
          if (s.bPar >= 0) dF[static_cast<std::size_t>(s.bPar)] -= p.s2 * term;
          if (s.bPerp >= 0) dF[static_cast<std::size_t>(s.bPerp)] -= p.perp2 / 4.0 * term;
          if (s.size >= 0)
            dF[static_cast<std::size_t>(s.size)] += site.occupancy * base * DomainGrowth(site.domain, p.perp) /
                                                    state.model.sites[j].domain.size;
        }
        const double f2 = std::norm(f);
        const double c = state.extinction * f2 * p.extinction;
        const double y = 1.0 / std::sqrt(1.0 + c);
        intensity[r] += share * state.scale * f2 * y;
        if (!jacobian) continue;
        // d(|F|^2 y)/d|F|^2, and d|F|^2/dp = 2 Re(conj(F) dF/dp).
        const double slope = y - 0.5 * c * y * y * y;
        for (Eigen::Index k = 0; k < count; ++k)
          row(k) = state.scale * slope * 2.0 * (std::conj(f) * dF[static_cast<std::size_t>(k)]).real();
        if (scaleSlot >= 0) row(scaleSlot) += f2 * y;
        if (extinctionSlot >= 0) row(extinctionSlot) += -0.5 * state.scale * f2 * y * y * y * f2 * p.extinction;
        jacobian->row(static_cast<Eigen::Index>(r)) += share * row;
      }
    }
  };
  const std::size_t total = members_.size();
  const std::size_t threads =
      points_.size() < 2048 ? 1 : std::clamp<std::size_t>(std::thread::hardware_concurrency(), 1, 16);
  const std::size_t chunk = (total + threads - 1) / threads;
  std::vector<std::thread> workers;
  for (std::size_t t = 1; t < threads; ++t)
    workers.emplace_back(work, std::min(total, t * chunk), std::min(total, (t + 1) * chunk));
  work(0, std::min(total, chunk));
  for (std::thread& w : workers) w.join();
}

}  // namespace lumora
