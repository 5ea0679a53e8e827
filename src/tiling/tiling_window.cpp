#include "tiling/tiling_window.hpp"

#include <QAction>
#include <QApplication>
#include <QButtonGroup>
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
#include "tiling/multigrid.hpp"
#include "tiling/picture_box.hpp"
#include "tiling/tile_colors.hpp"
#include "tiling/tiling_painter.hpp"
#include "tiling/tiling_status.hpp"
#include "tiling/vertex_list_model.hpp"
#include "tiling/xy_file.hpp"

namespace lumora {
namespace {

constexpr int kPictureSize = TilingLimits::kCanvasSize;
constexpr int kStripHeight = 100;  // inner height of the profile strip
constexpr int kBrightnessRepeatMs = 10;

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
  QString error;
};

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
  saveAction_->setEnabled(false);
  copyAction_->setEnabled(false);
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
  const char* shiftTexts[] = {"Symmetry Type 1", "Symmetry Type 2", "Random Tiling"};
  for (int i = 0; i < 3; ++i) {
    auto* option = new QRadioButton(QString::fromLatin1(shiftTexts[i]));
    option->setObjectName(QStringLiteral("rb%1").arg(i));
    shiftGroup_->addButton(option, i);
    grid->addWidget(option, row++, 0, 1, 3);
  }
  shiftGroup_->button(0)->setChecked(true);

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

  message_ = MakeLabel(QStringLiteral("lbMSG"), QString());
  message_->setWordWrap(true);
  grid->addWidget(message_, row++, 0, 1, 3);
  grid->setColumnStretch(1, 1);
  grid->setRowStretch(row, 1);
  frame->setFixedWidth(200);
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
  column->addWidget(views_);

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
}

void TilingWindow::makeTiling() {
  if (generating_) return;
  if (selectedTab_ == ListTab || selectedTab_ == FtTab) tabs_->setCurrentIndex(TilingTab);

  TilingInputs inputs;
  inputs.symmetry = scrF_->value();
  inputs.loopOrder = scrN_->value();
  inputs.zoom = scrZoom_->value();
  inputs.brightness = scrB_->value();
  inputs.shiftMode = static_cast<ShiftMode>(std::max(0, shiftGroup_->checkedId()));
  inputs.width = pb_->pictureWidth();
  inputs.height = pb_->pictureHeight();
  inputs.gridColor = gridColor_;

  // Large tilings take a while: generate and paint on a worker while the
  // window stays responsive, with Draw disabled meanwhile.
  generating_ = true;
  drawAction_->setEnabled(false);
  QApplication::setOverrideCursor(Qt::BusyCursor);
  watcher_->setFuture(QtConcurrent::run([inputs, random = random_]() mutable {
    auto out = std::make_shared<Generated>();
    try {
      out->tiling = std::make_unique<Tiling>(MakeTiling(inputs, random));
      out->tilingImage = PaintTiling(*out->tiling);
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
  listModel_->clear();
  pb_->setImage(out->tilingImage);
  pb2_->setImage(out->vertexImage);

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
      updateFT();
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
    if (event->type() == QEvent::MouseButtonPress) {
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
  profileLine_->setGeometry(0, y, pb3_->pictureWidth(), 1);
  profileLine_->show();
  profileLine_->raise();

  float vmax = 0.0f;
  std::vector<float> profile = transform_.GetProfile(y, vmax);
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
  profileStrip_->move(-frame, ProfileStripTop(y, inner, profileStrip_->height()));
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

QUrl TilingWindow::helpUrl() const {
  QUrl url = QUrl::fromLocalFile(paths_.helpFile());
  url.setFragment(QStringLiteral("tiling"));
  return url;
}

void TilingWindow::showHelp() { Dialogs().openUrl(helpUrl()); }

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
