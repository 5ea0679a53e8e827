#include "intensity/model_file.hpp"

#include <algorithm>
#include <cctype>
#include <cmath>
#include <set>
#include <sstream>

#include "common/number_text.hpp"
#include "common/text.hpp"
#include "intensity/form_factors.hpp"

namespace lumora {
namespace {

std::string Lower(std::string_view s) {
  std::string out(s);
  for (char& ch : out) ch = static_cast<char>(std::tolower(static_cast<unsigned char>(ch)));
  return out;
}

std::vector<std::string> Words(std::string_view line) {
  std::vector<std::string> words;
  std::istringstream in{std::string(line)};
  for (std::string w; in >> w;) words.push_back(w);
  return words;
}

std::string FieldName(int index, int n) {
  if (index == 0) return "label";
  if (index == 1) return "element";
  if (index == 2) return "occupancy";
  if (index < 3 + n) return "x" + std::to_string(index - 2);
  static const char* rest[] = {"domain", "size", "B_par", "B_perp"};
  return rest[index - 3 - n];
}

struct Failure {
  ModelError error;
};

[[noreturn]] void Fail(int line, int field, std::string name, std::string text, std::string problem) {
  throw Failure{{line, field, std::move(name), std::move(text), std::move(problem)}};
}

double Number(const std::string& text, int line, int field, const std::string& name) {
  const std::optional<double> v = ParseNumber(text);
  if (!v || !std::isfinite(*v)) Fail(line, field, name, text, "is not a number");
  return *v;
}

// Limits that keep every value a computation meets finite: beyond them a domain
// underflows to nothing or overflows, and a coordinate has lost its fraction.
constexpr double kMaxCoordinate = 1e6;
constexpr double kMinDomainSize = 1e-6;
constexpr double kMaxDomainSize = 1e3;
constexpr double kMaxAngle = 360.0;
constexpr double kMaxDebyeWaller = 1e4;

// A fractional coordinate reduced into [0, 1): H.x changes by whole numbers only.
double Coordinate(const std::string& text, int line, int field, const std::string& name) {
  double x = Number(text, line, field, name);
  if (!(std::fabs(x) <= kMaxCoordinate)) Fail(line, field, name, text, "is not a fractional coordinate from -1000000 to 1000000");
  if (x < 0.0 || x >= 1.0) x -= std::floor(x);
  return x < 1.0 ? x : 0.0;  // -1e-20 + 1 rounds to 1
}

double DebyeWaller(const std::string& text, int line, int field, const std::string& name) {
  const double b = Number(text, line, field, name);
  if (!(b >= 0.0 && b <= kMaxDebyeWaller)) Fail(line, field, name, text, "must lie from 0 to 10000 A^2");
  return b;
}

DomainSpec ParseDomain(const std::string& text, CrystalSystem system, int line, int field) {
  const bool icosahedral = system == CrystalSystem::Icosahedral;
  const std::string t = Lower(text);
  DomainSpec d;
  if (t == "sphere" || t == "triacontahedron") {
    if (!icosahedral) Fail(line, field, "domain", text, "is a three-dimensional domain; axial models use disk or polygon:N:ANGLE");
    d.shape = t == "sphere" ? DomainShape::Sphere : DomainShape::Triacontahedron;
    return d;
  }
  if (t == "disk" || t.rfind("polygon", 0) == 0) {
    if (icosahedral) Fail(line, field, "domain", text, "is a two-dimensional domain; icosahedral models use sphere or triacontahedron");
    if (t == "disk") {
      d.shape = DomainShape::Disk;
      return d;
    }
    // polygon:N:ANGLE
    const std::size_t c1 = t.find(':');
    const std::size_t c2 = c1 == std::string::npos ? std::string::npos : t.find(':', c1 + 1);
    if (t.substr(0, c1) != "polygon" || c2 == std::string::npos)
      Fail(line, field, "domain", text, "is not polygon:N:ANGLE");
    const std::optional<double> corners = ParseNumber(t.substr(c1 + 1, c2 - c1 - 1));
    const std::optional<double> angle = ParseNumber(t.substr(c2 + 1));
    if (!corners || *corners != std::floor(*corners) || *corners < 3 || *corners > 64)
      Fail(line, field, "domain", text, "needs a whole number of corners from 3 to 64");
    if (!angle || !(std::fabs(*angle) <= kMaxAngle))
      Fail(line, field, "domain", text, "needs an angle from -360 to 360 degrees after the corners");
    d.shape = DomainShape::Polygon;
    d.corners = static_cast<int>(*corners);
    d.orientation = *angle;
    return d;
  }
  Fail(line, field, "domain", text, "is not a domain (disk, polygon:N:ANGLE, sphere, triacontahedron)");
}

StructureModel Parse(std::string_view text) {
  if (text.substr(0, 3) == "\xEF\xBB\xBF") text.remove_prefix(3);  // UTF-8 byte-order mark
  StructureModel model;
  bool haveSystem = false, haveSetting = false;
  std::set<std::string> labels;
  int lineNumber = 0;
  std::size_t start = 0;
  while (start <= text.size()) {
    // LF, CR LF and a lone CR all end a line.
    std::size_t end = text.find_first_of("\r\n", start);
    if (end == std::string_view::npos) end = text.size();
    std::string_view line = text.substr(start, end - start);
    start = end + 1;
    if (end + 1 < text.size() && text[end] == '\r' && text[end + 1] == '\n') ++start;
    ++lineNumber;
    if (const std::size_t hash = line.find('#'); hash != std::string_view::npos) line = line.substr(0, hash);
    const std::vector<std::string> w = Words(line);
    if (w.empty()) {
      if (end == text.size()) break;
      continue;
    }
    const std::string key = Lower(w[0]);
    if (key == "name" || key == "system" || key == "setting") {
      if (w.size() < 2) Fail(lineNumber, 2, key, "", "the line needs a value after \"" + key + "\"");
      if (key == "name") {
        std::string name(Trim(line));
        model.name = std::string(Trim(std::string_view(name).substr(4)));
      } else if (key == "system") {
        if (w.size() > 2) Fail(lineNumber, 3, "system", w[2], "is more than one word");
        if (!model.sites.empty()) Fail(lineNumber, 1, "system", w[0], "must come before the sites");
        static const char* names[] = {"octagonal", "decagonal", "dodecagonal", "icosahedral"};
        const auto it = std::find(std::begin(names), std::end(names), Lower(w[1]));
        if (it == std::end(names))
          Fail(lineNumber, 2, "system", w[1], "is not octagonal, decagonal, dodecagonal or icosahedral");
        model.system = SystemFromIndex(static_cast<int>(it - std::begin(names)));
        haveSystem = true;
      } else {
        if (w.size() > 2) Fail(lineNumber, 3, "setting", w[2], "is more than one word");
        const std::string s = Lower(w[1]);
        if (s != "yamamoto" && s != "steurer") Fail(lineNumber, 2, "setting", w[1], "is not yamamoto or steurer");
        model.yamamoto = s == "yamamoto";
        haveSetting = true;
      }
      if (end == text.size()) break;
      continue;
    }
    if (!haveSystem) Fail(lineNumber, 1, "label", w[0], "comes before the \"system\" line");
    if (!haveSetting) Fail(lineNumber, 1, "label", w[0], "comes before the \"setting\" line");
    const int n = DimensionOf(model.system);
    const int expected = n + 7;
    if (static_cast<int>(w.size()) != expected) {
      const int field = std::min(static_cast<int>(w.size()) + 1, expected + 1);
      Fail(lineNumber, field, field <= expected ? FieldName(field - 1, n) : "end of line",
           field <= expected ? "" : w[static_cast<std::size_t>(expected)],
           "expected " + std::to_string(expected) + " fields (label, element, occupancy, x1..x" + std::to_string(n) +
               ", domain, size, B_par, B_perp), found " + std::to_string(w.size()));
    }
    if (model.sites.size() == kMaxModelSites)
      Fail(lineNumber, 1, "label", w[0],
           "is one site too many: a model holds at most " + std::to_string(kMaxModelSites) + " sites");
    Site site;
    site.label = w[0];
    if (!labels.insert(site.label).second) Fail(lineNumber, 1, "label", w[0], "is used by an earlier site");
    site.element = w[1];
    if (!AtomicNumberOf(w[1])) Fail(lineNumber, 2, "element", w[1], "is not an element symbol");
    site.occupancy = Number(w[2], lineNumber, 3, "occupancy");
    if (site.occupancy < 0.0 || site.occupancy > 1.0) Fail(lineNumber, 3, "occupancy", w[2], "must lie from 0 to 1");
    for (int i = 0; i < n; ++i) site.x[i] = Coordinate(w[3 + i], lineNumber, 4 + i, FieldName(3 + i, n));
    site.domain = ParseDomain(w[3 + n], model.system, lineNumber, 4 + n);
    site.domain.size = Number(w[4 + n], lineNumber, 5 + n, "size");
    if (!(site.domain.size >= kMinDomainSize && site.domain.size <= kMaxDomainSize))
      Fail(lineNumber, 5 + n, "size", w[4 + n], "must lie from 0.000001 to 1000 star lengths");
    site.bPar = DebyeWaller(w[5 + n], lineNumber, 6 + n, "B_par");
    site.bPerp = DebyeWaller(w[6 + n], lineNumber, 7 + n, "B_perp");
    model.sites.push_back(std::move(site));
    if (end == text.size()) break;
  }
  if (!haveSystem) Fail(lineNumber, 0, "system", "", "line is missing");
  if (!haveSetting) Fail(lineNumber, 0, "setting", "", "line is missing");
  if (model.sites.empty()) Fail(lineNumber, 0, "sites", "", "none are given");
  return model;
}

std::string Number(double v) { return ShortestText(v); }

constexpr const char* kNoSuchFile = "cannot be read: no such file";

}  // namespace

std::string ModelError::Message() const {
  if (line == 0) return "\"" + EchoText(text, 256) + "\" " + problem;  // the file itself
  std::string where = "line " + std::to_string(line);
  if (field > 0) where += ", field " + std::to_string(field) + " (" + name + ")";
  else if (!name.empty()) where += ": " + name;
  if (field > 0 && text.empty()) return where + " is missing: " + problem;
  if (field > 0 || !text.empty()) return where + ": \"" + EchoText(text) + "\" " + problem;
  return where + " " + problem;
}

std::variant<StructureModel, ModelError> ParseModel(std::string_view text) {
  try {
    return Parse(text);
  } catch (const Failure& failure) {
    return failure.error;
  }
}

std::variant<StructureModel, ModelError> LoadModel(const std::filesystem::path& path) {
  // Checked before it is opened: a pipe or device could block or never end.
  const ReadOutcome read = ReadSmallRegularFile(path, kMaxModelFileBytes);
  if (read.status == ReadStatus::Missing) return ModelError{0, 0, "", path.string(), kNoSuchFile};
  if (read.status != ReadStatus::Ok) return ModelError{0, 0, "", path.string(), read.problem};
  auto parsed = ParseModel(read.text);
  if (auto* model = std::get_if<StructureModel>(&parsed); model && model->name.empty())
    model->name = path.stem().string();
  return parsed;
}

std::string ModelText(const StructureModel& model) {
  const int n = DimensionOf(model.system);
  std::string out = "# Lumora structure model\n";
  if (!model.name.empty()) out += "name " + model.name + "\n";
  out += "system " + Lower(SystemName(model.system)) + "\n";
  out += std::string("setting ") + (model.yamamoto ? "yamamoto" : "steurer") + "\n";
  out += "# label element occupancy";
  for (int i = 1; i <= n; ++i) out += " x" + std::to_string(i);
  out += " domain size B_par B_perp\n";
  for (const Site& s : model.sites) {
    out += s.label + " " + s.element + " " + Number(s.occupancy);
    for (int i = 0; i < n; ++i) out += " " + Number(s.x[i]);
    switch (s.domain.shape) {
      case DomainShape::Sphere: out += " sphere"; break;
      case DomainShape::Disk: out += " disk"; break;
      case DomainShape::Triacontahedron: out += " triacontahedron"; break;
      case DomainShape::Polygon:
        out += " polygon:" + std::to_string(s.domain.corners) + ":" + Number(s.domain.orientation);
        break;
    }
    out += " " + Number(s.domain.size) + " " + Number(s.bPar) + " " + Number(s.bPerp) + "\n";
  }
  return out;
}

WriteOutcome SaveModel(const std::filesystem::path& path, const StructureModel& model) {
  return WriteFileAtomically(path, ModelText(model));
}

const std::vector<std::string>& BuiltinModelNames() {
  static const std::vector<std::string> names = {"penrose", "ammann-beenker", "ammann-kramer", "square-triangle"};
  return names;
}

std::optional<StructureModel> BuiltinModel(std::string_view name) {
  const std::string key = Lower(name);
  const double tau = (1.0 + std::sqrt(5.0)) / 2.0;
  auto site = [](std::string label, std::array<double, 6> x, DomainSpec domain) {
    Site s;
    s.label = std::move(label);
    s.element = "Al";
    s.x = x;
    s.domain = domain;
    return s;
  };
  StructureModel m;
  m.name = key;
  m.yamamoto = true;
  if (key == "penrose") {
    // Four pentagons on the body diagonal at k/5 (1,1,1,1): the small ones
    // (radius one star length) at k = 1, 4, the large ones (tau) at k = 2, 3,
    // pointing alternately along +e0 and -e0 of the internal star.
    m.system = CrystalSystem::Decagonal;
    const double radius[4] = {1.0, tau, tau, 1.0};
    const double angle[4] = {0.0, 180.0, 0.0, 180.0};
    for (int k = 1; k <= 4; ++k) {
      const double c = k / 5.0;
      m.sites.push_back(site("P" + std::to_string(k), {c, c, c, c, 0.0, 0.0},
                             {DomainShape::Polygon, 5, radius[k - 1], angle[k - 1]}));
    }
  } else if (key == "ammann-beenker") {
    // The unit cell of the hypercubic lattice projected onto internal space:
    // the regular octagon of edge one star length, corners at 22.5 + 45 k degrees.
    m.system = CrystalSystem::Octagonal;
    const double radius = 1.0 / (2.0 * std::sin(3.14159265358979323846 / 8.0));
    m.sites.push_back(site("V", {}, {DomainShape::Polygon, 8, radius, 22.5}));
  } else if (key == "ammann-kramer") {
    // The projected six-dimensional unit cell: the rhombic triacontahedron of edge one star length.
    m.system = CrystalSystem::Icosahedral;
    m.sites.push_back(site("V", {}, {DomainShape::Triacontahedron, 0, 1.0, 0.0}));
  } else if (key == "square-triangle") {
    // Square-triangle tiling of twelve-fold symmetry (Niizeki-Gaehler). Its exact
    // domain has a fractal edge; it is replaced by the regular dodecagon of the
    // same area, corners along the star: the vertex density 1/2 + 1/sqrt3 per
    // square edge length needs the area 3/2 + sqrt3, radius sqrt(1/2 + 1/sqrt3).
    m.system = CrystalSystem::Dodecagonal;
    m.sites.push_back(site("V", {}, {DomainShape::Polygon, 12, std::sqrt(0.5 + 1.0 / std::sqrt(3.0)), 0.0}));
  } else {
    return std::nullopt;
  }
  return m;
}

std::variant<StructureModel, std::string> FindModel(std::string_view nameOrPath) {
  if (std::optional<StructureModel> builtin = BuiltinModel(nameOrPath)) return *builtin;
  const std::string path(nameOrPath);
  auto loaded = LoadModel(path);
  if (StructureModel* model = std::get_if<StructureModel>(&loaded)) return std::move(*model);
  const ModelError& error = std::get<ModelError>(loaded);
  if (error.line == 0 && error.problem == kNoSuchFile)
    return "\"" + EchoText(path, 256) +
           "\" is neither a built-in model (penrose, ammann-beenker, ammann-kramer, square-triangle) nor a model file";
  if (error.line == 0) return error.Message();
  return EchoText(path, 256) + ": " + error.Message();
}

}  // namespace lumora
