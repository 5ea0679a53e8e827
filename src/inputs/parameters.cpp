#include "inputs/parameters.hpp"

#include <algorithm>
#include <cctype>
#include <cmath>
#include <stdexcept>

#include "common/number_text.hpp"
#include "common/numeric.hpp"
#include "common/text.hpp"

namespace lumora {
namespace {

struct Anode {
  std::string_view symbol;
  float kAlpha1;
  float kAlpha2;
};

// K-alpha1 and K-alpha2 wavelengths in A, as single-precision constants.
constexpr std::array<Anode, kAnodeCount> kAnodes = {{
    {"Mo", 0.70926f, 0.71354f},
    {"Cu", 1.5405982f, 1.544438f},
    {"Ni", 1.65783f, 1.66168f},
    {"Co", 1.7889f, 1.79279f},
    {"Fe", 1.93597f, 1.93991f},
    {"Cr", 2.28962f, 2.29352f},
    {"Ag", 0.559363f, 0.563775f},
    {"US", 1.5405982f, 1.544438f},
}};

const Anode& AnodeAt(int index) {
  if (index < 0 || index >= kAnodeCount) throw std::out_of_range("anode index " + std::to_string(index));
  return kAnodes[static_cast<std::size_t>(index)];
}

std::string LowerCase(std::string_view s) {
  std::string out(s);
  for (char& ch : out) ch = static_cast<char>(std::tolower(static_cast<unsigned char>(ch)));
  return out;
}

}  // namespace

std::string_view AnodeSymbol(int index) { return AnodeAt(index).symbol; }

float AnodeWavelength(int index) {
  const Anode& anode = AnodeAt(index);
  return static_cast<float>((2.0 * static_cast<double>(anode.kAlpha1) + static_cast<double>(anode.kAlpha2)) / 3.0);
}

std::array<double, 2> AnodeKAlphaPair(int index) {
  const Anode& anode = AnodeAt(index);
  return {static_cast<double>(anode.kAlpha1), static_cast<double>(anode.kAlpha2)};
}

std::string AnodeWavelengthText(int index) { return FormatSingle(AnodeWavelength(index)); }

std::optional<int> FindAnode(std::string_view symbol) {
  for (int i = 0; i < kAnodeCount; ++i)
    if (LowerCase(kAnodes[static_cast<std::size_t>(i)].symbol) == LowerCase(symbol)) return i;
  return std::nullopt;
}

std::string StepLoopLimit(std::string_view text, bool up) {
  const double v = Val(text);
  double next = up ? MinOf(v + 1.0, kLoopArrowMax) : MaxOf(0.0, v - 1.0);
  // A huge typed value cannot leave the 16-bit range of a loop limit.
  next = std::clamp(RoundHalfEven(next), -32768.0, 32767.0);
  return std::to_string(static_cast<int>(next));
}

std::string Komma2Punkt(std::string_view text) { return ReplaceAll(text, ',', '.'); }

ParameterTexts StartupParameters() {
  ParameterTexts texts;
  texts.wavelength = AnodeWavelengthText(0);
  return texts;
}

void NormaliseDecimalCommas(ParameterTexts& texts) {
  for (std::string* field : {&texts.thetaMin, &texts.thetaMax, &texts.qiMax, &texts.wavelength, &texts.a, &texts.c})
    *field = Komma2Punkt(*field);
}

Summary BuildSummary(const ParameterTexts& texts) {
  Summary summary;
  const CrystalSystem system = SystemFromIndex(texts.systemIndex);
  summary.sgSymbol = GroupAt(system, texts.groupIndex).symbol;
  const std::string setting = texts.yamamoto ? ", Yamamoto matrices" : ", Steurer matrices ";
  const int n = system == CrystalSystem::Icosahedral ? 6 : 5;
  summary.paramLine1 = "a = " + texts.a + (n == 6 ? std::string() : ", c = " + texts.c) + ", loop = ";
  if (texts.completeLoops) summary.paramLine1 += kLoopsAuto;
  for (int k = 0; k < n && !texts.completeLoops; ++k) summary.paramLine1 += texts.loops[static_cast<std::size_t>(k)];
  summary.paramLine1 += setting;
  summary.paramLine2 = "wavelength = " + texts.wavelength + ", thmin = " + texts.thetaMin +
                       ", thmax = " + texts.thetaMax + ", qimax = " + texts.qiMax;
  return summary;
}

const NamedInput& FieldInput(InputField field) {
  switch (field) {
    case InputField::System: return input::kSystem;
    case InputField::SpaceGroup: return input::kSpaceGroup;
    case InputField::A: return input::kLatticeA;
    case InputField::C: return input::kLatticeC;
    case InputField::Wavelength: return input::kWavelength;
    case InputField::ThetaMin: return input::kThetaMin;
    case InputField::ThetaMax: return input::kThetaMax;
    case InputField::QiMax: return input::kQiMax;
    case InputField::Loop: return input::kLoops;
  }
  throw std::invalid_argument("no such input field");
}

std::string FieldLabel(InputField field, int loopIndex) {
  std::string label(FieldInput(field).label);
  if (field == InputField::Loop) label += std::to_string(loopIndex + 1);
  return label;
}

std::string InputError::Message() const {
  return FieldLabel(field, loopIndex) + ": \"" + EchoText(text) + "\" " + problem;
}

std::variant<CalculationInputs, InputError> ReadInputs(const ParameterTexts& texts) {
  auto error = [](InputField field, const std::string& text, const std::string& problem, int loop = 0) {
    return InputError{field, loop, text, problem};
  };
  if (texts.systemIndex < 0 || texts.systemIndex > 3)
    return error(InputField::System, std::to_string(texts.systemIndex), "is not a system");
  CalculationInputs in;
  in.system = SystemFromIndex(texts.systemIndex);
  in.yamamoto = texts.yamamoto;
  in.groupIndex = texts.groupIndex;
  if (in.groupIndex < 0 || static_cast<std::size_t>(in.groupIndex) >= GroupsOf(in.system).size())
    return error(InputField::SpaceGroup, std::to_string(texts.groupIndex), "is not in the list of this system");

  struct NumberField {
    InputField field;
    const std::string* text;
    double* target;
  };
  const bool axial = in.system != CrystalSystem::Icosahedral;
  const NumberField fields[] = {
      {InputField::A, &texts.a, &in.a},
      {InputField::C, &texts.c, &in.c},
      {InputField::Wavelength, &texts.wavelength, &in.wavelength},
      {InputField::ThetaMin, &texts.thetaMin, &in.thetaLow},
      {InputField::ThetaMax, &texts.thetaMax, &in.thetaHigh},
      {InputField::QiMax, &texts.qiMax, &in.qiLimit},
  };
  for (const NumberField& f : fields) {
    if (f.field == InputField::C && !axial) continue;
    const std::optional<double> value = ParseNumber(*f.text);
    if (!value) return error(f.field, *f.text, "is not a number");
    const NamedInput& named = FieldInput(f.field);
    if (!named.range.Contains(*value)) return error(f.field, *f.text, std::string(named.problem));
    *f.target = *value;
  }
  if (in.thetaLow > in.thetaHigh)
    return error(InputField::ThetaMin, texts.thetaMin, "is larger than the maximum \"" + EchoText(texts.thetaMax) + "\"");

  in.completeLoops = texts.completeLoops;
  const int n = texts.completeLoops ? 0 : DimensionOf(in.system);
  for (int k = 0; k < n; ++k) {
    const std::string& text = texts.loops[static_cast<std::size_t>(k)];
    const std::optional<double> value = ParseNumber(text);
    if (!value) return error(InputField::Loop, text, "is not a number", k);
    const double rounded = RoundHalfEven(*value);
    if (!input::kLoops.range.Contains(rounded))
      return error(InputField::Loop, text, std::string(input::kLoops.problem), k);
    in.loopLimits[static_cast<std::size_t>(k)] = static_cast<int>(rounded);
  }
  return in;
}

}  // namespace lumora
