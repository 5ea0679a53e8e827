#include "common/file_io.hpp"

#include <cerrno>
#include <cstring>
#include <fstream>
#include <random>
#include <sstream>
#include <system_error>

namespace lumora {

namespace {

// Devices and pipes ("/dev/stdout", a named pipe) are written in place: a
// rename would replace them with a regular file.
WriteOutcome WriteInPlace(const std::filesystem::path& path, std::string_view content) {
  std::ofstream out(path, std::ios::binary);
  if (out) out.write(content.data(), static_cast<std::streamsize>(content.size()));
  if (out) out.flush();
  if (!out) return {false, "cannot write " + path.string() + ": " + std::strerror(errno)};
  return {};
}

}  // namespace

WriteOutcome WriteFileAtomically(const std::filesystem::path& requested, std::string_view content) {
  namespace fs = std::filesystem;
  std::error_code ec;
  // A link is followed, so that the file it names is replaced, not the link.
  fs::path path = requested;
  if (fs::is_symlink(fs::symlink_status(requested, ec))) {
    const fs::path target = fs::canonical(requested, ec);
    if (!ec) path = target;
  }
  const fs::file_status status = fs::status(path, ec);
  if (fs::exists(status) && !fs::is_regular_file(status)) {
    if (fs::is_directory(status)) return {false, "cannot write " + requested.string() + ": it is a folder"};
    return WriteInPlace(path, content);
  }
  std::random_device seed;
  fs::path temp = path;
  temp += ".part" + std::to_string(seed() % 1000000u);
  {
    std::ofstream out(temp, std::ios::binary | std::ios::trunc);
    if (!out) {
      return {false, "cannot write " + path.string() + ": " + std::strerror(errno)};
    }
    out.write(content.data(), static_cast<std::streamsize>(content.size()));
    out.flush();
    if (!out) {
      std::error_code ignored;
      fs::remove(temp, ignored);
      return {false, "cannot write " + path.string() + ": " + std::strerror(errno)};
    }
  }
  fs::rename(temp, path, ec);
  if (ec) {
    std::error_code ignored;
    fs::remove(temp, ignored);
    return {false, "cannot write " + path.string() + ": " + ec.message()};
  }
  return {};
}

std::optional<std::string> ReadWholeFile(const std::filesystem::path& path) {
  std::ifstream in(path, std::ios::binary);
  if (!in) return std::nullopt;
  std::ostringstream content;
  content << in.rdbuf();
  if (in.bad()) return std::nullopt;
  return content.str();
}

}  // namespace lumora
