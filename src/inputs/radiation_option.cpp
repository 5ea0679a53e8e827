#include "inputs/radiation_option.hpp"

#include "common/number_text.hpp"
#include "common/text.hpp"

namespace lumora {

const NamedInputs& RadiationOptions::Inputs() {
  static const NamedInputs inputs = {&input::kRadiation, &input::kVoltage};
  return inputs;
}

bool RadiationOptions::Apply(const Option& option) {
  using namespace input;
  if (option.name == kRadiation.option) {
    const std::string kind = ReadChoice(kRadiation, std::string(Trim(option.value)));
    kind_ = kind == "x-ray" ? "xray" : kind;
    return true;
  }
  if (option.name == kVoltage.option) {
    voltage_ = ReadNumber(kVoltage, option.value);
    return true;
  }
  if (option.name == kWavelength.option || option.name == kAnode.option) wavelengthGiven_ = true;
  return false;
}

std::string RadiationOptions::Kind() const { return kind_.value_or("xray"); }

void RadiationOptions::Prepare(ParameterOptions& parameters) const {
  using namespace input;
  if (Kind() != "electron") {
    if (voltage_)
      throw UsageError("option " + std::string(kVoltage.option) + ": only electrons have an accelerating voltage (" +
                       std::string(kRadiation.option) + " " + Kind() + ")");
    return;
  }
  if (wavelengthGiven_)
    throw UsageError("option " + std::string(kWavelength.option) + ": electrons take " +
                     std::string(kVoltage.option) + " (kV), their wavelength follows it");
  const double kv = voltage_.value_or(DefaultNumber(kVoltage));
  parameters.Apply(Option{std::string(kWavelength.option), ShortestText(RelativisticElectronWavelength(kv))});
}

Radiation RadiationOptions::Of(double wavelength) const {
  const std::string kind = Kind();
  if (kind == "electron") return ElectronRadiation(voltage_.value_or(DefaultNumber(input::kVoltage)));
  if (kind == "neutron") return NeutronRadiation(wavelength);
  return XRayRadiation(wavelength);
}

void RadiationOptions::Name(Summary& summary) const { summary.paramLine2 += RadiationNote(Of(1.0)); }

std::string RadiationNote(const Radiation& radiation) {
  switch (radiation.kind) {
    case RadiationKind::XRay: return {};
    case RadiationKind::Neutron: return ", " + RadiationName(radiation.kind);
    case RadiationKind::Electron:
      return ", " + RadiationName(radiation.kind) + " " + ShortestText(radiation.voltageKv) + " kV";
  }
  return {};
}

}  // namespace lumora
