#include <gtest/gtest.h>
#include <sys/wait.h>

#include <cstdlib>
#include <filesystem>
#include <random>
#include <sstream>
#include <utility>
#include <vector>
#include <cmath>
#include <string>

#include "scratch_test.hpp"
#include "common/file_io.hpp"
#include "tiling/multigrid.hpp"
#include "tiling/tiling_analysis.hpp"
#include "tiling/tiling_export.hpp"
#include "tiling/xy_file.hpp"
#include "tiling/penrose_peak_check.hpp"

namespace lumora {
namespace {

namespace fs = std::filesystem;

class TilingCli : public lumora::testing::ScratchTest {
 protected:

  // Exit status of lumora-cli tiling with the arguments, output discarded.
  int Run(const std::string& args) const {
    const std::string command = std::string(LUMORA_CLI_PATH) + " tiling " + args + " >" + (dir_ / "stdout").string() +
                                " 2>" + (dir_ / "stderr").string();
    const int status = std::system(command.c_str());
    return WIFEXITED(status) ? WEXITSTATUS(status) : -1;
  }
  std::string Read(const std::string& name) const { return ReadWholeFile(dir_ / name).value_or("<missing>"); }

};

std::string CoreXy(const TilingInputs& inputs) {
  std::mt19937 random(kTilingRandomSeed);
  const Tiling tiling = MakeTiling(inputs, random);
  return XyFileText(tiling.vertX, tiling.vertY);
}

TEST_F(TilingCli, XyFileMatchesTheCoreWriter) {
  ASSERT_EQ(Run("--xy " + Path("default.xy")), 0);
  EXPECT_EQ(Read("default.xy"), CoreXy(TilingInputs{}));

  TilingInputs in;
  in.symmetry = 12;
  in.loopOrder = 9;
  in.zoom = 3;
  in.brightness = 200;
  in.shiftMode = ShiftMode::Random;
  ASSERT_EQ(Run("--symmetry 12 --loop-order=9 --scale 3 --brightness 200 --shift-mode 2 --xy " + Path("r.xy")), 0);
  EXPECT_EQ(Read("r.xy"), CoreXy(in));

  // Without an output file the lines go to standard output.
  ASSERT_EQ(Run(""), 0);
  EXPECT_EQ(Read("stdout"), CoreXy(TilingInputs{}));
}

TEST_F(TilingCli, WritesThePictures) {
  ASSERT_EQ(Run("--symmetry 8 --tiling-png " + Path("t.png") + " --vertices-png " + Path("v.png") + " --ft-png " +
                Path("f.png") + " --gain 2.5"),
            0);
  for (const char* name : {"t.png", "v.png", "f.png"}) EXPECT_EQ(Read(name).substr(0, 4), "\x89PNG") << name;
  EXPECT_FALSE(fs::exists(dir_ / "stdout") && fs::file_size(dir_ / "stdout") > 0);
}

TEST_F(TilingCli, BadValuesExitWithTwoAndWriteNothing) {
  for (const std::string bad : {"--symmetry 4", "--symmetry 21", "--symmetry five", "--loop-order 0",
                                "--loop-order 41", "--scale 11", "--scale 2.5", "--brightness 99",
                                "--brightness 221", "--shift-mode 3", "--gain 0", "--gain -1", "--gain x",
                                "--xy", "--colour red", "extra"}) {
    EXPECT_EQ(Run(bad + " --tiling-png " + Path("bad.png")), 2) << bad;
    EXPECT_FALSE(fs::exists(dir_ / "bad.png")) << bad;
    const std::string message = Read("stderr");
    EXPECT_EQ(message.find('\n'), message.size() - 1) << bad << ": " << message;
  }
  EXPECT_EQ(Run("--scale 12"), 2);
  EXPECT_NE(Read("stderr").find("--scale: \"12\""), std::string::npos) << Read("stderr");
  EXPECT_EQ(Run("--help"), 0);
}

TEST_F(TilingCli, PresetsShiftsAndTheNewFiles) {
  ASSERT_EQ(Run("--preset ammann-beenker --loop-order 10 --tiles-csv " + Path("t.csv") + " --vertices-csv " +
                Path("v.csv") + " --svg " + Path("t.svg") + " --stats " + Path("s.json") + " --diffraction-png " +
                Path("d.png")),
            0);
  TilingInputs in;
  in.symmetry = 8;
  in.loopOrder = 10;
  in.shiftMode = ShiftMode::Given;
  in.shifts = StandardShifts(TilingPreset::AmmannBeenker).shifts;
  std::mt19937 random(kTilingRandomSeed);
  const Tiling t = MakeTiling(in, random);
  EXPECT_EQ(Read("t.csv"), TilesCsv(t));
  EXPECT_EQ(Read("v.csv"), VerticesCsv(t));
  EXPECT_EQ(Read("t.svg"), TilingSvg(t));
  EXPECT_EQ(Read("s.json"), StatisticsJson(t, ComputeTilingStatistics(t), std::nullopt));
  EXPECT_EQ(Read("d.png").substr(1, 3), "PNG");
  EXPECT_EQ(Read("stderr"), "");  // a standard tiling: no note

  // Given shifts; the classic N = 8 shifts get a note.
  ASSERT_EQ(Run("--symmetry 5 --shifts 0.1,0.2,0.3,0.2,0.2 --vertices-csv " + Path("g.csv")), 0);
  TilingInputs given;
  given.shiftMode = ShiftMode::Given;
  given.shifts = {0.1, 0.2, 0.3, 0.2, 0.2};
  random.seed(kTilingRandomSeed);
  EXPECT_EQ(Read("g.csv"), VerticesCsv(MakeTiling(given, random)));
  ASSERT_EQ(Run("--symmetry 8 --xy " + Path("c.xy")), 0);
  EXPECT_NE(Read("stderr").find("note: Non-standard"), std::string::npos);

  // Bad values name the option and write nothing.
  for (const std::string bad : {"--shifts 0.1,0.2,x,0,0", "--shifts 0.1,0.2", "--preset square",
                                "--preset penrose --symmetry 7", "--preset penrose --shifts 0,0,0,0,0",
                                "--k-max 0", "--k-max 10 --internal-max 10"}) {
    EXPECT_EQ(Run(bad + " --diffraction-png " + Path("bad.png")), 2) << bad;
    EXPECT_FALSE(fs::exists(Path("bad.png"))) << bad;
    EXPECT_NE(Read("stderr").find("--"), std::string::npos) << bad;
  }
}

// Every peak of --diffraction-csv against a direct Fourier sum over the exact
// vertices of --vertices-csv, worked out here: k = (2/N) sum h_i e_i and
// I = |sum exp(2 pi i k.x)|^2 / n^2.
TEST_F(TilingCli, DiffractionCsvHoldsThePeaksOfTheExactVertices) {
  ASSERT_EQ(Run("--preset penrose --loop-order 4 --k-max 1.5 --internal-max 0.8 --vertices-csv " + Path("v.csv") +
                " --diffraction-csv " + Path("p.csv")),
            0);
  const auto vertices = testing::CsvNumbers(Read("v.csv"));
  const auto peaks = testing::CsvNumbers(Read("p.csv"));
  ASSERT_GT(vertices.size(), 50u);
  ASSERT_GT(peaks.size(), 10u);
  EXPECT_EQ(Read("p.csv").find("kx,ky,k,h0,h1,h2,h3,internal,intensity\n"), Read("p.csv").find("kx"));
  std::size_t origin = 0, strong = 0;
  for (const auto& p : peaks) {
    ASSERT_EQ(p.size(), 9u);
    const std::array<double, 2> k = testing::PenrosePeakVector(p);
    EXPECT_NEAR(p[0], k[0], 1e-12);
    EXPECT_NEAR(p[1], k[1], 1e-12);
    EXPECT_NEAR(p[2], std::hypot(k[0], k[1]), 1e-12);
    EXPECT_LE(p[2], 1.5 + 1e-12);
    EXPECT_LE(p[7], 0.8 + 1e-12);
    EXPECT_NEAR(p[8], testing::VertexSumIntensity(vertices, k), 1e-7) << p[0] << " " << p[1];
    if (p[2] == 0.0) ++origin;
    if (p[8] > 0.1) ++strong;
  }
  EXPECT_EQ(origin, 1u);
  EXPECT_GT(strong, 5u);  // the strong Penrose peaks are there, not only noise

  // The peaks share the picture's limits and refusals.
  EXPECT_EQ(Run("--symmetry 20 --diffraction-csv " + Path("dense.csv")), 2);
  EXPECT_FALSE(fs::exists(Path("dense.csv")));
  EXPECT_NE(Read("stderr").find("option --k-max"), std::string::npos);
}

TEST_F(TilingCli, UnwritableOutputFails) {
  EXPECT_EQ(Run("--xy " + Path("no/such/folder/a.xy")), 1);
  EXPECT_FALSE(fs::exists(dir_ / "no"));
}

}  // namespace
}  // namespace lumora
