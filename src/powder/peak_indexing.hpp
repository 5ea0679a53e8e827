// Indexing of observed powder peaks: each peak takes the nearest calculated
// line within a tolerance, and a line takes at most one peak (the nearest;
// the others stay unindexed rather than pull the fit towards one line twice).
#pragma once

#include <vector>

namespace lumora {

// observed and positions: 2 theta in degrees, positions per line (NaN for a
// line that cannot be seen); tolerance in degrees. Per observed peak the index
// of its line in positions, or -1.
std::vector<int> IndexPeaks(const std::vector<double>& observed, const std::vector<double>& positions,
                            double tolerance);

}  // namespace lumora
