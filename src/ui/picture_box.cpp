#include "ui/picture_box.hpp"

#include <QMouseEvent>
#include <QPainter>
#include <QWheelEvent>
#include <algorithm>
#include <cmath>

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
  viewImage_ = QImage();
  update();
}

void PictureBox::setViewImage(const QImage& image, double zoom, QPointF offset) {
  viewImage_ = image;
  viewImageZoom_ = zoom;
  viewImageOffset_ = offset;
  update();
}

bool PictureBox::viewIsSharp() const {
  return zoom_ == 1.0 || (!viewImage_.isNull() && viewImageZoom_ == zoom_ && viewImageOffset_ == offset_);
}

void PictureBox::paintEvent(QPaintEvent* event) {
  QFrame::paintEvent(event);
  QPainter painter(this);
  if (zoom_ == 1.0) {
    painter.drawImage(contentsRect().topLeft(), image_);
    return;
  }
  if (viewIsSharp()) {
    painter.drawImage(contentsRect().topLeft(), viewImage_);
    return;
  }
  const QSizeF seen(size_.width() / zoom_, size_.height() / zoom_);
  // The source is in the image's own pixels, of which a high-density picture has more.
  const double ratio = image_.devicePixelRatio();
  painter.drawImage(QRectF(contentsRect().topLeft(), QSizeF(size_)), image_, QRectF(offset_ * ratio, seen * ratio));
}

QPoint PictureBox::toPicture(const QPointF& widgetPos) const {
  const QPointF inside = widgetPos - contentsRect().topLeft();
  if (zoom_ == 1.0) return inside.toPoint();
  const QPointF p = offset_ + inside / zoom_;
  return QPoint(static_cast<int>(std::floor(p.x())), static_cast<int>(std::floor(p.y())));
}

QPointF PictureBox::toPicturePoint(const QPointF& widgetPos) const {
  return offset_ + (widgetPos - contentsRect().topLeft()) / zoom_;
}

int PictureBox::widgetY(int pictureY) const {
  return static_cast<int>(std::lround((pictureY - offset_.y()) * zoom_)) + contentsRect().top();
}

void PictureBox::resetView() {
  zoom_ = 1.0;
  offset_ = QPointF();
  update();
  emit viewChanged();
}

void PictureBox::clampOffset() {
  const double maxX = size_.width() - size_.width() / zoom_;
  const double maxY = size_.height() - size_.height() / zoom_;
  offset_ = QPointF(std::clamp(offset_.x(), 0.0, std::max(maxX, 0.0)), std::clamp(offset_.y(), 0.0, std::max(maxY, 0.0)));
}

void PictureBox::wheelEvent(QWheelEvent* event) {
  if (!navigable_ || event->angleDelta().y() == 0) {
    QFrame::wheelEvent(event);
    return;
  }
  const QPointF inside = event->position() - contentsRect().topLeft();
  const QPointF under = offset_ + inside / zoom_;  // stays under the cursor
  zoom_ = std::clamp(zoom_ * (event->angleDelta().y() > 0 ? 1.25 : 0.8), 1.0, 16.0);
  if (zoom_ < 1.0001) zoom_ = 1.0;
  offset_ = under - inside / zoom_;
  clampOffset();
  update();
  emit viewChanged();
  emit moved(toPicture(event->position()), event->buttons());
  emit pointMoved(toPicturePoint(event->position()));
  event->accept();
}

void PictureBox::mousePressEvent(QMouseEvent* event) {
  if (navigable_ && (event->button() == Qt::RightButton || event->button() == Qt::MiddleButton)) {
    panning_ = true;
    panFrom_ = event->position();
    return;
  }
  emit pressed(toPicture(event->position()), event->button());
  emit pointPressed(toPicturePoint(event->position()), event->button());
}

void PictureBox::mouseMoveEvent(QMouseEvent* event) {
  if (panning_) {
    offset_ -= (event->position() - panFrom_) / zoom_;
    panFrom_ = event->position();
    clampOffset();
    update();
    emit viewChanged();
  }
  // A pan is not a drag of the left button's kind.
  emit moved(toPicture(event->position()), navigable_ ? event->buttons() & Qt::LeftButton : event->buttons());
  emit pointMoved(toPicturePoint(event->position()));
}

void PictureBox::mouseReleaseEvent(QMouseEvent* event) {
  if (panning_ && (event->button() == Qt::RightButton || event->button() == Qt::MiddleButton)) {
    panning_ = false;
    return;
  }
  const QPoint pos = toPicture(event->position());
  emit released(pos, event->button());
  if (rect().contains(event->position().toPoint())) emit clicked();
}

}  // namespace lumora
