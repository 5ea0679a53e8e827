#include "powder/powder_window.hpp"
#include "ui/worker_result.hpp"

#include <QAction>
#include <QApplication>
#include <QCheckBox>
#include <QClipboard>
#include <QCloseEvent>
#include <QComboBox>
#include <QDir>
#include <QDoubleSpinBox>
#include <QFile>
#include <QFileInfo>
#include <QFormLayout>
#include <QGroupBox>
#include <QHeaderView>
#include <QImage>
#include <QLabel>
#include <QLineEdit>
#include <QMenuBar>
#include <QMessageBox>
#include <QPainter>
#include <QPlainTextEdit>
#include <QFontDatabase>
#include <QPrinter>
#include <QPushButton>
#include <QScrollArea>
#include <QSignalBlocker>
#include <QSpinBox>
#include <QSplitter>
#include <QStatusBar>
#include <QTabWidget>
#include <QTableView>
#include <QVBoxLayout>
#include <QtConcurrent/QtConcurrentRun>
#include <algorithm>
#include <cmath>
#include <filesystem>

#include "powder/measured_formats.hpp"
#include "inputs/parameters.hpp"
#include "ui/dialogs.hpp"
#include "ui/window_preferences.hpp"
#include "common/file_io.hpp"
#include "common/number_text.hpp"
#include "inputs/input_reading.hpp"
#include "powder/pattern_scale.hpp"
#include "powder/peak_search.hpp"
#include "powder/powder_files.hpp"
#include "powder/powder_plot_widget.hpp"
#include "powder/powder_tables.hpp"
#include "powder/refinement_output.hpp"
#include "powder/indexing_lines.hpp"
#include "reflections/emission_lines.hpp"

namespace lumora {
namespace {

constexpr double kNaN = std::numeric_limits<double>::quiet_NaN();
constexpr double kPeakPickPixels = 6.0;

QString Q(std::string_view s) { return QString::fromUtf8(s.data(), static_cast<qsizetype>(s.size())); }

// The field of a named input, holding its default.
QLineEdit* MakeField(QWidget* parent, const NamedInput& input, const QString& tip) {
  auto* field = new QLineEdit(Q(input.defaultText), parent);
  field->setObjectName(Q(input.field));
  field->setToolTip(tip);
  field->setMaximumWidth(110);
  return field;
}

QString Shortest(double value) { return QString::fromStdString(ShortestText(value)); }

std::filesystem::path LocalPath(const QString& path) { return QFile::encodeName(path).toStdString(); }

bool HasAxisC(CrystalSystem system) { return system != CrystalSystem::Icosahedral; }

}  // namespace

PowderWindow::PowderWindow(const AppPaths& paths, QWidget* parent) : QMainWindow(parent), paths_(paths) {
  setObjectName(QStringLiteral("frmPowder"));
  setWindowTitle(QStringLiteral("Powder Pattern"));
  buildControls();
  buildMenus();
  connect(&computeWatcher_, &QFutureWatcher<Computed>::finished, this, &PowderWindow::onComputed);
  connect(&refineWatcher_, &QFutureWatcher<IndexingResult>::finished, this, &PowderWindow::onRefined);
  resize(1100, 720);
  loadPreferences();
  refreshScene(false);
}

// The settings of the profile, the peak search and the refinement are the
// user's, kept from one session to the next.
QList<QLineEdit*> PowderWindow::keptFields() const {
  return {tfTolerance_, tfMono_, tfStep_, tfU_, tfV_, tfW_, tfEta_, tfCut_, tfIndexTolerance_};
}

void PowderWindow::loadPreferences() {
  const auto prefs = OpenWindowPreferences();
  for (QLineEdit* field : keptFields()) {
    const QVariant value = prefs->value(QStringLiteral("powder/") + field->objectName());
    if (value.isValid()) field->setText(value.toString());
  }
  spSmoothing_->setValue(prefs->value(QStringLiteral("powder/spSmoothing"), spSmoothing_->value()).toInt());
  spThreshold_->setValue(prefs->value(QStringLiteral("powder/spThreshold"), spThreshold_->value()).toDouble());
  cmbScale_->setCurrentIndex(prefs->value(QStringLiteral("powder/cmbScale"), 0).toInt());
}

void PowderWindow::savePreferences() const {
  const auto prefs = OpenWindowPreferences();
  for (QLineEdit* field : keptFields()) prefs->setValue(QStringLiteral("powder/") + field->objectName(), field->text());
  prefs->setValue(QStringLiteral("powder/spSmoothing"), spSmoothing_->value());
  prefs->setValue(QStringLiteral("powder/spThreshold"), spThreshold_->value());
  prefs->setValue(QStringLiteral("powder/cmbScale"), cmbScale_->currentIndex());
}

void PowderWindow::closeEvent(QCloseEvent* event) {
  savePreferences();
  QMainWindow::closeEvent(event);
}

PowderWindow::~PowderWindow() {
  computeWatcher_.waitForFinished();
  refineWatcher_.waitForFinished();
}

void PowderWindow::buildControls() {
  auto* controls = new QWidget;
  auto* column = new QVBoxLayout(controls);

  auto* linesBox = new QGroupBox(QStringLiteral("Lines"));
  auto* linesForm = new QFormLayout(linesBox);
  tfTolerance_ = MakeField(linesBox, input::kTolerance,
                           QStringLiteral("Reflections whose d agree within this relative tolerance form one line"));
  tfMono_ = MakeField(linesBox, input::kMonochromator,
                      QStringLiteral("2\u03b8 of the monochromator crystal in degrees (0: none)"));
  linesForm->addRow(QStringLiteral("d tolerance"), tfTolerance_);
  linesForm->addRow(QStringLiteral("Monochromator 2\u03b8"), tfMono_);

  auto* profileBox = new QGroupBox(QStringLiteral("Profile"));
  auto* profileForm = new QFormLayout(profileBox);
  tfMin_ = MakeField(profileBox, input::kTwoThetaMin, QStringLiteral("Start of the 2\u03b8 range, degrees"));
  tfMax_ = MakeField(profileBox, input::kTwoThetaMax, QStringLiteral("End of the 2\u03b8 range, degrees"));
  tfStep_ = MakeField(profileBox, input::kTwoThetaStep, QStringLiteral("2\u03b8 step, degrees"));
  tfU_ = MakeField(profileBox, input::kCagliotiU, QStringLiteral("Caglioti U, degrees\u00b2"));
  tfV_ = MakeField(profileBox, input::kCagliotiV, QStringLiteral("Caglioti V, degrees\u00b2"));
  tfW_ = MakeField(profileBox, input::kCagliotiW, QStringLiteral("Caglioti W, degrees\u00b2"));
  tfEta_ = MakeField(profileBox, input::kEta, QStringLiteral("Lorentzian fraction of the pseudo-Voigt, 0 to 1"));
  tfCut_ = MakeField(profileBox, input::kCut, QStringLiteral("Each peak reaches this many widths either side"));
  tfZero_ = MakeField(profileBox, input::kZero,
                      QStringLiteral("Zero shift added to every calculated 2\u03b8, degrees"));
  chkDoublet_ = new QCheckBox(QStringLiteral("K\u03b11/K\u03b12 doublet"), profileBox);
  chkDoublet_->setObjectName(Q(input::kDoublet.field));
  chkDoublet_->setToolTip(QStringLiteral("Each line as the anode's K\u03b11 and K\u03b12 (half as strong)"));
  profileForm->addRow(QStringLiteral("2\u03b8 from"), tfMin_);
  profileForm->addRow(QStringLiteral("2\u03b8 to"), tfMax_);
  profileForm->addRow(QStringLiteral("Step"), tfStep_);
  profileForm->addRow(QStringLiteral("U"), tfU_);
  profileForm->addRow(QStringLiteral("V"), tfV_);
  profileForm->addRow(QStringLiteral("W"), tfW_);
  profileForm->addRow(QStringLiteral("\u03b7"), tfEta_);
  profileForm->addRow(QStringLiteral("Cut (widths)"), tfCut_);
  profileForm->addRow(QStringLiteral("Zero shift"), tfZero_);
  profileForm->addRow(chkDoublet_);
  auto* calculate = new QPushButton(QStringLiteral("Calculate"), profileBox);
  calculate->setObjectName(QStringLiteral("btCalculate"));
  profileForm->addRow(calculate);
  connect(calculate, &QPushButton::clicked, this, &PowderWindow::recalculate);
  connect(chkDoublet_, &QCheckBox::toggled, this, &PowderWindow::recalculate);
  for (QLineEdit* field : {tfTolerance_, tfMono_, tfMin_, tfMax_, tfStep_, tfU_, tfV_, tfW_, tfEta_, tfCut_, tfZero_})
    connect(field, &QLineEdit::returnPressed, this, &PowderWindow::recalculate);

  auto* plotBox = new QGroupBox(QStringLiteral("Plot"));
  auto* plotForm = new QFormLayout(plotBox);
  cmbAxis_ = new QComboBox(plotBox);
  cmbAxis_->setObjectName(QStringLiteral("cmbAxis"));
  cmbAxis_->addItems({QStringLiteral("2\u03b8"), QStringLiteral("d"), QStringLiteral("q")});
  cmbScale_ = new QComboBox(plotBox);
  cmbScale_->setObjectName(QStringLiteral("cmbScale"));
  cmbScale_->addItems({QStringLiteral("Linear"), QStringLiteral("Square root"), QStringLiteral("Log")});
  plotForm->addRow(QStringLiteral("Abscissa"), cmbAxis_);
  plotForm->addRow(QStringLiteral("Intensity"), cmbScale_);
  connect(cmbAxis_, &QComboBox::currentIndexChanged, this, [this] { refreshScene(false); });
  connect(cmbScale_, &QComboBox::currentIndexChanged, this, [this] { refreshScene(true); });

  auto* measuredBox = new QGroupBox(QStringLiteral("Measured pattern"));
  auto* measuredForm = new QFormLayout(measuredBox);
  auto* open = new QPushButton(QStringLiteral("Open ..."), measuredBox);
  open->setObjectName(QStringLiteral("btOpenMeasured"));
  connect(open, &QPushButton::clicked, this, [this] {
    const QString path = Dialogs().openFileName(this, QStringLiteral("Open Measured Pattern"), paths_.dataFolder(),
                                                QString::fromStdString(MeasuredFileFilter()));
    if (!path.isEmpty()) openMeasured(path);
  });
  lblMeasured_ = new QLabel(QStringLiteral("none"), measuredBox);
  lblMeasured_->setObjectName(QStringLiteral("lblMeasured"));
  lblMeasured_->setWordWrap(true);
  // The scans of a file that holds several.
  cmbRange_ = new QComboBox(measuredBox);
  cmbRange_->setObjectName(Q(input::kMeasuredRange.field));
  cmbRange_->setEnabled(false);
  cmbRange_->setToolTip(QStringLiteral("The range (scan) of the file to show"));
  connect(cmbRange_, &QComboBox::activated, this, [this](int range) {
    if (!measuredPath_.isEmpty()) openMeasured(measuredPath_, range);
  });
  chkFileWavelength_ = new QCheckBox(QStringLiteral("Use the file's wavelength"), measuredBox);
  chkFileWavelength_->setObjectName(QStringLiteral("chkFileWavelength"));
  chkFileWavelength_->setChecked(true);
  chkFileWavelength_->setEnabled(false);
  chkFileWavelength_->setToolTip(QStringLiteral("Lines, profile and refinement at the wavelength the file states"));
  connect(chkFileWavelength_, &QCheckBox::toggled, this, [this] {
    describeMeasured();
    refinement_.reset();
    recalculate();
  });
  spSmoothing_ = new QSpinBox(measuredBox);
  spSmoothing_->setObjectName(Q(input::kPeakSmoothing.field));
  spSmoothing_->setRange(3, kMaxSmoothingPoints);
  spSmoothing_->setSingleStep(2);
  spSmoothing_->setValue(PeakSearchOptions{}.smoothingPoints);
  spSmoothing_->setToolTip(QStringLiteral("Points of the smoothing window before the second derivative"));
  spThreshold_ = new QDoubleSpinBox(measuredBox);
  spThreshold_->setObjectName(Q(input::kPeakThreshold.field));
  spThreshold_->setRange(0.1, 1000.0);
  spThreshold_->setDecimals(1);
  spThreshold_->setValue(PeakSearchOptions{}.threshold);
  spThreshold_->setToolTip(QStringLiteral("How far a peak must stand out of the noise; higher finds fewer peaks"));
  btFindPeaks_ = new QPushButton(QStringLiteral("Find Peaks"), measuredBox);
  btFindPeaks_->setObjectName(QStringLiteral("btFindPeaks"));
  btFindPeaks_->setEnabled(false);
  connect(btFindPeaks_, &QPushButton::clicked, this, &PowderWindow::findPeaks);
  measuredForm->addRow(open);
  measuredForm->addRow(lblMeasured_);
  measuredForm->addRow(Q(input::kMeasuredRange.label), cmbRange_);
  measuredForm->addRow(chkFileWavelength_);
  measuredForm->addRow(QStringLiteral("Smoothing"), spSmoothing_);
  measuredForm->addRow(QStringLiteral("Threshold"), spThreshold_);
  measuredForm->addRow(btFindPeaks_);
  auto* hint = new QLabel(QStringLiteral("Click the pattern to add a peak, click a peak to remove it."), measuredBox);
  hint->setWordWrap(true);
  measuredForm->addRow(hint);

  auto* refineBox = new QGroupBox(QStringLiteral("Indexing and refinement"));
  auto* refineForm = new QFormLayout(refineBox);
  tfIndexTolerance_ = MakeField(refineBox, input::kIndexTolerance,
                                QStringLiteral("A peak is indexed by the nearest line within this many degrees 2\u03b8"));
  chkRefineA_ = new QCheckBox(QStringLiteral("a"), refineBox);
  chkRefineA_->setObjectName(QStringLiteral("chkRefineA"));
  chkRefineA_->setChecked(true);
  chkRefineC_ = new QCheckBox(QStringLiteral("c"), refineBox);
  chkRefineC_->setObjectName(QStringLiteral("chkRefineC"));
  chkRefineC_->setChecked(true);
  chkRefineZero_ = new QCheckBox(QStringLiteral("zero shift"), refineBox);
  chkRefineZero_->setObjectName(QStringLiteral("chkRefineZero"));
  chkRefineZero_->setChecked(true);
  auto* which = new QHBoxLayout;
  which->addWidget(chkRefineA_);
  which->addWidget(chkRefineC_);
  which->addWidget(chkRefineZero_);
  cmbWavelengthModel_ = new QComboBox(refineBox);
  cmbWavelengthModel_->setObjectName(Q(input::kWavelengthModel.field));
  cmbWavelengthModel_->addItems({QStringLiteral("K\u03b11 + K\u03b12"), QStringLiteral("K\u03b11 only")});
  cmbWavelengthModel_->setToolTip(QStringLiteral(
      "Where the peaks of the anode lie: at the K\u03b11 and K\u03b12 positions, or at K\u03b11 alone (a "
      "monochromated beam). A typed wavelength is one line."));
  btIndex_ = new QPushButton(QStringLiteral("Index"), refineBox);
  btIndex_->setObjectName(QStringLiteral("btIndex"));
  btIndex_->setToolTip(QStringLiteral("Search a from 1.5 to 12 \u00c5 (and c from 2 to 40 \u00c5) without a start"));
  btIndex_->setEnabled(false);
  connect(btIndex_, &QPushButton::clicked, this, &PowderWindow::indexAbInitio);
  btRefine_ = new QPushButton(QStringLiteral("Index && Refine"), refineBox);
  btRefine_->setObjectName(QStringLiteral("btRefine"));
  btRefine_->setToolTip(QStringLiteral("Search every cell within 2 % of the main window's a (and c)"));
  btRefine_->setEnabled(false);
  connect(btRefine_, &QPushButton::clicked, this, &PowderWindow::refine);
  auto* buttons = new QHBoxLayout;
  buttons->addWidget(btIndex_);
  buttons->addWidget(btRefine_);
  lblRefined_ = new QLabel(refineBox);
  lblRefined_->setObjectName(QStringLiteral("lblRefined"));
  lblRefined_->setWordWrap(true);
  lblRefined_->setTextInteractionFlags(Qt::TextSelectableByMouse);
  btUseRefined_ = new QPushButton(QStringLiteral("Use Refined Constants"), refineBox);
  btUseRefined_->setObjectName(QStringLiteral("btUseRefined"));
  btUseRefined_->setToolTip(QStringLiteral("Put the refined a (and c) into the main window and run it again"));
  btUseRefined_->setEnabled(false);
  connect(btUseRefined_, &QPushButton::clicked, this, &PowderWindow::useRefined);
  btUseAnyway_ = new QPushButton(QStringLiteral("Use Anyway"), refineBox);
  btUseAnyway_->setObjectName(QStringLiteral("btUseAnyway"));
  btUseAnyway_->setToolTip(QStringLiteral("The indexing is not reliable: allow its constants to be used all the same"));
  btUseAnyway_->setVisible(false);
  connect(btUseAnyway_, &QPushButton::clicked, this, [this] {
    useAnyway_ = true;
    refreshPeaks();
  });
  refineForm->addRow(QStringLiteral("Tolerance (\u00b0)"), tfIndexTolerance_);
  refineForm->addRow(QStringLiteral("Refine"), which);
  refineForm->addRow(QStringLiteral("Wavelengths"), cmbWavelengthModel_);
  refineForm->addRow(buttons);
  refineForm->addRow(lblRefined_);
  refineForm->addRow(btUseRefined_);
  refineForm->addRow(btUseAnyway_);
  // The steps of indexing a measurement first, the settings of the calculation below.
  for (QGroupBox* box : {measuredBox, refineBox, plotBox, profileBox, linesBox}) column->addWidget(box);
  column->addStretch(1);

  auto* scroll = new QScrollArea;
  scroll->setWidget(controls);
  scroll->setWidgetResizable(true);
  scroll->setHorizontalScrollBarPolicy(Qt::ScrollBarAlwaysOff);
  scroll->setMinimumWidth(controls->sizeHint().width() + 20);

  plot_ = new PowderPlotWidget;
  plot_->setObjectName(QStringLiteral("picPowder"));
  plot_->setLineDescriber([this](int line) { return describeLine(line); });
  connect(plot_, &PowderPlotWidget::clicked, this, [this](double twoTheta, Qt::MouseButton, Qt::KeyboardModifiers) {
    if (measured_) togglePeak(twoTheta);
  });
  connect(plot_, &PowderPlotWidget::readout, this, [this](double twoTheta, double d, double intensity) {
    if (!std::isfinite(twoTheta)) {
      lblReadout_->clear();
      return;
    }
    lblReadout_->setText(QStringLiteral("2\u03b8 = %1\u00b0   d = %2 \u00c5   I = %3")
                             .arg(twoTheta, 0, 'f', 4)
                             .arg(d, 0, 'f', 5)
                             .arg(std::isfinite(intensity) ? QString::number(intensity, 'g', 5) : QStringLiteral("-")));
  });

  lineModel_ = new PowderLineModel(this);
  peakModel_ = new PeakModel(this);
  tblLines_ = new QTableView;
  tblLines_->setObjectName(QStringLiteral("tblLines"));
  tblLines_->setModel(lineModel_);
  tblPeaks_ = new QTableView;
  tblPeaks_->setObjectName(QStringLiteral("tblPeaks"));
  tblPeaks_->setModel(peakModel_);
  for (QTableView* table : {tblLines_, tblPeaks_}) {
    table->setSelectionBehavior(QAbstractItemView::SelectRows);
    table->verticalHeader()->setDefaultSectionSize(table->fontMetrics().height() + 4);
    table->horizontalHeader()->setStretchLastSection(true);
  }
  // Choosing a line or a peak shows it in the middle of the plot.
  auto centreOn = [this](double twoTheta) {
    const double value = AxisFromTwoTheta(twoTheta, plot_->scene().wavelength, plot_->scene().axis);
    if (!std::isfinite(value)) return;
    const AxisRange view = plot_->scene().view;
    plot_->setView({value - view.width() / 2, value + view.width() / 2});
  };
  connect(tblLines_, &QTableView::activated, this, [this, centreOn](const QModelIndex& index) {
    if (lines_ && index.row() < static_cast<int>(lines_->lines.size()))
      centreOn(lines_->lines[static_cast<std::size_t>(index.row())].twoTheta + zero_);
  });
  connect(tblPeaks_, &QTableView::activated, this, [this, centreOn](const QModelIndex& index) {
    if (index.row() < static_cast<int>(peaks_.size())) centreOn(peaks_[static_cast<std::size_t>(index.row())]);
  });
  auto* tabs = new QTabWidget;
  tabs->setObjectName(QStringLiteral("tabPowder"));
  tabs->addTab(tblLines_, QStringLiteral("Lines"));
  tabs->addTab(tblPeaks_, QStringLiteral("Peaks"));
  txtRefinement_ = new QPlainTextEdit;
  txtRefinement_->setObjectName(QStringLiteral("txtRefinement"));
  txtRefinement_->setReadOnly(true);
  txtRefinement_->setLineWrapMode(QPlainTextEdit::NoWrap);
  txtRefinement_->setFont(QFontDatabase::systemFont(QFontDatabase::FixedFont));
  tabs->addTab(txtRefinement_, QStringLiteral("Refinement"));

  auto* right = new QSplitter(Qt::Vertical);
  right->addWidget(plot_);
  right->addWidget(tabs);
  right->setStretchFactor(0, 3);
  right->setStretchFactor(1, 1);

  auto* main = new QSplitter(Qt::Horizontal);
  main->addWidget(scroll);
  main->addWidget(right);
  main->setStretchFactor(1, 1);
  setCentralWidget(main);

  lblStatus_ = new QLabel;
  lblStatus_->setObjectName(QStringLiteral("lblStatus"));
  lblReadout_ = new QLabel;
  lblReadout_->setObjectName(QStringLiteral("lblReadout"));
  statusBar()->addWidget(lblStatus_, 1);
  statusBar()->addPermanentWidget(lblReadout_);
}

void PowderWindow::buildMenus() {
  auto action = [this](QMenu* menu, const char* name, const QString& text, const QKeySequence& keys, auto slot) {
    QAction* item = menu->addAction(text);
    item->setObjectName(QString::fromLatin1(name));
    if (!keys.isEmpty()) item->setShortcut(keys);
    connect(item, &QAction::triggered, this, slot);
    return item;
  };
  QMenu* file = menuBar()->addMenu(QStringLiteral("&File"));
  file->setObjectName(QStringLiteral("mnuPowderFile"));
  action(file, "mnuPowderOpen", QStringLiteral("Open Measured Pattern ..."), QKeySequence::Open,
         [this] { findChild<QPushButton*>(QStringLiteral("btOpenMeasured"))->click(); });
  file->addSeparator();
  action(file, "mnuPowderSavePattern", QStringLiteral("Save Pattern ..."), QKeySequence::Save, &PowderWindow::savePattern);
  action(file, "mnuPowderSaveLines", QStringLiteral("Save Lines ..."), QKeySequence(), &PowderWindow::saveLines);
  action(file, "mnuPowderSavePicture", QStringLiteral("Save Picture ..."), QKeySequence(), &PowderWindow::savePicture);
  action(file, "mnuPowderPrint", QStringLiteral("Print ..."), QKeySequence::Print, &PowderWindow::printPlot);
  action(file, "mnuPowderCopy", QStringLiteral("Copy Picture"), QKeySequence::Copy, &PowderWindow::copyPlot);
  file->addSeparator();
  action(file, "mnuPowderClose", QStringLiteral("Close"), QKeySequence::Close, &QWidget::close);
  QMenu* view = menuBar()->addMenu(QStringLiteral("&View"));
  view->setObjectName(QStringLiteral("mnuPowderView"));
  action(view, "mnuPowderWhole", QStringLiteral("Whole Range"), QKeySequence(Qt::Key_Home),
         [this] { plot_->showWholeRange(); });
}

int PowderWindow::nDim() const { return run_.result ? run_.result->lattice.nDim : 5; }

void PowderWindow::setRun(Run run) {
  const bool first = !run_.result;
  run_ = std::move(run);
  clearRefinement();
  fitted_.reset();
  chkRefineC_->setEnabled(HasAxisC(run_.inputs.system));
  cmbWavelengthModel_->setEnabled(AnodeEmissionLines(run_.anodeIndex).has_value());
  if (first && run_.result) {
    // The profile starts on the run's 2 theta range; later runs keep what the user set.
    tfMin_->setText(Shortest(std::max(2.0 * run_.inputs.thetaLow, 0.01)));
    tfMax_->setText(Shortest(std::min(2.0 * run_.inputs.thetaHigh, 179.99)));
  }
  chkDoublet_->setEnabled(run_.kAlpha.has_value());
  if (!run_.kAlpha) chkDoublet_->setChecked(false);
  recalculate();
}

std::optional<PowderWindow::FieldValues> PowderWindow::readFields() {
  FieldValues values;
  auto read = [this](QLineEdit* field, const NamedInput& named, double& target) {
    const std::optional<double> value = ParseNumber(field->text().replace(QLatin1Char(','), QLatin1Char('.')).toStdString());
    if (!value) {
      showMessage(QString::fromStdString(FieldMessage(named, field->text().toStdString(), "is not a number.")));
      field->setFocus();
      field->selectAll();
      return false;
    }
    target = *value;
    return true;
  };
  using namespace input;
  if (!read(tfTolerance_, kTolerance, values.lines.tolerance) ||
      !read(tfMono_, kMonochromator, values.lines.monochromatorTwoTheta) ||
      !read(tfMin_, kTwoThetaMin, values.profile.twoThetaMin) ||
      !read(tfMax_, kTwoThetaMax, values.profile.twoThetaMax) || !read(tfStep_, kTwoThetaStep, values.profile.step) ||
      !read(tfU_, kCagliotiU, values.profile.u) || !read(tfV_, kCagliotiV, values.profile.v) ||
      !read(tfW_, kCagliotiW, values.profile.w) || !read(tfEta_, kEta, values.profile.eta) ||
      !read(tfCut_, kCut, values.profile.cutWidths) || !read(tfZero_, kZero, values.zero))
    return std::nullopt;
  if (chkDoublet_->isChecked() && run_.kAlpha) values.profile.doublet = run_.kAlpha;
  values.profile.zeroShift = values.zero;
  values.lines.polarised = run_.polarised;
  std::string problem = CheckLineOptions(values.lines);
  if (problem.empty()) problem = CheckProfileOptions(values.profile);
  if (!problem.empty()) {
    showMessage(QString::fromStdString(problem));
    return std::nullopt;
  }
  return values;
}

bool PowderWindow::recalculate() {
  if (!run_.result) {
    refreshScene(false);
    return true;
  }
  if (computeWatcher_.isRunning()) {
    pending_ = true;
    return true;
  }
  const std::optional<FieldValues> values = readFields();
  if (!values) return false;
  lblStatus_->setText(QStringLiteral("calculating the pattern ..."));
  Run run = run_;
  run.inputs.wavelength = wavelength();
  const FieldValues fields = *values;
  computeWatcher_.setFuture(QtConcurrent::run([run, fields]() {
    Computed out;
    auto lines = std::make_shared<PowderLines>(BuildPowderLines(
        run.result->records, run.intensities ? &run.intensities->intensity : nullptr, run.inputs.wavelength, fields.lines));
    ScaleLinesToPercent(lines->lines);
    // A loop box may cut orbits: a complete run says which lines it cut.
    if (!run.inputs.completeLoops) {
      CalculationInputs complete = run.inputs;
      complete.completeLoops = true;
      RunControl control;
      control.maxRecords = kMaxIndexingReflections;
      const CalculationResult whole = RunCalculation(complete, control);
      if (whole.status == RunStatus::Completed) CountCompleteOrbits(lines->lines, whole.records, fields.lines);
    }
    out.profile = ComputeProfile(lines->lines, fields.profile);  // with the zero shift
    out.lines = std::move(lines);
    out.zero = fields.zero;
    return out;
  }));
  return true;
}

void PowderWindow::onComputed() {
  auto taken = TakeResult(computeWatcher_.future());
  if (const QString* thrown = std::get_if<QString>(&taken)) {
    Computed failed;
    failed.profile.error = "The powder pattern could not be computed: " + thrown->toStdString();
    taken = std::move(failed);
  }
  Computed computed = std::get<Computed>(std::move(taken));
  if (!computed.profile.error.empty()) {
    lblStatus_->setText(QStringLiteral("no pattern: %1").arg(QString::fromStdString(computed.profile.error)));
    showMessage(QString::fromStdString(computed.profile.error));
  } else {
    QString text = QStringLiteral("%1 lines from %2 reflections")
                       .arg(computed.lines->lines.size())
                       .arg(run_.result ? run_.result->records.size() : 0);
    // Peaks beyond the run's reach can never be indexed: say where it ends.
    const double reach = 2.0 * run_.inputs.thetaHigh;
    if (measured_ && measured_->twoTheta.back() > reach + 1e-9)
      text += QStringLiteral("; the run reaches 2\u03b8 = %1\u00b0 only: raise the upper theta in the main window")
                  .arg(reach, 0, 'f', 2);
    lblStatus_->setText(text);
  }
  lines_ = std::move(computed.lines);
  profile_ = std::move(computed.profile);
  zero_ = computed.zero;
  lineModel_->setLines(lines_, nDim());
  fit_ = measured_ ? FitScaleAndBackground(profile_, *measured_) : ScaleAndBackground{1.0, 0.0};
  if (!(fit_.scale > 0.0)) fit_ = {1.0, 0.0};
  btRefine_->setEnabled(measured_ && peaks_.size() >= 3 && lines_ && !lines_->lines.empty());
  btIndex_->setEnabled(btRefine_->isEnabled());
  refreshScene(true);
  if (pending_) {
    pending_ = false;
    recalculate();
  }
}

void PowderWindow::refreshScene(bool keepView) {
  PowderPlotData shown;
  if (!profile_.twoTheta.empty()) shown.profile = &profile_;
  shown.fit = fit_;
  if (lines_) shown.lines = &lines_->lines;
  shown.zero = zero_;
  if (measured_) shown.measured = &*measured_;
  shown.peaks = peaks_;
  if (refinement_) shown.unindexed = &refinement_->unindexed;
  PowderPlotScene scene = MakePowderScene(shown, static_cast<PowderAxis>(std::max(0, cmbAxis_->currentIndex())),
                                          static_cast<IntensityScale>(std::max(0, cmbScale_->currentIndex())),
                                          wavelength());
  if (fitted_ && measured_) {
    scene.calcTwoTheta = measured_->twoTheta;
    scene.calcIntensity = *fitted_;
  }
  if (!run_.result && !measured_)
    scene.message = "Run a calculation in the main window to see its powder pattern, or open a measured pattern.";
  // Zoom and pan reach over everything on show.
  const AxisRange limits = SceneLimits(scene);
  plot_->setScene(std::move(scene), keepView);
  plot_->setLimits(limits);
}

void PowderWindow::showFittedPattern(FittedPattern fitted) {
  if (fitted.twoTheta.size() < 2 || fitted.observed.size() != fitted.twoTheta.size() ||
      fitted.calculated.size() != fitted.twoTheta.size())
    return;
  if (!measured_ || measured_->twoTheta != fitted.twoTheta || measured_->intensity != fitted.observed) {
    measured_ = MeasuredPattern{fitted.twoTheta, fitted.observed, {}};
    measuredName_ = fitted.name;
    lblMeasured_->setText(QStringLiteral("%1: %2 points (fitted)").arg(measuredName_).arg(fitted.twoTheta.size()));
    peaks_.clear();
    refinement_.reset();
    refreshPeaks();
  }
  fitted_ = std::move(fitted.calculated);
  lblStatus_->setText(QStringLiteral("Whole-pattern fit: ") + fitted.summary);
  refreshScene(true);
}

double PowderWindow::wavelength() const {
  if (fileWavelength_ && chkFileWavelength_->isChecked()) return *fileWavelength_;
  return run_.result ? run_.inputs.wavelength : 1.5406;
}

void PowderWindow::describeMeasured() {
  if (!measured_) return;
  const MeasuredPattern& m = *measured_;
  QString text = QStringLiteral("%1: %2 points, 2\u03b8 %3\u2013%4\u00b0")
                     .arg(measuredName_)
                     .arg(m.twoTheta.size())
                     .arg(m.twoTheta.front(), 0, 'f', 3)
                     .arg(m.twoTheta.back(), 0, 'f', 3);
  if (fileWavelength_) {
    text += QStringLiteral("\nthe file states \u03bb = %1 \u00c5 (%2)").arg(Shortest(*fileWavelength_), fileWavelengthItem_);
    text += chkFileWavelength_->isChecked() ? QStringLiteral(": lines and refinement use it")
                                            : QStringLiteral(": not used, the run's %1 \u00c5 is").arg(Shortest(wavelength()));
  }
  lblMeasured_->setText(text);
}

bool PowderWindow::openMeasured(const QString& path, int range) {
  const MeasuredFile read = ReadMeasuredFile(QFile::encodeName(path).toStdString(), static_cast<std::size_t>(std::max(0, range)));
  if (!read.error.empty()) {
    showMessage(QStringLiteral("%1 was not opened.\n%2").arg(QDir::toNativeSeparators(path), QString::fromStdString(read.error)));
    return false;
  }
  if (read.pattern.twoTheta.size() < 2) {
    showMessage(QStringLiteral("%1 holds fewer than two points.").arg(QDir::toNativeSeparators(path)));
    return false;
  }
  measured_ = read.pattern;
  fitted_.reset();
  measuredName_ = QFileInfo(path).fileName();
  measuredPath_ = path;
  fileWavelength_ = read.wavelength;
  fileWavelengthItem_ = QString::fromStdString(read.wavelengthItem);
  {
    const QSignalBlocker quiet(cmbRange_);
    cmbRange_->clear();
    for (const std::string& description : read.ranges) cmbRange_->addItem(QString::fromStdString(description));
    cmbRange_->setCurrentIndex(static_cast<int>(read.range));
    cmbRange_->setEnabled(read.ranges.size() > 1);
  }
  chkFileWavelength_->setEnabled(fileWavelength_.has_value());
  describeMeasured();
  const MeasuredPattern& m = *measured_;
  // The calculated profile follows the measured range and step.
  const double step = (m.twoTheta.back() - m.twoTheta.front()) / static_cast<double>(m.twoTheta.size() - 1);
  tfMin_->setText(Shortest(std::max(m.twoTheta.front(), 0.001)));
  tfMax_->setText(Shortest(std::min(m.twoTheta.back(), 179.99)));
  tfStep_->setText(QString::number(step, 'g', 4));
  btFindPeaks_->setEnabled(true);
  clearRefinement();
  findPeaks();
  recalculate();
  return true;
}

void PowderWindow::findPeaks() {
  if (!measured_) return;
  PeakSearchOptions options;
  options.smoothingPoints = spSmoothing_->value();
  options.threshold = spThreshold_->value();
  const std::string problem = CheckPeakSearchOptions(options);
  if (!problem.empty()) {
    showMessage(QStringLiteral("Smoothing: %1").arg(QString::fromStdString(problem)));
    return;
  }
  foundPeaks_ = FindPeaks(*measured_, options);
  std::vector<double> found;
  for (const MeasuredPeak& peak : foundPeaks_) found.push_back(peak.twoTheta);
  setPeaks(std::move(found));
}

void PowderWindow::setPeaks(std::vector<double> twoTheta) {
  std::sort(twoTheta.begin(), twoTheta.end());
  peaks_ = std::move(twoTheta);
  clearRefinement();
}

void PowderWindow::refreshPeaks() {
  peakModel_->setPeaks(peaks_, refinement_ ? &*refinement_ : nullptr, nDim());
  btRefine_->setEnabled(measured_ && peaks_.size() >= 3 && lines_ && !lines_->lines.empty() &&
                        !refineWatcher_.isRunning());
  btIndex_->setEnabled(btRefine_->isEnabled());
  // An unreliable indexing's constants only after an explicit "Use Anyway".
  btUseRefined_->setEnabled(refinement_ && (refinement_->reliable || useAnyway_));
  btUseAnyway_->setVisible(refinement_ && !refinement_->reliable && !useAnyway_);
  if (!refinement_) {
    lblRefined_->setText(QStringLiteral("%1 peaks").arg(peaks_.size()));
    txtRefinement_->clear();
  }
  refreshScene(true);
}

void PowderWindow::togglePeak(double twoTheta) {
  if (!measured_) return;
  const double pickPixel = plot_->pixelOf(twoTheta);
  for (std::size_t i = 0; i < peaks_.size(); ++i) {
    if (std::abs(plot_->pixelOf(peaks_[i]) - pickPixel) <= kPeakPickPixels) {
      std::vector<double> kept = peaks_;
      kept.erase(kept.begin() + static_cast<std::ptrdiff_t>(i));
      setPeaks(std::move(kept));
      return;
    }
  }
  // A new peak sits on the highest measured point within a few pixels.
  const MeasuredPattern& m = *measured_;
  std::size_t best = m.twoTheta.size();
  for (std::size_t i = 0; i < m.twoTheta.size(); ++i) {
    if (std::abs(plot_->pixelOf(m.twoTheta[i]) - pickPixel) > kPeakPickPixels) continue;
    if (best == m.twoTheta.size() || m.intensity[i] > m.intensity[best]) best = i;
  }
  std::vector<double> more = peaks_;
  more.push_back(best < m.twoTheta.size() ? m.twoTheta[best] : twoTheta);
  setPeaks(std::move(more));
}

void PowderWindow::clearRefinement() {
  refinement_.reset();
  useAnyway_ = false;
  refreshPeaks();
}

void PowderWindow::refine() { startIndexing(false); }
void PowderWindow::indexAbInitio() { startIndexing(true); }

void PowderWindow::startIndexing(bool abInitio) {
  if (!run_.result || refineWatcher_.isRunning()) return;
  if (peaks_.size() < 3) {
    showMessage(QStringLiteral("Indexing needs at least 3 peaks; %1 found.").arg(peaks_.size()));
    return;
  }
  const std::optional<FieldValues> values = readFields();
  if (!values) return;
  IndexingOptions options;
  const QString toleranceText = tfIndexTolerance_->text().replace(QLatin1Char(','), QLatin1Char('.'));
  const std::optional<double> tolerance = ParseNumber(toleranceText.toStdString());
  if (!tolerance || !input::kIndexTolerance.range.Contains(*tolerance)) {
    showMessage(QStringLiteral("Tolerance: \"%1\" must be a number of degrees above 0 and at most 10.").arg(tfIndexTolerance_->text()));
    return;
  }
  options.abInitio = abInitio;
  options.tolerance = *tolerance;
  options.refineA = chkRefineA_->isChecked();
  options.refineC = chkRefineC_->isChecked() && HasAxisC(run_.inputs.system);
  options.refineZero = chkRefineZero_->isChecked();
  options.zero = values->zero;
  if (!options.refineA && !options.refineC && !options.refineZero) {
    showMessage(QStringLiteral("Choose at least one of a, c and the zero shift to refine."));
    return;
  }
  if (measured_) {
    options.measuredLow = measured_->twoTheta.front();
    options.measuredHigh = measured_->twoTheta.back();
  }
  // The heights of the peaks found; a peak added by hand takes the pattern
  // there over the lowest point within a degree.
  std::vector<ObservedPeak> peaks;
  for (const double t : peaks_) {
    ObservedPeak peak{t, 0.0};
    const auto found = std::find_if(foundPeaks_.begin(), foundPeaks_.end(),
                                    [t](const MeasuredPeak& p) { return std::abs(p.twoTheta - t) < 1e-9; });
    if (found != foundPeaks_.end()) {
      peak.intensity = found->height;
    } else if (measured_) {
      const auto& x = measured_->twoTheta;
      const auto& y = measured_->intensity;
      const auto at = static_cast<std::size_t>(std::lower_bound(x.begin(), x.end(), t) - x.begin());
      double lowest = y[std::min(at, y.size() - 1)];
      for (std::size_t i = 0; i < x.size(); ++i)
        if (std::abs(x[i] - t) <= 1.0) lowest = std::min(lowest, y[i]);
      peak.intensity = std::max(y[std::min(at, y.size() - 1)] - lowest, 0.0);
    }
    peaks.push_back(peak);
  }
  options.peakWidth = TypicalPeakWidth(foundPeaks_);
  const WavelengthModel model =
      cmbWavelengthModel_->currentIndex() == 1 ? WavelengthModel::KAlpha1 : WavelengthModel::Doublet;
  // A wavelength the measured file states, when it is used, is one line.
  const bool fromFile = fileWavelength_ && chkFileWavelength_->isChecked();
  const WavelengthSetup wavelength =
      fromFile ? MakeWavelengthSetup(kTypedAnodeIndex, model, *fileWavelength_)
               : MakeWavelengthSetup(run_.anodeIndex, model, run_.inputs.wavelength);
  lblStatus_->setText(abInitio ? QStringLiteral("indexing without a start ...") : QStringLiteral("indexing and refining ..."));
  refinedRun_ = run_.result;
  btRefine_->setEnabled(false);
  btIndex_->setEnabled(false);
  refineWatcher_.setFuture(QtConcurrent::run([inputs = run_.inputs, model = run_.model, peaks, wavelength,
                                              lines = values->lines, options]() {
    return IndexPattern(peaks, inputs, model ? &*model : nullptr, wavelength, lines, options);
  }));
}

void PowderWindow::onRefined() {
  auto taken = TakeResult(refineWatcher_.future());
  if (const QString* thrown = std::get_if<QString>(&taken)) {
    IndexingResult failed;
    failed.error = thrown->toStdString();
    taken = std::move(failed);
  }
  IndexingResult result = std::get<IndexingResult>(std::move(taken));
  btRefine_->setEnabled(true);
  btIndex_->setEnabled(true);
  if (refinedRun_ != run_.result) {  // a new run came meanwhile: the result belongs to the old one
    lblStatus_->setText(QStringLiteral("the run changed while indexing: index again"));
    return;
  }
  if (!result.error.empty()) {
    lblStatus_->setText(QStringLiteral("indexing failed"));
    showMessage(QStringLiteral("The indexing gave no result: %1").arg(QString::fromStdString(result.error)));
    return;
  }
  refinement_ = std::move(result);
  useAnyway_ = false;
  const IndexingResult& r = *refinement_;
  QString text;
  if (r.candidates.empty()) {
    text = QStringLiteral("No reliable solution: %1").arg(QString::fromStdString(r.Refusal()));
  } else {
    if (!r.reliable)
      text = QStringLiteral("No reliable solution (%1). Best candidate:\n").arg(QString::fromStdString(r.Refusal()));
    text += QStringLiteral("a = %1 \u00c5").arg(QString::fromStdString(ValueWithSu(r.a, r.aSu, 6)));
    if (HasAxisC(run_.inputs.system))
      text += QStringLiteral("\nc = %1 \u00c5").arg(QString::fromStdString(ValueWithSu(r.c, r.cSu, 6)));
    text += QStringLiteral("\nzero = %1\u00b0").arg(QString::fromStdString(ValueWithSu(r.zero, r.zeroSu, 4)));
    text += QStringLiteral("\n%1 of %2 peaks indexed, W = %3 (C %4, F(N) %5, M(20) %6)")
                .arg(r.indexed.size())
                .arg(peaks_.size())
                .arg(r.figures.merit, 0, 'f', 1)
                .arg(r.figures.match, 0, 'f', 2)
                .arg(r.figures.fN, 0, 'f', 1)
                .arg(r.figures.m20, 0, 'f', 1);
    text += QStringLiteral("\n%1").arg(QString::fromStdString(r.wavelength.Describe()));
  }
  lblRefined_->setText(text);
  lblStatus_->setText(r.reliable ? QStringLiteral("indexed: reliable") : QStringLiteral("no reliable solution"));
  txtRefinement_->setPlainText(QString::fromStdString(r.candidates.empty() ? r.Refusal() : IndexingReport(r, nDim())));
  refreshPeaks();
}

void PowderWindow::useRefined() {
  if (!refinement_ || refinement_->candidates.empty() || !(refinement_->reliable || useAnyway_)) return;
  // The main window's run follows; the zero shift stays here, where it applies.
  tfZero_->setText(QString::number(refinement_->zero, 'f', 5));
  emit constantsChosen(refinement_->a, HasAxisC(run_.inputs.system) ? refinement_->c : kNaN);
}

QString PowderWindow::describeLine(int line) const {
  if (!lines_ || line < 0 || line >= static_cast<int>(lines_->lines.size())) return {};
  const PowderLine& l = lines_->lines[static_cast<std::size_t>(line)];
  QString text = QStringLiteral("2\u03b8 %1\u00b0, d %2 \u00c5, multiplicity %3, I %4")
                     .arg(l.twoTheta, 0, 'f', 4)
                     .arg(l.d, 0, 'f', 5)
                     .arg(l.multiplicity)
                     .arg(l.intensity, 0, 'f', 2);
  const std::size_t shown = std::min<std::size_t>(l.indices.size(), 6);
  for (std::size_t k = 0; k < shown; ++k)
    text += QStringLiteral("\n(%1)  qi %2").arg(QString::fromStdString(IndexText(l.indices[k], nDim(), " "))).arg(l.qi[k], 0, 'f', 4);
  if (l.indices.size() > shown) text += QStringLiteral("\n... %1 more").arg(l.indices.size() - shown);
  return text;
}

void PowderWindow::waitForIdle() {
  while (computeWatcher_.isRunning() || refineWatcher_.isRunning() || pending_) {
    computeWatcher_.waitForFinished();
    refineWatcher_.waitForFinished();
    QCoreApplication::processEvents();
  }
  QCoreApplication::processEvents();
}

bool PowderWindow::busy() const { return computeWatcher_.isRunning() || refineWatcher_.isRunning(); }

void PowderWindow::saveFile(const QString& title, const QString& proposed, const QString& filter, const QString& what,
                            const std::function<std::optional<std::string>(const QString& chosen)>& content) {
  const QString chosen =
      Dialogs().saveFileName(this, title, QDir(paths_.exportFolder()).filePath(proposed), filter);
  if (chosen.isEmpty()) return;
  const std::optional<std::string> text = content(chosen);
  if (!text) return;  // content has said why
  const WriteOutcome outcome = WriteFileAtomically(LocalPath(chosen), *text);
  if (!outcome.ok) showMessage(QStringLiteral("The %1 was not saved.\n%2").arg(what, QString::fromStdString(outcome.error)));
}

void PowderWindow::savePattern() {
  if (profile_.twoTheta.empty()) {
    showMessage(QStringLiteral("There is no calculated pattern to save."));
    return;
  }
  saveFile(QStringLiteral("Save Pattern"), QStringLiteral("powder.xy"), QStringLiteral("XY file (*.xy);;CSV table (*.csv)"),
           QStringLiteral("pattern"), [this](const QString& chosen) {
             return std::optional<std::string>(PowderPatternText(profile_, EndsWithCsv(chosen.toStdString())));
           });
}

void PowderWindow::saveLines() {
  if (!lines_) {
    showMessage(QStringLiteral("There are no lines to save."));
    return;
  }
  saveFile(QStringLiteral("Save Lines"), QStringLiteral("powder_lines.csv"), QStringLiteral("CSV table (*.csv)"),
           QStringLiteral("table of lines"),
           [this](const QString&) { return std::optional<std::string>(PowderLinesCsv(*lines_, nDim())); });
}

void PowderWindow::savePicture() {
  saveFile(QStringLiteral("Save Picture"), QStringLiteral("powder.png"),
           QStringLiteral("PNG picture (*.png);;SVG drawing (*.svg);;PDF document (*.pdf)"), QStringLiteral("picture"),
           [this](const QString& chosen) -> std::optional<std::string> {
             QString format = QFileInfo(chosen).suffix().toLower();
             if (format != QLatin1String("svg") && format != QLatin1String("pdf")) format = QStringLiteral("png");
             QString error;
             const QByteArray bytes = RenderPowderPlot(plot_->scene(), format, plot_->size(), &error);
             if (bytes.isEmpty()) {
               showMessage(QStringLiteral("The picture was not saved: %1.").arg(error));
               return std::nullopt;
             }
             return bytes.toStdString();
           });
}

void PowderWindow::printPlot() {
  QPrinter printer(QPrinter::HighResolution);
  printer.setPageOrientation(QPageLayout::Landscape);
  if (!Dialogs().setUpPrinter(this, printer)) return;
  QPainter painter;
  if (!painter.begin(&printer)) {
    showMessage(QStringLiteral("The printer could not be started."));
    return;
  }
  // The screen's proportions, as large as the page allows.
  const QRectF page = printer.pageLayout().paintRectPixels(printer.resolution()).translated(
      -printer.pageLayout().paintRectPixels(printer.resolution()).topLeft());
  const double ratio = static_cast<double>(plot_->height()) / std::max(plot_->width(), 1);
  const double width = std::min(page.width(), page.height() / ratio);
  const double scale = width / std::max(plot_->width(), 1);
  painter.scale(scale, scale);
  PaintPowderPlot(painter, QRectF(0, 0, plot_->width(), plot_->height()), plot_->scene());
  painter.end();
}

void PowderWindow::copyPlot() {
  QImage image(plot_->size(), QImage::Format_RGB32);
  QPainter painter(&image);
  PaintPowderPlot(painter, QRectF(image.rect()), plot_->scene());
  painter.end();
  QApplication::clipboard()->setImage(image);
  lblStatus_->setText(QStringLiteral("picture copied"));
}

void PowderWindow::showMessage(const QString& text) { Dialogs().warning(this, text); }

}  // namespace lumora
