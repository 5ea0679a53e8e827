// The number of index vectors in the loop box, (2L+1)^5 or (2L+1)^6. With loop
// limits up to 32767 it exceeds 64 bits, so it is kept in 128 bits.
#pragma once

#include <array>
#include <string>

namespace lumora {

__extension__ typedef unsigned __int128 BoxCount;

// Product of (2 L_k + 1) over the first nDim limits; 0 when a limit is negative.
BoxCount BoxSize(const std::array<int, 6>& loopLimits, int nDim);

std::string ToDecimal(BoxCount value);

}  // namespace lumora
