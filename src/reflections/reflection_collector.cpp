#include "reflections/reflection_collector.hpp"

#include <cmath>

#include "reflections/extinction.hpp"

namespace lumora {

ReflectionCollector::ReflectionCollector(const Lattice& lattice, const SpaceGroup& group,
                                         const ReflectionFilter& filter, std::size_t maxRecords, bool countOnly)
    : lattice_(lattice), group_(group), filter_(filter), maxRecords_(maxRecords), countOnly_(countOnly) {}

bool ReflectionCollector::Visit(const IndexVector& h) {
  const ReflectionValues v = ComputeReflection(lattice_, h, filter_);
  if (!v.ok) return true;

  ReflectionRecord r;
  for (int k = 0; k < 6; ++k) r.h[static_cast<std::size_t>(k)] = static_cast<float>(h[static_cast<std::size_t>(k)]);
  r.theta = static_cast<float>(v.theta);
  r.d = static_cast<float>(v.d);
  r.qe = static_cast<float>(v.qe);
  r.qi = static_cast<float>(v.qi);
  r.x = static_cast<float>(v.xyz[0]);
  r.y = static_cast<float>(v.xyz[1]);
  r.z = static_cast<float>(v.xyz[2]);
  r.planeClass = ClassifyPlane(lattice_, r);
  if (IsExtinct(r, group_, lattice_.nDim)) return true;

  if (kept_ >= maxRecords_) return false;
  ++kept_;
  if (countOnly_) return true;

  // Statistics compare the stored single-precision values.
  const int lastIndex = h[static_cast<std::size_t>(lattice_.nDim - 1)];
  if (lastIndex == 0 && std::fabs(r.x) > stats_.zeroLayerMax) stats_.zeroLayerMax = std::fabs(r.x);
  if (r.theta > stats_.thetaMax) stats_.thetaMax = r.theta;
  if (r.qi > stats_.qiMax) stats_.qiMax = r.qi;
  if (r.qi > 0.0f && r.qi < stats_.qiMinPositive) stats_.qiMinPositive = r.qi;
  stats_.bounds.Widen(r.x, r.y, r.z);
  records_.push_back(r);
  return true;
}

}  // namespace lumora
