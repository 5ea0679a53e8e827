// The tiling window's view column: the tab bar over the tiling, its vertices,
// the vertex list, the transform, the exact diffraction, the internal-space
// view and the statistics, with the cursor readout below. The statistics and
// the internal view are worked out on a worker once a tiling is on show.
#pragma once

#include <QFutureWatcher>
#include <QImage>
#include <QWidget>
#include <array>
#include <memory>
#include <vector>

#include "tiling/tiling.hpp"
#include "tiling/tiling_diffraction_tab.hpp"
#include "tiling/tiling_ft_tab.hpp"

class QLabel;
class QStackedWidget;
class QTabBar;
class QTableView;

namespace lumora {

class PictureBox;
class SharpZoom;
class VertexListModel;

class TilingViews : public QWidget {
  Q_OBJECT
 public:
  enum Tab { TilingTab = 0, VerticesTab = 1, ListTab = 2, FtTab = 3, DiffractionTab = 4, InternalTab = 5, StatisticsTab = 6 };

  explicit TilingViews(QWidget* parent = nullptr);
  ~TilingViews() override;

  int currentTab() const { return selectedTab_; }
  void setCurrentTab(Tab tab);
  // The tiling picture, whose size and pixel ratio a new tiling is drawn for.
  const PictureBox& tilingPicture() const { return *pb_; }

  // A generated tiling with its pictures and its vertices in edge lengths
  // about the centre: on show at once, the tab on show brought up to date.
  void showTiling(std::shared_ptr<const Tiling> tiling, const QImage& tilingImage, const QImage& vertexImage,
                  std::vector<std::array<double, 2>> latticePositions);
  // The picture on show: on the list, the vertex picture; on the statistics, their text.
  QImage visibleImage() const;

  bool isAnalysing() const { return analysing_; }
  const TilingFtTab& ft() const { return *ft_; }
  const TilingDiffractionTab& diffraction() const { return *diffraction_; }

 signals:
  // A click on the tiling or on the vertex picture.
  void drawRequested();
  // The transform's report, for the message line.
  void transformed(const QString& message);

 private:
  struct Analysed;

  void tabChanged(int index);
  void fillVertexList();
  void showCursor(int view, QPoint pos);
  void showPeakCursor(QPointF pos);
  void startAnalysis();
  void showAnalysis();

  std::shared_ptr<const Tiling> tiling_;  // shared with the workers that draw and analyse it
  std::vector<std::array<double, 2>> latticePositions_;
  int selectedTab_ = TilingTab;
  bool analysing_ = false;
  QFutureWatcher<std::shared_ptr<Analysed>>* analysisWatcher_ = nullptr;

  TilingFtTab* ft_ = nullptr;
  TilingDiffractionTab* diffraction_ = nullptr;
  QTabBar* tabs_ = nullptr;
  QStackedWidget* views_ = nullptr;
  PictureBox* pb_ = nullptr;
  SharpZoom* tilingZoom_ = nullptr;
  PictureBox* pb2_ = nullptr;
  QTableView* lst_ = nullptr;
  VertexListModel* listModel_ = nullptr;
  PictureBox* pb5_ = nullptr;
  QLabel* statistics_ = nullptr;
  QLabel* cursorLabel_ = nullptr;
};

}  // namespace lumora
