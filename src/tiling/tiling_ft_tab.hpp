// The tiling window's "FT" tab: the Fourier transform of the vertex picture
// with its brightness buttons, display options, row profile and the peak a
// click names. Its parts sit in several places of the window's view column,
// so this object makes them and the column places them.
#pragma once

#include <QObject>
#include <QPoint>
#include <QString>
#include <memory>

#include "fourier/complex_image.hpp"
#include "tiling/tiling.hpp"

class QCheckBox;
class QLabel;
class QTimer;

namespace lumora {

class PictureBox;

class TilingFtTab : public QObject {
  Q_OBJECT
 public:
  explicit TilingFtTab(QObject* parent = nullptr);

  // The parts: the brightness buttons beside the tab bar, the display options
  // above the pictures, the transform picture and the peak readout below.
  QLabel* darker() const { return darker_; }
  QLabel* brighter() const { return brighter_; }
  QWidget* options() const { return options_; }
  PictureBox* picture() const { return picture_; }
  QLabel* peakLabel() const { return peakLabel_; }
  // The profile line and strip over the picture; call once the picture is placed.
  void addProfile();

  // Shows or hides the parts outside the picture; hiding also drops the profile.
  void setShown(bool shown);
  // A new tiling: its transform is computed when next asked for.
  void setTiling(std::shared_ptr<const Tiling> tiling);
  // Transforms the tiling's vertex picture unless done already.
  void update();
  const ComplexImage& transform() const { return transform_; }
  bool isCurrent() const { return current_; }

  // The row profile under the held button at a picture position, and its end.
  void showProfile(QPoint pos);
  void hideProfile();
  // Names the strongest coefficient near a click on the picture and, where
  // one lies within a pixel, its module point of internal length up to internalMax.
  void pickPeak(QPoint pos, double internalMax);

 signals:
  // A transform was computed; its report for the message line.
  void transformed(const QString& message);

 protected:
  bool eventFilter(QObject* watched, QEvent* event) override;

 private:
  void showPicture();
  void showGain();
  void updateOptions();
  void brightnessPressed(bool brighter);
  void brightnessTick();

  std::shared_ptr<const Tiling> tiling_;
  ComplexImage transform_;
  bool current_ = false;
  int timerTag_ = 0;  // 1 darker, 2 brighter, 0 at rest

  QLabel* darker_ = nullptr;
  QLabel* brighter_ = nullptr;
  QWidget* options_ = nullptr;
  QCheckBox* logDisplay_ = nullptr;
  QCheckBox* hideZero_ = nullptr;
  QLabel* gainLabel_ = nullptr;
  PictureBox* picture_ = nullptr;
  QLabel* peakLabel_ = nullptr;
  QWidget* profileLine_ = nullptr;
  PictureBox* profileStrip_ = nullptr;
  QTimer* timer_ = nullptr;
};

}  // namespace lumora
