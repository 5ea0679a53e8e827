// A fixed-size picture that keeps its image and reports the mouse.
#pragma once

#include <QFrame>
#include <QImage>

namespace lumora {

class PictureBox : public QFrame {
  Q_OBJECT
 public:
  // A picture of w x h pixels inside an optional frame of the given width.
  PictureBox(int w, int h, int frameWidth = 0, QWidget* parent = nullptr);

  void setImage(const QImage& image);
  const QImage& image() const { return image_; }
  int pictureWidth() const { return size_.width(); }
  int pictureHeight() const { return size_.height(); }

  // Wheel zoom (1x to 16x, about the cursor) and pan with the right or
  // middle button held; the left button keeps its meaning. Positions in the
  // signals stay picture pixels whatever the view.
  void setNavigable(bool on) { navigable_ = on; }
  double viewZoom() const { return zoom_; }
  QPointF viewOffset() const { return offset_; }
  void resetView();
  // A picture drawn for the view at that zoom and offset (at the screen's
  // pixel ratio): shown instead of the magnified image while the view stays
  // there. A new image or another view drops it.
  void setViewImage(const QImage& image, double zoom, QPointF offset);
  // The view shows pixels of its own resolution: unzoomed, or zoomed with a
  // picture drawn for it.
  bool viewIsSharp() const;
  // Widget y of the picture row y under the current view.
  int widgetY(int pictureY) const;

 signals:
  // Positions are in picture pixels.
  void pressed(QPoint pos, Qt::MouseButton button);
  void moved(QPoint pos, Qt::MouseButtons buttons);
  void released(QPoint pos, Qt::MouseButton button);
  void clicked();
  // The same positions unrounded, for pictures that a zoomed view draws
  // finer than their pixels.
  void pointMoved(QPointF pos);
  void pointPressed(QPointF pos, Qt::MouseButton button);
  // The zoom or the offset changed.
  void viewChanged();

 protected:
  void paintEvent(QPaintEvent* event) override;
  void mousePressEvent(QMouseEvent* event) override;
  void mouseMoveEvent(QMouseEvent* event) override;
  void mouseReleaseEvent(QMouseEvent* event) override;
  void wheelEvent(QWheelEvent* event) override;

 private:
  QPoint toPicture(const QPointF& widgetPos) const;
  QPointF toPicturePoint(const QPointF& widgetPos) const;

  void clampOffset();

  QSize size_;
  QImage image_;
  bool navigable_ = false;
  double zoom_ = 1.0;
  QPointF offset_;  // picture point at the top left of the view
  bool panning_ = false;
  QPointF panFrom_;
  QImage viewImage_;
  double viewImageZoom_ = 0.0;
  QPointF viewImageOffset_;
};

}  // namespace lumora
