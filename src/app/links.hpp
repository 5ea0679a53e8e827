// The web addresses and literature references the Help menu and the About
// window show. Kept in one place so that they can be changed without touching
// the windows. The program's, maker's and author's pages have no address
// until a build sets one (cmake -DLUMORA_PRODUCT_URL=... and so on): an
// empty address is not configured, and its link is not offered.
#pragma once

#ifndef LUMORA_PRODUCT_URL
#define LUMORA_PRODUCT_URL ""
#endif
#ifndef LUMORA_MAKER_URL
#define LUMORA_MAKER_URL ""
#endif
#ifndef LUMORA_AUTHOR_URL
#define LUMORA_AUTHOR_URL ""
#endif

namespace lumora::links {

inline constexpr const char* kProductHome = LUMORA_PRODUCT_URL;
inline constexpr const char* kMakerHome = LUMORA_MAKER_URL;  // also where donations go
inline constexpr const char* kAuthorHome = LUMORA_AUTHOR_URL;
inline constexpr const char* kQuasicrystalInfo = "https://en.wikipedia.org/wiki/Quasicrystal";

// True when a link has an address to open.
constexpr bool Configured(const char* address) { return address != nullptr && address[0] != '\0'; }

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
