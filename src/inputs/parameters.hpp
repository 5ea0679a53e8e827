// The calculation inputs as the user types them, and what the program derives
// from those texts: anode wavelengths, loop-limit stepping, decimal-comma
// normalisation, the two summary lines and the checked numeric inputs.
#pragma once

#include <array>
#include <optional>
#include <string>
#include <string_view>
#include <variant>

#include "inputs/named_inputs.hpp"
#include "reflections/calculation.hpp"

namespace lumora {

// ---- Anodes ----------------------------------------------------------------
inline constexpr int kAnodeCount = 8;
inline constexpr int kTypedAnodeIndex = 7;  // "US": the wavelength field is editable
std::string_view AnodeSymbol(int index);    // "Mo", "Cu", ..., "US"
// (2 K-alpha1 + K-alpha2) / 3 in double from the single-precision table,
// rounded to single precision.
float AnodeWavelength(int index);
// K-alpha1 and K-alpha2 of the table, in A (the powder doublet).
std::array<double, 2> AnodeKAlphaPair(int index);
// The text written into the wavelength field ("0.7106867").
std::string AnodeWavelengthText(int index);
// The anode list index for a symbol, case-insensitive.
std::optional<int> FindAnode(std::string_view symbol);

// ---- Loop limits -------------------------------------------------------------
inline constexpr int kLoopArrowMax = 20;
inline constexpr std::string_view kLoopsAuto = "auto";  // complete loops, for --loops and loops="auto"
// The up/down arrows: down gives max(0, v - 1), up min(v + 1, 20), v the lenient
// reading of the text, rounded halves to even.
std::string StepLoopLimit(std::string_view text, bool up);

// ---- Field texts -------------------------------------------------------------
// Decimal commas become points.
std::string Komma2Punkt(std::string_view text);

// The inputs exactly as typed in the fields.
struct ParameterTexts {
  int systemIndex = 1;  // 0 octagonal .. 3 icosahedral
  int groupIndex = kStartGroupIndex;
  bool yamamoto = true;
  int anodeIndex = 0;  // list index of the anode; the wavelength text follows it
  std::string a{input::kLatticeA.defaultText};
  std::string c{input::kLatticeC.defaultText};
  std::string wavelength{input::kWavelength.defaultText};
  std::string thetaMin{input::kThetaMin.defaultText};
  std::string thetaMax{input::kThetaMax.defaultText};
  std::string qiMax{input::kQiMax.defaultText};
  std::array<std::string, 6> loops{std::string(input::kLoops.defaultText), std::string(input::kLoops.defaultText),
                                   std::string(input::kLoops.defaultText), std::string(input::kLoops.defaultText),
                                   std::string(input::kLoops.defaultText), std::string(input::kLoops.defaultText)};
  // "--loops auto" (the window's "Complete" box): the smallest box that holds
  // every reflection of the filters; the loop texts are then not read.
  bool completeLoops = false;
};

// The start-up state: decagonal, "P10.5/mmc", anode "Mo" and its wavelength.
ParameterTexts StartupParameters();

// Applies Komma2Punkt to the numeric fields (theta range, qi-max, wavelength, a, c).
void NormaliseDecimalCommas(ParameterTexts& texts);

struct Summary {
  std::string sgSymbol;    // "P10.5/mmc"
  std::string paramLine1;  // "a = 2.82, c = 12.06, loop = 22222, Yamamoto matrices"
  std::string paramLine2;  // "wavelength = 0.7106867, thmin = 1.0, thmax = 30.0, qimax = 1.0"
};
// The field texts go in as typed, commas included.
Summary BuildSummary(const ParameterTexts& texts);

// ---- Reading the inputs --------------------------------------------------------
enum class InputField { System, SpaceGroup, A, C, Wavelength, ThetaMin, ThetaMax, QiMax, Loop };

struct InputError {
  InputField field = InputField::A;
  int loopIndex = 0;     // 0..5 for InputField::Loop
  std::string text;      // the offending text as typed
  std::string problem;   // "is not a number", "must be greater than 0", ...

  // One sentence naming the field and the text: a: "abc" is not a number
  std::string Message() const;
};

// The named input a field belongs to (its option, window field, label and range).
const NamedInput& FieldInput(InputField field);

// The label a user knows a field by ("a", "Wavelength", "Loop Limits h3", ...).
std::string FieldLabel(InputField field, int loopIndex = 0);

// Reads the numeric inputs strictly: every field must hold a number within the
// range of its named input; a and c (c for the axial systems only) and the
// wavelength greater than 0, qi-max not negative, theta min not above theta
// max, loop limits whole numbers 0..32767 (rounded halves to even).
std::variant<CalculationInputs, InputError> ReadInputs(const ParameterTexts& texts);

}  // namespace lumora
