#include "app/app_paths.hpp"

#include <QCoreApplication>
#include <QDir>
#include <QFileInfo>
#include <QStandardPaths>
#include <QTemporaryFile>
#include <unistd.h>

#include <map>
#include <mutex>
#include <string>

#include "common/file_io.hpp"

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

QString AppPaths::modelSettingsFile() const {
  return QDir(writableBase(true)).filePath(QStringLiteral("LumoraModel.cfg"));
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
  // TMP when set, else the session's runtime folder, else the system's
  // temporary folder; in each, a folder only this user can enter, so that no
  // one else can plant or read the files written there.
  const QString tmp = qEnvironmentVariable("TMP");
  const bool useTmp = !tmp.isEmpty() && QFileInfo(tmp).isDir();
  const std::string runtime = useTmp ? std::string() : QFile::encodeName(qEnvironmentVariable("XDG_RUNTIME_DIR")).toStdString();
  const std::string base = QFile::encodeName(useTmp ? tmp : QDir::tempPath()).toStdString();
  // A folder made with a random name must be found again by later calls.
  static std::mutex mutex;
  static std::map<std::pair<std::string, std::string>, QString> made;
  std::lock_guard<std::mutex> lock(mutex);
  const auto key = std::make_pair(runtime, base);
  const auto known = made.find(key);
  if (known != made.end() && IsPrivateFolder(QFile::encodeName(known->second).toStdString(), ::geteuid()))
    return known->second;
  const FolderOutcome got = PrivateTempFolder(runtime, base);
  const QString folder = got.path.empty() ? QString() : QFile::decodeName(got.path.c_str());
  made[key] = folder;
  return folder;
}

QString AppPaths::tempFile(const QString& name) {
  const QString folder = tempFolder();
  return folder.isEmpty() ? QString() : QDir(folder).filePath(name);
}

}  // namespace lumora
