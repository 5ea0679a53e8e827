// The reflection conditions of a space group in words, for the status bar's
// tooltip: what each rule code of the group leaves out. The codes themselves
// live in space_groups.cpp, their effect in extinction.cpp.
#pragma once

#include <string>
#include <string_view>

#include "reflections/space_groups.hpp"

namespace lumora {

// What one axial rule code ("Ob") leaves out; empty for an unknown code.
std::string_view ExtinctionCodeMeaning(std::string_view code);
// What the written rule of icosahedral group `groupNumber` (76, 78, 80, 82,
// 85) leaves out; empty for the others.
std::string_view IcosahedralRuleMeaning(int groupNumber);
// One line per condition the group applies: its centring and each rule code
// ("Ob: ..."); "no reflection conditions" when there are none.
std::string ExtinctionConditionsText(const SpaceGroup& group);

}  // namespace lumora
