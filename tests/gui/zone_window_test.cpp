// The zone window: opened from View -> Zone Axis Pattern on the main
// window's lattice; a click on the stereogram's three-fold axis turns the
// beam there; the worked example's image fits back to the geometry it was
// drawn with and the three-fold pattern refuses it; the picture and the spots
// are saved.
#include <QAction>
#include <QComboBox>
#include <QDoubleSpinBox>
#include <QFile>
#include <QMenuBar>
#include <QApplication>
#include <QLabel>
#include <QMouseEvent>
#include <QTableWidget>
#include <QTest>
#include <cmath>
#include <memory>

#include "app/main_window.hpp"
#include "reflections/space_groups.hpp"
#include "test_sandbox.hpp"
#include "zone/zone_window.hpp"

using namespace lumora;

class ZoneWindowTest : public QObject {
  Q_OBJECT

 private:
  std::unique_ptr<QTemporaryDir> folder_;
  QStringList messages_;

  static CalculationInputs FiveFold() {
    CalculationInputs in;
    in.system = CrystalSystem::Icosahedral;
    in.groupIndex = FindGroup("P235")->listIndex;
    in.a = 5.1;
    in.c = 1.0;
    in.qiLimit = 1.5;
    in.loopLimits.fill(6);
    return in;
  }

 private slots:
  void initTestCase() {
    folder_ = testing::MakeScratchFolder();
    testing::RecordMessages(messages_);
  }

  void opensFromTheMainWindow() {
    MainWindow main(AppPaths(folder_->path()));
    main.show();
    main.findChild<QAction*>(QStringLiteral("mnuView13"))->trigger();
    ZoneWindow* zone = nullptr;
    for (QWidget* top : QApplication::topLevelWidgets())
      if (auto* found = qobject_cast<ZoneWindow*>(top)) zone = found;
    QVERIFY(zone);
    // The start-up lattice is decagonal: the periodic ten-fold axis first.
    QCOMPARE(QString::fromStdString(zone->pattern().axis.name), QStringLiteral("10"));
    QVERIFY(!zone->pattern().spots.empty());
    zone->close();
  }

  void stereogramClickTiltsToTheAxis() {
    ZoneWindow window(AppPaths(folder_->path()));
    window.setInputs(FiveFold(), std::nullopt, "");
    window.show();
    QVERIFY(QTest::qWaitForWindowExposed(&window));
    QCOMPARE(window.findChild<QTableWidget*>(QStringLiteral("zoneAxesTable"))->rowCount(), 31);
    // Click where the stereogram shows the nearest three-fold axis.
    const std::vector<AxisView> axes = AxesFromBeam(window.pattern().lattice, window.pattern().frame);
    const auto three = std::find_if(axes.begin(), axes.end(), [](const AxisView& a) { return a.axis.order == 3; });
    QVERIFY(three != axes.end());
    const QPointF at = window.stereogram()->toScreen(three->px, three->py);
    QTest::mouseClick(window.stereogram(), Qt::LeftButton, {}, at.toPoint());
    QCOMPARE(window.pattern().rotationOrder, 6);
    QVERIFY(AngleBetweenAxes(window.pattern().frame.beam, three->axis.direction) < 1e-6);
  }

  void fitsTheExampleImageAndRefusesAnotherZone() {
    ZoneWindow window(AppPaths(folder_->path()));
    window.setInputs(FiveFold(), std::nullopt, "");
    window.findChild<QDoubleSpinBox*>(QStringLiteral("zoneGMax"))->setValue(0.9);
    window.show();
    QVERIFY(window.openImage(QStringLiteral(LUMORA_SOURCE_DIR "/docs/examples/synthetic_fivefold.png")));
    window.fit();
    window.waitForIdle();
    QVERIFY(window.fitResult());
    const ZoneFit& fit = *window.fitResult();
    // make_zone_example.py drew it at K = 400 px A, 14 degrees, centre (391.4, 377.8).
    QVERIFY(fit.reliable);
    QVERIFY(std::fabs(fit.k - 400.0) < 1.2);
    QVERIFY(std::fabs(std::fmod(fit.rotation - 14.0 + 36.0 * 11 + 18.0, 36.0) - 18.0) < 0.3);
    QVERIFY(std::hypot(fit.cx - 391.4, fit.cy - 377.8) < 1.0);
    QCOMPARE(window.findChild<QTableWidget*>(QStringLiteral("zoneIndexedTable"))->rowCount(), static_cast<int>(fit.indexed.size()));
    QCOMPARE(window.imageView()->placement().k, fit.k);
    if (!qEnvironmentVariableIsEmpty("LUMORA_ZONE_SHOT")) window.grab().save(qEnvironmentVariable("LUMORA_ZONE_SHOT"));

    window.findChild<QComboBox*>(QStringLiteral("zoneAxis"))->setCurrentText(QStringLiteral("3"));
    window.fit();
    window.waitForIdle();
    QVERIFY(!window.fitResult()->reliable);
    QVERIFY(window.findChild<QLabel*>(QStringLiteral("zoneVerdict"))->text().contains(QStringLiteral("No reliable solution")));
  }

  void savesThePictureAndSpots() {
    ZoneWindow window(AppPaths(folder_->path()));
    window.setInputs(FiveFold(), std::nullopt, "");
    const QString svg = folder_->filePath(QStringLiteral("zone.svg")), csv = folder_->filePath(QStringLiteral("zone.csv"));
    QStringList answers{svg, csv};
    Dialogs().saveFileName = [&answers](QWidget*, const QString&, const QString&, const QString&) { return answers.takeFirst(); };
    const QList<QAction*> actions = window.menuBar()->actions().first()->menu()->actions();
    actions[1]->trigger();
    actions[2]->trigger();
    QFile picture(svg), table(csv);
    QVERIFY(picture.open(QIODevice::ReadOnly) && picture.readAll().contains("<svg"));
    QVERIFY(table.open(QIODevice::ReadOnly));
    const QList<QByteArray> lines = table.readAll().split('\n');
    QVERIFY(lines.first().startsWith("h1,h2,h3,h4,h5,h6,x,y,excitation_error,laue_zone,intensity"));
    QCOMPARE(lines.size() - 2, static_cast<int>(window.pattern().spots.size()));
  }
};

QTEST_MAIN(ZoneWindowTest)
#include "zone_window_test.moc"
