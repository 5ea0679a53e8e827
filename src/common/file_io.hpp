// Whole-file reading and writing. A write either replaces the file completely
// or leaves it as it was and says why: a failed write never leaves a partial file.
#pragma once

#include <filesystem>
#include <optional>
#include <string>
#include <string_view>

namespace lumora {

struct WriteOutcome {
  bool ok = true;
  std::string error;  // empty when ok
};

// Writes content to a temporary file beside path, then renames it over path.
WriteOutcome WriteFileAtomically(const std::filesystem::path& path, std::string_view content);

// The whole file, or nothing when it cannot be opened or read.
std::optional<std::string> ReadWholeFile(const std::filesystem::path& path);

}  // namespace lumora
