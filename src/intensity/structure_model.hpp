// A structure model of occupation domains: the sites of the n-dimensional unit
// cell with their elements and domains, written for one system and setting.
// Domain sizes are in units of the tiling's star length (StarLength), so a
// model holds for any a; the other setting is reached by the basis change.
#pragma once

#include <array>
#include <string>
#include <variant>
#include <vector>

#include "intensity/occupation_domain.hpp"
#include "lattice/lattice.hpp"

namespace lumora {

enum class DomainShape { Sphere, Disk, Polygon, Triacontahedron };

struct DomainSpec {
  DomainShape shape = DomainShape::Disk;
  int corners = 0;           // polygons only
  double size = 0.0;         // radius (sphere, disk, polygon corners) or edge (triacontahedron), star lengths
  double orientation = 0.0;  // polygons: angle of the first corner from internal x, degrees
};

struct Site {
  std::string label;
  std::string element;           // symbol as written ("Al")
  double occupancy = 1.0;
  std::array<double, 6> x{};     // fractional coordinates in the model's direct basis
  DomainSpec domain;
  double bPar = 0.0;             // phonon Debye-Waller parameter, A^2
  double bPerp = 0.0;            // phason Debye-Waller parameter, A^2
};

struct StructureModel {
  std::string name;
  CrystalSystem system = CrystalSystem::Decagonal;
  bool yamamoto = true;  // the setting the coordinates and orientations are written in
  std::vector<Site> sites;
};

// A model placed on a run's lattice: coordinates in the run's basis, domains
// in angstrom in the run's internal frame.
struct ResolvedSite {
  int z = 0;
  double occupancy = 1.0;
  std::array<double, 6> x{};
  OccupationDomain domain;
  double bPar = 0.0;
  double bPerp = 0.0;
};

struct ResolvedModel {
  std::vector<ResolvedSite> sites;
  double internalCellVolume = 0.0;  // A^2 or A^3
};

// Places the model on the lattice. Returns a message instead when the systems
// differ, an element is unknown, or the lattice makes a domain overflow or
// vanish (a = 1e300): never throws.
std::variant<ResolvedModel, std::string> ResolveModel(const StructureModel& model, const Lattice& lattice);

}  // namespace lumora
