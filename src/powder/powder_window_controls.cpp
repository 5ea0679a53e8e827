// The powder window's option panel and views.
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
#include "powder/run_lines.hpp"
#include "powder/indexing_lines.hpp"
#include "reflections/emission_lines.hpp"

namespace lumora {
namespace {

QString Q(std::string_view s) { return QString::fromUtf8(s.data(), static_cast<qsizetype>(s.size())); }

// The field of a named input, holding its default.
QLineEdit* MakeField(QWidget* parent, const NamedInput& input, const QString& tip) {
  auto* field = new QLineEdit(Q(input.defaultText), parent);
  field->setObjectName(Q(input.field));
  field->setToolTip(tip);
  field->setMaximumWidth(110);
  return field;
}

}  // namespace

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
  chkCompleteOrbits_ = new QCheckBox(QStringLiteral("Complete orbits"), linesBox);
  chkCompleteOrbits_->setObjectName(QStringLiteral("chkCompleteOrbits"));
  chkCompleteOrbits_->setChecked(true);
  chkCompleteOrbits_->setToolTip(QStringLiteral(
      "Every reflection of the theta range and qi-max, whatever the main window's loop limits; "
      "unticked, the loop box's reflections, with the lines it cuts marked incomplete"));
  linesForm->addRow(chkCompleteOrbits_);
  connect(chkCompleteOrbits_, &QCheckBox::toggled, this, &PowderWindow::recalculate);

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

}  // namespace lumora
