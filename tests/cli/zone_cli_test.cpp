// lumora-cli zone: the worked example's image fitted back to the geometry it
// was drawn with, refusal (exit 3) for the wrong zone axis, the outputs'
// fields, and bad radiation and beam options.
#include <gtest/gtest.h>

#include <cmath>
#include <fstream>
#include <regex>
#include <sstream>

#include "cli/cli_run.hpp"
#include "scratch_test.hpp"

namespace lumora {
namespace {

using testing::RunCli;

class CliZone : public lumora::testing::ScratchTest {
 protected:
  static std::string Read(const std::string& path) {
    std::ifstream in(path);
    std::stringstream s;
    s << in.rdbuf();
    return s.str();
  }
  static double Field(const std::string& json, const std::string& name) {
    std::smatch m;
    const std::regex pattern("\"" + name + "\": ([-0-9.eE+]+)");
    if (!std::regex_search(json, m, pattern)) return std::nan("");
    return std::stod(m[1]);
  }
};

const std::string kExample = std::string(LUMORA_SOURCE_DIR) + "/docs/examples/synthetic_fivefold.png";
const std::string kFiveFold = "--system icosahedral --space-group P235 -a 5.1 --loops 8 --qi-max 1.5 --g-max 0.9 ";

TEST_F(CliZone, TheWorkedExampleFitsBackToItsDrawing) {
  // make_zone_example.py drew it at K = 400 px A, 14 degrees, centre (391.4, 377.8).
  const auto run = RunCli("zone " + kFiveFold + "--measured " + kExample + " --fit-json " + Path("fit.json"));
  ASSERT_EQ(run.status, 0) << run.out;
  const std::string fit = Read(Path("fit.json"));
  EXPECT_NE(fit.find("\"reliable\": true"), std::string::npos);
  EXPECT_NEAR(Field(fit, "camera_constant"), 400.0, 0.003 * 400.0);
  // The rotation goes with the indices listed: 14 degrees modulo 36.
  EXPECT_NEAR(std::fmod(Field(fit, "rotation_deg") - 14.0 + 36.0 * 11 + 18.0, 36.0) - 18.0, 0.0, 0.3);
  EXPECT_NEAR(Field(fit, "centre_x"), 391.4, 1.0);
  EXPECT_NEAR(Field(fit, "centre_y"), 377.8, 1.0);
  EXPECT_GT(Field(fit, "camera_constant_su"), 0.0);
  EXPECT_NE(run.out.find("verdict: reliable"), std::string::npos);

  // The three-fold pattern cannot explain the five-fold image: refused.
  const auto other = RunCli("zone " + kFiveFold + "--axis 3 --measured " + kExample + " --fit-json " + Path("other.json"));
  EXPECT_EQ(other.status, 3);
  EXPECT_NE(Read(Path("other.json")).find("\"reliable\": false"), std::string::npos);
}

TEST_F(CliZone, OutputsCarryTheirFields) {
  const auto run = RunCli("zone " + kFiveFold + "--voltage 200 --camera-length 800 --csv " + Path("z.csv") + " --json " +
                          Path("z.json") + " --svg " + Path("z.svg"));
  ASSERT_EQ(run.status, 0);
  std::istringstream csv(Read(Path("z.csv")));
  std::string header;
  std::getline(csv, header);
  EXPECT_EQ(header, "h1,h2,h3,h4,h5,h6,x,y,excitation_error,laue_zone,intensity,d,q_perp,f_squared,shape_factor,x_mm,y_mm");
  const std::string json = Read(Path("z.json"));
  // 200 kV: lambda = hc / sqrt(E (E + 2 m c^2)) = 0.0250793 A.
  EXPECT_NEAR(Field(json, "wavelength"), 12.398419843 / std::sqrt(200.0 * (200.0 + 2 * 510.99895)), 1e-9);
  EXPECT_NE(json.find("\"beam\": [0, 0, 1]"), std::string::npos);
  EXPECT_NE(Read(Path("z.svg")).find("<svg"), std::string::npos);
}

TEST_F(CliZone, BadOptionsAreNamed) {
  struct Case {
    std::string args, message;
  };
  const Case cases[] = {
      {"--radiation xray --voltage 100", "option --voltage"},
      {"--radiation neutron", "option --radiation neutron needs --wavelength"},
      {"--wavelength 0.7", "option --wavelength: electrons take --voltage"},
      {"--system icosahedral --axis 1,0,0", "option --axis: \"1,0,0\" must be 6 whole numbers"},
      {"--system decagonal --axis 5", "option --axis: axis \"5\" is not one of 10, 2 (2a) or 2' (2b)"},
      {"--theta 1,30", "unknown option --theta"},
      {"--precession 20", "option --precession"},
      {"--measured " + std::string(LUMORA_SOURCE_DIR) + "/README.md", "not a PNG, TIFF or MRC"},
      {"--fit-json x.json", "option --fit-json needs --measured"},
  };
  for (const Case& c : cases) {
    const auto run = RunCli("zone " + c.args + " --csv " + Path("never.csv"), true);
    EXPECT_EQ(run.status, 2) << c.args;
    EXPECT_NE(run.out.find(c.message), std::string::npos) << run.out;
    EXPECT_FALSE(std::filesystem::exists(Path("never.csv")));
  }
}

}  // namespace
}  // namespace lumora
