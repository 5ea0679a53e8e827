#include "powder/bruker_raw4.hpp"

#include <cctype>
#include <cmath>
#include <cstdint>
#include <cstring>

namespace lumora {
namespace {

constexpr std::size_t kFileHeaderBytes = 61;
constexpr std::size_t kRangeHeaderBytes = 160;
constexpr std::size_t kSegmentHeaderBytes = 8;
constexpr std::uint32_t kHardwareSegment = 30;
constexpr std::size_t kHardwareSegmentBytes = 120;

// Little-endian reads at an offset the caller has checked to lie inside.
template <typename T>
T At(std::string_view bytes, std::size_t offset) {
  unsigned char raw[sizeof(T)];
  std::memcpy(raw, bytes.data() + offset, sizeof(T));
  std::uint64_t bits = 0;
  for (std::size_t i = sizeof(T); i-- > 0;) bits = (bits << 8) | raw[i];
  if constexpr (sizeof(T) == 4) {
    const auto narrow = static_cast<std::uint32_t>(bits);
    T value;
    std::memcpy(&value, &narrow, sizeof value);
    return value;
  } else {
    T value;
    std::memcpy(&value, &bits, sizeof value);
    return value;
  }
}

std::optional<double> Positive(double v) {
  if (!std::isfinite(v) || v <= 0.0) return std::nullopt;
  return v;
}

// A fixed-width text field: up to the first NUL, blanks trimmed.
std::string TextField(std::string_view bytes, std::size_t offset, std::size_t width) {
  std::string_view field = bytes.substr(offset, width);
  field = field.substr(0, field.find('\0'));
  while (!field.empty() && std::isspace(static_cast<unsigned char>(field.back()))) field.remove_suffix(1);
  while (!field.empty() && std::isspace(static_cast<unsigned char>(field.front()))) field.remove_prefix(1);
  return std::string(field);
}

std::string Byte(std::size_t offset) { return "at byte " + std::to_string(offset); }

bool IsRangeType(std::uint32_t type) { return type == 0 || type == 160; }

BrukerRaw4File Fail(std::string problem) {
  BrukerRaw4File file;
  file.error = std::move(problem);
  return file;
}

}  // namespace

bool IsBrukerRaw4(std::string_view bytes) { return bytes.substr(0, kBrukerRaw4Magic.size()) == kBrukerRaw4Magic; }

BrukerRaw4File ReadBrukerRaw4(std::string_view bytes) {
  if (!IsBrukerRaw4(bytes)) return Fail("does not open with RAW4.00");
  const std::size_t size = bytes.size();
  auto remains = [&](std::size_t offset) { return offset <= size ? size - offset : 0; };
  if (size < kFileHeaderBytes + 4) return Fail("truncated: " + std::to_string(size) + " bytes, shorter than the file header");

  BrukerRaw4File file;
  // The file's segments, up to the first range.
  std::size_t at = kFileHeaderBytes;
  for (;;) {
    if (remains(at) < 4) return Fail("truncated " + Byte(at) + ": the file ends before its first range");
    const auto type = At<std::uint32_t>(bytes, at);
    if (IsRangeType(type)) break;
    if (remains(at) < kSegmentHeaderBytes) return Fail("truncated " + Byte(at) + ": a segment header is cut off");
    const auto length = At<std::uint32_t>(bytes, at + 4);
    if (length < kSegmentHeaderBytes)
      return Fail("corrupt " + Byte(at) + ": segment of type " + std::to_string(type) + " claims " +
                  std::to_string(length) + " bytes, less than its own header");
    if (length > remains(at))
      return Fail("truncated " + Byte(at) + ": segment of type " + std::to_string(type) + " claims " +
                  std::to_string(length) + " bytes, " + std::to_string(remains(at)) + " remain");
    if (type == kHardwareSegment) {
      if (length < kHardwareSegmentBytes)
        return Fail("corrupt " + Byte(at) + ": the hardware segment has " + std::to_string(length) + " bytes, not at least " +
                    std::to_string(kHardwareSegmentBytes));
      file.alpha1 = Positive(At<double>(bytes, at + 80));
      file.alpha2 = Positive(At<double>(bytes, at + 88));
      file.ratio = Positive(At<double>(bytes, at + 104));
    }
    at += length;
  }

  // The ranges, one after another to the end of the file.
  while (remains(at) > 0) {
    const std::string which = "range " + std::to_string(file.ranges.size() + 1);
    if (remains(at) < kRangeHeaderBytes)
      return Fail("truncated " + Byte(at) + ": " + which + "'s header is cut off (" + std::to_string(remains(at)) + " of " +
                  std::to_string(kRangeHeaderBytes) + " bytes)");
    const auto type = At<std::uint32_t>(bytes, at);
    if (!IsRangeType(type))
      return Fail("corrupt " + Byte(at) + ": " + which + " opens with type " + std::to_string(type) + ", not a range");
    BrukerRaw4Range range;
    range.scanType = TextField(bytes, at + 32, 24);
    range.start = At<double>(bytes, at + 72);
    range.step = At<double>(bytes, at + 80);
    const auto steps = At<std::uint32_t>(bytes, at + 88);
    range.usedWavelength = Positive(At<double>(bytes, at + 112));
    const auto datumBytes = At<std::uint32_t>(bytes, at + 136);
    const auto extraBytes = At<std::uint32_t>(bytes, at + 140);
    if (!std::isfinite(range.start) || !std::isfinite(range.step))
      return Fail("corrupt " + Byte(at) + ": " + which + "'s start or step is not a finite number");
    if (datumBytes != 4)
      return Fail("not read: " + which + " stores counts of " + std::to_string(datumBytes) + " bytes, not float32");
    at += kRangeHeaderBytes;
    if (extraBytes > remains(at))
      return Fail("truncated " + Byte(at) + ": " + which + "'s further header claims " + std::to_string(extraBytes) +
                  " bytes, " + std::to_string(remains(at)) + " remain");
    at += extraBytes;
    if (steps > remains(at) / 4)
      return Fail("truncated " + Byte(at) + ": " + which + " claims " + std::to_string(steps) + " counts, " +
                  std::to_string(remains(at) / 4) + " remain");
    range.counts.resize(steps);
    for (std::size_t i = 0; i < steps; ++i) range.counts[i] = At<float>(bytes, at + 4 * i);
    at += 4 * static_cast<std::size_t>(steps);
    file.ranges.push_back(std::move(range));
  }
  return file;
}

bool IsTwoThetaScan(const BrukerRaw4Range& range) {
  std::string type;
  for (char ch : range.scanType) type += static_cast<char>(std::tolower(static_cast<unsigned char>(ch)));
  return type.find("coupled") != std::string::npos || type == "detector scan";
}

}  // namespace lumora
