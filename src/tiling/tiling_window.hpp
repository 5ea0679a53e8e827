// The tiling vertex generator: options, the tiling, its vertex image, the
// vertex table and the Fourier transform of the vertex image, on four tabs.
#pragma once

#include <QFutureWatcher>
#include <QImage>
#include <QMainWindow>
#include <QPointer>
#include <QUrl>
#include <memory>
#include <optional>
#include <random>

#include "ui/app_paths.hpp"
#include "fourier/complex_image.hpp"
#include "tiling/exact_diffraction.hpp"
#include "tiling/tiling_analysis.hpp"
#include "tiling/tiling.hpp"

class QAction;
class QButtonGroup;
class QCheckBox;
class QComboBox;
class QLineEdit;
class QDoubleSpinBox;
class QLabel;
class QScrollBar;
class QStackedWidget;
class QTabBar;
class QTableView;
class QTimer;

namespace lumora {

class PictureBox;
class SharpZoom;
class VertexListModel;

class TilingWindow : public QMainWindow {
  Q_OBJECT
 public:
  enum Tab { TilingTab = 0, VerticesTab = 1, ListTab = 2, FtTab = 3, DiffractionTab = 4, InternalTab = 5, StatisticsTab = 6 };

  explicit TilingWindow(const AppPaths& paths, QWidget* mainWindow = nullptr, QWidget* parent = nullptr);
  ~TilingWindow() override;

  // The tiling on show; empty until the first generation has finished.
  const Tiling* tiling() const { return tiling_.get(); }
  bool isGenerating() const { return generating_; }
  // The statistics and the internal-space view follow the picture: true
  // while they are being worked out.
  bool isAnalysing() const { return analysing_; }
  // The transform object and whether it holds the transform of the current tiling.
  const ComplexImage& transform() const { return transform_; }
  bool transformCurrent() const { return transformCurrent_; }
  QUrl helpUrl() const;
  // The Bragg peaks of the exact vertex set on show (empty until computed).
  struct Peaks {
    int symmetry = 0;
    std::vector<ModulePoint> points;
    std::vector<double> intensity;
    double kMax = 0.0;
  };
  const Peaks& peaks() const { return *peaks_; }
  bool isComputingPeaks() const { return computingPeaks_; }

 public slots:
  void makeTiling();
  void saveCoordinates();
  void savePicture();
  void exportTilesCsv() { exportCsv(false); }
  void exportVerticesCsv() { exportCsv(true); }
  void copyImage();
  void showHelp();

 signals:
  // A generation has finished and its pictures and texts are on show.
  void tilingReady();

 protected:
  void closeEvent(QCloseEvent* event) override;
  bool eventFilter(QObject* watched, QEvent* event) override;

 private:
  struct Generated;
  struct Diffracted;
  struct Analysed;

  void buildOptions(QWidget* frame);
  void buildViews(QWidget* area);
  void showGenerated();
  void tabChanged(int index);
  void fillVertexList();
  void updateFT();
  void showTransformPicture();
  void brightnessPressed(int which);
  void brightnessTick();
  void showProfile(QPoint pos);
  void hideProfile();
  QImage visibleImage() const;
  void showMessage(const QString& text);
  void updateFtOptions();
  void showGain();
  void updateDiffraction();
  void showDiffraction();
  void pickPeak(QPointF pos);
  void showPeakCursor(QPointF pos);
  void pickFtPeak(QPoint pos);
  void showLegend();
  void startAnalysis();
  void showAnalysis();
  void applyPreset(int index);
  void showShiftSum();
  void exportCsv(bool vertices);
  void showCursor(int view, QPoint pos);

  AppPaths paths_;
  QPointer<QWidget> mainWindow_;
  std::mt19937 random_{kTilingRandomSeed};
  std::shared_ptr<const Tiling> tiling_;  // shared with the workers that draw and analyse it
  std::vector<int> legendShapes_;          // with colour by shape: the shapes in legend order
  bool generating_ = false;
  QFutureWatcher<std::shared_ptr<Generated>>* watcher_ = nullptr;
  bool analysing_ = false;
  QFutureWatcher<std::shared_ptr<Analysed>>* analysisWatcher_ = nullptr;
  SharpZoom* tilingZoom_ = nullptr;
  ComplexImage transform_;
  bool transformCurrent_ = false;
  int selectedTab_ = TilingTab;
  int timerTag_ = 0;  // 1 darker, 2 brighter, 0 at rest
  ColorValue gridColor_ = kBlack;

  QAction* drawAction_ = nullptr;
  QAction* saveAction_ = nullptr;
  QAction* copyAction_ = nullptr;
  QAction* pictureAction_ = nullptr;
  QAction* csvAction_ = nullptr;
  QAction* verticesCsvAction_ = nullptr;
  QAction* helpAction_ = nullptr;
  QScrollBar* scrF_ = nullptr;
  QScrollBar* scrN_ = nullptr;
  QScrollBar* scrZoom_ = nullptr;
  QScrollBar* scrB_ = nullptr;
  QButtonGroup* shiftGroup_ = nullptr;
  QLabel* swatches_[10] = {};
  QLabel* legendTexts_[10] = {};
  QLabel* message_ = nullptr;
  QTabBar* tabs_ = nullptr;
  QStackedWidget* views_ = nullptr;
  PictureBox* pb_ = nullptr;
  PictureBox* pb2_ = nullptr;
  PictureBox* pb3_ = nullptr;
  QWidget* ftPage_ = nullptr;
  QTableView* lst_ = nullptr;
  VertexListModel* listModel_ = nullptr;
  QLabel* darker_ = nullptr;
  QLabel* brighter_ = nullptr;
  QTimer* timer_ = nullptr;
  QWidget* profileLine_ = nullptr;
  PictureBox* profileStrip_ = nullptr;
  QLabel* statusPanels_[4] = {};
  QWidget* ftOptions_ = nullptr;
  QCheckBox* logDisplay_ = nullptr;
  QCheckBox* hideZero_ = nullptr;
  QLabel* gainLabel_ = nullptr;
  QWidget* diffractionOptions_ = nullptr;
  QDoubleSpinBox* kMax_ = nullptr;
  QDoubleSpinBox* internalMax_ = nullptr;
  QLabel* peakLabel_ = nullptr;
  QLabel* ftPeakLabel_ = nullptr;
  QLineEdit* shiftEdit_ = nullptr;
  QLabel* shiftSum_ = nullptr;
  QComboBox* preset_ = nullptr;
  QDoubleSpinBox* presetSum_ = nullptr;
  QCheckBox* colourByShape_ = nullptr;
  QLabel* note_ = nullptr;
  PictureBox* pb5_ = nullptr;
  QLabel* statistics_ = nullptr;
  QLabel* cursorLabel_ = nullptr;
  std::vector<std::array<double, 2>> latticePositions_;  // of the tiling on show
  PictureBox* pb4_ = nullptr;
  SharpZoom* peaksZoom_ = nullptr;
  // Shared with the worker that draws them zoomed.
  std::shared_ptr<const Peaks> peaks_ = std::make_shared<const Peaks>();
  bool peaksCurrent_ = false;
  bool computingPeaks_ = false;
  QFutureWatcher<std::shared_ptr<Diffracted>>* peakWatcher_ = nullptr;
};

}  // namespace lumora
