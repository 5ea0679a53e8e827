// The "Powder Pattern" window: the main window's run as powder lines and a
// simulated profile, a measured pattern laid over it with a fitted scale, its
// peaks found and edited, indexed, and the lattice constants refined from them.
#pragma once

#include <QFutureWatcher>
#include <QMainWindow>
#include <array>
#include <functional>
#include <string>
#include <memory>
#include <optional>

#include "ui/app_paths.hpp"
#include "intensity/structure_factor.hpp"
#include "powder/measured_pattern.hpp"
#include "powder/pattern_scale.hpp"
#include "powder/powder_lines.hpp"
#include "powder/powder_profile.hpp"
#include "powder/powder_indexing.hpp"
#include "powder/peak_search.hpp"
#include "reflections/calculation.hpp"

class QCheckBox;
class QComboBox;
class QDoubleSpinBox;
class QLabel;
class QLineEdit;
class QPlainTextEdit;
class QPushButton;
class QSpinBox;
class QTableView;

namespace lumora {

class PowderPlotWidget;
class PowderLineModel;
class PeakModel;

class PowderWindow : public QMainWindow {
  Q_OBJECT
 public:
  // What the main window hands over after each run.
  struct Run {
    std::shared_ptr<const CalculationResult> result;
    std::shared_ptr<const IntensityResult> intensities;  // null without a model
    CalculationInputs inputs;
    std::optional<std::array<double, 2>> kAlpha;  // the anode's doublet; none for a typed wavelength
    int anodeIndex = -1;  // the classic anode list index; its emission lines model the indexing's peaks
    std::optional<StructureModel> model;  // of the intensities, for the indexing's line strengths
    // The model's scattering factors; X-ray lines take LP, neutron and
    // electron lines the Lorentz factor alone.
    RadiationKind radiation = RadiationKind::XRay;
  };

  explicit PowderWindow(const AppPaths& paths, QWidget* parent = nullptr);
  ~PowderWindow() override;

  void setRun(Run run);
  // A whole-pattern fit (Structure Refinement window): the measured points it
  // fitted become the measurement on show, the fit is drawn instead of the
  // simulated profile, with the difference; summary goes to the status line.
  // A new run or pattern drops the fit.
  struct FittedPattern {
    std::vector<double> twoTheta, observed, calculated;
    QString name, summary;
  };
  void showFittedPattern(FittedPattern fitted);
  bool showsFit() const { return fitted_.has_value(); }
  // Reads range (from 0) of a measured pattern in any format read; false (with
  // a message) when it cannot be used.
  bool openMeasured(const QString& path, int range = 0);
  // Recomputes lines and profile from the fields; false (with a message naming
  // the field) when a field holds a bad value.
  bool recalculate();
  void findPeaks();
  // Indexes the peaks from the main window's a (and c): the cells within 2 % of it.
  void refine();
  // Indexes the peaks without a start, over the wide range of a (and c).
  void indexAbInitio();
  // Only a reliable indexing's constants (or, after "Use anyway", any).
  void useRefined();
  // Blocks until background work has ended and its result is shown.
  void waitForIdle();
  bool busy() const;

  std::shared_ptr<const PowderLines> lines() const { return lines_; }
  const Profile& profile() const { return profile_; }
  const std::optional<MeasuredPattern>& measured() const { return measured_; }
  const std::vector<double>& peaks() const { return peaks_; }
  void setPeaks(std::vector<double> twoTheta);
  const std::optional<IndexingResult>& refinement() const { return refinement_; }
  // The scale and background that lay the calculated pattern on the measured one.
  const ScaleAndBackground& fit() const { return fit_; }
  PowderPlotWidget* plot() const { return plot_; }
  // Adds a peak near twoTheta (at the measured maximum within a few pixels),
  // or removes the peak already there.
  void togglePeak(double twoTheta);

  void savePattern();
  void saveLines();
  void savePicture();
  void printPlot();
  void copyPlot();

 signals:
  // The refined constants for the main window's inputs (c is NaN for the icosahedral system).
  void constantsChosen(double a, double c);

 protected:
  void closeEvent(QCloseEvent* event) override;

 private:
  struct Computed {
    std::shared_ptr<const PowderLines> lines;
    Profile profile;
    double zero = 0.0;
    std::size_t reflections = 0;  // the reflections the lines hold
    std::string note;             // why the orbits are not complete, or empty
  };
  struct FieldValues {
    LineOptions lines;
    ProfileOptions profile;
    double zero = 0.0;
    bool completeOrbits = true;
  };

  void buildControls();
  void buildMenus();
  QList<QLineEdit*> keptFields() const;
  void loadPreferences();
  void savePreferences() const;
  std::optional<FieldValues> readFields();
  void onComputed();
  void onRefined();
  void startIndexing(bool abInitio);
  void clearRefinement();
  void refreshScene(bool keepView);
  void refreshPeaks();
  void showMessage(const QString& text);
  // Asks for a file name, makes the content for it (nullopt: not made, and
  // said why) and writes it whole, reporting a failed write as "The <what> was not saved".
  void saveFile(const QString& title, const QString& proposed, const QString& filter, const QString& what,
                const std::function<std::optional<std::string>(const QString& chosen)>& content);
  QString describeLine(int line) const;
  int nDim() const;
  // The wavelength of lines, profile and refinement: the measured file's when
  // it states one and chkFileWavelength is checked, else the run's.
  double wavelength() const;
  void describeMeasured();

  AppPaths paths_;
  Run run_;
  std::shared_ptr<const PowderLines> lines_;
  Profile profile_;
  std::optional<MeasuredPattern> measured_;
  QString measuredName_;
  QString measuredPath_;
  std::optional<double> fileWavelength_;
  QString fileWavelengthItem_;
  std::vector<double> peaks_;
  std::vector<MeasuredPeak> foundPeaks_;  // of the last peak search: heights and widths
  std::optional<IndexingResult> refinement_;
  bool useAnyway_ = false;  // the user chose to use an unreliable result
  ScaleAndBackground fit_{1.0, 0.0};
  std::shared_ptr<const CalculationResult> refinedRun_;  // the run the refinement going on indexes against
  double zero_ = 0.0;  // the zero shift of the pattern on show
  std::optional<std::vector<double>> fitted_;  // a whole-pattern fit on the measured points
  bool pending_ = false;  // fields changed while a computation ran

  QFutureWatcher<Computed> computeWatcher_;
  QFutureWatcher<IndexingResult> refineWatcher_;

  PowderPlotWidget* plot_ = nullptr;
  PowderLineModel* lineModel_ = nullptr;
  PeakModel* peakModel_ = nullptr;
  QLineEdit* tfTolerance_ = nullptr;
  QLineEdit* tfMono_ = nullptr;
  QLineEdit* tfMin_ = nullptr;
  QLineEdit* tfMax_ = nullptr;
  QLineEdit* tfStep_ = nullptr;
  QLineEdit* tfU_ = nullptr;
  QLineEdit* tfV_ = nullptr;
  QLineEdit* tfW_ = nullptr;
  QLineEdit* tfEta_ = nullptr;
  QLineEdit* tfCut_ = nullptr;
  QLineEdit* tfZero_ = nullptr;
  QCheckBox* chkDoublet_ = nullptr;
  QCheckBox* chkCompleteOrbits_ = nullptr;
  QComboBox* cmbAxis_ = nullptr;
  QComboBox* cmbScale_ = nullptr;
  QSpinBox* spSmoothing_ = nullptr;
  QDoubleSpinBox* spThreshold_ = nullptr;
  QLineEdit* tfIndexTolerance_ = nullptr;
  QCheckBox* chkRefineA_ = nullptr;
  QCheckBox* chkRefineC_ = nullptr;
  QCheckBox* chkRefineZero_ = nullptr;
  QPushButton* btRefine_ = nullptr;
  QPushButton* btIndex_ = nullptr;
  QComboBox* cmbWavelengthModel_ = nullptr;
  QPushButton* btUseAnyway_ = nullptr;
  QPushButton* btUseRefined_ = nullptr;
  QPushButton* btFindPeaks_ = nullptr;
  QLabel* lblMeasured_ = nullptr;
  QComboBox* cmbRange_ = nullptr;
  QCheckBox* chkFileWavelength_ = nullptr;
  QLabel* lblRefined_ = nullptr;
  QLabel* lblReadout_ = nullptr;
  QLabel* lblStatus_ = nullptr;
  QTableView* tblLines_ = nullptr;
  QTableView* tblPeaks_ = nullptr;
  QPlainTextEdit* txtRefinement_ = nullptr;
};

}  // namespace lumora
