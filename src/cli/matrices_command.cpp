#include <cmath>
#include <cstdio>
#include <string>
#include <variant>

#include "cli/cli_options.hpp"
#include "cli/command_inputs.hpp"
#include "cli/commands.hpp"
#include "common/number_text.hpp"
#include "common/text.hpp"
#include "lattice/lattice.hpp"
#include "lattice/matrix_text.hpp"

namespace lumora::cli {
namespace {

constexpr const char* kHelp = R"(Usage: lumora-cli matrices [options]

Prints the direct lattice matrix and its inverse for a system and setting.

  --system NAME     octagonal, decagonal (default), dodecagonal, icosahedral
  --setting NAME    yamamoto (default) or steurer
  -a A              lattice constant a in Angstrom (default 2.82)
  -c C              lattice constant c in Angstrom (default 12.06)
  --settings FILE   start from a settings file (Lumora.cfg)
  -o FILE           write to FILE instead of standard output
  --help            show this text
)";

}  // namespace

int RunMatrices(const std::vector<std::string>& args) {
  using namespace input;
  const std::vector<Option> options =
      ReadOptions(args, CommandInputs("matrices"));
  ParameterOptions parameters;
  std::string output;
  for (const Option& option : options) {
    if (option.name == kHelpOption.option) {
      std::fputs(kHelp, stdout);
      return 0;
    }
    if (option.name == kOutput.option) output = option.value;
    else parameters.Apply(option);
  }
  ParameterTexts texts = parameters.Resolve();
  const ParameterTexts typed = texts;
  NormaliseDecimalCommas(texts);
  const auto read = ReadInputs(texts);
  if (const InputError* error = std::get_if<InputError>(&read)) {
    // Only the lattice options matter here.
    if (error->field == InputField::A || error->field == InputField::C) parameters.Reject(AsTyped(*error, typed));
  }
  const std::optional<double> a = ParseNumber(texts.a);
  const std::optional<double> c = ParseNumber(texts.c);
  const CrystalSystem system = SystemFromIndex(texts.systemIndex);
  const Lattice lattice = SetupLattice(system, *a, system == CrystalSystem::Icosahedral ? 1.0 : *c, texts.yamamoto);
  // Each value is printed in a column of 9 characters: a value that needs
  // more would run into its neighbour. In the axial systems the last row and
  // column belong to the periodic axis and follow c; the rest follow a.
  for (const Matrix7* m : {&lattice.directMatrix, &lattice.inverseMatrix}) {
    for (int i = 0; i < lattice.nDim; ++i) {
      for (int j = 0; j < lattice.nDim; ++j) {
        const double v = (*m)[i][j];
        if (std::isfinite(v) && FormatFixed(v, 4).size() < 9) continue;
        const bool periodic = lattice.nDim == 5 && (i == 4 || j == 4);
        parameters.Reject({periodic ? InputField::C : InputField::A, 0, periodic ? typed.c : typed.a,
                           "gives matrix values too large to print in their columns"});
      }
    }
  }

  std::string text = "Direct Lattice Matrix";
  text += kCrLf;
  text += MatrixText(lattice.directMatrix, lattice.nDim, lattice.nDim);
  text += kCrLf;
  text += "Inverse Matrix";
  text += kCrLf;
  text += MatrixText(lattice.inverseMatrix, lattice.nDim, lattice.nDim);
  return WriteOutput(output, text) ? 0 : 1;
}

}  // namespace lumora::cli
