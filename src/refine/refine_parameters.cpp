#include "refine/refine_parameters.hpp"

#include <algorithm>
#include <limits>

#include "common/text.hpp"

namespace lumora {
namespace {

constexpr double kInfinity = std::numeric_limits<double>::infinity();

struct KindName {
  ParameterKind kind;
  const char* name;
};
constexpr KindName kKinds[] = {{ParameterKind::Scale, "scale"},     {ParameterKind::Extinction, "extinction"},
                               {ParameterKind::Occupancy, "occupancy"}, {ParameterKind::BPar, "b_par"},
                               {ParameterKind::BPerp, "b_perp"},   {ParameterKind::Size, "size"}};

const char* KindText(ParameterKind kind) {
  for (const KindName& k : kKinds)
    if (k.kind == kind) return k.name;
  return "";
}

bool PerSite(ParameterKind kind) { return kind != ParameterKind::Scale && kind != ParameterKind::Extinction; }

std::string Lower(std::string_view s) {
  std::string out(s);
  for (char& ch : out) ch = static_cast<char>(std::tolower(static_cast<unsigned char>(ch)));
  return out;
}

// One name; "KIND:*" gives every site.
std::variant<std::vector<ParameterRef>, std::string> ParseName(std::string_view text, const StructureModel& model) {
  const std::string_view name = Trim(text);
  const std::size_t colon = name.find(':');
  const std::string kindText = Lower(name.substr(0, colon));
  const KindName* kind = std::find_if(std::begin(kKinds), std::end(kKinds),
                                      [&](const KindName& k) { return kindText == k.name; });
  if (kind == std::end(kKinds))
    return "\"" + EchoText(name) + "\" is not a parameter (scale, extinction, occupancy:LABEL, b_par:LABEL, "
                                   "b_perp:LABEL, size:LABEL)";
  if (!PerSite(kind->kind)) {
    if (colon != std::string_view::npos) return "\"" + EchoText(name) + "\": " + kind->name + " belongs to no site";
    return std::vector<ParameterRef>{{kind->kind, -1}};
  }
  if (colon == std::string_view::npos)
    return "\"" + EchoText(name) + "\" needs a site label (" + kind->name + ":LABEL, or " + kind->name + ":* for all)";
  const std::string_view label = name.substr(colon + 1);
  std::vector<ParameterRef> refs;
  for (std::size_t i = 0; i < model.sites.size(); ++i)
    if (label == "*" || model.sites[i].label == label) refs.push_back({kind->kind, static_cast<int>(i)});
  if (refs.empty()) return "\"" + EchoText(name) + "\": the model has no site \"" + EchoText(label) + "\"";
  return refs;
}

}  // namespace

ParameterBounds BoundsOf(ParameterKind kind) {
  switch (kind) {
    case ParameterKind::Occupancy: return {0.0, 1.0};
    case ParameterKind::BPar:
    case ParameterKind::BPerp:
    case ParameterKind::Extinction: return {0.0, kInfinity};
    case ParameterKind::Size: return {1e-6, kInfinity};
    case ParameterKind::Scale: return {std::numeric_limits<double>::min(), kInfinity};
  }
  return {-kInfinity, kInfinity};
}

std::string ParameterName(const ParameterRef& ref, const StructureModel& model) {
  std::string name = KindText(ref.kind);
  if (PerSite(ref.kind)) name += ":" + model.sites[static_cast<std::size_t>(ref.site)].label;
  return name;
}

double ValueOf(const ModelState& state, const ParameterRef& ref) {
  if (ref.kind == ParameterKind::Scale) return state.scale;
  if (ref.kind == ParameterKind::Extinction) return state.extinction;
  const Site& site = state.model.sites[static_cast<std::size_t>(ref.site)];
  switch (ref.kind) {
    case ParameterKind::Occupancy: return site.occupancy;
    case ParameterKind::BPar: return site.bPar;
    case ParameterKind::BPerp: return site.bPerp;
    default: return site.domain.size;
  }
}

void SetValue(ModelState& state, const ParameterRef& ref, double value) {
  if (ref.kind == ParameterKind::Scale) {
    state.scale = value;
    return;
  }
  if (ref.kind == ParameterKind::Extinction) {
    state.extinction = value;
    return;
  }
  Site& site = state.model.sites[static_cast<std::size_t>(ref.site)];
  switch (ref.kind) {
    case ParameterKind::Occupancy: site.occupancy = value; break;
    case ParameterKind::BPar: site.bPar = value; break;
    case ParameterKind::BPerp: site.bPerp = value; break;
    default: site.domain.size = value; break;
  }
}

std::string FreeParameterName(const FreeParameter& free, const StructureModel& model) {
  std::string name;
  for (const ParameterRef& ref : free.members) name += (name.empty() ? "" : "=") + ParameterName(ref, model);
  return name;
}

std::variant<std::vector<FreeParameter>, std::string> ParseParameterList(std::string_view list,
                                                                         const StructureModel& model) {
  std::vector<FreeParameter> groups;
  auto groupOf = [&](const ParameterRef& ref) -> int {
    for (std::size_t g = 0; g < groups.size(); ++g)
      if (std::find(groups[g].members.begin(), groups[g].members.end(), ref) != groups[g].members.end())
        return static_cast<int>(g);
    groups.push_back({{ref}});
    return static_cast<int>(groups.size() - 1);
  };
  std::size_t start = 0;
  bool any = false;
  while (start <= list.size()) {
    std::size_t comma = list.find(',', start);
    if (comma == std::string_view::npos) comma = list.size();
    const std::string_view item = Trim(list.substr(start, comma - start));
    start = comma + 1;
    if (item.empty()) {
      if (comma == list.size() && any) break;
      return std::string("an empty item in the parameter list");
    }
    any = true;
    // The sides of an equality; a plain name is an equality of one side.
    std::vector<std::vector<ParameterRef>> sides;
    std::size_t from = 0;
    for (;;) {
      const std::size_t eq = item.find('=', from);
      auto parsed = ParseName(item.substr(from, eq == std::string_view::npos ? std::string_view::npos : eq - from), model);
      if (const std::string* error = std::get_if<std::string>(&parsed)) return *error;
      sides.push_back(std::get<std::vector<ParameterRef>>(parsed));
      if (eq == std::string_view::npos) break;
      from = eq + 1;
    }
    if (sides.size() == 1) {
      for (const ParameterRef& ref : sides[0]) groupOf(ref);
      continue;
    }
    std::vector<ParameterRef> joined;
    for (const auto& side : sides) joined.insert(joined.end(), side.begin(), side.end());
    for (const ParameterRef& ref : joined)
      if (ref.kind != joined.front().kind)
        return "\"" + EchoText(item) + "\": only parameters of one kind can be held equal";
    // Union of the groups of every member, kept at the place of the first.
    int first = groupOf(joined.front());
    for (std::size_t k = 1; k < joined.size(); ++k) {
      const int other = groupOf(joined[k]);
      if (other == first) continue;
      auto& target = groups[static_cast<std::size_t>(first)].members;
      const auto moved = groups[static_cast<std::size_t>(other)].members;
      target.insert(target.end(), moved.begin(), moved.end());
      groups.erase(groups.begin() + other);
      if (other < first) --first;
    }
  }
  return groups;
}

}  // namespace lumora
