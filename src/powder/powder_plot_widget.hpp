// The powder plot on screen: wheel zoom and drag pan along the abscissa, a
// readout of the value under the cursor, the lines' indices on hover over
// their tick marks, clicks on the pattern for editing the peaks, and Home for
// the whole range.
#pragma once

#include <QPoint>
#include <QString>
#include <QWidget>
#include <functional>
#include <optional>

#include "powder/powder_plot_painter.hpp"

namespace lumora {

class PowderPlotWidget : public QWidget {
  Q_OBJECT
 public:
  explicit PowderPlotWidget(QWidget* parent = nullptr);

  // The scene to show; keepView keeps the zoomed range when the axis is the
  // same (a new pattern of the same kind), otherwise the whole range is shown.
  // Set the limits after the scene.
  void setScene(PowderPlotScene scene, bool keepView);
  const PowderPlotScene& scene() const { return scene_; }
  // The abscissa limits zoom and pan stay within (axis units).
  void setLimits(const AxisRange& limits);
  const AxisRange& limits() const { return limits_; }
  void setView(const AxisRange& view);
  void showWholeRange();
  // The text the line under a tick gets as tooltip.
  void setLineDescriber(std::function<QString(int line)> describe) { describe_ = std::move(describe); }

  // Values at a widget position: 2 theta (degrees) and the intensity (NaN off the data area).
  double twoThetaAt(QPointF position) const;
  double intensityAt(QPointF position) const;
  // The tick mark at position (index into the scene's lines), or -1.
  int lineAt(QPointF position) const;
  // The x pixel of a 2 theta value.
  double pixelOf(double twoTheta) const;

 signals:
  // Cursor readout: 2 theta, d and intensity under the cursor (NaN when outside).
  void readout(double twoTheta, double d, double intensity);
  // A click (not a drag) on the data area at 2 theta.
  void clicked(double twoTheta, Qt::MouseButton button, Qt::KeyboardModifiers modifiers);
  void viewChanged();

 protected:
  void paintEvent(QPaintEvent* event) override;
  void wheelEvent(QWheelEvent* event) override;
  void mousePressEvent(QMouseEvent* event) override;
  void mouseMoveEvent(QMouseEvent* event) override;
  void mouseReleaseEvent(QMouseEvent* event) override;
  void keyPressEvent(QKeyEvent* event) override;
  void leaveEvent(QEvent* event) override;
  void resizeEvent(QResizeEvent* event) override;
  void changeEvent(QEvent* event) override;

 private:
  const PowderPlotLayout& layout() const;

  PowderPlotScene scene_;
  AxisRange limits_{0.0, 1.0};
  bool whole_ = true;
  mutable std::optional<PowderPlotLayout> layout_;  // of the scene, view and size on show  // the view follows the limits until the user zooms
  std::function<QString(int)> describe_;
  bool pressed_ = false;
  bool dragging_ = false;
  QPointF pressAt_;
  AxisRange pressView_;
};

}  // namespace lumora
