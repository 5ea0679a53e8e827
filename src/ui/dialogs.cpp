#include "ui/dialogs.hpp"

#include <QCheckBox>
#include <QDesktopServices>
#include <QPushButton>
#include <QDir>
#include <QFileDialog>
#include <QMessageBox>
#include <QPrintDialog>
#include <QPrinter>
#include <QPrinterInfo>
#include <QProcess>

#include "ui/choice_dialog.hpp"

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
      [](QWidget* parent, const QString& title, const QString& folder, const QString& filter) {
        return QFileDialog::getOpenFileName(parent, title, folder, filter);
      },
      [](const QUrl& url) { return QDesktopServices::openUrl(url); },
      [](const QString& mimeType) {
        QProcess query;
        query.start(QStringLiteral("xdg-mime"), {QStringLiteral("query"), QStringLiteral("default"), mimeType});
        if (!query.waitForFinished(3000)) {
          query.kill();
          query.waitForFinished(1000);
          return false;
        }
        return query.exitStatus() == QProcess::NormalExit && query.exitCode() == 0 &&
               !query.readAllStandardOutput().trimmed().isEmpty();
      },
      [](QWidget* parent, const QString& caption, QPoint topLeft) {
        ChoiceDialog dialog(parent);
        dialog.setFrameCaption(caption);
        dialog.move(topLeft);
        return dialog.exec() == QDialog::Accepted ? dialog.choice() : 0;
      },
      [](QWidget* parent, QPrinter& printer) {
        // Without an installed printer the dialog still offers a PDF file.
        if (QPrinterInfo::availablePrinterNames().isEmpty()) {
          printer.setOutputFormat(QPrinter::PdfFormat);
          printer.setOutputFileName(QDir::home().filePath(QStringLiteral("lumora.pdf")));
        }
        QPrintDialog dialog(&printer, parent);
        return dialog.exec() == QDialog::Accepted;
      },
      [](QWidget* parent, const QString& text, bool& dontAskAgain) {
        QMessageBox box(QMessageBox::Question, QString::fromLatin1(kProgramTitle), text, QMessageBox::NoButton, parent);
        QPushButton* go = box.addButton(QStringLiteral("Continue"), QMessageBox::AcceptRole);
        box.addButton(QMessageBox::Cancel);
        box.setDefaultButton(go);
        auto* again = new QCheckBox(QStringLiteral("Don't ask again"), &box);
        box.setCheckBox(again);
        box.exec();
        dontAskAgain = again->isChecked();
        return box.clickedButton() == go;
      },
  };
  return hooks;
}

}  // namespace lumora
