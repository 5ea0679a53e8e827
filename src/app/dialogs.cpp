#include "app/dialogs.hpp"

#include <QDesktopServices>
#include <QFileDialog>
#include <QMessageBox>

namespace lumora {

DialogHooks& Dialogs() {
  static DialogHooks hooks{
      [](QWidget* parent, const QString& text) {
        QMessageBox::information(parent, QString::fromLatin1(kProgramTitle), text);
      },
      [](QWidget* parent, const QString& text) {
        QMessageBox::warning(parent, QString::fromLatin1(kProgramTitle), text);
      },
      [](QWidget* parent, const QString& title, const QString& text) {
        return QMessageBox::question(parent, title, text, QMessageBox::Yes | QMessageBox::No) == QMessageBox::Yes;
      },
      [](QWidget* parent, const QString& title, const QString& proposedPath, const QString& filter) {
        return QFileDialog::getSaveFileName(parent, title, proposedPath, filter);
      },
      [](const QUrl& url) { return QDesktopServices::openUrl(url); },
  };
  return hooks;
}

}  // namespace lumora
