#include "tiling/tiling_window.hpp"

#include <QAction>
#include <QApplication>
#include <QBuffer>
#include <QButtonGroup>
#include <QFileInfo>
#include <QCheckBox>
#include <QComboBox>
#include <QLineEdit>
#include <QRegularExpression>
#include <QDoubleSpinBox>
#include <QClipboard>
#include <QCloseEvent>
#include <QDir>
#include <QFile>
#include <QGridLayout>
#include <QGroupBox>
#include <QHBoxLayout>
#include <QHeaderView>
#include <QLabel>
#include <QMessageBox>
#include <QMouseEvent>
#include <QPainter>
#include <QRadioButton>
#include <QScrollBar>
#include <QStackedWidget>
#include <QStatusBar>
#include <QStyle>
#include <QTabBar>
#include <QTableView>
#include <QTimer>
#include <QToolBar>
#include <QVBoxLayout>
#include <QtConcurrent/QtConcurrentRun>
#include <algorithm>

#include "ui/dialogs.hpp"
#include "ui/theme_icon.hpp"
#include "common/file_io.hpp"
#include "common/numeric.hpp"
#include "inputs/input_reading.hpp"
#include "fourier/ft_peak.hpp"
#include "fourier/ft_profile.hpp"
#include "tiling/multigrid.hpp"
#include "tiling/peak_pick.hpp"
#include "ui/picture_box.hpp"
#include "ui/sharp_zoom.hpp"
#include "tiling/tile_colors.hpp"
#include "tiling/tile_shapes.hpp"
#include "tiling/tiling_analysis_view.hpp"
#include "tiling/tiling_export.hpp"
#include "tiling/tiling_painter.hpp"
#include "tiling/tiling_status.hpp"
#include "tiling/vertex_list_model.hpp"
#include "tiling/xy_file.hpp"

namespace lumora {
namespace {

constexpr int kPictureSize = TilingLimits::kCanvasSize;
constexpr int kStripHeight = 100;  // inner height of the profile strip
constexpr int kBrightnessRepeatMs = 10;
constexpr std::size_t kMaxModulePoints = 20000;
constexpr int kFtPickRadius = 6;  // pixels around a click on the transform searched for its peak
constexpr std::size_t kMaxPickedNear = 64;  // module points within a pixel of a picked peak
const char* const kFtPickHint = "Click a peak for its k and, at a module point, its indices";

QString SwatchStyle(ColorValue c) {
  return QStringLiteral("background-color: rgb(%1, %2, %3); border: 1px solid gray;")
      .arg(RedOf(c))
      .arg(GreenOf(c))
      .arg(BlueOf(c));
}

QScrollBar* MakeScrollBar(const char* name, int lo, int hi, int value, int pageStep) {
  auto* bar = new QScrollBar(Qt::Horizontal);
  bar->setObjectName(QString::fromLatin1(name));
  bar->setRange(lo, hi);
  bar->setSingleStep(1);
  bar->setPageStep(pageStep);
  bar->setValue(value);
  return bar;
}

QLabel* MakeLabel(const QString& name, const QString& text) {
  auto* label = new QLabel(text);
  label->setObjectName(name);
  return label;
}

}  // namespace

// What the worker hands back: the tiling, the random source after the run and
// the pictures, painted off the GUI thread.
struct TilingWindow::Generated {
  std::shared_ptr<Tiling> tiling;
  std::mt19937 random;
  QImage tilingImage;
  QImage vertexImage;
  std::vector<int> legendShapes;
  std::vector<std::array<double, 2>> latticePositions;
  QString error;
};

// The statistics and internal view of one tiling, worked out after its picture is on show.
// Each result holds its tiling, so no later tiling can take its address.
struct TilingWindow::Analysed {
  std::shared_ptr<const Tiling> source;
  TilingAnalysisView view;
};

// The exact diffraction, computed and painted on a worker.
struct TilingWindow::Diffracted {
  std::shared_ptr<const Tiling> source;
  Peaks peaks;
  QImage picture;
  QString error;
};

namespace {

QImage PaintPeaks(const TilingWindow::Peaks& peaks, int size, double pixelRatio) {
  return PaintPeaks(peaks.points, peaks.intensity, peaks.kMax, size, pixelRatio);
}

}  // namespace

namespace {

// Gives the shifts typed in the editor, or says which entry is wrong.
std::optional<std::vector<double>> ParseShifts(const QString& text, int n, QString& problem) {
  const QStringList parts = text.split(QRegularExpression(QStringLiteral("[\\s,;]+")), Qt::SkipEmptyParts);
  if (parts.size() != n) {
    problem = QStringLiteral("Shifts: %1 numbers are needed for N = %1, \"%2\" has %3.").arg(n).arg(text).arg(parts.size());
    return std::nullopt;
  }
  std::vector<double> shifts;
  for (int i = 0; i < parts.size(); ++i) {
    bool ok = false;
    const double v = parts[i].toDouble(&ok);
    if (!ok || !input::kShifts.range.Contains(v)) {
      problem = QStringLiteral("Shifts: entry %1 \"%2\" is not a number from -1 to 1.").arg(i + 1).arg(parts[i]);
      return std::nullopt;
    }
    shifts.push_back(v);
  }
  return shifts;
}

}  // namespace

TilingWindow::TilingWindow(const AppPaths& paths, QWidget* mainWindow, QWidget* parent)
    : QMainWindow(parent), paths_(paths), mainWindow_(mainWindow) {
  setObjectName(QStringLiteral("frmNanoHoles"));
  setWindowTitle(QStringLiteral("Tiling Vertex Generator"));
  if (mainWindow) setWindowIcon(mainWindow->windowIcon());

  auto* toolbar = addToolBar(QStringLiteral("Tools"));
  toolbar->setObjectName(QStringLiteral("tb1"));
  toolbar->setMovable(false);
  toolbar->setToolButtonStyle(Qt::ToolButtonTextBesideIcon);
  drawAction_ = toolbar->addAction(ThemeIcon("view-refresh", QStyle::SP_BrowserReload),
                                   QStringLiteral("Draw "), this, &TilingWindow::makeTiling);
  drawAction_->setObjectName(QStringLiteral("actDraw"));
  toolbar->addSeparator();
  saveAction_ = toolbar->addAction(ThemeIcon("document-save", QStyle::SP_DialogSaveButton),
                                   QStringLiteral("Save Coordinates"), this, &TilingWindow::saveCoordinates);
  saveAction_->setObjectName(QStringLiteral("actSaveCoordinates"));
  copyAction_ = toolbar->addAction(ThemeIcon("edit-copy", QStyle::SP_FileDialogContentsView),
                                   QStringLiteral("Copy Image"), this, &TilingWindow::copyImage);
  copyAction_->setObjectName(QStringLiteral("actCopyImage"));
  pictureAction_ = toolbar->addAction(ThemeIcon("image-x-generic", QStyle::SP_DriveFDIcon), QStringLiteral("Save Picture"),
                                      this, &TilingWindow::savePicture);
  pictureAction_->setObjectName(QStringLiteral("actSavePicture"));
  pictureAction_->setToolTip(QStringLiteral("The picture on show as PNG; the tiling also as SVG"));
  csvAction_ = toolbar->addAction(ThemeIcon("x-office-spreadsheet", QStyle::SP_FileIcon), QStringLiteral("Tiles CSV"),
                                  this, &TilingWindow::exportTilesCsv);
  csvAction_->setObjectName(QStringLiteral("actTilesCsv"));
  csvAction_->setToolTip(QStringLiteral("Every tile: type, shape and corners in edge lengths about the centre"));
  verticesCsvAction_ = toolbar->addAction(ThemeIcon("x-office-spreadsheet", QStyle::SP_FileIcon),
                                          QStringLiteral("Vertices CSV"), this, &TilingWindow::exportVerticesCsv);
  verticesCsvAction_->setObjectName(QStringLiteral("actVerticesCsv"));
  verticesCsvAction_->setToolTip(QStringLiteral("The exact vertices in edge lengths about the centre, with their indices"));
  toolbar->addSeparator();
  helpAction_ = toolbar->addAction(ThemeIcon("help-contents", QStyle::SP_DialogHelpButton),
                                   QStringLiteral("Help"), this, &TilingWindow::showHelp);
  helpAction_->setObjectName(QStringLiteral("actHelp"));

  auto* central = new QWidget;
  auto* layout = new QHBoxLayout(central);
  auto* frame = new QGroupBox(QStringLiteral("Tiling Options"));
  frame->setObjectName(QStringLiteral("Frame1"));
  buildOptions(frame);
  layout->addWidget(frame, 0, Qt::AlignTop);
  auto* area = new QWidget;
  buildViews(area);
  layout->addWidget(area, 0, Qt::AlignTop);
  layout->addStretch(1);
  setCentralWidget(central);

  auto* bar = statusBar();
  bar->setObjectName(QStringLiteral("stb"));
  for (int i = 0; i < 4; ++i) {
    statusPanels_[i] = MakeLabel(QStringLiteral("stbPanel%1").arg(i + 1), QString());
    statusPanels_[i]->setFrameStyle(QFrame::Panel | QFrame::Sunken);
    bar->addWidget(statusPanels_[i], i == 3 ? 1 : 0);
  }

  timer_ = new QTimer(this);
  timer_->setObjectName(QStringLiteral("Timer1"));
  timer_->setInterval(kBrightnessRepeatMs);
  connect(timer_, &QTimer::timeout, this, &TilingWindow::brightnessTick);

  transform_.SetDimensionFFT(kPictureSize);

  watcher_ = new QFutureWatcher<std::shared_ptr<Generated>>(this);
  connect(watcher_, &QFutureWatcherBase::finished, this, &TilingWindow::showGenerated);
  peakWatcher_ = new QFutureWatcher<std::shared_ptr<Diffracted>>(this);
  connect(peakWatcher_, &QFutureWatcherBase::finished, this, &TilingWindow::showDiffraction);
  analysisWatcher_ = new QFutureWatcher<std::shared_ptr<Analysed>>(this);
  connect(analysisWatcher_, &QFutureWatcherBase::finished, this, &TilingWindow::showAnalysis);
  saveAction_->setEnabled(false);
  copyAction_->setEnabled(false);
  pictureAction_->setEnabled(false);
  csvAction_->setEnabled(false);
  verticesCsvAction_->setEnabled(false);
  makeTiling();
}

TilingWindow::~TilingWindow() {
  // The worker only touches its own copies, but its result must not arrive
  // after the window is gone.
  if (generating_) {
    watcher_->disconnect(this);
    watcher_->waitForFinished();
    QApplication::restoreOverrideCursor();
  }
  if (computingPeaks_) {
    peakWatcher_->disconnect(this);
    peakWatcher_->waitForFinished();
  }
  if (analysing_) {
    analysisWatcher_->disconnect(this);
    analysisWatcher_->waitForFinished();
  }
}

void TilingWindow::buildOptions(QWidget* frame) {
  auto* grid = new QGridLayout(frame);
  int row = 0;
  auto addBar = [&](const char* titleName, const char* title, QScrollBar* bar, const char* valueName) {
    grid->addWidget(MakeLabel(QString::fromLatin1(titleName), QString::fromLatin1(title)), row, 0, 1, 2);
    auto* value = MakeLabel(QString::fromLatin1(valueName), QString::number(bar->value()));
    value->setAlignment(Qt::AlignRight | Qt::AlignVCenter);
    value->setMinimumWidth(28);
    grid->addWidget(value, row, 2);
    ++row;
    grid->addWidget(bar, row++, 0, 1, 3);
    // Only the label follows the bar; the user redraws when ready.
    connect(bar, &QScrollBar::valueChanged, value, [value](int v) { value->setText(QString::number(v)); });
  };
  using L = TilingLimits;
  scrF_ = MakeScrollBar("scrF", L::kMinSymmetry, L::kMaxSymmetry, L::kDefaultSymmetry, 1);
  scrN_ = MakeScrollBar("scrN", L::kMinLoopOrder, L::kMaxLoopOrder, L::kDefaultLoopOrder, 1);
  scrZoom_ = MakeScrollBar("scrZoom", L::kMinZoom, L::kMaxZoom, L::kDefaultZoom, 1);
  scrB_ = MakeScrollBar("scrB", L::kMinBrightness, L::kMaxBrightness, L::kDefaultBrightness, 10);
  addBar("lb0", "Symmetry", scrF_, "lb4");
  addBar("lb3", "Loop Order", scrN_, "lb5");
  addBar("lb6", "Scale", scrZoom_, "lb7");
  addBar("lb8", "Brightness", scrB_, "lb9");

  grid->addWidget(MakeLabel(QStringLiteral("lb1"), QStringLiteral("Multi-Grid Shifts")), row++, 0, 1, 3);
  shiftGroup_ = new QButtonGroup(frame);
  const char* shiftTexts[] = {"Symmetry Type 1", "Symmetry Type 2", "Random Tiling", "Given Shifts"};
  for (int i = 0; i < 4; ++i) {
    auto* option = new QRadioButton(QString::fromLatin1(shiftTexts[i]));
    option->setObjectName(QStringLiteral("rb%1").arg(i));
    shiftGroup_->addButton(option, i);
    grid->addWidget(option, row++, 0, 1, 3);
  }
  shiftGroup_->button(0)->setChecked(true);
  shiftEdit_ = new QLineEdit;
  shiftEdit_->setObjectName(QStringLiteral("edShifts"));
  shiftEdit_->setToolTip(QStringLiteral("The N grid shifts \u03b3_i, from -1 to 1, separated by blanks"));
  shiftEdit_->setText(QStringLiteral("0.2 0.2 0.2 0.2 0.2"));
  grid->addWidget(shiftEdit_, row++, 0, 1, 3);
  shiftSum_ = MakeLabel(QStringLiteral("lbShiftSum"), QString());
  grid->addWidget(shiftSum_, row++, 0, 1, 3);
  connect(shiftEdit_, &QLineEdit::textChanged, this, &TilingWindow::showShiftSum);
  connect(shiftEdit_, &QLineEdit::textEdited, this, [this] { shiftGroup_->button(3)->setChecked(true); });
  preset_ = new QComboBox;
  preset_->setObjectName(QStringLiteral("cboPreset"));
  preset_->addItems({QStringLiteral("Standard tiling\u2026"), QStringLiteral("Penrose"),
                     QStringLiteral("Generalised Penrose"), QStringLiteral("Ammann\u2013Beenker")});
  grid->addWidget(preset_, row, 0, 1, 2);
  presetSum_ = new QDoubleSpinBox;
  presetSum_->setObjectName(QStringLiteral("spnShiftSum"));
  presetSum_->setRange(input::kShiftSum.range.low, input::kShiftSum.range.high);
  presetSum_->setDecimals(3);
  presetSum_->setSingleStep(0.1);
  presetSum_->setValue(DefaultNumber(input::kShiftSum));
  presetSum_->setToolTip(QStringLiteral("Shift sum of the generalised Penrose tiling"));
  grid->addWidget(presetSum_, row++, 2);
  connect(preset_, &QComboBox::activated, this, &TilingWindow::applyPreset);
  colourByShape_ = new QCheckBox(QStringLiteral("Colour by shape"));
  colourByShape_->setObjectName(QStringLiteral("chkColourByShape"));
  grid->addWidget(colourByShape_, row++, 0, 1, 3);
  showShiftSum();

  for (int i = 0; i < 10; ++i) {
    swatches_[i] = MakeLabel(QStringLiteral("lbcol%1").arg(i), QString());
    swatches_[i]->setFixedSize(18, 14);
    legendTexts_[i] = MakeLabel(QStringLiteral("lt%1").arg(i), i < 9 ? QStringLiteral("Tile %1").arg(i + 1)
                                                                      : QStringLiteral("Grid"));
    grid->addWidget(swatches_[i], row, 0);
    grid->addWidget(legendTexts_[i], row++, 1, 1, 2);
    if (i < 9) {
      swatches_[i]->hide();
      legendTexts_[i]->hide();
    }
  }
  swatches_[9]->setStyleSheet(SwatchStyle(gridColor_));

  note_ = MakeLabel(QStringLiteral("lbNote"), QString());
  note_->setWordWrap(true);
  note_->setStyleSheet(QStringLiteral("color: #a04000;"));
  grid->addWidget(note_, row++, 0, 1, 3);
  message_ = MakeLabel(QStringLiteral("lbMSG"), QString());
  message_->setWordWrap(true);
  grid->addWidget(message_, row++, 0, 1, 3);
  grid->setColumnStretch(1, 1);
  grid->setRowStretch(row, 1);
  frame->setFixedWidth(220);
}

void TilingWindow::buildViews(QWidget* area) {
  auto* column = new QVBoxLayout(area);
  column->setContentsMargins(0, 0, 0, 0);
  auto* tabRow = new QHBoxLayout;
  tabs_ = new QTabBar;
  tabs_->setObjectName(QStringLiteral("tab1"));
  tabs_->addTab(QStringLiteral("Tiling"));
  tabs_->addTab(QStringLiteral("Vertices"));
  tabs_->addTab(QStringLiteral("List"));
  tabs_->addTab(QStringLiteral("FT"));
  tabs_->setTabToolTip(TilingTab, QStringLiteral("Quasiperiodic Tiling"));
  tabs_->setTabToolTip(ListTab, QStringLiteral("Table of unique XY Coordinates"));
  tabs_->setTabToolTip(FtTab, QStringLiteral("Fourier Transform (for Image of Vertices)"));
  tabs_->addTab(QStringLiteral("Diffraction"));
  tabs_->setTabToolTip(DiffractionTab, QStringLiteral("Bragg peaks of the exact vertex set"));
  tabs_->addTab(QStringLiteral("Internal"));
  tabs_->setTabToolTip(InternalTab, QStringLiteral("The vertices in internal (perpendicular) space"));
  tabs_->addTab(QStringLiteral("Statistics"));
  tabs_->setTabToolTip(StatisticsTab, QStringLiteral("Tiles by shape and vertices by coordination"));
  tabRow->addWidget(tabs_);
  tabRow->addStretch(1);
  darker_ = MakeLabel(QStringLiteral("lbBR1_0"), QStringLiteral("[Darker]"));
  darker_->setToolTip(QStringLiteral("Decrease Intensity Factor"));
  brighter_ = MakeLabel(QStringLiteral("lbBR1_1"), QStringLiteral("[Brighter]"));
  brighter_->setToolTip(QStringLiteral("Increase Intensity Factor"));
  for (QLabel* label : {darker_, brighter_}) {
    label->setCursor(Qt::PointingHandCursor);
    label->installEventFilter(this);
    label->hide();
    tabRow->addWidget(label);
  }
  column->addLayout(tabRow);

  ftOptions_ = new QWidget;
  ftOptions_->setObjectName(QStringLiteral("ftOptions"));
  auto* ftRow = new QHBoxLayout(ftOptions_);
  ftRow->setContentsMargins(0, 0, 0, 0);
  logDisplay_ = new QCheckBox(QStringLiteral("Log"));
  logDisplay_->setObjectName(QStringLiteral("chkLog"));
  logDisplay_->setToolTip(QStringLiteral("Four decades of magnitude on the grey scale"));
  hideZero_ = new QCheckBox(QStringLiteral("Hide zero frequency"));
  hideZero_->setObjectName(QStringLiteral("chkHideZero"));
  gainLabel_ = MakeLabel(QStringLiteral("lbGain"), QString());
  ftRow->addWidget(logDisplay_);
  ftRow->addWidget(hideZero_);
  ftRow->addStretch(1);
  ftRow->addWidget(gainLabel_);
  connect(logDisplay_, &QCheckBox::toggled, this, &TilingWindow::updateFtOptions);
  connect(hideZero_, &QCheckBox::toggled, this, &TilingWindow::updateFtOptions);
  ftOptions_->hide();
  column->addWidget(ftOptions_);

  diffractionOptions_ = new QWidget;
  diffractionOptions_->setObjectName(QStringLiteral("diffractionOptions"));
  auto* dRow = new QHBoxLayout(diffractionOptions_);
  dRow->setContentsMargins(0, 0, 0, 0);
  kMax_ = new QDoubleSpinBox;
  kMax_->setObjectName(QStringLiteral("spnKMax"));
  kMax_->setRange(0.1, 5.0);
  kMax_->setSingleStep(0.1);
  kMax_->setValue(2.0);
  kMax_->setToolTip(QStringLiteral("Largest |k| in reciprocal edge lengths"));
  internalMax_ = new QDoubleSpinBox;
  internalMax_->setObjectName(QStringLiteral("spnInternal"));
  internalMax_->setRange(0.1, 5.0);
  internalMax_->setSingleStep(0.1);
  internalMax_->setValue(1.0);
  internalMax_->setToolTip(QStringLiteral("Largest length of the internal (perpendicular) component of k"));
  dRow->addWidget(new QLabel(QStringLiteral("|k| \u2264")));
  dRow->addWidget(kMax_);
  dRow->addWidget(new QLabel(QStringLiteral("internal \u2264")));
  dRow->addWidget(internalMax_);
  dRow->addStretch(1);
  for (QDoubleSpinBox* box : {kMax_, internalMax_})
    connect(box, &QDoubleSpinBox::valueChanged, this, [this] {
      peaksCurrent_ = false;
      if (selectedTab_ == DiffractionTab) updateDiffraction();
    });
  diffractionOptions_->hide();
  column->addWidget(diffractionOptions_);

  views_ = new QStackedWidget;
  views_->setObjectName(QStringLiteral("views"));
  views_->setFixedSize(kPictureSize, kPictureSize);
  pb_ = new PictureBox(kPictureSize, kPictureSize);
  pb_->setObjectName(QStringLiteral("pb"));
  tilingZoom_ = new SharpZoom(pb_);
  pb2_ = new PictureBox(kPictureSize, kPictureSize);
  pb2_->setObjectName(QStringLiteral("pb2"));
  lst_ = new QTableView;
  lst_->setObjectName(QStringLiteral("lst"));
  listModel_ = new VertexListModel(lst_);
  lst_->setModel(listModel_);
  lst_->verticalHeader()->hide();
  lst_->verticalHeader()->setDefaultSectionSize(lst_->fontMetrics().height() + 4);
  lst_->horizontalHeader()->setStretchLastSection(true);
  lst_->setSelectionBehavior(QAbstractItemView::SelectRows);
  lst_->setColumnWidth(0, 90);
  lst_->setColumnWidth(1, 160);
  pb3_ = new PictureBox(kPictureSize, kPictureSize);
  pb3_->setObjectName(QStringLiteral("pb3"));
  views_->addWidget(pb_);
  views_->addWidget(pb2_);
  views_->addWidget(lst_);
  views_->addWidget(pb3_);
  pb4_ = new PictureBox(kPictureSize, kPictureSize);
  pb4_->setObjectName(QStringLiteral("pb4"));
  peaksZoom_ = new SharpZoom(pb4_);
  views_->addWidget(pb4_);
  pb5_ = new PictureBox(kPictureSize, kPictureSize);
  pb5_->setObjectName(QStringLiteral("pb5"));
  views_->addWidget(pb5_);
  statistics_ = MakeLabel(QStringLiteral("lbStatistics"), QString());
  statistics_->setAlignment(Qt::AlignLeft | Qt::AlignTop);
  statistics_->setWordWrap(true);
  statistics_->setTextInteractionFlags(Qt::TextSelectableByMouse);
  statistics_->setMargin(8);
  views_->addWidget(statistics_);
  column->addWidget(views_);
  cursorLabel_ = MakeLabel(QStringLiteral("lbCursor"), QString());
  cursorLabel_->setTextInteractionFlags(Qt::TextSelectableByMouse);
  column->addWidget(cursorLabel_);
  peakLabel_ = MakeLabel(QStringLiteral("lbPeak"), QString());
  peakLabel_->setTextInteractionFlags(Qt::TextSelectableByMouse);
  peakLabel_->hide();
  column->addWidget(peakLabel_);
  ftPeakLabel_ = MakeLabel(QStringLiteral("lbFtPeak"), QString::fromLatin1(kFtPickHint));
  ftPeakLabel_->setTextInteractionFlags(Qt::TextSelectableByMouse);
  ftPeakLabel_->setWordWrap(true);
  // The peak and its module point take a line each.
  ftPeakLabel_->setMinimumHeight(2 * ftPeakLabel_->fontMetrics().lineSpacing() + 4);
  ftPeakLabel_->hide();
  column->addWidget(ftPeakLabel_);

  profileLine_ = new QWidget(pb3_);
  profileLine_->setObjectName(QStringLiteral("Line1_0"));
  profileLine_->setAutoFillBackground(true);
  QPalette red = profileLine_->palette();
  red.setColor(QPalette::Window, QColor(255, 0, 0));
  profileLine_->setPalette(red);
  profileLine_->setAttribute(Qt::WA_TransparentForMouseEvents);
  profileLine_->hide();
  profileStrip_ = new PictureBox(kPictureSize, kStripHeight, 1, pb3_);
  profileStrip_->setObjectName(QStringLiteral("dummy"));
  profileStrip_->hide();

  connect(tabs_, &QTabBar::currentChanged, this, &TilingWindow::tabChanged);
  for (PictureBox* picture : {pb_, pb2_}) connect(picture, &PictureBox::clicked, this, &TilingWindow::makeTiling);
  connect(pb3_, &PictureBox::pressed, this, [this](QPoint pos, Qt::MouseButton button) {
    if (button != Qt::LeftButton) return;
    showProfile(pos);
    pickFtPeak(pos);
  });
  connect(pb3_, &PictureBox::moved, this, [this](QPoint pos, Qt::MouseButtons buttons) {
    if (buttons & Qt::LeftButton) showProfile(pos);
  });
  connect(pb3_, &PictureBox::released, this, [this](QPoint, Qt::MouseButton button) {
    if (button == Qt::LeftButton) hideProfile();
  });
  connect(profileStrip_, &PictureBox::pressed, profileStrip_, &QWidget::hide);
  // The cursor readout: position on the tiling, k on the transforms.
  const std::pair<PictureBox*, int> readouts[] = {{pb_, TilingTab}, {pb2_, VerticesTab}, {pb3_, FtTab}};
  for (const auto& [box, view] : readouts) {
    box->setMouseTracking(true);
    box->setNavigable(true);
    connect(box, &PictureBox::moved, this, [this, view = view](QPoint pos, Qt::MouseButtons) { showCursor(view, pos); });
  }
  // The spots are drawn afresh under zoom, finer than the picture's pixels: so are k and the picked peak.
  pb4_->setMouseTracking(true);
  pb4_->setNavigable(true);
  connect(pb4_, &PictureBox::pointMoved, this, &TilingWindow::showPeakCursor);
  connect(pb4_, &PictureBox::pointPressed, this, [this](QPointF pos, Qt::MouseButton button) {
    if (button == Qt::LeftButton) pickPeak(pos);
  });
}

void TilingWindow::makeTiling() {
  if (generating_) return;
  if (selectedTab_ == ListTab || selectedTab_ == FtTab || selectedTab_ == DiffractionTab)
    tabs_->setCurrentIndex(TilingTab);

  TilingInputs inputs;
  inputs.symmetry = scrF_->value();
  inputs.loopOrder = scrN_->value();
  inputs.zoom = scrZoom_->value();
  inputs.brightness = scrB_->value();
  inputs.shiftMode = static_cast<ShiftMode>(std::max(0, shiftGroup_->checkedId()));
  inputs.width = pb_->pictureWidth();
  inputs.height = pb_->pictureHeight();
  inputs.gridColor = gridColor_;
  if (inputs.shiftMode == ShiftMode::Given) {
    QString problem;
    const auto shifts = ParseShifts(shiftEdit_->text(), inputs.symmetry, problem);
    if (!shifts) {
      showMessage(problem);
      return;
    }
    inputs.shifts = *shifts;
  }
  const bool byShape = colourByShape_->isChecked();

  // Large tilings take a while: generate and paint on a worker while the
  // window stays responsive, with Draw disabled meanwhile. Only what the
  // tiling tab shows is made here; the statistics and the internal view
  // follow once the picture is on show.
  generating_ = true;
  drawAction_->setEnabled(false);
  QApplication::setOverrideCursor(Qt::BusyCursor);
  const double ratio = pb_->devicePixelRatioF();  // drawn for the screen's pixels
  watcher_->setFuture(QtConcurrent::run([inputs, byShape, ratio, random = random_]() mutable {
    auto out = std::make_shared<Generated>();
    try {
      out->tiling = std::make_shared<Tiling>(MakeTiling(inputs, random));
      Tiling& t = *out->tiling;
      if (byShape) out->legendShapes = ColourTilesByShape(t);
      out->tilingImage = PaintTiling(t, ratio);
      out->vertexImage = RasterToImage(t.vertexImage);
      out->latticePositions = LatticeVertexPositions(t);
    } catch (const std::exception& error) {
      out->tiling.reset();
      out->error = QString::fromUtf8(error.what());
    }
    out->random = random;
    return out;
  }));
}

void TilingWindow::showGenerated() {
  const std::shared_ptr<Generated> out = watcher_->result();
  generating_ = false;
  drawAction_->setEnabled(true);
  QApplication::restoreOverrideCursor();
  if (!out->tiling) {
    showMessage(QStringLiteral("The tiling could not be generated: %1").arg(out->error));
    return;
  }
  random_ = out->random;
  tiling_ = std::move(out->tiling);
  legendShapes_ = std::move(out->legendShapes);
  transformCurrent_ = false;
  peaksCurrent_ = false;
  listModel_->clear();
  ftPeakLabel_->setText(QString::fromLatin1(kFtPickHint));
  pb_->setImage(out->tilingImage);
  tilingZoom_->setPainter([tiling = tiling_](double zoom, QPointF offset, QSize size, double ratio) {
    return PaintTilingView(*tiling, zoom, offset, size, ratio);
  });
  pb2_->setImage(out->vertexImage);
  latticePositions_ = std::move(out->latticePositions);
  const auto note = TilingNote(tiling_->inputs.symmetry, tiling_->gridShift);
  note_->setText(note ? QString::fromStdString(*note) : QString());
  note_->setVisible(note.has_value());
  showLegend();

  // The analysis tabs wait for their worker; a later tiling supersedes it.
  pb5_->setImage(QImage());
  statistics_->setText(QStringLiteral("Working out the statistics\u2026"));
  if (!analysing_) startAnalysis();
  const auto texts = TilingStatusTexts(*tiling_);
  for (int i = 0; i < 4; ++i) statusPanels_[i]->setText(QString::fromStdString(texts[static_cast<std::size_t>(i)]));
  saveAction_->setEnabled(true);
  copyAction_->setEnabled(true);
  pictureAction_->setEnabled(true);
  csvAction_->setEnabled(true);
  verticesCsvAction_->setEnabled(true);

  // A tab visited while the worker ran showed the previous tiling.
  if (selectedTab_ == ListTab) fillVertexList();
  if (selectedTab_ == FtTab) updateFT();
  emit tilingReady();
}

void TilingWindow::tabChanged(int index) {
  if (index == selectedTab_) return;
  selectedTab_ = index;
  hideProfile();
  darker_->hide();
  brighter_->hide();
  ftOptions_->hide();
  diffractionOptions_->hide();
  peakLabel_->hide();
  ftPeakLabel_->hide();
  switch (index) {
    case TilingTab: views_->setCurrentWidget(pb_); break;
    case VerticesTab: views_->setCurrentWidget(pb2_); break;
    case ListTab:
      if (listModel_->rowCount() == 0) fillVertexList();
      views_->setCurrentWidget(lst_);
      break;
    case FtTab:
      views_->setCurrentWidget(pb3_);
      darker_->show();
      brighter_->show();
      ftOptions_->show();
      ftPeakLabel_->show();
      updateFT();
      break;
    case InternalTab: views_->setCurrentWidget(pb5_); break;
    case StatisticsTab: views_->setCurrentWidget(statistics_); break;
    case DiffractionTab:
      views_->setCurrentWidget(pb4_);
      diffractionOptions_->show();
      peakLabel_->show();
      updateDiffraction();
      break;
    default: break;
  }
}

void TilingWindow::fillVertexList() {
  if (!tiling_) return;
  listModel_->setVertices(tiling_->vertX, tiling_->vertY);
}

void TilingWindow::updateFT() {
  if (transformCurrent_ || !tiling_) return;
  QApplication::setOverrideCursor(Qt::WaitCursor);
  transform_.runFOURN(tiling_->vertexImage);
  transformCurrent_ = true;
  showTransformPicture();
  message_->setText(QString::fromStdString(transform_.message()));
  QApplication::restoreOverrideCursor();
}

void TilingWindow::showTransformPicture() {
  if (transform_.picture()) pb3_->setImage(RasterToImage(*transform_.picture()));
  showGain();
}

void TilingWindow::showGain() {
  gainLabel_->setText(QStringLiteral("Gain \u00d7%1").arg(static_cast<double>(transform_.gain()), 0, 'f', 2));
}

void TilingWindow::updateFtOptions() {
  FtDisplayOptions options;
  options.logarithmic = logDisplay_->isChecked();
  options.hideZeroFrequency = hideZero_->isChecked();
  transform_.SetDisplayOptions(options);
  showTransformPicture();
}

void TilingWindow::updateDiffraction() {
  if (peaksCurrent_ || computingPeaks_ || !tiling_) return;
  computingPeaks_ = true;
  peaksCurrent_ = true;
  peakLabel_->setText(QStringLiteral("Computing the Bragg peaks\u2026"));
  const int n = tiling_->inputs.symmetry;
  const double kMax = kMax_->value();
  const double internalMax = internalMax_->value();
  std::shared_ptr<const Tiling> source = tiling_;
  // The positions are copied: the worker never reads the window's tiling.
  const double ratio = pb4_->devicePixelRatioF();
  peakWatcher_->setFuture(QtConcurrent::run([n, kMax, internalMax, source, ratio,
                                             xs = latticePositions_]() {
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
    out->picture = PaintPeaks(out->peaks, kPictureSize, ratio);
    return out;
  }));
}

void TilingWindow::showDiffraction() {
  const std::shared_ptr<Diffracted> out = peakWatcher_->result();
  computingPeaks_ = false;
  if (out->source != tiling_ || !peaksCurrent_) {
    // The tiling or the limits changed meanwhile: compute again if on show.
    peaksCurrent_ = false;
    if (selectedTab_ == DiffractionTab) updateDiffraction();
    return;
  }
  if (!out->error.isEmpty()) {
    peaks_ = std::make_shared<const Peaks>();
    pb4_->setImage(QImage());
    peaksZoom_->setPainter(nullptr);
    peakLabel_->setText(out->error);
    return;
  }
  peaks_ = std::make_shared<const Peaks>(std::move(out->peaks));
  pb4_->setImage(out->picture);
  peaksZoom_->setPainter([peaks = peaks_](double zoom, QPointF offset, QSize size, double ratio) {
    return PaintPeaksView(peaks->points, peaks->intensity, peaks->kMax, size.width(), zoom, offset, ratio);
  });
  peakLabel_->setText(
      QStringLiteral("%1 module points; click a peak for its k and indices").arg(peaks_->points.size()));
}

void TilingWindow::showShiftSum() {
  double sum = 0.0;
  bool ok = true;
  for (const QString& part : shiftEdit_->text().split(QRegularExpression(QStringLiteral("[\\s,;]+")), Qt::SkipEmptyParts)) {
    bool one = false;
    sum += part.toDouble(&one);
    ok = ok && one;
  }
  shiftSum_->setText(ok ? QStringLiteral("Sum of shifts: %1").arg(sum, 0, 'f', 4) : QStringLiteral("Sum of shifts: \u2014"));
}

void TilingWindow::applyPreset(int index) {
  if (index <= 0) return;
  const TilingPreset preset = index == 1 ? TilingPreset::Penrose
                              : index == 2 ? TilingPreset::GeneralisedPenrose
                                           : TilingPreset::AmmannBeenker;
  const PresetShifts chosen = StandardShifts(preset, presetSum_->value());
  scrF_->setValue(chosen.symmetry);
  QStringList texts;
  for (double g : chosen.shifts) texts << QString::number(g, 'g', 6);
  shiftEdit_->setText(texts.join(QLatin1Char(' ')));
  shiftGroup_->button(3)->setChecked(true);
  preset_->setCurrentIndex(0);
}

void TilingWindow::showCursor(int view, QPoint pos) {
  if (!tiling_) return;
  const double scale = tiling_->inputs.zoom * 3.0;  // pixels per edge
  const double xc = std::nearbyint(tiling_->inputs.width / 2.0), yc = std::nearbyint(tiling_->inputs.height / 2.0);
  if (view == TilingTab || view == VerticesTab) {
    const double x = (pos.x() - xc) / scale, y = (pos.y() - yc) / scale;
    QString text = QStringLiteral("x = %1, y = %2 edge lengths").arg(x, 0, 'f', 4).arg(y, 0, 'f', 4);
    // The nearest exact vertex within half an edge, with its index vector.
    const int n = tiling_->inputs.symmetry;
    double best = 0.25;
    std::size_t chosen = tiling_->nLatticeVertices();
    const auto& xs = latticePositions_;
    for (std::size_t v = 0; v < xs.size(); ++v) {
      const double d = (xs[v][0] - x) * (xs[v][0] - x) + (xs[v][1] - y) * (xs[v][1] - y);
      if (d < best) {
        best = d;
        chosen = v;
      }
    }
    if (chosen < xs.size()) {
      QStringList k;
      for (int i = 0; i < n; ++i)
        k << QString::number(tiling_->latticeVertices[chosen * static_cast<std::size_t>(n) + static_cast<std::size_t>(i)]);
      text += QStringLiteral("; vertex (%1, %2), K = (%3)")
                  .arg(xs[chosen][0], 0, 'f', 4)
                  .arg(xs[chosen][1], 0, 'f', 4)
                  .arg(k.join(QLatin1Char(' ')));
    }
    cursorLabel_->setText(text);
  } else if (view == FtTab) {
    // Display pixel -> frequency in cycles per pixel -> per edge length.
    const int w = pb3_->pictureWidth();
    const double kx = (pos.x() - (w / 2 - 1)) / static_cast<double>(w) * scale;
    const double ky = (pos.y() - (w / 2 - 1)) / static_cast<double>(w) * scale;
    cursorLabel_->setText(QStringLiteral("k = (%1, %2), |k| = %3 per edge length")
                              .arg(kx, 0, 'f', 4)
                              .arg(ky, 0, 'f', 4)
                              .arg(std::hypot(kx, ky), 0, 'f', 4));
  }
}

void TilingWindow::showPeakCursor(QPointF pos) {
  if (!tiling_ || !(peaks_->kMax > 0.0)) return;
  const PeakFrame frame = PeakPictureFrame(kPictureSize, peaks_->kMax);
  const double kx = (pos.x() - frame.centre) / frame.pixelsPerK, ky = (pos.y() - frame.centre) / frame.pixelsPerK;
  cursorLabel_->setText(QStringLiteral("k = (%1, %2), |k| = %3 per edge length")
                            .arg(kx, 0, 'f', 4)
                            .arg(ky, 0, 'f', 4)
                            .arg(std::hypot(kx, ky), 0, 'f', 4));
}

void TilingWindow::pickPeak(QPointF pos) {
  const Peaks& peaks = *peaks_;
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

void TilingWindow::pickFtPeak(QPoint pos) {
  if (!tiling_ || !transformCurrent_) return;
  const FtArray& ft = transform_.ft();
  const auto peak = StrongestNear(ft, pos.x(), pos.y(), kFtPickRadius);
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
  const auto point = ModulePointNear(tiling_->inputs.symmetry, kx, ky, perPixel, internalMax_->value(),
                                     kMaxPickedNear, &tooDense);
  if (point)
    text += QStringLiteral("\nModule point: %1").arg(QString::fromStdString(ModulePointText(*point)));
  else if (tooDense)
    text += QStringLiteral("\nModule points too dense here to name one (internal \u2264 %1)").arg(internalMax_->value());
  else
    text += QStringLiteral("\nNo module point within a pixel (internal \u2264 %1)").arg(internalMax_->value());
  ftPeakLabel_->setText(text);
}

void TilingWindow::showLegend() {
  // By type as ever; with colour by shape, one entry for each shape present, named.
  const bool byShape = !legendShapes_.empty();
  const int entries = byShape ? static_cast<int>(legendShapes_.size()) : tiling_->nTileTypes;
  for (int i = 0; i < 9; ++i) {
    const bool used = i < entries && static_cast<std::size_t>(i + 1) < tiling_->tileColors.size();
    if (used) {
      swatches_[i]->setStyleSheet(SwatchStyle(tiling_->tileColors[static_cast<std::size_t>(i + 1)]));
      legendTexts_[i]->setText(
          byShape ? QString::fromStdString(ShapeName(tiling_->inputs.symmetry, legendShapes_[static_cast<std::size_t>(i)]))
                  : QStringLiteral("Tile %1").arg(i + 1));
    }
    swatches_[i]->setVisible(used);
    legendTexts_[i]->setVisible(used);
  }
}

void TilingWindow::startAnalysis() {
  analysing_ = true;
  analysisWatcher_->setFuture(QtConcurrent::run([tiling = tiling_] {
    return std::make_shared<Analysed>(Analysed{tiling, AnalyseTiling(*tiling, kPictureSize)});
  }));
}

void TilingWindow::showAnalysis() {
  const std::shared_ptr<Analysed> out = analysisWatcher_->result();
  analysing_ = false;
  if (!tiling_) return;
  if (out->source != tiling_) {
    startAnalysis();  // a newer tiling arrived meanwhile
    return;
  }
  pb5_->setImage(out->view.internal);
  statistics_->setText(out->view.statistics);
}

void TilingWindow::brightnessPressed(int which) {
  timerTag_ = which == 1 ? 2 : 1;
  timer_->start();
  transform_.ChangeBrightness(which == 1 ? 1 : -1);
  showTransformPicture();
}

void TilingWindow::brightnessTick() {
  if (timerTag_ == 0) {
    timer_->stop();
    return;
  }
  transform_.ChangeBrightness(timerTag_ == 2 ? 1 : -1);
  showTransformPicture();
}

bool TilingWindow::eventFilter(QObject* watched, QEvent* event) {
  if (watched == darker_ || watched == brighter_) {
    // The second click of a double click arrives as a double-click event: it
    // is a click like the first.
    if (event->type() == QEvent::MouseButtonPress || event->type() == QEvent::MouseButtonDblClick) {
      brightnessPressed(watched == brighter_ ? 1 : 0);
      return true;
    }
    if (event->type() == QEvent::MouseButtonRelease) {
      timerTag_ = 0;
      timer_->stop();
      return true;
    }
  }
  return QMainWindow::eventFilter(watched, event);
}

void TilingWindow::showProfile(QPoint pos) {
  // The button may be held while the mouse leaves the picture: keep the line on it.
  const int y = std::clamp(pos.y(), 0, pb3_->pictureHeight() - 1);
  // Under zoom the line follows the row on screen; the strip keeps 10 pixels from it.
  const int lineY = std::clamp(pb3_->widgetY(y), 0, pb3_->pictureHeight() - 1);
  profileLine_->setGeometry(0, lineY, pb3_->pictureWidth(), 1);
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

void TilingWindow::hideProfile() {
  profileStrip_->hide();
  profileLine_->hide();
}

QImage TilingWindow::visibleImage() const {
  switch (selectedTab_) {
    case TilingTab: return pb_->image();
    case FtTab: return pb3_->image();
    case DiffractionTab: return pb4_->image();
    case InternalTab: return pb5_->image();
    case StatisticsTab: return statistics_->grab().toImage();
    default: return pb2_->image();  // "Vertices" and "List": the vertex image
  }
}

void TilingWindow::copyImage() { QGuiApplication::clipboard()->setImage(visibleImage()); }

void TilingWindow::saveCoordinates() {
  if (!tiling_) return;
  const QString folder = paths_.exportFolder();
  // Named after the tiling on show, not after options changed since.
  const QString name = QString::fromStdString(ProposedXyFileName(tiling_->inputs));
  const QString chosen = Dialogs().saveFileName(this, QStringLiteral("Save XY Data"), QDir(folder).filePath(name),
                                                 QStringLiteral("XY-File (*.xy)"));
  if (chosen.isEmpty()) return;
  const WriteOutcome outcome = WriteFileAtomically(std::filesystem::path(QFile::encodeName(chosen).toStdString()),
                                                   XyFileText(tiling_->vertX, tiling_->vertY));
  if (!outcome.ok)
    showMessage(QStringLiteral("The coordinates were not saved.\n%1").arg(QString::fromStdString(outcome.error)));
}

void TilingWindow::savePicture() {
  if (!tiling_) return;
  static const char* names[] = {"tiling", "vertices", "vertices", "ft", "diffraction", "internal", "statistics"};
  const QString base = QStringLiteral("NHA_%1-%2-%3-%4_%5")
                           .arg(tiling_->inputs.symmetry)
                           .arg(tiling_->inputs.loopOrder)
                           .arg(tiling_->inputs.zoom)
                           .arg(static_cast<int>(tiling_->inputs.shiftMode))
                           .arg(QString::fromLatin1(names[std::clamp(selectedTab_, 0, 6)]));
  const bool svg = selectedTab_ == TilingTab;
  const QString chosen = Dialogs().saveFileName(
      this, QStringLiteral("Save Picture"), QDir(paths_.exportFolder()).filePath(base + QStringLiteral(".png")),
      svg ? QStringLiteral("PNG picture (*.png);;SVG drawing (*.svg)") : QStringLiteral("PNG picture (*.png)"));
  if (chosen.isEmpty()) return;
  std::string content;
  if (svg && chosen.endsWith(QStringLiteral(".svg"), Qt::CaseInsensitive)) {
    content = TilingSvg(*tiling_);
  } else {
    QByteArray bytes;
    QBuffer buffer(&bytes);
    buffer.open(QIODevice::WriteOnly);
    if (!visibleImage().save(&buffer, "PNG")) {
      showMessage(QStringLiteral("The picture was not saved: it could not be encoded as PNG."));
      return;
    }
    content = bytes.toStdString();
  }
  const WriteOutcome outcome =
      WriteFileAtomically(std::filesystem::path(QFile::encodeName(chosen).toStdString()), content);
  if (!outcome.ok)
    showMessage(QStringLiteral("The picture was not saved.\n%1").arg(QString::fromStdString(outcome.error)));
}

void TilingWindow::exportCsv(bool vertices) {
  if (!tiling_) return;
  const QString base = QStringLiteral("NHA_%1-%2-%3-%4")
                           .arg(tiling_->inputs.symmetry)
                           .arg(tiling_->inputs.loopOrder)
                           .arg(tiling_->inputs.zoom)
                           .arg(static_cast<int>(tiling_->inputs.shiftMode));
  const QString chosen = Dialogs().saveFileName(
      this, vertices ? QStringLiteral("Save Vertices CSV") : QStringLiteral("Save Tiles CSV"),
      QDir(paths_.exportFolder()).filePath(base + (vertices ? QStringLiteral("_vertices.csv") : QStringLiteral("_tiles.csv"))),
      QStringLiteral("CSV table (*.csv)"));
  if (chosen.isEmpty()) return;
  const WriteOutcome outcome = WriteFileAtomically(std::filesystem::path(QFile::encodeName(chosen).toStdString()),
                                                   vertices ? VerticesCsv(*tiling_) : TilesCsv(*tiling_));
  if (!outcome.ok)
    showMessage(QStringLiteral("The table was not saved.\n%1").arg(QString::fromStdString(outcome.error)));
}

QUrl TilingWindow::helpUrl() const {
  QUrl url = QUrl::fromLocalFile(paths_.helpFile());
  url.setFragment(QStringLiteral("tiling"));
  return url;
}

void TilingWindow::showHelp() {
  // Desktop handlers open a file address without its "#tiling": hand them a
  // small page that forwards to the section instead.
  const QUrl target = helpUrl();
  const QString forward = AppPaths::tempFile(QStringLiteral("lumora-help-tiling.html"));
  if (!forward.isEmpty()) {
    const QString address = target.toString(QUrl::FullyEncoded).toHtmlEscaped();
    const QString page = QStringLiteral(
                             "<!DOCTYPE html>\n<html><head><meta charset=\"utf-8\">"
                             "<meta http-equiv=\"refresh\" content=\"0; url=%1\"><title>Lumora help</title></head>"
                             "<body><a href=\"%1\">The tiling window</a></body></html>\n")
                             .arg(address);
    const WriteOutcome written =
        WriteFileAtomically(std::filesystem::path(QFile::encodeName(forward).toStdString()), page.toStdString());
    if (written.ok && Dialogs().openUrl(QUrl::fromLocalFile(forward))) return;
  }
  Dialogs().openUrl(target);
}

void TilingWindow::showMessage(const QString& text) {
  // Window-modal and non-blocking, so a running generation goes on.
  auto* box = new QMessageBox(QMessageBox::Warning, windowTitle(), text, QMessageBox::Ok, this);
  box->setObjectName(QStringLiteral("tilingMessage"));
  box->setAttribute(Qt::WA_DeleteOnClose);
  box->open();
}

void TilingWindow::closeEvent(QCloseEvent* event) {
  if (mainWindow_ && mainWindow_->isMinimized()) mainWindow_->showNormal();
  QMainWindow::closeEvent(event);
}

}  // namespace lumora
