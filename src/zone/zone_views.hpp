// The zone window's pictures: the simulated pattern, the stereogram of the
// axes (a click asks to tilt there), and the measured image with the
// simulated zero layer laid over it (drag moves it, Shift+drag turns it, the
// wheel scales it; the overlay's centre, K and rotation are those of the fit
// once there is one).
#pragma once

#include <QImage>
#include <QWidget>
#include <optional>

#include "zone/grey_image.hpp"
#include "zone/stereogram.hpp"
#include "zone/zone_fit.hpp"
#include "zone/zone_pattern_painter.hpp"

namespace lumora {

class ZonePatternView : public QWidget {
  Q_OBJECT
 public:
  explicit ZonePatternView(QWidget* parent = nullptr);
  void setPattern(const ZonePattern* pattern, const ZonePictureOptions& options);
  QSize sizeHint() const override { return {460, 460}; }

 protected:
  void paintEvent(QPaintEvent* event) override;

 private:
  const ZonePattern* pattern_ = nullptr;
  ZonePictureOptions options_;
};

class StereogramView : public QWidget {
  Q_OBJECT
 public:
  explicit StereogramView(QWidget* parent = nullptr);
  // The axes and mirror normals seen from frame.
  void setView(const BeamFrame& frame, std::vector<AxisView> axes, std::vector<Direction> mirrors);
  // The widget position of a stereographic point.
  QPointF toScreen(double px, double py) const;
  QSize sizeHint() const override { return {300, 300}; }

 signals:
  // A click on the projection: the direction there, snapped to an axis
  // within 4 degrees.
  void directionClicked(const Direction& direction);

 protected:
  void paintEvent(QPaintEvent* event) override;
  void mousePressEvent(QMouseEvent* event) override;

 private:
  BeamFrame frame_;
  std::vector<AxisView> axes_;
  std::vector<Direction> mirrors_;
};

// The overlay's placement on the image: u = cx + K (gx cos r - gy sin r), v = cy - K (gx sin r + gy cos r).
struct OverlayPlacement {
  double k = 300.0, rotation = 0.0, cx = 0.0, cy = 0.0;  // px A, degrees, px
};

class ZoneImageView : public QWidget {
  Q_OBJECT
 public:
  explicit ZoneImageView(QWidget* parent = nullptr);
  // The image, shown between its 1st and 99.8th percentile.
  void setImage(const GreyImage* image);
  void setPattern(const ZonePattern* pattern);
  void setPlacement(const OverlayPlacement& placement);
  const OverlayPlacement& placement() const { return placement_; }
  void setFoundSpots(const std::vector<FoundSpot>* spots) { found_ = spots, update(); }
  QSize sizeHint() const override { return {460, 360}; }

 signals:
  void placementChanged(const OverlayPlacement& placement);

 protected:
  void paintEvent(QPaintEvent* event) override;
  void mousePressEvent(QMouseEvent* event) override;
  void mouseMoveEvent(QMouseEvent* event) override;
  void wheelEvent(QWheelEvent* event) override;

 private:
  QRectF imageRect() const;  // where the image lies in the widget
  double scale() const;      // widget pixels per image pixel
  const GreyImage* image_ = nullptr;
  const ZonePattern* pattern_ = nullptr;
  const std::vector<FoundSpot>* found_ = nullptr;
  QImage shown_;
  OverlayPlacement placement_;
  QPointF dragStart_;
  OverlayPlacement dragPlacement_;
};

}  // namespace lumora
