#include "tiling/tiling_ft_tab.hpp"

#include <QApplication>
#include <QCheckBox>
#include <QHBoxLayout>
#include <QLabel>
#include <QMouseEvent>
#include <QPainter>
#include <QTimer>
#include <algorithm>
#include <cmath>

#include "common/numeric.hpp"
#include "fourier/ft_peak.hpp"
#include "fourier/ft_profile.hpp"
#include "tiling/peak_pick.hpp"
#include "tiling/tiling_inputs.hpp"
#include "tiling/tiling_painter.hpp"
#include "ui/picture_box.hpp"

namespace lumora {
namespace {

constexpr int kPictureSize = TilingLimits::kCanvasSize;
constexpr int kStripHeight = 100;  // inner height of the profile strip
constexpr int kBrightnessRepeatMs = 10;
constexpr int kPickRadius = 6;              // pixels around a click searched for its peak
constexpr std::size_t kMaxPickedNear = 64;  // module points within a pixel of a picked peak
const char* const kPickHint = "Click a peak for its k and, at a module point, its indices";

}  // namespace

TilingFtTab::TilingFtTab(QObject* parent) : QObject(parent) {
  darker_ = new QLabel(QStringLiteral("[Darker]"));
  darker_->setObjectName(QStringLiteral("lbBR1_0"));
  darker_->setToolTip(QStringLiteral("Decrease Intensity Factor"));
  brighter_ = new QLabel(QStringLiteral("[Brighter]"));
  brighter_->setObjectName(QStringLiteral("lbBR1_1"));
  brighter_->setToolTip(QStringLiteral("Increase Intensity Factor"));
  for (QLabel* label : {darker_, brighter_}) {
    label->setCursor(Qt::PointingHandCursor);
    label->installEventFilter(this);
    label->hide();
  }

  options_ = new QWidget;
  options_->setObjectName(QStringLiteral("ftOptions"));
  auto* row = new QHBoxLayout(options_);
  row->setContentsMargins(0, 0, 0, 0);
  logDisplay_ = new QCheckBox(QStringLiteral("Log"));
  logDisplay_->setObjectName(QStringLiteral("chkLog"));
  logDisplay_->setToolTip(QStringLiteral("Four decades of magnitude on the grey scale"));
  hideZero_ = new QCheckBox(QStringLiteral("Hide zero frequency"));
  hideZero_->setObjectName(QStringLiteral("chkHideZero"));
  gainLabel_ = new QLabel;
  gainLabel_->setObjectName(QStringLiteral("lbGain"));
  row->addWidget(logDisplay_);
  row->addWidget(hideZero_);
  row->addStretch(1);
  row->addWidget(gainLabel_);
  connect(logDisplay_, &QCheckBox::toggled, this, &TilingFtTab::updateOptions);
  connect(hideZero_, &QCheckBox::toggled, this, &TilingFtTab::updateOptions);
  options_->hide();

  picture_ = new PictureBox(kPictureSize, kPictureSize);
  picture_->setObjectName(QStringLiteral("pb3"));

  peakLabel_ = new QLabel(QString::fromLatin1(kPickHint));
  peakLabel_->setObjectName(QStringLiteral("lbFtPeak"));
  peakLabel_->setTextInteractionFlags(Qt::TextSelectableByMouse);
  peakLabel_->setWordWrap(true);
  // The peak and its module point take a line each.
  peakLabel_->setMinimumHeight(2 * peakLabel_->fontMetrics().lineSpacing() + 4);
  peakLabel_->hide();

  // The profile follows the held left button.
  connect(picture_, &PictureBox::moved, this, [this](QPoint pos, Qt::MouseButtons buttons) {
    if (buttons & Qt::LeftButton) showProfile(pos);
  });
  connect(picture_, &PictureBox::released, this, [this](QPoint, Qt::MouseButton button) {
    if (button == Qt::LeftButton) hideProfile();
  });

  timer_ = new QTimer(this);
  timer_->setObjectName(QStringLiteral("Timer1"));
  timer_->setInterval(kBrightnessRepeatMs);
  connect(timer_, &QTimer::timeout, this, &TilingFtTab::brightnessTick);

  transform_.SetDimensionFFT(kPictureSize);
}

void TilingFtTab::addProfile() {
  profileLine_ = new QWidget(picture_);
  profileLine_->setObjectName(QStringLiteral("Line1_0"));
  profileLine_->setAutoFillBackground(true);
  QPalette red = profileLine_->palette();
  red.setColor(QPalette::Window, QColor(255, 0, 0));
  profileLine_->setPalette(red);
  profileLine_->setAttribute(Qt::WA_TransparentForMouseEvents);
  profileLine_->hide();
  profileStrip_ = new PictureBox(kPictureSize, kStripHeight, 1, picture_);
  profileStrip_->setObjectName(QStringLiteral("dummy"));
  profileStrip_->hide();
  connect(profileStrip_, &PictureBox::pressed, profileStrip_, &QWidget::hide);
}

void TilingFtTab::setShown(bool shown) {
  if (!shown) hideProfile();
  darker_->setVisible(shown);
  brighter_->setVisible(shown);
  options_->setVisible(shown);
  peakLabel_->setVisible(shown);
}

void TilingFtTab::setTiling(std::shared_ptr<const Tiling> tiling) {
  tiling_ = std::move(tiling);
  current_ = false;
  peakLabel_->setText(QString::fromLatin1(kPickHint));
}

void TilingFtTab::update() {
  if (current_ || !tiling_) return;
  QApplication::setOverrideCursor(Qt::WaitCursor);
  transform_.runFOURN(tiling_->vertexImage);
  current_ = true;
  showPicture();
  emit transformed(QString::fromStdString(transform_.message()));
  QApplication::restoreOverrideCursor();
}

void TilingFtTab::showPicture() {
  if (transform_.picture()) picture_->setImage(RasterToImage(*transform_.picture()));
  showGain();
}

void TilingFtTab::showGain() {
  gainLabel_->setText(QStringLiteral("Gain \u00d7%1").arg(static_cast<double>(transform_.gain()), 0, 'f', 2));
}

void TilingFtTab::updateOptions() {
  FtDisplayOptions options;
  options.logarithmic = logDisplay_->isChecked();
  options.hideZeroFrequency = hideZero_->isChecked();
  transform_.SetDisplayOptions(options);
  showPicture();
}

void TilingFtTab::pickPeak(QPoint pos, double internalMax) {
  if (!tiling_ || !current_) return;
  const FtArray& ft = transform_.ft();
  const auto peak = StrongestNear(ft, pos.x(), pos.y(), kPickRadius);
  const double origin = ft.width > 0 ? ft.Magnitude(0, 0) : 0.0;  // the number of vertices
  if (!peak || !(origin > 0.0)) return;
  // Transform pixels -> reciprocal edge lengths, as the cursor readout.
  const double perPixel = tiling_->inputs.zoom * 3.0 / ft.width;
  const double kx = peak->fx * perPixel, ky = peak->fy * perPixel;
  const double ratio = peak->magnitude / origin;
  QString text = QStringLiteral("Peak at k = (%1, %2), |k| = %3, I \u2248 %4")
                     .arg(kx, 0, 'f', 4)
                     .arg(ky, 0, 'f', 4)
                     .arg(std::hypot(kx, ky), 0, 'f', 4)
                     .arg(ratio * ratio, 0, 'g', 4);
  // The pixel holds k to half a pixel each way: a module point within one
  // pixel (and the internal limit of the diffraction tab) is this peak's.
  // Where dozens lie that near (high N), none of them is this peak's.
  bool tooDense = false;
  const auto point =
      ModulePointNear(tiling_->inputs.symmetry, kx, ky, perPixel, internalMax, kMaxPickedNear, &tooDense);
  if (point)
    text += QStringLiteral("\nModule point: %1").arg(QString::fromStdString(ModulePointText(*point)));
  else if (tooDense)
    text += QStringLiteral("\nModule points too dense here to name one (internal \u2264 %1)").arg(internalMax);
  else
    text += QStringLiteral("\nNo module point within a pixel (internal \u2264 %1)").arg(internalMax);
  peakLabel_->setText(text);
}

void TilingFtTab::brightnessPressed(bool brighter) {
  timerTag_ = brighter ? 2 : 1;
  timer_->start();
  transform_.ChangeBrightness(brighter ? 1 : -1);
  showPicture();
}

void TilingFtTab::brightnessTick() {
  if (timerTag_ == 0) {
    timer_->stop();
    return;
  }
  transform_.ChangeBrightness(timerTag_ == 2 ? 1 : -1);
  showPicture();
}

bool TilingFtTab::eventFilter(QObject* watched, QEvent* event) {
  if (watched == darker_ || watched == brighter_) {
    // The second click of a double click arrives as a double-click event: it
    // is a click like the first.
    if (event->type() == QEvent::MouseButtonPress || event->type() == QEvent::MouseButtonDblClick) {
      brightnessPressed(watched == brighter_);
      return true;
    }
    if (event->type() == QEvent::MouseButtonRelease) {
      timerTag_ = 0;
      timer_->stop();
      return true;
    }
  }
  return QObject::eventFilter(watched, event);
}

void TilingFtTab::showProfile(QPoint pos) {
  // The button may be held while the mouse leaves the picture: keep the line on it.
  const int y = std::clamp(pos.y(), 0, picture_->pictureHeight() - 1);
  // Under zoom the line follows the row on screen; the strip keeps 10 pixels from it.
  const int lineY = std::clamp(picture_->widgetY(y), 0, picture_->pictureHeight() - 1);
  profileLine_->setGeometry(0, lineY, picture_->pictureWidth(), 1);
  profileLine_->show();
  profileLine_->raise();

  float vmax = 0.0f;
  // The row under the line, as drawn (not the classic one row below it).
  std::vector<float> profile = GetDisplayedProfile(transform_.ft(), y, vmax);
  profile.resize(static_cast<std::size_t>(kPictureSize) + 1, 0.0f);
  const int inner = profileStrip_->pictureHeight();
  const std::vector<int> ys = ProfileGraph(profile, vmax, inner);
  QImage graph(profileStrip_->pictureWidth(), inner, QImage::Format_RGB32);
  graph.fill(Qt::white);
  {
    QPainter painter(&graph);
    painter.setPen(QColor(0, 0, 128));
    QPolygon points;
    for (int i = 0; i < kPictureSize; ++i) points << QPoint(i, ys[static_cast<std::size_t>(i)]);
    painter.drawPolyline(points);
    painter.setPen(Qt::black);
    painter.drawText(QRect(5, 2, graph.width() - 10, inner - 4), Qt::AlignLeft | Qt::AlignTop,
                     QStringLiteral("Max: %1").arg(static_cast<long long>(RoundHalfEven(vmax))));
  }
  profileStrip_->setImage(graph);
  const int frame = profileStrip_->frameWidth();
  profileStrip_->move(-frame, ProfileStripTop(lineY, inner, profileStrip_->height()));
  profileStrip_->show();
  profileStrip_->raise();
}

void TilingFtTab::hideProfile() {
  profileStrip_->hide();
  profileLine_->hide();
}

}  // namespace lumora
