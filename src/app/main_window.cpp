#include "app/main_window.hpp"

#include <QAction>
#include <QDoubleSpinBox>
#include <QActionGroup>
#include <QFileInfo>
#include <QApplication>
#include <QClipboard>
#include <QCloseEvent>
#include <QDir>
#include <QFile>
#include <QGroupBox>
#include <QHBoxLayout>
#include <QLabel>
#include <QLineEdit>
#include <QMenuBar>
#include <QProgressBar>
#include <QShortcut>
#include <QSplitter>
#include <QThread>
#include <QStackedWidget>
#include <QStatusBar>
#include <QStyle>
#include <QToolBar>
#include <QTimer>
#include <QToolButton>
#include <functional>
#include <QUrl>
#include <QVBoxLayout>
#include <cmath>
#include <cstdio>
#include <variant>

#include "app/about_dialog.hpp"
#include "ui/help_viewer.hpp"
#include "ui/dialogs.hpp"
#include "app/links.hpp"
#include "app/parameter_panel.hpp"
#include "inputs/settings_file.hpp"
#include "app/termination_signals.hpp"
#include "ui/window_preferences.hpp"
#include "common/file_io.hpp"
#include "common/number_text.hpp"
#include "common/text.hpp"
#include "common/text.hpp"
#include "plots/plot_controller.hpp"
#include "plots/plot_marks.hpp"
#include "plots/plot_output.hpp"
#include "plots/print_scene.hpp"
#include "report/reflection_table_pane.hpp"
#include "report/report_lines.hpp"
#include "powder/powder_window.hpp"
#include "zone/zone_window.hpp"
#include "refine/refinement_window.hpp"
#include "tiling/tiling_window.hpp"

namespace lumora {
namespace {

QString Q(const std::string& s) { return QString::fromStdString(s); }

}  // namespace

MainWindow::MainWindow(const AppPaths& paths, QWidget* parent) : QMainWindow(parent), paths_(paths) {
  setObjectName(QStringLiteral("Form1"));
  setWindowTitle(QString::fromLatin1(kProgramTitle));
  setMinimumSize(800, 600);
  resize(1100, 780);

  buildCentralArea();
  buildActions();
  buildMenus();
  buildToolbar();
  buildStatusBar();

  connect(&runner_, &CalculationRunner::progressChanged, this, &MainWindow::onProgress);
  connect(&runner_, &CalculationRunner::counted, this, &MainWindow::onCounted);
  connect(&runner_, &CalculationRunner::finished, this, &MainWindow::onRunFinished);
  connect(panel_, &ParameterPanel::runRequested, this, &MainWindow::executeCalculation);
  connect(panel_, &ParameterPanel::systemChosen, this, [this](int index) { applySystemState(index, true); });
  connect(panel_, &ParameterPanel::searchRequested, this, &MainWindow::findReflection);
  connect(table_, &ReflectionTablePane::doubleClicked, this, &MainWindow::viewInEditor);
  connect(panel_, &ParameterPanel::rotationRequested, this, [this](int axis, bool negative) {
    panel_->normaliseDecimalCommas();
    const float angle = static_cast<float>(Val(panel_->angleText(axis - 1).toStdString()));
    plots_->rotate(axis, negative ? -angle : angle);
  });
  auto* escape = new QShortcut(QKeySequence(Qt::Key_Escape), this);
  connect(escape, &QShortcut::activated, this, &MainWindow::cancelRun);

  paths_.dataFolder();  // "data" exists beside the program from the start
  loadSettings();
  loadViewPreferences();
  // The threshold thins the table as it thins the plots.
  connect(minIntensityBox(), &QDoubleSpinBox::valueChanged, this, [this] { refreshTable(); });
}

MainWindow::~MainWindow() {
  runner_.cancel();
  runner_.waitForFinished();
  delete tilingWindow_;  // it refers back to this window
  delete powderWindow_;
  delete zoneWindow_;
  delete refinementWindow_;
}

void MainWindow::buildCentralArea() {
  pages_ = new QStackedWidget(this);
  plots_ = new PlotController(pages_);
  auto* central = new QWidget(pages_);
  auto* outer = new QHBoxLayout(central);
  outer->setContentsMargins(4, 2, 2, 0);
  outer->setSpacing(6);

  // Plots above, the table below; the user moves the border between them.
  splitter_ = new QSplitter(Qt::Vertical, central);
  splitter_->setObjectName(QStringLiteral("splitPlotsTable"));
  splitter_->setChildrenCollapsible(false);
  splitter_->addWidget(plots_->plotBand());
  table_ = new ReflectionTablePane(splitter_);
  table_->setMinimumHeight(90);
  splitter_->addWidget(table_);
  splitter_->setStretchFactor(0, 3);
  splitter_->setStretchFactor(1, 1);
  splitter_->setSizes({520, 230});
  if (const QByteArray state = OpenWindowPreferences()->value(QString::fromLatin1(prefs::kSplitter)).toByteArray();
      !state.isEmpty())
    splitter_->restoreState(state);
  connect(splitter_, &QSplitter::splitterMoved, this, [this] {
    OpenWindowPreferences()->setValue(QString::fromLatin1(prefs::kSplitter), splitter_->saveState());
  });
  outer->addWidget(splitter_, 1);

  panel_ = new ParameterPanel(central);
  panel_->setFixedWidth(250);
  outer->addWidget(panel_);
  pages_->addWidget(central);
  pages_->addWidget(plots_->bigView());
  setCentralWidget(pages_);
  connect(plots_, &PlotController::bigViewChanged, this,
          [this](bool open) { pages_->setCurrentIndex(open ? 1 : 0); });

  PlotOutput::RunAccess run;
  run.calculated = [this] { return calculated_; };
  run.summaryLine = [this] {
    return PrintSummaryLine(result_ ? result_->records.size() : 0, runSummary_.sgSymbol, runSummary_.paramLine1,
                            runSummary_.paramLine2);
  };
  run.reportText = [this] { return result_ ? ReportText(result_->records, reportContext()) : std::string(); };
  run.caption = [this] { return RunCaption(runSummary_, intensities_ ? intensities_->model : std::string()); };
  outputs_ = new PlotOutput(this, plots_, paths_, std::move(run));
  QWidget* big = plots_->bigView();
  auto bigCode = [this] { return plots_->bigShows3D() ? k3DPlot : k2DPlot; };
  connect(big->findChild<QToolButton*>(QStringLiteral("btCopyBig")), &QToolButton::clicked, this,
          [this, bigCode] { outputs_->copyMetafile(bigCode()); });
  connect(big->findChild<QToolButton*>(QStringLiteral("btSaveBig")), &QToolButton::clicked, this,
          [this, bigCode] { outputs_->saveBitmap(bigCode()); });
  connect(big->findChild<QToolButton*>(QStringLiteral("btPrintBig")), &QToolButton::clicked, this,
          [this, bigCode] { outputs_->printPlot(bigCode()); });

  // The strip beside the toolbar: plot controls, or the progress of a run.
  strip_ = new QStackedWidget(this);
  QWidget* frPlot = plots_->controlStrip();
  frPlot->setParent(strip_);
  frPlot->setObjectName(QStringLiteral("frPlot"));
  auto* progressFrame = new QFrame(strip_);
  progressFrame->setObjectName(QStringLiteral("frPROG"));
  auto* progressLayout = new QHBoxLayout(progressFrame);
  progressLayout->setContentsMargins(4, 0, 4, 0);
  lprog_ = new QLabel(QStringLiteral("calculating ..."), progressFrame);
  lprog_->setObjectName(QStringLiteral("LPROG"));
  progress_ = new QProgressBar(progressFrame);
  progress_->setObjectName(QStringLiteral("ProgressBar1"));
  progress_->setRange(0, 1000);
  progress_->setTextVisible(false);
  progressLayout->addWidget(lprog_);
  progressLayout->addWidget(progress_, 1);
  progressLayout->addWidget(new QLabel(QStringLiteral("Esc cancels"), progressFrame));
  strip_->addWidget(frPlot);
  strip_->addWidget(progressFrame);
  strip_->setCurrentWidget(frPlot);
  strip_->setSizePolicy(QSizePolicy::Expanding, QSizePolicy::Preferred);
}

QString MainWindow::statusText(int panel) const {
  if (panel < 1 || panel > 5) return {};
  return statusPanels_[static_cast<std::size_t>(panel - 1)]->text();
}

QString MainWindow::temporaryReportPath() const {
  return AppPaths::tempFile(QStringLiteral("tmp.hkl"));
}

// ---- Settings -------------------------------------------------------------

void MainWindow::loadSettings() {
  StoredSettings settings;
  settings.parameters = panel_->texts();
  settings.findText = panel_->findText().toStdString();
  const QString file = paths_.settingsFileToRead();
  const ReadOutcome read = ReadSmallRegularFile(QFile::encodeName(file).toStdString(), kMaxSettingsFileBytes);
  if (read.status == ReadStatus::Ok) {
    ApplySettingsText(read.text, settings);
    panel_->setTexts(settings.parameters);
    panel_->setFindText(Q(settings.findText));
  } else if (read.status == ReadStatus::Refused) {
    // Said once the window is up: a pipe or device there must not keep it away.
    const QString text = QStringLiteral("The settings file %1 %2; the start-up values are used.")
                             .arg(Q(EchoText(file.toStdString(), 256)), Q(read.problem));
    QTimer::singleShot(0, this, [this, text] { Dialogs().warning(this, text); });
  }
  applySystemState(settings.parameters.systemIndex, false);
  // The structure model has a file of its own; Lumora.cfg stays as it was.
  // Its first line names the model; a second line "failed: why" marks a model
  // whose last run failed, used again only when the user says so.
  const ReadOutcome model = ReadSmallRegularFile(paths_.modelSettingsFile().toStdString(), 64 * 1024);
  if (model.status == ReadStatus::Ok) {
    const std::string_view text = model.text;
    const std::size_t end = text.find('\n');
    const QString source = Q(std::string(Trim(text.substr(0, end))));
    const std::string_view rest = end == std::string_view::npos ? std::string_view() : Trim(text.substr(end + 1));
    bool use = !source.isEmpty();
    if (use && rest.starts_with("failed")) {
      use = Dialogs().question(this, QStringLiteral("Structure Model"),
                               QStringLiteral("The structure model %1 failed at its last run (%2). Use it again?")
                                   .arg(Q(EchoText(source.toStdString(), kShownNameChars)),
                                        Q(EchoText(rest.substr(std::min<std::size_t>(rest.size(), 8)), 256))));
    }
    if (!use || !chooseModel(source)) chooseModel(QString());
  }
  syncModelMenu();
}

bool MainWindow::saveSettings() {
  StoredSettings settings;
  settings.parameters = panel_->texts();
  settings.findText = panel_->findText().toStdString();
  // Never into a pipe or device put there: writing one could block the close.
  const WriteOutcome outcome = WriteFileAtomically(QFile::encodeName(paths_.settingsFile()).toStdString(),
                                                   SettingsText(settings), nullptr, SpecialFiles::Refuse);
  if (outcome.ok) return true;
  const QString text = QStringLiteral("The inputs could not be saved: %1").arg(Q(outcome.error));
  // Ending on a signal nobody may be there to answer a message box.
  if (TerminationRequested(this)) std::fprintf(stderr, "lumora: %s\n", qPrintable(text));
  else Dialogs().warning(this, text);
  return false;
}

void MainWindow::applySystemState(int systemIndex, bool clicked) {
  plots_->setSystemChoice(SystemFromIndex(systemIndex), clicked);
}

void MainWindow::closeEvent(QCloseEvent* event) {
  if (runner_.running()) {
    runner_.cancel();
    runner_.waitForFinished();
  }
  closing_ = true;
  OpenWindowPreferences()->setValue(QString::fromLatin1(prefs::kSplitter), splitter_->saveState());
  saveViewPreferences();
  saveSettings();
  if (tilingWindow_) tilingWindow_->close();
  if (powderWindow_) powderWindow_->close();
  if (zoneWindow_) zoneWindow_->close();
  if (refinementWindow_) refinementWindow_->close();
  event->accept();
}

void MainWindow::showTilingWindow() {
  setWindowState(windowState() | Qt::WindowMinimized);
  if (!tilingWindow_) {
    tilingWindow_ = new TilingWindow(paths_, this);
    tilingWindow_->setAttribute(Qt::WA_DeleteOnClose);
  }
  tilingWindow_->show();
  tilingWindow_->raise();
  tilingWindow_->activateWindow();
}

void MainWindow::showPowderWindow() {
  if (!powderWindow_) {
    powderWindow_ = new PowderWindow(paths_);
    powderWindow_->setAttribute(Qt::WA_DeleteOnClose);
    connect(powderWindow_, &PowderWindow::constantsChosen, this, &MainWindow::applyRefinedConstants);
    handRunToPowderWindow();
  }
  powderWindow_->show();
  powderWindow_->raise();
  powderWindow_->activateWindow();
}

void MainWindow::showZoneWindow() {
  if (!zoneWindow_) {
    zoneWindow_ = new ZoneWindow(paths_);
    zoneWindow_->setAttribute(Qt::WA_DeleteOnClose);
  }
  if (!handInputsToZoneWindow()) {
    // Before any run: the fields as they stand.
    ParameterTexts texts = panel_->texts();
    NormaliseDecimalCommas(texts);
    const auto read = ReadInputs(texts);
    if (const InputError* error = std::get_if<InputError>(&read)) {
      Dialogs().message(this, QString::fromStdString(error->Message()));
      return;
    }
    const CalculationInputs& inputs = std::get<CalculationInputs>(read);
    const bool fits = model_ && model_->system == inputs.system;
    zoneWindow_->setInputs(inputs, fits ? model_ : std::nullopt, fits ? model_->name : std::string());
  }
  zoneWindow_->show();
  zoneWindow_->raise();
  zoneWindow_->activateWindow();
}

// The zone window follows each run's lattice and model.
bool MainWindow::handInputsToZoneWindow() {
  if (!zoneWindow_ || !calculated_ || !result_) return false;
  const bool fits = model_ && model_->system == runInputs_.system;
  zoneWindow_->setInputs(runInputs_, fits ? model_ : std::nullopt, fits ? model_->name : std::string());
  return true;
}

void MainWindow::handRunToPowderWindow() {
  if (!powderWindow_ || !calculated_ || !result_) return;
  PowderWindow::Run run;
  run.result = result_;
  run.intensities = intensities_;
  run.inputs = runInputs_;
  if (runAnode_ != kTypedAnodeIndex) run.kAlpha = AnodeKAlphaPair(runAnode_);
  run.anodeIndex = runAnode_;
  run.radiation = runRadiation_.kind;
  if (intensities_ && model_ && model_->system == runInputs_.system) run.model = model_;
  powderWindow_->setRun(std::move(run));
}

void MainWindow::showRefinementWindow() {
  if (!refinementWindow_) {
    refinementWindow_ = new RefinementWindow(paths_);
    refinementWindow_->setAttribute(Qt::WA_DeleteOnClose);
    // A whole-pattern fit is shown in the powder window too, over its measurement.
    connect(refinementWindow_, &RefinementWindow::patternFitted, this,
            [this](std::vector<double> twoTheta, std::vector<double> observed, std::vector<double> calculated,
                   QString summary, QString name) {
              showPowderWindow();
              powderWindow_->showFittedPattern(
                  {std::move(twoTheta), std::move(observed), std::move(calculated), name, summary});
            });
    if (model_ && !modelSource_.isEmpty()) refinementWindow_->openModel(modelSource_);
    handRunToRefinementWindow();
  }
  refinementWindow_->show();
  refinementWindow_->raise();
  refinementWindow_->activateWindow();
}

void MainWindow::handRunToRefinementWindow() {
  if (!refinementWindow_ || !calculated_ || !result_) return;
  RefinementWindow::Run run;
  run.inputs = runInputs_;
  if (runAnode_ != kTypedAnodeIndex) run.kAlpha = AnodeKAlphaPair(runAnode_);
  run.radiation = runRadiation_.kind;
  refinementWindow_->setRun(run);
}

void MainWindow::applyRefinedConstants(double a, double c) {
  if (busy_) {
    Dialogs().message(this, QStringLiteral("A calculation is running; use the refined constants when it has ended."));
    return;
  }
  if (panel_->system() != runInputs_.system) {
    Dialogs().message(this, QStringLiteral("The system has been changed since the run the powder pattern shows; "
                                           "the refined constants were not used."));
    return;
  }
  ParameterTexts texts = panel_->texts();
  texts.a = FormatFixed(a, 6);
  if (std::isfinite(c)) texts.c = FormatFixed(c, 6);
  panel_->setTexts(texts);
  raise();
  executeCalculation();
}

void MainWindow::showHelp(const QString& anchor) {
  // Always the program's own viewer: it needs no web browser, keeps the
  // anchors and hands only outside addresses to the desktop.
  ShowHelp(this, paths_.helpFile(), anchor);
}

void MainWindow::donate() {
  if (!links::Configured(links::kMakerHome)) return;  // the item is hidden then
  QApplication::processEvents();
  const QString text = QStringLiteral(
                           "Would you like to make a donation, \nin order to help us maintain this software ?\n\n"
                           "Click the [Donate] button at %1")
                           .arg(QString::fromLatin1(links::kMakerHome));
  if (Dialogs().question(this, QStringLiteral(" Make a Donation"), text)) OpenURL(QString::fromLatin1(links::kMakerHome), this);
}

void MainWindow::showAbout() {
  AboutDialog about(this);
  about.exec();
}

}  // namespace lumora
