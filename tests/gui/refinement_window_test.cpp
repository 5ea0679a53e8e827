// The Structure Refinement window as a user drives it: opened from the main
// window, a model and reflections opened, parameters ticked, refined off the
// window's thread, the verdict, figures, table, pictures and map shown, the
// refined values taken as the next start, the refined model saved; a refusal
// leaves nothing to use or save; the data stay put while it runs; Esc
// cancels; a powder pattern's fit reaches the powder window with its
// difference.
#include <QAction>
#include <QCheckBox>
#include <QMenu>
#include <QSpinBox>
#include <QLabel>
#include <QPushButton>
#include <QtTest>
#include <fstream>
#include <memory>

#include "app/main_window.hpp"
#include "intensity/model_file.hpp"
#include "intensity/published_scattering.hpp"
#include "intensity/structure_factor.hpp"
#include "powder/powder_window.hpp"
#include "refine/parameter_table_panel.hpp"
#include "refine/refinement_window.hpp"
#include "refine/synthetic_data.hpp"
#include "test_sandbox.hpp"

using namespace lumora;

namespace {

constexpr const char* kTruth =
    "name truth\nsystem decagonal\nsetting yamamoto\n"
    "P1 Al 0.8 0.2 0.2 0.2 0.2 0 polygon:5:0 1 0.7 1.5\n"
    "P2 Al 1 0.4 0.4 0.4 0.4 0 polygon:5:180 1.618034 0.7 1.5\n"
    "P3 Al 1 0.6 0.6 0.6 0.6 0 polygon:5:0 1.618034 0.7 1.5\n"
    "P4 Al 0.8 0.8 0.8 0.8 0.8 0 polygon:5:180 1 0.7 1.5\n";

}  // namespace

class RefinementWindowTest : public QObject {
  Q_OBJECT

 private:
  std::unique_ptr<QTemporaryDir> folder_;
  QStringList messages_;
  QString nextSavePath_;

  QString path(const QString& name) const { return QDir(folder_->path()).filePath(name); }

  // Exact data of the true model on the main window's default run (Mo, a = 2.82 A, c = 12.06 A).
  void writeData() {
    CalculationInputs in;
    in.system = CrystalSystem::Decagonal;
    in.groupIndex = FindGroup("P10.5/mmc")->listIndex;
    in.yamamoto = true;
    in.a = 2.82;
    in.c = 12.06;
    in.wavelength = 0.7106867;
    in.thetaLow = 2.0;
    in.thetaHigh = 25.0;
    in.qiLimit = 1.5;
    in.loopLimits.fill(3);
    const auto data = testing::MakeSyntheticData(std::get<StructureModel>(ParseModel(kTruth)), in, 30.0, 0.0, 0);
    std::ofstream out(path(QStringLiteral("data.hkl")).toStdString());
    for (const Observation& o : data.observations) {
      for (int i = 0; i < 5; ++i) out << o.h[static_cast<std::size_t>(i)] << ' ';
      out << o.intensity << ' ' << o.sigma << '\n';
    }
    StructureModel start = std::get<StructureModel>(ParseModel(kTruth));
    for (Site& s : start.sites) s.bPar = s.bPerp = 0.0;
    start.sites[0].occupancy = start.sites[3].occupancy = 1.0;
    QVERIFY(SaveModel(path(QStringLiteral("start.model")).toStdString(), start).ok);
  }

  static RefinementWindow* openRefinement(MainWindow& main) {
    // Opened as a user does, from the View menu.
    const auto* view = main.findChild<QMenu*>(QStringLiteral("mnuView"));
    for (QAction* action : view->actions())
      if (action->objectName() == QLatin1String("mnuView14")) action->trigger();
    for (QWidget* top : QApplication::topLevelWidgets())
      if (auto* window = qobject_cast<RefinementWindow*>(top)) return window;
    return nullptr;
  }

 private slots:
  void init() {
    folder_ = testing::MakeScratchFolder();
    messages_.clear();
    testing::RecordMessages(messages_);
    Dialogs().saveFileName = [this](QWidget*, const QString&, const QString&, const QString&) { return nextSavePath_; };
  }

  void refinesExactDataAndSavesTheModel() {
    writeData();
    MainWindow main(AppPaths(folder_->path()));
    main.show();
    main.executeCalculation();
    main.waitForRun();
    RefinementWindow* window = openRefinement(main);
    QVERIFY(window);
    QVERIFY(window->openModel(path(QStringLiteral("start.model"))));
    QVERIFY(window->openReflections(path(QStringLiteral("data.hkl"))));
    ParameterTablePanel* table = window->parameters();
    table->setRefined("occupancy:P1", true);
    table->setEqualTo("occupancy:P1", "occupancy:P4");
    table->setRefined("b_par:P1", true);
    table->setEqualTo("b_par:P1", "b_par:*");
    table->setRefined("b_perp:P1", true);
    table->setEqualTo("b_perp:P1", "b_perp:*");
    QVERIFY(window->refine());
    window->waitForIdle();
    QVERIFY2(window->outcome() && window->outcome()->status == RefinementStatus::Refined,
             qPrintable(window->reportText()));
    for (const RefinedValue& p : window->outcome()->parameters) {
      const double expected = p.name == "scale" ? 30.0 : p.name.rfind("occupancy", 0) == 0 ? 0.8
                              : p.name.rfind("b_par", 0) == 0                            ? 0.7
                                                                                         : 1.5;
      QVERIFY2(std::fabs(p.value - expected) < 1e-4 * expected, p.name.c_str());
    }
    QVERIFY(window->reportText().contains(QStringLiteral("LUMORA STRUCTURE REFINEMENT")));
    QVERIFY(window->findChild<QLabel*>(QStringLiteral("lblRefineStatus"))->text().startsWith(QStringLiteral("R1 = ")));
    QVERIFY(window->findChild<QLabel*>(QStringLiteral("lblVerdict"))->text().startsWith(QStringLiteral("Refined: R1 = 0.0000")));
    // Use Refined Values: the next start is the refined model (each member of an equality).
    auto* use = window->findChild<QPushButton*>(QStringLiteral("btUseResult"));
    QVERIFY(use->isEnabled());
    use->click();
    std::string problem;
    const StructureModel start = std::get<StructureModel>(FindModel(path(QStringLiteral("start.model")).toStdString()));
    const auto next = table->startState(ModelState{start, 1.0, 0.0, {}}, &problem);
    QVERIFY2(next, problem.c_str());
    QVERIFY(std::fabs(next->scale - 30.0) < 1e-3);
    for (const std::size_t i : {0u, 3u}) QVERIFY(std::fabs(next->model.sites[i].occupancy - 0.8) < 1e-4);
    for (const Site& site : next->model.sites) QVERIFY(std::fabs(site.bPerp - 1.5) < 1e-3);
    QCOMPARE(next->model.sites[1].occupancy, 1.0);  // not refined: as it started
    // The map through P2 follows the refinement.
    QVERIFY(!window->maps().empty());
    QCOMPARE(window->maps().front().site, std::string("P1"));  // the first site until another is chosen
    nextSavePath_ = path(QStringLiteral("out.model"));
    window->findChild<QAction*>(QStringLiteral("mnuRefineSaveModel"))->trigger();
    std::ifstream saved(nextSavePath_.toStdString());
    std::string text((std::istreambuf_iterator<char>(saved)), std::istreambuf_iterator<char>());
    const auto model = ParseModel(text);
    QVERIFY(std::holds_alternative<StructureModel>(model));
    QVERIFY(std::fabs(std::get<StructureModel>(model).sites[0].occupancy - 0.8) < 1e-5);
    nextSavePath_ = path(QStringLiteral("fofc.svg"));
    window->findChild<QAction*>(QStringLiteral("mnuRefineSavePicture"))->trigger();
    QVERIFY(QFileInfo(nextSavePath_).size() > 1000);
    QVERIFY2(messages_.isEmpty(), qPrintable(messages_.join(QLatin1Char('\n'))));
  }

  // Neutron intensities |F_Fe|^2 of a one-site Fe model, refined with the
  // same site as Al: with the main window's radiation (Model > Radiation >
  // Neutron) the scale alone fits them exactly at (b_Fe/b_Al)^2, the ratio of
  // the published lengths.
  void takesTheMainWindowsRadiation() {
    const std::string site = " 1 0 0 0 0 0 polygon:5:0 1.2 0 0\n";
    const StructureModel fe =
        std::get<StructureModel>(ParseModel("name fe\nsystem decagonal\nsetting yamamoto\nV Fe" + site));
    QVERIFY(SaveModel(path(QStringLiteral("al.model")).toStdString(),
                      std::get<StructureModel>(ParseModel("name al\nsystem decagonal\nsetting yamamoto\nV Al" + site)))
                .ok);
    MainWindow main(AppPaths(folder_->path()));
    main.show();
    main.findChild<QAction*>(QStringLiteral("mnuRadiation_neutron"))->trigger();
    main.executeCalculation();
    main.waitForRun();
    const CalculationResult* run = main.result();
    QVERIFY(run);
    const ResolvedModel resolved = std::get<ResolvedModel>(ResolveModel(fe, run->lattice));
    {
      std::ofstream out(path(QStringLiteral("fe.hkl")).toStdString());
      out.precision(17);
      for (const ReflectionRecord& r : run->records) {
        std::array<int, 6> h{};
        for (std::size_t k = 0; k < 6; ++k) h[k] = static_cast<int>(std::lround(r.h[k]));
        const double i = std::norm(StructureFactor(resolved, run->lattice, h, NeutronRadiation(1.0)));
        if (i < 1e-12) continue;
        for (std::size_t k = 0; k < 5; ++k) out << h[k] << ' ';
        out << i << ' ' << 0.01 * i << '\n';
      }
    }
    RefinementWindow* window = openRefinement(main);
    QVERIFY(window);
    QVERIFY(window->openModel(path(QStringLiteral("al.model"))));
    QVERIFY(window->openReflections(path(QStringLiteral("fe.hkl"))));
    QVERIFY(window->refine());
    window->waitForIdle();
    QVERIFY2(window->outcome() && window->outcome()->status == RefinementStatus::Refined,
             qPrintable(window->reportText()));
    const double ratio = testing::kNeutronLengthFe / testing::kNeutronLengthAl;
    QCOMPARE(window->outcome()->parameters.front().name, std::string("scale"));
    QVERIFY2(std::fabs(window->outcome()->parameters.front().value - ratio * ratio) < 1e-6 * ratio * ratio,
             qPrintable(window->reportText()));
    QVERIFY(window->outcome()->r1 < 1e-6);
    QVERIFY(window->reportText().contains(QStringLiteral("fe.hkl, neutron\n")));
  }

  void aRefusalLeavesNothingToSaveAndEscapeCancels() {
    writeData();
    MainWindow main(AppPaths(folder_->path()));
    main.show();
    main.executeCalculation();
    main.waitForRun();
    RefinementWindow* window = openRefinement(main);
    QVERIFY(window->openModel(path(QStringLiteral("start.model"))));
    QVERIFY(window->openReflections(path(QStringLiteral("data.hkl"))));
    // One occupancy for every site (of one element) moves every intensity with the scale.
    window->parameters()->setRefined("occupancy:P1", true);
    window->parameters()->setEqualTo("occupancy:P1", "occupancy:*");
    window->findChild<QSpinBox*>(QStringLiteral("spSearch"))->setValue(0);
    QVERIFY(window->refine());
    window->waitForIdle();
    QCOMPARE(window->outcome()->status, RefinementStatus::Refused);
    QVERIFY(window->reportText().startsWith(QStringLiteral("No reliable solution: ")));
    const QString verdict = window->findChild<QLabel*>(QStringLiteral("lblVerdict"))->text();
    QVERIFY2(verdict.startsWith(QStringLiteral("No reliable solution: ")) && verdict.contains(QStringLiteral("occupancy")),
             qPrintable(verdict));
    QVERIFY(!window->findChild<QAction*>(QStringLiteral("mnuRefineSaveModel"))->isEnabled());
    QVERIFY(!window->findChild<QPushButton*>(QStringLiteral("btUseResult"))->isEnabled());
    QVERIFY(window->maps().empty());

    // Many search starts, cancelled at once.
    window->findChild<QSpinBox*>(QStringLiteral("spSearch"))->setValue(1000);
    window->parameters()->setEqualTo("occupancy:P1", "occupancy:P4");
    QVERIFY(window->refine());
    QVERIFY(window->busy());
    // Its data and table stay as it took them while it runs.
    QVERIFY(!window->parameters()->isEnabled());
    QVERIFY(!window->openModel(path(QStringLiteral("start.model"))));
    QCOMPARE(messages_.size(), 1);
    QTest::keyClick(window, Qt::Key_Escape);
    window->waitForIdle();
    QCOMPARE(window->outcome()->status, RefinementStatus::Cancelled);
    QVERIFY(window->findChild<QPushButton*>(QStringLiteral("btRefine"))->isEnabled());
    QVERIFY(window->parameters()->isEnabled());
    QVERIFY(!window->findChild<QPushButton*>(QStringLiteral("btUseResult"))->isEnabled());
  }

  void aPowderFitReachesThePowderWindow() {
    MainWindow main(AppPaths(folder_->path()));
    main.show();
    main.executeCalculation();
    main.waitForRun();
    RefinementWindow* window = openRefinement(main);
    QVERIFY(window->openModel(QStringLiteral("penrose")));
    QVERIFY(window->openPattern(QStringLiteral(LUMORA_SOURCE_DIR "/docs/examples/synthetic_decagonal.xye")));
    // The example was made with Cu at a = 2.825 A, c = 12.08 A; the main run is Mo, so
    // only the lattice's shape is shared: set the wavelength through the run.
    RefinementWindow::Run run;
    run.inputs.system = CrystalSystem::Decagonal;
    run.inputs.groupIndex = FindGroup("P10.5/mmc")->listIndex;
    run.inputs.yamamoto = true;
    run.inputs.a = 2.824;
    run.inputs.c = 12.07;
    run.inputs.wavelength = 1.5418;
    run.inputs.loopLimits.fill(4);
    run.inputs.qiLimit = 1.0;
    run.kAlpha = std::array<double, 2>{1.540562, 1.544390};
    window->setRun(run);
    window->findChild<QCheckBox*>(QStringLiteral("chkFitDoublet"))->setChecked(true);
    QVERIFY(window->refine());
    window->waitForIdle();
    QVERIFY2(window->patternOutcome() && window->patternOutcome()->status == RefinementStatus::Refined,
             qPrintable(window->reportText()));
    QVERIFY(std::fabs(window->patternOutcome()->chi2 - 1.0) < 0.15);
    PowderWindow* powder = nullptr;
    for (QWidget* top : QApplication::topLevelWidgets())
      if (auto* found = qobject_cast<PowderWindow*>(top)) powder = found;
    QVERIFY(powder);
    QVERIFY(powder->showsFit());
  }
};

QTEST_MAIN(RefinementWindowTest)
#include "refinement_window_test.moc"
