// In-place multidimensional radix-2 complex FFT.
#pragma once

#include <span>

namespace lumora {

// data holds the product of nn complex values as interleaved (real, imaginary)
// pairs, the last dimension running fastest. It is replaced by
//   H(k) = sum over j of h(j) * exp(+2 pi i * isign * sum_m j_m k_m / nn_m)
// without normalisation: isign +1 then -1 returns the input times the number
// of points. The twiddle recurrence runs in double precision; the data stay
// single precision. Throws std::invalid_argument when a length is not a power
// of two or data does not match the lengths, instead of running off the array.
void fourn(std::span<float> data, std::span<const int> nn, int isign);

}  // namespace lumora
