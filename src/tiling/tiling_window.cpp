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

#include "app/dialogs.hpp"
#include "app/theme_icon.hpp"
#include "common/file_io.hpp"
#include "common/numeric.hpp"
#include "fourier/ft_profile.hpp"
#include "fourier/hsb_to_rgb.hpp"
#include "tiling/multigrid.hpp"
#include "tiling/picture_box.hpp"
#include "tiling/tile_colors.hpp"
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
  std::unique_ptr<Tiling> tiling;
  std::mt19937 random;
  QImage tilingImage;
  QImage vertexImage;
  QImage internalImage;
  QString statistics;
  QString error;
};

// The exact diffraction, computed and painted on a worker.
struct TilingWindow::Diffracted {
  const Tiling* source = nullptr;
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

// The vertices' internal points, coloured by level, scaled to fit.
QImage PaintInternalView(const InternalView& view, int size) {
  QImage image(size, size, QImage::Format_RGB32);
  image.fill(Qt::black);
  QPainter painter(&image);
  if (view.points.empty()) {
    painter.setPen(Qt::white);
    painter.drawText(image.rect(), Qt::AlignCenter | Qt::TextWordWrap,
                     QStringLiteral("No internal plane: the vertices lie on a lattice."));
    return image;
  }
  double extent = 1e-9;
  for (const auto& p : view.points) extent = std::max({extent, std::abs(p[0]), std::abs(p[1])});
  const auto [lowest, highest] = std::minmax_element(view.levels.begin(), view.levels.end());
  const int span = std::max(1, *highest - *lowest);
  // Up to four levels get a quarter each (the pentagons of a Penrose tiling
  // lie on top of each other); more share the whole picture.
  std::vector<int> levels = view.levels;
  std::sort(levels.begin(), levels.end());
  levels.erase(std::unique(levels.begin(), levels.end()), levels.end());
  const bool quarters = levels.size() <= 4;
  const double half = quarters ? size / 4.0 : size / 2.0;
  const double scale = (half - 10) / extent;
  for (std::size_t v = 0; v < view.points.size(); ++v) {
    const int hue = static_cast<int>(std::lround(158.0 * (view.levels[v] - *lowest) / span));
    const ColorValue c = ToColorValue(HSBtoRGB(hue, 239, 150));
    double cx = half, cy = half;
    if (quarters) {
      const auto q = std::lower_bound(levels.begin(), levels.end(), view.levels[v]) - levels.begin();
      cx = half * static_cast<double>(1 + 2 * (q % 2));
      cy = half * static_cast<double>(1 + 2 * (q / 2)) + 8;
    }
    painter.fillRect(QRectF(cx + view.points[v][0] * scale - 1, cy + view.points[v][1] * scale - 1, 2, 2),
                     QColor(RedOf(c), GreenOf(c), BlueOf(c)));
  }
  painter.setPen(Qt::white);
  painter.drawText(QRect(6, 4, size - 12, 20), Qt::AlignLeft,
                   QStringLiteral("Internal space (e_i \u2192 e_%1i), colour by level \u03a3K_i = %2..%3")
                       .arg(view.exponent)
                       .arg(*lowest)
                       .arg(*highest));
  return image;
}

QString StatisticsText(const Tiling& tiling, const TilingStatistics& stats, const std::optional<std::string>& note) {
  const int n = tiling.inputs.symmetry;
  QString text = QStringLiteral("<b>%1-fold tiling</b>, %2 exact vertices, %3 tiles drawn<br>")
                     .arg(n)
                     .arg(tiling.nLatticeVertices())
                     .arg(tiling.nTiles());
  if (note) text += QStringLiteral("<i>%1</i><br>").arg(QString::fromStdString(*note).toHtmlEscaped());
  text += QStringLiteral("<br><b>Tiles wholly inside the picture, by shape</b><table cellspacing=4>");
  std::size_t total = 0;
  for (const auto& [shape, count] : stats.tilesByShape) total += count;
  for (const auto& [shape, count] : stats.tilesByShape)
    text += QStringLiteral("<tr><td>%1\u00b0 rhombus</td><td align=right>%2</td><td align=right>%3 %</td></tr>")
                .arg(180.0 * shape / n, 0, 'f', 2)
                .arg(count)
                .arg(100.0 * static_cast<double>(count) / static_cast<double>(std::max<std::size_t>(total, 1)), 0, 'f', 2);
  text += QStringLiteral("</table>");
  if (stats.tilesByShape.size() == 2) {
    const double a = static_cast<double>(stats.tilesByShape.begin()->second);
    const double b = static_cast<double>(stats.tilesByShape.rbegin()->second);
    if (a > 0 && b > 0)
      text += QStringLiteral("Ratio %1\u00b0 : %2\u00b0 = %3 (golden ratio 1.6180, \u221a2 = 1.4142)<br>")
                  .arg(180.0 * stats.tilesByShape.rbegin()->first / n, 0, 'f', 0)
                  .arg(180.0 * stats.tilesByShape.begin()->first / n, 0, 'f', 0)
                  .arg(b / a, 0, 'f', 4);
  }
  text += QStringLiteral("<br><b>Vertex coordination</b> (%1 vertices at least two edges inside)<table cellspacing=4>")
              .arg(stats.interiorVertices);
  for (const auto& [edges, count] : stats.coordination)
    text += QStringLiteral("<tr><td>%1 edges</td><td align=right>%2</td><td align=right>%3 %</td></tr>")
                .arg(edges)
                .arg(count)
                .arg(100.0 * static_cast<double>(count) / static_cast<double>(std::max<std::size_t>(stats.interiorVertices, 1)),
                     0, 'f', 3);
  text += QStringLiteral("</table>");
  if (stats.coordination.count(2))
    text += QStringLiteral("<br>Vertices with two edges mark gaps: increase the loop order.");
  return text;
}

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
    if (!ok || !std::isfinite(v) || std::abs(v) > 1.0) {
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
  presetSum_->setRange(-5.0, 5.0);
  presetSum_->setDecimals(3);
  presetSum_->setSingleStep(0.1);
  presetSum_->setValue(0.5);
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
    if (button == Qt::LeftButton) showProfile(pos);
  });
  connect(pb3_, &PictureBox::moved, this, [this](QPoint pos, Qt::MouseButtons buttons) {
    if (buttons & Qt::LeftButton) showProfile(pos);
  });
  connect(pb3_, &PictureBox::released, this, [this](QPoint, Qt::MouseButton button) {
    if (button == Qt::LeftButton) hideProfile();
  });
  connect(profileStrip_, &PictureBox::pressed, profileStrip_, &QWidget::hide);
  // The cursor readout: position on the tiling, k on the transforms.
  const std::pair<PictureBox*, int> readouts[] = {{pb_, TilingTab}, {pb2_, VerticesTab}, {pb3_, FtTab}, {pb4_, DiffractionTab}};
  for (const auto& [box, view] : readouts) {
    box->setMouseTracking(true);
    box->setNavigable(true);
    connect(box, &PictureBox::moved, this, [this, view = view](QPoint pos, Qt::MouseButtons) { showCursor(view, pos); });
  }
  connect(pb4_, &PictureBox::pressed, this, [this](QPoint pos, Qt::MouseButton button) {
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
  // window stays responsive, with Draw disabled meanwhile.
  generating_ = true;
  drawAction_->setEnabled(false);
  QApplication::setOverrideCursor(Qt::BusyCursor);
  const double ratio = pb_->devicePixelRatioF();  // drawn for the screen's pixels
  watcher_->setFuture(QtConcurrent::run([inputs, byShape, ratio, random = random_]() mutable {
    auto out = std::make_shared<Generated>();
    try {
      out->tiling = std::make_unique<Tiling>(MakeTiling(inputs, random));
      Tiling& t = *out->tiling;
      if (byShape) {
        // Shapes in increasing angle take the legend colours in order.
        std::vector<int> shapes;
        for (const Tile& tile : t.tiles) shapes.push_back(TileShape(t.inputs.symmetry, tile.gridJ, tile.gridK));
        std::vector<int> distinct = shapes;
        std::sort(distinct.begin(), distinct.end());
        distinct.erase(std::unique(distinct.begin(), distinct.end()), distinct.end());
        for (std::size_t i = 0; i < t.tiles.size(); ++i) {
          const auto rank = static_cast<std::size_t>(std::lower_bound(distinct.begin(), distinct.end(), shapes[i]) -
                                                     distinct.begin()) + 1;
          t.tiles[i].color = t.tileColors[std::min(rank, t.tileColors.size() - 1)];
        }
      }
      out->tilingImage = PaintTiling(t, ratio);
      out->internalImage = PaintInternalView(InternalSpaceView(t), kPictureSize);
      out->statistics = StatisticsText(t, ComputeTilingStatistics(t), TilingNote(t.inputs.symmetry, t.gridShift));
      out->vertexImage = RasterToImage(out->tiling->vertexImage);
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
  transformCurrent_ = false;
  peaksCurrent_ = false;
  listModel_->clear();
  pb_->setImage(out->tilingImage);
  pb2_->setImage(out->vertexImage);
  pb5_->setImage(out->internalImage);
  latticePositions_ = LatticeVertexPositions(*tiling_);
  statistics_->setText(out->statistics);
  const auto note = TilingNote(tiling_->inputs.symmetry, tiling_->gridShift);
  note_->setText(note ? QString::fromStdString(*note) : QString());
  note_->setVisible(note.has_value());

  for (int i = 0; i < 9; ++i) {
    const bool used = i < tiling_->nTileTypes;
    if (used) swatches_[i]->setStyleSheet(SwatchStyle(tiling_->tileColors[static_cast<std::size_t>(i + 1)]));
    swatches_[i]->setVisible(used);
    legendTexts_[i]->setVisible(used);
  }
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
  const Tiling* source = tiling_.get();
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
  if (out->source != tiling_.get() || !peaksCurrent_) {
    // The tiling or the limits changed meanwhile: compute again if on show.
    peaksCurrent_ = false;
    if (selectedTab_ == DiffractionTab) updateDiffraction();
    return;
  }
  if (!out->error.isEmpty()) {
    peaks_ = Peaks{};
    pb4_->setImage(QImage());
    peakLabel_->setText(out->error);
    return;
  }
  peaks_ = std::move(out->peaks);
  pb4_->setImage(out->picture);
  peakLabel_->setText(QStringLiteral("%1 module points; click a peak for its k and indices").arg(peaks_.points.size()));
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
  } else if (view == DiffractionTab && peaks_.kMax > 0.0) {
    const double unit = (kPictureSize / 2 - 6) / peaks_.kMax;
    const double kx = (pos.x() - kPictureSize / 2) / unit, ky = (pos.y() - kPictureSize / 2) / unit;
    cursorLabel_->setText(QStringLiteral("k = (%1, %2), |k| = %3 per edge length")
                              .arg(kx, 0, 'f', 4)
                              .arg(ky, 0, 'f', 4)
                              .arg(std::hypot(kx, ky), 0, 'f', 4));
  }
}

void TilingWindow::pickPeak(QPoint pos) {
  if (peaks_.points.empty()) return;
  const double scale = (kPictureSize / 2 - 6) / peaks_.kMax;
  double best = 1e300;
  std::size_t chosen = 0;
  for (std::size_t p = 0; p < peaks_.points.size(); ++p) {
    if (!(peaks_.intensity[p] >= kPeakIntensityMin)) continue;
    const double d = std::hypot(kPictureSize / 2 + peaks_.points[p].qx * scale - pos.x(),
                                kPictureSize / 2 + peaks_.points[p].qy * scale - pos.y());
    if (d < best) {
      best = d;
      chosen = p;
    }
  }
  if (best > 10.0) return;
  const ModulePoint& point = peaks_.points[chosen];
  QStringList index;
  for (int a : point.index) index << QString::number(a);
  peakLabel_->setText(QStringLiteral("k = (%1, %2), |k| = %3, internal %4, indices (%5), I = %6")
                          .arg(point.qx, 0, 'f', 4)
                          .arg(point.qy, 0, 'f', 4)
                          .arg(std::hypot(point.qx, point.qy), 0, 'f', 4)
                          .arg(point.internal, 0, 'f', 4)
                          .arg(index.join(QLatin1Char(' ')))
                          .arg(peaks_.intensity[chosen], 0, 'g', 5));
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
