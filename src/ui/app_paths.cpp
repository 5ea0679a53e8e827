#include "ui/app_paths.hpp"

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

#include "inputs/settings_file.hpp"

namespace lumora {

bool FolderWritable(const QString& folder) {
  if (!QFileInfo(folder).isDir()) return false;
  QTemporaryFile probe(QDir(folder).filePath(QStringLiteral(".lumora-write-test-XXXXXX")));
  return probe.open();
}

namespace {

// Where an installed program keeps its shared files: <prefix>/share/lumora
// beside <prefix>/bin.
QString InstalledDataFolder(const QString& programFolder) {
  const QDir program(programFolder);
  if (program.dirName() != QLatin1String("bin")) return {};
  const QString data = QDir::cleanPath(program.filePath(QStringLiteral("../share/lumora")));
  return QFileInfo(data).isDir() ? data : QString();
}

// The per-user folders: ~/.config/Lumora and ~/.local/share/Lumora. Earlier
// versions named them twice (".../Lumora/Lumora"); that folder is still read.
QString UserFolder(bool config, bool earlierName = false) {
  const QString base = QStandardPaths::writableLocation(config ? QStandardPaths::GenericConfigLocation
                                                               : QStandardPaths::GenericDataLocation);
  return QDir(base).filePath(earlierName ? QStringLiteral("Lumora/Lumora") : QStringLiteral("Lumora"));
}

}  // namespace

AppPaths::AppPaths(const QString& programFolder)
    : programFolder_(programFolder.isEmpty() ? QCoreApplication::applicationDirPath() : programFolder),
      installedData_(InstalledDataFolder(programFolder_)),
      // An installed program never writes beside itself, even when it could (root).
      writable_(installedData_.isEmpty() && FolderWritable(programFolder_)) {}

QString AppPaths::writableBase(bool config) const {
  if (writable_) return programFolder_;
  const QString base = UserFolder(config);
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
  const QString earlier = QDir(UserFolder(true, true)).filePath(QString::fromLatin1(kSettingsFileName));
  if (QFileInfo::exists(earlier)) return earlier;
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
  const QString base = installedData_.isEmpty() ? programFolder_ : installedData_;
  return QDir(base).filePath(QStringLiteral("help/index.html"));
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
