// Keeps a zoomed picture sharp: each zoom or pan draws the visible part
// afresh, on a worker, at the view's own resolution. Until that picture is
// ready the box shows the magnified one.
#pragma once

#include <QFutureWatcher>
#include <QImage>
#include <QObject>
#include <QPointF>
#include <QSize>
#include <functional>
#include <memory>

namespace lumora {

class PictureBox;

class SharpZoom : public QObject {
  Q_OBJECT
 public:
  // Draws the part of the picture a view shows: the picture point `offset` at
  // the top left, `zoom` view pixels per picture pixel, size pixels at the
  // pixel ratio. It runs on a worker, so it holds (or shares) all it reads.
  using Painter = std::function<QImage(double zoom, QPointF offset, QSize size, double pixelRatio)>;

  explicit SharpZoom(PictureBox* box);
  ~SharpZoom() override;

  // How to draw the picture the box now shows (set after the box's image);
  // without one a zoomed view stays magnified.
  void setPainter(Painter painter);

 private:
  struct Drawn {
    QImage image;
    std::shared_ptr<const Painter> painter;  // held, so no later painter can take its address
    double zoom = 1.0;
    QPointF offset;
  };
  void request();
  void finished();

  PictureBox* box_;
  std::shared_ptr<const Painter> painter_;
  QFutureWatcher<Drawn>* watcher_;
  bool pending_ = false;  // the view changed while a picture was being drawn
};

}  // namespace lumora
