#include "tiling/tiling_zoom.hpp"

#include <QtConcurrent/QtConcurrentRun>

#include "tiling/picture_box.hpp"
#include "tiling/tiling_painter.hpp"

namespace lumora {

TilingZoom::TilingZoom(PictureBox* box) : QObject(box), box_(box), watcher_(new QFutureWatcher<Drawn>(this)) {
  connect(box_, &PictureBox::viewChanged, this, &TilingZoom::request);
  connect(watcher_, &QFutureWatcherBase::finished, this, &TilingZoom::finished);
}

TilingZoom::~TilingZoom() {
  // The worker holds its own share of the tiling; only its result must not
  // arrive after the box is gone.
  watcher_->disconnect(this);
  watcher_->waitForFinished();
}

void TilingZoom::setTiling(std::shared_ptr<const Tiling> tiling) {
  tiling_ = std::move(tiling);
  request();
}

void TilingZoom::request() {
  if (!tiling_ || box_->viewIsSharp()) return;
  // One picture at a time: a burst of wheel steps or a pan draws the latest view once.
  if (watcher_->isRunning()) {
    pending_ = true;
    return;
  }
  pending_ = false;
  const double zoom = box_->viewZoom();
  const QPointF offset = box_->viewOffset();
  const QSize size(box_->pictureWidth(), box_->pictureHeight());
  const double ratio = box_->devicePixelRatioF();
  watcher_->setFuture(QtConcurrent::run([tiling = tiling_, zoom, offset, size, ratio] {
    return Drawn{PaintTilingView(*tiling, zoom, offset, size, ratio), tiling, zoom, offset};
  }));
}

void TilingZoom::finished() {
  const Drawn drawn = watcher_->result();
  // A picture of an earlier tiling or view is of no use; the latest view follows.
  if (drawn.tiling == tiling_ && drawn.zoom == box_->viewZoom() && drawn.offset == box_->viewOffset())
    box_->setViewImage(drawn.image, drawn.zoom, drawn.offset);
  if (pending_ || !box_->viewIsSharp()) request();
}

}  // namespace lumora
