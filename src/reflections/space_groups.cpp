#include "reflections/space_groups.hpp"

#include <array>
#include <stdexcept>
#include <string>

#include "common/text.hpp"

namespace lumora {
namespace {

// One line per group: number, symbol, then the condition words. Runs of blanks
// carry no meaning; only the words count.
constexpr std::array<std::string_view, 85> kTableLines = {
    "1 P-8", "2 I-8", "3 P-8m2", "4 P-8b2 Aoa", "5 P-8c2 Oa", "6 P-8n2 Eoa Oea", "7 P-82m",
    "8 P-82.1m Zoa", "9 P-82c Ob", "10 P-82.1c Ob Zoa", "11 I-8m2", "12 I-82m", "13 I-82c Ob",
    "14 P8", "15 I8", "16 P8mm", "17 P8bm Aoa", "18 P8cc Oab", "19 P8nc Oea Ob Eoa",
    "20 P8.4mc Ob", "21 P8.4bc Ob Aoa", "22 P8.4cm Oa", "23 P8.4nm Oea Eoa", "24 I8mm",
    "25 I8mc Ob", "26 P822", "27 P82.12 Zoa", "28 I822", "29 P8/m", "30 P8/n Zo", "31 I8/m",
    "32 P8/mmm", "33 P8/mbm Aoa", "34 P8/mcc Oab", "35 P8/mnc Oea Ob Eoa", "36 P8/nmm Zo",
    "37 P8/nbm Aoa Zo", "38 P8/ncc Oab Zo", "39 P8/nnc Oea Eoa Ob Zo", "40 P8.4/mmc Ob",
    "41 P8.4/mbc Ob Aoa", "42 P8.4/mcm Oa", "43 P8.4/mnm Oea Eoa", "44 P8.4/nmc Ob Zo",
    "45 P8.4/nbc Ob Aoa Zo", "46 P8.4/ncm Oa Zo", "47 P8.4/nnm Oea Eoa Zo", "48 I8/mmm",
    "49 I8/mmc Ob",
    "50 P-10m2", "51 P-10c2 Oa", "52 P-102m", "53 P-102c Ob", "54 P10", "55 P10mm",
    "56 P10cc Oab", "57 P10.5mc Ob", "58 P10.5cm Oa", "59 P1022", "60 P10/m", "61 P10/mmm",
    "62 P10/mcc Oab", "63 P10.5/mmc Ob", "64 P10.5/mcm Oa",
    "65 P-122m", "66 P12", "67 P12mm", "68 P12.6cm Oa", "69 P12cc Oab", "70 P1222", "71 P12/m",
    "72 P12/mmm", "73 P12.6/mcm Oa", "74 P12/mcc Oab",
    "75 P235", "76 P235.1 h1=5n for  h1 h2 h2 h2 h2 h2", "77 I235",
    "78 I235.1 h1+5h2=10n  for h1 h2 h2 h2 h2 h2", "79 F235",
    "80 F235.1 h1+5h2=10n  for h1 h2 h2 h2 h2 h2", "81 Pm-3-5",
    "82 Pn-3-5 h5-h6=2n  for h1 h2 -h1 -h2 h5 h6", "83 Im-3-5", "84 Fm-3-5",
    "85 Fn-3-5 h5-h6=4n  for h1 h2 -h1 -h2 h5 h6",
};

CrystalSystem SystemOfRow(int number) {
  if (number <= 49) return CrystalSystem::Octagonal;
  if (number <= 64) return CrystalSystem::Decagonal;
  if (number <= 74) return CrystalSystem::Dodecagonal;
  return CrystalSystem::Icosahedral;
}

std::vector<SpaceGroup> ParseTable() {
  std::vector<SpaceGroup> groups;
  groups.reserve(kTableLines.size());
  for (std::string_view line : kTableLines) {
    const std::vector<std::string> words = SplitWords(line);
    SpaceGroup group;
    group.number = std::stoi(words[0]);
    group.symbol = words[1];
    for (std::size_t i = 2; i < words.size(); ++i) group.rules += words[i] + " ";
    group.system = SystemOfRow(group.number);
    group.listIndex = group.number - 1 - SystemOffset(group.system);
    groups.push_back(std::move(group));
  }
  return groups;
}

const std::vector<SpaceGroup>& Table() {
  static const std::vector<SpaceGroup> table = ParseTable();
  return table;
}

std::size_t GroupCount(CrystalSystem system) {
  switch (system) {
    case CrystalSystem::Octagonal: return 49;
    case CrystalSystem::Decagonal: return 15;
    case CrystalSystem::Dodecagonal: return 10;
    case CrystalSystem::Icosahedral: return 11;
  }
  return 0;
}

}  // namespace

std::span<const SpaceGroup> AllSpaceGroups() { return Table(); }

std::span<const SpaceGroup> GroupsOf(CrystalSystem system) {
  return std::span<const SpaceGroup>(Table()).subspan(static_cast<std::size_t>(SystemOffset(system)),
                                                      GroupCount(system));
}

int SystemOffset(CrystalSystem system) {
  switch (system) {
    case CrystalSystem::Octagonal: return 0;
    case CrystalSystem::Decagonal: return 49;
    case CrystalSystem::Dodecagonal: return 64;
    case CrystalSystem::Icosahedral: return 74;
  }
  return 0;
}

int DefaultGroupIndex(CrystalSystem system) {
  switch (system) {
    case CrystalSystem::Octagonal: return 31;
    case CrystalSystem::Decagonal: return 11;
    case CrystalSystem::Dodecagonal: return 7;
    case CrystalSystem::Icosahedral: return 0;
  }
  return 0;
}

const SpaceGroup& GroupAt(CrystalSystem system, int listIndex) {
  auto groups = GroupsOf(system);
  if (listIndex < 0 || static_cast<std::size_t>(listIndex) >= groups.size())
    throw std::out_of_range("space group list index " + std::to_string(listIndex));
  return groups[static_cast<std::size_t>(listIndex)];
}

const SpaceGroup* FindGroup(std::string_view symbol) {
  for (const SpaceGroup& group : Table())
    if (group.symbol == symbol) return &group;
  return nullptr;
}

std::string ExtinctionStatusText(const SpaceGroup& group) { return "extinction rules: " + group.rules; }

}  // namespace lumora
