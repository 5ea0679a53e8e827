// The main window's first-hour frictions: help and reports that open without
// a browser or editor, a cancelled question that keeps the results, the
// labelled Run button and start hint, remembered view options and folders,
// and the extinction codes explained.
#include <QAction>
#include <QComboBox>
#include <QDir>
#include <QImage>
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
#include "plots/plot_box.hpp"
#include "plots/plot_controller.hpp"
#include "reflections/extinction_text.hpp"
#include "reflections/space_groups.hpp"
#include "report/reflection_table_pane.hpp"
#include "report/report_view.hpp"
#include "main_window_harness.hpp"
#include "test_sandbox.hpp"
#include "ui/dialogs.hpp"
#include "ui/help_viewer.hpp"
#include "ui/text_viewer.hpp"

using namespace lumora;
using lumora::testing::Action;
using lumora::testing::Child;
using lumora::testing::RunToEnd;
using lumora::testing::ShowMainWindow;

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
    auto w = ShowMainWindow(*folder_);
    QVERIFY(Action(w.get(), "mnuHelp6")->shortcuts().contains(QKeySequence(Qt::Key_F1)));
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
    auto w = ShowMainWindow(*folder_);
    QCOMPARE(Action(w.get(), "mnuHelp5")->isVisible(), links::Configured(links::kProductHome));
    QCOMPARE(Action(w.get(), "mnuHelp1")->isVisible(), links::Configured(links::kMakerHome));
    QCOMPARE(Action(w.get(), "mnuHelp2")->isVisible(), links::Configured(links::kAuthorHome));
    QCOMPARE(Action(w.get(), "mnuHelp7")->isVisible(), links::Configured(links::kMakerHome));
    QVERIFY(Action(w.get(), "mnuHelp3")->isVisible());
    if (!links::Configured(links::kMakerHome)) {
      Action(w.get(), "mnuHelp7")->trigger();  // even if reached, no placeholder page is opened
      QVERIFY(opened_.isEmpty());
    }
  }

  void theReportOpensInTheOwnViewerWithoutAnEditor() {
    auto w = ShowMainWindow(*folder_);
    QCOMPARE(Action(w.get(), "mnuTable6")->text(), QStringLiteral("Open in Text Editor"));
    RunToEnd(w.get());
    Action(w.get(), "mnuTable6")->trigger();
    auto* viewer = w->findChild<TextViewer*>(QStringLiteral("frmTextViewer"));
    QVERIFY(viewer);
    QVERIFY(viewer->isVisible());
    QVERIFY(viewer->text()->toPlainText().startsWith(
        QStringLiteral("LUMORA REPORT - %1 reflections").arg(w->result()->records.size())));
    QVERIFY(w->statusText(4).contains(QStringLiteral("no text editor")));
    // With an editor the desktop gets the file and no viewer is added.
    viewer->close();
    desktopHasPrograms_ = true;
    Action(w.get(), "mnuTable6")->trigger();
    QCOMPARE(opened_.last(), QUrl::fromLocalFile(w->temporaryReportPath()));
    QVERIFY(!viewer->isVisible());
  }

  void cancellingTheLargeRunQuestionKeepsTheResultsAndNewClearsTheCount() {
    auto w = ShowMainWindow(*folder_);
    RunToEnd(w.get());
    const QString table = w->table()->text();
    const QString count = w->statusText(1);
    const QString loops = w->statusText(2);
    QCOMPARE(count, QStringLiteral("1296 reflections"));
    w->setLargeRunThreshold(1000);
    confirmAnswer_ = false;
    RunToEnd(w.get());
    QVERIFY(w->calculated());
    QCOMPARE(w->table()->text(), table);
    QCOMPARE(w->statusText(1), count);
    QCOMPARE(w->statusText(2), loops);
    QCOMPARE(w->statusText(4), QStringLiteral("calculation cancelled"));
    QVERIFY(Action(w.get(), "mnuTable6")->isEnabled());
    Action(w.get(), "mnuFile1")->trigger();
    QVERIFY(!w->calculated());
    QVERIFY(w->statusText(1).isEmpty());
  }

  void theRunButtonIsLabelledAndTheEmptyTableSaysHowToStart() {
    auto w = ShowMainWindow(*folder_);
    auto* toolbar = w->findChild<QToolBar*>(QStringLiteral("Toolbar1"));
    auto* button = qobject_cast<QToolButton*>(toolbar->widgetForAction(Action(w.get(), "tbExecute")));
    QVERIFY(button);
    QCOMPARE(button->toolButtonStyle(), Qt::ToolButtonTextBesideIcon);
    QCOMPARE(button->text(), QStringLiteral("Run"));
    // The hint names the key that really runs.
    const QString key = Action(w.get(), "mnuRun")->shortcuts().first().toString();
    QVERIFY(w->table()->textBox()->placeholderText().contains(QStringLiteral("Run (%1)").arg(key)));
    QVERIFY(!w->table()->textBox()->lines());
    RunToEnd(w.get());
    QVERIFY(w->table()->textBox()->lines());
  }

  void viewOptionsTheThresholdAndTheFolderAreRemembered() {
    auto w = ShowMainWindow(*folder_);
    QAction* indices = Action(w.get(), "mnuView7");
    QAction* filled = Action(w.get(), "mnuView2");
    const bool indicesBefore = indices->isChecked();
    const bool filledBefore = filled->isChecked();
    indices->trigger();
    filled->trigger();
    auto* threshold = w->findChild<QDoubleSpinBox*>(QStringLiteral("sbMinI"));
    QVERIFY(threshold);
    threshold->setValue(5.0);
    RunToEnd(w.get());
    const QString elsewhere = folder_->filePath(QStringLiteral("reports"));
    QVERIFY(QDir().mkpath(elsewhere));
    nextSavePath_ = QDir(elsewhere).filePath(QStringLiteral("mine.hkl"));
    w->saveTable();
    QVERIFY(QFile::exists(nextSavePath_));
    w->close();
    w.reset();

    auto later = ShowMainWindow(*folder_);
    QCOMPARE(Action(later.get(), "mnuView7")->isChecked(), !indicesBefore);
    QCOMPARE(Action(later.get(), "mnuView2")->isChecked(), !filledBefore);
    QCOMPARE(later->plots()->options().showIndices, !indicesBefore);
    QCOMPARE(later->findChild<QDoubleSpinBox*>(QStringLiteral("sbMinI"))->value(), 5.0);
    RunToEnd(later.get());
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

  void theMarksAreDrawnOnBothPlotsAndRemembered() {
    auto w = ShowMainWindow(*folder_);
    Child<QComboBox>(w.get(), "cmbSystem")->setCurrentIndex(3);  // icosahedral: a 3D pattern
    RunToEnd(w.get());
    const QImage plain2D = w->plots()->box2D()->picture();
    const QImage plain3D = w->plots()->box3D()->picture();
    // Off at first: the classic pictures.
    for (const char* name : {"mnuView15", "mnuView16", "mnuView17"}) QVERIFY(!Action(w.get(), name)->isChecked());
    Action(w.get(), "mnuView15")->trigger();
    QVERIFY(w->plots()->options().marks.scaleBar);
    QVERIFY(w->plots()->box2D()->picture() != plain2D);
    QVERIFY(w->plots()->box3D()->picture() != plain3D);
    // The orientation mark names the turned axes (here the icosahedral slab
    // on the left is a layer of the 3D view and shows them too).
    const QImage bar3D = w->plots()->box3D()->picture();
    Action(w.get(), "mnuView17")->trigger();
    QVERIFY(w->plots()->box3D()->picture() != bar3D);
    const QImage marked2D = w->plots()->box2D()->picture();
    Action(w.get(), "mnuView16")->trigger();
    QVERIFY(w->plots()->box2D()->picture() != marked2D);
    // A saved picture is what the box shows; with the caption item it also
    // names the run, on the saved picture only.
    nextSavePath_ = folder_->filePath(QStringLiteral("plain.png"));
    Action(w.get(), "mnuFile3")->trigger();
    QImage saved(nextSavePath_);
    QCOMPARE(saved.convertToFormat(QImage::Format_RGB32),
             w->plots()->box3D()->picture().convertToFormat(QImage::Format_RGB32));
    const QImage shown = w->plots()->box3D()->picture();
    Action(w.get(), "mnuView18")->trigger();
    QCOMPARE(w->plots()->box3D()->picture(), shown);
    nextSavePath_ = folder_->filePath(QStringLiteral("captioned.png"));
    Action(w.get(), "mnuFile3")->trigger();
    saved = QImage(nextSavePath_);
    QCOMPARE(saved.size(), shown.size());
    QVERIFY(saved.convertToFormat(QImage::Format_RGB32) != shown.convertToFormat(QImage::Format_RGB32));
    nextSavePath_ = folder_->filePath(QStringLiteral("captioned.svg"));
    Action(w.get(), "mnuFile2")->trigger();
    QFile svg(nextSavePath_);
    QVERIFY(svg.open(QIODevice::ReadOnly));
    const QByteArray svgText = svg.readAll();
    QVERIFY2(svgText.contains("P235") && svgText.contains("qimax = 1.0"), svgText.left(400).constData());
    w->close();
    w.reset();
    auto later = ShowMainWindow(*folder_);
    const PlotMarks& marks = later->plots()->options().marks;
    QVERIFY(marks.scaleBar && marks.ticks && marks.orientation);
    QVERIFY(later->plots()->options().captionOnSaved);
    QVERIFY(Action(later.get(), "mnuView16")->isChecked());
  }

  void theExtinctionCodeIsSpelledOutAndEveryCodeIsInTheHelp() {
    auto w = ShowMainWindow(*folder_);
    RunToEnd(w.get());  // P10.5/mmc at start: "Ob"
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
    auto w = ShowMainWindow(*folder_);
    Action(w.get(), "mnuModel_penrose")->trigger();
    RunToEnd(w.get());
    const std::size_t total = w->result()->records.size();
    auto rows = [&w] {
      QStringList lines = w->table()->text().split(QLatin1Char('\n'));
      return lines.mid(7);
    };
    auto column = [](const QString& row, int index) {
      return row.split(QLatin1Char(' '), Qt::SkipEmptyParts).at(index).toDouble();
    };
    // By theta: never decreasing; row numbers stay those of the run.
    Action(w.get(), "mnuSortTheta")->trigger();
    QStringList shown = rows();
    QCOMPARE(static_cast<std::size_t>(shown.size()), total);
    for (int i = 1; i < shown.size(); ++i) QVERIFY(column(shown[i], 6) >= column(shown[i - 1], 6));
    QList<int> numbers;
    for (const QString& row : shown) numbers << static_cast<int>(column(row, 0));
    QVERIFY(numbers.first() != 1 || numbers.last() != static_cast<int>(total));  // the order did change
    std::sort(numbers.begin(), numbers.end());
    for (int i = 0; i < numbers.size(); ++i) QCOMPARE(numbers[i], i + 1);
    // By d: smallest first.
    Action(w.get(), "mnuSortD")->trigger();
    shown = rows();
    for (int i = 1; i < shown.size(); ++i) QVERIFY(column(shown[i], 7) >= column(shown[i - 1], 7));
    // The threshold thins the table too, and the status bar says how much.
    w->findChild<QDoubleSpinBox*>(QStringLiteral("sbMinI"))->setValue(10.0);
    shown = rows();
    QVERIFY(shown.size() > 0 && static_cast<std::size_t>(shown.size()) < total);
    for (const QString& row : shown) QVERIFY(row.right(10).trimmed().toDouble() >= 10.0);
    QCOMPARE(w->statusText(1), QStringLiteral("%1 of %2 shown").arg(shown.size()).arg(total));
    Action(w.get(), "mnuSortI")->trigger();
    shown = rows();
    QCOMPARE(shown.first().right(10).trimmed().toDouble(), 100.0);
    // A saved report keeps every row in run order.
    nextSavePath_ = folder_->filePath(QStringLiteral("all.hkl"));
    w->saveTable();
    QFile saved(nextSavePath_);
    QVERIFY(saved.open(QIODevice::ReadOnly));
    const QList<QByteArray> lines = saved.readAll().split('\n');
    QCOMPARE(static_cast<std::size_t>(lines.size()), 7 + total + 1);
    QCOMPARE(lines[3].trimmed(), QByteArray("I from the structure model penrose"));
    QVERIFY(lines[7].trimmed().startsWith("1 "));
    QVERIFY(lines[8].trimmed().startsWith("2 "));
    w->findChild<QDoubleSpinBox*>(QStringLiteral("sbMinI"))->setValue(0.0);
    QCOMPARE(w->statusText(1), QStringLiteral("%1 reflections").arg(total));
  }

  void cleanup() { folder_.reset(); }
};

QTEST_MAIN(MainWindowNewcomerTest)
#include "main_window_newcomer_test.moc"
