#include "tiling/picture_box.hpp"

#include <QMouseEvent>
#include <QPainter>

namespace lumora {

PictureBox::PictureBox(int w, int h, int frameWidth, QWidget* parent) : QFrame(parent), size_(w, h) {
  if (frameWidth > 0) {
    setFrameStyle(QFrame::Box | QFrame::Plain);
    setLineWidth(frameWidth);
  }
  setFixedSize(w + 2 * frameWidth, h + 2 * frameWidth);
  image_ = QImage(w, h, QImage::Format_RGB32);
  image_.fill(Qt::black);
}

void PictureBox::setImage(const QImage& image) {
  image_ = image;
  update();
}

void PictureBox::paintEvent(QPaintEvent* event) {
  QFrame::paintEvent(event);
  QPainter painter(this);
  painter.drawImage(contentsRect().topLeft(), image_);
}

QPoint PictureBox::toPicture(const QPointF& widgetPos) const {
  return widgetPos.toPoint() - contentsRect().topLeft();
}

void PictureBox::mousePressEvent(QMouseEvent* event) {
  emit pressed(toPicture(event->position()), event->button());
}

void PictureBox::mouseMoveEvent(QMouseEvent* event) {
  emit moved(toPicture(event->position()), event->buttons());
}

void PictureBox::mouseReleaseEvent(QMouseEvent* event) {
  const QPoint pos = toPicture(event->position());
  emit released(pos, event->button());
  if (rect().contains(event->position().toPoint())) emit clicked();
}

}  // namespace lumora
