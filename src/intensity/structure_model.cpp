#include "intensity/structure_model.hpp"

#include <cmath>
#include <exception>

#include "common/number_text.hpp"
#include "common/text.hpp"
#include "intensity/form_factors.hpp"
#include "lattice/matrix.hpp"

namespace lumora {
namespace {

constexpr double kRadiansPerDegree = 3.14159265358979323846 / 180.0;

std::string Lower(std::string_view s) {
  std::string out(s);
  for (char& ch : out) ch = static_cast<char>(std::tolower(static_cast<unsigned char>(ch)));
  return out;
}

// x_to = x_from * T, T the setting change (Yamamoto -> Steurer) or its inverse.
std::array<double, 6> ChangeSetting(const std::array<double, 6>& x, const Lattice& lattice, bool toSteurer) {
  const SettingChange change = SettingChangeOf(lattice.system);
  const int n = lattice.nDim;
  Matrix7 t{};
  for (int i = 0; i < n; ++i)
    for (int j = 0; j < n; ++j) t[i][j] = change.transform[i][j];
  if (!toSteurer) InvertMatrix(t, n);
  std::array<double, 6> out{};
  for (int j = 0; j < n; ++j) {
    double sum = 0.0;
    for (int i = 0; i < n; ++i) sum += x[i] * std::round(t[i][j]);
    out[j] = sum;
  }
  return out;
}

const char* ShapeName(DomainShape shape) {
  switch (shape) {
    case DomainShape::Sphere: return "sphere";
    case DomainShape::Disk: return "disk";
    case DomainShape::Polygon: return "polygon";
    case DomainShape::Triacontahedron: return "triacontahedron";
  }
  return "";
}

// Where the lattice makes the domain overflow or vanish (a huge or tiny a).
std::string UnusableDomain(const Site& site, double sizeInA, const Lattice& lattice) {
  return "site " + EchoText(site.label) + ": its " + ShapeName(site.domain.shape) + " of " +
         ShortestText(site.domain.size) + " star lengths is " + ShortestText(sizeInA) + " A across at a = " +
         ShortestText(lattice.a) + ", beyond what can be computed";
}

}  // namespace

std::variant<ResolvedModel, std::string> ResolveModel(const StructureModel& model, const Lattice& lattice) {
  if (model.system != lattice.system)
    return "the model \"" + EchoText(model.name) + "\" is for the " + Lower(SystemName(model.system)) +
           " system, the run is " + Lower(SystemName(lattice.system));
  const bool changeSetting = model.yamamoto != lattice.yamamoto;
  const int mirrored = changeSetting ? SettingChangeOf(lattice.system).mirroredComponent : -1;
  const double star = StarLength(lattice);

  // The five-fold axes of the icosahedral domains: the internal parts of the basis rows.
  std::array<Vec3, 6> axes{};
  if (lattice.nDim == 6)
    for (int i = 0; i < 6; ++i) axes[i] = InternalPart(lattice, DirectRow(lattice, i));

  ResolvedModel resolved;
  resolved.internalCellVolume = InternalCellVolume(lattice);
  if (!(std::isfinite(resolved.internalCellVolume) && resolved.internalCellVolume > 0.0))
    return "at a = " + ShortestText(lattice.a) + " the internal cell volume is beyond what can be computed";
  for (const Site& site : model.sites) {
    ResolvedSite r;
    const std::optional<int> z = AtomicNumberOf(site.element);
    if (!z) return "site " + EchoText(site.label) + ": \"" + EchoText(site.element) + "\" is not an element symbol";
    r.z = *z;
    r.occupancy = site.occupancy;
    r.bPar = site.bPar;
    r.bPerp = site.bPerp;
    r.x = changeSetting ? ChangeSetting(site.x, lattice, !model.yamamoto) : site.x;
    const double size = site.domain.size * star;
    try {
      switch (site.domain.shape) {
        case DomainShape::Sphere: r.domain = SphereDomain{size}; break;
        case DomainShape::Disk: r.domain = DiskDomain{size}; break;
        case DomainShape::Triacontahedron: r.domain = RhombicTriacontahedron(axes, size); break;
        case DomainShape::Polygon: {
          double angle = site.domain.orientation * kRadiansPerDegree;
          if (mirrored == 1) angle = -angle;  // internal y negated
          if (mirrored == 0) angle = 3.14159265358979323846 - angle;
          r.domain = RegularPolygon(site.domain.corners, size, angle);
          break;
        }
      }
    } catch (const std::exception&) {
      return UnusableDomain(site, size, lattice);
    }
    const double volume = DomainVolume(r.domain);
    if (!(std::isfinite(size) && std::isfinite(volume) && volume > 0.0)) return UnusableDomain(site, size, lattice);
    resolved.sites.push_back(std::move(r));
  }
  return resolved;
}

}  // namespace lumora
