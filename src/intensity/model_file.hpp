// Structure model files: a small line-based text format, and the built-in
// models.
//
//   # comment (also after the fields of a line)
//   name    penrose
//   system  decagonal                 octagonal | decagonal | dodecagonal | icosahedral
//   setting yamamoto                  yamamoto | steurer: the basis of the coordinates
//   # label element occupancy x1 .. xn domain size B_par B_perp
//   Al1     Al      1     0.2 0.2 0.2 0.2 0   polygon:5:0   1   0 0
//
// One site per line; n = 5 (axial) or 6 (icosahedral) fractional coordinates
// in the setting's direct basis. Domains: disk and polygon:N:ANGLE (axial;
// N corners, first corner ANGLE degrees from the internal x axis, |ANGLE| <=
// 360), sphere and triacontahedron (icosahedral). size: radius (disk, sphere,
// polygon corners) or edge (triacontahedron) in units of the star length of the
// lattice, the edge of the tiling's rhombi, from 1e-6 to 1000. B_par, B_perp in
// A^2, from 0 to 10000. Coordinates are reduced into [0, 1) when read (within
// +-1e6, where their fraction still has its digits). Any line end (LF, CR LF,
// CR) and a UTF-8 byte-order mark are read.
#pragma once

#include <filesystem>
#include <string>
#include <string_view>
#include <variant>
#include <vector>

#include "common/file_io.hpp"
#include "intensity/structure_model.hpp"

namespace lumora {

// A model file is a regular file of at most this many bytes, with at most
// kMaxModelSites sites (real models have tens).
inline constexpr std::size_t kMaxModelFileBytes = 4u << 20;
inline constexpr std::size_t kMaxModelSites = 10000;

struct ModelError {
  int line = 0;        // 1-based
  int field = 0;       // 1-based; 0 for the whole line or file
  std::string name;    // the field's name ("occupancy", "x3", ...)
  std::string text;    // what the field held
  std::string problem;
  // "line 7, field 4 (x2): "abc" is not a number"; the text escaped and cut.
  std::string Message() const;
};

// Reads a model; nothing of a model with an error is returned.
std::variant<StructureModel, ModelError> ParseModel(std::string_view text);
std::variant<StructureModel, ModelError> LoadModel(const std::filesystem::path& path);

// The model in the file format (reads back to the same model).
std::string ModelText(const StructureModel& model);
WriteOutcome SaveModel(const std::filesystem::path& path, const StructureModel& model);

// "penrose", "ammann-beenker", "ammann-kramer", "square-triangle".
const std::vector<std::string>& BuiltinModelNames();
// The built-in model of that name (case-insensitive), or nothing.
std::optional<StructureModel> BuiltinModel(std::string_view name);

// A built-in model by name, else the model file at that path; or a message
// ("line 3, field 2 (element): ...", why the file cannot be read, or that it
// is neither).
std::variant<StructureModel, std::string> FindModel(std::string_view nameOrPath);

}  // namespace lumora
