// The parameters a structure refinement can vary: the overall scale, an
// isotropic extinction parameter, and per site the occupancy, B_par, B_perp
// and the domain size (the model file's fields). Names as users write them:
// "scale", "extinction", "occupancy:LABEL", "b_par:LABEL", "b_perp:LABEL",
// "size:LABEL" ("KIND:*" for every site); "A=B" holds A and B equal, refined
// as one.
#pragma once

#include <string>
#include <string_view>
#include <variant>
#include <vector>

#include "intensity/structure_model.hpp"

namespace lumora {

enum class ParameterKind { Scale, Extinction, Occupancy, BPar, BPerp, Size };

struct ParameterRef {
  ParameterKind kind = ParameterKind::Scale;
  int site = -1;  // the site (index into the model's sites) of the per-site kinds
  bool operator==(const ParameterRef&) const = default;
};

// One refined variable: the parameters it sets, held equal.
struct FreeParameter {
  std::vector<ParameterRef> members;
};

// The model with everything a refinement varies.
struct ModelState {
  StructureModel model;
  double scale = 1.0;       // I_calc = scale |F|^2 y
  double extinction = 0.0;  // x of y = (1 + x |F|^2 lambda^3 / sin 2 theta)^-1/2
};

struct ParameterBounds {
  double low = 0.0;
  double high = 0.0;
};

// occupancy 0..1; B_par, B_perp, extinction 0 and above; size and scale above 0.
ParameterBounds BoundsOf(ParameterKind kind);

std::string ParameterName(const ParameterRef& ref, const StructureModel& model);
double ValueOf(const ModelState& state, const ParameterRef& ref);
void SetValue(ModelState& state, const ParameterRef& ref, double value);

// The name of a free parameter: its first member's, with the others after
// "=" ("b_perp:Al1=b_perp:Al2").
std::string FreeParameterName(const FreeParameter& free, const StructureModel& model);

// A comma-separated list of names and equalities. A parameter named twice is
// refined once; an equality joins the groups of its sides, which must be of
// one kind. Returns a message naming the bad item otherwise.
std::variant<std::vector<FreeParameter>, std::string> ParseParameterList(std::string_view list,
                                                                         const StructureModel& model);

}  // namespace lumora
