// The tiling vertex generator: options, the tiling, its vertex image, the
// vertex table and the Fourier transform of the vertex image, on its tabs.
// The window generates tilings on a worker and holds the file actions; its
// options column, its views and their tabs live in panels of their own.
#pragma once

#include <QFutureWatcher>
#include <QMainWindow>
#include <QPointer>
#include <QUrl>
#include <memory>
#include <random>
#include <vector>

#include "fourier/complex_image.hpp"
#include "tiling/tiling.hpp"
#include "tiling/tiling_diffraction_tab.hpp"
#include "tiling/tiling_views.hpp"
#include "ui/app_paths.hpp"

class QAction;
class QLabel;

namespace lumora {

class TilingOptionsPanel;

class TilingWindow : public QMainWindow {
  Q_OBJECT
 public:
  using Tab = TilingViews::Tab;
  using enum TilingViews::Tab;
  using Peaks = DiffractionPeaks;

  explicit TilingWindow(const AppPaths& paths, QWidget* mainWindow = nullptr, QWidget* parent = nullptr);
  ~TilingWindow() override;

  // The tiling on show; empty until the first generation has finished.
  const Tiling* tiling() const { return tiling_.get(); }
  bool isGenerating() const { return generating_; }
  // The statistics and the internal-space view follow the picture: true
  // while they are being worked out.
  bool isAnalysing() const { return views_->isAnalysing(); }
  // The transform object and whether it holds the transform of the current tiling.
  const ComplexImage& transform() const { return views_->ft().transform(); }
  bool transformCurrent() const { return views_->ft().isCurrent(); }
  QUrl helpUrl() const;
  // The Bragg peaks of the exact vertex set on show (empty until computed).
  const Peaks& peaks() const { return views_->diffraction().peaks(); }
  bool isComputingPeaks() const { return views_->diffraction().isComputing(); }

 public slots:
  void makeTiling();
  void saveCoordinates();
  void savePicture();
  void exportTilesCsv() { exportCsv(false); }
  void exportVerticesCsv() { exportCsv(true); }
  // The Diffraction tab's peaks; shows that tab first when they are not computed yet.
  void exportPeaksCsv();
  void copyImage();
  void showHelp();

 signals:
  // A generation has finished and its pictures and texts are on show.
  void tilingReady();

 protected:
  void closeEvent(QCloseEvent* event) override;

 private:
  struct Generated;

  void buildToolbar();
  void showGenerated();
  void exportCsv(bool vertices);
  void showMessage(const QString& text);
  // Draws now, or once the tiling being generated is on show. sameTiling
  // keeps the random shifts of the tiling on show (a change of colours only).
  void redraw(bool sameTiling);

  AppPaths paths_;
  QPointer<QWidget> mainWindow_;
  std::mt19937 random_{kTilingRandomSeed};
  std::mt19937 generatingFrom_{kTilingRandomSeed};  // random_ when the generation under way began
  std::mt19937 shownFrom_{kTilingRandomSeed};       // and when the tiling on show began
  bool redrawPending_ = false;
  bool redrawSameTiling_ = false;
  std::shared_ptr<const Tiling> tiling_;  // shared with the workers that draw and analyse it
  bool generating_ = false;
  QFutureWatcher<std::shared_ptr<Generated>>* watcher_ = nullptr;

  TilingOptionsPanel* options_ = nullptr;
  TilingViews* views_ = nullptr;
  QAction* drawAction_ = nullptr;
  // Save, copy and export: enabled once a tiling is on show.
  std::vector<QAction*> fileActions_;
  QLabel* statusPanels_[4] = {};
};

}  // namespace lumora
