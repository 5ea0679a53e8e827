// The intensity profile along one row of the transform and its strip graph.
#pragma once

#include <vector>

#include "fourier/ft_array.hpp"

namespace lumora {

// Magnitudes of transform row (h/2 + y) mod h, entry i from column
// (w/2 + i) mod w, so entry 0 is the highest frequency and entry w/2 the zero
// frequency. vmax is raised to their maximum and is at least 1 afterwards.
// y outside the picture wraps around instead of leaving the array.
std::vector<float> GetProfile(const FtArray& ft, double y, float& vmax);

// The magnitudes along the row the picture of DrawFT shows at displayY: entry
// i is the coefficient drawn at pixel (i, displayY). GetProfile reads one row
// and one column past that, because the picture puts the zero frequency at
// (w/2 - 1, h/2 - 1). vmax as for GetProfile; displayY wraps around.
std::vector<float> GetDisplayedProfile(const FtArray& ft, int displayY, float& vmax);

// Vertical pixel positions of the profile graph in a strip of the given inner
// height: height - (height - 5) / vmax * entry, rounded.
std::vector<int> ProfileGraph(const std::vector<float>& profile, float vmax, int stripHeight);

// Top of the strip so that it lies 10 pixels below the line at lineY, or 10
// pixels above it when there is no room below.
int ProfileStripTop(int lineY, int innerHeight, int outerHeight);

}  // namespace lumora
