// Structure models in the main window: the Model menu, its own settings file,
// the "I" column, the intensity view options and threshold.
#include <QAction>
#include <QApplication>
#include <QClipboard>
#include <QDoubleSpinBox>
#include <QFile>
#include <QLineEdit>
#include <QSettings>
#include <QTemporaryDir>
#include <QtTest>
#include <memory>
#include <stdexcept>

#include "ui/dialogs.hpp"
#include "test_sandbox.hpp"
#include "app/main_window.hpp"
#include "app/parameter_panel.hpp"
#include "plots/plot_box.hpp"
#include "plots/plot_controller.hpp"
#include "report/reflection_table_pane.hpp"

using namespace lumora;

class StructureModelWindowTest : public QObject {
  Q_OBJECT

 private:
  std::unique_ptr<QTemporaryDir> folder_;
  QStringList messages_;
  QString nextOpenPath_;

  std::unique_ptr<MainWindow> makeWindow() {
    auto window = std::make_unique<MainWindow>(AppPaths(folder_->path()));
    window->show();
    return window;
  }
  static QAction* action(QWidget* w, const char* name) {
    auto* found = w->findChild<QAction*>(QString::fromLatin1(name));
    if (!found) qFatal("no action %s", name);
    return found;
  }
  static void run(MainWindow* w) {
    w->executeCalculation();
    w->waitForRun();
  }
  // Pixels of the picture that are not the background.
  static int Painted(const QImage& picture) {
    int n = 0;
    for (int y = 0; y < picture.height(); ++y)
      for (int x = 0; x < picture.width(); ++x) n += picture.pixel(x, y) != picture.pixel(0, 0);
    return n;
  }

 private slots:
  void init() {
    folder_ = testing::MakeScratchFolder();
    testing::RecordMessages(messages_);
    Dialogs().openFileName = [this](QWidget*, const QString&, const QString&, const QString&) { return nextOpenPath_; };
    Dialogs().openUrl = [](const QUrl&) { return true; };
    Dialogs().confirm = [](QWidget*, const QString&, bool&) { return true; };
  }

  void withoutAModelNothingChanges() {
    auto w = makeWindow();
    QVERIFY(action(w.get(), "mnuModelNone")->isChecked());
    QVERIFY(!action(w.get(), "mnuModelSave")->isEnabled());
    run(w.get());
    QVERIFY(w->calculated());
    QVERIFY(!w->table()->text().contains(QStringLiteral("         I")));
    QVERIFY(!w->findChild<QDoubleSpinBox*>(QStringLiteral("sbMinI"))->isEnabled());
  }

  void penroseGivesIntensitiesInTableAndPlots() {
    auto w = makeWindow();
    action(w.get(), "mnuModel_penrose")->trigger();
    QVERIFY(action(w.get(), "mnuModel_penrose")->isChecked());
    QVERIFY(action(w.get(), "mnuModelSave")->isEnabled());
    run(w.get());
    QVERIFY(w->calculated());
    const QStringList lines = w->table()->text().split(QLatin1Char('\n'));
    QVERIFY(lines[5].endsWith(QStringLiteral("         I")));
    QCOMPARE(lines[7].size(), lines[5].size());
    // The strongest reflection reads 100; every value lies in 0..100.
    double strongest = 0.0;
    for (int i = 7; i < lines.size(); ++i) {
      const double value = lines[i].right(10).trimmed().toDouble();
      QVERIFY(value >= 0.0 && value <= 100.0);
      strongest = std::max(strongest, value);
    }
    QCOMPARE(strongest, 100.0);
    // The column item hides it; the clipboard table carries it too.
    action(w.get(), "mnuTable7")->trigger();
    QVERIFY(!w->table()->text().split(QLatin1Char('\n'))[5].endsWith(QStringLiteral("I")));
    action(w.get(), "mnuTable7")->trigger();
    w->copyTable();
    QCOMPARE(QApplication::clipboard()->text().split(QStringLiteral("\r\n")).first().count(QLatin1Char('\t')), 14);

    // Spot areas by intensity: far fewer pixels than the 1/qi rule's spots,
    // and a threshold of 10 % leaves fewer still.
    PlotBox* flat = w->plots()->box2D();
    const int byQi = Painted(flat->picture());
    action(w.get(), "mnuView10")->trigger();
    QVERIFY(!action(w.get(), "mnuView4")->isChecked());
    const int byIntensity = Painted(flat->picture());
    QVERIFY(byIntensity > 0);
    QVERIFY(byIntensity != byQi);
    auto* threshold = w->findChild<QDoubleSpinBox*>(QStringLiteral("sbMinI"));
    QVERIFY(threshold->isEnabled());
    threshold->setValue(10.0);  // the zero layer's strongest reach 17 %
    const int strongOnly = Painted(flat->picture());
    QVERIFY(strongOnly > 0);
    QVERIFY(strongOnly < byIntensity);
    action(w.get(), "mnuView11")->trigger();
    QVERIFY(Painted(flat->picture()) > 0);
  }

  void theChoiceHasASettingsFileOfItsOwn() {
    {
      auto w = makeWindow();
      action(w.get(), "mnuModel_penrose")->trigger();
      w->close();
    }
    QFile own(folder_->filePath(QStringLiteral("LumoraModel.cfg")));
    QVERIFY(own.open(QIODevice::ReadOnly));
    QCOMPARE(own.readAll().trimmed(), QByteArray("penrose"));
    QFile settings(folder_->filePath(QStringLiteral("Lumora.cfg")));
    QVERIFY(settings.open(QIODevice::ReadOnly));
    QVERIFY(!settings.readAll().contains("penrose"));
    auto w = makeWindow();
    QVERIFY(action(w.get(), "mnuModel_penrose")->isChecked());
  }

  void modelsThatDoNotFitAreSaidSo() {
    auto w = makeWindow();
    action(w.get(), "mnuModel_ammann-kramer")->trigger();
    run(w.get());  // the start-up inputs are decagonal
    QVERIFY(w->calculated());
    QVERIFY(w->statusText(4).contains(QStringLiteral("no intensities")));
    QVERIFY(!w->table()->text().contains(QStringLiteral("         I")));

    // A model file with an error names its line and field and is not used.
    const QString bad = folder_->filePath(QStringLiteral("bad.qcm"));
    QFile file(bad);
    QVERIFY(file.open(QIODevice::WriteOnly));
    file.write("decagonal yamamoto\nAl1 Al abc 0 0 0 0 0 disk 0.5 0 0\n");
    file.close();
    nextOpenPath_ = bad;
    messages_.clear();
    action(w.get(), "mnuModelFile")->trigger();
    QCOMPARE(messages_.size(), 1);
    QVERIFY2(messages_[0].contains(QStringLiteral("line ")), qPrintable(messages_[0]));
    QVERIFY(action(w.get(), "mnuModel_ammann-kramer")->isChecked());
  }

  // A stage that throws on the worker: a message naming what failed, the
  // window stays up and can run again.
  void aThrowingStageLeavesTheWindowUp() {
    auto w = makeWindow();
    action(w.get(), "mnuModel_penrose")->trigger();
    for (const RunStage failing : {RunStage::Calculating, RunStage::Intensities, RunStage::Drawing}) {
      w->runner().setStageObserver([failing](RunStage stage) {
        if (stage == failing) throw std::runtime_error("injected \x1b[2J failure");
      });
      messages_.clear();
      run(w.get());
      QCOMPARE(messages_.size(), 1);
      QVERIFY2(messages_[0].contains(QStringLiteral("injected \\x1B[2J failure")), qPrintable(messages_[0]));
      // A failed model stage costs only the intensities and names the model.
      if (failing == RunStage::Calculating) QVERIFY(!w->calculated());
      if (failing == RunStage::Intensities) {
        QVERIFY(w->calculated());
        QVERIFY(messages_[0].contains(QStringLiteral("penrose")));
      }
      QVERIFY(w->isVisible());
      QVERIFY(w->findChild<QAction*>(QStringLiteral("mnuRun"))->isEnabled());
    }
    w->runner().setStageObserver({});
    messages_.clear();
    run(w.get());
    QVERIFY(w->calculated());
    QVERIFY(messages_.isEmpty());
  }

  // Penrose on a = 1e300 cannot place its domains: said at Run, and at the
  // next start the model is taken only when the user says yes.
  void aRememberedModelThatFailedIsOfferedNotTaken() {
    {
      auto w = makeWindow();
      action(w.get(), "mnuModel_penrose")->trigger();
      w->findChild<QLineEdit*>(QStringLiteral("tfA"))->setText(QStringLiteral("1e300"));
      messages_.clear();
      run(w.get());
      QVERIFY(w->isVisible());
      QCOMPARE(messages_.size(), 1);
      QVERIFY2(messages_[0].contains(QStringLiteral("penrose")), qPrintable(messages_[0]));
      w->findChild<QLineEdit*>(QStringLiteral("tfA"))->setText(QStringLiteral("2.82"));
      w->close();
    }
    QFile remembered(folder_->filePath(QStringLiteral("LumoraModel.cfg")));
    QVERIFY(remembered.open(QIODevice::ReadOnly));
    const QByteArray failed = remembered.readAll();
    remembered.close();
    for (const bool yes : {false, true}) {
      QVERIFY(remembered.open(QIODevice::WriteOnly | QIODevice::Truncate));
      remembered.write(failed);
      remembered.close();
      QStringList questions;
      Dialogs().question = [&questions, yes](QWidget*, const QString&, const QString& text) {
        questions << text;
        return yes;
      };
      auto w = makeWindow();
      QCOMPARE(questions.size(), 1);
      QVERIFY2(questions[0].contains(QStringLiteral("penrose")), qPrintable(questions[0]));
      QCOMPARE(action(w.get(), "mnuModel_penrose")->isChecked(), yes);
      QCOMPARE(action(w.get(), "mnuModelNone")->isChecked(), !yes);
      w->close();
    }
    // Said yes: the choice is plain again and asks no more.
    QStringList questions;
    Dialogs().question = [&questions](QWidget*, const QString& text, const QString&) {
      questions << text;
      return false;
    };
    auto w = makeWindow();
    QVERIFY(questions.isEmpty());
    QVERIFY(action(w.get(), "mnuModel_penrose")->isChecked());
  }

  // 64 KiB of junk in LumoraModel.cfg: one warning a screen can show.
  void aJunkModelChoiceGivesAShortWarning() {
    QFile junk(folder_->filePath(QStringLiteral("LumoraModel.cfg")));
    QVERIFY(junk.open(QIODevice::WriteOnly));
    QByteArray bytes;
    // One line: control characters, bytes that are not UTF-8, CRs, no LF.
    for (int i = 0; i < 65000; ++i) {
      const char c = static_cast<char>(i % 97 == 96 ? '\r' : 1 + (i * 37) % 254);
      bytes += c == '\n' ? 'n' : c;
    }
    junk.write(bytes);
    junk.close();
    messages_.clear();
    auto w = makeWindow();
    QCOMPARE(messages_.size(), 1);
    QVERIFY2(messages_[0].size() < 600, qPrintable(messages_[0]));
    QVERIFY(!messages_[0].contains(QLatin1Char('\x1b')));
    QVERIFY(action(w.get(), "mnuModelNone")->isChecked());
  }

  void cleanup() {
    Dialogs() = DialogHooks{};
    folder_.reset();
  }
};

QTEST_MAIN(StructureModelWindowTest)
#include "structure_model_window_test.moc"
