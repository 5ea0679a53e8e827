#include "lattice/matrix.hpp"

#include <cmath>
#include <utility>

namespace lumora {

void InvertMatrix(Matrix7& m, int n) {
  std::array<int, 8> ipiv{};
  std::array<int, 8> pivotRow{};
  std::array<int, 8> pivotCol{};
  for (int i = 0; i < n; ++i) {
    double big = 0.0;
    int irow = 0;
    int icol = 0;
    for (int j = 0; j < n; ++j) {
      if (ipiv[j] == 1) continue;
      for (int k = 0; k < n; ++k) {
        if (ipiv[k] != 0) continue;
        if (std::fabs(m[j][k]) >= std::fabs(big)) {
          big = m[j][k];
          irow = j;
          icol = k;
        }
      }
    }
    ipiv[icol] += 1;
    if (irow != icol) {
      for (int l = 0; l < n; ++l) std::swap(m[irow][l], m[icol][l]);
    }
    pivotRow[i] = irow;
    pivotCol[i] = icol;
    const double pivot = m[icol][icol];
    m[icol][icol] = 1.0;
    for (int l = 0; l < n; ++l) m[icol][l] = m[icol][l] / pivot;
    for (int ll = 0; ll < n; ++ll) {
      if (ll == icol) continue;
      const double dum = m[ll][icol];
      m[ll][icol] = 0.0;
      for (int l = 0; l < n; ++l) m[ll][l] = m[ll][l] - m[icol][l] * dum;
    }
  }
  for (int l = n - 1; l >= 0; --l) {
    if (pivotRow[l] == pivotCol[l]) continue;
    for (int k = 0; k < n; ++k) std::swap(m[k][pivotRow[l]], m[k][pivotCol[l]]);
  }
}

Matrix7 MultiplyMatrix(const Matrix7& left, const Matrix7& right, int n) {
  Matrix7 out{};
  for (int i = 0; i < n; ++i)
    for (int j = 0; j < n; ++j) {
      double sum = 0.0;
      for (int k = 0; k < n; ++k) sum += left[i][k] * right[k][j];
      out[i][j] = sum;
    }
  return out;
}

}  // namespace lumora
