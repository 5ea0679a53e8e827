#include "tiling/tiling_diffraction_tab.hpp"
#include "ui/worker_result.hpp"

#include <QDoubleSpinBox>
#include <QHBoxLayout>
#include <QLabel>
#include <QtConcurrent/QtConcurrentRun>

#include "tiling/peak_pick.hpp"
#include "tiling/tiling_inputs.hpp"
#include "tiling/tiling_painter.hpp"
#include "ui/picture_box.hpp"
#include "ui/sharp_zoom.hpp"

namespace lumora {
namespace {

constexpr int kPictureSize = TilingLimits::kCanvasSize;
constexpr std::size_t kMaxModulePoints = 20000;

QDoubleSpinBox* MakeLimit(const char* name, double value, const char* toolTip) {
  auto* box = new QDoubleSpinBox;
  box->setObjectName(QString::fromLatin1(name));
  box->setRange(0.1, 5.0);
  box->setSingleStep(0.1);
  box->setValue(value);
  box->setToolTip(QString::fromUtf8(toolTip));
  return box;
}

}  // namespace

// The exact diffraction, computed and painted on a worker.
struct TilingDiffractionTab::Diffracted {
  std::shared_ptr<const Tiling> source;
  DiffractionPeaks peaks;
  QImage picture;
  QString error;
};

TilingDiffractionTab::TilingDiffractionTab(QObject* parent) : QObject(parent) {
  options_ = new QWidget;
  options_->setObjectName(QStringLiteral("diffractionOptions"));
  auto* row = new QHBoxLayout(options_);
  row->setContentsMargins(0, 0, 0, 0);
  kMax_ = MakeLimit("spnKMax", 2.0, "Largest |k| in reciprocal edge lengths");
  internalMax_ = MakeLimit("spnInternal", 1.0, "Largest length of the internal (perpendicular) component of k");
  row->addWidget(new QLabel(QStringLiteral("|k| \u2264")));
  row->addWidget(kMax_);
  row->addWidget(new QLabel(QStringLiteral("internal \u2264")));
  row->addWidget(internalMax_);
  row->addStretch(1);
  for (QDoubleSpinBox* box : {kMax_, internalMax_})
    connect(box, &QDoubleSpinBox::valueChanged, this, [this] {
      current_ = false;
      if (shown_) update();
    });
  options_->hide();

  picture_ = new PictureBox(kPictureSize, kPictureSize);
  picture_->setObjectName(QStringLiteral("pb4"));
  zoom_ = new SharpZoom(picture_);
  // The spots are drawn afresh under zoom, finer than the picture's pixels: so is the picked peak.
  connect(picture_, &PictureBox::pointPressed, this, [this](QPointF pos, Qt::MouseButton button) {
    if (button == Qt::LeftButton) pickPeak(pos);
  });

  peakLabel_ = new QLabel;
  peakLabel_->setObjectName(QStringLiteral("lbPeak"));
  peakLabel_->setTextInteractionFlags(Qt::TextSelectableByMouse);
  peakLabel_->hide();

  watcher_ = new QFutureWatcher<std::shared_ptr<Diffracted>>(this);
  connect(watcher_, &QFutureWatcherBase::finished, this, &TilingDiffractionTab::showDiffraction);
}

TilingDiffractionTab::~TilingDiffractionTab() {
  // The worker only touches its own copies, but its result must not arrive
  // after the tab is gone.
  if (computing_) {
    watcher_->disconnect(this);
    watcher_->waitForFinished();
  }
}

void TilingDiffractionTab::setShown(bool shown) {
  shown_ = shown;
  options_->setVisible(shown);
  peakLabel_->setVisible(shown);
  if (shown) update();
}

void TilingDiffractionTab::setTiling(std::shared_ptr<const Tiling> tiling, std::vector<std::array<double, 2>> positions) {
  tiling_ = std::move(tiling);
  positions_ = std::move(positions);
  current_ = false;
}

double TilingDiffractionTab::internalMax() const { return internalMax_->value(); }

void TilingDiffractionTab::update() {
  if (current_ || computing_ || !tiling_) return;
  computing_ = true;
  current_ = true;
  peakLabel_->setText(QStringLiteral("Computing the Bragg peaks\u2026"));
  const int n = tiling_->inputs.symmetry;
  const double kMax = kMax_->value();
  const double internalMax = internalMax_->value();
  std::shared_ptr<const Tiling> source = tiling_;
  // The positions are copied: the worker never reads the window's tiling.
  const double ratio = picture_->devicePixelRatioF();
  watcher_->setFuture(QtConcurrent::run([n, kMax, internalMax, source, ratio, xs = positions_]() {
    auto out = std::make_shared<Diffracted>();
    out->source = source;
    std::string problem;
    auto points = FourierModulePoints(n, kMax, internalMax, kMaxModulePoints, &problem);
    if (!points) {
      out->error = QString::fromStdString(problem);
      return out;
    }
    out->peaks.symmetry = n;
    out->peaks.kMax = kMax;
    out->peaks.intensity = BraggIntensities(n, xs, *points);
    out->peaks.points = std::move(*points);
    out->picture = PaintPeaks(out->peaks.points, out->peaks.intensity, out->peaks.kMax, kPictureSize, ratio);
    return out;
  }));
}

void TilingDiffractionTab::showDiffraction() {
  auto taken = TakeResult(watcher_->future());
  computing_ = false;
  if (const QString* thrown = std::get_if<QString>(&taken)) {
    auto failed = std::make_shared<Diffracted>();
    failed->source = tiling_;
    failed->error = QStringLiteral("The diffraction pattern could not be computed: %1").arg(*thrown);
    taken = failed;
  }
  const std::shared_ptr<Diffracted> out = std::get<std::shared_ptr<Diffracted>>(std::move(taken));
  if (out->source != tiling_ || !current_) {
    // The tiling or the limits changed meanwhile: compute again if on show.
    current_ = false;
    if (shown_) update();
    return;
  }
  if (!out->error.isEmpty()) {
    peaks_ = std::make_shared<const DiffractionPeaks>();
    picture_->setImage(QImage());
    zoom_->setPainter(nullptr);
    peakLabel_->setText(out->error);
    return;
  }
  peaks_ = std::make_shared<const DiffractionPeaks>(std::move(out->peaks));
  picture_->setImage(out->picture);
  zoom_->setPainter([peaks = peaks_](double zoom, QPointF offset, QSize size, double ratio) {
    return PaintPeaksView(peaks->points, peaks->intensity, peaks->kMax, size.width(), zoom, offset, ratio);
  });
  peakLabel_->setText(
      QStringLiteral("%1 module points; click a peak for its k and indices").arg(peaks_->points.size()));
}

void TilingDiffractionTab::pickPeak(QPointF pos) {
  const DiffractionPeaks& peaks = *peaks_;
  if (peaks.points.empty()) return;
  // The drawn peak nearest to the click, within 10 picture pixels.
  const PeakFrame frame = PeakPictureFrame(kPictureSize, peaks.kMax);
  const auto chosen = NearestModulePoint(peaks.points, (pos.x() - frame.centre) / frame.pixelsPerK,
                                         (pos.y() - frame.centre) / frame.pixelsPerK, 10.0 / frame.pixelsPerK,
                                         &peaks.intensity, kPeakIntensityMin);
  if (!chosen) return;
  peakLabel_->setText(QStringLiteral("%1, I = %2")
                          .arg(QString::fromStdString(ModulePointText(peaks.points[*chosen])))
                          .arg(peaks.intensity[*chosen], 0, 'g', 5));
}

}  // namespace lumora
