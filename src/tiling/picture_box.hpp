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

 signals:
  // Positions are in picture pixels.
  void pressed(QPoint pos, Qt::MouseButton button);
  void moved(QPoint pos, Qt::MouseButtons buttons);
  void released(QPoint pos, Qt::MouseButton button);
  void clicked();

 protected:
  void paintEvent(QPaintEvent* event) override;
  void mousePressEvent(QMouseEvent* event) override;
  void mouseMoveEvent(QMouseEvent* event) override;
  void mouseReleaseEvent(QMouseEvent* event) override;

 private:
  QPoint toPicture(const QPointF& widgetPos) const;

  QSize size_;
  QImage image_;
};

}  // namespace lumora
