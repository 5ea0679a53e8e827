#include "ui/text_viewer.hpp"

#include <QFile>
#include <QFileInfo>
#include <QFontDatabase>
#include <QHBoxLayout>
#include <QLabel>
#include <QLineEdit>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QVBoxLayout>

#include "ui/dialogs.hpp"

namespace lumora {

TextViewer::TextViewer(QWidget* parent) : QDialog(parent) {
  setObjectName(QStringLiteral("frmTextViewer"));
  setModal(false);
  auto* layout = new QVBoxLayout(this);
  auto* bar = new QHBoxLayout;
  auto* label = new QLabel(QStringLiteral("Find:"), this);
  find_ = new QLineEdit(this);
  find_->setObjectName(QStringLiteral("tfViewerFind"));
  label->setBuddy(find_);
  auto* next = new QPushButton(QStringLiteral("Find Next"), this);
  next->setObjectName(QStringLiteral("cmdViewerFind"));
  bar->addWidget(label);
  bar->addWidget(find_, 1);
  bar->addWidget(next);
  layout->addLayout(bar);

  text_ = new QPlainTextEdit(this);
  text_->setObjectName(QStringLiteral("txtViewer"));
  text_->setReadOnly(true);
  text_->setLineWrapMode(QPlainTextEdit::NoWrap);
  text_->setFont(QFontDatabase::systemFont(QFontDatabase::FixedFont));
  layout->addWidget(text_, 1);
  status_ = new QLabel(this);
  status_->setObjectName(QStringLiteral("lblViewerStatus"));
  status_->setWordWrap(true);
  layout->addWidget(status_);
  auto* close = new QPushButton(QStringLiteral("Close"), this);
  close->setObjectName(QStringLiteral("cmdViewerClose"));
  layout->addWidget(close, 0, Qt::AlignRight);

  auto find = [this] {
    if (!find_->text().isEmpty() && !findNext(find_->text()))
      status_->setText(QStringLiteral("\"%1\" not found").arg(find_->text()));
  };
  connect(next, &QPushButton::clicked, this, find);
  connect(find_, &QLineEdit::returnPressed, this, find);
  connect(close, &QPushButton::clicked, this, &QDialog::close);
  resize(820, 600);
}

bool TextViewer::showFile(const QString& path, qint64 mostShown) {
  setWindowTitle(QFileInfo(path).fileName() + QStringLiteral(" - Lumora"));
  QFile file(path);
  if (!file.open(QIODevice::ReadOnly)) {
    text_->clear();
    status_->setText(QStringLiteral("%1 cannot be read: %2").arg(path, file.errorString()));
    return false;
  }
  const qint64 size = file.size();
  QByteArray bytes = file.read(mostShown);
  // Cut at the last whole line of what was read.
  if (size > bytes.size()) {
    const qsizetype end = bytes.lastIndexOf('\n');
    if (end >= 0) bytes.truncate(end + 1);
  }
  text_->setPlainText(QString::fromUtf8(bytes));
  status_->setText(size > bytes.size()
                       ? QStringLiteral("The first %1 MB of %2 MB are shown; the whole file is %3")
                             .arg(bytes.size() / (1024 * 1024))
                             .arg(size / (1024 * 1024))
                             .arg(path)
                       : path);
  return true;
}

bool TextViewer::findNext(const QString& text) {
  if (text_->find(text)) return true;
  QTextCursor start = text_->textCursor();
  start.movePosition(QTextCursor::Start);
  text_->setTextCursor(start);
  return text_->find(text);
}

TextViewer* OpenInTextEditor(QWidget* parent, const QString& path) {
  if (Dialogs().hasHandler && Dialogs().hasHandler(QStringLiteral("text/plain")) &&
      Dialogs().openUrl(QUrl::fromLocalFile(path)))
    return nullptr;
  auto* viewer = parent ? parent->findChild<TextViewer*>(QStringLiteral("frmTextViewer"), Qt::FindDirectChildrenOnly)
                        : nullptr;
  if (!viewer) {
    viewer = new TextViewer(parent);
    if (!parent) viewer->setAttribute(Qt::WA_DeleteOnClose);  // nothing else would free it
  }
  viewer->showFile(path);
  viewer->show();
  viewer->raise();
  return viewer;
}

}  // namespace lumora
