#include "fourier/fourn.hpp"

#include <cmath>
#include <stdexcept>
#include <utility>

namespace lumora {
namespace {

bool IsPowerOfTwo(long long n) { return n > 0 && (n & (n - 1)) == 0; }

}  // namespace

void fourn(std::span<float> data, std::span<const int> nn, int isign) {
  long long ntot = 1;
  for (int n : nn) {
    if (!IsPowerOfTwo(n)) throw std::invalid_argument("fourn: every length must be a power of two");
    ntot *= n;
  }
  if (nn.empty() || static_cast<long long>(data.size()) != 2 * ntot)
    throw std::invalid_argument("fourn: the data do not match the lengths");

  // Written with 1-based indices as the classic routine; d(i) is data[i - 1].
  auto d = [&data](long long i) -> float& { return data[static_cast<std::size_t>(i - 1)]; };
  long long nprev = 1;
  for (std::size_t idim = nn.size(); idim-- > 0;) {
    // The fastest dimension (stride one complex value) comes first.
    const long long n = nn[idim];
    const long long nrem = ntot / (n * nprev);
    const long long ip1 = nprev << 1;
    const long long ip2 = ip1 * n;
    const long long ip3 = ip2 * nrem;
    long long i2rev = 1;
    for (long long i2 = 1; i2 <= ip2; i2 += ip1) {
      if (i2 < i2rev) {
        for (long long i1 = i2; i1 <= i2 + ip1 - 2; i1 += 2) {
          for (long long i3 = i1; i3 <= ip3; i3 += ip2) {
            const long long i3rev = i2rev + i3 - i2;
            std::swap(d(i3), d(i3rev));
            std::swap(d(i3 + 1), d(i3rev + 1));
          }
        }
      }
      long long ibit = ip2 >> 1;
      while (ibit >= ip1 && i2rev > ibit) {
        i2rev -= ibit;
        ibit >>= 1;
      }
      i2rev += ibit;
    }
    long long ifp1 = ip1;
    while (ifp1 < ip2) {
      const long long ifp2 = ifp1 << 1;
      const double theta = isign * 6.28318530717959 / static_cast<double>(ifp2 / ip1);
      const double half = std::sin(0.5 * theta);
      const double wpr = -2.0 * half * half;
      const double wpi = std::sin(theta);
      double wr = 1.0;
      double wi = 0.0;
      for (long long i3 = 1; i3 <= ifp1; i3 += ip1) {
        for (long long i1 = i3; i1 <= i3 + ip1 - 2; i1 += 2) {
          for (long long i2 = i1; i2 <= ip3; i2 += ifp2) {
            const long long k1 = i2;
            const long long k2 = k1 + ifp1;
            // The products use the double twiddles; the butterfly itself is
            // single precision like the data.
            const float tempr = static_cast<float>(wr * d(k2) - wi * d(k2 + 1));
            const float tempi = static_cast<float>(wr * d(k2 + 1) + wi * d(k2));
            d(k2) = d(k1) - tempr;
            d(k2 + 1) = d(k1 + 1) - tempi;
            d(k1) += tempr;
            d(k1 + 1) += tempi;
          }
        }
        const double wtemp = wr;
        wr = wr * wpr - wi * wpi + wr;
        wi = wi * wpr + wtemp * wpi + wi;
      }
      ifp1 = ifp2;
    }
    nprev *= n;
  }
}

}  // namespace lumora
