// Bruker RAW4.00, the binary pattern file of DIFFRAC.SUITE, which Debian's
// xylib does not read. Little-endian throughout: a 61-byte file header
// ("RAW4.00" at 0), then segments that each open with their type and their
// length in bytes (both uint32; type 30, the hardware, holds the K-alpha1,
// K-alpha2 wavelengths in A and the K-alpha2/K-alpha1 ratio as doubles at 80,
// 88 and 104), then the ranges: each a 160-byte header (type 0 or 160 at 0,
// the scan type as text at 32, the start angle and the step in degrees as
// doubles at 72 and 80, the step count at 88, the wavelength used, A, at
// 112, the bytes per count at 136 and the length of the further header
// segments at 140), those segments, and the counts as float32.
#pragma once

#include <optional>
#include <string>
#include <string_view>
#include <vector>

namespace lumora {

struct BrukerRaw4Range {
  std::string scanType;  // "Locked Coupled", ...
  double start = 0.0;    // degrees, of the scan's axis
  double step = 0.0;     // degrees
  std::vector<float> counts;
  std::optional<double> usedWavelength;  // A; absent when not a positive number
};

struct BrukerRaw4File {
  std::vector<BrukerRaw4Range> ranges;
  // The hardware segment's wavelengths, each absent when not stated (no
  // such segment, or no positive number there).
  std::optional<double> alpha1, alpha2, ratio;
  std::string error;  // what is wrong and at which byte; empty when read
};

inline constexpr std::string_view kBrukerRaw4Magic = "RAW4.00";

bool IsBrukerRaw4(std::string_view bytes);

// The file's ranges. A truncated or inconsistent file (a length running past
// the end, a segment shorter than its own header, counts of other than four
// bytes) gives an error and no ranges.
BrukerRaw4File ReadBrukerRaw4(std::string_view bytes);

// Whether the range's axis is 2 theta: coupled theta-2theta scans and
// detector scans.
bool IsTwoThetaScan(const BrukerRaw4Range& range);

}  // namespace lumora
