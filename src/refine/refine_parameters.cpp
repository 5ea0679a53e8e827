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
constexpr KindName kKinds[] = {
    {ParameterKind::Scale, "scale"},     {ParameterKind::Extinction, "extinction"}, {ParameterKind::Occupancy, "occupancy"},
    {ParameterKind::BPar, "b_par"},      {ParameterKind::BPerp, "b_perp"},          {ParameterKind::Size, "size"},
    {ParameterKind::Zero, "zero"},       {ParameterKind::LatticeA, "a"},            {ParameterKind::LatticeC, "c"},
    {ParameterKind::CagliotiU, "u"},     {ParameterKind::CagliotiV, "v"},           {ParameterKind::CagliotiW, "w"},
    {ParameterKind::Eta, "eta"},         {ParameterKind::Background, "background"}};

const char* KindText(ParameterKind kind) {
  for (const KindName& k : kKinds)
    if (k.kind == kind) return k.name;
  return "";
}

bool PerSite(ParameterKind kind) {
  return kind == ParameterKind::Occupancy || kind == ParameterKind::BPar || kind == ParameterKind::BPerp ||
         kind == ParameterKind::Size;
}

bool PatternKind(ParameterKind kind) { return kind >= ParameterKind::Zero; }

std::string Lower(std::string_view s) {
  std::string out(s);
  for (char& ch : out) ch = static_cast<char>(std::tolower(static_cast<unsigned char>(ch)));
  return out;
}

// One name; "KIND:*" gives every site.
std::variant<std::vector<ParameterRef>, std::string> ParseName(std::string_view text, const StructureModel& model,
                                                               ParameterScope scope, int backgroundTerms) {
  const std::string_view name = Trim(text);
  const std::size_t colon = name.find(':');
  const std::string kindText = Lower(name.substr(0, colon));
  const KindName* kind = std::find_if(std::begin(kKinds), std::end(kKinds),
                                      [&](const KindName& k) { return kindText == k.name; });
  const bool powder = scope == ParameterScope::PowderPattern;
  if (kind == std::end(kKinds) || (!powder && PatternKind(kind->kind)))
    return "\"" + EchoText(name) + "\" is not a parameter (scale, " +
           (powder ? "zero, a, c, u, v, w, eta, background, background:K, " : "extinction, ") +
           "occupancy:LABEL, b_par:LABEL, b_perp:LABEL, size:LABEL)";
  if (powder && kind->kind == ParameterKind::Extinction)
    return "\"" + EchoText(name) + "\": extinction is refined against single-crystal data only";
  if (kind->kind == ParameterKind::Background) {
    std::vector<ParameterRef> refs;
    if (colon == std::string_view::npos) {
      for (int k = 0; k < backgroundTerms; ++k) refs.push_back({ParameterKind::Background, k});
      return refs;
    }
    const std::string_view term = name.substr(colon + 1);
    const bool digits = !term.empty() && term.size() < 4 &&
                        std::all_of(term.begin(), term.end(), [](char ch) { return ch >= '0' && ch <= '9'; });
    const int k = digits ? std::stoi(std::string(term)) : -1;
    if (k < 0 || k >= backgroundTerms)
      return "\"" + EchoText(name) + "\": the background has the terms 0 to " + std::to_string(backgroundTerms - 1);
    return std::vector<ParameterRef>{{ParameterKind::Background, k}};
  }
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
    case ParameterKind::Scale:
    case ParameterKind::LatticeA:
    case ParameterKind::LatticeC: return {std::numeric_limits<double>::min(), kInfinity};
    case ParameterKind::Zero: return {-10.0, 10.0};
    case ParameterKind::Eta: return {0.0, 1.0};
    case ParameterKind::CagliotiU:
    case ParameterKind::CagliotiV:
    case ParameterKind::CagliotiW:
    case ParameterKind::Background: break;
  }
  return {-kInfinity, kInfinity};
}

bool IsStructureKind(ParameterKind kind) { return PerSite(kind); }

std::string ParameterName(const ParameterRef& ref, const StructureModel& model) {
  std::string name = KindText(ref.kind);
  if (PerSite(ref.kind)) name += ":" + model.sites[static_cast<std::size_t>(ref.site)].label;
  if (ref.kind == ParameterKind::Background) name += ":" + std::to_string(ref.site);
  return name;
}

// The value a parameter names in a state (const or not).
template <typename State>
auto& SlotOf(State& state, const ParameterRef& ref) {
  auto& p = state.pattern;
  switch (ref.kind) {
    case ParameterKind::Scale: return state.scale;
    case ParameterKind::Extinction: return state.extinction;
    case ParameterKind::Zero: return p.zero;
    case ParameterKind::LatticeA: return p.a;
    case ParameterKind::LatticeC: return p.c;
    case ParameterKind::CagliotiU: return p.u;
    case ParameterKind::CagliotiV: return p.v;
    case ParameterKind::CagliotiW: return p.w;
    case ParameterKind::Eta: return p.eta;
    case ParameterKind::Background: return p.background[static_cast<std::size_t>(ref.site)];
    default: break;
  }
  auto& site = state.model.sites[static_cast<std::size_t>(ref.site)];
  switch (ref.kind) {
    case ParameterKind::Occupancy: return site.occupancy;
    case ParameterKind::BPar: return site.bPar;
    case ParameterKind::BPerp: return site.bPerp;
    default: return site.domain.size;
  }
}

double ValueOf(const ModelState& state, const ParameterRef& ref) {
  if (ref.kind == ParameterKind::Background && static_cast<std::size_t>(ref.site) >= state.pattern.background.size())
    return 0.0;  // a term not set yet
  return SlotOf(state, ref);
}

void SetValue(ModelState& state, const ParameterRef& ref, double value) {
  std::vector<double>& background = state.pattern.background;
  if (ref.kind == ParameterKind::Background && static_cast<std::size_t>(ref.site) >= background.size())
    background.resize(static_cast<std::size_t>(ref.site) + 1, 0.0);
  SlotOf(state, ref) = value;
}

std::string FreeParameterName(const FreeParameter& free, const StructureModel& model) {
  std::string name;
  for (const ParameterRef& ref : free.members) name += (name.empty() ? "" : "=") + ParameterName(ref, model);
  return name;
}

std::variant<std::vector<FreeParameter>, std::string> ParseParameterList(std::string_view list,
                                                                         const StructureModel& model,
                                                                         ParameterScope scope, int backgroundTerms) {
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
      auto parsed = ParseName(item.substr(from, eq == std::string_view::npos ? std::string_view::npos : eq - from), model,
                              scope, backgroundTerms);
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
