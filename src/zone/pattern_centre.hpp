// The centre of a zone-axis image from its found spots alone. The positions
// of a zero-layer pattern are centrosymmetric about the direct beam, whatever
// the tilt does to the spots' strengths.
//   SimilarPairCentre: midpoints of pairs of similarly strong spots among the
//     strongest 400 vote on a grid of tolerance-sized cells; the densest cell
//     with its neighbours, averaged. Right for an untilted pattern, whose
//     Friedel mates are equally strong; a tilted one makes the mirror pairs
//     about the Laue circle's centre the similar ones.
//   SymmetryCentres: midpoints of each of the strongest spots with every
//     other spot vote; the densest cells are each scored by the number of
//     found spots p with a found spot within the tolerance of 2c - p, the
//     centre c refined as the mean midpoint of those pairs.
#pragma once

#include <array>
#include <optional>
#include <vector>

#include "zone/spot_finder.hpp"

namespace lumora {

struct PatternCentre {
  double x = 0.0, y = 0.0;  // px
  int pairs = 0;            // found spots with a partner at 2c - p
};

std::optional<std::array<double, 2>> SimilarPairCentre(const std::vector<FoundSpot>& spots, double tolerance);

// Best first, at most count, each at least 2 tolerances from the others and
// with at least 6 pairs.
std::vector<PatternCentre> SymmetryCentres(const std::vector<FoundSpot>& spots, double tolerance, std::size_t count);

}  // namespace lumora
