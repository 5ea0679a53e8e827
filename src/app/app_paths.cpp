#include "app/app_paths.hpp"

#include <QCoreApplication>
#include <QDir>
#include <QFileInfo>
#include <QStandardPaths>
#include <QTemporaryFile>

#include "app/settings_file.hpp"

namespace lumora {

bool FolderWritable(const QString& folder) {
  if (!QFileInfo(folder).isDir()) return false;
  QTemporaryFile probe(QDir(folder).filePath(QStringLiteral(".lumora-write-test-XXXXXX")));
  return probe.open();
}

AppPaths::AppPaths(const QString& programFolder)
    : programFolder_(programFolder.isEmpty() ? QCoreApplication::applicationDirPath() : programFolder),
      writable_(FolderWritable(programFolder_)) {}

QString AppPaths::writableBase(bool config) const {
  if (writable_) return programFolder_;
  const QString base = QStandardPaths::writableLocation(config ? QStandardPaths::AppConfigLocation
                                                               : QStandardPaths::AppDataLocation);
  QDir().mkpath(base);
  return base;
}

QString AppPaths::settingsFile() const {
  return QDir(writableBase(true)).filePath(QString::fromLatin1(kSettingsFileName));
}

QString AppPaths::settingsFileToRead() const {
  const QString own = settingsFile();
  if (writable_ || QFileInfo::exists(own)) return own;
  return QDir(programFolder_).filePath(QString::fromLatin1(kSettingsFileName));
}

QString AppPaths::dataFolder() const {
  const QString folder = QDir(writableBase(false)).filePath(QStringLiteral("data"));
  QDir().mkpath(folder);
  return folder;
}

QString AppPaths::exportFolder() const {
  const QString folder = QDir(writableBase(false)).filePath(QStringLiteral("EXPORT"));
  QDir().mkpath(folder);
  return folder;
}

QString AppPaths::manifestFile() const {
  const QString name = QFileInfo(QCoreApplication::applicationFilePath()).completeBaseName();
  return QDir(writableBase(false)).filePath((name.isEmpty() ? QStringLiteral("lumora") : name) +
                                            QStringLiteral(".exe.manifest"));
}

QString AppPaths::helpFile() const {
  return QDir(programFolder_).filePath(QStringLiteral("help/index.html"));
}

QString AppPaths::tempFolder() {
  const QString tmp = qEnvironmentVariable("TMP");
  if (!tmp.isEmpty() && QFileInfo(tmp).isDir()) return tmp;
  return QDir::tempPath();
}

}  // namespace lumora
