#include "refine/merging.hpp"

#include <algorithm>
#include <cmath>
#include <map>

namespace lumora {

MergedData MergeObservations(const std::vector<Observation>& observations, const PointGroup& group, int nDim) {
  MergedData merged;
  merged.group = group.name;
  merged.measurements = observations.size();
  std::map<IndexVector, std::size_t> slot;
  std::vector<std::vector<const Observation*>> orbits;
  for (const Observation& obs : observations) {
    const IndexVector key = OrbitRepresentative(group, obs.h, nDim);
    auto [it, added] = slot.emplace(key, orbits.size());
    if (added) {
      orbits.emplace_back();
      merged.reflections.push_back({key, 0.0, 0.0, {}});
    }
    orbits[it->second].push_back(&obs);
    merged.reflections[it->second].members.push_back(obs.h);
  }
  double deviations = 0.0, total = 0.0;
  for (std::size_t k = 0; k < orbits.size(); ++k) {
    double sumW = 0.0, sumWI = 0.0;
    for (const Observation* obs : orbits[k]) {
      const double w = 1.0 / (obs->sigma * obs->sigma);
      sumW += w;
      sumWI += w * obs->intensity;
    }
    const double mean = sumWI / sumW;
    double sigma = std::sqrt(1.0 / sumW);
    const std::size_t m = orbits[k].size();
    if (m > 1) {
      ++merged.multiple;
      double chi2 = 0.0;
      for (const Observation* obs : orbits[k]) {
        const double d = (obs->intensity - mean) / obs->sigma;
        chi2 += d * d;
        deviations += std::fabs(obs->intensity - mean);
        total += obs->intensity;
      }
      sigma *= std::sqrt(std::max(1.0, chi2 / static_cast<double>(m - 1)));
    }
    merged.reflections[k].intensity = mean;
    merged.reflections[k].sigma = sigma;
  }
  merged.rInt = total > 0.0 ? deviations / total : 0.0;
  return merged;
}

MergedData KeepObservations(const std::vector<Observation>& observations) {
  MergedData kept;
  kept.group = "none";
  kept.measurements = observations.size();
  for (const Observation& obs : observations) kept.reflections.push_back({obs.h, obs.intensity, obs.sigma, {obs.h}});
  return kept;
}

}  // namespace lumora
