// Where to start the refinement when a (and c) are only roughly known.
// Gauss-Newton from a start more than a few tenths of a percent off indexes the
// high-angle peaks on the wrong lines and settles there, so the start is first
// looked for on a grid: the relative changes of a and c within a range that put
// the peaks nearest to lines. With a = a0 e^alpha and c = c0 e^(alpha + beta),
//   ln q = ln sqrt(axy / a0^2 + az e^(-2 beta) / c0^2) - alpha,
// so for each beta the lines' ln q are sorted once and alpha only shifts them.
#pragma once

#include <vector>

#include "powder/scalable_lines.hpp"

namespace lumora {

struct StartSearch {
  double range = 0.02;      // relative change of a and c searched either way
  double tolerance = 0.1;   // degrees 2 theta, as the indexing's
  bool searchA = true;      // vary a
  bool searchC = false;     // vary c (axial systems)
  bool hasC = false;        // an axial system (c is a lattice constant at all)
};

struct StartFound {
  double a = 0.0, c = 0.0;
  // Sum over the peaks of min(|d2theta| / tolerance, 1)^2 at the start found
  // and at the given one: lower is better, the number of peaks at worst.
  double cost = 0.0, givenCost = 0.0;
};

// observed: 2 theta of the peaks, ascending; zero: the zero shift to assume.
// Returns the given a, c when nothing is searched or nothing beats them.
StartFound FindRefinementStart(const std::vector<ScalableLine>& lines, const std::vector<double>& observed,
                               double wavelength, double a0, double c0, double zero, const StartSearch& search);

}  // namespace lumora
