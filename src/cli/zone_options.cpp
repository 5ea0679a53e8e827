#include "cli/zone_options.hpp"

#include <algorithm>
#include <cmath>

#include "common/number_text.hpp"
#include "common/text.hpp"

namespace lumora::cli {
namespace {

double NumberIn(const Option& option, double low, double high, bool openLow, const std::string& problem) {
  const std::optional<double> value = ParseNumber(option.value);
  if (!value || !(openLow ? *value > low : *value >= low) || !(*value <= high)) BadValue(option.name, option.value, problem);
  return *value;
}

std::vector<double> Pair(const Option& option, const std::string& form) {
  const std::vector<std::string> parts = SplitCommas(option.value);
  if (parts.size() != 2) BadValue(option.name, option.value, "must be " + form);
  std::vector<double> values;
  for (const std::string& part : parts) {
    const std::optional<double> v = ParseNumber(part);
    if (!v) BadValue(option.name, option.value, "must be " + form + " (\"" + EchoText(part) + "\" is not a number)");
    values.push_back(*v);
  }
  return values;
}

std::string Lower(std::string s) {
  for (char& c : s) c = static_cast<char>(std::tolower(static_cast<unsigned char>(c)));
  return s;
}

}  // namespace

const std::set<std::string>& ZoneOptions::Names() {
  static const std::set<std::string> names = {
      "--axis",       "--tilt",          "--radiation",   "--voltage",   "--thickness", "--precession",
      "--g-max",      "--s-max",         "--camera-length", "--spot-sigma", "--spot-threshold", "--tolerance",
      "--centre",     "--k-range",       "--min-indexed", "--fit-tilt"};
  return names;
}

bool ZoneOptions::Apply(const Option& option) {
  const std::string& name = option.name;
  if (name == "--wavelength" || name == "--anode") {
    (name == "--wavelength" ? wavelengthGiven_ : anodeGiven_) = true;
    return false;
  }
  if (name == "--axis") {
    if (Trim(option.value).empty()) BadValue(name, option.value, "is not an axis name or index vector");
    axis_ = std::string(Trim(option.value));
  } else if (name == "--tilt") {
    const std::vector<double> v = Pair(option, "TX,TY in degrees");
    if (std::fabs(v[0]) > 90.0 || std::fabs(v[1]) > 90.0) BadValue(name, option.value, "must be tilts from -90 to 90 degrees");
    tiltX_ = v[0], tiltY_ = v[1];
  } else if (name == "--radiation") {
    const std::string r = Lower(std::string(Trim(option.value)));
    if (r != "electron" && r != "xray" && r != "x-ray" && r != "neutron")
      BadValue(name, option.value, "is not electron, xray or neutron");
    radiation_ = r == "x-ray" ? "xray" : r;
  } else if (name == "--voltage") {
    voltage_ = NumberIn(option, 0.0, 10000.0, true, "is not an accelerating voltage above 0 and at most 10000 kV");
  } else if (name == "--thickness") {
    thickness_ = NumberIn(option, 0.0, 100000.0, true, "is not a thickness above 0 and at most 100000 nm");
  } else if (name == "--precession") {
    precession_ = NumberIn(option, 0.0, 10.0, false, "is not a precession angle from 0 to 10 degrees");
  } else if (name == "--g-max") {
    gMax_ = NumberIn(option, 0.0, 20.0, true, "is not a pattern radius above 0 and at most 20 1/A");
  } else if (name == "--s-max") {
    sMax_ = NumberIn(option, 0.0, 10.0, true, "is not an excitation error above 0 and at most 10 1/A");
  } else if (name == "--camera-length") {
    cameraLength_ = NumberIn(option, 0.0, 1e6, true, "is not a camera length above 0 mm");
  } else if (name == "--spot-sigma") {
    spots.sigma = NumberIn(option, 0.5, 20.0, false, "is not a spot width from 0.5 to 20 pixels");
  } else if (name == "--spot-threshold") {
    spots.threshold = NumberIn(option, 0.0, 1e6, true, "is not a number above 0 (multiples of the noise)");
  } else if (name == "--tolerance") {
    fit.tolerance = NumberIn(option, 0.3, 50.0, false, "is not a tolerance from 0.3 to 50 pixels");
  } else if (name == "--centre") {
    const std::vector<double> v = Pair(option, "X,Y in pixels");
    fit.centre = std::array<double, 2>{v[0], v[1]};
  } else if (name == "--k-range") {
    const std::vector<double> v = Pair(option, "KMIN,KMAX in pixels x A");
    if (!(v[0] > 0.0 && v[1] > v[0])) BadValue(name, option.value, "must be 0 < KMIN < KMAX");
    fit.kMin = v[0], fit.kMax = v[1];
  } else if (name == "--fit-tilt") {
    fit.maxTilt = NumberIn(option, 0.0, 10.0, true, "is not a largest tilt above 0 and at most 10 degrees");
    fit.fitTilt = true;
  } else if (name == "--min-indexed") {
    fit.minIndexed = static_cast<int>(WholeNumberOption(option, 3, 100000));
  } else {
    return false;
  }
  return true;
}

ZoneInputs ZoneOptions::Inputs(const ParameterOptions::Read& read) const {
  ZoneInputs in;
  in.calculation = read.inputs;
  const std::string kind = radiation_.value_or("electron");
  if (kind == "electron") {
    if (wavelengthGiven_ || anodeGiven_)
      throw UsageError(std::string("option ") + (wavelengthGiven_ ? "--wavelength" : "--anode") +
                       ": electrons take --voltage (kV); give --radiation xray or neutron for a wavelength");
    in.radiation = ElectronRadiation(voltage_.value_or(200.0));
  } else {
    if (voltage_) throw UsageError("option --voltage: only electrons have an accelerating voltage (--radiation " + kind + ")");
    if (kind == "neutron") {
      if (!wavelengthGiven_) throw UsageError("option --radiation neutron needs --wavelength");
      in.radiation = NeutronRadiation(read.inputs.wavelength);
    } else {
      in.radiation = XRayRadiation(read.inputs.wavelength);
    }
  }
  const CrystalSystem system = read.inputs.system;
  const int n = DimensionOf(system);
  const std::string axis = axis_.value_or(system == CrystalSystem::Icosahedral  ? "5"
                                          : system == CrystalSystem::Octagonal  ? "8"
                                          : system == CrystalSystem::Decagonal  ? "10"
                                                                                : "12");
  if (axis.find(',') != std::string::npos) {
    const std::vector<std::string> parts = SplitCommas(axis);
    if (static_cast<int>(parts.size()) != n)
      BadValue("--axis", axis, "must be " + std::to_string(n) + " whole numbers for the " + Lower(std::string(SystemName(system))) + " system");
    std::array<int, 6> u{};
    for (int i = 0; i < n; ++i) {
      const std::optional<double> v = ParseNumber(parts[static_cast<std::size_t>(i)]);
      if (!v || *v != std::floor(*v) || std::fabs(*v) > 1000.0)
        BadValue("--axis", axis, "must be whole numbers from -1000 to 1000");
      u[static_cast<std::size_t>(i)] = static_cast<int>(*v);
    }
    if (std::all_of(u.begin(), u.end(), [](int x) { return x == 0; })) BadValue("--axis", axis, "is the zero vector");
    in.beam.index = u;
  } else {
    in.beam.axisName = axis;
  }
  in.beam.tiltX = tiltX_;
  in.beam.tiltY = tiltY_;
  in.thickness = thickness_ * 10.0;
  in.precession = precession_;
  in.gMax = gMax_;
  in.sMax = sMax_;
  in.cameraLength = cameraLength_;
  return in;
}

}  // namespace lumora::cli
