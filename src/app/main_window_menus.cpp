// The main window's actions, menus, toolbar and status bar.
#include "app/main_window.hpp"

#include <QAction>
#include <QDoubleSpinBox>
#include <QSettings>
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
#include "inputs/named_inputs.hpp"
#include "ui/theme_icon.hpp"
#include "ui/window_preferences.hpp"
#include "common/file_io.hpp"
#include "common/number_text.hpp"
#include "common/text.hpp"
#include "common/text.hpp"
#include "plots/plot_controller.hpp"
#include "plots/plot_output.hpp"
#include "plots/print_scene.hpp"
#include "report/reflection_table_pane.hpp"
#include "report/report_view.hpp"
#include "report/report_lines.hpp"
#include "powder/powder_window.hpp"
#include "zone/zone_window.hpp"
#include "refine/refinement_window.hpp"
#include "tiling/tiling_window.hpp"

namespace lumora {
namespace {

struct ViewItem {
  const char* name;
  const char* caption;
  ViewFlag flag;
};
constexpr ViewItem kViewItems[] = {
    {"mnuView2", "Filled Spots", ViewFlag::FilledSpots},
    {"mnuView3", "Highlight Main Spots", ViewFlag::HighlightMain},
    {"mnuView8", "Highlight Directions", ViewFlag::HighlightDirections},
    {"mnuView4", "Spot Size ~ 1/qi", ViewFlag::SizeByQi},
    {"mnuView5", "Spot Color ~ theta", ViewFlag::ColorByTheta},
    {"mnuView6", "Spot Color ~ 1/qi", ViewFlag::ColorByQi},
    {"mnuView7", "Show Indices", ViewFlag::ShowIndices},
    {"mnuView10", "Spot Area ~ Intensity", ViewFlag::AreaByIntensity},
    {"mnuView11", "Spot Color ~ Intensity", ViewFlag::GreyByIntensity},
    {"mnuView15", "Scale Bar (1/\u00c5)", ViewFlag::ScaleBar},
    {"mnuView16", "Axis Ticks", ViewFlag::AxisTicks},
    {"mnuView17", "Orientation Mark (3D)", ViewFlag::OrientationMark},
    {"mnuView18", "Caption on Saved Pictures", ViewFlag::CaptionOnSaved}};

QString ViewKey(const char* name) { return QStringLiteral("%1/%2").arg(QLatin1String(prefs::kViewGroup), QLatin1String(name)); }

}  // namespace

// The View items and the intensity threshold are the user's, kept in the
// window preferences; the settings file stays as it was.
void MainWindow::loadViewPreferences() {
  const auto preferences = OpenWindowPreferences();
  // The flags exclude each other in pairs; a second pass settles any order.
  for (int pass = 0; pass < 2; ++pass) {
    for (const ViewItem& item : kViewItems) {
      const QVariant stored = preferences->value(ViewKey(item.name));
      if (stored.isValid() && stored.toBool() != plots_->options().Flag(item.flag)) plots_->toggleOption(item.flag);
    }
  }
  const QVariant threshold = preferences->value(QString::fromLatin1(prefs::kMinIntensity));
  bool ok = false;
  const double value = threshold.toDouble(&ok);
  if (ok && std::isfinite(value)) minIntensityBox()->setValue(value);  // clamped to its range
}

void MainWindow::saveViewPreferences() const {
  const auto preferences = OpenWindowPreferences();
  for (const ViewItem& item : kViewItems) preferences->setValue(ViewKey(item.name), plots_->options().Flag(item.flag));
  preferences->setValue(QString::fromLatin1(prefs::kMinIntensity), plots_->options().minIntensity);
}

QDoubleSpinBox* MainWindow::minIntensityBox() const {
  return plots_->controlStrip()->findChild<QDoubleSpinBox*>(QString::fromLatin1(
      input::kMinIntensity.field.data(), static_cast<qsizetype>(input::kMinIntensity.field.size())));
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
  // The table's order: a view of the run, not of its saved report.
  auto* order = new QActionGroup(this);
  const std::pair<const char*, std::pair<const char*, TableSort>> sorts[] = {
      {"mnuSortRun", {"Run Order", TableSort::RunOrder}}, {"mnuSortTheta", {"Theta", TableSort::Theta}},
      {"mnuSortD", {"d-Spacing", TableSort::D}},          {"mnuSortQe", {"qe", TableSort::Qe}},
      {"mnuSortQi", {"qi", TableSort::Qi}},               {"mnuSortI", {"Intensity (strongest first)", TableSort::Intensity}}};
  for (const auto& [name, sort] : sorts) {
    QAction* item = makeAction(name, QString::fromLatin1(sort.first));
    item->setCheckable(true);
    item->setChecked(sort.second == TableSort::RunOrder);
    order->addAction(item);
    const TableSort key = sort.second;
    connect(item, &QAction::triggered, this, [this, key] { sortTable(key); });
  }
  QAction* wordpad = makeAction("mnuTable6", QStringLiteral("Open in Text Editor"));
  wordpad->setEnabled(false);
  connect(wordpad, &QAction::triggered, this, &MainWindow::viewInEditor);

  // View
  connect(makeAction("mnuView1", QStringLiteral("Used Matrices")), &QAction::triggered, this,
          &MainWindow::showUsedMatrices);
  for (const ViewItem& item : kViewItems)
    plots_->bindOption(item.flag, makeAction(item.name, QString::fromUtf8(item.caption)));
  connect(makeAction("mnuView9", QStringLiteral("Tiling Vertices + FT")), &QAction::triggered, this,
          &MainWindow::showTilingWindow);
  connect(makeAction("mnuView12", QStringLiteral("Powder Pattern")), &QAction::triggered, this,
          &MainWindow::showPowderWindow);
  connect(makeAction("mnuView13", QStringLiteral("Zone Axis Pattern")), &QAction::triggered, this,
          &MainWindow::showZoneWindow);
  connect(makeAction("mnuView14", QStringLiteral("Structure Refinement")), &QAction::triggered, this,
          &MainWindow::showRefinementWindow);

  // Help
  QAction* contents = makeAction("mnuHelp6", QStringLiteral("Contents"));
  // The desktop's help key, and F1 wherever that is something else.
  QList<QKeySequence> helpKeys = QKeySequence::keyBindings(QKeySequence::HelpContents);
  if (!helpKeys.contains(QKeySequence(Qt::Key_F1))) helpKeys.prepend(QKeySequence(Qt::Key_F1));
  contents->setShortcuts(helpKeys);
  contents->setShortcutContext(Qt::ApplicationShortcut);
  connect(contents, &QAction::triggered, this, [this] { showHelp(); });
  const std::pair<const char*, std::pair<const char*, const char*>> pages[] = {
      {"mnuHelp5", {"Lumora Homepage", links::kProductHome}},
      {"mnuHelp1", {"Brevant Homepage", links::kMakerHome}},
      {"mnuHelp2", {"Author's Homepage", links::kAuthorHome}},
      {"mnuHelp3", {"Quasicrystal website", links::kQuasicrystalInfo}}};
  for (const auto& [name, page] : pages) {
    const QString address = QString::fromLatin1(page.second);
    QAction* link = makeAction(name, QString::fromLatin1(page.first));
    // A page without an address is not offered.
    link->setVisible(links::Configured(page.second));
    connect(link, &QAction::triggered, this, [this, address] { OpenURL(address, this); });
  }
  QAction* donation = makeAction("mnuHelp7", QStringLiteral("Donate ..."));
  donation->setVisible(links::Configured(links::kMakerHome));
  connect(donation, &QAction::triggered, this, &MainWindow::donate);
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
  QMenu* sortMenu = table->addMenu(QStringLiteral("Sort by"));
  sortMenu->setObjectName(QStringLiteral("mnuTableSort"));
  for (const char* name : {"mnuSortRun", "mnuSortTheta", "mnuSortD", "mnuSortQe", "mnuSortQi", "mnuSortI"})
    add(sortMenu, name);
  add(table, "mnuTable6");

  QMenu* view = menuBar()->addMenu(QStringLiteral("&View"));
  view->setObjectName(QStringLiteral("mnuView"));
  add(view, "mnuView1");
  separator(view, "mnuView0");
  for (const char* name : {"mnuView2", "mnuView3", "mnuView8", "mnuView4", "mnuView5", "mnuView6", "mnuView7"})
    add(view, name);
  separator(view, "mnuView03");
  for (const char* name : {"mnuView10", "mnuView11"}) add(view, name);
  // Marks to read distances and directions off the plots and their saved pictures.
  separator(view, "mnuView04");
  for (const char* name : {"mnuView15", "mnuView16", "mnuView17", "mnuView18"}) add(view, name);
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
  // The one button a newcomer needs is labelled, not only a picture.
  QAction* execute = findChild<QAction*>(QStringLiteral("tbExecute"));
  execute->setIconText(QStringLiteral("Run"));
  execute->setToolTip(QStringLiteral("Run (F5)"));
  if (auto* button = qobject_cast<QToolButton*>(toolbar->widgetForAction(execute)))
    button->setToolButtonStyle(Qt::ToolButtonTextBesideIcon);
  table_->textBox()->setPlaceholderText(
      QStringLiteral("Press Run (F5) to list the reflections of the inputs on the right.\n"
                     "Help \u2192 Contents (F1) explains the inputs."));
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

}  // namespace lumora
