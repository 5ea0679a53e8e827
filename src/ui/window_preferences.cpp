#include "ui/window_preferences.hpp"

namespace lumora {

std::unique_ptr<QSettings> OpenWindowPreferences() {
  return std::make_unique<QSettings>(QSettings::IniFormat, QSettings::UserScope, QStringLiteral("Lumora"),
                                     QStringLiteral("window"));
}

}  // namespace lumora
