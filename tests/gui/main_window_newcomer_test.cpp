// The main window's first-hour frictions: help and reports that open without
// a browser or editor, a cancelled question that keeps the results, the
// labelled Run button and start hint, remembered view options and folders,
// and the extinction codes explained.
#include <QAction>
#include <QDir>
#include <QDoubleSpinBox>
#include <QFile>
#include <QLabel>
#include <QPlainTextEdit>
#include <QRegularExpression>
#include <QTemporaryDir>
#include <QTextBrowser>
#include <QToolBar>
#include <QToolButton>
#include <QtTest>
#include <memory>

#include "app/links.hpp"
#include "app/main_window.hpp"
#include "reflections/extinction_text.hpp"
#include "reflections/space_groups.hpp"
#include "report/reflection_table_pane.hpp"
#include "report/report_view.hpp"
#include "test_sandbox.hpp"
#include "ui/dialogs.hpp"
#include "ui/help_viewer.hpp"
#include "ui/text_viewer.hpp"

using namespace lumora;

class MainWindowNewcomerTest : public QObject {
  Q_OBJECT

 private:
  std::unique_ptr<QTemporaryDir> folder_;
  QStringList messages_;
  QList<QUrl> opened_;
  bool desktopHasPrograms_ = false;
  bool confirmAnswer_ = true;
  QString nextSavePath_;
  QStringList proposed_;

  std::unique_ptr<MainWindow> makeWindow() {
    auto window = std::make_unique<MainWindow>(AppPaths(folder_->path()));
    window->show();
    window->activateWindow();
    if (!QTest::qWaitForWindowActive(window.get())) qWarning("window not active");
    return window;
  }
  static QAction* action(QWidget* window, const char* name) {
    auto* found = window->findChild<QAction*>(QString::fromLatin1(name));
    if (!found) qFatal("no action %s", name);
    return found;
  }
  static void run(MainWindow* window) {
    window->executeCalculation();
    window->waitForRun();
  }
  static QString helpSource() { return QStringLiteral(LUMORA_SOURCE_DIR "/help/index.html"); }

 private slots:
  void init() {
    folder_ = testing::MakeScratchFolder();
    testing::RecordMessages(messages_);
    opened_.clear();
    desktopHasPrograms_ = false;
    confirmAnswer_ = true;
    nextSavePath_.clear();
    proposed_.clear();
    // The help as installed beside the program.
    QDir(folder_->path()).mkpath(QStringLiteral("help"));
    QFile::copy(helpSource(), folder_->filePath(QStringLiteral("help/index.html")));
    Dialogs().openUrl = [this](const QUrl& url) {
      opened_ << url;
      return desktopHasPrograms_;
    };
    Dialogs().hasHandler = [this](const QString&) { return desktopHasPrograms_; };
    Dialogs().confirm = [this](QWidget*, const QString&, bool& dontAsk) {
      dontAsk = false;
      return confirmAnswer_;
    };
    Dialogs().saveFileName = [this](QWidget*, const QString&, const QString& proposed, const QString&) {
      proposed_ << proposed;
      return nextSavePath_;
    };
  }

  void helpOpensInTheOwnViewerOnF1AndAtAnAnchor() {
    auto w = makeWindow();
    QVERIFY(action(w.get(), "mnuHelp6")->shortcuts().contains(QKeySequence(Qt::Key_F1)));
    QTest::keyClick(w.get(), Qt::Key_F1);
    auto* viewer = w->findChild<HelpViewer*>(QStringLiteral("frmHelp"));
    QVERIFY(viewer);
    QVERIFY(viewer->isVisible());
    QVERIFY(opened_.isEmpty());  // no browser was asked
    QVERIFY(viewer->browser()->source().toLocalFile().endsWith(QStringLiteral("help/index.html")));
    QVERIFY(viewer->browser()->toPlainText().contains(QStringLiteral("Extinction rules")));
    w->showHelp(QStringLiteral("extinction"));
    QCOMPARE(viewer->browser()->source().fragment(), QStringLiteral("extinction"));
    QCOMPARE(w->findChildren<HelpViewer*>().size(), 1);  // reused, not stacked
  }

  void linksWithoutAnAddressAreNotOffered() {
    auto w = makeWindow();
    QCOMPARE(action(w.get(), "mnuHelp5")->isVisible(), links::Configured(links::kProductHome));
    QCOMPARE(action(w.get(), "mnuHelp1")->isVisible(), links::Configured(links::kMakerHome));
    QCOMPARE(action(w.get(), "mnuHelp2")->isVisible(), links::Configured(links::kAuthorHome));
    QCOMPARE(action(w.get(), "mnuHelp7")->isVisible(), links::Configured(links::kMakerHome));
    QVERIFY(action(w.get(), "mnuHelp3")->isVisible());
    if (!links::Configured(links::kMakerHome)) {
      action(w.get(), "mnuHelp7")->trigger();  // even if reached, no placeholder page is opened
      QVERIFY(opened_.isEmpty());
    }
  }

  void theReportOpensInTheOwnViewerWithoutAnEditor() {
    auto w = makeWindow();
    QCOMPARE(action(w.get(), "mnuTable6")->text(), QStringLiteral("Open in Text Editor"));
    run(w.get());
    action(w.get(), "mnuTable6")->trigger();
    auto* viewer = w->findChild<TextViewer*>(QStringLiteral("frmTextViewer"));
    QVERIFY(viewer);
    QVERIFY(viewer->isVisible());
    QVERIFY(viewer->text()->toPlainText().startsWith(
        QStringLiteral("LUMORA REPORT - %1 reflections").arg(w->result()->records.size())));
    QVERIFY(w->statusText(4).contains(QStringLiteral("no text editor")));
    // With an editor the desktop gets the file and no viewer is added.
    viewer->close();
    desktopHasPrograms_ = true;
    action(w.get(), "mnuTable6")->trigger();
    QCOMPARE(opened_.last(), QUrl::fromLocalFile(w->temporaryReportPath()));
    QVERIFY(!viewer->isVisible());
  }

  void cancellingTheLargeRunQuestionKeepsTheResultsAndNewClearsTheCount() {
    auto w = makeWindow();
    run(w.get());
    const QString table = w->table()->text();
    const QString count = w->statusText(1);
    const QString loops = w->statusText(2);
    QCOMPARE(count, QStringLiteral("1296 reflections"));
    w->setLargeRunThreshold(1000);
    confirmAnswer_ = false;
    run(w.get());
    QVERIFY(w->calculated());
    QCOMPARE(w->table()->text(), table);
    QCOMPARE(w->statusText(1), count);
    QCOMPARE(w->statusText(2), loops);
    QCOMPARE(w->statusText(4), QStringLiteral("calculation cancelled"));
    QVERIFY(action(w.get(), "mnuTable6")->isEnabled());
    action(w.get(), "mnuFile1")->trigger();
    QVERIFY(!w->calculated());
    QVERIFY(w->statusText(1).isEmpty());
  }

  void theRunButtonIsLabelledAndTheEmptyTableSaysHowToStart() {
    auto w = makeWindow();
    auto* toolbar = w->findChild<QToolBar*>(QStringLiteral("Toolbar1"));
    auto* button = qobject_cast<QToolButton*>(toolbar->widgetForAction(action(w.get(), "tbExecute")));
    QVERIFY(button);
    QCOMPARE(button->toolButtonStyle(), Qt::ToolButtonTextBesideIcon);
    QCOMPARE(button->text(), QStringLiteral("Run"));
    // The hint names the key that really runs.
    const QString key = action(w.get(), "mnuRun")->shortcuts().first().toString();
    QVERIFY(w->table()->textBox()->placeholderText().contains(QStringLiteral("Run (%1)").arg(key)));
    QVERIFY(!w->table()->textBox()->lines());
    run(w.get());
    QVERIFY(w->table()->textBox()->lines());
  }

  void viewOptionsTheThresholdAndTheFolderAreRemembered() {
    auto w = makeWindow();
    QAction* indices = action(w.get(), "mnuView7");
    QAction* filled = action(w.get(), "mnuView2");
    const bool indicesBefore = indices->isChecked();
    const bool filledBefore = filled->isChecked();
    indices->trigger();
    filled->trigger();
    auto* threshold = w->findChild<QDoubleSpinBox*>(QStringLiteral("sbMinI"));
    QVERIFY(threshold);
    threshold->setValue(5.0);
    run(w.get());
    const QString elsewhere = folder_->filePath(QStringLiteral("reports"));
    QVERIFY(QDir().mkpath(elsewhere));
    nextSavePath_ = QDir(elsewhere).filePath(QStringLiteral("mine.hkl"));
    w->saveTable();
    QVERIFY(QFile::exists(nextSavePath_));
    w->close();
    w.reset();

    auto later = makeWindow();
    QCOMPARE(action(later.get(), "mnuView7")->isChecked(), !indicesBefore);
    QCOMPARE(action(later.get(), "mnuView2")->isChecked(), !filledBefore);
    QCOMPARE(later->plots()->options().showIndices, !indicesBefore);
    QCOMPARE(later->findChild<QDoubleSpinBox*>(QStringLiteral("sbMinI"))->value(), 5.0);
    run(later.get());
    nextSavePath_.clear();
    later->saveTable();
    QCOMPARE(QFileInfo(proposed_.last()).absolutePath(), QFileInfo(elsewhere).absoluteFilePath());
    later->close();
    // The settings file of the inputs holds none of it.
    QFile cfg(folder_->filePath(QStringLiteral("Lumora.cfg")));
    QVERIFY(cfg.open(QIODevice::ReadOnly));
    const QByteArray text = cfg.readAll();
    QVERIFY(!text.contains("reports") && !text.contains("mnuView"));
  }

  void theExtinctionCodeIsSpelledOutAndEveryCodeIsInTheHelp() {
    auto w = makeWindow();
    run(w.get());  // P10.5/mmc at start: "Ob"
    const QString tip = w->findChild<QLabel*>(QStringLiteral("StatusPanel5"))->toolTip();
    QVERIFY(tip.contains(QStringLiteral("P10.5/mmc")));
    QVERIFY(tip.contains(QStringLiteral("Ob: reflections on a second-family direction with h5 odd are absent")));

    QFile help(helpSource());
    QVERIFY(help.open(QIODevice::ReadOnly));
    const QString html = QString::fromUtf8(help.readAll());
    QVERIFY(html.contains(QStringLiteral("id=\"extinction\"")));
    for (const SpaceGroup& group : AllSpaceGroups()) {
      const QString conditions = QString::fromStdString(ExtinctionConditionsText(group));
      QVERIFY2(!conditions.contains(QStringLiteral("unknown")), qPrintable(QString::fromStdString(group.symbol)));
      if (group.system == CrystalSystem::Icosahedral) continue;
      for (const QString& code : QString::fromStdString(group.rules).split(QLatin1Char(' '), Qt::SkipEmptyParts))
        QVERIFY2(html.contains(QStringLiteral("<td>%1</td>").arg(code)), qPrintable(code));
    }
    // Centred groups say so.
    QVERIFY(ExtinctionConditionsText(*FindGroup("I8")).starts_with("I centring"));
  }

  void theTableSortsAndFollowsTheThreshold() {
    auto w = makeWindow();
    action(w.get(), "mnuModel_penrose")->trigger();
    run(w.get());
    const std::size_t total = w->result()->records.size();
    auto rows = [&w] {
      QStringList lines = w->table()->text().split(QLatin1Char('\n'));
      return lines.mid(7);
    };
    auto column = [](const QString& row, int index) {
      return row.split(QLatin1Char(' '), Qt::SkipEmptyParts).at(index).toDouble();
    };
    // By theta: never decreasing; row numbers stay those of the run.
    action(w.get(), "mnuSortTheta")->trigger();
    QStringList shown = rows();
    QCOMPARE(static_cast<std::size_t>(shown.size()), total);
    for (int i = 1; i < shown.size(); ++i) QVERIFY(column(shown[i], 6) >= column(shown[i - 1], 6));
    QList<int> numbers;
    for (const QString& row : shown) numbers << static_cast<int>(column(row, 0));
    QVERIFY(numbers.first() != 1 || numbers.last() != static_cast<int>(total));  // the order did change
    std::sort(numbers.begin(), numbers.end());
    for (int i = 0; i < numbers.size(); ++i) QCOMPARE(numbers[i], i + 1);
    // By d: smallest first.
    action(w.get(), "mnuSortD")->trigger();
    shown = rows();
    for (int i = 1; i < shown.size(); ++i) QVERIFY(column(shown[i], 7) >= column(shown[i - 1], 7));
    // The threshold thins the table too, and the status bar says how much.
    w->findChild<QDoubleSpinBox*>(QStringLiteral("sbMinI"))->setValue(10.0);
    shown = rows();
    QVERIFY(shown.size() > 0 && static_cast<std::size_t>(shown.size()) < total);
    for (const QString& row : shown) QVERIFY(row.right(10).trimmed().toDouble() >= 10.0);
    QCOMPARE(w->statusText(1), QStringLiteral("%1 of %2 shown").arg(shown.size()).arg(total));
    action(w.get(), "mnuSortI")->trigger();
    shown = rows();
    QCOMPARE(shown.first().right(10).trimmed().toDouble(), 100.0);
    // A saved report keeps every row in run order.
    nextSavePath_ = folder_->filePath(QStringLiteral("all.hkl"));
    w->saveTable();
    QFile saved(nextSavePath_);
    QVERIFY(saved.open(QIODevice::ReadOnly));
    const QList<QByteArray> lines = saved.readAll().split('\n');
    QCOMPARE(static_cast<std::size_t>(lines.size()), 7 + total + 1);
    QVERIFY(lines[7].trimmed().startsWith("1 "));
    QVERIFY(lines[8].trimmed().startsWith("2 "));
    w->findChild<QDoubleSpinBox*>(QStringLiteral("sbMinI"))->setValue(0.0);
    QCOMPARE(w->statusText(1), QStringLiteral("%1 reflections").arg(total));
  }

  void cleanup() { folder_.reset(); }
};

QTEST_MAIN(MainWindowNewcomerTest)
#include "main_window_newcomer_test.moc"
