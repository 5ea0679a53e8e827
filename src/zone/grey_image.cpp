#include "zone/grey_image.hpp"

#include <png.h>
#include <tiffio.h>

#include <algorithm>
#include <cmath>
#include <csetjmp>
#include <cstdio>
#include <cstring>
#include <fstream>
#include <memory>

namespace lumora {
namespace {

std::string Named(const std::filesystem::path& path, const std::string& problem) {
  return path.string() + ": " + problem;
}

bool SizeOk(long w, long h) { return w > 0 && h > 0 && w <= kMaxImageSide && h <= kMaxImageSide; }

std::string SizeProblem(long w, long h) {
  return "image of " + std::to_string(w) + " x " + std::to_string(h) + " pixels (1 to " +
         std::to_string(kMaxImageSide) + " a side are read)";
}

// ---- PNG -------------------------------------------------------------------
struct PngError {
  std::jmp_buf jump;
  std::string message;
};

void PngFail(png_structp png, png_const_charp message) {
  auto* error = static_cast<PngError*>(png_get_error_ptr(png));
  error->message = message ? message : "unreadable PNG";
  std::longjmp(error->jump, 1);
}
void PngWarn(png_structp, png_const_charp) {}

std::variant<GreyImage, std::string> ReadPng(const std::filesystem::path& path) {
  std::FILE* file = std::fopen(path.c_str(), "rb");
  if (!file) return Named(path, "cannot be opened");
  std::unique_ptr<std::FILE, int (*)(std::FILE*)> closer(file, &std::fclose);
  PngError error;
  png_structp png = png_create_read_struct(PNG_LIBPNG_VER_STRING, &error, PngFail, PngWarn);
  png_infop info = png ? png_create_info_struct(png) : nullptr;
  if (!png || !info) {
    png_destroy_read_struct(&png, &info, nullptr);
    return Named(path, "out of memory");
  }
  GreyImage image;
  std::vector<png_bytep> rows;
  std::vector<unsigned char> data;
  std::string problem;
  if (setjmp(error.jump)) {
    png_destroy_read_struct(&png, &info, nullptr);
    return Named(path, "not a readable PNG (" + error.message + ")");
  }
  png_init_io(png, file);
  png_read_info(png, info);
  const png_uint_32 w = png_get_image_width(png, info), h = png_get_image_height(png, info);
  const int colour = png_get_color_type(png, info);
  const int depth = png_get_bit_depth(png, info);
  if (!SizeOk(static_cast<long>(w), static_cast<long>(h))) {
    png_destroy_read_struct(&png, &info, nullptr);
    return Named(path, SizeProblem(static_cast<long>(w), static_cast<long>(h)));
  }
  if (colour != PNG_COLOR_TYPE_GRAY && colour != PNG_COLOR_TYPE_GRAY_ALPHA) {
    png_destroy_read_struct(&png, &info, nullptr);
    return Named(path, "a colour PNG; diffraction images must be grey (8 or 16 bit)");
  }
  if (depth < 8) png_set_expand_gray_1_2_4_to_8(png);
  if (colour & PNG_COLOR_MASK_ALPHA) png_set_strip_alpha(png);
  if (depth == 16) png_set_swap(png);  // little-endian words
  png_read_update_info(png, info);
  const std::size_t rowBytes = png_get_rowbytes(png, info);
  data.resize(rowBytes * h);
  rows.resize(h);
  for (png_uint_32 y = 0; y < h; ++y) rows[y] = data.data() + y * rowBytes;
  png_read_image(png, rows.data());
  png_destroy_read_struct(&png, &info, nullptr);
  image.width = static_cast<int>(w);
  image.height = static_cast<int>(h);
  image.pixels.resize(static_cast<std::size_t>(w) * h);
  for (png_uint_32 y = 0; y < h; ++y)
    for (png_uint_32 x = 0; x < w; ++x) {
      float v;
      if (depth == 16) {
        std::uint16_t word;
        std::memcpy(&word, rows[y] + 2 * x, 2);
        v = static_cast<float>(word);
      } else {
        v = static_cast<float>(rows[y][x]);
      }
      image.pixels[y * w + x] = v;
    }
  return image;
}

// ---- TIFF ------------------------------------------------------------------
void TiffQuiet(const char*, const char*, va_list) {}

std::variant<GreyImage, std::string> ReadTiff(const std::filesystem::path& path) {
  TIFFSetErrorHandler(TiffQuiet);
  TIFFSetWarningHandler(TiffQuiet);
  TIFF* tiff = TIFFOpen(path.c_str(), "r");
  if (!tiff) return Named(path, "not a readable TIFF");
  std::unique_ptr<TIFF, void (*)(TIFF*)> closer(tiff, &TIFFClose);
  std::uint32_t w = 0, h = 0;
  std::uint16_t samples = 1, bits = 8, format = SAMPLEFORMAT_UINT, photometric = PHOTOMETRIC_MINISBLACK;
  TIFFGetField(tiff, TIFFTAG_IMAGEWIDTH, &w);
  TIFFGetField(tiff, TIFFTAG_IMAGELENGTH, &h);
  TIFFGetFieldDefaulted(tiff, TIFFTAG_SAMPLESPERPIXEL, &samples);
  TIFFGetFieldDefaulted(tiff, TIFFTAG_BITSPERSAMPLE, &bits);
  TIFFGetFieldDefaulted(tiff, TIFFTAG_SAMPLEFORMAT, &format);
  TIFFGetField(tiff, TIFFTAG_PHOTOMETRIC, &photometric);
  if (!SizeOk(static_cast<long>(w), static_cast<long>(h))) return Named(path, SizeProblem(static_cast<long>(w), static_cast<long>(h)));
  if (samples != 1 || (photometric != PHOTOMETRIC_MINISBLACK && photometric != PHOTOMETRIC_MINISWHITE))
    return Named(path, "not a grey TIFF (one sample per pixel)");
  const bool integer = format == SAMPLEFORMAT_UINT && (bits == 8 || bits == 16);
  const bool real = format == SAMPLEFORMAT_IEEEFP && bits == 32;
  if (!integer && !real) return Named(path, "a TIFF of " + std::to_string(bits) + "-bit samples (8 or 16 bit unsigned, or 32-bit float, are read)");
  if (TIFFIsTiled(tiff)) return Named(path, "a tiled TIFF (stripped TIFFs are read)");
  GreyImage image;
  image.width = static_cast<int>(w);
  image.height = static_cast<int>(h);
  image.pixels.resize(static_cast<std::size_t>(w) * h);
  std::vector<unsigned char> row(static_cast<std::size_t>(TIFFScanlineSize(tiff)));
  if (row.size() < static_cast<std::size_t>(w) * (bits / 8)) return Named(path, "a TIFF with short rows");
  const float top = bits == 8 ? 255.0f : 65535.0f;
  for (std::uint32_t y = 0; y < h; ++y) {
    if (TIFFReadScanline(tiff, row.data(), y, 0) < 0) return Named(path, "a TIFF that ends early (row " + std::to_string(y) + ")");
    for (std::uint32_t x = 0; x < w; ++x) {
      float v;
      if (bits == 8) {
        v = row[x];
      } else if (bits == 16) {
        std::uint16_t word;
        std::memcpy(&word, row.data() + 2 * x, 2);
        v = word;
      } else {
        std::memcpy(&v, row.data() + 4 * x, 4);
        if (!std::isfinite(v)) return Named(path, "a TIFF with a value that is not a number");
      }
      if (photometric == PHOTOMETRIC_MINISWHITE) v = real ? -v : top - v;
      image.pixels[static_cast<std::size_t>(y) * w + x] = v;
    }
  }
  return image;
}

// ---- MRC -------------------------------------------------------------------
std::int32_t Word(const unsigned char* p, bool swap) {
  unsigned char b[4] = {p[0], p[1], p[2], p[3]};
  if (swap) std::swap(b[0], b[3]), std::swap(b[1], b[2]);
  std::int32_t v;
  std::memcpy(&v, b, 4);
  return v;
}

std::variant<GreyImage, std::string> ReadMrc(const std::filesystem::path& path) {
  std::ifstream in(path, std::ios::binary);
  if (!in) return Named(path, "cannot be opened");
  unsigned char header[1024];
  if (!in.read(reinterpret_cast<char*>(header), 1024)) return Named(path, "shorter than an MRC header (1024 bytes)");
  // The machine stamp (byte 212) says the byte order: 0x44 little, 0x11 big
  // endian; without one, the order that gives a sensible mode.
  bool swap = header[212] == 0x11;
  if (header[212] != 0x44 && header[212] != 0x11) {
    const std::int32_t mode = Word(header + 12, false);
    swap = !(mode >= 0 && mode <= 16);
  }
  const std::int32_t nx = Word(header, swap), ny = Word(header + 4, swap), nz = Word(header + 8, swap);
  const std::int32_t mode = Word(header + 12, swap), extended = Word(header + 92, swap);
  if (!SizeOk(nx, ny) || nz < 1) return Named(path, "not an MRC image (" + SizeProblem(nx, ny) + ", " + std::to_string(nz) + " sections)");
  int bytes = 0;
  switch (mode) {
    case 0: bytes = 1; break;
    case 1: case 6: bytes = 2; break;
    case 2: bytes = 4; break;
    default: return Named(path, "an MRC file of mode " + std::to_string(mode) + " (modes 0, 1, 2 and 6 are read)");
  }
  if (extended < 0 || extended > (1 << 30)) return Named(path, "an MRC file with an extended header of " + std::to_string(extended) + " bytes");
  const std::size_t count = static_cast<std::size_t>(nx) * static_cast<std::size_t>(ny);
  std::vector<unsigned char> data(count * static_cast<std::size_t>(bytes));
  in.seekg(1024 + static_cast<std::streamoff>(extended));
  if (!in.read(reinterpret_cast<char*>(data.data()), static_cast<std::streamsize>(data.size())))
    return Named(path, "an MRC file that ends before its first image");
  GreyImage image;
  image.width = nx;
  image.height = ny;
  image.pixels.resize(count);
  for (std::size_t i = 0; i < count; ++i) {
    const unsigned char* p = data.data() + i * static_cast<std::size_t>(bytes);
    float v = 0.0f;
    if (mode == 0) {
      v = static_cast<float>(static_cast<signed char>(p[0]));
    } else if (mode == 1 || mode == 6) {
      const std::uint16_t word = swap ? static_cast<std::uint16_t>(p[0] << 8 | p[1]) : static_cast<std::uint16_t>(p[1] << 8 | p[0]);
      v = mode == 1 ? static_cast<float>(static_cast<std::int16_t>(word)) : static_cast<float>(word);
    } else {
      const std::int32_t bits = Word(p, swap);
      std::memcpy(&v, &bits, 4);
      if (!std::isfinite(v)) return Named(path, "an MRC image with a value that is not a number");
    }
    const std::size_t x = i % static_cast<std::size_t>(nx), y = i / static_cast<std::size_t>(nx);
    image.pixels[(static_cast<std::size_t>(ny) - 1 - y) * static_cast<std::size_t>(nx) + x] = v;
  }
  return image;
}

void PngWrite(png_structp png, png_bytep data, png_size_t length) {
  static_cast<std::string*>(png_get_io_ptr(png))->append(reinterpret_cast<const char*>(data), length);
}
void PngFlush(png_structp) {}

}  // namespace

std::variant<GreyImage, std::string> ReadGreyImage(const std::filesystem::path& path) {
  std::error_code code;
  if (!std::filesystem::is_regular_file(path, code)) return Named(path, "is not a file that can be read");
  unsigned char magic[8] = {};
  {
    std::ifstream in(path, std::ios::binary);
    if (!in) return Named(path, "cannot be opened");
    in.read(reinterpret_cast<char*>(magic), 8);
  }
  if (png_sig_cmp(magic, 0, 8) == 0) return ReadPng(path);
  if ((magic[0] == 'I' && magic[1] == 'I' && magic[2] == 42 && magic[3] == 0) ||
      (magic[0] == 'M' && magic[1] == 'M' && magic[2] == 0 && magic[3] == 42))
    return ReadTiff(path);
  std::string suffix = path.extension().string();
  for (char& c : suffix) c = static_cast<char>(std::tolower(static_cast<unsigned char>(c)));
  if (suffix == ".mrc" || suffix == ".map" || suffix == ".mrcs") return ReadMrc(path);
  return Named(path, "not a PNG, TIFF or MRC (.mrc) image");
}

std::string GreyPng16(const GreyImage& image) {
  std::string out;
  png_structp png = png_create_write_struct(PNG_LIBPNG_VER_STRING, nullptr, nullptr, nullptr);
  png_infop info = png ? png_create_info_struct(png) : nullptr;
  if (!png || !info) {
    png_destroy_write_struct(&png, &info);
    return out;
  }
  std::vector<unsigned char> row(static_cast<std::size_t>(image.width) * 2);
  if (setjmp(png_jmpbuf(png))) {
    png_destroy_write_struct(&png, &info);
    return std::string();
  }
  png_set_write_fn(png, &out, PngWrite, PngFlush);
  png_set_IHDR(png, info, static_cast<png_uint_32>(image.width), static_cast<png_uint_32>(image.height), 16,
               PNG_COLOR_TYPE_GRAY, PNG_INTERLACE_NONE, PNG_COMPRESSION_TYPE_DEFAULT, PNG_FILTER_TYPE_DEFAULT);
  png_write_info(png, info);
  for (int y = 0; y < image.height; ++y) {
    for (int x = 0; x < image.width; ++x) {
      const float v = std::clamp(image.At(x, y), 0.0f, 65535.0f);
      const auto word = static_cast<std::uint16_t>(std::lround(v));
      row[2 * static_cast<std::size_t>(x)] = static_cast<unsigned char>(word >> 8);  // PNG is big-endian
      row[2 * static_cast<std::size_t>(x) + 1] = static_cast<unsigned char>(word & 0xff);
    }
    png_write_row(png, row.data());
  }
  png_write_end(png, nullptr);
  png_destroy_write_struct(&png, &info);
  return out;
}

}  // namespace lumora
