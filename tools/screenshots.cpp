// Makes the pictures of the documentation: the main window after runs of the
// start-up inputs and of the icosahedral system, the large 3D view, the
// tiling window on each of its tabs, the help and text viewers, the powder
// window with a measured pattern, and the Structure Refinement window with the
// worked example of docs/examples (the folder of the pattern).
// Usage: lumora-screenshots OUTPUT_FOLDER [MEASURED_PATTERN]
#include <QAction>
#include <QCheckBox>
#include <QComboBox>
#include <QLineEdit>
#include <QApplication>
#include <QDir>
#include <QFile>
#include <QTabBar>
#include <QTemporaryDir>
#include <QThread>
#include <QTimer>

#include "app/main_window.hpp"
#include "app/parameter_panel.hpp"
#include "powder/powder_window.hpp"
#include "refine/parameter_table_panel.hpp"
#include "refine/refinement_window.hpp"
#include <QFileInfo>
#include <QTabWidget>
#include "plots/plot_controller.hpp"
#include "tiling/tiling_window.hpp"
#include "ui/dialogs.hpp"
#include "ui/help_viewer.hpp"
#include "ui/text_viewer.hpp"

namespace {

void Settle() {
  for (int i = 0; i < 20; ++i) QApplication::processEvents();
}

bool Save(QWidget* window, const QString& folder, const QString& name) {
  Settle();
  return window->grab().save(QDir(folder).filePath(name));
}

// The tiling window at its start-up tiling, one picture per tab, each once
// its workers are done.
bool SaveTilingTabs(const lumora::AppPaths& paths, const QString& folder) {
  using lumora::TilingWindow;
  TilingWindow tiling(paths);
  tiling.show();
  auto idle = [&] { return tiling.tiling() && !tiling.isGenerating() && !tiling.isAnalysing() && !tiling.isComputingPeaks(); };
  auto waitIdle = [&] {
    for (int i = 0; i < 6000 && !idle(); ++i) {
      QApplication::processEvents();
      QThread::msleep(5);
    }
    return idle();
  };
  auto* tabs = tiling.findChild<QTabBar*>(QStringLiteral("tab1"));
  if (!tabs || !waitIdle()) return false;
  const char* names[] = {"tiling", "vertices", "list", "ft", "diffraction", "internal", "statistics"};
  bool ok = true;
  for (int tab = TilingWindow::TilingTab; tab <= TilingWindow::StatisticsTab; ++tab) {
    tabs->setCurrentIndex(tab);
    ok = waitIdle() && Save(&tiling, folder, QStringLiteral("tiling-%1.png").arg(QString::fromLatin1(names[tab]))) && ok;
  }
  return ok;
}

}  // namespace

int main(int argc, char** argv) {
  QApplication app(argc, argv);
  if (argc < 2) return 2;
  const QString out = QString::fromLocal8Bit(argv[1]);
  QDir().mkpath(out);
  QTemporaryDir programFolder;
  qputenv("TMP", programFolder.path().toLocal8Bit());

  lumora::MainWindow window{lumora::AppPaths(programFolder.path())};
  window.resize(1180, 800);
  window.show();
  Settle();
  window.executeCalculation();
  window.waitForRun();
  bool ok = Save(&window, out, QStringLiteral("main-decagonal.png"));

  window.plots()->toggleBigView(true);
  ok = Save(&window, out, QStringLiteral("large-view-3d.png")) && ok;
  window.plots()->closeBigView();

  window.parameters()->chooseSystem(3);
  window.executeCalculation();
  window.waitForRun();
  ok = Save(&window, out, QStringLiteral("main-icosahedral.png")) && ok;

  // The Penrose model with spot areas by intensity: the decagonal zero layer.
  window.parameters()->chooseSystem(1);
  lumora::ParameterTexts texts = window.parameters()->texts();
  texts.loops = {"5", "5", "5", "5", "1", "0"};
  texts.qiMax = "2.5";
  texts.thetaMax = "35";
  window.parameters()->setTexts(texts);
  ok = window.chooseModel(QStringLiteral("penrose")) && ok;
  window.plots()->toggleOption(lumora::ViewFlag::AreaByIntensity);
  window.executeCalculation();
  window.waitForRun();
  ok = Save(&window, out, QStringLiteral("main-penrose-intensities.png")) && ok;
  window.chooseModel(QString());

  ok = SaveTilingTabs(lumora::AppPaths(programFolder.path()), out) && ok;

  // The viewers a desktop without a browser or editor gets.
  lumora::HelpViewer* help = lumora::ShowHelp(&window, QStringLiteral(LUMORA_HELP_FILE), QStringLiteral("plots"));
  ok = Save(help, out, QStringLiteral("help-viewer.png")) && ok;
  help->close();
  lumora::Dialogs().hasHandler = [](const QString&) { return false; };
  const QString report = programFolder.filePath(QStringLiteral("report.hkl"));
  QFile reportFile(report);
  if (reportFile.open(QIODevice::WriteOnly)) {
    reportFile.write("LUMORA REPORT - an example file for the text viewer\r\n  1   1  0  0  0  0   5.123\r\n");
    reportFile.close();
  }
  if (lumora::TextViewer* viewer = lumora::OpenInTextEditor(&window, report)) {
    ok = Save(viewer, out, QStringLiteral("text-viewer.png")) && ok;
    viewer->close();
  }

  // The powder window with a measured pattern indexed (the file given second):
  // the Penrose model, Cu, and a and c typed a percent off.
  if (argc >= 3) {
    window.parameters()->setTexts(lumora::StartupParameters());
    window.parameters()->chooseAnode(1);
    texts = window.parameters()->texts();
    texts.a = "2.80";
    texts.c = "12.0";
    texts.loops = {"4", "4", "4", "4", "4", "0"};
    texts.thetaMin = "5";
    texts.thetaMax = "40";
    window.parameters()->setTexts(texts);
    ok = window.chooseModel(QStringLiteral("penrose")) && ok;
    window.executeCalculation();
    window.waitForRun();
    window.findChild<QAction*>(QStringLiteral("mnuView12"))->trigger();
    lumora::PowderWindow* powder = nullptr;
    for (QWidget* top : QApplication::topLevelWidgets())
      if (auto* found = qobject_cast<lumora::PowderWindow*>(top)) powder = found;
    if (!powder) return 1;
    powder->resize(1280, 860);
    powder->show();
    powder->waitForIdle();
    powder->findChild<QLineEdit*>(QStringLiteral("tfW"))->setText(QStringLiteral("0.003"));
    powder->findChild<QCheckBox*>(QStringLiteral("chkDoublet"))->setChecked(true);
    ok = powder->openMeasured(QString::fromLocal8Bit(argv[2])) && ok;
    powder->waitForIdle();
    powder->refine();
    powder->waitForIdle();
    ok = powder->refinement().has_value() && ok;
    // Use Refined Constants: the main window runs again and the pattern follows.
    powder->useRefined();
    window.waitForRun();
    powder->waitForIdle();
    powder->refine();
    powder->waitForIdle();
    ok = Save(powder, out, QStringLiteral("powder-window.png")) && ok;

    // The worked example: decagonal_start.model refined against
    // decagonal_reflections.hkl on its run (Mo, a = 2.82 A, c = 4.1 A).
    const QDir examples = QFileInfo(QString::fromLocal8Bit(argv[2])).dir();
    window.chooseModel(QString());
    window.parameters()->setTexts(lumora::StartupParameters());
    texts = window.parameters()->texts();
    texts.c = "4.1";
    window.parameters()->setTexts(texts);
    window.executeCalculation();
    window.waitForRun();
    window.findChild<QAction*>(QStringLiteral("mnuView14"))->trigger();
    lumora::RefinementWindow* refinement = nullptr;
    for (QWidget* top : QApplication::topLevelWidgets())
      if (auto* found = qobject_cast<lumora::RefinementWindow*>(top)) refinement = found;
    if (!refinement) return 1;
    refinement->resize(1320, 820);
    ok = refinement->openModel(examples.filePath(QStringLiteral("decagonal_start.model"))) && ok;
    ok = refinement->openReflections(examples.filePath(QStringLiteral("decagonal_reflections.hkl"))) && ok;
    lumora::ParameterTablePanel* table = refinement->parameters();
    table->setRefined("extinction", true);
    for (const char* kind : {"occupancy", "b_par", "b_perp"}) table->setRefined(std::string(kind) + ":P1", true);
    table->setEqualTo("occupancy:P1", "occupancy:P4");
    table->setEqualTo("b_par:P1", "b_par:*");
    table->setEqualTo("b_perp:P1", "b_perp:P4");
    table->setRefined("b_perp:P2", true);
    table->setEqualTo("b_perp:P2", "b_perp:P3");
    table->setRefined("size:P2", true);
    table->setEqualTo("size:P2", "size:P3");
    ok = refinement->refine() && ok;
    refinement->waitForIdle();
    ok = refinement->outcome() && refinement->outcome()->status == lumora::RefinementStatus::Refined && ok;
    ok = Save(refinement, out, QStringLiteral("refinement-window.png")) && ok;
    auto* tabs = refinement->findChild<QTabWidget*>(QStringLiteral("tabsRefine"));
    tabs->setCurrentIndex(tabs->count() - 1);
    refinement->findChild<QComboBox*>(QStringLiteral("cmbMapSite"))->setCurrentIndex(1);
    refinement->waitForIdle();
    ok = Save(refinement, out, QStringLiteral("refinement-map.png")) && ok;
  }
  return ok ? 0 : 1;
}
