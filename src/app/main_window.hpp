// The main window "Lumora": inputs on the right, plots at the top left, the
// reflection table below them; menus, toolbar and status bar.
#pragma once

#include <QMainWindow>
#include <QPointer>
#include <array>
#include <memory>

#include "ui/app_paths.hpp"
#include "app/calculation_runner.hpp"
#include "intensity/radiation.hpp"
#include "intensity/structure_model.hpp"
#include "inputs/parameters.hpp"
#include "report/report.hpp"
#include "report/table_order.hpp"

class QAction;
class QActionGroup;
class QDoubleSpinBox;
class QMenu;
class QLabel;
class QProgressBar;
class QStackedWidget;
class QGroupBox;
class QSplitter;

namespace lumora {

class ParameterPanel;
class ReflectionTablePane;
class PlotController;
class PlotOutput;
class TilingWindow;
class PowderWindow;
class ZoneWindow;
class RefinementWindow;

class MainWindow : public QMainWindow {
  Q_OBJECT
 public:
  explicit MainWindow(const AppPaths& paths, QWidget* parent = nullptr);
  ~MainWindow() override;

  ParameterPanel* parameters() const { return panel_; }
  PlotController* plots() const { return plots_; }
  PlotOutput* outputs() const { return outputs_; }
  ReflectionTablePane* table() const { return table_; }
  bool calculated() const { return calculated_; }
  // True from Run until the run's result (or its end) is shown.
  bool running() const { return busy_; }
  const CalculationResult* result() const { return calculated_ ? result_.get() : nullptr; }
  // The model's intensities of the run on show, if any.
  const IntensityResult* intensities() const { return calculated_ ? intensities_.get() : nullptr; }
  // Text of status panel 1..5.
  QString statusText(int panel) const;
  // The report file the editor opens ("tmp.hkl" in the temporary folder).
  QString temporaryReportPath() const;
  // Runs whose box is larger than this many vectors are counted first, and
  // the user is asked before a run that keeps more reflections.
  void setLargeRunThreshold(std::size_t reflections) { largeRun_ = reflections; }
  CalculationRunner& runner() { return runner_; }
  // Blocks until a running calculation has ended and its result is shown.
  void waitForRun();

 public slots:
  void executeCalculation();
  void cancelRun();
  void clearResults();
  void saveTable();
  void copyTable();
  void viewInEditor();
  void findReflection();
  // The table's order (the run's, or by a column).
  void sortTable(TableSort key);
  TableSort tableSort() const { return tableSort_; }
  void showUsedMatrices();
  void showTilingWindow();
  void showPowderWindow();
  void showZoneWindow();
  void showRefinementWindow();
  // The structure model: "" for none, a built-in name, or a model file's path.
  bool chooseModel(const QString& nameOrPath);
  void openModelFile();
  void saveModel();
  // The shipped help in the program's own viewer, at anchor (an id in the page).
  void showHelp(const QString& anchor = {});

 protected:
  void closeEvent(QCloseEvent* event) override;

 private:
  void buildActions();
  void buildMenus();
  void buildToolbar();
  void buildStatusBar();
  void buildCentralArea();
  QAction* makeAction(const char* name, const QString& text);

  void loadSettings();
  void loadViewPreferences();
  void saveViewPreferences() const;
  QDoubleSpinBox* minIntensityBox() const;
  bool saveSettings();
  void buildModelMenu();
  // Radiation submenu of the Model menu; the radiation chosen there at a wavelength.
  void buildRadiationMenu(QMenu* parent);
  Radiation chosenRadiation(double wavelength) const;
  // Electrons: the run's wavelength is their voltage's.
  void applyRadiation(ParameterTexts& texts) const;
  void syncModelMenu();
  void applySystemState(int systemIndex, bool clicked);

  void setBusy(bool busy);
  void startRun(const CalculationInputs& inputs);
  void onCounted(FinishedRun run);
  void onRunFinished(FinishedRun run);
  void onProgress(RunStage stage, double fraction);
  void abortRun(bool cancelled);
  void handRunToPowderWindow();
  bool handInputsToZoneWindow();
  void handRunToRefinementWindow();
  void applyRefinedConstants(double a, double c);
  void refreshTable();
  bool writeTemporaryReport();
  ReportContext reportContext() const;
  bool requireData();

  void chooseOutput(const char* button, const QString& caption);
  void donate();
  void showAbout();

  AppPaths paths_;
  ParameterPanel* panel_ = nullptr;
  ReflectionTablePane* table_ = nullptr;
  PlotController* plots_ = nullptr;
  PlotOutput* outputs_ = nullptr;
  QPointer<TilingWindow> tilingWindow_;
  QPointer<PowderWindow> powderWindow_;
  QPointer<ZoneWindow> zoneWindow_;
  QPointer<RefinementWindow> refinementWindow_;
  QStackedWidget* pages_ = nullptr;  // the normal layout, or the large view
  QStackedWidget* strip_ = nullptr;  // frPlot, or frPROG while a run is going
  QLabel* lprog_ = nullptr;
  QProgressBar* progress_ = nullptr;
  std::array<QLabel*, 5> statusPanels_{};
  std::array<QString, 5> shownStatus_;  // the status of the shown run, while a new one is asked about
  QList<QAction*> idleButtons_;  // toolbar buttons to enable again after a run

  CalculationRunner runner_;
  ResultPtr result_;
  bool calculated_ = false;
  bool closing_ = false;
  bool busy_ = false;
  // What the run was asked to do, for every later rewrite of its report.
  Summary runSummary_;
  bool runSteurer_ = false;
  std::size_t largeRun_ = 1'000'000;
  std::optional<StructureModel> model_;
  QString modelSource_;  // "" none, a built-in name or a file path
  std::shared_ptr<const IntensityResult> intensities_;
  CalculationInputs pendingInputs_;  // counted, waiting for the user's answer
  CalculationInputs runInputs_;      // of the run going or last shown
  int runAnode_ = 0;                 // its anode list index
  Radiation runRadiation_;           // its radiation (X-rays unless chosen)
  QActionGroup* radiationGroup_ = nullptr;
  QDoubleSpinBox* voltageBox_ = nullptr;
  PlotJob runJob_;                   // the pictures the running job draws
  QSplitter* splitter_ = nullptr;
  TableSort tableSort_ = TableSort::RunOrder;
};

}  // namespace lumora
