#include "powder/peak_indexing.hpp"

#include <algorithm>
#include <cmath>
#include <utility>

namespace lumora {

std::vector<int> IndexPeaks(const std::vector<double>& observed, const std::vector<double>& positions,
                            double tolerance) {
  std::vector<std::pair<double, int>> sorted;
  sorted.reserve(positions.size());
  for (std::size_t i = 0; i < positions.size(); ++i)
    if (std::isfinite(positions[i])) sorted.emplace_back(positions[i], static_cast<int>(i));
  std::sort(sorted.begin(), sorted.end());

  std::vector<int> match(observed.size(), -1);
  std::vector<double> distance(observed.size(), 0.0);
  for (std::size_t k = 0; k < observed.size(); ++k) {
    const auto next = std::lower_bound(sorted.begin(), sorted.end(), std::make_pair(observed[k], -1));
    double best = tolerance;
    for (auto it : {next, next == sorted.begin() ? sorted.end() : std::prev(next)}) {
      if (it == sorted.end()) continue;
      const double gap = std::fabs(it->first - observed[k]);
      if (gap <= best) {
        best = gap;
        match[k] = it->second;
      }
    }
    distance[k] = best;
  }
  // One peak per line: the nearest keeps it (the first on a tie).
  std::vector<std::pair<int, std::size_t>> claims;
  for (std::size_t k = 0; k < observed.size(); ++k)
    if (match[k] >= 0) claims.emplace_back(match[k], k);
  std::sort(claims.begin(), claims.end());
  for (std::size_t i = 0; i < claims.size();) {
    std::size_t end = i, keep = claims[i].second;
    for (; end < claims.size() && claims[end].first == claims[i].first; ++end)
      if (distance[claims[end].second] < distance[keep]) keep = claims[end].second;
    for (std::size_t j = i; j < end; ++j)
      if (claims[j].second != keep) match[claims[j].second] = -1;
    i = end;
  }
  return match;
}

}  // namespace lumora
