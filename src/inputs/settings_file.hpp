// The settings file "Lumora.cfg": the calculation inputs and the search text,
// one value per CRLF-ended line, 16 lines.
#pragma once

#include <string>
#include <string_view>

#include "inputs/parameters.hpp"

namespace lumora {

inline constexpr const char* kSettingsFileName = "Lumora.cfg";
inline constexpr int kSettingsFieldCount = 16;
// The largest settings file read: the real one has 16 short lines.
inline constexpr std::size_t kMaxSettingsFileBytes = 65536;

struct StoredSettings {
  ParameterTexts parameters = StartupParameters();
  std::string findText = "0   2   2   1   0";
};

// Applies the file's fields in order onto settings, the way the window applies
// them: choosing the system selects its default group, choosing the anode
// writes its wavelength. Reading stops silently at the first missing or
// unusable field; what was applied before stays. Returns the number of fields
// applied (16 for a complete file).
//
// Each line holds exactly one field, so a comma typed in a field ("2,82") stays
// in that field instead of shifting every later value. Blanks around a value
// are dropped and a value in double quotes is taken without them.
int ApplySettingsText(std::string_view text, StoredSettings& settings);

// The 16 lines, CRLF-ended: numbers in decimal, "True"/"False", texts as typed.
std::string SettingsText(const StoredSettings& settings);

}  // namespace lumora
