// Model files: reading, writing back, and the errors a user can make.
#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>

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
       "line 3, field 10 (size): \"0\" must be greater than 0"},
      {"system decagonal\nsetting yamamoto\nA Al 1 0 0 0 0 0 disk 1 -1 0\n",
       "line 3, field 11 (B_par): \"-1\" must not be negative"},
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

TEST(ModelFile, UnreadableFileAndUnknownNames) {
  const auto loaded = LoadModel("/nonexistent/lumora/model.lqm");
  ASSERT_TRUE(std::holds_alternative<ModelError>(loaded));
  EXPECT_NE(std::get<ModelError>(loaded).Message().find("cannot be read"), std::string::npos);
  EXPECT_FALSE(BuiltinModel("quasi"));
  EXPECT_TRUE(BuiltinModel("Penrose"));
}

TEST(ModelFile, ModelForAnotherSystemIsRefused) {
  const auto resolved = ResolveModel(*BuiltinModel("penrose"), SetupLattice(CrystalSystem::Octagonal, 2.0, 5.0, true));
  ASSERT_TRUE(std::holds_alternative<std::string>(resolved));
  EXPECT_EQ(std::get<std::string>(resolved), "the model \"penrose\" is for the decagonal system, the run is octagonal");
}

}  // namespace
}  // namespace lumora
