#include "ui/help_viewer.hpp"

#include <QFileInfo>
#include <QHBoxLayout>
#include <QPushButton>
#include <QTextBrowser>
#include <QToolButton>
#include <QVBoxLayout>

#include "ui/dialogs.hpp"

namespace lumora {

HelpViewer::HelpViewer(QWidget* parent) : QDialog(parent) {
  setObjectName(QStringLiteral("frmHelp"));
  setWindowTitle(QStringLiteral("Lumora Help"));
  setModal(false);
  auto* layout = new QVBoxLayout(this);
  auto* bar = new QHBoxLayout;
  auto button = [this, bar](const char* name, const QString& text, const QString& tip) {
    auto* b = new QToolButton(this);
    b->setObjectName(QString::fromLatin1(name));
    b->setText(text);
    b->setToolTip(tip);
    bar->addWidget(b);
    return b;
  };
  back_ = button("cmdHelpBack", QStringLiteral("\u25c0 Back"), QStringLiteral("Previous page (Alt+Left)"));
  forward_ = button("cmdHelpForward", QStringLiteral("Forward \u25b6"), QStringLiteral("Next page (Alt+Right)"));
  home_ = button("cmdHelpHome", QStringLiteral("Contents"), QStringLiteral("The first page of the help"));
  bar->addStretch();
  layout->addLayout(bar);

  browser_ = new QTextBrowser(this);
  browser_->setObjectName(QStringLiteral("txtHelp"));
  // Pages of the help stay here; web addresses go to the desktop.
  browser_->setOpenLinks(false);
  layout->addWidget(browser_);
  auto* close = new QPushButton(QStringLiteral("Close"), this);
  close->setObjectName(QStringLiteral("cmdHelpClose"));
  layout->addWidget(close, 0, Qt::AlignRight);

  back_->setEnabled(false);
  forward_->setEnabled(false);
  connect(back_, &QToolButton::clicked, browser_, &QTextBrowser::backward);
  connect(forward_, &QToolButton::clicked, browser_, &QTextBrowser::forward);
  connect(home_, &QToolButton::clicked, this, [this] { showPage(homeFile_); });
  connect(browser_, &QTextBrowser::backwardAvailable, back_, &QToolButton::setEnabled);
  connect(browser_, &QTextBrowser::forwardAvailable, forward_, &QToolButton::setEnabled);
  connect(browser_, &QTextBrowser::anchorClicked, this, &HelpViewer::follow);
  connect(close, &QPushButton::clicked, this, &QDialog::close);
  resize(760, 640);
}

bool HelpViewer::showPage(const QString& file, const QString& anchor) {
  const QFileInfo info(file);
  if (homeFile_.isEmpty()) homeFile_ = file;
  if (!info.isFile() || !info.isReadable()) {
    browser_->setHtml(QStringLiteral("<h2>The help is missing</h2><p>No readable help file at <code>%1</code>. "
                                     "Reinstalling Lumora brings it back.</p>")
                          .arg(file.toHtmlEscaped()));
    return false;
  }
  QUrl url = QUrl::fromLocalFile(info.absoluteFilePath());
  if (!anchor.isEmpty()) url.setFragment(anchor);
  browser_->setSource(url);
  return true;
}

void HelpViewer::follow(const QUrl& url) {
  const QUrl target = browser_->source().resolved(url);
  if (target.isLocalFile() || target.isRelative()) {
    browser_->setSource(target);
    return;
  }
  if (!Dialogs().openUrl(target))
    Dialogs().warning(this, QStringLiteral("No web browser could be started for %1").arg(target.toString()));
}

HelpViewer* ShowHelp(QWidget* parent, const QString& file, const QString& anchor) {
  HelpViewer* viewer = parent ? parent->findChild<HelpViewer*>(QStringLiteral("frmHelp"), Qt::FindDirectChildrenOnly)
                              : nullptr;
  if (!viewer) {
    viewer = new HelpViewer(parent);
    if (!parent) viewer->setAttribute(Qt::WA_DeleteOnClose);  // nothing else would free it
  }
  viewer->showPage(file, anchor);
  viewer->show();
  viewer->raise();
  viewer->activateWindow();
  return viewer;
}

}  // namespace lumora
