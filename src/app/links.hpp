// The web addresses and literature references the Help menu and the About
// window show. Kept in one place so that they can be changed without touching
// the windows.
#pragma once

namespace lumora::links {

inline constexpr const char* kProductHome = "https://lumora.example.org/";
inline constexpr const char* kMakerHome = "https://brevant.example.org/";
inline constexpr const char* kAuthorHome = "https://people.example.org/lumora-author/";
inline constexpr const char* kQuasicrystalInfo = "https://en.wikipedia.org/wiki/Quasicrystal";

// The sources of the Yamamoto setting, the Steurer setting and the reflection
// conditions of axial quasicrystals.
inline constexpr const char* kReferenceYamamoto =
    "A. Yamamoto, Crystallography of quasiperiodic crystals, Acta Cryst. A52 (1996) 509-560.";
inline constexpr const char* kReferenceSteurer =
    "W. Steurer, Twenty years of structure research on quasicrystals. Part I, "
    "Z. Kristallogr. 219 (2004) 391-446.";
inline constexpr const char* kReferenceConditions =
    "D. A. Rabson, N. D. Mermin, D. S. Rokhsar, D. C. Wright, The space groups of axial crystals "
    "and quasicrystals, Rev. Mod. Phys. 63 (1991) 699-733.";

}  // namespace lumora::links
