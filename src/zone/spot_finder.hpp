// Spots of a measured diffraction image with sub-pixel centres.
//   1. The image smoothed over a (2r+1)^2 box, r = round(spot sigma), minus
//      the mean of an annulus around it (out to 4r + 2): the local contrast.
//   2. The local noise: the standard deviation of the raw pixels in that
//      annulus, as it carries into the contrast; a spot is a strict local
//      maximum of the contrast (within 2r + 1 pixels) standing `threshold`
//      times its noise above the annulus.
//   3. Its centre: the Gaussian-weighted centroid (width the spot sigma) of the
//      pixels above the annulus mean, iterated until it moves by less than
//      1e-4 px; its intensity: the sum above the annulus mean within 3 sigma.
// The gradient of a diffuse background and the edge of a beam stop raise the
// annulus's scatter, so they do not pass as spots.
#pragma once

#include <atomic>
#include <vector>

#include "zone/grey_image.hpp"

namespace lumora {

struct SpotSearchOptions {
  double sigma = 1.5;       // spot width (Gaussian sigma), px, 0.5..20
  double threshold = 6.0;   // multiples of the local noise, > 0
  int maxSpots = 2000;      // the strongest kept
};

struct FoundSpot {
  double x = 0.0, y = 0.0;  // px, (0, 0) the top-left pixel's centre, y down
  double intensity = 0.0;   // summed above the local background
  double significance = 0.0;  // contrast over its noise
};

// Strongest first. Empty when cancelled.
std::vector<FoundSpot> FindSpots(const GreyImage& image, const SpotSearchOptions& options = {},
                                 const std::atomic<bool>* cancel = nullptr);

}  // namespace lumora
