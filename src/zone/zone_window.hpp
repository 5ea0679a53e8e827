// View -> Zone Axis Pattern: the simulated pattern of the main window's
// lattice along an axis, the stereogram of the axes with the angles and the
// double-tilt alpha/beta to each (a click tilts there), and a measured image
// with the simulated zero layer over it, aligned by hand and then fitted,
// with the indexed spots in a table. Saves the picture (PNG, SVG, PDF), the
// spots (CSV) and the fit (JSON).
#pragma once

#include <QFutureWatcher>
#include <QMainWindow>
#include <atomic>
#include <memory>
#include <optional>

#include "ui/app_paths.hpp"
#include "zone/zone_fit.hpp"
#include "zone/zone_output.hpp"
#include "zone/zone_views.hpp"

class QCheckBox;
class QComboBox;
class QDoubleSpinBox;
class QLabel;
class QLineEdit;
class QPushButton;
class QSpinBox;
class QTableWidget;

namespace lumora {

class ZoneWindow : public QMainWindow {
  Q_OBJECT
 public:
  explicit ZoneWindow(const AppPaths& paths, QWidget* parent = nullptr);
  ~ZoneWindow() override;

  // The lattice, space group and qi limit of the main window, and its model (or none).
  void setInputs(const CalculationInputs& inputs, std::optional<StructureModel> model, const std::string& modelName);
  // Recomputes the pattern from the fields; false (with the reason in the status bar) when it cannot.
  bool simulate();
  // Beam along a direction (report frame): an axis of the list becomes the
  // reference axis, any other direction a beam off the current one.
  void tiltTo(const Direction& direction);
  bool openImage(const QString& path);
  void fit();
  void waitForIdle();

  const ZonePattern& pattern() const { return pattern_; }
  const ZoneInputs& zoneInputs() const { return zone_; }
  const std::optional<ZoneFit>& fitResult() const { return fit_; }
  ZoneImageView* imageView() const { return imageView_; }
  StereogramView* stereogram() const { return stereogram_; }

 protected:
  void keyPressEvent(QKeyEvent* event) override;

 private:
  QWidget* makeControls();
  void fillAxisChoices();
  void showAxes();
  void showFit();
  void savePicture();
  void saveCsv();
  void saveFit();
  bool saveText(const QString& title, const QString& proposed, const QString& filter, const std::string& text);

  AppPaths paths_;
  CalculationInputs inputs_;
  std::optional<StructureModel> model_;
  std::string modelName_;
  ZoneInputs zone_;
  ZonePattern pattern_;
  std::optional<Direction> offAxis_;
  std::optional<GreyImage> image_;
  std::vector<FoundSpot> found_;
  std::optional<ZoneFit> fit_;
  std::atomic<bool> cancel_{false};
  QFutureWatcher<std::pair<std::vector<FoundSpot>, ZoneFit>> fitWatcher_;

  QComboBox* axisBox_ = nullptr;
  QLineEdit* indexEdit_ = nullptr;
  QComboBox* radiationBox_ = nullptr;
  QDoubleSpinBox* voltageBox_ = nullptr;
  QDoubleSpinBox* wavelengthBox_ = nullptr;
  QDoubleSpinBox* thicknessBox_ = nullptr;
  QDoubleSpinBox* precessionBox_ = nullptr;
  QDoubleSpinBox* gMaxBox_ = nullptr;
  QDoubleSpinBox* sMaxBox_ = nullptr;
  QDoubleSpinBox* tiltXBox_ = nullptr;
  QDoubleSpinBox* tiltYBox_ = nullptr;
  QSpinBox* loopsBox_ = nullptr;
  QCheckBox* logBox_ = nullptr;
  QCheckBox* labelsBox_ = nullptr;
  QCheckBox* laueBox_ = nullptr;
  ZonePatternView* patternView_ = nullptr;
  StereogramView* stereogram_ = nullptr;
  QTableWidget* axesTable_ = nullptr;
  ZoneImageView* imageView_ = nullptr;
  QPushButton* fitButton_ = nullptr;
  QLabel* verdict_ = nullptr;
  QTableWidget* indexedTable_ = nullptr;
};

}  // namespace lumora
