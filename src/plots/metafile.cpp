#include "plots/metafile.hpp"

#include <algorithm>
#include <cmath>

#include "common/numeric.hpp"

namespace lumora {
namespace {

class RecordWriter {
 public:
  void Begin(std::uint16_t function) {
    start_ = records_.size();
    Word32(0);  // size, patched by End
    Word(function);
  }
  void End() {
    const std::size_t words = (records_.size() - start_) / 2;
    for (int i = 0; i < 4; ++i) records_[start_ + static_cast<std::size_t>(i)] = static_cast<std::uint8_t>(words >> (8 * i));
    maxRecord_ = std::max(maxRecord_, words);
  }
  void Word(int v) {
    const auto u = static_cast<std::uint16_t>(static_cast<std::int16_t>(v));
    records_.push_back(static_cast<std::uint8_t>(u & 0xFF));
    records_.push_back(static_cast<std::uint8_t>(u >> 8));
  }
  void Word32(std::uint32_t v) {
    for (int i = 0; i < 4; ++i) records_.push_back(static_cast<std::uint8_t>(v >> (8 * i)));
  }
  void Text(const std::string& s) {  // bytes padded to an even count
    for (char ch : s) records_.push_back(static_cast<std::uint8_t>(ch));
    if (s.size() % 2) records_.push_back(0);
  }
  const Bytes& records() const { return records_; }
  std::size_t maxRecord() const { return maxRecord_; }

 private:
  Bytes records_;
  std::size_t start_ = 0;
  std::size_t maxRecord_ = 0;
};

// Objects take the lowest free slot of the playback's object table.
class ObjectTable {
 public:
  int Create() {
    auto free = std::find(used_.begin(), used_.end(), false);
    const int index = static_cast<int>(free - used_.begin());
    if (free == used_.end()) used_.push_back(true);
    else *free = true;
    return index;
  }
  void Delete(int index) { used_[static_cast<std::size_t>(index)] = false; }
  int Size() const { return static_cast<int>(used_.size()); }

 private:
  std::vector<bool> used_;
};

void PutWord(Bytes& out, std::uint16_t v) {
  out.push_back(static_cast<std::uint8_t>(v & 0xFF));
  out.push_back(static_cast<std::uint8_t>(v >> 8));
}
void PutWord32(Bytes& out, std::uint32_t v) {
  for (int i = 0; i < 4; ++i) out.push_back(static_cast<std::uint8_t>(v >> (8 * i)));
}

int Coordinate(double v) {
  return static_cast<int>(std::clamp(RoundHalfEven(v), -32768.0, 32767.0));
}

}  // namespace

LogFont MakeLogFont(const std::string& face, int pixels) {
  return LogFont{static_cast<std::int16_t>(-std::lround(pixels * kTwipsPerPixel)), face};
}

Bytes StandardMetafile(const PlotScene& scene, int width, int height, const MetafileOptions& options, int* scaleOut) {
  // Metafile coordinates are 16-bit: a picture wider than that is recorded at
  // a whole fraction of its size.
  const int scale = std::max(1, (std::max(width, height) + 1 + 32766) / 32767);
  if (scaleOut) *scaleOut = scale;
  const double k = 1.0 / scale;
  RecordWriter w;
  ObjectTable objects;

  w.Begin(kMetaSetMapMode);
  w.Word(8);  // MM_ANISOTROPIC
  w.End();
  w.Begin(kMetaSetWindowExt);
  w.Word(Coordinate(height * k));
  w.Word(Coordinate(width * k));
  w.End();

  const LogFont font = MakeLogFont(options.fontFace, options.fontPixels);
  w.Begin(kMetaCreateFontIndirect);
  w.Word(static_cast<int>(std::lround(font.height * k)));
  for (int i = 0; i < 4; ++i) w.Word(0);  // width, escapement, orientation, weight
  for (int i = 0; i < 4; ++i) w.Word(0);  // italic .. pitch-and-family, one byte each
  w.Text(font.face + std::string(1, '\0'));
  w.End();
  const int fontIndex = objects.Create();

  w.Begin(kMetaCreatePenIndirect);
  w.Word(0);  // PS_SOLID
  w.Word(std::max(1, static_cast<int>(std::lround(options.penWidth * k))));
  w.Word(0);
  w.Word32(0x000000);  // black
  w.End();
  const int penIndex = objects.Create();

  auto createBrush = [&](ColorValue color) {
    w.Begin(kMetaCreateBrushIndirect);
    w.Word(0);  // BS_SOLID
    w.Word32(color & 0xFFFFFFu);
    w.Word(0);
    w.End();
    return objects.Create();
  };
  auto select = [&](int index) {
    w.Begin(kMetaSelectObject);
    w.Word(index);
    w.End();
  };
  auto remove = [&](int index) {
    w.Begin(kMetaDeleteObject);
    w.Word(index);
    w.End();
    objects.Delete(index);
  };
  int brush = createBrush(kBlack);

  // The frame on a white ground. The white brush is recorded rather than left
  // to the reader's default brush, which not every reader makes white.
  const int frameBrush = createBrush(kWhite);
  select(penIndex);
  select(frameBrush);
  w.Begin(kMetaRectangle);
  w.Word(Coordinate(height * k));
  w.Word(Coordinate(width * k));
  w.Word(0);
  w.Word(0);
  w.End();
  select(brush);
  remove(frameBrush);
  select(fontIndex);

  const double right = width;
  const double bottom = height;
  ForEachInOrder(
      scene,
      [&](const SceneCircle& c) {
        // Circles wholly outside the picture are invisible; leaving them out
        // keeps far-off spots of a zoomed plot from overflowing coordinates.
        if (c.x + c.radius < 0 || c.y + c.radius < 0 || c.x - c.radius > right || c.y - c.radius > bottom) return;
        // A new brush is selected before the old one is deleted: a selected
        // object cannot be deleted.
        const int next = createBrush(c.fill);
        select(next);
        remove(brush);
        brush = next;
        w.Begin(kMetaEllipse);
        w.Word(Coordinate((c.y + c.radius) * k));
        w.Word(Coordinate((c.x + c.radius) * k));
        w.Word(Coordinate((c.y - c.radius) * k));
        w.Word(Coordinate((c.x - c.radius) * k));
        w.End();
      },
      [&](const SceneLabel& label) {
        w.Begin(kMetaTextOut);
        w.Word(static_cast<int>(label.text.size()));
        w.Text(label.text);
        w.Word(Coordinate(label.y * k));
        w.Word(Coordinate(label.x * k));
        w.End();
      });

  // Leave no objects behind for the program that plays the metafile.
  select(penIndex);
  for (int index : {brush, fontIndex}) remove(index);
  w.Begin(kMetaEof);
  w.End();

  Bytes out;
  const std::size_t totalWords = 9 + w.records().size() / 2;
  PutWord(out, 1);       // memory metafile
  PutWord(out, 9);       // header size in words
  PutWord(out, 0x0300);  // version
  PutWord32(out, static_cast<std::uint32_t>(totalWords));
  PutWord(out, static_cast<std::uint16_t>(objects.Size()));
  PutWord32(out, static_cast<std::uint32_t>(w.maxRecord()));
  PutWord(out, 0);
  out.insert(out.end(), w.records().begin(), w.records().end());
  return out;
}

Bytes PlaceableHeader(int width, int height, int unitsPerInch) {
  Bytes out;
  PutWord32(out, kPlaceableKey);
  PutWord(out, 0);  // handle
  PutWord(out, 0);  // left
  PutWord(out, 0);  // top
  PutWord(out, static_cast<std::uint16_t>(width + 1));
  PutWord(out, static_cast<std::uint16_t>(height + 1));
  PutWord(out, static_cast<std::uint16_t>(unitsPerInch));
  PutWord32(out, 0);
  std::uint16_t checksum = 0;
  for (std::size_t i = 0; i < 20; i += 2) checksum ^= static_cast<std::uint16_t>(out[i] | (out[i + 1] << 8));
  PutWord(out, checksum);
  return out;
}

Bytes PlaceableMetafile(const PlotScene& scene, int unitsPerInch, const MetafileOptions& options) {
  const int width = static_cast<int>(RoundHalfEven(scene.width));
  const int height = static_cast<int>(RoundHalfEven(scene.height));
  int scale = 1;
  const Bytes metafile = StandardMetafile(scene, width, height, options, &scale);
  Bytes out = PlaceableHeader(width / scale, height / scale, unitsPerInch / scale);
  out.insert(out.end(), metafile.begin(), metafile.end());
  return out;
}

}  // namespace lumora
