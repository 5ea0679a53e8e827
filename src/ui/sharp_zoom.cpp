#include "ui/sharp_zoom.hpp"
#include "ui/worker_result.hpp"

#include <QtConcurrent/QtConcurrentRun>

#include "ui/picture_box.hpp"

namespace lumora {

SharpZoom::SharpZoom(PictureBox* box) : QObject(box), box_(box), watcher_(new QFutureWatcher<Drawn>(this)) {
  connect(box_, &PictureBox::viewChanged, this, &SharpZoom::request);
  connect(watcher_, &QFutureWatcherBase::finished, this, &SharpZoom::finished);
}

SharpZoom::~SharpZoom() {
  // The worker holds its own share of the painter; only its result must not
  // arrive after the box is gone.
  watcher_->disconnect(this);
  watcher_->waitForFinished();
}

void SharpZoom::setPainter(Painter painter) {
  painter_ = painter ? std::make_shared<const Painter>(std::move(painter)) : nullptr;
  request();
}

void SharpZoom::request() {
  if (!painter_ || box_->viewIsSharp()) return;
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
  watcher_->setFuture(QtConcurrent::run([painter = painter_, zoom, offset, size, ratio] {
    return Drawn{(*painter)(zoom, offset, size, ratio), painter, zoom, offset};
  }));
}

void SharpZoom::finished() {
  // A picture that could not be drawn leaves the unsharp one.
  auto taken = TakeResult(watcher_->future());
  if (std::holds_alternative<QString>(taken)) return;
  const Drawn drawn = std::get<Drawn>(std::move(taken));
  // A picture of an earlier picture or view is of no use; the latest view follows.
  const bool current = drawn.painter && drawn.painter == painter_;
  if (current && drawn.zoom == box_->viewZoom() && drawn.offset == box_->viewOffset())
    box_->setViewImage(drawn.image, drawn.zoom, drawn.offset);
  if (pending_ || !box_->viewIsSharp()) request();
}

}  // namespace lumora
