// The "Structure Refinement" window: a model refined against measured
// single-crystal intensities or a whole powder pattern, on the main window's
// lattice, wavelength and space group. Parameters are chosen in a table; the
// refinement runs off the window's thread with progress and can be
// cancelled; the verdict, statistics, F obs against F calc (or the fitted
// pattern), the parameters with their su and the internal-space map are
// shown; the refined model, the report (text and CIF) and the pictures can be
// saved, and the refined values taken as the next start. A refusal leaves no
// result to use or save.
// Files: refinement_window.cpp (data, map), _layout.cpp (widgets, menus),
// _run.cpp (the refinement off the thread, its verdict), _files.cpp (saving).
#pragma once

#include <QFutureWatcher>
#include <QMainWindow>
#include <array>
#include <atomic>
#include <optional>
#include <vector>

#include "powder/measured_pattern.hpp"
#include "refine/internal_map.hpp"
#include "refine/observations.hpp"
#include "refine/structure_refinement.hpp"
#include "refine/whole_pattern_fit.hpp"
#include "ui/app_paths.hpp"

class QCheckBox;
class QComboBox;
class QLabel;
class QLineEdit;
class QPlainTextEdit;
class QProgressBar;
class QPushButton;
class QSpinBox;
class QTabWidget;

namespace lumora {

class FobsFcalcView;
class InternalMapView;
class ParameterTablePanel;
class PowderPlotWidget;

class RefinementWindow : public QMainWindow {
  Q_OBJECT
 public:
  // What the main window hands over: the inputs of its run, the anode's
  // K-alpha doublet (none for a typed wavelength) and the radiation whose
  // scattering factors the model takes.
  struct Run {
    CalculationInputs inputs;
    std::optional<std::array<double, 2>> kAlpha;
    RadiationKind radiation = RadiationKind::XRay;
  };

  explicit RefinementWindow(const AppPaths& paths, QWidget* parent = nullptr);
  ~RefinementWindow() override;

  void setRun(const Run& run);
  // A built-in model's name or a model file; false (with a message) when it cannot be used.
  bool openModel(const QString& nameOrPath);
  // Single-crystal reflections (text or CIF), or a measured powder pattern.
  bool openReflections(const QString& path);
  bool openPattern(const QString& path);
  // Starts the refinement; false (with a message) when something is missing or bad.
  bool refine();
  void cancel();
  void waitForIdle();
  bool busy() const;

  ParameterTablePanel* parameters() const { return panel_; }
  const std::optional<RefinementOutcome>& outcome() const { return outcome_; }
  const std::optional<WholePatternOutcome>& patternOutcome() const { return patternOutcome_; }
  const std::vector<InternalMap>& maps() const;
  QString reportText() const;

  // The refined values become the table's start values (a refined outcome only).
  void useResult();
  void saveModel();
  void saveReport();
  void saveCif();
  void savePicture();

 signals:
  // A whole-pattern fit for the powder window: the measured points, the fit,
  // its figures and the data's name.
  void patternFitted(std::vector<double> twoTheta, std::vector<double> observed, std::vector<double> calculated,
                     QString summary, QString dataName);

 private:
  enum class Mode { None, SingleCrystal, Powder };
  // What a refinement off the window's thread hands back.
  struct Work {
    std::optional<RefinementOutcome> crystal;
    std::optional<WholePatternOutcome> pattern;
    std::size_t lines = 0;
  };
  void buildControls();
  void buildMenus();
  void resetTable();
  bool refuseWhileBusy();
  void onFinished();
  void showVerdict(RefinementStatus status, const QString& text);
  void enableResult(bool refined);
  void updateMap();
  void showMessage(const QString& text);
  void setBusy(bool on);
  void saveText(const QString& title, const QString& proposed, const QString& filter, const QString& what,
                const std::string& text);

  AppPaths paths_;
  std::optional<Run> run_;
  std::optional<StructureModel> model_;
  Mode mode_ = Mode::None;
  std::vector<Observation> observations_;
  std::optional<MeasuredPattern> measured_;
  QString dataName_;

  std::optional<RefinementOutcome> outcome_;
  std::optional<WholePatternOutcome> patternOutcome_;
  MergedData data_;                  // what the outcome was refined against
  std::optional<PointGroup> group_;  // its merging group
  Lattice lattice_;
  double wavelength_ = 0.0;
  RadiationKind radiation_ = RadiationKind::XRay;  // of the refinement on show
  std::size_t lines_ = 0;
  std::atomic<bool> cancel_{false};
  QFutureWatcher<std::shared_ptr<Work>> watcher_;
  QFutureWatcher<std::vector<InternalMap>> mapWatcher_;
  bool mapPending_ = false;

  ParameterTablePanel* panel_ = nullptr;
  QComboBox* cmbModel_ = nullptr;
  QLabel* lblData_ = nullptr;
  QLineEdit* tfWeight_ = nullptr;
  QSpinBox* spSearch_ = nullptr;
  QSpinBox* spIterations_ = nullptr;
  QSpinBox* spBackground_ = nullptr;
  QCheckBox* chkMerge_ = nullptr;
  QCheckBox* chkDoublet_ = nullptr;
  QPushButton* btRefine_ = nullptr;
  QPushButton* btCancel_ = nullptr;
  QPushButton* btUseResult_ = nullptr;
  QLabel* lblVerdict_ = nullptr;
  QProgressBar* pbRefine_ = nullptr;
  QLabel* lblStatus_ = nullptr;
  QTabWidget* tabs_ = nullptr;
  QPlainTextEdit* txtReport_ = nullptr;
  FobsFcalcView* fobs_ = nullptr;
  PowderPlotWidget* patternPlot_ = nullptr;
  InternalMapView* mapView_ = nullptr;
  QComboBox* cmbMapSite_ = nullptr;
  QComboBox* cmbMapSource_ = nullptr;
  QList<QAction*> resultActions_;  // enabled only with a refined outcome
};

}  // namespace lumora
