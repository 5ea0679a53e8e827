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

}  // namespace

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
    // The icosahedral groups carry their condition written out.
    if (!group.rules.empty()) text << "left out: " << group.rules.substr(0, group.rules.find_last_not_of(' ') + 1) << "\n";
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
