// The plain-text form of a matrix shown in the Used Matrices window and
// printed by "lumora-cli matrices".
#pragma once

#include <string>

#include "lattice/matrix.hpp"

namespace lumora {

// One CRLF-ended line per row of the top-left rows x cols block; every element
// formatted "##0.0000" and right-justified in 9 characters (cut to its leftmost
// 9 characters when longer).
std::string MatrixText(const Matrix7& m, int rows, int cols);

}  // namespace lumora
