#include "reflections/extinction_text.hpp"

#include <sstream>
#include <utility>

namespace lumora {
namespace {

// "first family" and "second family" are the two classes of symmetry
// directions of the axial systems; h5 is the index along the periodic axis.
constexpr std::pair<std::string_view, std::string_view> kMeanings[] = {
    {"Oa", "reflections on a first-family direction with h5 odd are absent"},
    {"Ob", "reflections on a second-family direction with h5 odd are absent"},
    {"Oab", "reflections on a direction of either family with h5 odd are absent"},
    {"Oea", "reflections on a first-family direction with h5 odd and an even index sum are absent"},
    {"Eoa", "reflections on a first-family direction with h5 even and an odd index sum are absent"},
    {"Zo", "reflections with h5 = 0 and an odd index sum are absent"},
    {"Zoa", "reflections on a first-family direction with h5 = 0 and an odd index sum are absent"},
    {"Aoa", "listed for the group, but leaves no reflection out"},
};

// The icosahedral groups write their rule out. The rule names the reflections
// that are left out: those of the form after "for" that meet the equation
// (P235.1 leaves out 5 1 1 1 1 1 and 0 1 1 1 1 1, keeps 3 1 1 1 1 1).
constexpr std::pair<int, std::string_view> kIcosahedralMeanings[] = {
    {76, "reflections h1 h2 h2 h2 h2 h2 (h2 = h3 = h4 = h5 = h6) whose h1 is a multiple of 5, 0 included, are absent"},
    {78, "reflections h1 h2 h2 h2 h2 h2 (h2 = h3 = h4 = h5 = h6) whose h1 + 5 h2 is a multiple of 10, 0 included, "
         "are absent"},
    {80, "reflections h1 h2 h2 h2 h2 h2 (h2 = h3 = h4 = h5 = h6) whose h1 + 5 h2 is a multiple of 10, 0 included, "
         "are absent"},
    {82, "reflections h1 h2 -h1 -h2 h5 h6 (h3 = -h1, h4 = -h2) whose h5 - h6 is even, 0 included, are absent"},
    {85, "reflections h1 h2 -h1 -h2 h5 h6 (h3 = -h1, h4 = -h2) whose h5 - h6 is a multiple of 4, 0 included, are absent"},
};

}  // namespace

std::string_view IcosahedralRuleMeaning(int groupNumber) {
  for (const auto& [number, meaning] : kIcosahedralMeanings)
    if (number == groupNumber) return meaning;
  return {};
}

std::string_view ExtinctionCodeMeaning(std::string_view code) {
  for (const auto& [name, meaning] : kMeanings)
    if (name == code) return meaning;
  return {};
}

std::string ExtinctionConditionsText(const SpaceGroup& group) {
  std::ostringstream text;
  if (group.symbol.find('F') != std::string::npos)
    text << "F centring: reflections with neighbouring indices of unlike parity are absent\n";
  if (group.symbol.find('I') != std::string::npos) text << "I centring: reflections with an odd index sum are absent\n";
  if (group.system == CrystalSystem::Icosahedral) {
    // The icosahedral groups carry their condition written out; the sentence
    // says which side of it is left out.
    if (!group.rules.empty()) {
      const std::string_view meaning = IcosahedralRuleMeaning(group.number);
      text << group.rules.substr(0, group.rules.find_last_not_of(' ') + 1) << ": "
           << (meaning.empty() ? std::string_view("(unknown rule)") : meaning) << "\n";
    }
  } else {
    std::istringstream codes(group.rules);
    std::string code;
    while (codes >> code) {
      const std::string_view meaning = ExtinctionCodeMeaning(code);
      text << code << ": " << (meaning.empty() ? std::string_view("(unknown code)") : meaning) << "\n";
    }
  }
  std::string out = text.str();
  if (out.empty()) return "no reflection conditions";
  out.pop_back();
  return out;
}

}  // namespace lumora
