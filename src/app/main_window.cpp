#include "app/main_window.hpp"

#include <QAction>
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
#include "ui/dialogs.hpp"
#include "app/links.hpp"
#include "app/parameter_panel.hpp"
#include "inputs/settings_file.hpp"
#include "app/termination_signals.hpp"
#include "ui/theme_icon.hpp"
#include "ui/window_preferences.hpp"
#include "common/file_io.hpp"
#include "common/number_text.hpp"
#include "common/text.hpp"
#include "intensity/model_file.hpp"
#include "common/text.hpp"
#include "lattice/matrix_text.hpp"
#include "app/used_matrices_dialog.hpp"
#include "plots/plot_box.hpp"
#include "plots/plot_controller.hpp"
#include "plots/plot_output.hpp"
#include "plots/print_scene.hpp"
#include "report/reflection_table_pane.hpp"
#include "report/report_lines.hpp"
#include "report/table_export.hpp"
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
}

MainWindow::~MainWindow() {
  runner_.cancel();
  runner_.waitForFinished();
  delete tilingWindow_;  // it refers back to this window
  delete powderWindow_;
  delete zoneWindow_;
  delete refinementWindow_;
}

QAction* MainWindow::makeAction(const char* name, const QString& text) {
  auto* action = new QAction(text, this);
  action->setObjectName(QString::fromLatin1(name));
  return action;
}

void MainWindow::buildActions() {
  // File
  connect(makeAction("mnuFile1", QStringLiteral("New")), &QAction::triggered, this, &MainWindow::clearResults);
  QAction* run = makeAction("mnuRun", QStringLiteral("Run"));
  run->setShortcuts({QKeySequence(Qt::Key_F5), QKeySequence(Qt::CTRL | Qt::Key_R)});
  connect(run, &QAction::triggered, this, &MainWindow::executeCalculation);
  makeAction("mnuFile2", QStringLiteral("Save 2D as BMP"));
  makeAction("mnuFile3", QStringLiteral("Save 3D as BMP"));
  connect(makeAction("mnuFile4", QStringLiteral("Save Table")), &QAction::triggered, this, &MainWindow::saveTable);
  makeAction("mnuFile5", QStringLiteral("Print 2D plot"));
  makeAction("mnuFile6", QStringLiteral("Print 3D plot"));
  makeAction("mnuFile7", QStringLiteral("Print Table"));
  makeAction("mnuFile8", QStringLiteral("Copy 2D as WMF"));
  makeAction("mnuFile12", QStringLiteral("Copy 2D as BMP"));
  makeAction("mnuFile9", QStringLiteral("Copy 3D as WMF"));
  makeAction("mnuFile13", QStringLiteral("Copy 3D as BMP"));
  connect(makeAction("mnuFile10", QStringLiteral("Copy Table")), &QAction::triggered, this, &MainWindow::copyTable);
  QAction* exit = makeAction("mnuFile11", QStringLiteral("Exit"));
  connect(exit, &QAction::triggered, this, &QWidget::close);
  const std::pair<const char*, std::function<void()>> outputs[] = {
      {"mnuFile2", [this] { outputs_->saveBitmap(k2DPlot); }},
      {"mnuFile3", [this] { outputs_->saveBitmap(k3DPlot); }},
      {"mnuFile5", [this] { outputs_->printPlot(k2DPlot); }},
      {"mnuFile6", [this] { outputs_->printPlot(k3DPlot); }},
      {"mnuFile7", [this] { outputs_->printTable(); }},
      {"mnuFile8", [this] { outputs_->copyMetafile(k2DPlot); }},
      {"mnuFile12", [this] { outputs_->copyBitmap(k2DPlot); }},
      {"mnuFile9", [this] { outputs_->copyMetafile(k3DPlot); }},
      {"mnuFile13", [this] { outputs_->copyBitmap(k3DPlot); }},
  };
  for (const auto& [name, command] : outputs)
    connect(findChild<QAction*>(QString::fromLatin1(name)), &QAction::triggered, this, command);

  // Table: the column items rewrite the table at once.
  const std::pair<const char*, const char*> columns[] = {{"mnuTable2", "Indices"},
                                                         {"mnuTable3", "Theta"},
                                                         {"mnuTable4", "d-Spacing"},
                                                         {"mnuTable5", "qe, qi"},
                                                         {"mnuTable1", "xyz Coordinates"},
                                                         {"mnuTable7", "Intensity"}};
  for (const auto& [name, caption] : columns) {
    QAction* item = makeAction(name, QString::fromLatin1(caption));
    item->setCheckable(true);
    item->setChecked(true);
    connect(item, &QAction::triggered, this, &MainWindow::refreshTable);
  }
  QAction* wordpad = makeAction("mnuTable6", QStringLiteral("View in Wordpad"));
  wordpad->setEnabled(false);
  connect(wordpad, &QAction::triggered, this, &MainWindow::viewInEditor);

  // View
  connect(makeAction("mnuView1", QStringLiteral("Used Matrices")), &QAction::triggered, this,
          &MainWindow::showUsedMatrices);
  const std::pair<const char*, const char*> views[] = {
      {"mnuView2", "Filled Spots"},      {"mnuView3", "Highlight Main Spots"}, {"mnuView8", "Highlight Directions"},
      {"mnuView4", "Spot Size ~ 1/qi"},  {"mnuView5", "Spot Color ~ theta"},   {"mnuView6", "Spot Color ~ 1/qi"},
      {"mnuView7", "Show Indices"},      {"mnuView10", "Spot Area ~ Intensity"},
      {"mnuView11", "Spot Color ~ Intensity"}};
  const ViewFlag flags[] = {ViewFlag::FilledSpots,  ViewFlag::HighlightMain, ViewFlag::HighlightDirections,
                           ViewFlag::SizeByQi,     ViewFlag::ColorByTheta,  ViewFlag::ColorByQi,
                           ViewFlag::ShowIndices,  ViewFlag::AreaByIntensity, ViewFlag::GreyByIntensity};
  for (std::size_t i = 0; i < std::size(views); ++i)
    plots_->bindOption(flags[i], makeAction(views[i].first, QString::fromLatin1(views[i].second)));
  connect(makeAction("mnuView9", QStringLiteral("Tiling Vertices + FT")), &QAction::triggered, this,
          &MainWindow::showTilingWindow);
  connect(makeAction("mnuView12", QStringLiteral("Powder Pattern")), &QAction::triggered, this,
          &MainWindow::showPowderWindow);
  connect(makeAction("mnuView13", QStringLiteral("Zone Axis Pattern")), &QAction::triggered, this,
          &MainWindow::showZoneWindow);
  connect(makeAction("mnuView14", QStringLiteral("Structure Refinement")), &QAction::triggered, this,
          &MainWindow::showRefinementWindow);

  // Help
  connect(makeAction("mnuHelp6", QStringLiteral("Contents")), &QAction::triggered, this, &MainWindow::showHelp);
  const std::pair<const char*, std::pair<const char*, const char*>> pages[] = {
      {"mnuHelp5", {"Lumora Homepage", links::kProductHome}},
      {"mnuHelp1", {"Brevant Homepage", links::kMakerHome}},
      {"mnuHelp2", {"Author's Homepage", links::kAuthorHome}},
      {"mnuHelp3", {"Quasicrystal website", links::kQuasicrystalInfo}}};
  for (const auto& [name, page] : pages) {
    const QString address = QString::fromLatin1(page.second);
    connect(makeAction(name, QString::fromLatin1(page.first)), &QAction::triggered, this,
            [this, address] { OpenURL(address, this); });
  }
  connect(makeAction("mnuHelp7", QStringLiteral("Donate ...")), &QAction::triggered, this, &MainWindow::donate);
  connect(makeAction("mnuHelp4", QStringLiteral("About")), &QAction::triggered, this, &MainWindow::showAbout);
}

void MainWindow::buildMenus() {
  auto add = [this](QMenu* menu, const char* name) { menu->addAction(findChild<QAction*>(QString::fromLatin1(name))); };
  auto separator = [](QMenu* menu, const char* name) { menu->addSeparator()->setObjectName(QString::fromLatin1(name)); };

  QMenu* file = menuBar()->addMenu(QStringLiteral("&File"));
  file->setObjectName(QStringLiteral("mnuFile"));
  add(file, "mnuFile1");
  add(file, "mnuRun");
  separator(file, "mnuFile0");
  for (const char* name : {"mnuFile2", "mnuFile3", "mnuFile4"}) add(file, name);
  separator(file, "mnuFile00");
  for (const char* name : {"mnuFile5", "mnuFile6", "mnuFile7"}) add(file, name);
  separator(file, "mnuFile000");
  for (const char* name : {"mnuFile8", "mnuFile12", "mnuFile9", "mnuFile13", "mnuFile10"}) add(file, name);
  separator(file, "mnuFile0000");
  add(file, "mnuFile11");

  QMenu* table = menuBar()->addMenu(QStringLiteral("&Table"));
  table->setObjectName(QStringLiteral("mnuTable"));
  for (const char* name : {"mnuTable2", "mnuTable3", "mnuTable4", "mnuTable5", "mnuTable1", "mnuTable7"})
    add(table, name);
  separator(table, "mnuTable0");
  add(table, "mnuTable6");

  QMenu* view = menuBar()->addMenu(QStringLiteral("&View"));
  view->setObjectName(QStringLiteral("mnuView"));
  add(view, "mnuView1");
  separator(view, "mnuView0");
  for (const char* name : {"mnuView2", "mnuView3", "mnuView8", "mnuView4", "mnuView5", "mnuView6", "mnuView7"})
    add(view, name);
  separator(view, "mnuView03");
  for (const char* name : {"mnuView10", "mnuView11"}) add(view, name);
  separator(view, "mnuView02");
  add(view, "mnuView9");
  add(view, "mnuView12");
  add(view, "mnuView13");
  add(view, "mnuView14");

  buildModelMenu();

  QMenu* help = menuBar()->addMenu(QStringLiteral("&Help"));
  help->setObjectName(QStringLiteral("mnuHelp"));
  add(help, "mnuHelp6");
  separator(help, "mnuHelp00");
  QMenu* linksMenu = help->addMenu(QStringLiteral("Links ..."));
  linksMenu->setObjectName(QStringLiteral("mnuHelp02"));
  for (const char* name : {"mnuHelp5", "mnuHelp1", "mnuHelp2", "mnuHelp3"}) add(linksMenu, name);
  add(help, "mnuHelp7");
  separator(help, "mnuHelp03");
  add(help, "mnuHelp4");
}

void MainWindow::buildToolbar() {
  QToolBar* toolbar = addToolBar(QStringLiteral("Toolbar"));
  toolbar->setObjectName(QStringLiteral("Toolbar1"));
  toolbar->setMovable(false);
  toolbar->setIconSize(QSize(24, 24));
  struct Button {
    const char* name;
    const char* tip;
    const char* theme;
    QStyle::StandardPixmap fallback;
  };
  const Button buttons[] = {
      {"tbNew", "new", "document-new", QStyle::SP_FileIcon},
      {"tbSave", "save", "document-save", QStyle::SP_DialogSaveButton},
      {"tbCopy", "copy to clipboard", "edit-copy", QStyle::SP_FileDialogContentsView},
      {"tbPrint", "print graphics", "document-print", QStyle::SP_DriveFDIcon},
      {"tbBackground", "invert background color", "weather-clear-night", QStyle::SP_DesktopIcon},
      {"tbExecute", "Run", "system-run", QStyle::SP_MediaPlay},
  };
  for (const Button& b : buttons) {
    QAction* action = toolbar->addAction(ThemeIcon(b.theme, b.fallback), QString::fromLatin1(b.tip));
    action->setObjectName(QString::fromLatin1(b.name));
    action->setToolTip(QString::fromLatin1(b.tip));
  }
  connect(findChild<QAction*>(QStringLiteral("tbNew")), &QAction::triggered, this, &MainWindow::clearResults);
  connect(findChild<QAction*>(QStringLiteral("tbExecute")), &QAction::triggered, this, &MainWindow::executeCalculation);
  connect(findChild<QAction*>(QStringLiteral("tbBackground")), &QAction::triggered, plots_,
          &PlotController::cycleBackground);
  connect(findChild<QAction*>(QStringLiteral("tbSave")), &QAction::triggered, this,
          [this] { chooseOutput("tbSave", QStringLiteral("Save")); });
  connect(findChild<QAction*>(QStringLiteral("tbCopy")), &QAction::triggered, this,
          [this] { chooseOutput("tbCopy", QStringLiteral("Copy")); });
  connect(findChild<QAction*>(QStringLiteral("tbPrint")), &QAction::triggered, this,
          [this] { chooseOutput("tbPrint", QStringLiteral("Print")); });

  toolbar->addSeparator();
  toolbar->addWidget(strip_);
}

void MainWindow::buildStatusBar() {
  QStatusBar* bar = statusBar();
  bar->setObjectName(QStringLiteral("Status"));
  bar->setSizeGripEnabled(true);
  const int stretch[] = {2, 2, 2, 3, 5};
  for (int i = 0; i < 5; ++i) {
    auto* panel = new QLabel(bar);
    panel->setObjectName(QStringLiteral("StatusPanel%1").arg(i + 1));
    panel->setFrameShape(QFrame::StyledPanel);
    panel->setFrameShadow(QFrame::Sunken);
    panel->setMinimumWidth(60);
    bar->addWidget(panel, stretch[i]);
    statusPanels_[static_cast<std::size_t>(i)] = panel;
  }
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
  saveSettings();
  if (tilingWindow_) tilingWindow_->close();
  if (powderWindow_) powderWindow_->close();
  if (zoneWindow_) zoneWindow_->close();
  if (refinementWindow_) refinementWindow_->close();
  event->accept();
}

// ---- The run ----------------------------------------------------------------

void MainWindow::executeCalculation() {
  if (busy_) return;
  statusPanels_[4]->setText(Q(ExtinctionStatusText(panel_->group())));
  const Summary summary = BuildSummary(panel_->texts());  // the fields as typed
  panel_->normaliseDecimalCommas();
  const auto read = ReadInputs(panel_->texts());
  if (const InputError* error = std::get_if<InputError>(&read)) {
    Dialogs().warning(this, Q(error->Message()));
    if (QLineEdit* field = panel_->field(error->field, error->loopIndex)) {
      field->setFocus();
      field->selectAll();
    }
    return;
  }
  const CalculationInputs& inputs = std::get<CalculationInputs>(read);
  runSummary_ = summary;
  runSteurer_ = !inputs.yamamoto;

  std::array<int, 6> limits = inputs.loopLimits;
  if (DimensionOf(inputs.system) == 5) limits[5] = 0;
  const BoxCount box = BoxSize(limits, 6);
  statusPanels_[1]->setText(QStringLiteral("of %1 loops").arg(Q(ToDecimal(box - 1))));
  statusPanels_[3]->clear();
  progress_->setValue(0);
  setBusy(true);
  // A box this small cannot keep too many reflections to ask about.
  const bool ask = OpenWindowPreferences()->value(QString::fromLatin1(prefs::kAskLargeRun), true).toBool();
  if (ask && box > static_cast<BoxCount>(largeRun_)) {
    pendingInputs_ = inputs;
    lprog_->setText(QStringLiteral("counting ..."));
    runner_.count(inputs);
    return;
  }
  startRun(inputs);
}

void MainWindow::startRun(const CalculationInputs& inputs) {
  lprog_->setText(QStringLiteral("calculating ..."));
  progress_->setValue(0);
  runJob_ = plots_->captureJob();
  runInputs_ = inputs;
  runAnode_ = panel_->texts().anodeIndex;
  std::optional<StructureModel> model;
  if (model_ && model_->system == inputs.system) {
    model = model_;
  } else if (model_) {
    statusPanels_[3]->setText(QStringLiteral("model %1 is not %2: no intensities")
                                  .arg(Q(model_->name), Q(std::string(SystemName(inputs.system)))));
  }
  runner_.start(inputs, runJob_, std::move(model));
}

void MainWindow::onCounted(FinishedRun run) {
  if (closing_) return;
  if (run.cancelled || run.result->status != RunStatus::Completed) {
    onRunFinished(std::move(run));
    return;
  }
  const std::size_t kept = run.result->kept;
  if (kept > largeRun_) {
    bool dontAsk = false;
    const QString text = QStringLiteral("About %1 reflections \u2014 continue?").arg(kept);
    const bool go = Dialogs().confirm(this, text, dontAsk);
    if (dontAsk) OpenWindowPreferences()->setValue(QString::fromLatin1(prefs::kAskLargeRun), false);
    if (!go) {
      abortRun(true);
      return;
    }
  }
  startRun(pendingInputs_);
}

void MainWindow::onProgress(RunStage stage, double fraction) {
  if (!runner_.running()) return;
  switch (stage) {
    case RunStage::Counting: lprog_->setText(QStringLiteral("counting ...")); break;
    case RunStage::Calculating: lprog_->setText(QStringLiteral("calculating ...")); break;
    case RunStage::Intensities: lprog_->setText(QStringLiteral("intensities ...")); break;
    case RunStage::Drawing: lprog_->setText(QStringLiteral("drawing ...")); break;
  }
  progress_->setValue(static_cast<int>(fraction * progress_->maximum()));
}

void MainWindow::cancelRun() {
  if (runner_.running()) runner_.cancel();
}

void MainWindow::waitForRun() {
  // A job's end reaches the window as an event, and counting goes on into
  // the run itself, so wait for the window to be idle, not for the job.
  while (busy_) {
    runner_.waitForFinished();
    QApplication::processEvents();
    if (busy_) QThread::msleep(1);
  }
  QApplication::processEvents();
}

void MainWindow::setBusy(bool busy) {
  busy_ = busy;
  strip_->setCurrentIndex(busy ? 1 : 0);
  menuBar()->setEnabled(!busy);
  // Toolbar buttons keep the state they had before the run.
  const QList<QAction*> buttons = findChild<QToolBar*>(QStringLiteral("Toolbar1"))->actions();
  if (busy) {
    idleButtons_.clear();
    for (QAction* action : buttons) {
      if (action->objectName().startsWith(QLatin1String("tb")) && action->isEnabled()) {
        idleButtons_.push_back(action);
        action->setEnabled(false);
      }
    }
  } else {
    for (QAction* action : idleButtons_) action->setEnabled(true);
    idleButtons_.clear();
  }
  // The menu bar is off, but its shortcuts (F5, Ctrl+R) would still fire.
  findChild<QAction*>(QStringLiteral("mnuRun"))->setEnabled(!busy);
  panel_->setEnabled(!busy);
  table_->setEnabled(!busy);
  plots_->plotBand()->setEnabled(!busy);
  plots_->bigView()->setEnabled(!busy);
  if (busy) QApplication::setOverrideCursor(Qt::WaitCursor);
  else QApplication::restoreOverrideCursor();
}

void MainWindow::onRunFinished(FinishedRun run) {
  if (closing_) return;
  if (run.cancelled || run.result->status != RunStatus::Completed || !run.plots) {
    const bool failed = !run.cancelled && run.result->status == RunStatus::Failed;
    abortRun(!failed);
    if (failed) {
      statusPanels_[3]->setText(QStringLiteral("calculation failed"));
      Dialogs().warning(this, Q(run.result->error));
    }
    return;
  }
  result_ = std::move(run.result);
  intensities_ = std::move(run.intensities);
  statusPanels_[0]->setText(QStringLiteral("%1 reflections").arg(result_->records.size()));
  if (!run.modelProblem.empty()) {
    statusPanels_[3]->setText(QStringLiteral("no intensities: %1").arg(Q(EchoText(run.modelProblem, 256))));
    // Not taken again at the next start without asking.
    WriteFileAtomically(paths_.modelSettingsFile().toStdString(),
                        modelSource_.toStdString() + "\nfailed: " + EchoText(run.modelProblem, 256) + "\n");
    const QString name = Q(EchoText(modelSource_.toStdString(), kShownNameChars));
    Dialogs().warning(this, QStringLiteral("The structure model %1 gave no intensities: %2")
                                .arg(name, Q(EchoText(run.modelProblem, 512))));
  }
  plots_->showRun(result_,
                  intensities_ ? std::shared_ptr<const std::vector<double>>(intensities_, &intensities_->intensity)
                               : nullptr,
                  std::move(*run.plots), runJob_);
  runJob_ = PlotJob{};
  calculated_ = true;
  setBusy(false);
  table_->showRun(result_, reportContext());
  findChild<QAction*>(QStringLiteral("mnuTable6"))->setEnabled(true);
  handRunToPowderWindow();
  handInputsToZoneWindow();
  handRunToRefinementWindow();
}

void MainWindow::abortRun(bool cancelled) {
  setBusy(false);
  clearResults();
  // Nothing of the old run is shown any more, so neither is its count.
  statusPanels_[0]->clear();
  if (cancelled) statusPanels_[3]->setText(QStringLiteral("calculation cancelled"));
}

void MainWindow::clearResults() {
  table_->clear();
  plots_->clear();
  calculated_ = false;
  result_.reset();
  intensities_.reset();
  findChild<QAction*>(QStringLiteral("mnuTable6"))->setEnabled(false);
}

// ---- The table ----------------------------------------------------------------

ReportContext MainWindow::reportContext() const {
  ReportContext context;
  context.summary = runSummary_;
  context.nDim = result_ ? result_->lattice.nDim : 5;
  context.steurer = runSteurer_;
  auto checked = [this](const char* name) { return findChild<QAction*>(QString::fromLatin1(name))->isChecked(); };
  context.columns = {checked("mnuTable2"), checked("mnuTable3"), checked("mnuTable4"), checked("mnuTable5"),
                     checked("mnuTable1")};
  context.columns.intensity = checked("mnuTable7");
  if (intensities_) context.intensities = std::shared_ptr<const std::vector<double>>(intensities_, &intensities_->intensity);
  return context;
}

void MainWindow::refreshTable() {
  if (calculated_ && result_ && !result_->records.empty()) table_->showRun(result_, reportContext());
}

bool MainWindow::writeTemporaryReport() {
  const WriteOutcome outcome = WriteReport(temporaryReportPath().toStdString(), result_->records, reportContext());
  if (!outcome.ok) Dialogs().warning(this, QStringLiteral("The report for the editor was not written: %1").arg(Q(outcome.error)));
  return outcome.ok;
}

bool MainWindow::requireData() {
  if (calculated_) return true;
  Dialogs().message(this, QStringLiteral("no data"));
  return false;
}

void MainWindow::saveTable() {
  if (!requireData()) return;
  const QString proposed = QDir(paths_.dataFolder()).filePath(QStringLiteral("lumora.hkl"));
  const QString path =
      Dialogs().saveFileName(this, QStringLiteral("Save Table"), proposed, QStringLiteral("Lumora data (*.hkl)"));
  if (path.isEmpty()) return;
  const WriteOutcome outcome = WriteReport(path.toStdString(), result_->records, reportContext());
  if (!outcome.ok) Dialogs().warning(this, QStringLiteral("The table was not saved: %1").arg(Q(outcome.error)));
}

void MainWindow::copyTable() {
  if (!requireData()) return;
  const ReportContext context = reportContext();
  const std::string text = ClipboardTableText(result_->records, context.nDim, context.columns,
                                              intensities_ ? &intensities_->intensity : nullptr);
  // The copy is also left in the temporary folder, as "copy.hkl".
  WriteFileAtomically(AppPaths::tempFile(QStringLiteral("copy.hkl")).toStdString(), text);
  QApplication::clipboard()->setText(Q(text));
}

void MainWindow::viewInEditor() {
  if (!calculated_) return;
  // The report is written for the editor when it is asked for, not after
  // every run: a large run's report runs to hundreds of megabytes.
  if (!writeTemporaryReport()) return;
  const QString path = temporaryReportPath();
  if (!Dialogs().openUrl(QUrl::fromLocalFile(path)))
    Dialogs().warning(this, QStringLiteral("No text editor could be started for %1").arg(path));
}

void MainWindow::findReflection() {
  if (table_->findNext(panel_->findText())) statusPanels_[3]->clear();
  else statusPanels_[3]->setText(QStringLiteral("not found"));
}

// ---- View and Help ----------------------------------------------------------------

void MainWindow::showUsedMatrices() {
  // Decimal commas are read as a run reads them; the values leniently, as
  // the window always did.
  panel_->normaliseDecimalCommas();
  const ParameterTexts texts = panel_->texts();
  const CrystalSystem system = SystemFromIndex(texts.systemIndex);
  const double a = Val(texts.a);
  const double c = Val(texts.c);
  const bool axial = system != CrystalSystem::Icosahedral;
  if (!std::isfinite(a) || a == 0.0 || (axial && (!std::isfinite(c) || c == 0.0))) {
    const bool badA = !std::isfinite(a) || a == 0.0;
    Dialogs().warning(this, QStringLiteral("%1: \"%2\" cannot be used as a lattice constant")
                                .arg(badA ? QStringLiteral("a") : QStringLiteral("c"), Q(badA ? texts.a : texts.c)));
    return;
  }
  const Lattice lattice = SetupLattice(system, a, axial ? c : 1.0, texts.yamamoto);
  UsedMatricesDialog dialog(this);
  dialog.setText(Q(MatrixText(lattice.directMatrix, lattice.nDim, lattice.nDim)), 1);
  dialog.setText(Q(MatrixText(lattice.inverseMatrix, lattice.nDim, lattice.nDim)), 2);
  dialog.exec();
}

void MainWindow::chooseOutput(const char* button, const QString& caption) {
  auto* toolbar = findChild<QToolBar*>(QStringLiteral("Toolbar1"));
  QWidget* anchor = toolbar->widgetForAction(findChild<QAction*>(QString::fromLatin1(button)));
  const QPoint below = anchor ? anchor->mapToGlobal(QPoint(0, anchor->height() + 20)) : mapToGlobal(QPoint(0, 0));
  const int choice = Dialogs().chooseOutput(this, caption, below);
  if (choice == 0) return;
  const int code = choice == 1 ? k2DPlot : k3DPlot;
  if (caption == QLatin1String("Save")) {
    if (choice == 3) saveTable();
    else outputs_->saveBitmap(code);
  } else if (caption == QLatin1String("Copy")) {
    if (choice == 3) copyTable();
    else outputs_->copyMetafile(code);
  } else {
    if (choice == 3) outputs_->printTable();
    else outputs_->printPlot(code);
  }
}

// ---- Structure model ----------------------------------------------------------------

void MainWindow::buildModelMenu() {
  QMenu* menu = menuBar()->addMenu(QStringLiteral("&Model"));
  menu->setObjectName(QStringLiteral("mnuModel"));
  auto* group = new QActionGroup(this);
  group->setExclusive(true);
  auto choice = [&](const char* name, const QString& text, const QString& source) {
    QAction* action = makeAction(name, text);
    action->setCheckable(true);
    action->setData(source);
    group->addAction(action);
    menu->addAction(action);
    connect(action, &QAction::triggered, this, [this, source] {
      chooseModel(source);
      syncModelMenu();
    });
  };
  choice("mnuModelNone", QStringLiteral("None"), QString());
  menu->addSeparator();
  for (const std::string& name : BuiltinModelNames()) {
    const std::optional<StructureModel> model = BuiltinModel(name);
    const QString text = QStringLiteral("%1 (%2)").arg(Q(name), Q(std::string(SystemName(model->system))));
    choice(("mnuModel_" + name).c_str(), text, Q(name));
  }
  menu->addSeparator();
  QAction* fromFile = makeAction("mnuModelFile", QStringLiteral("Model File ..."));
  fromFile->setCheckable(true);
  group->addAction(fromFile);
  menu->addAction(fromFile);
  connect(fromFile, &QAction::triggered, this, &MainWindow::openModelFile);
  connect(menu->addAction(QStringLiteral("Save Model As ...")), &QAction::triggered, this, &MainWindow::saveModel);
  menu->actions().last()->setObjectName(QStringLiteral("mnuModelSave"));
}

void MainWindow::syncModelMenu() {
  const bool file = model_ && !BuiltinModel(modelSource_.toStdString());
  for (QAction* action : findChild<QMenu*>(QStringLiteral("mnuModel"))->actions()) {
    if (!action->isCheckable()) continue;
    if (action->objectName() == QLatin1String("mnuModelFile")) {
      action->setChecked(file);
      action->setText(file ? QStringLiteral("Model File: %1").arg(QFileInfo(modelSource_).fileName())
                           : QStringLiteral("Model File ..."));
    } else {
      action->setChecked(!file && action->data().toString().compare(modelSource_, Qt::CaseInsensitive) == 0);
    }
  }
  findChild<QAction*>(QStringLiteral("mnuModelSave"))->setEnabled(model_.has_value());
}

bool MainWindow::chooseModel(const QString& nameOrPath) {
  if (nameOrPath.isEmpty()) {
    model_.reset();
    modelSource_.clear();
  } else {
    auto found = FindModel(nameOrPath.toStdString());
    if (const std::string* problem = std::get_if<std::string>(&found)) {
      // A junk LumoraModel.cfg must not give a box taller than the screen.
      Dialogs().warning(this, QStringLiteral("The structure model %1 cannot be used: %2")
                                  .arg(Q(EchoText(nameOrPath.toStdString())), Q(EchoText(*problem, 256))));
      return false;
    }
    model_ = std::get<StructureModel>(std::move(found));
    modelSource_ = nameOrPath;
  }
  // Remembered in a file of its own; a failure only costs the choice at the next start.
  WriteFileAtomically(paths_.modelSettingsFile().toStdString(), (modelSource_.toStdString() + "\n"));
  return true;
}

void MainWindow::openModelFile() {
  const QString path = Dialogs().openFileName(this, QStringLiteral("Structure Model"), paths_.dataFolder(),
                                              QStringLiteral("Lumora models (*.qcm *.txt);;All files (*)"));
  if (!path.isEmpty()) chooseModel(path);
  syncModelMenu();
}

void MainWindow::saveModel() {
  if (!model_) return;
  const QString proposed = QDir(paths_.dataFolder()).filePath(Q(model_->name.empty() ? "model" : model_->name) +
                                                              QStringLiteral(".qcm"));
  const QString path = Dialogs().saveFileName(this, QStringLiteral("Save Model"), proposed,
                                              QStringLiteral("Lumora models (*.qcm)"));
  if (path.isEmpty()) return;
  const WriteOutcome outcome = SaveModel(path.toStdString(), *model_);
  if (!outcome.ok) Dialogs().warning(this, QStringLiteral("The model was not saved: %1").arg(Q(outcome.error)));
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

void MainWindow::showHelp() {
  const QString help = paths_.helpFile();
  if (!Dialogs().openUrl(QUrl::fromLocalFile(help)))
    Dialogs().warning(this, QStringLiteral("The help could not be opened: no program opens %1").arg(help));
}

void MainWindow::donate() {
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
