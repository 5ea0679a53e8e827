// A picture box for a plot: shows the last drawn picture, copied in one step,
// and keeps it when uncovered.
#pragma once

#include <QImage>
#include <QWidget>

#include "plots/color.hpp"

namespace lumora {

class PlotBox : public QWidget {
  Q_OBJECT
 public:
  explicit PlotBox(const QString& name, QWidget* parent = nullptr);

  void setColors(ColorValue back, ColorValue fore);
  ColorValue backColor() const { return back_; }
  ColorValue foreColor() const { return fore_; }

  // Replaces the shown picture.
  void setPicture(const QImage& picture);
  // An empty box in the background colour.
  void clearPicture();
  const QImage& picture() const { return picture_; }

  // The drawing area in twips.
  double scaleWidth() const;
  double scaleHeight() const;

 signals:
  void resized();
  // Mouse positions are in twips from the top-left corner.
  void mousePressed(QPointF position, Qt::MouseButton button);
  void mouseMoved(QPointF position, Qt::MouseButtons buttons);
  void mouseReleased();
  void keyPressed(int key);

 protected:
  void paintEvent(QPaintEvent* event) override;
  void resizeEvent(QResizeEvent* event) override;
  void mousePressEvent(QMouseEvent* event) override;
  void mouseMoveEvent(QMouseEvent* event) override;
  void mouseReleaseEvent(QMouseEvent* event) override;
  void keyPressEvent(QKeyEvent* event) override;

 private:
  QImage picture_;
  ColorValue back_ = kBlack;
  ColorValue fore_ = kWhite;
};

}  // namespace lumora
