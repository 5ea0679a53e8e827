#include "zone/zone_options.hpp"

#include <algorithm>
#include <cmath>

#include "common/number_text.hpp"
#include "common/text.hpp"

namespace lumora {

Radiation ZoneRadiation(const std::string& kind, double voltage, double wavelength) {
  if (kind == "electron") return ElectronRadiation(voltage);
  if (kind == "neutron") return NeutronRadiation(wavelength);
  return XRayRadiation(wavelength);
}

const NamedInputs& ZoneOptions::Inputs() {
  using namespace input;
  static const NamedInputs inputs = [] {
    NamedInputs all;
    for (const NamedInput* in : ParameterOptions::Inputs())
      if (in != &kTheta) all.push_back(in);
    all.insert(all.end(), {&kAxis, &kTilt, &kRadiation, &kVoltage, &kThickness, &kPrecession, &kGMax, &kSMax,
                           &kCameraLength, &kSpotSigma, &kSpotThreshold, &kFitTolerance, &kCentre, &kKRange,
                           &kMinIndexed, &kFitTilt});
    return all;
  }();
  return inputs;
}

bool ZoneOptions::Apply(const Option& option) {
  using namespace input;
  const std::string& name = option.name;
  const std::string& text = option.value;
  if (name == kWavelength.option || name == kAnode.option) {
    (name == kWavelength.option ? wavelengthGiven_ : anodeGiven_) = true;
    return false;
  }
  if (name == kAxis.option) {
    if (Trim(text).empty()) Refuse(kAxis, text);
    axis_ = std::string(Trim(text));
  } else if (name == kTilt.option) {
    const std::vector<double> v = ReadNumbers(kTilt, text, 2);
    if (!kTilt.range.Contains(v[0]) || !kTilt.range.Contains(v[1])) Refuse(kTilt, text);
    tiltX_ = v[0], tiltY_ = v[1];
  } else if (name == kRadiation.option) {
    const std::string kind = ReadChoice(kRadiation, std::string(Trim(text)));
    radiation_ = kind == "x-ray" ? "xray" : kind;
  } else if (name == kVoltage.option) {
    voltage_ = ReadNumber(kVoltage, text);
  } else if (name == kThickness.option) {
    thickness_ = ReadNumber(kThickness, text);
  } else if (name == kPrecession.option) {
    precession_ = ReadNumber(kPrecession, text);
  } else if (name == kGMax.option) {
    gMax_ = ReadNumber(kGMax, text);
  } else if (name == kSMax.option) {
    sMax_ = ReadNumber(kSMax, text);
  } else if (name == kCameraLength.option) {
    cameraLength_ = ReadNumber(kCameraLength, text);
  } else if (name == kSpotSigma.option) {
    spots.sigma = ReadNumber(kSpotSigma, text);
  } else if (name == kSpotThreshold.option) {
    spots.threshold = ReadNumber(kSpotThreshold, text);
  } else if (name == kFitTolerance.option) {
    fit.tolerance = ReadNumber(kFitTolerance, text);
  } else if (name == kCentre.option) {
    const std::vector<double> v = ReadNumbers(kCentre, text, 2);
    fit.centre = std::array<double, 2>{v[0], v[1]};
  } else if (name == kKRange.option) {
    const std::vector<double> v = ReadNumbers(kKRange, text, 2);
    if (!kKRange.range.Contains(v[0]) || !(v[1] > v[0]) || !std::isfinite(v[1])) Refuse(kKRange, text);
    fit.kMin = v[0], fit.kMax = v[1];
  } else if (name == kFitTilt.option) {
    fit.maxTilt = ReadNumber(kFitTilt, text);
    fit.fitTilt = true;
  } else if (name == kMinIndexed.option) {
    fit.minIndexed = static_cast<int>(ReadWholeNumber(kMinIndexed, text));
  } else {
    return false;
  }
  return true;
}

ZoneInputs ZoneOptions::Read(const ParameterOptions::Read& read) const {
  using namespace input;
  ZoneInputs in;
  in.calculation = read.inputs;
  const std::string kind = radiation_.value_or(std::string(kRadiation.defaultText));
  if (kind == "electron") {
    if (wavelengthGiven_ || anodeGiven_)
      throw UsageError("option " + std::string(wavelengthGiven_ ? kWavelength.option : kAnode.option) +
                       ": electrons take " + std::string(kVoltage.option) + " (kV); give " +
                       std::string(kRadiation.option) + " xray or neutron for a wavelength");
  } else {
    if (voltage_)
      throw UsageError("option " + std::string(kVoltage.option) + ": only electrons have an accelerating voltage (" +
                       std::string(kRadiation.option) + " " + kind + ")");
    if (kind == "neutron" && !wavelengthGiven_)
      throw UsageError("option " + std::string(kRadiation.option) + " neutron needs " +
                       std::string(kWavelength.option));
  }
  in.radiation = ZoneRadiation(kind, voltage_.value_or(DefaultNumber(kVoltage)), read.inputs.wavelength);

  const CrystalSystem system = read.inputs.system;
  const int n = DimensionOf(system);
  const std::string axis = axis_.value_or(system == CrystalSystem::Icosahedral  ? "5"
                                          : system == CrystalSystem::Octagonal  ? "8"
                                          : system == CrystalSystem::Decagonal  ? "10"
                                                                                : "12");
  if (axis.find(',') != std::string::npos) {
    const std::vector<std::string> parts = SplitCommas(axis);
    if (static_cast<int>(parts.size()) != n) {
      const std::string systemName = SplitWords(kSystem.choices)[static_cast<std::size_t>(SystemIndex(system))];
      BadValue(kAxis.option, axis, "must be " + std::to_string(n) + " whole numbers for the " + systemName + " system");
    }
    std::array<int, 6> u{};
    for (int i = 0; i < n; ++i) {
      const std::optional<double> v = ParseNumber(parts[static_cast<std::size_t>(i)]);
      if (!v || *v != std::floor(*v) || std::fabs(*v) > 1000.0)
        BadValue(kAxis.option, axis, "must be whole numbers from -1000 to 1000");
      u[static_cast<std::size_t>(i)] = static_cast<int>(*v);
    }
    if (std::all_of(u.begin(), u.end(), [](int x) { return x == 0; })) BadValue(kAxis.option, axis, "is the zero vector");
    in.beam.index = u;
  } else {
    in.beam.axisName = axis;
  }
  in.beam.tiltX = tiltX_;
  in.beam.tiltY = tiltY_;
  in.thickness = thickness_ * 10.0;  // nm -> A
  in.precession = precession_;
  in.gMax = gMax_;
  in.sMax = sMax_;
  in.cameraLength = cameraLength_;
  const std::string problem = CheckZoneInputs(in);
  if (!problem.empty()) throw UsageError(problem);
  return in;
}

}  // namespace lumora
