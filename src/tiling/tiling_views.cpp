#include "tiling/tiling_views.hpp"
#include "ui/worker_result.hpp"

#include <QHBoxLayout>
#include <QHeaderView>
#include <QLabel>
#include <QStackedWidget>
#include <QTabBar>
#include <QTableView>
#include <QVBoxLayout>
#include <QtConcurrent/QtConcurrentRun>
#include <cmath>
#include <utility>

#include "tiling/tiling_analysis_view.hpp"
#include "tiling/tiling_inputs.hpp"
#include "tiling/tiling_painter.hpp"
#include "tiling/vertex_list_model.hpp"
#include "ui/picture_box.hpp"
#include "ui/sharp_zoom.hpp"

namespace lumora {
namespace {

constexpr int kPictureSize = TilingLimits::kCanvasSize;

QLabel* MakeReadout(const char* name) {
  auto* label = new QLabel;
  label->setObjectName(QString::fromLatin1(name));
  label->setTextInteractionFlags(Qt::TextSelectableByMouse);
  return label;
}

QString WaveVectorText(double kx, double ky) {
  return QStringLiteral("k = (%1, %2), |k| = %3 per edge length")
      .arg(kx, 0, 'f', 4)
      .arg(ky, 0, 'f', 4)
      .arg(std::hypot(kx, ky), 0, 'f', 4);
}

}  // namespace

// The statistics and internal view of one tiling, worked out after its picture is on show.
// Each result holds its tiling, so no later tiling can take its address.
struct TilingViews::Analysed {
  std::shared_ptr<const Tiling> source;
  TilingAnalysisView view;
};

TilingViews::TilingViews(QWidget* parent) : QWidget(parent) {
  ft_ = new TilingFtTab(this);
  diffraction_ = new TilingDiffractionTab(this);
  connect(ft_, &TilingFtTab::transformed, this, &TilingViews::transformed);

  auto* column = new QVBoxLayout(this);
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
  tabRow->addWidget(ft_->darker());
  tabRow->addWidget(ft_->brighter());
  column->addLayout(tabRow);
  column->addWidget(ft_->options());
  column->addWidget(diffraction_->options());

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
  views_->addWidget(pb_);
  views_->addWidget(pb2_);
  views_->addWidget(lst_);
  views_->addWidget(ft_->picture());
  views_->addWidget(diffraction_->picture());
  pb5_ = new PictureBox(kPictureSize, kPictureSize);
  pb5_->setObjectName(QStringLiteral("pb5"));
  views_->addWidget(pb5_);
  statistics_ = new QLabel;
  statistics_->setObjectName(QStringLiteral("lbStatistics"));
  statistics_->setAlignment(Qt::AlignLeft | Qt::AlignTop);
  statistics_->setWordWrap(true);
  statistics_->setTextInteractionFlags(Qt::TextSelectableByMouse);
  statistics_->setMargin(8);
  views_->addWidget(statistics_);
  column->addWidget(views_);
  cursorLabel_ = MakeReadout("lbCursor");
  column->addWidget(cursorLabel_);
  column->addWidget(diffraction_->peakLabel());
  column->addWidget(ft_->peakLabel());
  ft_->addProfile();

  connect(tabs_, &QTabBar::currentChanged, this, &TilingViews::tabChanged);
  for (PictureBox* picture : {pb_, pb2_}) connect(picture, &PictureBox::clicked, this, &TilingViews::drawRequested);
  PictureBox* pb3 = ft_->picture();
  connect(pb3, &PictureBox::pressed, this, [this](QPoint pos, Qt::MouseButton button) {
    if (button != Qt::LeftButton) return;
    ft_->showProfile(pos);
    ft_->pickPeak(pos, diffraction_->internalMax());
  });
  // The cursor readout: position on the tiling, k on the transforms.
  const std::pair<PictureBox*, int> readouts[] = {{pb_, TilingTab}, {pb2_, VerticesTab}, {pb3, FtTab}};
  for (const auto& [box, view] : readouts) {
    box->setMouseTracking(true);
    box->setNavigable(true);
    connect(box, &PictureBox::moved, this, [this, view = view](QPoint pos, Qt::MouseButtons) { showCursor(view, pos); });
  }
  // The spots are drawn afresh under zoom, finer than the picture's pixels: so is k.
  PictureBox* pb4 = diffraction_->picture();
  pb4->setMouseTracking(true);
  pb4->setNavigable(true);
  connect(pb4, &PictureBox::pointMoved, this, &TilingViews::showPeakCursor);

  analysisWatcher_ = new QFutureWatcher<std::shared_ptr<Analysed>>(this);
  connect(analysisWatcher_, &QFutureWatcherBase::finished, this, &TilingViews::showAnalysis);
}

TilingViews::~TilingViews() {
  // The worker holds its own tiling, but its result must not arrive after the views are gone.
  if (analysing_) {
    analysisWatcher_->disconnect(this);
    analysisWatcher_->waitForFinished();
  }
}

void TilingViews::setCurrentTab(Tab tab) { tabs_->setCurrentIndex(tab); }

void TilingViews::showTiling(std::shared_ptr<const Tiling> tiling, const QImage& tilingImage, const QImage& vertexImage,
                             std::vector<std::array<double, 2>> latticePositions) {
  tiling_ = std::move(tiling);
  ft_->setTiling(tiling_);
  diffraction_->setTiling(tiling_, latticePositions);
  listModel_->clear();
  pb_->setImage(tilingImage);
  tilingZoom_->setPainter([tiling = tiling_](double zoom, QPointF offset, QSize size, double ratio) {
    return PaintTilingView(*tiling, zoom, offset, size, ratio);
  });
  pb2_->setImage(vertexImage);
  latticePositions_ = std::move(latticePositions);

  // The analysis tabs wait for their worker; a later tiling supersedes it.
  pb5_->setImage(QImage());
  statistics_->setText(QStringLiteral("Working out the statistics\u2026"));
  if (!analysing_) startAnalysis();

  // A tab visited while the worker ran showed the previous tiling.
  if (selectedTab_ == ListTab) fillVertexList();
  if (selectedTab_ == FtTab) ft_->update();
}

void TilingViews::tabChanged(int index) {
  if (index == selectedTab_) return;
  selectedTab_ = index;
  ft_->setShown(false);
  diffraction_->setShown(false);
  switch (index) {
    case TilingTab: views_->setCurrentWidget(pb_); break;
    case VerticesTab: views_->setCurrentWidget(pb2_); break;
    case ListTab:
      if (listModel_->rowCount() == 0) fillVertexList();
      views_->setCurrentWidget(lst_);
      break;
    case FtTab:
      views_->setCurrentWidget(ft_->picture());
      ft_->setShown(true);
      ft_->update();
      break;
    case InternalTab: views_->setCurrentWidget(pb5_); break;
    case StatisticsTab: views_->setCurrentWidget(statistics_); break;
    case DiffractionTab:
      views_->setCurrentWidget(diffraction_->picture());
      diffraction_->setShown(true);
      break;
    default: break;
  }
}

void TilingViews::fillVertexList() {
  if (!tiling_) return;
  listModel_->setVertices(tiling_->vertX, tiling_->vertY);
}

void TilingViews::showCursor(int view, QPoint pos) {
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
    const int w = ft_->picture()->pictureWidth();
    const double kx = (pos.x() - (w / 2 - 1)) / static_cast<double>(w) * scale;
    const double ky = (pos.y() - (w / 2 - 1)) / static_cast<double>(w) * scale;
    cursorLabel_->setText(WaveVectorText(kx, ky));
  }
}

void TilingViews::showPeakCursor(QPointF pos) {
  const DiffractionPeaks& peaks = diffraction_->peaks();
  if (!tiling_ || !(peaks.kMax > 0.0)) return;
  const PeakFrame frame = PeakPictureFrame(kPictureSize, peaks.kMax);
  cursorLabel_->setText(
      WaveVectorText((pos.x() - frame.centre) / frame.pixelsPerK, (pos.y() - frame.centre) / frame.pixelsPerK));
}

void TilingViews::startAnalysis() {
  analysing_ = true;
  analysisWatcher_->setFuture(QtConcurrent::run([tiling = tiling_] {
    return std::make_shared<Analysed>(Analysed{tiling, AnalyseTiling(*tiling, kPictureSize)});
  }));
}

void TilingViews::showAnalysis() {
  auto taken = TakeResult(analysisWatcher_->future());
  analysing_ = false;
  if (!tiling_) return;
  if (const QString* thrown = std::get_if<QString>(&taken)) {
    statistics_->setText(QStringLiteral("The tiling could not be analysed: %1").arg(*thrown));
    return;
  }
  const std::shared_ptr<Analysed> out = std::get<std::shared_ptr<Analysed>>(std::move(taken));
  if (out->source != tiling_) {
    startAnalysis();  // a newer tiling arrived meanwhile
    return;
  }
  pb5_->setImage(out->view.internal);
  statistics_->setText(out->view.statistics);
}

QImage TilingViews::visibleImage() const {
  switch (selectedTab_) {
    case TilingTab: return pb_->image();
    case FtTab: return ft_->picture()->image();
    case DiffractionTab: return diffraction_->picture()->image();
    case InternalTab: return pb5_->image();
    case StatisticsTab: return statistics_->grab().toImage();
    default: return pb2_->image();  // "Vertices" and "List": the vertex image
  }
}

}  // namespace lumora
