// The complex transform of a picture, zero frequency at (0, 0).
#pragma once

#include <cmath>
#include <cstddef>
#include <vector>

namespace lumora {

struct FtValue {
  float re = 0.0f;
  float im = 0.0f;
};

struct FtArray {
  int width = 0;   // first index x
  int height = 0;  // second index y, the fast one
  std::vector<FtValue> values;  // FT(x, y) at index x * height + y

  FtArray() = default;
  FtArray(int w, int h) : width(w), height(h), values(static_cast<std::size_t>(w) * static_cast<std::size_t>(h)) {}

  const FtValue& at(int x, int y) const { return values[Index(x, y)]; }
  FtValue& at(int x, int y) { return values[Index(x, y)]; }
  double Magnitude(int x, int y) const {
    const FtValue& v = at(x, y);
    return std::sqrt(static_cast<double>(v.re) * v.re + static_cast<double>(v.im) * v.im);
  }

 private:
  std::size_t Index(int x, int y) const {
    return static_cast<std::size_t>(x) * static_cast<std::size_t>(height) + static_cast<std::size_t>(y);
  }
};

}  // namespace lumora
