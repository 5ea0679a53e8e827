// The main window as a user drives it: inputs, settings, runs, the table.
#include <QAction>
#include <QApplication>
#include <QClipboard>
#include <QComboBox>
#include <QDir>
#include <QFile>
#include <QLabel>
#include <QLineEdit>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QRadioButton>
#include <QSettings>
#include <QSplitter>
#include <QTemporaryDir>
#include <QTimer>
#include <QToolButton>
#include <QtTest>
#include <memory>

#include "ui/dialogs.hpp"
#include "main_window_harness.hpp"
#include "test_sandbox.hpp"
#include "app/main_window.hpp"
#include "app/parameter_panel.hpp"
#include "ui/up_down_buttons.hpp"
#include "report/reflection_table_pane.hpp"
#include "report/report_view.hpp"

using namespace lumora;
using lumora::testing::Action;
using lumora::testing::Child;
using lumora::testing::RunToEnd;
using lumora::testing::ShowMainWindow;

class MainWindowTest : public QObject {
  Q_OBJECT

 private:
  std::unique_ptr<QTemporaryDir> folder_;
  QStringList messages_;
  QString nextSavePath_;
  int saveDialogs_ = 0;
  QList<QUrl> opened_;
  bool openSucceeds_ = true;
  QStringList confirmations_;
  bool confirmAnswer_ = true;
  bool confirmDontAsk_ = false;

  static QLineEdit* field(QWidget* window, const char* name) { return Child<QLineEdit>(window, name); }
  static void setField(QWidget* window, const char* name, const QString& text) { field(window, name)->setText(text); }

 private slots:
  void init() {
    // Temporary files and window preferences (splitter, "don't ask again") go to this test's folder.
    folder_ = testing::MakeScratchFolder();
    testing::RecordMessages(messages_);
    openSucceeds_ = true;
    confirmations_.clear();
    confirmAnswer_ = true;
    confirmDontAsk_ = false;
    Dialogs().confirm = [this](QWidget*, const QString& text, bool& dontAsk) {
      confirmations_ << text;
      dontAsk = confirmDontAsk_;
      return confirmAnswer_;
    };
    saveDialogs_ = 0;
    opened_.clear();
    nextSavePath_.clear();
    Dialogs().question = [this](QWidget*, const QString&, const QString& text) {
      messages_ << text;
      return false;
    };
    Dialogs().saveFileName = [this](QWidget*, const QString&, const QString& proposed, const QString&) {
      ++saveDialogs_;
      messages_ << QStringLiteral("proposed ") + proposed;
      return nextSavePath_;
    };
    Dialogs().openUrl = [this](const QUrl& url) {
      opened_ << url;
      return openSucceeds_;
    };
    Dialogs().hasHandler = [](const QString&) { return true; };  // a desktop with an editor
  }

  void startsWithTheDefaultsWhenThereIsNoSettingsFile() {
    auto w = ShowMainWindow(*folder_);
    QCOMPARE(Child<QComboBox>(w.get(), "cmbSystem")->currentText(), QStringLiteral("Decagonal"));
    QVERIFY(Child<QComboBox>(w.get(), "cmbSG10")->isVisible());
    QVERIFY(!Child<QComboBox>(w.get(), "cmbSG8")->isVisible());
    QCOMPARE(Child<QComboBox>(w.get(), "cmbSG10")->currentText(), QStringLiteral("P10.5/mmc"));
    QCOMPARE(Child<QComboBox>(w.get(), "cmbAnode")->currentText(), QStringLiteral("Mo"));
    QCOMPARE(field(w.get(), "tfWL")->text(), QStringLiteral("0.7106867"));
    QVERIFY(!field(w.get(), "tfWL")->isEnabled());
    QCOMPARE(field(w.get(), "tfA")->text(), QStringLiteral("2.82"));
    QCOMPARE(field(w.get(), "tfTH2")->text(), QStringLiteral("30.0"));
    QVERIFY(!field(w.get(), "tfH5")->isVisible());
    QVERIFY(Child<QRadioButton>(w.get(), "rbYamamoto")->isChecked());
    QVERIFY(!Action(w.get(), "mnuTable6")->isEnabled());
    QVERIFY(Action(w.get(), "mnuView2")->isChecked());
    QVERIFY(Action(w.get(), "mnuView4")->isChecked());
    QVERIFY(QDir(folder_->filePath(QStringLiteral("data"))).exists());
    QCOMPARE(w->windowTitle(), QStringLiteral("Lumora"));
  }

  void inputsSurviveARestart() {
    {
      auto w = ShowMainWindow(*folder_);
      w->parameters()->chooseSystem(0);
      Child<QComboBox>(w.get(), "cmbSG8")->setCurrentIndex(18);
      Child<QRadioButton>(w.get(), "rbSteurer")->setChecked(true);
      setField(w.get(), "tfA", QStringLiteral("2,9"));  // a comma, not yet normalised
      setField(w.get(), "tfC", QStringLiteral("11"));
      setField(w.get(), "tfH2", QStringLiteral("3"));
      w->parameters()->chooseAnode(7);
      setField(w.get(), "tfWL", QStringLiteral("1.2345"));  // typed with "US": not kept
      setField(w.get(), "tfQI", QStringLiteral("0.75"));
      setField(w.get(), "tfFind", QStringLiteral("1 0 0 0 0"));
      w->close();
    }
    QVERIFY(QFile::exists(folder_->filePath(QStringLiteral("Lumora.cfg"))));
    auto w = ShowMainWindow(*folder_);
    QCOMPARE(Child<QComboBox>(w.get(), "cmbSystem")->currentText(), QStringLiteral("Octagonal"));
    QCOMPARE(Child<QComboBox>(w.get(), "cmbSG8")->currentText(), QStringLiteral("P8nc"));
    QVERIFY(Child<QRadioButton>(w.get(), "rbSteurer")->isChecked());
    QCOMPARE(field(w.get(), "tfA")->text(), QStringLiteral("2,9"));
    QCOMPARE(field(w.get(), "tfC")->text(), QStringLiteral("11"));
    QCOMPARE(field(w.get(), "tfH2")->text(), QStringLiteral("3"));
    QCOMPARE(Child<QComboBox>(w.get(), "cmbAnode")->currentText(), QStringLiteral("US"));
    QCOMPARE(field(w.get(), "tfWL")->text(), QStringLiteral("1.541878"));
    QVERIFY(field(w.get(), "tfWL")->isEnabled());
    QCOMPARE(field(w.get(), "tfQI")->text(), QStringLiteral("0.75"));
    QCOMPARE(field(w.get(), "tfFind")->text(), QStringLiteral("1 0 0 0 0"));
  }

  void switchingTheSystem() {
    auto w = ShowMainWindow(*folder_);
    QAction* directions = Action(w.get(), "mnuView8");
    directions->setChecked(true);
    w->parameters()->chooseSystem(3);
    QVERIFY(Child<QComboBox>(w.get(), "cmbSG20")->isVisible());
    QCOMPARE(Child<QComboBox>(w.get(), "cmbSG20")->currentText(), QStringLiteral("P235"));
    QVERIFY(field(w.get(), "tfH5")->isVisible());
    QVERIFY(Child<QLabel>(w.get(), "Lhkl2")->isVisible());
    QVERIFY(!field(w.get(), "tfC")->isVisible());
    QVERIFY(!directions->isChecked());
    QVERIFY(!directions->isEnabled());
    w->parameters()->chooseSystem(2);
    QCOMPARE(Child<QComboBox>(w.get(), "cmbSG12")->currentText(), QStringLiteral("P12/mmm"));
    QVERIFY(directions->isEnabled());
    QVERIFY(!directions->isChecked());
    QVERIFY(field(w.get(), "tfC")->isVisible());
    QVERIFY(!field(w.get(), "tfH5")->isVisible());
    w->parameters()->chooseSystem(1);
    QCOMPARE(Child<QComboBox>(w.get(), "cmbSG10")->currentText(), QStringLiteral("P10/mmm"));
    // A system set without a click still runs with a group of its own list.
    Child<QComboBox>(w.get(), "cmbSystem")->setCurrentIndex(3);
    QCOMPARE(w->parameters()->group().symbol, std::string("P235"));
  }

  void anodeAndLoopArrows() {
    auto w = ShowMainWindow(*folder_);
    w->parameters()->chooseAnode(7);
    QCOMPARE(field(w.get(), "tfWL")->text(), QStringLiteral("1.541878"));
    QVERIFY(field(w.get(), "tfWL")->isEnabled());
    w->parameters()->chooseAnode(6);
    QCOMPARE(field(w.get(), "tfWL")->text(), QStringLiteral("0.5608337"));
    QVERIFY(!field(w.get(), "tfWL")->isEnabled());

    auto* arrows = Child<UpDownButtons>(w.get(), "up1");
    auto* up = arrows->findChild<QToolButton*>(QStringLiteral("up"));
    auto* down = arrows->findChild<QToolButton*>(QStringLiteral("down"));
    setField(w.get(), "tfH0", QStringLiteral("20"));
    QTest::mouseClick(up, Qt::LeftButton);
    QCOMPARE(field(w.get(), "tfH0")->text(), QStringLiteral("20"));
    setField(w.get(), "tfH0", QStringLiteral("2.5"));
    QTest::mouseClick(up, Qt::LeftButton);
    QCOMPARE(field(w.get(), "tfH0")->text(), QStringLiteral("4"));
    setField(w.get(), "tfH0", QStringLiteral("0"));
    QTest::mouseClick(down, Qt::LeftButton);
    QCOMPARE(field(w.get(), "tfH0")->text(), QStringLiteral("0"));
  }

  void aCompletedRunFillsTheTableAndStatus() {
    auto w = ShowMainWindow(*folder_);
    RunToEnd(w.get());
    QVERIFY(w->calculated());
    const std::size_t count = w->result()->records.size();
    QVERIFY(count > 0);
    QCOMPARE(w->statusText(1), QStringLiteral("%1 reflections").arg(count));
    QCOMPARE(w->statusText(2), QStringLiteral("of 3124 loops"));
    QCOMPARE(w->statusText(5), QStringLiteral("extinction rules: Ob "));
    QVERIFY(Action(w.get(), "mnuTable6")->isEnabled());

    // View in the text editor, from the menu and by a double click: the
    // report is written for it.
    Action(w.get(), "mnuTable6")->trigger();
    QTest::mouseDClick(w->table()->textBox()->viewport(), Qt::LeftButton);
    QCOMPARE(opened_.size(), 2);
    QCOMPARE(opened_.first(), QUrl::fromLocalFile(w->temporaryReportPath()));
    QFile report(w->temporaryReportPath());
    QVERIFY(report.open(QIODevice::ReadOnly));
    QString fileText = QString::fromLatin1(report.readAll());
    QVERIFY(fileText.startsWith(QStringLiteral("LUMORA REPORT - %1 reflections\r\n").arg(count)));
    fileText.replace(QStringLiteral("\r\n"), QStringLiteral("\n"));
    QCOMPARE(w->table()->text() + QStringLiteral("\n"), fileText);

    // Column items rewrite the table at once.
    Action(w.get(), "mnuTable3")->trigger();
    QVERIFY(!w->table()->text().contains(QStringLiteral("Theta")));
    Action(w.get(), "mnuTable3")->trigger();
    QVERIFY(w->table()->text().contains(QStringLiteral("Theta")));

    // "New" clears.
    Action(w.get(), "mnuFile1")->trigger();
    QVERIFY(!w->calculated());
    QVERIFY(w->table()->text().isEmpty());
    QVERIFY(!Action(w.get(), "mnuTable6")->isEnabled());
  }

  void decimalCommasAreNormalisedByTheRunButShownAsTyped() {
    auto w = ShowMainWindow(*folder_);
    w->parameters()->chooseAnode(7);
    setField(w.get(), "tfWL", QStringLiteral("1,54"));
    setField(w.get(), "tfTH2", QStringLiteral("40,0"));
    RunToEnd(w.get());
    QVERIFY(w->calculated());
    QVERIFY(w->table()->text().contains(QStringLiteral("wavelength = 1,54, thmin = 1.0, thmax = 40,0, qimax = 1.0")));
    QCOMPARE(field(w.get(), "tfWL")->text(), QStringLiteral("1.54"));
    QCOMPARE(field(w.get(), "tfTH2")->text(), QStringLiteral("40.0"));
    // Later rewrites describe the run, not fields edited since.
    setField(w.get(), "tfA", QStringLiteral("9.99"));
    Action(w.get(), "mnuTable4")->trigger();
    QVERIFY(w->table()->text().contains(QStringLiteral("a = 2.82, c = 12.06")));
  }

  void escCancelsARun() {
    auto w = ShowMainWindow(*folder_);
    for (const char* name : {"tfH0", "tfH1", "tfH2", "tfH3", "tfH4"}) setField(w.get(), name, QStringLiteral("25"));
    w->executeCalculation();
    QVERIFY(w->running());
    QVERIFY(!Child<QWidget>(w.get(), "frRight")->isEnabled());
    QVERIFY(!Child<QAction>(w.get(), "tbExecute")->isEnabled());
    QCOMPARE(w->statusText(2), QStringLiteral("of 345025250 loops"));
    QTest::keyClick(w.get(), Qt::Key_Escape);
    w->waitForRun();
    QVERIFY(!w->running());
    QVERIFY(!w->calculated());
    QVERIFY(w->table()->text().isEmpty());
    QCOMPARE(w->statusText(4), QStringLiteral("calculation cancelled"));
    QVERIFY(Child<QWidget>(w.get(), "frRight")->isEnabled());
    QVERIFY(Child<QAction>(w.get(), "tbExecute")->isEnabled());
  }

  void badFieldsAreNamedAndNothingRuns() {
    auto w = ShowMainWindow(*folder_);
    const std::pair<const char*, const char*> cases[] = {
        {"tfA", "abc"}, {"tfC", "0"}, {"tfQI", ""}, {"tfTH1", "45"}, {"tfH3", "-2"}};
    const char* expected[] = {"a: \"abc\" is not a number", "c: \"0\" must be greater than 0",
                              "qi-Max: \"\" is not a number",
                              "Theta Range (minimum): \"45\" is larger than the maximum \"30.0\"",
                              "Loop Limits h4: \"-2\" must be a whole number from 0 to 32767"};
    for (std::size_t i = 0; i < std::size(cases); ++i) {
      auto fresh = ShowMainWindow(*folder_);
      setField(fresh.get(), cases[i].first, QString::fromLatin1(cases[i].second));
      messages_.clear();
      fresh->executeCalculation();
      QVERIFY(!fresh->running());
      QVERIFY(!fresh->calculated());
      QCOMPARE(messages_, QStringList{QString::fromLatin1(expected[i])});
    }
    w->parameters()->chooseAnode(7);
    setField(w.get(), "tfWL", QStringLiteral("-1"));
    messages_.clear();
    w->executeCalculation();
    QCOMPARE(messages_, QStringList{QStringLiteral("Wavelength: \"-1\" must be greater than 0")});
  }

  void commandsThatNeedARunSayNoData() {
    auto w = ShowMainWindow(*folder_);
    w->saveTable();
    w->copyTable();
    QCOMPARE(messages_, (QStringList{QStringLiteral("no data"), QStringLiteral("no data")}));
    QCOMPARE(saveDialogs_, 0);
    w->viewInEditor();
    QVERIFY(opened_.isEmpty());
  }

  void savingAndCopyingTheTable() {
    auto w = ShowMainWindow(*folder_);
    RunToEnd(w.get());
    nextSavePath_.clear();  // the user cancels
    w->saveTable();
    QCOMPARE(saveDialogs_, 1);
    QVERIFY(messages_.last().endsWith(QStringLiteral("data/lumora.hkl")));
    QCOMPARE(QDir(folder_->filePath(QStringLiteral("data"))).entryList(QDir::Files).size(), 0);

    nextSavePath_ = folder_->filePath(QStringLiteral("saved.hkl"));
    w->saveTable();
    QFile saved(nextSavePath_);
    QVERIFY(saved.open(QIODevice::ReadOnly));
    QCOMPARE(QString::fromLatin1(saved.readAll()).replace(QStringLiteral("\r\n"), QStringLiteral("\n")),
             w->table()->text() + QStringLiteral("\n"));

    nextSavePath_ = folder_->filePath(QStringLiteral("missing/folder/x.hkl"));
    messages_.clear();
    w->saveTable();
    QCOMPARE(messages_.size(), 2);
    QVERIFY(messages_.last().startsWith(QStringLiteral("The table was not saved")));

    w->copyTable();
    const QString copied = QApplication::clipboard()->text();
    QVERIFY(copied.startsWith(QStringLiteral("1\t2\t2\t2\t2\t2\t")));
    QCOMPARE(copied.count(QStringLiteral("\r\n")), static_cast<int>(w->result()->records.size()));
  }

  void searchWrapsAround() {
    auto w = ShowMainWindow(*folder_);
    RunToEnd(w.get());
    setField(w.get(), "tfFind", QStringLiteral("2 2 2 2"));
    QList<long long> hits;
    do {
      QTest::keyClick(field(w.get(), "tfFind"), Qt::Key_Return);
      hits << w->table()->lastHit();
    } while (hits.last() >= 0 && hits.size() < 1000);
    QCOMPARE(hits.last(), -1LL);  // after the last hit: nothing
    QVERIFY(hits.size() >= 3);
    for (int i = 1; i + 1 < hits.size(); ++i) QVERIFY(hits[i] > hits[i - 1]);
    QTest::keyClick(field(w.get(), "tfFind"), Qt::Key_Return);
    QCOMPARE(w->table()->lastHit(), hits.first());  // then from the top again
    const QString selected = w->table()->textBox()->selectedText();
    QCOMPARE(selected, QStringLiteral("   2   2   2   2"));
    // A click in the table starts the next search from the top.
    Child<QPushButton>(w.get(), "bRTFFIND")->click();
    QTest::mouseClick(w->table()->textBox()->viewport(), Qt::LeftButton);
    QCOMPARE(w->table()->lastHit(), 0LL);
  }

  void usedMatricesShowsTheCurrentBasis() {
    auto w = ShowMainWindow(*folder_);
    w->parameters()->chooseSystem(0);
    QString direct, inverse;
    QTimer::singleShot(0, [&] {
      QWidget* dialog = QApplication::activeModalWidget();
      QVERIFY(dialog);
      QCOMPARE(dialog->windowTitle(), QStringLiteral("Used Matrices"));
      direct = dialog->findChild<QPlainTextEdit*>(QStringLiteral("Text1"))->toPlainText();
      inverse = dialog->findChild<QPlainTextEdit*>(QStringLiteral("Text2"))->toPlainText();
      dialog->findChild<QPushButton*>(QStringLiteral("Command1"))->click();
    });
    w->showUsedMatrices();
    QCOMPARE(direct.split(QLatin1Char('\n')).first(), QStringLiteral("   1.9940   1.9940  -1.9940   1.9940   0.0000"));
    QVERIFY(direct.split(QLatin1Char('\n')).last().endsWith(QStringLiteral("  12.0600")));
    QCOMPARE(inverse.split(QLatin1Char('\n')).size(), 5);

    // A decimal comma reads as the run reads it.
    const QString withPoint = direct;
    setField(w.get(), "tfA", QStringLiteral("2,82"));
    QTimer::singleShot(0, [&] {
      QWidget* dialog = QApplication::activeModalWidget();
      QVERIFY(dialog);
      direct = dialog->findChild<QPlainTextEdit*>(QStringLiteral("Text1"))->toPlainText();
      dialog->findChild<QPushButton*>(QStringLiteral("Command1"))->click();
    });
    w->showUsedMatrices();
    QCOMPARE(direct, withPoint);

    setField(w.get(), "tfA", QStringLiteral("abc"));
    messages_.clear();
    w->showUsedMatrices();
    QCOMPARE(messages_, QStringList{QStringLiteral("a: \"abc\" cannot be used as a lattice constant")});
  }

  void theTilingWindowOpensFromTheViewMenu() {
    auto w = ShowMainWindow(*folder_);
    Action(w.get(), "mnuView9")->trigger();
    QTRY_VERIFY(w->isMinimized());
    QWidget* tiling = nullptr;
    for (QWidget* top : QApplication::topLevelWidgets())
      if (top->objectName() == QLatin1String("frmNanoHoles") && top->isVisible()) tiling = top;
    QVERIFY(tiling);
    QCOMPARE(tiling->windowTitle(), QStringLiteral("Tiling Vertex Generator"));
    tiling->close();
    QTRY_VERIFY(!w->isMinimized());
  }

  void helpMenu() {
    auto w = ShowMainWindow(*folder_);
    Action(w.get(), "mnuHelp3")->trigger();
    QCOMPARE(opened_.last().host(), QStringLiteral("en.wikipedia.org"));
  }

  void runCommandKeysAndEnter() {
    auto w = ShowMainWindow(*folder_);
    QAction* runAction = Action(w.get(), "mnuRun");
    QVERIFY(runAction->shortcuts().contains(QKeySequence(Qt::Key_F5)));
    QVERIFY(runAction->shortcuts().contains(QKeySequence(Qt::CTRL | Qt::Key_R)));
    QCOMPARE(Action(w.get(), "tbExecute")->toolTip(), QStringLiteral("Run (F5)"));
    QTest::keyClick(field(w.get(), "tfQI"), Qt::Key_Return);
    w->waitForRun();
    QVERIFY(w->calculated());
    Action(w.get(), "mnuFile1")->trigger();
    QTest::keyClick(field(w.get(), "tfA"), Qt::Key_F5);
    w->waitForRun();
    QVERIFY(w->calculated());
    // Enter in the search field searches; it does not run.
    Action(w.get(), "mnuFile1")->trigger();
    QTest::keyClick(field(w.get(), "tfFind"), Qt::Key_Return);
    QVERIFY(!w->running() && !w->calculated());
  }

  void theUserIsAskedBeforeALargeRun() {
    const QString question = QString::fromUtf8("About 1296 reflections \u2014 continue?");
    auto w = ShowMainWindow(*folder_);
    w->setLargeRunThreshold(1000);  // the start-up run keeps 1296 reflections of 3125 vectors
    confirmAnswer_ = false;
    RunToEnd(w.get());
    QCOMPARE(confirmations_, QStringList{question});
    QVERIFY(!w->calculated());
    QCOMPARE(w->statusText(4), QStringLiteral("calculation cancelled"));
    w->setLargeRunThreshold(2000);  // counted, but below the threshold: no question
    RunToEnd(w.get());
    QVERIFY(w->calculated());
    QCOMPARE(confirmations_.size(), 1);
    w->setLargeRunThreshold(1000);
    confirmAnswer_ = true;
    confirmDontAsk_ = true;
    RunToEnd(w.get());
    QVERIFY(w->calculated());
    QCOMPARE(w->statusText(1), QStringLiteral("1296 reflections"));
    QCOMPARE(confirmations_.size(), 2);
    // The answer is remembered, outside the settings file, for later windows.
    w->close();
    auto later = ShowMainWindow(*folder_);
    later->setLargeRunThreshold(1000);
    RunToEnd(later.get());
    QVERIFY(later->calculated());
    QCOMPARE(confirmations_.size(), 2);
    QVERIFY(!QFile(folder_->filePath(QStringLiteral("Lumora.cfg"))).readAll().contains("ask"));
  }

  void escWhileDrawingEndsAsACancelledRun() {
    auto w = ShowMainWindow(*folder_);
    RunToEnd(w.get());
    QVERIFY(w->calculated());
    QVERIFY(!w->statusText(1).isEmpty());
    // Esc as the drawing starts, after the walk has ended.
    bool drawingSeen = false;
    w->runner().setStageObserver([&](RunStage stage) {
      if (stage != RunStage::Drawing) return;
      drawingSeen = true;
      w->runner().cancel();
    });
    RunToEnd(w.get());
    QVERIFY(drawingSeen);
    QVERIFY(!w->calculated());
    QVERIFY(!w->plots()->calculated());
    QVERIFY(w->table()->text().isEmpty());
    QCOMPARE(w->statusText(1), QString());  // the previous run's count is gone too
    QCOMPARE(w->statusText(4), QStringLiteral("calculation cancelled"));
    QVERIFY(Child<QWidget>(w.get(), "frRight")->isEnabled());
    w->runner().setStageObserver({});
    RunToEnd(w.get());
    QVERIFY(w->calculated());
  }

  void theThreeDScaleIsThatOfTheCurrentRun() {
    auto w = ShowMainWindow(*folder_);
    for (const char* name : {"tfH0", "tfH1", "tfH2", "tfH3", "tfH4"}) setField(w.get(), name, QStringLiteral("3"));
    RunToEnd(w.get());
    const float wide = w->plots()->data().coordMax;
    for (const char* name : {"tfH0", "tfH1", "tfH2", "tfH3", "tfH4"}) setField(w.get(), name, QStringLiteral("1"));
    RunToEnd(w.get());
    const float narrow = w->plots()->data().coordMax;
    QCOMPARE(narrow, w->result()->stats.bounds.CoordMax());
    QVERIFY(narrow < wide * 0.8f);
  }

  void failuresAreReported() {
    auto w = ShowMainWindow(*folder_);
    setField(w.get(), "tfFind", QStringLiteral("9 9 9 9 9"));
    RunToEnd(w.get());
    QTest::keyClick(field(w.get(), "tfFind"), Qt::Key_Return);
    QCOMPARE(w->statusText(4), QStringLiteral("not found"));
    setField(w.get(), "tfFind", QStringLiteral("2 2 2 2 2"));
    QTest::keyClick(field(w.get(), "tfFind"), Qt::Key_Return);
    QCOMPARE(w->statusText(4), QString());

    openSucceeds_ = false;
    messages_.clear();
    Action(w.get(), "mnuHelp6")->trigger();
    Action(w.get(), "mnuHelp3")->trigger();
    Action(w.get(), "mnuTable6")->trigger();
    // The help and the report open in the program's own windows; only the web page fails.
    QCOMPARE(messages_.size(), 1);
    QVERIFY(messages_[0].startsWith(QStringLiteral("No web browser could be started for https://")));
    QVERIFY(w->statusText(4).contains(QStringLiteral("no text editor")));
  }

  void theSplitterPositionIsRemembered() {
    QList<int> sizes;
    {
      auto w = ShowMainWindow(*folder_);
      auto* splitter = Child<QSplitter>(w.get(), "splitPlotsTable");
      splitter->setSizes({300, 400});
      sizes = splitter->sizes();
      w->close();
    }
    auto w = ShowMainWindow(*folder_);
    QCOMPARE(Child<QSplitter>(w.get(), "splitPlotsTable")->sizes(), sizes);
  }

  void cleanup() {
    Dialogs() = DialogHooks{};
    folder_.reset();
  }
};

QTEST_MAIN(MainWindowTest)
#include "main_window_test.moc"
