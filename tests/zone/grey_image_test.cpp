// Reading measured images: PNG and TIFF written here through their libraries
// and MRC written byte by byte give back the values, with the first row at
// the top (MRC's stored bottom row); damaged files get a message.
#include <gtest/gtest.h>

#include <tiffio.h>

#include <cstring>
#include <unistd.h>

#include <filesystem>
#include <fstream>

#include "zone/grey_image.hpp"

namespace lumora {
namespace {

std::filesystem::path Scratch(const std::string& name) {
  const auto dir = std::filesystem::temp_directory_path() / ("lumora-image-test-" + std::to_string(::getpid()));
  std::filesystem::create_directories(dir);
  return dir / name;
}

GreyImage Ramp(int w, int h, float scale) {
  GreyImage image;
  image.width = w, image.height = h;
  for (int y = 0; y < h; ++y)
    for (int x = 0; x < w; ++x) image.pixels.push_back(scale * static_cast<float>(x + 7 * y));
  return image;
}

void Write(const std::filesystem::path& path, const std::string& bytes) {
  std::ofstream(path, std::ios::binary).write(bytes.data(), static_cast<std::streamsize>(bytes.size()));
}

void WriteTiff(const std::filesystem::path& path, const GreyImage& image, int bits) {
  TIFF* t = TIFFOpen(path.c_str(), "w");
  ASSERT_NE(t, nullptr);
  TIFFSetField(t, TIFFTAG_IMAGEWIDTH, image.width);
  TIFFSetField(t, TIFFTAG_IMAGELENGTH, image.height);
  TIFFSetField(t, TIFFTAG_SAMPLESPERPIXEL, 1);
  TIFFSetField(t, TIFFTAG_BITSPERSAMPLE, bits);
  TIFFSetField(t, TIFFTAG_PHOTOMETRIC, PHOTOMETRIC_MINISBLACK);
  TIFFSetField(t, TIFFTAG_PLANARCONFIG, PLANARCONFIG_CONTIG);
  for (int y = 0; y < image.height; ++y) {
    std::vector<unsigned char> row(static_cast<std::size_t>(image.width * bits / 8));
    for (int x = 0; x < image.width; ++x) {
      if (bits == 8) row[x] = static_cast<unsigned char>(image.At(x, y));
      else {
        const auto v = static_cast<std::uint16_t>(image.At(x, y));
        std::memcpy(row.data() + 2 * x, &v, 2);
      }
    }
    TIFFWriteScanline(t, row.data(), static_cast<std::uint32_t>(y), 0);
  }
  TIFFClose(t);
}

// An MRC file of the given mode, little-endian, rows stored bottom first.
std::string Mrc(const GreyImage& image, int mode, int extended = 0) {
  std::string bytes(1024, '\0');
  auto put = [&](int at, std::int32_t v) { std::memcpy(&bytes[static_cast<std::size_t>(at)], &v, 4); };
  put(0, image.width), put(4, image.height), put(8, 1), put(12, mode), put(92, extended);
  std::memcpy(&bytes[208], "MAP ", 4);
  bytes[212] = 0x44, bytes[213] = 0x44;
  bytes += std::string(static_cast<std::size_t>(extended), 'x');
  for (int y = image.height - 1; y >= 0; --y)
    for (int x = 0; x < image.width; ++x) {
      const float v = image.At(x, y);
      if (mode == 2) bytes.append(reinterpret_cast<const char*>(&v), 4);
      else if (mode == 1) { const auto s = static_cast<std::int16_t>(v); bytes.append(reinterpret_cast<const char*>(&s), 2); }
      else { const auto s = static_cast<std::uint16_t>(v); bytes.append(reinterpret_cast<const char*>(&s), 2); }
    }
  return bytes;
}

void ExpectSame(const std::variant<GreyImage, std::string>& read, const GreyImage& expected) {
  ASSERT_TRUE(std::holds_alternative<GreyImage>(read)) << std::get<std::string>(read);
  const GreyImage& image = std::get<GreyImage>(read);
  ASSERT_EQ(image.width, expected.width);
  ASSERT_EQ(image.height, expected.height);
  EXPECT_EQ(image.pixels, expected.pixels);
}

TEST(GreyImage, ReadsWhatWasWritten) {
  const GreyImage wide = Ramp(37, 23, 61.0f);  // up to 65,000
  Write(Scratch("a.png"), GreyPng16(wide));
  ExpectSame(ReadGreyImage(Scratch("a.png")), wide);
  const GreyImage small = Ramp(37, 23, 1.0f);
  WriteTiff(Scratch("b8.tif"), small, 8);
  ExpectSame(ReadGreyImage(Scratch("b8.tif")), small);
  WriteTiff(Scratch("b16.tif"), wide, 16);
  ExpectSame(ReadGreyImage(Scratch("b16.tif")), wide);
  for (int mode : {1, 2, 6}) {
    const std::string name = "c" + std::to_string(mode) + ".mrc";
    Write(Scratch(name), Mrc(mode == 1 ? small : wide, mode, mode == 2 ? 96 : 0));
    ExpectSame(ReadGreyImage(Scratch(name)), mode == 1 ? small : wide);
  }
}

TEST(GreyImage, DamagedFilesAreNamed) {
  auto message = [](const std::filesystem::path& p) {
    const auto r = ReadGreyImage(p);
    return std::holds_alternative<std::string>(r) ? std::get<std::string>(r) : std::string("read");
  };
  const GreyImage image = Ramp(16, 16, 1.0f);
  std::string mrc = Mrc(image, 2);
  Write(Scratch("short.mrc"), mrc.substr(0, mrc.size() - 10));
  EXPECT_NE(message(Scratch("short.mrc")).find("ends before its first image"), std::string::npos);
  Write(Scratch("mode.mrc"), Mrc(image, 2).replace(12, 1, 1, '\x04'));
  EXPECT_NE(message(Scratch("mode.mrc")).find("mode 4"), std::string::npos);
  Write(Scratch("text.png"), "not an image at all");
  EXPECT_NE(message(Scratch("text.png")).find("not a PNG, TIFF or MRC"), std::string::npos);
  std::string png = GreyPng16(image);
  Write(Scratch("cut.png"), png.substr(0, png.size() / 2));
  EXPECT_NE(message(Scratch("cut.png")).find("not a readable PNG"), std::string::npos);
  EXPECT_NE(message(Scratch("missing.tif")).find("missing.tif"), std::string::npos);
  std::filesystem::remove_all(Scratch("").parent_path());
}

}  // namespace
}  // namespace lumora
