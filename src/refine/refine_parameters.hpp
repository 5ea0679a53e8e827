// The parameters a structure refinement can vary: the overall scale, an
// isotropic extinction parameter, and per site the occupancy, B_par, B_perp
// and the domain size (the model file's fields); a powder pattern's fit also
// its zero shift, a and c, Caglioti U, V, W, eta and the background's
// Chebyshev coefficients. Names as users write them: "scale", "extinction",
// "occupancy:LABEL", "b_par:LABEL", "b_perp:LABEL", "size:LABEL" ("KIND:*" for
// every site), "zero", "a", "c", "u", "v", "w", "eta", "background" (every
// coefficient) or "background:K" (K from 0); "A=B" holds A and B equal,
// refined as one.
#pragma once

#include <string>
#include <string_view>
#include <variant>
#include <vector>

#include "intensity/structure_model.hpp"

namespace lumora {

enum class ParameterKind {
  Scale, Extinction, Occupancy, BPar, BPerp, Size,          // the structure
  Zero, LatticeA, LatticeC, CagliotiU, CagliotiV, CagliotiW, Eta, Background  // a powder pattern
};

// Where a list of parameters is read: a single-crystal refinement knows no
// pattern parameters, a pattern fit no extinction.
enum class ParameterScope { SingleCrystal, PowderPattern };

struct ParameterRef {
  ParameterKind kind = ParameterKind::Scale;
  int site = -1;  // the site (index into the model's sites) of the per-site kinds; the background's term
  bool operator==(const ParameterRef&) const = default;
};

// One refined variable: the parameters it sets, held equal.
struct FreeParameter {
  std::vector<ParameterRef> members;
};

// A powder pattern's instrument and lattice: 2 theta in degrees, a and c in A,
// U, V, W in degrees^2 (FWHM^2 = U tan^2 theta + V tan theta + W).
struct PatternState {
  double zero = 0.0, a = 0.0, c = 0.0, u = 0.0, v = 0.0, w = 0.01, eta = 0.5;
  std::vector<double> background;  // Chebyshev coefficients over the measured range
};

// The model with everything a refinement varies.
struct ModelState {
  StructureModel model;
  double scale = 1.0;       // I_calc = scale |F|^2 y
  double extinction = 0.0;  // x of y = (1 + x |F|^2 lambda^3 / sin 2 theta)^-1/2
  PatternState pattern;     // a powder pattern's fit only
};

struct ParameterBounds {
  double low = 0.0;
  double high = 0.0;
};

// occupancy and eta 0..1; B_par, B_perp, extinction 0 and above; size, scale,
// a and c above 0; zero within 10 degrees; U, V, W and the background free.
ParameterBounds BoundsOf(ParameterKind kind);

bool IsStructureKind(ParameterKind kind);

std::string ParameterName(const ParameterRef& ref, const StructureModel& model);
double ValueOf(const ModelState& state, const ParameterRef& ref);
void SetValue(ModelState& state, const ParameterRef& ref, double value);

// The name of a free parameter: its first member's, with the others after
// "=" ("b_perp:Al1=b_perp:Al2").
std::string FreeParameterName(const FreeParameter& free, const StructureModel& model);

// A comma-separated list of names and equalities. A parameter named twice is
// refined once; an equality joins the groups of its sides, which must be of
// one kind. backgroundTerms: how many coefficients "background" stands for.
// Returns a message naming the bad item otherwise.
std::variant<std::vector<FreeParameter>, std::string> ParseParameterList(
    std::string_view list, const StructureModel& model, ParameterScope scope = ParameterScope::SingleCrystal,
    int backgroundTerms = 0);

}  // namespace lumora
