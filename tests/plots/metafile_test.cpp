#include "plots/metafile.hpp"

#include <gtest/gtest.h>
#include <unistd.h>

#include <cstdio>
#include <cstdlib>
#include <iterator>
#include <filesystem>
#include <fstream>
#include <map>
#include <string>

namespace lumora {
namespace {

int Word(const Bytes& b, std::size_t at) { return static_cast<std::int16_t>(b[at] | (b[at + 1] << 8)); }
unsigned UWord(const Bytes& b, std::size_t at) { return static_cast<unsigned>(b[at] | (b[at + 1] << 8)); }
std::uint32_t DWord(const Bytes& b, std::size_t at) { return UWord(b, at) | (UWord(b, at + 2) << 16); }

struct Record {
  std::size_t offset;  // of the record in the bytes
  std::uint32_t words;
  unsigned function;
};

// Walks the records after the 18-byte header that starts at `start`.
std::vector<Record> Records(const Bytes& b, std::size_t start) {
  std::vector<Record> records;
  std::size_t at = start + 18;
  while (at + 6 <= b.size()) {
    const Record r{at, DWord(b, at), UWord(b, at + 4)};
    records.push_back(r);
    if (r.function == kMetaEof || r.words < 3) break;
    at += 2 * r.words;
  }
  return records;
}

PlotScene SmallScene() {
  PlotScene scene;
  scene.width = 4300;
  scene.height = 4200;
  scene.circles.push_back({1000.5, 2000.5, 100, Rgb(255, 0, 0), kBlack, false});
  scene.circles.push_back({3000, 1000, 249.5, kWhite, kBlack, false});
  scene.circles.push_back({-900, 1000, 50, kWhite, kBlack, false});  // outside: left out
  scene.labels.push_back({3000, 1000, " 1 0-1 0 0", kBlue, 2});
  scene.legend.push_back({45, 30, "along", kGreen, 0});
  return scene;
}

TEST(Metafile, PlaceableHeaderOfA4300By4200Plot) {
  const Bytes h = PlaceableHeader(4300, 4200, 1440);
  ASSERT_EQ(h.size(), 22u);
  EXPECT_EQ(DWord(h, 0), 0x9AC6CDD7u);
  EXPECT_EQ(UWord(h, 4), 0u);
  EXPECT_EQ(UWord(h, 6), 0u);
  EXPECT_EQ(UWord(h, 8), 0u);
  EXPECT_EQ(UWord(h, 10), 4301u);
  EXPECT_EQ(UWord(h, 12), 4201u);
  EXPECT_EQ(UWord(h, 14), 1440u);
  EXPECT_EQ(DWord(h, 16), 0u);
  EXPECT_EQ(UWord(h, 20), 0xCDD7u ^ 0x9AC6u ^ 4301u ^ 4201u ^ 1440u);
  EXPECT_EQ(UWord(PlaceableHeader(4300, 4200, kLargeViewUnitsPerInch), 14), 3000u);
}

TEST(Metafile, RecordsOfASmallScene) {
  const Bytes file = PlaceableMetafile(SmallScene(), 1440);
  // The standard header: memory metafile, 9 words, version 3.0, sizes that add up.
  EXPECT_EQ(UWord(file, 22), 1u);
  EXPECT_EQ(UWord(file, 24), 9u);
  EXPECT_EQ(UWord(file, 26), 0x0300u);
  EXPECT_EQ(2 * DWord(file, 28), file.size() - 22);
  const std::vector<Record> records = Records(file, 22);
  ASSERT_FALSE(records.empty());
  std::uint32_t largest = 0;
  std::size_t end = 22 + 18;
  for (const Record& r : records) {
    largest = std::max(largest, r.words);
    end += 2 * r.words;
  }
  EXPECT_EQ(end, file.size());
  EXPECT_EQ(DWord(file, 34), largest);
  EXPECT_EQ(records.back().function, kMetaEof);
  EXPECT_EQ(records.back().words, 3u);

  std::map<unsigned, int> count;
  for (const Record& r : records) ++count[r.function];
  EXPECT_EQ(count[kMetaEllipse], 2);  // the third circle lies outside the picture
  EXPECT_EQ(count[kMetaTextOut], 1);  // the label, not the legend
  EXPECT_EQ(count[kMetaRectangle], 1);
  EXPECT_EQ(count[kMetaCreateFontIndirect], 1);
  EXPECT_EQ(count[kMetaCreatePenIndirect], 1);
  EXPECT_EQ(count[kMetaCreateBrushIndirect], 2 + 2);  // black, white for the frame, one per circle
  // Every object but the pen is deleted again.
  EXPECT_EQ(count[kMetaCreateBrushIndirect] + count[kMetaCreateFontIndirect] + count[kMetaCreatePenIndirect],
            count[kMetaDeleteObject] + 1);
  EXPECT_EQ(UWord(file, 32), 4u);  // never more than four objects at once

  for (const Record& r : records) {
    const std::size_t p = r.offset + 6;
    switch (r.function) {
      case kMetaSetWindowExt:
        EXPECT_EQ(Word(file, p), 4200);
        EXPECT_EQ(Word(file, p + 2), 4300);
        break;
      case kMetaSetMapMode: EXPECT_EQ(Word(file, p), 8); break;
      case kMetaEllipse:
        EXPECT_EQ(r.words, 7u);
        break;
      case kMetaCreateFontIndirect:
        EXPECT_EQ(Word(file, p), -120);  // 8 pixels of 15 twips, a character height
        EXPECT_EQ(std::string(reinterpret_cast<const char*>(&file[p + 18])), "Arial");
        break;
      case kMetaTextOut: {
        EXPECT_EQ(Word(file, p), 10);
        EXPECT_EQ(std::string(reinterpret_cast<const char*>(&file[p + 2]), 10), " 1 0-1 0 0");
        EXPECT_EQ(Word(file, p + 12), 1000);  // y, then x
        EXPECT_EQ(Word(file, p + 14), 3000);
        break;
      }
      default: break;
    }
  }
  // The first ellipse: the bounding square rounded (halves to even), bottom-right first.
  const Record& ellipse = *std::find_if(records.begin(), records.end(),
                                        [](const Record& r) { return r.function == kMetaEllipse; });
  EXPECT_EQ(Word(file, ellipse.offset + 6), 2100);   // 2100.5 -> 2100
  EXPECT_EQ(Word(file, ellipse.offset + 8), 1100);   // 1100.5 -> 1100
  EXPECT_EQ(Word(file, ellipse.offset + 10), 1900);  // 1900.5 -> 1900
  EXPECT_EQ(Word(file, ellipse.offset + 12), 900);   // 900.5 -> 900
  EXPECT_EQ(MakeLogFont("Arial", 8).height, -120);
}

TEST(Metafile, WidePicturesAreScaledIntoSixteenBits) {
  PlotScene scene = SmallScene();
  scene.width = 40000;
  scene.height = 20000;
  scene.circles[1].x = 39000;
  const Bytes file = PlaceableMetafile(scene, 3000);
  EXPECT_EQ(UWord(file, 10), 20001u);
  EXPECT_EQ(UWord(file, 14), 1500u);  // the same physical size
  for (const Record& r : Records(file, 22)) {
    if (r.function == kMetaEllipse) {
      EXPECT_GT(Word(file, r.offset + 8), 0);
    }
  }
}

TEST(Metafile, AnIndependentReaderSeesEveryCircle) {
  PlotScene scene = SmallScene();
  for (int i = 0; i < 25; ++i)
    scene.circles.push_back({150.0 + 160 * i, 3000, 60, Rgb(10 * i, 0, 255 - 10 * i), kBlack, false});
  const std::filesystem::path wmf =
      std::filesystem::temp_directory_path() / ("lumora_metafile_" + std::to_string(::getpid()) + ".wmf");
  const Bytes bytes = PlaceableMetafile(scene, 1440);
  std::ofstream(wmf, std::ios::binary).write(reinterpret_cast<const char*>(bytes.data()),
                                             static_cast<std::streamsize>(bytes.size()));
  // wmf2svg comes with Debian's libwmf-bin, which the build's setup installs.
  std::filesystem::path svgPath = wmf;
  svgPath.replace_extension(".svg");
  const std::string command = "wmf2svg -o " + svgPath.string() + " " + wmf.string() + " 2>/dev/null";
  const int status = std::system(command.c_str());
  const std::string svg = [&] {
    std::ifstream in(svgPath);
    return std::string((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>());
  }();
  std::filesystem::remove(wmf);
  std::filesystem::remove(svgPath);
  ASSERT_EQ(status, 0) << "wmf2svg (libwmf-bin) must be installed";
  std::size_t ellipses = 0;
  for (std::size_t at = svg.find("<ellipse"); at != std::string::npos; at = svg.find("<ellipse", at + 1)) ++ellipses;
  EXPECT_EQ(ellipses, 2u + 25u);
  EXPECT_NE(svg.find("1 0-1 0 0"), std::string::npos);
}

}  // namespace
}  // namespace lumora
