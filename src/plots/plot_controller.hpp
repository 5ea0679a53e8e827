// The plots of the main window: the plot band with the 2D and 3D boxes, their
// control strip (zooms, spot size, layer thickness, large view), the large
// view, the view options, and the rotation of the 3D plot by keys and drags.
#pragma once

#include <QObject>
#include <QImage>
#include <QPointF>
#include <atomic>
#include <functional>
#include <memory>
#include <string>

#include "plots/plot_scenes.hpp"
#include "plots/point_table.hpp"
#include "plots/view_options.hpp"
#include "reflections/calculation.hpp"

class QAction;
class QDoubleSpinBox;
class QGroupBox;
class QSlider;
class QToolButton;
class QWidget;

namespace lumora {

class PlotBox;

// What the first pictures of a run need, taken on the window's thread so that
// a worker can draw them: the view options as a run resets them and the boxes
// that are seen.
struct PlotJob {
  ViewOptions options;
  struct Box {
    PlotBox* box = nullptr;  // touched on the window's thread only
    bool threeD = false;
    int width = 0;  // pixels
    int height = 0;
    double pixelRatio = 1.0;  // device pixels per pixel
  };
  std::vector<Box> boxes;
};

// The point table and the pictures of a run, one per box of its job.
struct PreparedPlots {
  PointTable points;
  std::vector<QImage> pictures;
};

class PlotController : public QObject {
  Q_OBJECT
 public:
  explicit PlotController(QWidget* parent);

  QGroupBox* plotBand() const { return plotBand_; }
  QWidget* controlStrip() const { return strip_; }
  QWidget* bigView() const { return bigView_; }
  PlotBox* box2D() const { return pb2D_; }
  PlotBox* box3D() const { return pb3D_; }
  PlotBox* bigBox() const { return pbBig_; }

  // The View menu's seven option items, by flag; their check marks follow the options.
  void bindOption(ViewFlag flag, QAction* action);

  // The job of the next run's pictures.
  PlotJob captureJob() const;
  // Builds the point table (the icosahedral system turned to its start
  // orientation) and draws the job's pictures; safe on any thread. progress
  // gets 0..1; a set cancel flag ends it early with incomplete pictures.
  // intensities (percent of the strongest, parallel to the records) may be null.
  static PreparedPlots Prepare(const PlotJob& job, const CalculationResult& result,
                               const std::vector<double>* intensities, const std::atomic<bool>* cancel,
                               const std::function<void(double)>& progress);
  // A completed run with its prepared plots; boxes resized meanwhile are drawn again.
  void showRun(std::shared_ptr<const CalculationResult> result,
               std::shared_ptr<const std::vector<double>> intensities, PreparedPlots prepared, const PlotJob& job);
  // The same, preparing on this thread.
  void showRun(std::shared_ptr<const CalculationResult> result,
               std::shared_ptr<const std::vector<double>> intensities = nullptr);
  // "New" and a cancelled run: empty plots.
  void clear();
  bool calculated() const { return calculated_; }

  const ViewOptions& options() const { return options_; }
  const PointTable& points() const { return points_; }
  bool bigViewOpen() const { return bigOpen_; }
  bool bigShows3D() const { return bigShows3D_; }
  PlotData data() const { return data_; }
  CrystalSystem system() const { return system_; }

  // The system in the inputs: "Highlight Directions" means nothing for the
  // icosahedral system; choosing it there clears the option.
  void setSystemChoice(CrystalSystem system, bool clicked);

  // The scenes the boxes show, for outputs that must match the screen.
  static PlotScene Scene2D(const PlotData& data, const PointTable& points, const ViewOptions& options,
                           const SceneTarget& target);
  // The screen picture of the 2D or 3D plot: the same pixels as the scene's.
  static QImage Picture(const PlotData& data, const PointTable& points, const ViewOptions& options,
                        const SceneTarget& target, bool threeD, int width, int height, double pixelRatio);
  // caption: drawn top left (saved pictures); empty for none.
  PlotScene scene2D(double width, double height, const std::string& caption = {}) const;
  PlotScene scene3D(double width, double height, const std::string& caption = {}) const;
  // What box shows, drawn again with a caption.
  QImage captionedPicture(const PlotBox* box, bool threeD, const std::string& caption) const;

 public slots:
  void toggleOption(ViewFlag flag);
  void cycleBackground();
  // Turns the 3D plot about axis 1..3 and redraws it, without sorting.
  void rotate(int axis, float angle);
  void zoom2D(int direction);  // +1 in, -1 out, 0 reset
  void zoom3D(int direction);
  void toggleBigView(bool show3D);
  void closeBigView();

 signals:
  void bigViewChanged(bool open);

 private:
  void buildPlotBand(QWidget* parent);
  void buildStrip(QWidget* parent);
  void buildBigView(QWidget* parent);
  void connectBox(PlotBox* box);
  void applyViewOptions();
  void redraw2D();
  void redraw3D();
  void redrawAfterRotation();
  void paint2D(PlotBox* box);
  void paint3D(PlotBox* box);
  void syncActions();
  void setColors();
  void onPress(PlotBox* box, QPointF position, Qt::MouseButton button);
  void onMove(PlotBox* box, QPointF position, Qt::MouseButtons buttons);
  void onKey(PlotBox* box, int key);
  bool icosahedral() const { return system_ == CrystalSystem::Icosahedral; }

  QGroupBox* plotBand_ = nullptr;
  QWidget* strip_ = nullptr;
  QWidget* bigView_ = nullptr;
  PlotBox* pb2D_ = nullptr;
  PlotBox* pb3D_ = nullptr;
  PlotBox* pbBig_ = nullptr;
  QSlider* slZERO_ = nullptr;
  QSlider* slRFAC_ = nullptr;
  QAction* actions_[kViewFlagCount] = {};
  QDoubleSpinBox* sbMinI_ = nullptr;
  std::shared_ptr<const std::vector<double>> intensities_;

  ViewOptions options_;
  std::shared_ptr<const CalculationResult> result_;
  PlotData data_;
  PointTable points_;
  CrystalSystem system_ = CrystalSystem::Decagonal;
  bool calculated_ = false;
  bool bigOpen_ = false;
  bool bigShows3D_ = false;
  QPointF last_;  // last mouse position of a drag, twips
};

}  // namespace lumora
