#include "ui/theme_icon.hpp"

#include <QApplication>

namespace lumora {

QIcon ThemeIcon(const char* name, QStyle::StandardPixmap fallback) {
  static const bool fallbackTheme = [] {
    if (QIcon::fallbackThemeName().isEmpty() || QIcon::fallbackThemeName() == QLatin1String("hicolor"))
      QIcon::setFallbackThemeName(QStringLiteral("Adwaita"));
    return true;
  }();
  (void)fallbackTheme;
  const QString theme = QString::fromLatin1(name);
  for (const QString& candidate : {theme, theme + QStringLiteral("-symbolic")}) {
    const QIcon icon = QIcon::fromTheme(candidate);
    if (!icon.isNull()) return icon;
  }
  return QApplication::style()->standardIcon(fallback);
}

}  // namespace lumora
