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
#include <cmath>
#include <map>
#include <memory>
#include <numbers>
#include <stdexcept>

#include "ui/dialogs.hpp"
#include "test_sandbox.hpp"
#include "app/main_window.hpp"
#include "app/parameter_panel.hpp"
#include "intensity/published_scattering.hpp"
#include "plots/plot_box.hpp"
#include "plots/plot_controller.hpp"
#include "powder/powder_lines.hpp"
#include "powder/powder_window.hpp"
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

  // The Model menu's radiation against values typed in from the published
  // tables: neutrons scale a one-site model's |F| by the scattering length
  // (Sears, Neutron News 3 (1992) 29), electrons follow the International
  // Tables 4.3.2.2 fit, and the run's wavelength is the voltage's.
  void radiationFromTheModelMenu() {
    auto w = makeWindow();
    QVERIFY(action(w.get(), "mnuRadiation_xray")->isChecked());
    auto* voltage = w->findChild<QDoubleSpinBox*>(QStringLiteral("mainVoltage"));
    QVERIFY(voltage && !voltage->isEnabled());
    w->parameters()->chooseSystem(0);  // octagonal
    // |F| by index vector, and d, of a one-site model of one element.
    auto amplitudes = [&](const char* element) {
      const QString path = QDir(folder_->path()).filePath(QStringLiteral("%1.qcm").arg(QLatin1String(element)));
      QFile file(path);
      if (!file.open(QIODevice::WriteOnly)) qFatal("model not written");
      file.write(QByteArray("system octagonal\nsetting steurer\nV ") + element + " 1 0 0 0 0 0 polygon:8:22.5 1.3066 0 0\n");
      file.close();
      if (!w->chooseModel(path)) qFatal("model not taken");
      run(w.get());
      std::map<std::array<float, 6>, std::pair<double, double>> out;
      if (!w->intensities()) return out;
      for (std::size_t i = 0; i < w->result()->records.size(); ++i)
        out[w->result()->records[i].h] = {w->result()->records[i].d, w->intensities()->fAbs[i]};
      return out;
    };
    const auto xrayFe = amplitudes("Fe");
    const std::string typedWavelength = w->parameters()->texts().wavelength;
    const QString classicHeader = w->table()->text().section(QLatin1Char('\n'), 0, 3);
    QVERIFY(!classicHeader.contains(QStringLiteral("x-ray")));

    action(w.get(), "mnuRadiation_neutron")->trigger();
    QVERIFY(!voltage->isEnabled());
    const auto fe = amplitudes("Fe");
    QVERIFY(w->table()->text().section(QLatin1Char('\n'), 0, 3).contains(QStringLiteral(", neutron")));
    const auto al = amplitudes("Al");
    QVERIFY(al.size() > 100 && fe.size() == al.size() && xrayFe.size() == al.size());
    int compared = 0;
    double fallMin = 1e9, fallMax = 0.0;
    for (const auto& [h, dAndF] : al) {
      if (dAndF.second < 1e-9) continue;  // vanishes by symmetry
      QVERIFY(std::abs(fe.at(h).second / dAndF.second - testing::kNeutronLengthFe / testing::kNeutronLengthAl) < 1e-9);
      fallMin = std::min(fallMin, xrayFe.at(h).second / fe.at(h).second);
      fallMax = std::max(fallMax, xrayFe.at(h).second / fe.at(h).second);
      ++compared;
    }
    QVERIFY(compared > 100);
    QVERIFY(fallMax > 1.5 * fallMin);  // X-rays fall off with s, neutrons do not

    action(w.get(), "mnuRadiation_electron")->trigger();
    QVERIFY(voltage->isEnabled());
    voltage->setValue(300);
    // At 0.02 A the reflections lie below 2.5 degrees.
    w->findChild<QLineEdit*>(QStringLiteral("tfTH1"))->setText(QStringLiteral("0.05"));
    w->findChild<QLineEdit*>(QStringLiteral("tfTH2"))->setText(QStringLiteral("2.5"));
    const auto eFe = amplitudes("Fe");
    const auto eAl = amplitudes("Al");
    QVERIFY(eAl.size() > 100 && eFe.size() == eAl.size());
    compared = 0;
    for (const auto& [h, dAndF] : eAl) {
      const double s = 0.5 / dAndF.first;
      if (dAndF.second < 1e-9 || s > 2.0) continue;
      const double expected = testing::kElectronFe(s) / testing::kElectronAl(s);
      QVERIFY2(std::abs(eFe.at(h).second / dAndF.second - expected) < 2e-4 * expected, qPrintable(QString::number(s)));
      ++compared;
    }
    QVERIFY(compared > 100);
    // hc / sqrt(E (E + 2 m c^2)) at 300 kV, in the report's header.
    const QString header = w->table()->text().section(QLatin1Char('\n'), 0, 3);
    QVERIFY2(header.contains(QStringLiteral("electron 300 kV")), qPrintable(header));
    const qsizetype at = header.indexOf(QStringLiteral("wavelength = "));
    QVERIFY(at >= 0);
    const double lambda = 12.398419843 / std::sqrt(300.0 * (300.0 + 2.0 * 510.99895));
    QVERIFY(std::abs(header.mid(at + 13).section(QLatin1Char(','), 0, 0).toDouble() - lambda) < 1e-9);
    QCOMPARE(w->parameters()->texts().wavelength, typedWavelength);  // the field is left as typed
  }

  // The powder window's lines: X-rays m L P, neutrons m L, so their ratio is
  // P = (1 + cos^2 2theta) / 2 up to one constant (no monochromator).
  void thePowderWindowTakesTheRadiation() {
    auto w = makeWindow();
    run(w.get());
    w->showPowderWindow();
    auto* powder = w->findChild<PowderWindow*>();
    if (!powder) {
      for (QWidget* top : QApplication::topLevelWidgets())
        if (auto* found = qobject_cast<PowderWindow*>(top)) powder = found;
    }
    QVERIFY(powder);
    QTRY_VERIFY(powder->lines() && !powder->busy());
    const std::shared_ptr<const PowderLines> xray = powder->lines();
    action(w.get(), "mnuRadiation_neutron")->trigger();
    run(w.get());
    QTRY_VERIFY(powder->lines() != xray && !powder->busy());
    const std::shared_ptr<const PowderLines> neutron = powder->lines();
    QVERIFY(xray->lines.size() > 20 && neutron->lines.size() == xray->lines.size());
    std::vector<double> constant;
    for (std::size_t i = 0; i < xray->lines.size(); ++i) {
      const double c2 = std::cos(xray->lines[i].twoTheta * std::numbers::pi / 180.0);
      constant.push_back(xray->lines[i].intensity / neutron->lines[i].intensity / ((1.0 + c2 * c2) / 2.0));
    }
    for (double c : constant) QVERIFY(std::abs(c - constant.front()) < 1e-9 * constant.front());
    powder->close();
  }

  void cleanup() {
    Dialogs() = DialogHooks{};
    folder_.reset();
  }
};

QTEST_MAIN(StructureModelWindowTest)
#include "structure_model_window_test.moc"
