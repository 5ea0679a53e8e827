// Reading reflection lists (text and CIF) with errors that name the line and
// field, and merging equivalents with R_int worked out by hand.
#include <gtest/gtest.h>

#include <cmath>

#include "refine/merging.hpp"
#include "refine/observations.hpp"

namespace lumora {
namespace {

std::string ErrorOf(const ObservationRead& read) {
  const auto* error = std::get_if<ObservationError>(&read);
  return error ? error->Message() : "";
}

TEST(Observations, TextListWithCommentsAndErrorsNamingLineAndField) {
  const auto read = ParseReflectionText("# h1 h2 h3 h4 h5 I sigma\n1 0 0 0 0 120.5 3.1\n\n 0 1 -1 0 2 -4 2.5  # weak\r\n", 5);
  ASSERT_TRUE(std::holds_alternative<std::vector<Observation>>(read)) << ErrorOf(read);
  const auto& list = std::get<std::vector<Observation>>(read);
  ASSERT_EQ(list.size(), 2u);
  EXPECT_EQ(list[1].h, (IndexVector{0, 1, -1, 0, 2, 0}));
  EXPECT_DOUBLE_EQ(list[1].intensity, -4.0);
  EXPECT_DOUBLE_EQ(list[1].sigma, 2.5);
  EXPECT_EQ(list[1].line, 4);

  EXPECT_EQ(ErrorOf(ParseReflectionText("1 0 0 0 0 5 1\n1 0 0 x 0 5 1\n", 5)),
            "line 2, field 4 (h4): \"x\" is not a whole number from -10000 to 10000");
  EXPECT_EQ(ErrorOf(ParseReflectionText("1 0 0 0 0 5 1.5 7\n", 5)),
            "line 1, field 8 (end of line): \"7\" expected 7 fields (h1..h5, I, sigma), found 8");
  EXPECT_EQ(ErrorOf(ParseReflectionText("1 0 0 0 0 5\n", 6)), "line 1, field 7 (I) is missing: expected 8 fields (h1..h6, I, sigma), found 6");
  EXPECT_EQ(ErrorOf(ParseReflectionText("1 0 0 0 0 5 0\n", 5)), "line 1, field 7 (sigma): \"0\" must be above 0");
  EXPECT_EQ(ErrorOf(ParseReflectionText("1 0 0 0 0 nan 1\n", 5)), "line 1, field 6 (I): \"nan\" is not a number");
  EXPECT_EQ(ErrorOf(ParseReflectionText("0 0 0 0 0 5 1\n", 5)), "line 1: the origin (all indices 0) is not a reflection");
  EXPECT_EQ(ErrorOf(ParseReflectionText("1.5 0 0 0 0 5 1\n", 5)),
            "line 1, field 1 (h1): \"1.5\" is not a whole number from -10000 to 10000");
  EXPECT_EQ(ErrorOf(ParseReflectionText("# nothing\n", 5)), "no reflections (lines of h1..h5 I sigma)");
}

TEST(Observations, CifReflnLoop) {
  const std::string cif =
      "data_test\n_cell_length_a 4.2\nloop_\n_refln_index_h\n_refln_index_k\n_refln_index_l\n_refln_index_m_1\n"
      "_refln_index_m_2\n_refln_index_m_3\n_refln_F_squared_meas\n_refln_F_squared_sigma\n"
      "1 0 0 0 0 0 100.0 2.0\n0 1 1 -1 0 2 7.5 0.5\n";
  const auto read = ParseReflectionCif(cif, 6);
  ASSERT_TRUE(std::holds_alternative<std::vector<Observation>>(read)) << ErrorOf(read);
  const auto& list = std::get<std::vector<Observation>>(read);
  ASSERT_EQ(list.size(), 2u);
  EXPECT_EQ(list[1].h, (IndexVector{0, 1, 1, -1, 0, 2}));
  EXPECT_DOUBLE_EQ(list[1].intensity, 7.5);
  // The axial systems have five indices: the sixth tag is not needed.
  EXPECT_TRUE(std::holds_alternative<std::vector<Observation>>(ParseReflectionCif(cif, 5)));
  std::string bad = cif;
  bad.replace(bad.find("7.5 0.5"), 7, "7.5 -1");
  EXPECT_EQ(ErrorOf(ParseReflectionCif(bad, 6)), "row 2 of the _refln loop, _refln_F_squared_sigma: \"-1\" must be above 0");
  EXPECT_NE(ErrorOf(ParseReflectionCif("data_x\n_cell_length_a 4\n", 6)).find("no block has a loop with _refln_index_h"),
            std::string::npos);
  EXPECT_NE(ErrorOf(ParseReflectionCif("data_x\nloop_\n_a\n'unclosed\n", 6)).find("not a readable CIF"), std::string::npos);
}

TEST(Merging, WeightedMeansAndRint) {
  const Lattice lattice = SetupLattice(CrystalSystem::Decagonal, 2.82, 12.06, true);
  const PointGroup group = LatticeHolohedry(lattice);
  // h and -h are Friedel mates, and so equivalent; (0 0 0 0 1) stands alone.
  const std::vector<Observation> obs = {{{1, 0, 0, 0, 0, 0}, 100.0, 2.0, 1},
                                        {{-1, 0, 0, 0, 0, 0}, 106.0, 4.0, 2},
                                        {{0, 0, 0, 0, 1, 0}, 50.0, 1.0, 3},
                                        {{1, 0, 0, 0, 0, 0}, 110.0, 2.0, 4}};
  const MergedData merged = MergeObservations(obs, group, 5);
  ASSERT_EQ(merged.reflections.size(), 2u);
  EXPECT_EQ(merged.multiple, 1u);
  const MergedReflection& r = merged.reflections[0];
  EXPECT_EQ(r.members.size(), 3u);
  // Weights 1/4, 1/16, 1/4: mean (25 + 6.625 + 27.5) / (9/16) = 105.111...
  const double mean = (100.0 / 4 + 106.0 / 16 + 110.0 / 4) / (0.25 + 0.0625 + 0.25);
  EXPECT_NEAR(r.intensity, mean, 1e-12);
  // chi^2 / (m - 1) of the three against the mean widens sqrt(1 / sum w).
  const double chi2 = std::pow((100 - mean) / 2, 2) + std::pow((106 - mean) / 4, 2) + std::pow((110 - mean) / 2, 2);
  EXPECT_NEAR(r.sigma, std::sqrt(1.0 / 0.5625) * std::sqrt(chi2 / 2.0), 1e-12);
  EXPECT_NEAR(merged.rInt, (std::fabs(100 - mean) + std::fabs(106 - mean) + std::fabs(110 - mean)) / 316.0, 1e-12);
  EXPECT_DOUBLE_EQ(merged.reflections[1].intensity, 50.0);
  EXPECT_DOUBLE_EQ(merged.reflections[1].sigma, 1.0);
}

}  // namespace
}  // namespace lumora
