// How an occupation domain's transform changes with its size: for the domain
// W scaled by lambda about its centre,
//   lambda dT/dlambda = surface integral over dW of (r . n) exp(2 pi i q . r) dS,
// in closed form for spheres (4 pi r^3 sinc kr), disks (2 pi r^2 J0(kr)),
// polygons (edge sums) and zonohedra (face sums), k = 2 pi |q|. q in 1/A
// without 2 pi, internal components; the value in A^2 or A^3 like T itself.
#pragma once

#include <complex>

#include "intensity/occupation_domain.hpp"

namespace lumora {

std::complex<double> DomainGrowth(const OccupationDomain& domain, const Vec3& q);

}  // namespace lumora
