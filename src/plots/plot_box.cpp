#include "plots/plot_box.hpp"

#include <QKeyEvent>
#include <QMouseEvent>
#include <QPainter>

#include "plots/plot_scene.hpp"
#include "plots/scene_painter.hpp"

namespace lumora {

PlotBox::PlotBox(const QString& name, QWidget* parent) : QWidget(parent) {
  setObjectName(name);
  setAttribute(Qt::WA_OpaquePaintEvent);
  setMinimumSize(80, 80);
  setFocusPolicy(Qt::StrongFocus);
}

void PlotBox::setColors(ColorValue back, ColorValue fore) {
  back_ = back;
  fore_ = fore;
  update();
}

void PlotBox::setPicture(const QImage& picture) {
  picture_ = picture;
  update();
}

void PlotBox::clearPicture() {
  picture_ = QImage();
  update();
}

double PlotBox::scaleWidth() const { return width() * kTwipsPerPixel; }
double PlotBox::scaleHeight() const { return height() * kTwipsPerPixel; }

void PlotBox::paintEvent(QPaintEvent*) {
  QPainter painter(this);
  painter.fillRect(rect(), ToQColor(back_));
  if (!picture_.isNull()) painter.drawImage(QPoint(0, 0), picture_);
}

void PlotBox::resizeEvent(QResizeEvent* event) {
  QWidget::resizeEvent(event);
  emit resized();
}

void PlotBox::mousePressEvent(QMouseEvent* event) {
  setFocus(Qt::MouseFocusReason);
  emit mousePressed(event->position() * kTwipsPerPixel, event->button());
}

void PlotBox::mouseMoveEvent(QMouseEvent* event) { emit mouseMoved(event->position() * kTwipsPerPixel, event->buttons()); }

void PlotBox::mouseReleaseEvent(QMouseEvent*) { emit mouseReleased(); }

void PlotBox::keyPressEvent(QKeyEvent* event) {
  switch (event->key()) {
    case Qt::Key_Left:
    case Qt::Key_Right:
    case Qt::Key_Up:
    case Qt::Key_Down:
      emit keyPressed(event->key());
      event->accept();
      return;
    default: QWidget::keyPressEvent(event);
  }
}

}  // namespace lumora
