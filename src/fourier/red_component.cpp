#include "fourier/red_component.hpp"

#include <array>

namespace lumora {

ColorValue DefaultSystemColor(int index) {
  // Indices 0..30 of the classic scheme (scroll bar, desktop, captions, menu,
  // window, frame, texts, borders, app workspace, highlight, buttons, ...).
  static constexpr std::array<ColorValue, 31> kDefaults = {
      Rgb(212, 208, 200), Rgb(58, 110, 165),  Rgb(10, 36, 106),   Rgb(128, 128, 128), Rgb(212, 208, 200),
      Rgb(255, 255, 255), Rgb(0, 0, 0),       Rgb(0, 0, 0),       Rgb(0, 0, 0),       Rgb(255, 255, 255),
      Rgb(212, 208, 200), Rgb(212, 208, 200), Rgb(128, 128, 128), Rgb(10, 36, 106),   Rgb(255, 255, 255),
      Rgb(212, 208, 200), Rgb(128, 128, 128), Rgb(128, 128, 128), Rgb(0, 0, 0),       Rgb(212, 208, 200),
      Rgb(255, 255, 255), Rgb(64, 64, 64),    Rgb(212, 208, 200), Rgb(0, 0, 0),       Rgb(255, 255, 225),
      Rgb(181, 181, 181), Rgb(0, 0, 128),     Rgb(166, 202, 240), Rgb(192, 192, 192), Rgb(49, 106, 197),
      Rgb(236, 233, 216)};
  if (index < 0 || index >= static_cast<int>(kDefaults.size())) return 0;
  return kDefaults[static_cast<std::size_t>(index)];
}

int RedComponent(ColorValue c, const SystemColorLookup& lookup) {
  if (c & kSystemColorFlag) {
    const int index = static_cast<int>(c & ~kSystemColorFlag);
    c = (lookup ? lookup(index) : DefaultSystemColor(index)) & 0x00FFFFFFu;
  }
  return static_cast<int>(c & 0xFFu);
}

}  // namespace lumora
