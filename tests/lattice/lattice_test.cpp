#include "lattice/lattice.hpp"

#include <gtest/gtest.h>

#include <cmath>
#include <stdexcept>

#include "lattice/matrix_text.hpp"
#include "reflections/compute_reflection.hpp"

namespace lumora {
namespace {

constexpr CrystalSystem kSystems[] = {CrystalSystem::Octagonal, CrystalSystem::Decagonal,
                                      CrystalSystem::Dodecagonal, CrystalSystem::Icosahedral};

TEST(Lattice, PublishedNumericalChecks) {
  const Lattice octagonal = SetupLattice(CrystalSystem::Octagonal, 2.82, 12.06, true);
  const double row0[] = {1.9940, 1.9940, -1.9940, 1.9940, 0.0};
  for (int j = 0; j < 5; ++j) EXPECT_NEAR(octagonal.directMatrix[0][j], row0[j], 5e-5);

  const Matrix7 steurer = SystemBasis(CrystalSystem::Icosahedral, 2.82, 12.06, false);
  const double row1[] = {-0.2566, 0.1864, 0.1586, -0.0980, -0.3016, -0.1586};
  for (int j = 0; j < 6; ++j) EXPECT_NEAR(steurer[1][j], row1[j], 5e-5);
}

TEST(Lattice, SteurerOctagonalReciprocalVectors) {
  const Lattice lattice = SetupLattice(CrystalSystem::Octagonal, 1.0, 1.0, false);
  const double deg = 3.141592654 / 180;
  for (int k = 1; k <= 4; ++k) {
    const double expected[] = {std::cos(45 * k * deg), std::sin(45 * k * deg), std::cos(135 * k * deg),
                               std::sin(135 * k * deg), 0.0};
    for (int i = 0; i < 5; ++i) EXPECT_NEAR(lattice.inverseMatrix[i][k - 1], expected[i], 1e-12);
  }
  EXPECT_EQ(lattice.inverseMatrix[4][4], 1.0);

  const ReflectionValues v = ComputeReflection(lattice, {1, 0, 0, 0, 0, 0}, {1.0, 0.0, 90.0, 10.0});
  EXPECT_NEAR(v.xyz[0], 0.7071, 5e-5);
  EXPECT_NEAR(v.xyz[1], 0.7071, 5e-5);
  EXPECT_NEAR(v.xyz[2], 0.0, 1e-15);
  EXPECT_NEAR(v.qi, 1.0, 1e-12);  // internal vector (-0.7071, 0.7071)
}

TEST(Lattice, SteurerIcosahedralFirstIndexLiesAlongZ) {
  const double a = 2.82;
  const Lattice lattice = SetupLattice(CrystalSystem::Icosahedral, a, 0.0, false);
  EXPECT_NEAR(lattice.inverseMatrix[2][0], 1 / a, 1e-15);
  EXPECT_NEAR(lattice.inverseMatrix[5][0], 1 / a, 1e-15);
  for (int i : {0, 1, 3, 4}) EXPECT_NEAR(lattice.inverseMatrix[i][0], 0.0, 1e-15);
}

TEST(Lattice, UnusableConstantsAreRejectedInsteadOfGivingNaN) {
  EXPECT_THROW(SetupLattice(CrystalSystem::Decagonal, 0.0, 12.06, true), std::invalid_argument);
  EXPECT_THROW(SetupLattice(CrystalSystem::Decagonal, 2.82, 0.0, false), std::invalid_argument);
  EXPECT_THROW(SetupLattice(CrystalSystem::Octagonal, NAN, 1.0, true), std::invalid_argument);
  EXPECT_THROW(SetupLattice(CrystalSystem::Octagonal, 1.0, INFINITY, true), std::invalid_argument);
  // c plays no part in the icosahedral basis.
  EXPECT_NO_THROW(SetupLattice(CrystalSystem::Icosahedral, 2.82, 0.0, true));
  // Negative constants are accepted by the construction itself.
  EXPECT_NO_THROW(SetupLattice(CrystalSystem::Octagonal, -2.82, 12.06, true));
}

TEST(InvertMatrix, FullPivotingHandlesZeroDiagonals) {
  Matrix7 m{};
  m[0] = {0, 2, 0, 0, 0, 0, 0};
  m[1] = {0, 0, 4, 0, 0, 0, 0};
  m[2] = {8, 0, 0, 0, 0, 0, 0};
  const Matrix7 original = m;
  InvertMatrix(m, 3);
  const Matrix7 product = MultiplyMatrix(original, m, 3);
  for (int i = 0; i < 3; ++i)
    for (int j = 0; j < 3; ++j) EXPECT_EQ(product[i][j], i == j ? 1.0 : 0.0);
  EXPECT_EQ(m[1][0], 0.5);
  EXPECT_EQ(m[0][2], 0.125);
}

TEST(MatrixText, NineCharacterFieldsWithFourDecimals) {
  const Lattice octagonal = SetupLattice(CrystalSystem::Octagonal, 2.82, 12.06, true);
  const std::string text = MatrixText(octagonal.directMatrix, 5, 5);
  EXPECT_EQ(text.substr(0, 47), "   1.9940   1.9940  -1.9940   1.9940   0.0000\r\n");
  EXPECT_EQ(text.size(), 5u * 47u);
  EXPECT_EQ(text.substr(text.size() - 11), "  12.0600\r\n");

  const Lattice icosahedral = SetupLattice(CrystalSystem::Icosahedral, 2.82, 12.06, true);
  EXPECT_EQ(MatrixText(icosahedral.inverseMatrix, 6, 6).size(), 6u * 56u);

  Matrix7 big{};
  big[0][0] = -1234.5678;
  EXPECT_EQ(MatrixText(big, 1, 1), "-1234.567\r\n");
}

}  // namespace
}  // namespace lumora
