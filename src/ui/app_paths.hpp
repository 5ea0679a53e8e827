// Where the program keeps its files: beside the executable when that folder can
// be written, else (and always when installed) in the per-user configuration
// and data folders ~/.config/Lumora and ~/.local/share/Lumora.
#pragma once

#include <QString>

namespace lumora {

class AppPaths {
 public:
  // programFolder defaults to the executable's folder; tests pass their own.
  explicit AppPaths(const QString& programFolder = QString());

  QString programFolder() const { return programFolder_; }
  bool programFolderWritable() const { return writable_; }

  QString settingsFile() const;      // Lumora.cfg (to write)
  QString settingsFileToRead() const;  // the per-user file, else the one beside the program
  QString modelSettingsFile() const;  // the chosen structure model, beside Lumora.cfg
  QString dataFolder() const;        // "data", created when missing
  QString exportFolder() const;      // "EXPORT", created when missing
  QString manifestFile() const;      // <program>.exe.manifest
  QString helpFile() const;          // the HTML help shipped beside the program
  // A private folder (mode 0700) in TMP, else in the runtime or system
  // temporary folder; empty when none can be made.
  static QString tempFolder();
  // name in tempFolder(); empty when there is none.
  static QString tempFile(const QString& name);

 private:
  QString writableBase(bool config) const;
  QString programFolder_;
  QString installedData_;  // <prefix>/share/lumora of an installed program, else empty
  bool writable_ = false;
};

// True when a file can be created in folder.
bool FolderWritable(const QString& folder);

}  // namespace lumora
