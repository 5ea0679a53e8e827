#include "common/file_io.hpp"

#include <cerrno>
#include <cstring>
#include <fstream>
#include <random>
#include <sstream>
#include <system_error>

namespace lumora {

WriteOutcome WriteFileAtomically(const std::filesystem::path& path, std::string_view content) {
  namespace fs = std::filesystem;
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
  std::error_code ec;
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
