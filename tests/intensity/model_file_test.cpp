// Model files: reading, writing back, and the errors a user can make.
#include <gtest/gtest.h>

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <chrono>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <future>
#include <tuple>

#include "intensity/model_file.hpp"

namespace lumora {
namespace {

constexpr const char* kDecagonal =
    "# test model\n"
    "name two pentagons\n"
    "system decagonal\n"
    "setting steurer\n"
    "# label element occupancy x1..x5 domain size B_par B_perp\n"
    "Al1 Al 0.9 0.2 0.2 0.2 0.2 0.25 polygon:5:18 1.2 0.5 1.5  # a pentagon\n"
    "\n"
    "Fe1 fe 1 0.4 0.4 0.4 0.4 0 disk 0.8 0 0\n";

TEST(ModelFile, ReadsTheDocumentedFormat) {
  const auto parsed = ParseModel(kDecagonal);
  ASSERT_TRUE(std::holds_alternative<StructureModel>(parsed)) << std::get<ModelError>(parsed).Message();
  const StructureModel& m = std::get<StructureModel>(parsed);
  EXPECT_EQ(m.name, "two pentagons");
  EXPECT_EQ(m.system, CrystalSystem::Decagonal);
  EXPECT_FALSE(m.yamamoto);
  ASSERT_EQ(m.sites.size(), 2u);
  const Site& s = m.sites[0];
  EXPECT_EQ(s.label, "Al1");
  EXPECT_DOUBLE_EQ(s.occupancy, 0.9);
  EXPECT_DOUBLE_EQ(s.x[4], 0.25);
  EXPECT_EQ(s.domain.shape, DomainShape::Polygon);
  EXPECT_EQ(s.domain.corners, 5);
  EXPECT_DOUBLE_EQ(s.domain.orientation, 18.0);
  EXPECT_DOUBLE_EQ(s.domain.size, 1.2);
  EXPECT_DOUBLE_EQ(s.bPar, 0.5);
  EXPECT_DOUBLE_EQ(s.bPerp, 1.5);
  EXPECT_EQ(m.sites[1].domain.shape, DomainShape::Disk);
}

TEST(ModelFile, SavedModelsReadBackTheSame) {
  std::vector<StructureModel> models{std::get<StructureModel>(ParseModel(kDecagonal))};
  for (const std::string& name : BuiltinModelNames()) models.push_back(*BuiltinModel(name));
  const auto dir = std::filesystem::temp_directory_path() / "lumora_model_test";
  std::filesystem::create_directories(dir);
  for (const StructureModel& m : models) {
    const auto path = dir / (m.name + ".lqm");
    ASSERT_TRUE(SaveModel(path, m).ok);
    const auto loaded = LoadModel(path);
    ASSERT_TRUE(std::holds_alternative<StructureModel>(loaded)) << m.name << ": " << std::get<ModelError>(loaded).Message();
    const StructureModel& back = std::get<StructureModel>(loaded);
    EXPECT_EQ(ModelText(back), ModelText(m)) << m.name;
    EXPECT_EQ(back.sites.size(), m.sites.size());
    for (std::size_t i = 0; i < m.sites.size(); ++i) {
      EXPECT_EQ(back.sites[i].x, m.sites[i].x);  // shortest round-trip text: exact
      EXPECT_EQ(back.sites[i].domain.size, m.sites[i].domain.size);
    }
  }
  std::filesystem::remove_all(dir);
}

struct BadCase {
  const char* text;
  const char* message;
};

TEST(ModelFile, ErrorsNameLineAndField) {
  const std::string head = "system decagonal\nsetting yamamoto\n";
  const BadCase cases[] = {
      {"system decagonal\nsetting yamamoto\nA Al 1 0 0 0 0 0 disk 1 0\n",
       "line 3, field 12 (B_perp) is missing: expected 12 fields"},
      {"system decagonal\nsetting yamamoto\nA Al 1 0 0 0 0 0 disk 1 0 0 7\n",
       "line 3, field 13 (end of line): \"7\" expected 12 fields"},
      {"system decagonal\nsetting yamamoto\nA Xq 1 0 0 0 0 0 disk 1 0 0\n",
       "line 3, field 2 (element): \"Xq\" is not an element symbol"},
      {"system decagonal\nsetting yamamoto\nA Al 1.5 0 0 0 0 0 disk 1 0 0\n",
       "line 3, field 3 (occupancy): \"1.5\" must lie from 0 to 1"},
      {"system decagonal\nsetting yamamoto\nA Al 1 0 0 abc 0 0 disk 1 0 0\n",
       "line 3, field 6 (x3): \"abc\" is not a number"},
      {"system decagonal\nsetting yamamoto\n\nA Al 1 0 0 0 0 0 sphere 1 0 0\n",
       "line 4, field 9 (domain): \"sphere\" is a three-dimensional domain"},
      {"system icosahedral\nsetting yamamoto\nA Al 1 0 0 0 0 0 0 disk 1 0 0\n",
       "line 3, field 10 (domain): \"disk\" is a two-dimensional domain"},
      {"system decagonal\nsetting yamamoto\nA Al 1 0 0 0 0 0 polygon:2:0 1 0 0\n",
       "line 3, field 9 (domain): \"polygon:2:0\" needs a whole number of corners"},
      {"system decagonal\nsetting yamamoto\nA Al 1 0 0 0 0 0 polygon:5 1 0 0\n",
       "line 3, field 9 (domain): \"polygon:5\" is not polygon:N:ANGLE"},
      {"system decagonal\nsetting yamamoto\nA Al 1 0 0 0 0 0 hexagon 1 0 0\n",
       "line 3, field 9 (domain): \"hexagon\" is not a domain"},
      {"system decagonal\nsetting yamamoto\nA Al 1 0 0 0 0 0 disk 0 0 0\n",
       "line 3, field 10 (size): \"0\" must lie from 0.000001 to 1000 star lengths"},
      {"system decagonal\nsetting yamamoto\nA Al 1 0 0 0 0 0 disk 1 -1 0\n",
       "line 3, field 11 (B_par): \"-1\" must lie from 0 to 10000 A^2"},
      // Values no computation can use are refused where they are read.
      {"system decagonal\nsetting yamamoto\nA Al 1 0 0 0 0 0 polygon:5:1e300 1 0 0\n",
       "line 3, field 9 (domain): \"polygon:5:1e300\" needs an angle from -360 to 360 degrees"},
      {"system decagonal\nsetting yamamoto\nA Al 1 0 0 0 0 0 polygon:5:0 1e-300 0 0\n",
       "line 3, field 10 (size): \"1e-300\" must lie from 0.000001 to 1000 star lengths"},
      {"system icosahedral\nsetting yamamoto\nA Al 1 0 0 0 0 0 0 sphere 1e300 0 0\n",
       "line 3, field 11 (size): \"1e300\" must lie from 0.000001 to 1000 star lengths"},
      {"system decagonal\nsetting yamamoto\nA Al 1 1e308 0 0 0 0 disk 1 0 0\n",
       "line 3, field 4 (x1): \"1e308\" is not a fractional coordinate from -1000000 to 1000000"},
      {"system decagonal\nsetting yamamoto\nA Al 1 0 0 0 0 0 disk 1 0 1e308\n",
       "line 3, field 12 (B_perp): \"1e308\" must lie from 0 to 10000 A^2"},
      {"system decagonal\nsetting yamamoto\nA Al 1 0 0 0 0 0 disk 1 0 nan\n",
       "line 3, field 12 (B_perp): \"nan\" is not a number"},
      {"system decagonal\nsetting yamamoto\nA Al 1 0 0 0 0 0 disk 1 0 0\nA Al 1 0 0 0 0 0 disk 1 0 0\n",
       "line 4, field 1 (label): \"A\" is used by an earlier site"},
      {"name\n", "line 1, field 2 (name) is missing: the line needs a value"},
      {"system tetragonal\n", "line 1, field 2 (system): \"tetragonal\" is not octagonal"},
      {"system decagonal\nsetting other\n", "line 2, field 2 (setting): \"other\" is not yamamoto or steurer"},
      {"A Al 1 0 0 0 0 0 disk 1 0 0\n", "line 1, field 1 (label): \"A\" comes before the \"system\" line"},
      {"system decagonal\nA Al 1 0 0 0 0 0 disk 1 0 0\n",
       "line 2, field 1 (label): \"A\" comes before the \"setting\" line"},
      {"system decagonal\nsetting yamamoto\n# nothing\n", "line 4: sites none are given"},
  };
  for (const BadCase& c : cases) {
    const auto parsed = ParseModel(c.text);
    ASSERT_TRUE(std::holds_alternative<ModelError>(parsed)) << c.text;
    const std::string message = std::get<ModelError>(parsed).Message();
    EXPECT_EQ(message.rfind(c.message, 0), 0u) << message;
  }
}

TEST(ModelFile, CoordinatesAreReducedIntoTheCell) {
  const auto parsed = ParseModel("system decagonal\nsetting yamamoto\nA Al 1 1.25 -0.25 7 -3 0.5 disk 1 0 0\n");
  ASSERT_TRUE(std::holds_alternative<StructureModel>(parsed)) << std::get<ModelError>(parsed).Message();
  const std::array<double, 6> x = std::get<StructureModel>(parsed).sites[0].x;
  EXPECT_EQ(x, (std::array<double, 6>{0.25, 0.75, 0.0, 0.0, 0.5, 0.0}));
}

TEST(ModelFile, UnreadableFileAndUnknownNames) {
  const auto loaded = LoadModel("/nonexistent/lumora/model.lqm");
  ASSERT_TRUE(std::holds_alternative<ModelError>(loaded));
  EXPECT_NE(std::get<ModelError>(loaded).Message().find("no such file"), std::string::npos);
  EXPECT_FALSE(BuiltinModel("quasi"));
  EXPECT_TRUE(BuiltinModel("Penrose"));
}

// Pipes, devices, folders and huge files are refused before a byte is read
// (a pipe with no writer would block for ever, /dev/zero never ends).
TEST(ModelFile, OnlySmallRegularFilesAreRead) {
  const auto dir = std::filesystem::temp_directory_path() / ("lumora_model_kinds_" + std::to_string(::getpid()));
  std::filesystem::remove_all(dir);
  std::filesystem::create_directories(dir);
  const auto fifo = dir / "model.fifo";
  ASSERT_EQ(::mkfifo(fifo.c_str(), 0600), 0);
  const auto huge = dir / "huge.qcm";
  std::ofstream(huge) << "system decagonal\n";
  std::filesystem::resize_file(huge, kMaxModelFileBytes + 1);  // sparse: nothing is written
  const std::pair<std::filesystem::path, std::string> cases[] = {
      {fifo, "is a pipe, not a file"},
      {"/dev/zero", "is a device, not a file"},
      {dir, "is a folder, not a file"},
      {huge, "is larger than " + std::to_string(kMaxModelFileBytes) + " bytes"},
  };
  for (const auto& [path, problem] : cases) {
    auto pending = std::async(std::launch::async, [p = path] { return FindModel(p.string()); });
    const bool ready = pending.wait_for(std::chrono::seconds(10)) == std::future_status::ready;
    if (!ready) ::close(::open(fifo.c_str(), O_WRONLY | O_NONBLOCK));  // end a blocked read
    EXPECT_TRUE(ready) << path;
    const auto found = pending.get();
    ASSERT_TRUE(std::holds_alternative<std::string>(found)) << path;
    EXPECT_EQ(std::get<std::string>(found), "\"" + path.string() + "\" " + problem);
  }
  std::filesystem::remove_all(dir);
}

// Files written on other systems: a byte-order mark, CR LF or lone CR line
// ends read as the plain file does, and line numbers count every line end.
TEST(ModelFile, ByteOrderMarkAndAnyLineEnds) {
  const std::string plain = ModelText(std::get<StructureModel>(ParseModel(kDecagonal)));
  for (const char* newline : {"\r\n", "\r"}) {
    std::string text = "\xEF\xBB\xBF" + std::string(kDecagonal);
    for (std::size_t at = 0; (at = text.find('\n', at)) != std::string::npos; at += std::strlen(newline))
      text.replace(at, 1, newline);
    const auto parsed = ParseModel(text);
    ASSERT_TRUE(std::holds_alternative<StructureModel>(parsed)) << std::get<ModelError>(parsed).Message();
    EXPECT_EQ(ModelText(std::get<StructureModel>(parsed)), plain);
    const auto bad = ParseModel("system decagonal\rsetting yamamoto\r\rA Al 1 0 0 0 0 x disk 1 0 0\r");
    ASSERT_TRUE(std::holds_alternative<ModelError>(bad));
    EXPECT_EQ(std::get<ModelError>(bad).Message(), "line 4, field 8 (x5): \"x\" is not a number");
  }
}

// A message quotes what the file holds escaped and cut: no terminal escape,
// no NUL that would end it early, no megabyte of text.
TEST(ModelFile, MessagesQuoteFieldsEscapedAndCut) {
  const std::string head = "system decagonal\nsetting yamamoto\n";
  const std::string evil = head + std::string("A Al 1 0 0 \x1B[2J\0zz 0 0 disk 1 0 0\n", 34);
  const auto escaped = ParseModel(evil);
  ASSERT_TRUE(std::holds_alternative<ModelError>(escaped));
  EXPECT_EQ(std::get<ModelError>(escaped).Message(), "line 3, field 6 (x3): \"\\x1B[2J\\x00zz\" is not a number");
  const auto longField = ParseModel(head + "A Al 1 0 0 " + std::string(1 << 20, '7') + "x 0 0 disk 1 0 0\n");
  ASSERT_TRUE(std::holds_alternative<ModelError>(longField));
  EXPECT_LT(std::get<ModelError>(longField).Message().size(), 200u);
}

TEST(ModelFile, SitesAreLimited) {
  std::string text = "system decagonal\nsetting yamamoto\n";
  for (std::size_t i = 0; i <= kMaxModelSites; ++i) text += "S" + std::to_string(i) + " Al 1 0 0 0 0 0 disk 1 0 0\n";
  const auto parsed = ParseModel(text);
  ASSERT_TRUE(std::holds_alternative<ModelError>(parsed));
  EXPECT_EQ(std::get<ModelError>(parsed).Message(),
            "line " + std::to_string(kMaxModelSites + 3) + ", field 1 (label): \"S" + std::to_string(kMaxModelSites) +
                "\" is one site too many: a model holds at most " + std::to_string(kMaxModelSites) + " sites");
}

TEST(ModelFile, ModelsThatCannotBePlacedAreRefusedWithAMessage) {
  const auto resolved = ResolveModel(*BuiltinModel("penrose"), SetupLattice(CrystalSystem::Octagonal, 2.0, 5.0, true));
  ASSERT_TRUE(std::holds_alternative<std::string>(resolved));
  EXPECT_EQ(std::get<std::string>(resolved), "the model \"penrose\" is for the decagonal system, the run is octagonal");
  // Lattice constants that make a domain overflow or vanish: a message, not an exception.
  for (const auto& [model, system, a] : {std::tuple{"penrose", CrystalSystem::Decagonal, 1e300},
                                         std::tuple{"penrose", CrystalSystem::Decagonal, 1e-300},
                                         std::tuple{"ammann-kramer", CrystalSystem::Icosahedral, 1e300},
                                         std::tuple{"ammann-kramer", CrystalSystem::Icosahedral, 1e-200}}) {
    const auto placed = ResolveModel(*BuiltinModel(model), SetupLattice(system, a, 5.0, true));
    ASSERT_TRUE(std::holds_alternative<std::string>(placed)) << model << " " << a;
    EXPECT_NE(std::get<std::string>(placed).find("beyond what can be computed"), std::string::npos)
        << std::get<std::string>(placed);
  }
}

}  // namespace
}  // namespace lumora
