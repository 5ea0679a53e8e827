#include "plots/plot_controller.hpp"

#include <QAction>
#include <QDoubleSpinBox>
#include <QApplication>
#include <QFrame>
#include <QGroupBox>
#include <QHBoxLayout>
#include <QLabel>
#include <QSlider>
#include <QStyle>
#include <QToolButton>
#include <QVBoxLayout>

#include "inputs/named_inputs.hpp"
#include "plots/plot_box.hpp"
#include "ui/theme_icon.hpp"
#include "plots/drag_rotation.hpp"
#include "plots/raster_painter.hpp"

namespace lumora {
namespace {

QToolButton* MakeButton(QWidget* parent, const QString& name, const QString& text, const QString& tip) {
  auto* button = new QToolButton(parent);
  button->setObjectName(name);
  button->setText(text);
  button->setToolTip(tip);
  button->setAutoRaise(true);
  button->setFocusPolicy(Qt::NoFocus);
  return button;
}

}  // namespace

PlotController::PlotController(QWidget* parent) : QObject(parent) {
  buildPlotBand(parent);
  buildStrip(parent);
  buildBigView(parent);
  setColors();
  for (PlotBox* box : {pb2D_, pb3D_, pbBig_}) connectBox(box);
}

void PlotController::buildPlotBand(QWidget* parent) {
  plotBand_ = new QGroupBox(QStringLiteral("Left: 2D ( 0th layer, static) Right: 3D (rotatable)"), parent);
  plotBand_->setObjectName(QStringLiteral("frTop"));
  auto* layout = new QHBoxLayout(plotBand_);
  layout->setContentsMargins(6, 6, 6, 6);
  layout->setSpacing(6);
  pb2D_ = new PlotBox(QStringLiteral("pb2D"), plotBand_);
  pb3D_ = new PlotBox(QStringLiteral("pb3D"), plotBand_);
  layout->addWidget(pb2D_, 1);
  layout->addWidget(pb3D_, 1);
}

void PlotController::buildStrip(QWidget* parent) {
  strip_ = new QWidget(parent);
  auto* layout = new QHBoxLayout(strip_);
  layout->setContentsMargins(4, 0, 4, 0);
  layout->setSpacing(2);
  auto zoomGroup = [&](const char* plot, auto zoom, auto big) {
    const QString p = QString::fromLatin1(plot);
    auto* caption = new QLabel(p + QStringLiteral(":"), strip_);
    caption->setSizePolicy(QSizePolicy::Fixed, QSizePolicy::Preferred);
    layout->addWidget(caption);
    auto* in = MakeButton(strip_, QStringLiteral("bINC") + p, QStringLiteral("+"), QStringLiteral("zoom in"));
    auto* out = MakeButton(strip_, QStringLiteral("bDEC") + p, QStringLiteral("\u2212"), QStringLiteral("zoom out"));
    auto* reset = MakeButton(strip_, QStringLiteral("bReset") + p, QStringLiteral("1:1"), QStringLiteral("reset zoom"));
    auto* large = MakeButton(strip_, QStringLiteral("bBig") + p, QString(), QStringLiteral("view in large window"));
    large->setIcon(ThemeIcon("view-fullscreen", QStyle::SP_TitleBarMaxButton));
    connect(in, &QToolButton::clicked, this, [this, zoom] { (this->*zoom)(1); });
    connect(out, &QToolButton::clicked, this, [this, zoom] { (this->*zoom)(-1); });
    connect(reset, &QToolButton::clicked, this, [this, zoom] { (this->*zoom)(0); });
    connect(large, &QToolButton::clicked, this, [this, big] { toggleBigView(big); });
    for (QToolButton* b : {in, out, reset, large}) layout->addWidget(b);
  };
  auto slider = [&](const char* name, const char* caption, const char* tip, int low, int high, int value) {
    auto* label = new QLabel(QString::fromLatin1(caption), strip_);
    label->setToolTip(QString::fromLatin1(tip));
    label->setSizePolicy(QSizePolicy::Fixed, QSizePolicy::Preferred);
    auto* s = new QSlider(Qt::Horizontal, strip_);
    s->setObjectName(QString::fromLatin1(name));
    s->setToolTip(QString::fromLatin1(tip));
    s->setRange(low, high);
    s->setValue(value);
    s->setMinimumWidth(70);
    s->setMaximumWidth(140);
    s->setFocusPolicy(Qt::NoFocus);
    layout->addSpacing(8);
    layout->addWidget(label);
    layout->addWidget(s, 1);
    return s;
  };
  zoomGroup("2D", &PlotController::zoom2D, false);
  // The sliders hold the ranges of --spots (in tenths) and --layer.
  const NumberRange& spots = input::kSpots.range;
  const NumberRange& layer = input::kLayer.range;
  slRFAC_ = slider("slRFAC", "Spots:", "Spot Radius Factor", static_cast<int>(spots.low * 10.0),
                   static_cast<int>(spots.high * 10.0), options_.spotRadiusSlider);
  slZERO_ = slider("slZERO", "dZ(3D):", "Layer Thickness", static_cast<int>(layer.low), static_cast<int>(layer.high),
                   options_.layerSlider);
  // The intensity threshold, for runs with a structure model.
  auto* minLabel = new QLabel(QStringLiteral("I \u2265"), strip_);
  minLabel->setSizePolicy(QSizePolicy::Fixed, QSizePolicy::Preferred);
  sbMinI_ = new QDoubleSpinBox(strip_);
  sbMinI_->setObjectName(QString::fromLatin1(input::kMinIntensity.field.data(),
                                             static_cast<qsizetype>(input::kMinIntensity.field.size())));
  sbMinI_->setToolTip(QStringLiteral("show only reflections with at least this percentage of the strongest intensity"));
  sbMinI_->setRange(input::kMinIntensity.range.low, input::kMinIntensity.range.high);
  sbMinI_->setDecimals(2);
  sbMinI_->setSuffix(QStringLiteral(" %"));
  sbMinI_->setEnabled(false);
  layout->addSpacing(8);
  layout->addWidget(minLabel);
  layout->addWidget(sbMinI_);
  connect(sbMinI_, &QDoubleSpinBox::valueChanged, this, [this](double value) {
    options_.minIntensity = value;
    applyViewOptions();
  });
  layout->addSpacing(8);
  zoomGroup("3D", &PlotController::zoom3D, true);
  layout->addStretch(1);
  connect(slRFAC_, &QSlider::valueChanged, this, [this](int value) {
    options_.spotRadiusSlider = value;
    applyViewOptions();
  });
  connect(slZERO_, &QSlider::valueChanged, this, [this](int value) {
    options_.layerSlider = value;
    redraw3D();
  });
}

void PlotController::buildBigView(QWidget* parent) {
  bigView_ = new QWidget(parent);
  bigView_->setObjectName(QStringLiteral("frBig"));
  auto* layout = new QHBoxLayout(bigView_);
  layout->setContentsMargins(7, 7, 2, 7);
  pbBig_ = new PlotBox(QStringLiteral("pbBig"), bigView_);
  layout->addWidget(pbBig_, 1);
  auto* column = new QFrame(bigView_);
  column->setObjectName(QStringLiteral("frBt"));
  auto* buttons = new QVBoxLayout(column);
  buttons->setContentsMargins(0, 0, 0, 0);
  const struct {
    const char* name;
    const char* tip;
    const char* theme;
    QStyle::StandardPixmap fallback;
  } kButtons[] = {
      {"btCopyBig", "copy to clipboard as WMF", "edit-copy", QStyle::SP_FileDialogContentsView},
      {"btSaveBig", "save as Bitmap (*.BMP)", "document-save", QStyle::SP_DialogSaveButton},
      {"btPrintBig", "print graphics", "document-print", QStyle::SP_DriveFDIcon},
      {"btCloseBig", "close large view window", "window-close", QStyle::SP_DialogCloseButton},
  };
  for (const auto& entry : kButtons) {
    auto* b = MakeButton(column, QString::fromLatin1(entry.name), QString(), QString::fromLatin1(entry.tip));
    b->setIcon(ThemeIcon(entry.theme, entry.fallback));
    b->setIconSize(QSize(24, 24));
    buttons->addWidget(b);
  }
  buttons->addStretch(1);
  layout->addWidget(column);
  connect(bigView_->findChild<QToolButton*>(QStringLiteral("btCloseBig")), &QToolButton::clicked, this,
          &PlotController::closeBigView);
}

void PlotController::connectBox(PlotBox* box) {
  connect(box, &PlotBox::resized, this, [this, box] {
    if (!calculated_ || !box->isVisible()) return;
    if (box == pb2D_ || (box == pbBig_ && !bigShows3D_)) paint2D(box);
    else paint3D(box);
  });
  connect(box, &PlotBox::mousePressed, this,
          [this, box](QPointF p, Qt::MouseButton button) { onPress(box, p, button); });
  connect(box, &PlotBox::mouseMoved, this, [this, box](QPointF p, Qt::MouseButtons buttons) { onMove(box, p, buttons); });
  connect(box, &PlotBox::mouseReleased, this, [this, box] {
    if (calculated_ && box != pb2D_) redrawAfterRotation();
  });
  connect(box, &PlotBox::keyPressed, this, [this, box](int key) { onKey(box, key); });
}

void PlotController::bindOption(ViewFlag flag, QAction* action) {
  actions_[static_cast<int>(flag)] = action;
  action->setCheckable(true);
  action->setChecked(options_.Flag(flag));
  connect(action, &QAction::triggered, this, [this, flag] { toggleOption(flag); });
}

void PlotController::syncActions() {
  for (int i = 0; i < kViewFlagCount; ++i) {
    if (!actions_[i]) continue;
    const QSignalBlocker block(actions_[i]);
    actions_[i]->setChecked(options_.Flag(static_cast<ViewFlag>(i)));
  }
}

void PlotController::setSystemChoice(CrystalSystem system, bool clicked) {
  const bool ico = system == CrystalSystem::Icosahedral;
  if (ico && clicked) options_.highlightDirections = false;
  if (QAction* directions = actions_[static_cast<int>(ViewFlag::HighlightDirections)]) directions->setEnabled(!ico);
  syncActions();
}

void PlotController::toggleOption(ViewFlag flag) {
  options_.Toggle(flag);
  syncActions();
  applyViewOptions();
}

void PlotController::setColors() {
  const ColorScheme scheme = BackgroundScheme(options_.backgroundMode);
  for (PlotBox* box : {pb2D_, pb3D_, pbBig_}) box->setColors(scheme.back, scheme.fore);
}

void PlotController::cycleBackground() {
  options_.backgroundMode = NextBackgroundMode(options_.backgroundMode);
  setColors();
  applyViewOptions();
}

namespace {

// The plot data of a run: the 3D scale is that of this run alone.
PlotData RunPlotData(const CalculationResult& result, const std::vector<double>* intensities) {
  return PlotData{&result.records, result.lattice.nDim, result.stats, result.stats.bounds.CoordMax(), intensities};
}

}  // namespace

PlotJob PlotController::captureJob() const {
  PlotJob job;
  job.options = options_;
  job.options.zoom2D = 1.0f;
  job.options.zoom3D = 1.0f;
  job.options.layerSlider = slZERO_->maximum();
  auto add = [&job](PlotBox* box, bool threeD) {
    job.boxes.push_back({box, threeD, box->width(), box->height(), box->devicePixelRatioF()});
  };
  if (bigOpen_) {
    add(pbBig_, bigShows3D_);
  } else {
    add(pb2D_, false);
    add(pb3D_, true);
  }
  return job;
}

PreparedPlots PlotController::Prepare(const PlotJob& job, const CalculationResult& result,
                                      const std::vector<double>* intensities, const std::atomic<bool>* cancel,
                                      const std::function<void(double)>& progress) {
  PreparedPlots prepared;
  const PlotData data = RunPlotData(result, intensities);
  prepared.points = MakePointTable(result.records);
  if (result.lattice.system == CrystalSystem::Icosahedral) {
    Rotate(prepared.points, 2, 31.7f);
    Rotate(prepared.points, 3, 90.0f);
  }
  const double steps = static_cast<double>(job.boxes.size()) + 1.0;
  if (progress) progress(1.0 / steps);
  for (const PlotJob::Box& box : job.boxes) {
    if (cancel && cancel->load()) break;
    const SceneTarget target{box.width * kTwipsPerPixel, box.height * kTwipsPerPixel,
                             BackgroundScheme(job.options.backgroundMode), cancel};
    prepared.pictures.push_back(
        Picture(data, prepared.points, job.options, target, box.threeD, box.width, box.height, box.pixelRatio));
    if (progress) progress(static_cast<double>(prepared.pictures.size() + 1) / steps);
  }
  return prepared;
}

void PlotController::showRun(std::shared_ptr<const CalculationResult> result,
                             std::shared_ptr<const std::vector<double>> intensities, PreparedPlots prepared,
                             const PlotJob& job) {
  result_ = std::move(result);
  intensities_ = std::move(intensities);
  data_ = RunPlotData(*result_, intensities_.get());
  sbMinI_->setEnabled(intensities_ != nullptr);
  system_ = result_->lattice.system;
  points_ = std::move(prepared.points);
  options_.zoom2D = 1.0f;
  options_.zoom3D = 1.0f;
  options_.layerSlider = slZERO_->maximum();
  {
    const QSignalBlocker block(slZERO_);
    slZERO_->setValue(options_.layerSlider);
  }
  calculated_ = true;
  bool allDrawn = job.boxes.size() == prepared.pictures.size();
  for (std::size_t i = 0; allDrawn && i < job.boxes.size(); ++i) {
    const PlotJob::Box& box = job.boxes[i];
    const bool seen = bigOpen_ ? box.box == pbBig_ && box.threeD == bigShows3D_ : box.box != pbBig_;
    allDrawn = seen && box.box->width() == box.width && box.box->height() == box.height &&
               box.box->devicePixelRatioF() == box.pixelRatio;
  }
  if (!allDrawn) {
    applyViewOptions();
    return;
  }
  for (std::size_t i = 0; i < job.boxes.size(); ++i) job.boxes[i].box->setPicture(prepared.pictures[i]);
}

void PlotController::showRun(std::shared_ptr<const CalculationResult> result,
                             std::shared_ptr<const std::vector<double>> intensities) {
  const PlotJob job = captureJob();
  PreparedPlots prepared = Prepare(job, *result, intensities.get(), nullptr, {});
  showRun(std::move(result), std::move(intensities), std::move(prepared), job);
}

void PlotController::clear() {
  calculated_ = false;
  result_.reset();
  intensities_.reset();
  sbMinI_->setEnabled(false);
  data_ = PlotData{};
  points_.clear();
  for (PlotBox* box : {pb2D_, pb3D_, pbBig_}) box->clearPicture();
}

PlotScene PlotController::Scene2D(const PlotData& data, const PointTable& points, const ViewOptions& options,
                                  const SceneTarget& target) {
  // The icosahedral 2D view is a thin slab of the current 3D orientation.
  if (data.nDim == 6) return BuildSlabScene(data, points, options, target);
  return BuildZeroLayerScene(data, options, target);
}

PlotScene PlotController::scene2D(double width, double height, const std::string& caption) const {
  ViewOptions options = options_;
  options.marks.caption = caption;
  return Scene2D(data_, points_, options, SceneTarget{width, height, BackgroundScheme(options_.backgroundMode)});
}

PlotScene PlotController::scene3D(double width, double height, const std::string& caption) const {
  ViewOptions options = options_;
  options.marks.caption = caption;
  const SceneTarget target{width, height, BackgroundScheme(options_.backgroundMode)};
  return Build3DScene(data_, points_, options, target, 0.0f, options_.zoom3D);
}

QImage PlotController::captionedPicture(const PlotBox* box, bool threeD, const std::string& caption) const {
  ViewOptions options = options_;
  options.marks.caption = caption;
  const SceneTarget target{box->scaleWidth(), box->scaleHeight(), BackgroundScheme(options_.backgroundMode)};
  return Picture(data_, points_, options, target, threeD, box->width(), box->height(), box->devicePixelRatioF());
}

QImage PlotController::Picture(const PlotData& data, const PointTable& points, const ViewOptions& options,
                               const SceneTarget& target, bool threeD, int width, int height, double pixelRatio) {
  if (threeD) return Rasterize3D(data, points, options, target, 0.0f, options.zoom3D, width, height, pixelRatio);
  // The icosahedral 2D view is the 3D picture's thin slab.
  if (data.nDim == 6)
    return Rasterize3D(data, points, options, target, 3.0f, options.zoom2D, width, height, pixelRatio);
  return RasterizeScene(BuildZeroLayerScene(data, options, target), width, height, target.cancel, pixelRatio);
}

void PlotController::paint2D(PlotBox* box) {
  const SceneTarget target{box->scaleWidth(), box->scaleHeight(), BackgroundScheme(options_.backgroundMode)};
  box->setPicture(Picture(data_, points_, options_, target, false, box->width(), box->height(),
                          box->devicePixelRatioF()));
}

void PlotController::paint3D(PlotBox* box) {
  const SceneTarget target{box->scaleWidth(), box->scaleHeight(), BackgroundScheme(options_.backgroundMode)};
  box->setPicture(Picture(data_, points_, options_, target, true, box->width(), box->height(),
                          box->devicePixelRatioF()));
}

// While the large view is open only it is seen; the small boxes are redrawn
// when it closes.
void PlotController::redraw2D() {
  if (!calculated_) return;
  if (!bigOpen_) paint2D(pb2D_);
  else if (!bigShows3D_) paint2D(pbBig_);
}

void PlotController::redraw3D() {
  if (!calculated_) return;
  if (!bigOpen_) paint3D(pb3D_);
  else if (bigShows3D_) paint3D(pbBig_);
}

void PlotController::applyViewOptions() {
  redraw2D();
  redraw3D();
}

void PlotController::redrawAfterRotation() {
  redraw3D();
  if (icosahedral()) redraw2D();
}

void PlotController::rotate(int axis, float angle) {
  Rotate(points_, axis, angle);
  redrawAfterRotation();
}

void PlotController::zoom2D(int direction) {
  options_.zoom2D = direction > 0 ? ZoomIn(options_.zoom2D) : direction < 0 ? ZoomOut(options_.zoom2D) : 1.0f;
  redraw2D();
}

void PlotController::zoom3D(int direction) {
  options_.zoom3D = direction > 0 ? ZoomIn(options_.zoom3D) : direction < 0 ? ZoomOut(options_.zoom3D) : 1.0f;
  redraw3D();
}

void PlotController::toggleBigView(bool show3D) {
  if (bigOpen_ && bigShows3D_ == show3D) {
    closeBigView();
    return;
  }
  bigOpen_ = true;
  bigShows3D_ = show3D;
  emit bigViewChanged(true);
  if (calculated_) {
    if (show3D) paint3D(pbBig_);
    else paint2D(pbBig_);
  }
}

void PlotController::closeBigView() {
  if (!bigOpen_) return;
  bigOpen_ = false;
  bigShows3D_ = false;
  emit bigViewChanged(false);
  applyViewOptions();
}

void PlotController::onPress(PlotBox*, QPointF position, Qt::MouseButton) {
  if (calculated_) last_ = position;
}

void PlotController::onMove(PlotBox* box, QPointF position, Qt::MouseButtons buttons) {
  if (!calculated_ || box == pb2D_) return;
  const float width = static_cast<float>(box->scaleWidth());
  const float lastX = static_cast<float>(last_.x());
  const float lastY = static_cast<float>(last_.y());
  const float x = static_cast<float>(position.x());
  const float y = static_cast<float>(position.y());
  if (buttons == Qt::LeftButton) {
    const DragStep step = LeftDragStep(lastX, lastY, x, y, width);
    if (step.turn.axis) Rotate(points_, step.turn.axis, step.turn.angle);
    if (step.tilt.axis) Rotate(points_, step.tilt.axis, step.tilt.angle);
    if (step.sort) SortPlotRows(points_);
    last_ = position;
    if (step.redraw) redrawAfterRotation();
  } else if (buttons == Qt::RightButton) {
    const RotationStep step = RightDragStep(lastX, lastY, x, y, width);
    if (step.axis) Rotate(points_, step.axis, step.angle);
    last_ = position;
    redrawAfterRotation();
  }
}

void PlotController::onKey(PlotBox* box, int key) {
  if (!calculated_ || box == pb2D_) return;
  ArrowKey arrow = ArrowKey::Left;
  switch (key) {
    case Qt::Key_Left: arrow = ArrowKey::Left; break;
    case Qt::Key_Right: arrow = ArrowKey::Right; break;
    case Qt::Key_Up: arrow = ArrowKey::Up; break;
    case Qt::Key_Down: arrow = ArrowKey::Down; break;
    default: return;
  }
  const RotationStep step = ArrowKeyStep(arrow);
  Rotate(points_, step.axis, step.angle);
  SortPlotRows(points_);
  redrawAfterRotation();
}

}  // namespace lumora
