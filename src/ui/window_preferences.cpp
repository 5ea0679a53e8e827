#include "ui/window_preferences.hpp"

#include <QDir>
#include <QFileInfo>

namespace lumora {

std::unique_ptr<QSettings> OpenWindowPreferences() {
  return std::make_unique<QSettings>(QSettings::IniFormat, QSettings::UserScope, QStringLiteral("Lumora"),
                                     QStringLiteral("window"));
}

QString LastDialogFolder(const QString& fallback) {
  const QString folder = OpenWindowPreferences()->value(QString::fromLatin1(prefs::kLastFolder)).toString();
  return !folder.isEmpty() && QFileInfo(folder).isDir() ? folder : fallback;
}

void RememberDialogFolder(const QString& chosenFile) {
  if (chosenFile.isEmpty()) return;
  OpenWindowPreferences()->setValue(QString::fromLatin1(prefs::kLastFolder), QFileInfo(chosenFile).absolutePath());
}

QString InLastDialogFolder(const QString& fallback, const QString& fileName) {
  return QDir(LastDialogFolder(fallback)).filePath(fileName);
}

}  // namespace lumora
