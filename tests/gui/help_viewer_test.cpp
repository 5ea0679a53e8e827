// The program's own help and text windows on a desktop without a web browser
// or a text editor: the shipped help opens at its anchors and follows its
// links, outside addresses go to the desktop with a message when nothing
// takes them, and a report opens in the text viewer with find.
#include <QFile>
#include <QLabel>
#include <QPlainTextEdit>
#include <QScrollBar>
#include <QTemporaryDir>
#include <QTextBrowser>
#include <QToolButton>
#include <QtTest>
#include <memory>

#include "app/about_dialog.hpp"
#include "app/links.hpp"
#include "test_sandbox.hpp"
#include "ui/help_viewer.hpp"
#include "ui/text_viewer.hpp"

using namespace lumora;

class HelpViewerTest : public QObject {
  Q_OBJECT

 private:
  std::unique_ptr<QTemporaryDir> folder_;
  QStringList messages_;
  QList<QUrl> opened_;
  bool browser_ = false;  // whether the desktop has a program for the address
  const QString help_ = QStringLiteral(LUMORA_HELP_FILE);

  QString write(const QString& name, const QByteArray& bytes) {
    const QString path = folder_->filePath(name);
    QFile file(path);
    if (!file.open(QIODevice::WriteOnly) || file.write(bytes) != bytes.size()) qFatal("cannot write %s", qPrintable(path));
    return path;
  }

 private slots:
  void init() {
    folder_ = testing::MakeScratchFolder();
    testing::RecordMessages(messages_);
    opened_.clear();
    browser_ = false;
    Dialogs().openUrl = [this](const QUrl& url) {
      opened_ << url;
      return browser_;
    };
    Dialogs().hasHandler = [this](const QString&) { return browser_; };
  }

  void helpOpensAtItsAnchorsWithoutABrowser() {
    QWidget owner;
    HelpViewer* viewer = ShowHelp(&owner, help_, QStringLiteral("cli"));
    QVERIFY(viewer->isVisible());
    QTextBrowser* text = viewer->browser();
    QCOMPARE(text->source().fragment(), QStringLiteral("cli"));
    QVERIFY(text->toPlainText().contains(QStringLiteral("Lumora")));
    QVERIFY(opened_.isEmpty());  // nothing was handed to the desktop
    // The anchor near the end of the page is scrolled to, not the top.
    QTRY_VERIFY(text->verticalScrollBar()->value() > 0);

    // A link within the page: followed here, and Back returns.
    emit text->anchorClicked(QUrl(QStringLiteral("#idea")));
    QCOMPARE(text->source().fragment(), QStringLiteral("idea"));
    auto* back = viewer->findChild<QToolButton*>(QStringLiteral("cmdHelpBack"));
    QVERIFY(back && back->isEnabled());
    back->click();
    QCOMPARE(text->source().fragment(), QStringLiteral("cli"));

    // Asked again: the same window, now at another anchor.
    QCOMPARE(ShowHelp(&owner, help_, QStringLiteral("plots")), viewer);
    QCOMPARE(text->source().fragment(), QStringLiteral("plots"));
  }

  void linksToOtherPagesAndTheWeb() {
    const QString index = write(QStringLiteral("index.html"),
                                "<html><body><p>first</p><a href=\"more.html#deep\">more</a>"
                                "<a href=\"https://en.wikipedia.org/wiki/Quasicrystal\">web</a></body></html>");
    write(QStringLiteral("more.html"), "<html><body><h1>second page</h1><p id=\"deep\">deep part</p></body></html>");
    HelpViewer viewer;
    QVERIFY(viewer.showPage(index));
    emit viewer.browser()->anchorClicked(QUrl(QStringLiteral("more.html#deep")));
    QVERIFY(viewer.browser()->toPlainText().contains(QStringLiteral("second page")));
    QCOMPARE(viewer.browser()->source().fragment(), QStringLiteral("deep"));

    // A web address goes to the desktop; without a browser, a message says so.
    emit viewer.browser()->anchorClicked(QUrl(QStringLiteral("https://en.wikipedia.org/wiki/Quasicrystal")));
    QCOMPARE(opened_.size(), 1);
    QCOMPARE(opened_[0].host(), QStringLiteral("en.wikipedia.org"));
    QCOMPARE(messages_.size(), 1);
    QVERIFY(messages_[0].contains(QStringLiteral("No web browser")));
    QVERIFY(viewer.browser()->toPlainText().contains(QStringLiteral("second page")));

    // A missing help file is said in the window, not shown as an empty page.
    HelpViewer missing;
    QVERIFY(!missing.showPage(folder_->filePath(QStringLiteral("none.html"))));
    QVERIFY(missing.browser()->toPlainText().contains(QStringLiteral("The help is missing")));
  }

  void reportOpensInTheViewerWhenNoEditorExists() {
    QByteArray report;
    for (int i = 0; i < 200; ++i) report += "  " + QByteArray::number(i) + "   1  0  0  0  0   12.345\r\n";
    report += "the last line\r\n";
    const QString path = write(QStringLiteral("tmp.hkl"), report);
    QWidget owner;
    TextViewer* viewer = OpenInTextEditor(&owner, path);
    QVERIFY(viewer);
    QVERIFY(viewer->isVisible());
    QVERIFY(opened_.isEmpty());  // no editor known: not handed over at all
    QVERIFY(viewer->text()->toPlainText().contains(QStringLiteral("the last line")));
    QVERIFY(viewer->text()->isReadOnly());

    // Find selects, moves on, wraps at the end and says when nothing is there.
    QVERIFY(viewer->findNext(QStringLiteral("199")));
    QCOMPARE(viewer->text()->textCursor().selectedText(), QStringLiteral("199"));
    QVERIFY(viewer->findNext(QStringLiteral("the last line")));
    // Past the last occurrence: wraps to the first one in the text.
    const QString pattern = QStringLiteral("   1  0");
    QVERIFY(viewer->findNext(pattern));
    const QString shown = viewer->text()->toPlainText();
    QCOMPARE(viewer->text()->textCursor().position(), shown.indexOf(pattern) + pattern.size());
    QVERIFY(!viewer->findNext(QStringLiteral("absent words")));

    // A file larger than the viewer takes: whole lines of its start, and a note.
    QVERIFY(viewer->showFile(path, 100));
    const QString part = viewer->text()->toPlainText();
    QVERIFY(!part.isEmpty());
    QVERIFY(part.size() <= 100);
    QVERIFY(part.endsWith(QLatin1Char('\n')));
    QVERIFY(viewer->status()->text().contains(QStringLiteral("first")));

    // An editor known and started: the file goes there, no viewer.
    browser_ = true;
    QCOMPARE(OpenInTextEditor(&owner, path), nullptr);
    QCOMPARE(opened_.size(), 1);
    QCOMPARE(opened_[0].toLocalFile(), path);

    // An unreadable file is said so in the viewer.
    TextViewer other;
    QVERIFY(!other.showFile(folder_->filePath(QStringLiteral("none.hkl"))));
    QVERIFY(other.status()->text().contains(QStringLiteral("cannot be read")));
  }

  void aLinkWithoutAnAddressSaysSo() {
    OpenURL(QString(), nullptr);
    QVERIFY(opened_.isEmpty());
    QCOMPARE(messages_.size(), 1);
    QVERIFY(messages_[0].contains(QStringLiteral("No web address")));
    QVERIFY(links::Configured(links::kQuasicrystalInfo));
    QVERIFY(!links::Configured(""));
    // The About window offers only the pages that have an address.
    AboutDialog about;
    QCOMPARE(about.findChild<QLabel*>(QStringLiteral("Label7")) != nullptr, links::Configured(links::kMakerHome));
    QCOMPARE(about.findChild<QLabel*>(QStringLiteral("Label8")) != nullptr, links::Configured(links::kAuthorHome));
  }

  void cleanup() {
    Dialogs() = DialogHooks{};
    folder_.reset();
  }
};

QTEST_MAIN(HelpViewerTest)
#include "help_viewer_test.moc"
