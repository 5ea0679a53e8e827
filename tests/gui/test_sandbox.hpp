// What every window test starts from: a scratch folder that holds the
// temporary files and the per-user preferences, and message boxes that are
// recorded instead of shown.
#pragma once

#include <QSettings>
#include <QStringList>
#include <QTemporaryDir>
#include <memory>

#include "ui/dialogs.hpp"

namespace lumora::testing {

inline std::unique_ptr<QTemporaryDir> MakeScratchFolder() {
  auto folder = std::make_unique<QTemporaryDir>();
  qputenv("TMP", folder->path().toLocal8Bit());
  QSettings::setPath(QSettings::IniFormat, QSettings::UserScope, folder->path());
  return folder;
}

// Messages and warnings go to messages (which must outlive the hooks' use).
inline void RecordMessages(QStringList& messages) {
  messages.clear();
  Dialogs().message = [&messages](QWidget*, const QString& text) { messages << text; };
  Dialogs().warning = [&messages](QWidget*, const QString& text) { messages << text; };
}

}  // namespace lumora::testing
