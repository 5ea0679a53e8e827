// Seeded random mutations of model files through the reader, the placement on
// lattices from tiny to huge and the structure factors: every mutant must end
// in a model whose intensities are finite percentages, or in a message that is
// short and printable, never in a crash, an exception or undefined behaviour
// (the sanitizer build runs this too, in CI).
#include <gtest/gtest.h>

#include <cmath>
#include <random>
#include <string>
#include <variant>
#include <vector>

#include "common/text.hpp"
#include "intensity/model_file.hpp"
#include "intensity/structure_factor.hpp"

namespace lumora {
namespace {

// The texts mutants start from: every built-in model in the file format, and
// files that use every domain, both settings and comments.
std::vector<std::string> Seeds() {
  std::vector<std::string> seeds;
  for (const std::string& name : BuiltinModelNames()) seeds.push_back(ModelText(*BuiltinModel(name)));
  seeds.push_back(
      "# two sites\nname mixed\nsystem decagonal\nsetting steurer\n"
      "Al1 Al 0.9 0.2 0.2 0.2 0.2 0.25 polygon:5:18 1.2 0.5 1.5  # pentagon\n"
      "Fe1 Fe 1 0.4 0.4 0.4 0.4 0 disk 0.8 0 0\n");
  seeds.push_back(
      "system icosahedral\nsetting yamamoto\n"
      "A Al 1 0 0 0 0 0 0 sphere 1 0 0\nB Mn 0.5 0.5 0.5 0.5 0.5 0.5 0.5 triacontahedron 0.9 1 2\n");
  return seeds;
}

class Mutator {
 public:
  explicit Mutator(std::uint32_t seed) : random_(seed) {}
  std::size_t Below(std::size_t n) { return std::uniform_int_distribution<std::size_t>(0, n - 1)(random_); }

  std::string Mutate(std::string text) {
    for (std::size_t n = 1 + Below(4); n > 0; --n) {
      const std::size_t at = text.empty() ? 0 : Below(text.size() + 1);
      switch (Below(7)) {
        case 0:  // a byte changed
          if (!text.empty()) text[std::min(at, text.size() - 1)] = static_cast<char>(Below(256));
          break;
        case 1:  // a token put in
          text.insert(at, Token());
          break;
        case 2:  // a piece cut out
          text.erase(at, Below(20));
          break;
        case 3: {  // a word replaced by a token
          const std::size_t start = text.find_last_of(" \n", at == 0 ? 0 : at - 1);
          const std::size_t from = start == std::string::npos ? 0 : start + 1;
          const std::size_t end = text.find_first_of(" \n", from);
          text.replace(from, (end == std::string::npos ? text.size() : end) - from, Token());
          break;
        }
        case 4: {  // a line repeated
          const std::size_t start = text.rfind('\n', at == 0 ? 0 : at - 1);
          const std::size_t from = start == std::string::npos ? 0 : start + 1;
          const std::size_t end = text.find('\n', from);
          const std::string line = text.substr(from, end == std::string::npos ? std::string::npos : end - from + 1);
          for (std::size_t k = Below(3) == 0 ? 200 : 1; k > 0; --k) text.insert(from, line);
          break;
        }
        case 5:  // line ends of another system
          for (char& ch : text)
            if (ch == '\n' && Below(2) == 0) ch = '\r';
          break;
        default:  // cut short
          text.resize(at);
      }
    }
    return text;
  }

 private:
  std::string Token() {
    static const char* tokens[] = {"1e308",   "-1e308",   "1e-320",   "nan",        "inf",       "-0",
                                   "1e300",   "1e-300",   "360.0001", "polygon:64:360", "polygon:3:-1e9",
                                   "polygon:65:0", "polygon::", "disk",   "sphere",     "triacontahedron",
                                   "system",  "setting",  "name",     "#",          "\xEF\xBB\xBF",
                                   "\r\n",    "\x1B[2J",  "\xFF\xFE", "1000000.5",  "999999.99",
                                   "0.000001", "1000",    "10000",    "Xx",         "H",
                                   "Og",      "1,5",      "&H10",     "\t",         "\v\f"};
    std::string token = tokens[Below(std::size(tokens))];
    if (Below(10) == 0) token += std::string(1, '\0');
    if (Below(50) == 0) token = std::string(5000, 'x');
    return token;
  }
  std::mt19937 random_;
};

bool Printable(const std::string& message) {
  for (unsigned char ch : message)
    if (ch < 0x20 || ch == 0x7F) return false;
  return message.size() < 600;
}

std::vector<ReflectionRecord> Records(int nDim) {
  std::vector<ReflectionRecord> records;
  std::mt19937 random(3);
  std::uniform_int_distribution<int> index(-4, 4);
  for (int i = 0; i < 40; ++i) {
    ReflectionRecord r;
    for (int k = 0; k < nDim; ++k) r.h[static_cast<std::size_t>(k)] = static_cast<float>(index(random));
    records.push_back(r);
  }
  return records;
}

TEST(ModelFuzz, MutatedModelsGiveFiniteIntensitiesOrAMessage) {
  const std::vector<std::string> seeds = Seeds();
  Mutator mutate(20270315);
  int models = 0, refused = 0, unplaced = 0;
  for (int i = 0; i < 4000; ++i) {
    const std::string text = mutate.Mutate(seeds[mutate.Below(seeds.size())]);
    const auto parsed = ParseModel(text);
    if (const ModelError* error = std::get_if<ModelError>(&parsed)) {
      ++refused;
      EXPECT_TRUE(Printable(error->Message())) << i << ": " << EchoText(error->Message(), 300);
      continue;
    }
    ++models;
    const StructureModel& model = std::get<StructureModel>(parsed);
    EXPECT_LE(model.sites.size(), kMaxModelSites);
    // The model's own system on a usual lattice and on extreme ones.
    for (const double a : {2.82, 1e-150, 1e150}) {
      const Lattice lattice = SetupLattice(model.system, a, 12.06, model.yamamoto == (i % 2 == 0));
      const auto placed = ResolveModel(model, lattice);
      if (const std::string* problem = std::get_if<std::string>(&placed)) {
        ++unplaced;
        EXPECT_TRUE(Printable(*problem)) << i << ": " << EchoText(*problem, 300);
        continue;
      }
      IntensityResult result;
      const IntensityStatus status = ComputeIntensities(std::get<ResolvedModel>(placed), lattice,
                                                        Records(lattice.nDim), 0.71, result);
      if (status == IntensityStatus::NotFinite) {
        EXPECT_TRUE(Printable(result.error)) << i;
        continue;
      }
      ASSERT_EQ(status, IntensityStatus::Completed) << i;
      for (const double v : result.intensity) EXPECT_TRUE(v >= 0.0 && v <= 100.0) << i << " a = " << a << ": " << v;
      for (const double v : result.fPhase) EXPECT_TRUE(std::isfinite(v)) << i;
    }
  }
  // The mutants reach every stage, not only the reader's first refusal.
  EXPECT_GT(models, 400);
  EXPECT_GT(refused, 1000);
  EXPECT_GT(unplaced, 100);
}

}  // namespace
}  // namespace lumora
