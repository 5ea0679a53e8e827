// The plots in the main window: drawing after a run, view options, the
// background cycle, rotation by keys, drags and buttons, and the large view.
#include <QAction>
#include <QApplication>
#include <QLineEdit>
#include <QMouseEvent>
#include <QPushButton>
#include <QSlider>
#include <QStackedWidget>
#include <QTemporaryDir>
#include <QToolButton>
#include <QtTest>
#include <memory>

#include "ui/dialogs.hpp"
#include "app/main_window.hpp"
#include "app/parameter_panel.hpp"
#include "plots/plot_box.hpp"
#include "plots/plot_controller.hpp"

using namespace lumora;

namespace {

// Pixels that differ from the picture's background colour.
int Painted(const QImage& image, QColor background) {
  if (image.isNull()) return 0;
  int count = 0;
  for (int y = 0; y < image.height(); ++y)
    for (int x = 0; x < image.width(); ++x)
      if (image.pixelColor(x, y) != background) ++count;
  return count;
}

void Drag(QWidget* box, QPoint from, QPoint to, Qt::MouseButton button) {
  QMouseEvent press(QEvent::MouseButtonPress, from, box->mapToGlobal(from), button, button, Qt::NoModifier);
  QApplication::sendEvent(box, &press);
  QMouseEvent move(QEvent::MouseMove, to, box->mapToGlobal(to), Qt::NoButton, button, Qt::NoModifier);
  QApplication::sendEvent(box, &move);
  QMouseEvent release(QEvent::MouseButtonRelease, to, box->mapToGlobal(to), button, Qt::NoButton, Qt::NoModifier);
  QApplication::sendEvent(box, &release);
}

}  // namespace

class PlotsTest : public QObject {
  Q_OBJECT

 private:
  std::unique_ptr<QTemporaryDir> folder_;
  std::unique_ptr<MainWindow> window_;

  PlotController* plots() { return window_->plots(); }
  QAction* action(const char* name) { return window_->findChild<QAction*>(QString::fromLatin1(name)); }
  QToolButton* button(const char* name) { return window_->findChild<QToolButton*>(QString::fromLatin1(name)); }
  void run() {
    window_->executeCalculation();
    window_->waitForRun();
    QVERIFY(window_->calculated());
  }

 private slots:
  void init() {
    folder_ = std::make_unique<QTemporaryDir>();
    qputenv("TMP", folder_->path().toLocal8Bit());
    Dialogs().warning = [](QWidget*, const QString& text) { qWarning("%s", qPrintable(text)); };
    window_ = std::make_unique<MainWindow>(AppPaths(folder_->path()));
    window_->resize(1100, 780);
    window_->show();
    QVERIFY(QTest::qWaitForWindowExposed(window_.get()));
  }
  void cleanup() {
    window_.reset();
    folder_.reset();
  }

  void nothingIsDrawnBeforeTheFirstRun() {
    action("mnuView3")->trigger();
    QVERIFY(action("mnuView3")->isChecked());
    QVERIFY(plots()->options().highlightMain);
    QVERIFY(plots()->box2D()->picture().isNull());
    QVERIFY(plots()->box3D()->picture().isNull());
    QTest::keyClick(plots()->box3D(), Qt::Key_Left);
    QVERIFY(plots()->points().empty());
  }

  void aRunDrawsBothPlotsAndNewClearsThem() {
    run();
    const QImage& picture2D = plots()->box2D()->picture();
    QCOMPARE(picture2D.size(), plots()->box2D()->size());
    QVERIFY(Painted(picture2D, Qt::black) > 100);
    QVERIFY(Painted(plots()->box3D()->picture(), Qt::black) > 100);
    QCOMPARE(plots()->points().size(), window_->result()->records.size());
    action("mnuFile1")->trigger();
    QVERIFY(plots()->box2D()->picture().isNull());
    QVERIFY(!plots()->calculated());
  }

  void viewOptionsRestyleTheSpots() {
    run();
    const QImage plain = plots()->box2D()->picture();
    action("mnuView5")->trigger();  // colour by theta
    QVERIFY(plots()->box2D()->picture() != plain);
    action("mnuView6")->trigger();  // colour by qi turns theta off
    QVERIFY(!action("mnuView5")->isChecked());
    QVERIFY(action("mnuView6")->isChecked());
    action("mnuView6")->trigger();
    QCOMPARE(plots()->box2D()->picture(), plain);

    action("mnuView8")->trigger();  // directions: legend on the 3D plot
    QVERIFY(plots()->scene3D(3000, 3000).legend.size() == 2);
    action("mnuView8")->trigger();
    QVERIFY(plots()->scene3D(3000, 3000).legend.empty());

    auto* spots = window_->findChild<QSlider*>(QStringLiteral("slRFAC"));
    const int before = Painted(plots()->box2D()->picture(), Qt::black);
    spots->setValue(30);
    QVERIFY(Painted(plots()->box2D()->picture(), Qt::black) > before);

    auto* layer = window_->findChild<QSlider*>(QStringLiteral("slZERO"));
    const std::size_t all = plots()->scene3D(3000, 3000).circles.size();
    layer->setValue(1);
    QVERIFY(plots()->scene3D(3000, 3000).circles.size() < all);
  }

  void backgroundCyclesThroughThreeSchemes() {
    run();
    QAction* background = action("tbBackground");
    background->trigger();
    QCOMPARE(plots()->box2D()->picture().pixelColor(0, 0), QColor(Qt::white));
    QCOMPARE(plots()->box3D()->backColor(), kWhite);
    background->trigger();
    QCOMPARE(plots()->box2D()->picture().pixelColor(0, 0), QColor(128, 128, 255));
    background->trigger();
    QCOMPARE(plots()->box2D()->picture().pixelColor(0, 0), QColor(Qt::black));
  }

  void keysDragsAndButtonsTurnThe3DPlot() {
    run();
    const PointTable start = plots()->points();
    QTest::keyClick(plots()->box2D(), Qt::Key_Left);  // the 2D plot is static
    QCOMPARE(plots()->points(), start);
    const QImage before = plots()->box3D()->picture();
    QTest::keyClick(plots()->box3D(), Qt::Key_Up);
    QVERIFY(plots()->points() != start);
    QVERIFY(plots()->box3D()->picture() != before);
    QTest::keyClick(plots()->box3D(), Qt::Key_Down);
    // Up then Down: every point back where it was (rows may be re-ordered).
    PointTable now = plots()->points();
    std::sort(now.begin(), now.end(), [](const PointRow& a, const PointRow& b) { return a[3] < b[3]; });
    for (std::size_t i = 0; i < now.size(); ++i)
      for (int c = 0; c < 3; ++c) QVERIFY(std::fabs(now[i][c] - start[i][c]) < 1e-5f);

    // A left drag of a tenth of the width turns by 18 degrees about the vertical axis.
    PlotBox* box = plots()->box3D();
    const PointTable beforeDrag = plots()->points();
    Drag(box, QPoint(box->width() / 2, 50), QPoint(box->width() / 2 - box->width() / 10, 50), Qt::LeftButton);
    QVERIFY(plots()->points() != beforeDrag);

    // Custom rotation: 90 degrees in the screen plane, and back with the right button.
    auto* angle = window_->findChild<QLineEdit*>(QStringLiteral("tfANG0"));
    angle->setText(QStringLiteral("90,0"));
    const PointTable beforeButton = plots()->points();
    window_->findChild<QPushButton*>(QStringLiteral("btANG0"))->click();
    QCOMPARE(angle->text(), QStringLiteral("90.0"));
    const PointTable turned = plots()->points();
    QVERIFY(std::fabs(turned[0][2] - beforeButton[0][1]) < 1e-5f);  // horizontal became vertical
    QTest::mouseClick(window_->findChild<QPushButton*>(QStringLiteral("btANG0")), Qt::RightButton);
    for (std::size_t i = 0; i < turned.size(); ++i)
      QVERIFY(std::fabs(plots()->points()[i][1] - beforeButton[i][1]) < 1e-5f);
  }

  void theIcosahedralRunStartsTurnedAndDrawsASlab() {
    window_->parameters()->chooseSystem(3);
    QVERIFY(!action("mnuView8")->isEnabled());
    run();
    const ReflectionRecord& first = window_->result()->records[static_cast<std::size_t>(plots()->points()[0][3])];
    QVERIFY(std::fabs(plots()->points()[0][0] - first.x) > 1e-4f || std::fabs(plots()->points()[0][1] - first.y) > 1e-4f);
    const PlotScene slab = plots()->scene2D(9000, 9000);
    QVERIFY(!slab.empty());
    QVERIFY(slab.circles.size() < plots()->scene3D(9000, 9000).circles.size());
    // Turning the 3D plot turns the slab with it.
    const QImage before = plots()->box2D()->picture();
    QTest::keyClick(plots()->box3D(), Qt::Key_Right);
    QVERIFY(plots()->box2D()->picture() != before);
  }

  void theLargeViewOpensSwitchesAndCloses() {
    run();
    auto* pages = window_->findChild<QStackedWidget*>();
    button("bBig2D")->click();
    QVERIFY(plots()->bigViewOpen());
    QVERIFY(!plots()->bigShows3D());
    QVERIFY(plots()->bigBox()->isVisible());
    QCOMPARE(plots()->bigBox()->picture().size(), plots()->bigBox()->size());
    button("bBig2D")->click();
    QVERIFY(!plots()->bigViewOpen());
    QVERIFY(!plots()->bigBox()->isVisible());
    QVERIFY(plots()->box2D()->isVisible());

    button("bBig2D")->click();
    button("bBig3D")->click();
    QVERIFY(plots()->bigViewOpen());
    QVERIFY(plots()->bigShows3D());
    const PointTable start = plots()->points();
    QTest::keyClick(plots()->bigBox(), Qt::Key_Left);
    QVERIFY(plots()->points() != start);

    // The large view follows the window's size.
    const QSize small = plots()->bigBox()->size();
    window_->resize(1300, 900);
    QTest::qWait(50);
    QVERIFY(plots()->bigBox()->width() > small.width());
    QCOMPARE(plots()->bigBox()->picture().size(), plots()->bigBox()->size());

    window_->findChild<QToolButton*>(QStringLiteral("btCloseBig"))->click();
    QVERIFY(!plots()->bigViewOpen());
    QVERIFY(!plots()->bigShows3D());
    QVERIFY(pages != nullptr);
    QCOMPARE(plots()->box3D()->picture().size(), plots()->box3D()->size());
  }

  void theWindowKeepsItsMinimumSize() {
    window_->resize(300, 200);
    QVERIFY(window_->width() >= 800);
    QVERIFY(window_->height() >= 600);
  }
};

QTEST_MAIN(PlotsTest)
#include "plots_test.moc"
