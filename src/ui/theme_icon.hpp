// Icons of the desktop's theme, with Qt's own as the fallback.
#pragma once

#include <QIcon>
#include <QStyle>

namespace lumora {

// The theme's icon of that name or its symbolic variant; where the running
// theme has neither, the common desktop theme's; else Qt's standard icon.
QIcon ThemeIcon(const char* name, QStyle::StandardPixmap fallback);

}  // namespace lumora
