#include "fourier/grey_table.hpp"

namespace lumora {

ColorTable GreyTable() {
  ColorTable table{};
  for (int i = 0; i < 256; ++i) table[static_cast<std::size_t>(i)] = Rgb(i, i, i);
  return table;
}

}  // namespace lumora
