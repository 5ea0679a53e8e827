// Keeps a zoomed tiling view sharp: each zoom or pan draws the visible part of
// the tiling afresh, on a worker, at the view's own resolution. Until that
// picture is ready the box shows the magnified one.
#pragma once

#include <QFutureWatcher>
#include <QImage>
#include <QObject>
#include <QPointF>
#include <memory>

#include "tiling/tiling.hpp"

namespace lumora {

class PictureBox;

class TilingZoom : public QObject {
  Q_OBJECT
 public:
  explicit TilingZoom(PictureBox* box);
  ~TilingZoom() override;

  // The tiling the box shows; the view is drawn again for it.
  void setTiling(std::shared_ptr<const Tiling> tiling);

 private:
  struct Drawn {
    QImage image;
    std::shared_ptr<const Tiling> tiling;  // held, so no later tiling can take its address
    double zoom = 1.0;
    QPointF offset;
  };
  void request();
  void finished();

  PictureBox* box_;
  std::shared_ptr<const Tiling> tiling_;
  QFutureWatcher<Drawn>* watcher_;
  bool pending_ = false;  // the view changed while a picture was being drawn
};

}  // namespace lumora
