#include <QAction>
#include <QCheckBox>
#include <QClipboard>
#include <QComboBox>
#include <QLineEdit>
#include <QDoubleSpinBox>
#include <QGuiApplication>
#include <QLabel>
#include <QMessageBox>
#include <QRadioButton>
#include <QScrollBar>
#include <QSignalSpy>
#include <QTabBar>
#include <QTableView>
#include <QTemporaryDir>
#include <QTimer>
#include <QWheelEvent>
#include <QWindow>
#include <QRegularExpression>
#include <QtTest>
#include <cmath>
#include <map>
#include <numbers>
#include <memory>
#include <set>
#include <sstream>
#include <utility>

#include "ui/dialogs.hpp"
#include "common/file_io.hpp"
#include "common/number_text.hpp"
#include "fourier/ft_array.hpp"
#include "fourier/ft_profile.hpp"
#include "tiling/multigrid.hpp"
#include "tiling/peak_pick.hpp"
#include "ui/picture_box.hpp"
#include "tiling/tiling_analysis.hpp"
#include "tiling/tiling_export.hpp"
#include "tiling/tiling_painter.hpp"
#include "tiling/tiling_window.hpp"
#include "tiling/xy_file.hpp"
#include "tiling/penrose_peak_check.hpp"

using namespace lumora;

class TilingWindowTest : public QObject {
  Q_OBJECT

 private:
  QTemporaryDir dir_;
  std::unique_ptr<TilingWindow> window_;

  template <typename T>
  T* child(const char* name) const {
    T* found = window_->findChild<T*>(QString::fromLatin1(name));
    if (!found) qFatal("no child %s", name);
    return found;
  }
  QString panel(int i) const { return child<QLabel>(qPrintable(QStringLiteral("stbPanel%1").arg(i)))->text(); }
  QTabBar* tabs() const { return child<QTabBar>("tab1"); }
  QAction* action(const char* name) const { return child<QAction>(name); }

  // Starts a fresh window, as after a program start, and waits for its tiling.
  void openWindow(QWidget* mainWindow = nullptr) {
    window_ = std::make_unique<TilingWindow>(AppPaths(dir_.path()), mainWindow);
    window_->show();
    QVERIFY(QTest::qWaitForWindowExposed(window_.get()));
    QTRY_VERIFY_WITH_TIMEOUT(window_->tiling() != nullptr && !window_->isGenerating() && !window_->isAnalysing(), 10000);
  }
  void draw() {
    const Tiling* before = window_->tiling();
    action("actDraw")->trigger();
    QTRY_VERIFY_WITH_TIMEOUT(window_->tiling() != before && !window_->isGenerating() && !window_->isAnalysing(), 20000);
  }
  // The line rasteriser may step past a polyline corner by a pixel on steep segments.
  static bool InkNear(const QImage& image, int x, int y) {
    for (int dx = -1; dx <= 1; ++dx)
      for (int dy = -1; dy <= 1; ++dy)
        if (image.valid(x + dx, y + dy) && image.pixel(x + dx, y + dy) != qRgb(255, 255, 255)) return true;
    return false;
  }
  // Mouse events as a user's: a wheel step, a hover, a drag with the right (pan) button.
  static void wheelOn(QWidget* widget, QPoint at, int delta) {
    QWheelEvent event(QPointF(at), widget->mapToGlobal(QPointF(at)), QPoint(), QPoint(0, delta), Qt::NoButton,
                      Qt::NoModifier, Qt::NoScrollPhase, false);
    QApplication::sendEvent(widget, &event);
  }
  static void hoverOn(QWidget* widget, QPoint at) {
    QMouseEvent move(QEvent::MouseMove, QPointF(at), widget->mapToGlobal(QPointF(at)), Qt::NoButton, Qt::NoButton,
                     Qt::NoModifier);
    QApplication::sendEvent(widget, &move);
  }
  static void dragOn(QWidget* widget, QPoint from, QPoint to) {
    QTest::mousePress(widget, Qt::RightButton, {}, from);
    QMouseEvent move(QEvent::MouseMove, QPointF(to), widget->mapToGlobal(QPointF(to)), Qt::NoButton, Qt::RightButton,
                     Qt::NoModifier);
    QApplication::sendEvent(widget, &move);
    QTest::mouseRelease(widget, Qt::RightButton, {}, to);
  }
  static int WhitePixels(const QImage& image) {
    int count = 0;
    for (int y = 0; y < image.height(); ++y)
      for (int x = 0; x < image.width(); ++x) count += image.pixel(x, y) == qRgb(255, 255, 255);
    return count;
  }

 private slots:
  void init() {
    QVERIFY(dir_.isValid());
    openWindow();
  }
  void cleanup() {
    window_.reset();
    Dialogs() = DialogHooks{};
  }

  void opensWithTheDefaultTiling() {
    QCOMPARE(window_->objectName(), QStringLiteral("frmNanoHoles"));
    QCOMPARE(window_->windowTitle(), QStringLiteral("Tiling Vertex Generator"));
    const Tiling* t = window_->tiling();
    QCOMPARE(t->inputs.symmetry, 5);
    QCOMPARE(panel(1), QStringLiteral("5-fold symmetry"));
    QCOMPARE(panel(2), QStringLiteral("2 tile types"));
    QCOMPARE(panel(3), QStringLiteral("%1 tiles").arg(t->nTiles()));
    QCOMPARE(panel(4), QStringLiteral("%1 unique vertices (in case of gaps increase loop order)").arg(t->nVert()));
    QVERIFY(child<QLabel>("lbcol1")->isVisible());
    QVERIFY(!child<QLabel>("lbcol2")->isVisible());
    QCOMPARE(window_->helpUrl().fragment(), QStringLiteral("tiling"));

    // The window and lumora-cli paint the same pictures.
    std::mt19937 random(kTilingRandomSeed);
    const Tiling same = MakeTiling(TilingInputs{}, random);
    QCOMPARE(child<PictureBox>("pb")->image(), PaintTiling(same));
    QCOMPARE(WhitePixels(child<PictureBox>("pb2")->image()), static_cast<int>(t->nVert()));

    // On a screen of two device pixels per pixel the tiling has twice the
    // pixels each way; every tile's centre has its tile's colour there too.
    const QImage sharp = PaintTiling(same, 2.0);
    QCOMPARE(sharp.size(), QSize(2 * same.inputs.width, 2 * same.inputs.height));
    QCOMPARE(sharp.devicePixelRatio(), 2.0);
    const QImage plain = PaintTiling(same);
    int checked = 0;
    for (const Tile& tile : same.tiles) {
      double x = 0, y = 0;
      for (const auto& corner : tile.corners) {
        x += corner.x / 4.0;
        y += corner.y / 4.0;
      }
      const int px = static_cast<int>(std::floor(x)), py = static_cast<int>(std::floor(y));
      if (px < 2 || py < 2 || px >= same.inputs.width - 2 || py >= same.inputs.height - 2) continue;
      // Away from edges at both resolutions: the pixel lies inside the tile.
      const QRgb one = plain.pixel(px, py);
      if (one != plain.pixel(px + 1, py) || one != plain.pixel(px, py + 1)) continue;
      QCOMPARE(sharp.pixel(2 * px + 1, 2 * py + 1), one);
      ++checked;
    }
    QVERIFY(checked > 100);
  }

  void listIsFilledOnceAndClearedByDraw() {
    auto* view = child<QTableView>("lst");
    QAbstractItemModel* model = view->model();
    QSignalSpy resets(model, &QAbstractItemModel::modelReset);
    tabs()->setCurrentIndex(TilingWindow::ListTab);
    QVERIFY(view->isVisible());
    const Tiling* t = window_->tiling();
    QCOMPARE(model->rowCount(), static_cast<int>(t->nVert()));
    QCOMPARE(model->index(0, 0).data().toString(), QStringLiteral("1"));
    const int last = model->rowCount() - 1;
    QCOMPARE(model->index(last, 2).data().toString(), QString::fromStdString(FormatFixed(t->vertY.back(), 4)));
    QCOMPARE(resets.count(), 1);
    tabs()->setCurrentIndex(TilingWindow::VerticesTab);
    tabs()->setCurrentIndex(TilingWindow::ListTab);
    QCOMPARE(resets.count(), 1);

    // "Copy Image" on the list copies the vertex picture.
    window_->copyImage();
    QCOMPARE(QGuiApplication::clipboard()->image().convertToFormat(QImage::Format_RGB32),
             child<PictureBox>("pb2")->image());

    draw();
    QCOMPARE(tabs()->currentIndex(), static_cast<int>(TilingWindow::TilingTab));
    QCOMPARE(model->rowCount(), 0);
  }

  void transformIsComputedWhenTheTabIsFirstShown() {
    QVERIFY(!window_->transformCurrent());
    QVERIFY(!child<QLabel>("lbBR1_0")->isVisible());
    tabs()->setCurrentIndex(TilingWindow::FtTab);
    QVERIFY(window_->transformCurrent());
    QVERIFY(child<QLabel>("lbBR1_0")->isVisible());
    QVERIFY(child<QLabel>("lbBR1_1")->isVisible());
    const QImage ft = child<PictureBox>("pb3")->image();
    QCOMPARE(ft.pixel(255, 255), qRgb(255, 255, 255));
    QCOMPARE(window_->transform().ft().Magnitude(0, 0), 255.0 * static_cast<double>(window_->tiling()->nVert()));
    tabs()->setCurrentIndex(TilingWindow::TilingTab);
    QVERIFY(!child<QLabel>("lbBR1_1")->isVisible());
    draw();
    QVERIFY(!window_->transformCurrent());
  }

  void brightnessRepeatsWhileHeld() {
    tabs()->setCurrentIndex(TilingWindow::FtTab);
    auto* brighter = child<QLabel>("lbBR1_1");
    auto* darker = child<QLabel>("lbBR1_0");
    auto* timer = child<QTimer>("Timer1");
    QCOMPARE(brighter->cursor().shape(), Qt::PointingHandCursor);
    QCOMPARE(timer->interval(), 10);
    const QImage before = child<PictureBox>("pb3")->image();

    QTest::mousePress(brighter, Qt::LeftButton);
    QCOMPARE(window_->transform().gain(), 1.11f);
    QVERIFY(timer->isActive());
    QTRY_VERIFY(window_->transform().gain() > 1.5f);
    QTest::mouseRelease(brighter, Qt::LeftButton);
    QVERIFY(!timer->isActive());
    const float held = window_->transform().gain();
    QTest::qWait(50);
    QCOMPARE(window_->transform().gain(), held);
    QVERIFY(WhitePixels(child<PictureBox>("pb3")->image()) > WhitePixels(before));

    QTest::mousePress(darker, Qt::LeftButton);
    QTRY_COMPARE(window_->transform().gain(), 0.5f);
    QTest::mouseRelease(darker, Qt::LeftButton);
    QVERIFY(!timer->isActive());
    // The gain carries over to the next tiling's transform.
    draw();
    tabs()->setCurrentIndex(TilingWindow::FtTab);
    QCOMPARE(window_->transform().gain(), 0.5f);
    QCOMPARE(qRed(child<PictureBox>("pb3")->image().pixel(255, 255)), 128);
  }

  void ftDisplayOptionsAndGainReadout() {
    tabs()->setCurrentIndex(TilingWindow::FtTab);
    auto* picture = child<PictureBox>("pb3");
    QVERIFY(child<QCheckBox>("chkLog")->isVisible());
    QCOMPARE(child<QLabel>("lbGain")->text(), QStringLiteral("Gain \u00d71.00"));
    const int linearWhite = WhitePixels(picture->image());
    child<QCheckBox>("chkHideZero")->setChecked(true);
    QCOMPARE(qRed(picture->image().pixel(255, 255)), 0);
    QVERIFY(WhitePixels(picture->image()) >= 1);
    child<QCheckBox>("chkLog")->setChecked(true);
    // Four decades instead of one 255th: far more of the pattern is bright.
    int bright = 0;
    const QImage log = picture->image();
    for (int y = 0; y < log.height(); ++y)
      for (int x = 0; x < log.width(); ++x) bright += qRed(log.pixel(x, y)) > 128;
    QVERIFY(bright > 100 * std::max(linearWhite, 1));
    QTest::mouseClick(child<QLabel>("lbBR1_1"), Qt::LeftButton);
    QCOMPARE(child<QLabel>("lbGain")->text(), QStringLiteral("Gain \u00d71.11"));
    tabs()->setCurrentIndex(TilingWindow::TilingTab);
    QVERIFY(!child<QCheckBox>("chkLog")->isVisible());
  }

  void diffractionTabShowsTheExactPeaks() {
    tabs()->setCurrentIndex(TilingWindow::DiffractionTab);
    QVERIFY(child<QDoubleSpinBox>("spnKMax")->isVisible());
    QTRY_VERIFY_WITH_TIMEOUT(!window_->isComputingPeaks() && !window_->peaks().points.empty(), 20000);
    const auto& peaks = window_->peaks();
    QCOMPARE(peaks.symmetry, 5);
    for (const ModulePoint& p : peaks.points) QVERIFY(std::hypot(p.qx, p.qy) <= 2.0 + 1e-9);
    const QImage picture = child<PictureBox>("pb4")->image();
    QCOMPARE(picture.pixel(256, 256), qRgb(255, 255, 255));  // the zero frequency, intensity 1
    QTest::mouseClick(child<PictureBox>("pb4"), Qt::LeftButton, {}, QPoint(257, 255));
    QVERIFY(child<QLabel>("lbPeak")->text().contains(QStringLiteral("indices (0 0 0 0)")));

    // New limits compute again, on the worker.
    child<QDoubleSpinBox>("spnKMax")->setValue(1.0);
    QTRY_VERIFY_WITH_TIMEOUT(!window_->isComputingPeaks() && window_->peaks().kMax == 1.0, 20000);
    for (const ModulePoint& p : window_->peaks().points) QVERIFY(std::hypot(p.qx, p.qy) <= 1.0 + 1e-9);
    draw();
    QCOMPARE(tabs()->currentIndex(), static_cast<int>(TilingWindow::TilingTab));
  }

  void presetsAndColourByShapeDrawAtOnce() {
    // Nothing but the preset: the Ammann-Beenker tiling comes on show.
    emit child<QComboBox>("cboPreset")->activated(3);
    const std::vector<double> expected = StandardShifts(TilingPreset::AmmannBeenker).shifts;
    QTRY_VERIFY_WITH_TIMEOUT(window_->tiling() && window_->tiling()->gridShift.size() == expected.size() &&
                                 !window_->isGenerating() && !window_->isAnalysing(),
                             20000);
    for (std::size_t i = 0; i < expected.size(); ++i) QVERIFY(std::abs(window_->tiling()->gridShift[i] - expected[i]) < 1e-9);
    // Its statistics name the limit that applies to squares : rhombi.
    tabs()->setCurrentIndex(TilingWindow::StatisticsTab);
    QTRY_VERIFY(child<QLabel>("lbStatistics")->text().contains(QStringLiteral("Ratio 90\u00b0 : 45\u00b0")));
    const QString stats = child<QLabel>("lbStatistics")->text();
    QVERIFY2(stats.contains(QStringLiteral("limit: 1/\u221a2 = 0.7071")), qPrintable(stats));
    QVERIFY(!stats.contains(QStringLiteral("1.4142")));

    // A random tiling, then "Colour by shape": the same tiling in new colours.
    child<QRadioButton>("rb2")->setChecked(true);
    draw();
    const std::vector<float> vertices = window_->tiling()->vertX;
    const Tiling* before = window_->tiling();
    child<QCheckBox>("chkColourByShape")->setChecked(true);
    QTRY_VERIFY_WITH_TIMEOUT(window_->tiling() != before && !window_->isGenerating(), 20000);
    QCOMPARE(window_->tiling()->vertX, vertices);
    QCOMPARE(child<QLabel>("lt0")->text(), QStringLiteral("Rhombus 45\u00b0"));

    // Two changes while one tiling is being made: the last settings win.
    child<QCheckBox>("chkColourByShape")->setChecked(false);
    QVERIFY(window_->isGenerating());
    emit child<QComboBox>("cboPreset")->activated(1);  // Penrose, while busy
    QTRY_VERIFY_WITH_TIMEOUT(window_->tiling()->inputs.symmetry == 5 && !window_->isGenerating(), 20000);
    QCOMPARE(child<QLabel>("lt0")->text(), QStringLiteral("Tile 1"));
    const auto penrose = StandardShifts(TilingPreset::Penrose).shifts;
    for (std::size_t i = 0; i < penrose.size(); ++i) QVERIFY(std::abs(window_->tiling()->gridShift[i] - penrose[i]) < 1e-9);
  }

  void presetsShiftsNotesAndStatistics() {
    QCOMPARE(child<QLabel>("lbShiftSum")->text(), QStringLiteral("Sum of shifts: 1.0000"));
    QVERIFY(!child<QLabel>("lbNote")->isVisible());
    // The classic shifts at N = 8 are not the octagonal tiling: said so.
    child<QScrollBar>("scrF")->setValue(8);
    draw();
    QVERIFY(child<QLabel>("lbNote")->isVisible());
    QVERIFY(child<QLabel>("lbNote")->text().contains(QStringLiteral("Non-standard")));

    emit child<QComboBox>("cboPreset")->activated(3);  // Ammann-Beenker
    QCOMPARE(child<QScrollBar>("scrF")->value(), 8);
    QVERIFY(child<QRadioButton>("rb3")->isChecked());
    draw();
    QVERIFY(!child<QLabel>("lbNote")->isVisible());
    const std::vector<double> expected = StandardShifts(TilingPreset::AmmannBeenker).shifts;
    QCOMPARE(window_->tiling()->gridShift.size(), expected.size());
    for (std::size_t i = 0; i < expected.size(); ++i) QVERIFY(std::abs(window_->tiling()->gridShift[i] - expected[i]) < 1e-9);
    tabs()->setCurrentIndex(TilingWindow::StatisticsTab);
    const QString stats = child<QLabel>("lbStatistics")->text();
    QVERIFY(stats.contains(QStringLiteral("45.00\u00b0 rhombus")));
    QVERIFY(stats.contains(QStringLiteral("90.00\u00b0 rhombus")));
    QVERIFY(stats.contains(QStringLiteral("8 edges")));
    tabs()->setCurrentIndex(TilingWindow::InternalTab);
    QVERIFY(WhitePixels(child<PictureBox>("pb5")->image()) < 512 * 512);
    QVERIFY(child<PictureBox>("pb5")->image() != QImage());

    // Colour by shape: the two rhombus classes of one shape share a colour.
    child<QCheckBox>("chkColourByShape")->setChecked(true);
    draw();
    std::map<int, std::set<ColorValue>> colours;
    for (const Tile& tile : window_->tiling()->tiles) colours[TileShape(8, tile.gridJ, tile.gridK)].insert(tile.color);
    QCOMPARE(colours.size(), std::size_t{2});
    for (const auto& [shape, set] : colours) QCOMPARE(set.size(), std::size_t{1});
    // The legend names the two shapes, one entry each, where it had three tile types.
    QCOMPARE(child<QLabel>("lt0")->text(), QStringLiteral("Rhombus 45\u00b0"));
    QCOMPARE(child<QLabel>("lt1")->text(), QStringLiteral("Square"));
    QVERIFY(child<QLabel>("lt1")->isVisible());
    QVERIFY(!child<QLabel>("lt2")->isVisible());
    const ColorValue square = *colours[4].begin();
    QVERIFY(child<QLabel>("lbcol1")->styleSheet().contains(
        QStringLiteral("rgb(%1, %2, %3)").arg(RedOf(square)).arg(GreenOf(square)).arg(BlueOf(square))));
    emit child<QComboBox>("cboPreset")->activated(1);  // Penrose
    draw();
    QCOMPARE(child<QLabel>("lt0")->text(), QStringLiteral("Thin rhombus 36\u00b0"));
    QCOMPARE(child<QLabel>("lt1")->text(), QStringLiteral("Thick rhombus 72\u00b0"));
    child<QCheckBox>("chkColourByShape")->setChecked(false);
    draw();
    QCOMPARE(child<QLabel>("lt0")->text(), QStringLiteral("Tile 1"));
    // The preset draws at once; the shifts below are refused after it.
    emit child<QComboBox>("cboPreset")->activated(3);
    QTRY_VERIFY_WITH_TIMEOUT(!window_->isGenerating() && window_->tiling()->inputs.symmetry == 8, 20000);

    // A shift that is not a number is named, and nothing is generated.
    child<QLineEdit>("edShifts")->setText(QStringLiteral("0.1 0.2 x 0 0 0 0 0"));
    QCOMPARE(child<QLabel>("lbShiftSum")->text(), QStringLiteral("Sum of shifts: \u2014"));
    const Tiling* before = window_->tiling();
    action("actDraw")->trigger();
    QVERIFY(!window_->isGenerating());
    QCOMPARE(window_->tiling(), before);
    auto* box = window_->findChild<QMessageBox*>(QStringLiteral("tilingMessage"));
    QVERIFY(box != nullptr);
    QVERIFY(box->text().contains(QStringLiteral("entry 3 \"x\"")));
  }

  void cursorReadoutGivesPositionsAndK() {
    auto* label = child<QLabel>("lbCursor");
    // At scale 8 an edge is 24 pixels; 48 pixels right of the centre is x = 2.
    hoverOn(child<PictureBox>("pb"), QPoint(256 + 48, 256 - 12));
    QVERIFY(label->text().startsWith(QStringLiteral("x = 2.0000, y = -0.5000")));
    // Over a recorded vertex the readout names it with its index vector.
    const Tiling* t = window_->tiling();
    hoverOn(child<PictureBox>("pb"), QPoint(static_cast<int>(std::lround(t->vertX[0])), static_cast<int>(std::lround(t->vertY[0]))));
    QVERIFY(label->text().contains(QStringLiteral("K = (")));
    // The transform: 64 pixels right of the zero frequency is 1/8 cycle per
    // pixel, 3 per edge length; the exact peaks use the same unit.
    tabs()->setCurrentIndex(TilingWindow::FtTab);
    hoverOn(child<PictureBox>("pb3"), QPoint(255 + 64, 255));
    QVERIFY(label->text().startsWith(QStringLiteral("k = (3.0000, 0.0000)")));
    tabs()->setCurrentIndex(TilingWindow::DiffractionTab);
    QTRY_VERIFY_WITH_TIMEOUT(!window_->isComputingPeaks() && !window_->peaks().points.empty(), 20000);
    hoverOn(child<PictureBox>("pb4"), QPoint(256 + 125, 256));
    QVERIFY(label->text().startsWith(QStringLiteral("k = (1.0000, 0.0000)")));
  }

  void wheelZoomsAndRightDragPans() {
    auto* picture = child<PictureBox>("pb");
    // Zooming about a point keeps that point under the cursor.
    wheelOn(picture, QPoint(300, 200), 120);
    QCOMPARE(picture->viewZoom(), 1.25);
    QVERIFY(child<QLabel>("lbCursor")->text().startsWith(QStringLiteral("x = 1.8333, y = -2.3333")));
    for (int i = 0; i < 20; ++i) wheelOn(picture, QPoint(300, 200), 120);
    QCOMPARE(picture->viewZoom(), 16.0);
    // The picture shows the enlarged neighbourhood of that point.
    const QImage shown = picture->grab().toImage().convertToFormat(QImage::Format_RGB32);
    QCOMPARE(shown.pixel(300, 200), picture->image().pixel(300, 200));

    // Right drag pans and does not regenerate; the left click still does.
    const Tiling* before = window_->tiling();
    const QPointF offset = picture->viewOffset();
    dragOn(picture, QPoint(300, 200), QPoint(340, 200));
    QCOMPARE(picture->viewOffset().x(), offset.x() - 40.0 / 16.0);
    QTest::qWait(50);
    QCOMPARE(window_->tiling(), before);
    QVERIFY(!window_->isGenerating());
    for (int i = 0; i < 30; ++i) wheelOn(picture, QPoint(10, 10), -120);
    QCOMPARE(picture->viewZoom(), 1.0);
    QCOMPARE(picture->viewOffset(), QPointF(0, 0));
  }

  void zoomDrawsTheVisiblePartAfresh() {
    auto* picture = child<PictureBox>("pb");
    const QImage classic = picture->image();
    const Tiling* t = window_->tiling();
    auto outlineShare = [](const QImage& image) {
      int black = 0;
      for (int y = 0; y < image.height(); ++y)
        for (int x = 0; x < image.width(); ++x) black += image.pixel(x, y) == qRgb(0, 0, 0);
      return static_cast<double>(black) / (image.width() * image.height());
    };
    // Every tile whose centre is in view shows its own colour there.
    auto tilesInPlace = [&](const QImage& shown) {
      const double zoom = picture->viewZoom();
      const QPointF offset = picture->viewOffset();
      int checked = 0;
      for (const Tile& tile : t->tiles) {
        double x = 0, y = 0;
        for (const auto& p : tile.position) {
          // Canvas pixels: 24 per edge length at scale 8, about (256, 256).
          x += (256 + p[0] * 24) / 4.0;
          y += (256 + p[1] * 24) / 4.0;
        }
        const QPoint at(static_cast<int>(std::floor((x - offset.x()) * zoom)), static_cast<int>(std::floor((y - offset.y()) * zoom)));
        if (!QRect(3, 3, shown.width() - 6, shown.height() - 6).contains(at)) continue;
        if (shown.pixel(at) != qRgb(RedOf(tile.color), GreenOf(tile.color), BlueOf(tile.color))) return -1;
        ++checked;
      }
      return checked;
    };
    for (int i = 0; i < 6; ++i) wheelOn(picture, QPoint(200, 300), 120);
    // Until the new picture arrives the magnified one stands in.
    QVERIFY(!picture->viewIsSharp());
    QTRY_VERIFY_WITH_TIMEOUT(picture->viewIsSharp(), 10000);
    QImage shown = picture->grab().toImage().convertToFormat(QImage::Format_RGB32);
    // Outlines stay one pixel wide, so they cover a share of the view that
    // falls with the zoom (3.8 times here); magnified pixels would keep it.
    QVERIFY2(outlineShare(shown) < 0.5 * outlineShare(classic),
             qPrintable(QStringLiteral("%1 vs %2").arg(outlineShare(shown)).arg(outlineShare(classic))));
    QVERIFY(tilesInPlace(shown) > 5);

    // A pan draws the new part as well.
    dragOn(picture, QPoint(300, 300), QPoint(200, 250));
    QVERIFY(!picture->viewIsSharp());
    QTRY_VERIFY_WITH_TIMEOUT(picture->viewIsSharp(), 10000);
    shown = picture->grab().toImage().convertToFormat(QImage::Format_RGB32);
    QVERIFY(tilesInPlace(shown) > 5);

    // Back at 1x the classic picture is on show, pixel for pixel.
    for (int i = 0; i < 10; ++i) wheelOn(picture, QPoint(10, 10), -120);
    QCOMPARE(picture->viewZoom(), 1.0);
    QCOMPARE(picture->grab().toImage().convertToFormat(QImage::Format_RGB32), classic);
  }

  // Zoomed, the exact diffraction is the same picture drawn larger and
  // afresh; k and the picked peak follow the spots on screen.
  void zoomedDiffractionIsDrawnAfresh() {
    tabs()->setCurrentIndex(TilingWindow::DiffractionTab);
    QTRY_VERIFY_WITH_TIMEOUT(!window_->isComputingPeaks() && !window_->peaks().points.empty(), 20000);
    auto* picture = child<PictureBox>("pb4");
    const QImage classic = picture->image();
    const TilingWindow::Peaks& peaks = window_->peaks();
    // At |k| <= 2 a reciprocal edge length is 125 pixels, zero at (256, 256).
    auto screenAt = [&](const ModulePoint& p) {
      return (QPointF(256 + 125 * p.qx, 256 + 125 * p.qy) - picture->viewOffset()) * picture->viewZoom();
    };
    auto pick = [&](QPointF at) {
      QTest::mouseClick(picture, Qt::LeftButton, {}, at.toPoint());
      return child<QLabel>("lbPeak")->text();
    };
    auto grab = [&] { return picture->grab().toImage().convertToFormat(QImage::Format_RGB32); };
    // Smoothed edge pixels (grey) per lit pixel: a spot drawn afresh keeps a
    // one-pixel edge, so the share falls with the zoom; magnified it stays.
    auto edgeShare = [](const QImage& image) {
      double grey = 0, lit = 0;
      for (int y = 0; y < image.height(); ++y)
        for (int x = 0; x < image.width(); ++x) {
          const int v = qRed(image.pixel(x, y));
          grey += v > 0 && v < 255;
          lit += v > 0;
        }
      return grey / lit;
    };
    // Lit area (smoothed pixels in part) within `half` pixels of a point.
    auto litArea = [](const QImage& image, QPointF at, double half) {
      double sum = 0;
      for (int y = static_cast<int>(at.y() - half); y <= static_cast<int>(at.y() + half); ++y)
        for (int x = static_cast<int>(at.x() - half); x <= static_cast<int>(at.x() + half); ++x)
          sum += qRed(image.pixel(x, y)) / 255.0;
      return sum;
    };
    // The strongest peak off the centre and away from the edge.
    std::size_t target = peaks.points.size();
    for (std::size_t p = 0; p < peaks.points.size(); ++p)
      if (std::abs(std::hypot(peaks.points[p].qx, peaks.points[p].qy) - 0.8) < 0.5 &&
          (target == peaks.points.size() || peaks.intensity[p] > peaks.intensity[target]))
        target = p;
    QVERIFY(target < peaks.points.size());
    const ModulePoint& spot = peaks.points[target];
    const QString atOne = pick(screenAt(spot));
    QVERIFY(atOne.contains(QString::fromStdString(ModulePointText(spot))));
    const double half = kPeakRadiusMax * std::sqrt(peaks.intensity[target]) + 3;
    const double areaAtOne = litArea(classic, screenAt(spot), half);

    for (int i = 0; i < 6; ++i) wheelOn(picture, (screenAt(spot) + QPointF(30, -20)).toPoint(), 120);
    const double zoom = picture->viewZoom();
    QVERIFY(!picture->viewIsSharp());
    const double magnified = edgeShare(grab());
    QTRY_VERIFY_WITH_TIMEOUT(picture->viewIsSharp(), 10000);
    QImage shown = grab();
    QVERIFY2(edgeShare(shown) < 0.5 * magnified,
             qPrintable(QStringLiteral("%1 vs %2").arg(edgeShare(shown)).arg(magnified)));
    // Area times zoom squared: the same spot larger, not more spots of its size.
    const double reach = half * zoom;
    QVERIFY(QRectF(0, 0, 512, 512).contains(QRectF(screenAt(spot), QSizeF()).adjusted(-reach, -reach, reach, reach)));
    const double areaRatio = litArea(shown, screenAt(spot), reach) / areaAtOne / (zoom * zoom);
    QVERIFY2(std::abs(areaRatio - 1) < 0.03, qPrintable(QString::number(areaRatio)));

    // Every spot in view is drawn where the readout puts its k; the pick there names it.
    for (int pan = 0; pan < 2; ++pan) {
      if (pan == 1) {
        // A right drag pans; the new part is drawn afresh as well.
        dragOn(picture, QPoint(300, 300), QPoint(250, 280));
        QVERIFY(!picture->viewIsSharp());
        QTRY_VERIFY_WITH_TIMEOUT(picture->viewIsSharp(), 10000);
        shown = grab();
      }
      int lit = 0;
      for (std::size_t p = 0; p < peaks.points.size(); ++p) {
        const QPointF at = screenAt(peaks.points[p]);
        if (peaks.intensity[p] < kPeakIntensityMin || !QRectF(0, 0, 511, 511).contains(at)) continue;
        QCOMPARE(shown.pixel(static_cast<int>(at.x()), static_cast<int>(at.y())), qRgb(255, 255, 255));
        ++lit;
      }
      QVERIFY(lit > 3);
      QCOMPARE(pick(screenAt(spot)), atOne);
      hoverOn(picture, screenAt(spot).toPoint());
      const auto k =
          QRegularExpression(QStringLiteral("^k = \\((\\S+), (\\S+)\\)")).match(child<QLabel>("lbCursor")->text());
      QVERIFY(k.hasMatch());
      QVERIFY(std::hypot(k.captured(1).toDouble() - spot.qx, k.captured(2).toDouble() - spot.qy) < 1 / (125 * zoom));
    }

    // Back at 1x the classic picture is on show, pixel for pixel.
    for (int i = 0; i < 10; ++i) wheelOn(picture, QPoint(10, 10), -120);
    QCOMPARE(grab(), classic);
  }

  void clickOnTheTransformNamesThePeak() {
    tabs()->setCurrentIndex(TilingWindow::FtTab);
    auto* label = child<QLabel>("lbFtPeak");
    QVERIFY(label->isVisible());
    // The strongest coefficient off the origin, found here by a scan of the transform.
    const FtArray& ft = window_->transform().ft();
    int fx = 0, fy = 0;
    double best = 0;
    for (int x = 0; x < ft.width; ++x)
      for (int y = 0; y < ft.height; ++y) {
        const int kx = x < ft.width / 2 ? x : x - ft.width, ky = y < ft.height / 2 ? y : y - ft.height;
        if (std::abs(kx) + std::abs(ky) < 4 || std::abs(kx) > 200 || std::abs(ky) > 200) continue;
        if (ft.Magnitude(x, y) > best) {
          best = ft.Magnitude(x, y);
          fx = kx;
          fy = ky;
        }
      }
    // A click two pixels off it, on the picture with the zero frequency at (255, 255).
    QTest::mouseClick(child<PictureBox>("pb3"), Qt::LeftButton, {}, QPoint(255 + fx + 2, 255 + fy - 1));
    const QString text = label->text();
    const double perPixel = 24.0 / 512;  // reciprocal edge lengths per pixel at scale 8
    QVERIFY2(text.startsWith(QStringLiteral("Peak at k = (%1, %2)").arg(fx * perPixel, 0, 'f', 4).arg(fy * perPixel, 0, 'f', 4)),
             qPrintable(text));
    // Its module indices give, by q = (2/5) sum a_i e_i, a wave vector within a pixel of it.
    const QRegularExpressionMatch indices = QRegularExpression(QStringLiteral("indices \\((-?\\d+) (-?\\d+) (-?\\d+) (-?\\d+)\\)")).match(text);
    QVERIFY2(indices.hasMatch(), qPrintable(text));
    double qx = 0, qy = 0;
    for (int i = 0; i < 4; ++i) {
      qx += 0.4 * indices.captured(i + 1).toInt() * std::cos(2 * std::numbers::pi * i / 5);
      qy += 0.4 * indices.captured(i + 1).toInt() * std::sin(2 * std::numbers::pi * i / 5);
    }
    QVERIFY(std::hypot(qx - fx * perPixel, qy - fy * perPixel) <= perPixel);
    QVERIFY(std::hypot(qx, qy) > 0.1);
    // The zero frequency is the origin of the module, with the whole intensity.
    QTest::mouseClick(child<PictureBox>("pb3"), Qt::LeftButton, {}, QPoint(256, 254));
    QVERIFY2(label->text().startsWith(QStringLiteral("Peak at k = (0.0000, 0.0000), |k| = 0.0000, I \u2248 1\nModule point: k = (0.0000, 0.0000)")), qPrintable(label->text()));
    QVERIFY(label->text().contains(QStringLiteral("indices (0 0 0 0)")));
  }

  void everyClickOfADoubleClickCounts() {
    // Through the window system, as a real double click arrives: press,
    // release, then the second press, which Qt reports as a double click.
    tabs()->setCurrentIndex(TilingWindow::FtTab);
    auto doubleClick = [&](const char* name) {
      QWidget* label = child<QLabel>(name);
      QWindow* window = window_->windowHandle();
      const QPoint at = label->mapTo(window_.get(), label->rect().center());
      QTest::mouseDClick(window, Qt::LeftButton, {}, at);
      QTest::qWait(20);
    };
    doubleClick("lbBR1_1");
    QCOMPARE(window_->transform().gain(), 1.11f * 1.11f);
    QVERIFY(!child<QTimer>("Timer1")->isActive());
    doubleClick("lbBR1_0");
    QCOMPARE(window_->transform().gain(), 1.11f * 1.11f * 0.9f * 0.9f);
  }

  void helpOpensAtTheTilingSection() {
    // Desktop handlers drop the fragment of a file address, so the window
    // opens a page that forwards to the section.
    QUrl opened;
    Dialogs().openUrl = [&](const QUrl& url) {
      opened = url;
      return true;
    };
    window_->showHelp();
    QVERIFY(opened.isLocalFile());
    QVERIFY(!opened.hasFragment());
    const std::optional<std::string> page = ReadWholeFile(QFile::encodeName(opened.toLocalFile()).toStdString());
    QVERIFY(page.has_value());
    QVERIFY(QString::fromStdString(*page).contains(window_->helpUrl().toString(QUrl::FullyEncoded)));
    QVERIFY(window_->helpUrl().toString().endsWith(QStringLiteral("index.html#tiling")));
  }

  void profileFollowsTheHeldButton() {
    tabs()->setCurrentIndex(TilingWindow::FtTab);
    auto* picture = child<PictureBox>("pb3");
    auto* line = child<QWidget>("Line1_0");
    auto* strip = child<PictureBox>("dummy");
    QTest::mousePress(picture, Qt::LeftButton, {}, QPoint(100, 50));
    QVERIFY(line->isVisible());
    QCOMPARE(line->geometry(), QRect(0, 50, 512, 1));
    QVERIFY(strip->isVisible());
    QCOMPARE(strip->y(), 60);

    QMouseEvent move(QEvent::MouseMove, QPointF(100, 300), picture->mapToGlobal(QPointF(100, 300)), Qt::NoButton,
                     Qt::LeftButton, Qt::NoModifier);
    QApplication::sendEvent(picture, &move);
    QCOMPARE(line->y(), 300);
    QCOMPARE(strip->y(), 300 - 10 - strip->height());
    // The strip shows the graph of the row under the line.
    const QImage graph = strip->image();
    float vmax = 0.0f;
    const std::vector<float> profile = GetDisplayedProfile(window_->transform().ft(), 300, vmax);
    const std::vector<int> ys = ProfileGraph(profile, vmax, graph.height());
    int onCurve = 0;
    for (int x = 20; x < 500; x += 7)
      if (ys[static_cast<std::size_t>(x)] < graph.height())
        onCurve += InkNear(graph, x, ys[static_cast<std::size_t>(x)]) ? 1 : -1000;
    QVERIFY2(onCurve > 10, qPrintable(QString::number(onCurve)));

    // The graph peaks where the picture's row under the line is brightest.
    const QImage shown = picture->image();
    int brightest = 0;
    for (int x = 0; x < shown.width(); ++x)
      if (qRed(shown.pixel(x, 300)) > qRed(shown.pixel(brightest, 300))) brightest = x;
    const auto highest = std::max_element(profile.begin(), profile.end()) - profile.begin();
    QCOMPARE(static_cast<int>(highest), brightest);

    QTest::mouseRelease(picture, Qt::LeftButton, {}, QPoint(100, 300));
    QVERIFY(!line->isVisible());
    QVERIFY(!strip->isVisible());
  }

  void savesTheCoordinatesOfTheTilingOnShow() {
    QString folderSeen, nameSeen;
    const QString target = QDir(dir_.path()).filePath(QStringLiteral("out.xy"));
    Dialogs().saveFileName = [&](QWidget*, const QString&, const QString& proposed, const QString&) {
      folderSeen = QFileInfo(proposed).path();
      nameSeen = QFileInfo(proposed).fileName();
      return target;
    };
    window_->saveCoordinates();
    QCOMPARE(nameSeen, QStringLiteral("NHA_5-6-8-0.xy"));
    QCOMPARE(QDir(folderSeen).dirName(), QStringLiteral("EXPORT"));
    QVERIFY(QFileInfo(folderSeen).isDir());
    const std::optional<std::string> written = ReadWholeFile(QFile::encodeName(target).toStdString());
    QVERIFY(written.has_value());
    QCOMPARE(*written, XyFileText(window_->tiling()->vertX, window_->tiling()->vertY));

    // Options changed after the last Draw do not rename the tiling on show.
    child<QScrollBar>("scrN")->setValue(12);
    QFile::remove(target);
    Dialogs().saveFileName = [&](QWidget*, const QString&, const QString& proposed, const QString&) {
      nameSeen = QFileInfo(proposed).fileName();
      return QString();  // cancelled
    };
    window_->saveCoordinates();
    QCOMPARE(nameSeen, QStringLiteral("NHA_5-6-8-0.xy"));
    QVERIFY(!QFileInfo::exists(target));
    QVERIFY(window_->findChild<QMessageBox*>(QStringLiteral("tilingMessage")) == nullptr);

    // A failed write says so and leaves nothing behind.
    const QString unwritable = QDir(dir_.path()).filePath(QStringLiteral("missing/x.xy"));
    Dialogs().saveFileName = [&](QWidget*, const QString&, const QString&, const QString&) { return unwritable; };
    window_->saveCoordinates();
    QVERIFY(!QFileInfo::exists(unwritable));
    auto* box = window_->findChild<QMessageBox*>(QStringLiteral("tilingMessage"));
    QVERIFY(box != nullptr);
    QVERIFY(box->text().contains(QStringLiteral("not saved")));
  }

  void savesPicturesAndTables() {
    QString target;
    QStringList proposed;
    Dialogs().saveFileName = [&](QWidget*, const QString&, const QString& name, const QString&) {
      proposed << QFileInfo(name).fileName();
      return target;
    };
    target = QDir(dir_.path()).filePath(QStringLiteral("t.svg"));
    window_->savePicture();
    const std::optional<std::string> svg = ReadWholeFile(QFile::encodeName(target).toStdString());
    QVERIFY(svg.has_value());
    QCOMPARE(*svg, TilingSvg(*window_->tiling()));
    target = QDir(dir_.path()).filePath(QStringLiteral("t.png"));
    window_->savePicture();
    QCOMPARE(QImage(target).convertToFormat(QImage::Format_RGB32), child<PictureBox>("pb")->image());
    tabs()->setCurrentIndex(TilingWindow::DiffractionTab);
    QTRY_VERIFY_WITH_TIMEOUT(!window_->isComputingPeaks() && !window_->peaks().points.empty(), 20000);
    target = QDir(dir_.path()).filePath(QStringLiteral("d.png"));
    window_->savePicture();
    QCOMPARE(QImage(target).convertToFormat(QImage::Format_RGB32), child<PictureBox>("pb4")->image());
    target = QDir(dir_.path()).filePath(QStringLiteral("tiles.csv"));
    window_->exportTilesCsv();
    QCOMPARE(ReadWholeFile(QFile::encodeName(target).toStdString()).value_or(""), TilesCsv(*window_->tiling()));
    target = QDir(dir_.path()).filePath(QStringLiteral("v.csv"));
    window_->exportVerticesCsv();
    QCOMPARE(ReadWholeFile(QFile::encodeName(target).toStdString()).value_or(""), VerticesCsv(*window_->tiling()));
    QCOMPARE(proposed, (QStringList{QStringLiteral("NHA_5-6-8-0_tiling.png"), QStringLiteral("NHA_5-6-8-0_tiling.png"),
                                    QStringLiteral("NHA_5-6-8-0_diffraction.png"), QStringLiteral("NHA_5-6-8-0_tiles.csv"),
                                    QStringLiteral("NHA_5-6-8-0_vertices.csv")}));
    // A failed write says so.
    target = QDir(dir_.path()).filePath(QStringLiteral("missing/x.csv"));
    window_->exportTilesCsv();
    QVERIFY(window_->findChild<QMessageBox*>(QStringLiteral("tilingMessage")) != nullptr);
  }

  // Peaks CSV holds the Diffraction tab's peaks; each row is checked against
  // k = (2/N) sum h_i e_i and a direct Fourier sum over the vertices of the
  // window's own vertex table, I = |sum exp(2 pi i k.x)|^2 / n^2.
  void peaksCsvWritesTheDiffractionPeaksAsNumbers() {
    const QString target = QDir(dir_.path()).filePath(QStringLiteral("peaks.csv"));
    QStringList proposed;
    Dialogs().saveFileName = [&](QWidget*, const QString&, const QString& name, const QString&) {
      proposed << QFileInfo(name).fileName();
      return target;
    };
    // Not computed yet: the tab is shown, nothing is written.
    tabs()->setCurrentIndex(TilingWindow::TilingTab);
    QVERIFY(child<QAction>("actPeaksCsv")->isEnabled());
    child<QAction>("actPeaksCsv")->trigger();
    QCOMPARE(tabs()->currentIndex(), static_cast<int>(TilingWindow::DiffractionTab));
    QVERIFY(!QFileInfo::exists(target));
    auto* box = window_->findChild<QMessageBox*>(QStringLiteral("tilingMessage"));
    QVERIFY(box != nullptr && box->text().contains(QStringLiteral("Diffraction tab")));
    box->close();
    QTRY_VERIFY_WITH_TIMEOUT(!window_->isComputingPeaks() && !window_->peaks().points.empty(), 20000);
    child<QAction>("actPeaksCsv")->trigger();
    QCOMPARE(proposed, QStringList{QStringLiteral("NHA_5-6-8-0_peaks.csv")});

    const std::string text = ReadWholeFile(QFile::encodeName(target).toStdString()).value_or("");
    QVERIFY(text.find("\nkx,ky,k,h0,h1,h2,h3,internal,intensity\n") != std::string::npos);
    const auto peaks = testing::CsvNumbers(text);
    const auto vertices = testing::CsvNumbers(VerticesCsv(*window_->tiling()));
    QCOMPARE(peaks.size(), window_->peaks().points.size());
    QVERIFY(vertices.size() > 50);
    int origin = 0, strong = 0;
    for (const auto& p : peaks) {
      QCOMPARE(p.size(), std::size_t{9});
      const std::array<double, 2> k = testing::PenrosePeakVector(p);
      QVERIFY(std::abs(p[0] - k[0]) < 1e-12 && std::abs(p[1] - k[1]) < 1e-12);
      QVERIFY2(std::abs(p[8] - testing::VertexSumIntensity(vertices, k)) < 1e-7, qPrintable(QString::number(p[2])));
      origin += p[2] == 0.0;
      strong += p[8] > 0.1;
    }
    QCOMPARE(origin, 1);
    QVERIFY(strong > 5);
  }

  void clickRegeneratesAndRandomTilingsRepeatPerStart() {
    child<QRadioButton>("rb2")->setChecked(true);
    const Tiling* before = window_->tiling();
    QTest::mouseClick(child<PictureBox>("pb2"), Qt::LeftButton, {}, QPoint(10, 10));
    QTRY_VERIFY_WITH_TIMEOUT(window_->tiling() != before && !window_->isGenerating(), 10000);
    QCOMPARE(window_->tiling()->inputs.shiftMode, ShiftMode::Random);
    const std::vector<double> first = window_->tiling()->gridShift;

    TilingInputs random;
    random.shiftMode = ShiftMode::Random;
    std::mt19937 start(kTilingRandomSeed);
    QCOMPARE(MakeTiling(random, start).gridShift, first);

    QTest::mouseClick(child<PictureBox>("pb"), Qt::LeftButton, {}, QPoint(10, 10));
    QTRY_VERIFY_WITH_TIMEOUT(window_->tiling()->gridShift != first && !window_->isGenerating(), 10000);

    // A new window starts the sequence again.
    openWindow();
    child<QRadioButton>("rb2")->setChecked(true);
    draw();
    QCOMPARE(window_->tiling()->gridShift, first);
  }

  void largeTilingsKeepTheWindowResponsive() {
    const Tiling* before = window_->tiling();
    child<QScrollBar>("scrF")->setValue(20);
    child<QScrollBar>("scrN")->setValue(40);
    child<QScrollBar>("scrZoom")->setValue(1);
    QCOMPARE(child<QLabel>("lb4")->text(), QStringLiteral("20"));
    QTest::qWait(50);
    QCOMPARE(window_->tiling(), before);  // options alone do not redraw
    action("actDraw")->trigger();
    QVERIFY(window_->isGenerating());
    QVERIFY(!action("actDraw")->isEnabled());
    // A second request while one runs is ignored rather than queued.
    action("actDraw")->trigger();
    QTRY_VERIFY_WITH_TIMEOUT(window_->tiling() != before && !window_->isGenerating(), 30000);
    QVERIFY(action("actDraw")->isEnabled());
    QCOMPARE(panel(1), QStringLiteral("20-fold symmetry"));
    QCOMPARE(panel(2), QStringLiteral("9 tile types"));
    for (int i = 0; i < 9; ++i) QVERIFY(child<QLabel>(qPrintable(QStringLiteral("lbcol%1").arg(i)))->isVisible());
  }

  void closingRestoresTheMinimisedMainWindow() {
    QWidget mainWindow;
    mainWindow.show();
    mainWindow.showMinimized();
    QTRY_VERIFY(mainWindow.isMinimized());
    openWindow(&mainWindow);
    window_->close();
    QTRY_VERIFY(!mainWindow.isMinimized());
    window_.reset();
  }
};

QTEST_MAIN(TilingWindowTest)
#include "tiling_window_test.moc"
