// The reflection conditions of a space group: whether a candidate is extinct.
#pragma once

#include "reflections/reflection_record.hpp"
#include "reflections/space_groups.hpp"

namespace lumora {

// True when the group's centring (F, I in the symbol) or its conditions exclude
// the reflection. Uses the record's indices and plane class; nDim is 5 or 6.
bool IsExtinct(const ReflectionRecord& record, const SpaceGroup& group, int nDim);

}  // namespace lumora
