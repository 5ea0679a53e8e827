#include "lattice/matrix_text.hpp"

#include "common/number_text.hpp"
#include "common/text.hpp"

namespace lumora {

std::string MatrixText(const Matrix7& m, int rows, int cols) {
  std::string s;
  for (int i = 0; i < rows; ++i) {
    for (int j = 0; j < cols; ++j) s += PadLeft(FormatFixed(m[i][j], 4), 9);
    s += kCrLf;
  }
  return s;
}

}  // namespace lumora
