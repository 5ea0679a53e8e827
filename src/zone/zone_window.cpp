#include "zone/zone_window.hpp"

#include <QCheckBox>
#include <QComboBox>
#include <QDir>
#include <QDoubleSpinBox>
#include <QFile>
#include <QFormLayout>
#include <QHeaderView>
#include <QKeyEvent>
#include <QLabel>
#include <QLineEdit>
#include <QMenuBar>
#include <QPushButton>
#include <QSpinBox>
#include <QSplitter>
#include <QStatusBar>
#include <QTableWidget>
#include <QVBoxLayout>
#include <QtConcurrent>

#include <cmath>

#include "common/file_io.hpp"
#include "common/number_text.hpp"
#include "common/text.hpp"
#include "ui/dialogs.hpp"
#include "zone/zone_options.hpp"

namespace lumora {
namespace {

std::filesystem::path LocalPath(const QString& path) { return QFile::encodeName(path).toStdString(); }

QString Q(std::string_view s) { return QString::fromUtf8(s.data(), static_cast<qsizetype>(s.size())); }

QDoubleSpinBox* Spin(const QString& name, double low, double high, double value, int decimals, const QString& suffix) {
  auto* box = new QDoubleSpinBox;
  box->setObjectName(name);
  box->setRange(low, high);
  box->setDecimals(decimals);
  box->setValue(value);
  box->setSuffix(suffix);
  box->setKeyboardTracking(false);
  return box;
}

// The field of a named input: its name, range and default; an open end of the
// range is kept out by one step of the last decimal.
QDoubleSpinBox* Spin(const NamedInput& in, int decimals, const QString& suffix) {
  const double step = std::pow(10.0, -decimals);
  const NumberRange& r = in.range;
  return Spin(Q(in.field), r.lowOpen ? r.low + step : r.low, r.highOpen ? r.high - step : r.high,
              DefaultNumber(in), decimals, suffix);
}

QTableWidgetItem* Cell(const QString& text) {
  auto* item = new QTableWidgetItem(text);
  item->setFlags(item->flags() & ~Qt::ItemIsEditable);
  return item;
}

}  // namespace

ZoneWindow::ZoneWindow(const AppPaths& paths, QWidget* parent) : QMainWindow(parent), paths_(paths) {
  setObjectName(QStringLiteral("zoneWindow"));
  setWindowTitle(QStringLiteral("Zone Axis Pattern"));
  patternView_ = new ZonePatternView;
  stereogram_ = new StereogramView;
  axesTable_ = new QTableWidget(0, 4);
  axesTable_->setObjectName(QStringLiteral("zoneAxesTable"));
  axesTable_->setHorizontalHeaderLabels({QStringLiteral("Axis"), QStringLiteral("Angle"), QStringLiteral("\u03b1"),
                                         QStringLiteral("\u03b2")});
  axesTable_->verticalHeader()->hide();
  axesTable_->horizontalHeader()->setSectionResizeMode(QHeaderView::Stretch);
  imageView_ = new ZoneImageView;
  indexedTable_ = new QTableWidget(0, 5);
  indexedTable_->setObjectName(QStringLiteral("zoneIndexedTable"));
  indexedTable_->setHorizontalHeaderLabels({QStringLiteral("Indices"), QStringLiteral("d (\u00c5)"), QStringLiteral("x"),
                                            QStringLiteral("y"), QStringLiteral("Residual")});
  indexedTable_->verticalHeader()->hide();
  indexedTable_->horizontalHeader()->setSectionResizeMode(QHeaderView::ResizeToContents);
  indexedTable_->horizontalHeader()->setStretchLastSection(true);
  fitButton_ = new QPushButton(QStringLiteral("Fit"));
  fitButton_->setObjectName(QStringLiteral("zoneFitButton"));
  fitButton_->setEnabled(false);
  verdict_ = new QLabel(QStringLiteral("Open a measured image, align the circles by hand (drag; Shift+drag turns, the wheel scales), then Fit."));
  verdict_->setObjectName(QStringLiteral("zoneVerdict"));
  verdict_->setWordWrap(true);
  verdict_->setMinimumHeight(4 * verdict_->fontMetrics().lineSpacing());
  verdict_->setAlignment(Qt::AlignTop | Qt::AlignLeft);

  auto* right = new QSplitter(Qt::Vertical);
  right->addWidget(stereogram_);
  right->addWidget(axesTable_);
  auto* top = new QSplitter(Qt::Horizontal);
  top->addWidget(makeControls());
  top->addWidget(patternView_);
  top->addWidget(right);
  top->setStretchFactor(1, 3);
  top->setStretchFactor(2, 2);
  auto* fitPanel = new QWidget;
  auto* fitLayout = new QVBoxLayout(fitPanel);
  fitLayout->addWidget(fitButton_);
  fitLayout->addWidget(verdict_);
  fitLayout->addWidget(indexedTable_, 1);
  auto* bottom = new QSplitter(Qt::Horizontal);
  bottom->addWidget(imageView_);
  bottom->addWidget(fitPanel);
  bottom->setStretchFactor(0, 3);
  bottom->setStretchFactor(1, 2);
  auto* all = new QSplitter(Qt::Vertical);
  all->addWidget(top);
  all->addWidget(bottom);
  setCentralWidget(all);

  QMenu* file = menuBar()->addMenu(QStringLiteral("&File"));
  file->addAction(QStringLiteral("Open Image\u2026"), this, [this] {
    const QString path = Dialogs().openFileName(this, QStringLiteral("Open Measured Image"), paths_.dataFolder(),
                                                QStringLiteral("Images (*.png *.tif *.tiff *.mrc);;All files (*)"));
    if (!path.isEmpty()) openImage(path);
  })->setObjectName(QStringLiteral("zoneOpenImage"));
  file->addAction(QStringLiteral("Save Picture\u2026"), this, &ZoneWindow::savePicture);
  file->addAction(QStringLiteral("Save Spots (CSV)\u2026"), this, &ZoneWindow::saveCsv);
  file->addAction(QStringLiteral("Save Fit (JSON)\u2026"), this, &ZoneWindow::saveFit);
  file->addSeparator();
  file->addAction(QStringLiteral("Close"), this, &QWidget::close);

  connect(stereogram_, &StereogramView::directionClicked, this, &ZoneWindow::tiltTo);
  connect(fitButton_, &QPushButton::clicked, this, &ZoneWindow::fit);
  connect(&fitWatcher_, &QFutureWatcherBase::finished, this, [this] {
    fitButton_->setEnabled(image_.has_value());
    if (cancel_) {
      verdict_->setText(QStringLiteral("Fit cancelled."));
      return;
    }
    auto [found, result] = fitWatcher_.result();
    found_ = std::move(found);
    fit_ = std::move(result);
    imageView_->setFoundSpots(&found_);
    showFit();
  });
  resize(1300, 950);
}

ZoneWindow::~ZoneWindow() {
  cancel_ = true;
  fitWatcher_.waitForFinished();
}

QWidget* ZoneWindow::makeControls() {
  auto* panel = new QWidget;
  auto* form = new QFormLayout(panel);
  axisBox_ = new QComboBox;
  axisBox_->setObjectName(QStringLiteral("zoneAxis"));
  indexEdit_ = new QLineEdit;
  indexEdit_->setObjectName(QStringLiteral("zoneIndex"));
  indexEdit_->setPlaceholderText(QStringLiteral("h1,...,hn"));
  using namespace input;
  radiationBox_ = new QComboBox;
  radiationBox_->setObjectName(Q(kRadiation.field));
  // The first three choices, in their order: electron, xray, neutron.
  radiationBox_->addItems({QStringLiteral("Electron"), QStringLiteral("X-ray"), QStringLiteral("Neutron")});
  voltageBox_ = Spin(kVoltage, 0, QStringLiteral(" kV"));
  wavelengthBox_ = Spin(QStringLiteral("zoneWavelength"), 0.01, 20, 1.5406, 5, QStringLiteral(" \u00c5"));
  wavelengthBox_->setEnabled(false);
  thicknessBox_ = Spin(kThickness, 1, QStringLiteral(" nm"));
  precessionBox_ = Spin(kPrecession, 2, QStringLiteral("\u00b0"));
  gMaxBox_ = Spin(kGMax, 2, QStringLiteral(" 1/\u00c5"));
  sMaxBox_ = Spin(kSMax, 3, QStringLiteral(" 1/\u00c5"));
  tiltXBox_ = Spin(kTiltX, 2, QStringLiteral("\u00b0"));
  tiltYBox_ = Spin(kTiltY, 2, QStringLiteral("\u00b0"));
  loopsBox_ = new QSpinBox;
  loopsBox_->setObjectName(QStringLiteral("zoneLoops"));
  loopsBox_->setRange(1, 12);
  loopsBox_->setValue(6);
  logBox_ = new QCheckBox(QStringLiteral("Log intensities"));
  logBox_->setObjectName(QStringLiteral("zoneLog"));
  labelsBox_ = new QCheckBox(QStringLiteral("Index labels"));
  labelsBox_->setObjectName(QStringLiteral("zoneLabels"));
  laueBox_ = new QCheckBox(QStringLiteral("Upper Laue zones"));
  laueBox_->setObjectName(QStringLiteral("zoneLaue"));
  laueBox_->setChecked(true);
  form->addRow(QStringLiteral("Axis"), axisBox_);
  form->addRow(QStringLiteral("Index vector"), indexEdit_);
  form->addRow(Q(kTiltX.label), tiltXBox_);
  form->addRow(Q(kTiltY.label), tiltYBox_);
  form->addRow(Q(kRadiation.label), radiationBox_);
  form->addRow(Q(kVoltage.label), voltageBox_);
  form->addRow(QStringLiteral("Wavelength"), wavelengthBox_);
  form->addRow(Q(kThickness.label), thicknessBox_);
  form->addRow(Q(kPrecession.label), precessionBox_);
  form->addRow(Q(kGMax.label), gMaxBox_);
  form->addRow(Q(kSMax.label), sMaxBox_);
  form->addRow(QStringLiteral("Loop limit"), loopsBox_);
  form->addRow(logBox_);
  form->addRow(labelsBox_);
  form->addRow(laueBox_);
  auto recompute = [this] { simulate(); };
  connect(axisBox_, &QComboBox::currentIndexChanged, this, [this] {
    offAxis_.reset();
    simulate();
  });
  connect(indexEdit_, &QLineEdit::returnPressed, this, [this] {
    offAxis_.reset();
    axisBox_->setCurrentIndex(axisBox_->count() - 1);
    simulate();
  });
  connect(radiationBox_, &QComboBox::currentIndexChanged, this, [this](int index) {
    voltageBox_->setEnabled(index == 0);
    wavelengthBox_->setEnabled(index != 0);
    simulate();
  });
  for (QDoubleSpinBox* box : {voltageBox_, wavelengthBox_, thicknessBox_, precessionBox_, gMaxBox_, sMaxBox_, tiltXBox_, tiltYBox_})
    connect(box, &QDoubleSpinBox::valueChanged, this, recompute);
  connect(loopsBox_, &QSpinBox::valueChanged, this, recompute);
  for (QCheckBox* box : {logBox_, labelsBox_, laueBox_}) connect(box, &QCheckBox::toggled, this, recompute);
  return panel;
}

void ZoneWindow::setInputs(const CalculationInputs& inputs, std::optional<StructureModel> model, const std::string& modelName) {
  inputs_ = inputs;
  model_ = std::move(model);
  modelName_ = modelName;
  offAxis_.reset();
  fillAxisChoices();
  simulate();
}

void ZoneWindow::fillAxisChoices() {
  const QSignalBlocker block(axisBox_);
  axisBox_->clear();
  const Lattice lattice = SetupLattice(inputs_.system, inputs_.a, inputs_.c, inputs_.yamamoto);
  for (const SymmetryAxis& axis : SymmetryAxes(lattice))
    if (axisBox_->findText(QString::fromStdString(axis.name)) < 0) axisBox_->addItem(QString::fromStdString(axis.name));
  axisBox_->addItem(QStringLiteral("Index vector"));
  axisBox_->setCurrentIndex(0);
}

bool ZoneWindow::simulate() {
  ZoneInputs in;
  in.calculation = inputs_;
  in.calculation.loopLimits.fill(loopsBox_->value());
  const std::string kind = SplitWords(input::kRadiation.choices)[static_cast<std::size_t>(radiationBox_->currentIndex())];
  in.radiation = ZoneRadiation(kind, voltageBox_->value(), wavelengthBox_->value());
  if (axisBox_->currentIndex() == axisBox_->count() - 1) {
    const QStringList parts = indexEdit_->text().split(QLatin1Char(','));
    std::array<int, 6> u{};
    bool ok = parts.size() == DimensionOf(inputs_.system);
    for (int i = 0; ok && i < static_cast<int>(parts.size()); ++i) u[static_cast<std::size_t>(i)] = parts[i].trimmed().toInt(&ok);
    if (!ok) {
      statusBar()->showMessage(QStringLiteral("Index vector: \"%1\" is not %2 whole numbers")
                                   .arg(indexEdit_->text())
                                   .arg(DimensionOf(inputs_.system)));
      return false;
    }
    in.beam.index = u;
  } else {
    in.beam.axisName = axisBox_->currentText().toStdString();
  }
  in.beam.direction = offAxis_;
  in.beam.tiltX = tiltXBox_->value();
  in.beam.tiltY = tiltYBox_->value();
  in.thickness = thicknessBox_->value() * 10.0;
  in.precession = precessionBox_->value();
  in.gMax = gMaxBox_->value();
  in.sMax = sMaxBox_->value();
  zone_ = in;
  pattern_ = SimulateZonePattern(in, model_ ? &*model_ : nullptr);
  ZonePictureOptions options;
  options.logIntensity = logBox_->isChecked();
  options.labels = labelsBox_->isChecked();
  options.laueZones = laueBox_->isChecked();
  patternView_->setPattern(&pattern_, options);
  imageView_->setPattern(&pattern_);
  showAxes();
  if (!pattern_.error.empty()) {
    statusBar()->showMessage(QString::fromStdString(pattern_.error));
    return false;
  }
  statusBar()->showMessage(QStringLiteral("%1 spots, axis %2, \u03bb = %3 \u00c5")
                               .arg(pattern_.spots.size())
                               .arg(QString::fromStdString(pattern_.axis.name))
                               .arg(pattern_.wavelength, 0, 'g', 6));
  return true;
}

void ZoneWindow::showAxes() {
  if (!pattern_.error.empty()) return;
  const BeamFrame reference = FrameOfBeam(pattern_.axis.direction);
  const std::vector<AxisView> views = AxesFromBeam(pattern_.lattice, pattern_.frame);
  stereogram_->setView(pattern_.frame, views, MirrorNormals(pattern_.lattice, GroupAt(inputs_.system, inputs_.groupIndex)));
  axesTable_->setRowCount(static_cast<int>(views.size()));
  for (int i = 0; i < static_cast<int>(views.size()); ++i) {
    const AxisView& v = views[static_cast<std::size_t>(i)];
    const std::optional<HolderTilt> tilt = TiltToAxis(reference, v.axis.direction);
    axesTable_->setItem(i, 0, Cell(QString::fromStdString(v.axis.name)));
    axesTable_->setItem(i, 1, Cell(QString::number(v.angle, 'f', 2) + QStringLiteral("\u00b0")));
    // Rounding keeps no sign: -0.001 degrees shows as 0.00, not -0.00.
    auto angle = [](double degrees) { return QString::number(std::fabs(degrees) < 0.005 ? 0.0 : degrees, 'f', 2); };
    axesTable_->setItem(i, 2, Cell(tilt ? angle(tilt->alpha) : QStringLiteral("\u2013")));
    axesTable_->setItem(i, 3, Cell(tilt ? angle(tilt->beta) : QStringLiteral("\u2013")));
  }
}

void ZoneWindow::tiltTo(const Direction& direction) {
  if (!pattern_.error.empty()) return;
  for (const SymmetryAxis& axis : SymmetryAxes(pattern_.lattice)) {
    if (AngleBetweenAxes(axis.direction, direction) > 1e-6) continue;
    // An axis of the list: it becomes the reference, untilted.
    offAxis_.reset();
    QString index;
    for (int i = 0; i < pattern_.lattice.nDim; ++i) index += (i ? QStringLiteral(",") : QString()) + QString::number(axis.index[static_cast<std::size_t>(i)]);
    const QSignalBlocker b1(axisBox_), b2(tiltXBox_), b3(tiltYBox_);
    indexEdit_->setText(index);
    axisBox_->setCurrentIndex(axisBox_->count() - 1);
    tiltXBox_->setValue(0.0);
    tiltYBox_->setValue(0.0);
    simulate();
    return;
  }
  offAxis_ = direction;
  simulate();
}

bool ZoneWindow::openImage(const QString& path) {
  auto read = ReadGreyImage(LocalPath(path));
  if (const std::string* error = std::get_if<std::string>(&read)) {
    Dialogs().warning(this, QString::fromStdString(*error));
    return false;
  }
  if (fitWatcher_.isRunning()) {  // the running fit reads the old image
    cancel_ = true;
    fitWatcher_.waitForFinished();
  }
  image_ = std::get<GreyImage>(std::move(read));
  found_.clear();
  fit_.reset();
  imageView_->setImage(&*image_);
  imageView_->setFoundSpots(nullptr);
  indexedTable_->setRowCount(0);
  fitButton_->setEnabled(true);
  verdict_->setText(QStringLiteral("%1: %2 \u00d7 %3 pixels. Align the circles by hand if the search should start there, then Fit.")
                        .arg(path)
                        .arg(image_->width)
                        .arg(image_->height));
  return true;
}

void ZoneWindow::fit() {
  if (!image_ || !pattern_.error.empty() || fitWatcher_.isRunning()) return;
  cancel_ = false;
  fitButton_->setEnabled(false);
  verdict_->setText(QStringLiteral("Fitting\u2026 (Esc cancels)"));
  const OverlayPlacement hand = imageView_->placement();
  ZoneFitOptions options;
  options.fitTilt = true;
  options.maxTilt = 3.0;
  // A hand-aligned overlay gives the centre to start from.
  if (hand.cx != image_->width / 2.0 || hand.cy != image_->height / 2.0) options.centre = std::array<double, 2>{hand.cx, hand.cy};
  const GreyImage* image = &*image_;
  const ZonePattern pattern = pattern_;
  fitWatcher_.setFuture(QtConcurrent::run([this, image, pattern, options] {
    std::vector<FoundSpot> found = FindSpots(*image, {}, &cancel_);
    ZoneFit result = FitZoneImage(pattern, found, image->width, image->height, options, &cancel_);
    return std::make_pair(std::move(found), std::move(result));
  }));
}

void ZoneWindow::waitForIdle() {
  fitWatcher_.waitForFinished();
  QCoreApplication::processEvents();
}

void ZoneWindow::showFit() {
  const ZoneFit& f = *fit_;
  if (f.fitted) imageView_->setPlacement({f.k, f.rotation, f.cx, f.cy});
  const QString values = f.fitted ? QStringLiteral("K = %1 \u00b1 %2 px \u00c5, rotation %3 \u00b1 %4\u00b0, centre (%5, %6) px, rms %7 px, %8 of %9 spots indexed. ")
                                        .arg(f.k, 0, 'f', 3).arg(f.kSu, 0, 'f', 3).arg(f.rotation, 0, 'f', 3).arg(f.rotationSu, 0, 'f', 3)
                                        .arg(f.cx, 0, 'f', 2).arg(f.cy, 0, 'f', 2).arg(f.rms, 0, 'f', 2)
                                        .arg(f.indexed.size()).arg(f.considered) +
                                        (f.tiltFitted ? QStringLiteral("Tilt %1 \u00b1 %2\u00b0, %3 \u00b1 %4\u00b0. ")
                                                            .arg(f.tiltX, 0, 'f', 3).arg(f.tiltXSu, 0, 'f', 3)
                                                            .arg(f.tiltY, 0, 'f', 3).arg(f.tiltYSu, 0, 'f', 3)
                                                      : QString())
                                  : QString();
  verdict_->setText(values + (f.reliable ? QStringLiteral("Reliable.") : QStringLiteral("No reliable solution: ") + QString::fromStdString(f.verdict)));
  verdict_->setStyleSheet(f.reliable ? QStringLiteral("color: darkgreen") : QStringLiteral("color: darkred"));
  indexedTable_->setRowCount(static_cast<int>(f.indexed.size()));
  for (int i = 0; i < static_cast<int>(f.indexed.size()); ++i) {
    const IndexedSpot& s = f.indexed[static_cast<std::size_t>(i)];
    QString h;
    for (int k = 0; k < pattern_.lattice.nDim; ++k) h += (k ? QStringLiteral(" ") : QString()) + QString::number(s.h[static_cast<std::size_t>(k)]);
    indexedTable_->setItem(i, 0, Cell(h));
    indexedTable_->setItem(i, 1, Cell(QString::number(s.d, 'f', 4)));
    indexedTable_->setItem(i, 2, Cell(QString::number(s.x, 'f', 2)));
    indexedTable_->setItem(i, 3, Cell(QString::number(s.y, 'f', 2)));
    indexedTable_->setItem(i, 4, Cell(QString::number(s.residual, 'f', 2)));
  }
}

void ZoneWindow::keyPressEvent(QKeyEvent* event) {
  if (event->key() == Qt::Key_Escape && fitWatcher_.isRunning()) {
    cancel_ = true;
    return;
  }
  QMainWindow::keyPressEvent(event);
}

bool ZoneWindow::saveText(const QString& title, const QString& proposed, const QString& filter, const std::string& text) {
  const QString chosen = Dialogs().saveFileName(this, title, QDir(paths_.exportFolder()).filePath(proposed), filter);
  if (chosen.isEmpty()) return false;
  const WriteOutcome outcome = WriteFileAtomically(LocalPath(chosen), text);
  if (!outcome.ok) Dialogs().warning(this, QStringLiteral("%1 was not saved.\n%2").arg(chosen, QString::fromStdString(outcome.error)));
  return outcome.ok;
}

void ZoneWindow::savePicture() {
  if (!pattern_.error.empty()) return;
  const QString chosen = Dialogs().saveFileName(this, QStringLiteral("Save Picture"), QDir(paths_.exportFolder()).filePath(QStringLiteral("zone.png")),
                                                QStringLiteral("PNG (*.png);;SVG (*.svg);;PDF (*.pdf)"));
  if (chosen.isEmpty()) return;
  const QString suffix = QFileInfo(chosen).suffix().toLower();
  const QString format = suffix == QLatin1String("svg") || suffix == QLatin1String("pdf") ? suffix : QStringLiteral("png");
  ZonePictureOptions options;
  options.logIntensity = logBox_->isChecked();
  options.labels = labelsBox_->isChecked();
  options.laueZones = laueBox_->isChecked();
  QString error;
  const QByteArray bytes = RenderZonePattern(pattern_, options, format, QSize(900, 900), &error);
  const WriteOutcome outcome = bytes.isEmpty() ? WriteOutcome{false, error.toStdString()}
                                               : WriteFileAtomically(LocalPath(chosen), std::string_view(bytes.constData(), static_cast<std::size_t>(bytes.size())));
  if (!outcome.ok) Dialogs().warning(this, QStringLiteral("%1 was not saved.\n%2").arg(chosen, QString::fromStdString(outcome.error)));
}

void ZoneWindow::saveCsv() {
  if (pattern_.error.empty())
    saveText(QStringLiteral("Save Spots"), QStringLiteral("zone.csv"), QStringLiteral("CSV (*.csv)"), ZoneCsv(pattern_, zone_));
}

void ZoneWindow::saveFit() {
  if (!fit_ || !image_) {
    Dialogs().message(this, QStringLiteral("There is no fit to save: open an image and press Fit."));
    return;
  }
  saveText(QStringLiteral("Save Fit"), QStringLiteral("zone-fit.json"), QStringLiteral("JSON (*.json)"),
           ZoneFitJson(*fit_, pattern_, found_, ZoneFitOptions{}, image_->width, image_->height));
}

}  // namespace lumora
