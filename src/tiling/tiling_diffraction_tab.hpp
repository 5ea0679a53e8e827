// The tiling window's "Diffraction" tab: the Bragg peaks of the exact vertex
// set, computed and painted on a worker, drawn afresh under zoom, with the
// limits above the picture and the picked peak below. Its parts sit in
// several places of the window's view column, so this object makes them and
// the column places them.
#pragma once

#include <QFutureWatcher>
#include <QImage>
#include <QObject>
#include <QPointF>
#include <QString>
#include <array>
#include <memory>
#include <vector>

#include "tiling/exact_diffraction.hpp"
#include "tiling/tiling.hpp"

class QDoubleSpinBox;
class QLabel;

namespace lumora {

class PictureBox;
class SharpZoom;

// The Bragg peaks of one tiling: module points with |k| up to kMax
// (reciprocal edge lengths) and their intensities relative to the strongest.
struct DiffractionPeaks {
  int symmetry = 0;
  std::vector<ModulePoint> points;
  std::vector<double> intensity;
  double kMax = 0.0;
};

class TilingDiffractionTab : public QObject {
  Q_OBJECT
 public:
  explicit TilingDiffractionTab(QObject* parent = nullptr);
  ~TilingDiffractionTab() override;

  // The parts: the limits above the pictures, the picture, the peak readout below.
  QWidget* options() const { return options_; }
  PictureBox* picture() const { return picture_; }
  QLabel* peakLabel() const { return peakLabel_; }

  // On show the peaks follow the tiling and the limits; hidden they wait.
  void setShown(bool shown);
  // A new tiling, with its vertices in edge lengths about the centre.
  void setTiling(std::shared_ptr<const Tiling> tiling, std::vector<std::array<double, 2>> positions);
  // The largest internal length of a module point that counts as a peak.
  double internalMax() const;

  const DiffractionPeaks& peaks() const { return *peaks_; }
  // Whether peaks() belong to the tiling and limits on show.
  bool peaksCurrent() const { return current_ && !computing_ && !peaks_->points.empty(); }
  bool isComputing() const { return computing_; }

 private:
  struct Diffracted;

  void update();
  void showDiffraction();
  void pickPeak(QPointF pos);

  std::shared_ptr<const Tiling> tiling_;
  std::vector<std::array<double, 2>> positions_;
  bool shown_ = false;
  // Shared with the worker that draws them zoomed.
  std::shared_ptr<const DiffractionPeaks> peaks_ = std::make_shared<const DiffractionPeaks>();
  bool current_ = false;
  bool computing_ = false;
  QFutureWatcher<std::shared_ptr<Diffracted>>* watcher_ = nullptr;

  QWidget* options_ = nullptr;
  QDoubleSpinBox* kMax_ = nullptr;
  QDoubleSpinBox* internalMax_ = nullptr;
  PictureBox* picture_ = nullptr;
  SharpZoom* zoom_ = nullptr;
  QLabel* peakLabel_ = nullptr;
};

}  // namespace lumora
