// The 85 space groups with their reflection conditions ("extinction rules").
#pragma once

#include <optional>
#include <span>
#include <string>
#include <string_view>
#include <vector>

#include "lattice/lattice.hpp"

namespace lumora {

struct SpaceGroup {
  int number = 0;        // 1..85
  std::string symbol;    // "P10.5/mmc"
  std::string rules;     // condition words, each followed by one blank ("Oea Ob Eoa ")
  CrystalSystem system = CrystalSystem::Decagonal;
  int listIndex = 0;     // position in its system's list
};

// All 85 groups in table order (row number - 1).
std::span<const SpaceGroup> AllSpaceGroups();
// The groups of one system in list order.
std::span<const SpaceGroup> GroupsOf(CrystalSystem system);
// Row offset of a system's list: 0, 49, 64, 74.
int SystemOffset(CrystalSystem system);
// List index chosen when the user picks the system: 31, 11, 7, 0.
int DefaultGroupIndex(CrystalSystem system);
// The list index of "P10.5/mmc", which the program starts with.
inline constexpr int kStartGroupIndex = 13;

// Throws std::out_of_range for a list index outside the system's list.
const SpaceGroup& GroupAt(CrystalSystem system, int listIndex);
// A group by its exact symbol, in any system.
const SpaceGroup* FindGroup(std::string_view symbol);

// "extinction rules: " followed by the rule words.
std::string ExtinctionStatusText(const SpaceGroup& group);

}  // namespace lumora
