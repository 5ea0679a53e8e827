#include "tiling/tiling_window.hpp"
#include "ui/worker_result.hpp"

#include <QAction>
#include <QApplication>
#include <QClipboard>
#include <QCloseEvent>
#include <QHBoxLayout>
#include <QLabel>
#include <QMessageBox>
#include <QStatusBar>
#include <QStyle>
#include <QToolBar>
#include <QtConcurrent/QtConcurrentRun>

#include "tiling/exact_diffraction.hpp"
#include "tiling/multigrid.hpp"
#include "tiling/tile_shapes.hpp"
#include "tiling/tiling_file_actions.hpp"
#include "tiling/tiling_options_panel.hpp"
#include "tiling/tiling_painter.hpp"
#include "tiling/tiling_status.hpp"
#include "ui/picture_box.hpp"
#include "ui/theme_icon.hpp"

namespace lumora {

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

TilingWindow::TilingWindow(const AppPaths& paths, QWidget* mainWindow, QWidget* parent)
    : QMainWindow(parent), paths_(paths), mainWindow_(mainWindow) {
  setObjectName(QStringLiteral("frmNanoHoles"));
  setWindowTitle(QStringLiteral("Tiling Vertex Generator"));
  if (mainWindow) setWindowIcon(mainWindow->windowIcon());
  buildToolbar();

  auto* central = new QWidget;
  auto* layout = new QHBoxLayout(central);
  options_ = new TilingOptionsPanel;
  layout->addWidget(options_, 0, Qt::AlignTop);
  views_ = new TilingViews;
  layout->addWidget(views_, 0, Qt::AlignTop);
  layout->addStretch(1);
  setCentralWidget(central);
  connect(views_, &TilingViews::drawRequested, this, &TilingWindow::makeTiling);
  connect(views_, &TilingViews::transformed, options_, &TilingOptionsPanel::setMessage);
  connect(options_, &TilingOptionsPanel::presetApplied, this, [this] { redraw(false); });
  connect(options_, &TilingOptionsPanel::colourByShapeChanged, this, [this] { redraw(true); });

  auto* bar = statusBar();
  bar->setObjectName(QStringLiteral("stb"));
  for (int i = 0; i < 4; ++i) {
    statusPanels_[i] = new QLabel;
    statusPanels_[i]->setObjectName(QStringLiteral("stbPanel%1").arg(i + 1));
    statusPanels_[i]->setFrameStyle(QFrame::Panel | QFrame::Sunken);
    bar->addWidget(statusPanels_[i], i == 3 ? 1 : 0);
  }

  watcher_ = new QFutureWatcher<std::shared_ptr<Generated>>(this);
  connect(watcher_, &QFutureWatcherBase::finished, this, &TilingWindow::showGenerated);
  for (QAction* action : fileActions_) action->setEnabled(false);
  makeTiling();
}

TilingWindow::~TilingWindow() {
  // The worker only touches its own copies, but its result must not arrive
  // after the window is gone. The views wait for their own workers.
  if (generating_) {
    watcher_->disconnect(this);
    watcher_->waitForFinished();
    QApplication::restoreOverrideCursor();
  }
}

void TilingWindow::buildToolbar() {
  auto* toolbar = addToolBar(QStringLiteral("Tools"));
  toolbar->setObjectName(QStringLiteral("tb1"));
  toolbar->setMovable(false);
  toolbar->setToolButtonStyle(Qt::ToolButtonTextBesideIcon);
  auto add = [&](const char* name, const char* icon, QStyle::StandardPixmap fallback, const QString& text, auto slot,
                 const QString& tip = QString()) {
    QAction* action = toolbar->addAction(ThemeIcon(icon, fallback), text, this, slot);
    action->setObjectName(QString::fromLatin1(name));
    if (!tip.isEmpty()) action->setToolTip(tip);
    return action;
  };
  drawAction_ = add("actDraw", "view-refresh", QStyle::SP_BrowserReload, QStringLiteral("Draw "), &TilingWindow::makeTiling);
  toolbar->addSeparator();
  fileActions_ = {
      add("actSaveCoordinates", "document-save", QStyle::SP_DialogSaveButton, QStringLiteral("Save Coordinates"),
          &TilingWindow::saveCoordinates),
      add("actCopyImage", "edit-copy", QStyle::SP_FileDialogContentsView, QStringLiteral("Copy Image"),
          &TilingWindow::copyImage),
      add("actSavePicture", "image-x-generic", QStyle::SP_DriveFDIcon, QStringLiteral("Save Picture"),
          &TilingWindow::savePicture, QStringLiteral("The picture on show as PNG; the tiling also as SVG")),
      add("actTilesCsv", "x-office-spreadsheet", QStyle::SP_FileIcon, QStringLiteral("Tiles CSV"),
          &TilingWindow::exportTilesCsv,
          QStringLiteral("Every tile: type, shape and corners in edge lengths about the centre")),
      add("actVerticesCsv", "x-office-spreadsheet", QStyle::SP_FileIcon, QStringLiteral("Vertices CSV"),
          &TilingWindow::exportVerticesCsv,
          QStringLiteral("The exact vertices in edge lengths about the centre, with their indices")),
      add("actPeaksCsv", "x-office-spreadsheet", QStyle::SP_FileIcon, QStringLiteral("Peaks CSV"),
          &TilingWindow::exportPeaksCsv,
          QStringLiteral("The Bragg peaks of the Diffraction tab: k, module indices, internal length, intensity")),
  };
  toolbar->addSeparator();
  add("actHelp", "help-contents", QStyle::SP_DialogHelpButton, QStringLiteral("Help"), &TilingWindow::showHelp);
}

void TilingWindow::makeTiling() {
  if (generating_) return;
  const int tab = views_->currentTab();
  if (tab == ListTab || tab == FtTab || tab == DiffractionTab) views_->setCurrentTab(TilingTab);

  const PictureBox& canvas = views_->tilingPicture();
  QString problem;
  const std::optional<TilingInputs> inputs = options_->inputs(canvas.pictureWidth(), canvas.pictureHeight(), problem);
  if (!inputs) {
    showMessage(problem);
    return;
  }
  const bool byShape = options_->colourByShape();

  // Large tilings take a while: generate and paint on a worker while the
  // window stays responsive, with Draw disabled meanwhile. Only what the
  // tiling tab shows is made here; the statistics and the internal view
  // follow once the picture is on show.
  generating_ = true;
  generatingFrom_ = random_;
  drawAction_->setEnabled(false);
  QApplication::setOverrideCursor(Qt::BusyCursor);
  const double ratio = canvas.devicePixelRatioF();  // drawn for the screen's pixels
  watcher_->setFuture(QtConcurrent::run([inputs = *inputs, byShape, ratio, random = random_]() mutable {
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

void TilingWindow::redraw(bool sameTiling) {
  if (generating_) {
    // The latest wish is drawn once the one under way is on show.
    redrawSameTiling_ = redrawPending_ ? redrawSameTiling_ && sameTiling : sameTiling;
    redrawPending_ = true;
    return;
  }
  if (sameTiling && tiling_) random_ = shownFrom_;
  makeTiling();
}

void TilingWindow::showGenerated() {
  auto taken = TakeResult(watcher_->future());
  if (const QString* thrown = std::get_if<QString>(&taken)) {
    auto failed = std::make_shared<Generated>();
    failed->error = *thrown;
    taken = failed;
  }
  const std::shared_ptr<Generated> out = std::get<std::shared_ptr<Generated>>(std::move(taken));
  generating_ = false;
  drawAction_->setEnabled(true);
  QApplication::restoreOverrideCursor();
  if (redrawPending_) {
    // Options changed meanwhile: this tiling is already out of date.
    redrawPending_ = false;
    if (out->tiling) {
      random_ = out->random;
      shownFrom_ = generatingFrom_;
    }
    redraw(redrawSameTiling_);
    if (generating_ || !out->tiling) return;
  }
  if (!out->tiling) {
    showMessage(QStringLiteral("The tiling could not be generated: %1").arg(out->error));
    return;
  }
  random_ = out->random;
  shownFrom_ = generatingFrom_;
  tiling_ = std::move(out->tiling);
  options_->showTiling(*tiling_, out->legendShapes);
  views_->showTiling(tiling_, out->tilingImage, out->vertexImage, std::move(out->latticePositions));
  const auto texts = TilingStatusTexts(*tiling_);
  for (int i = 0; i < 4; ++i) statusPanels_[i]->setText(QString::fromStdString(texts[static_cast<std::size_t>(i)]));
  for (QAction* action : fileActions_) action->setEnabled(true);
  emit tilingReady();
}

void TilingWindow::copyImage() { QGuiApplication::clipboard()->setImage(views_->visibleImage()); }

void TilingWindow::saveCoordinates() {
  if (!tiling_) return;
  const QString problem = SaveTilingCoordinates(this, paths_, *tiling_);
  if (!problem.isEmpty()) showMessage(problem);
}

void TilingWindow::savePicture() {
  if (!tiling_) return;
  const QString problem = SaveTilingPicture(this, paths_, *tiling_, views_->currentTab(), views_->visibleImage());
  if (!problem.isEmpty()) showMessage(problem);
}

void TilingWindow::exportCsv(bool vertices) {
  if (!tiling_) return;
  const QString problem = SaveTilingTable(this, paths_, *tiling_, vertices);
  if (!problem.isEmpty()) showMessage(problem);
}

void TilingWindow::exportPeaksCsv() {
  if (!tiling_) return;
  const TilingDiffractionTab& diffraction = views_->diffraction();
  if (!diffraction.peaksCurrent()) {
    // The peaks are computed when their tab is on show.
    views_->setCurrentTab(DiffractionTab);
    showMessage(QStringLiteral("The Bragg peaks of this tiling are computed on the Diffraction tab; "
                               "use Peaks CSV again when they are shown."));
    return;
  }
  const DiffractionPeaks& peaks = diffraction.peaks();
  const QString problem = SaveTilingPeaks(this, paths_, *tiling_, peaks.points, peaks.intensity);
  if (!problem.isEmpty()) showMessage(problem);
}

QUrl TilingWindow::helpUrl() const { return TilingHelpUrl(paths_); }

void TilingWindow::showHelp() { OpenTilingHelp(paths_); }

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
