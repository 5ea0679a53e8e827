// The window fields the named inputs name exist in the windows, and a bad
// powder field is refused in the named input's words.
#include <QLineEdit>
#include <QPushButton>
#include <QtTest>
#include <memory>
#include <string>

#include "app/main_window.hpp"
#include "inputs/named_inputs.hpp"
#include "powder/powder_window.hpp"
#include "test_sandbox.hpp"
#include "tiling/tiling_window.hpp"
#include "zone/zone_window.hpp"

using namespace lumora;

class NamedFieldsTest : public QObject {
  Q_OBJECT

 private:
  std::unique_ptr<QTemporaryDir> folder_;
  QStringList messages_;

  static QString Q(std::string_view s) { return QString::fromUtf8(s.data(), static_cast<qsizetype>(s.size())); }

 private slots:
  void init() {
    folder_ = testing::MakeScratchFolder();
    testing::RecordMessages(messages_);
  }

  void everyNamedFieldIsInAWindow() {
    MainWindow main(AppPaths(folder_->path()));
    PowderWindow powder(AppPaths(folder_->path()));
    TilingWindow tiling(AppPaths(folder_->path()));
    ZoneWindow zone(AppPaths(folder_->path()));
    const QList<QObject*> windows = {&main, &powder, &tiling, &zone};
    int found = 0;
    for (const NamedInput* in : input::kAll) {
      if (in->field.empty()) continue;
      // The loop limits are the fields tfH0 .. tfH5.
      const QString name = Q(in->field) + (in == &input::kLoops ? QStringLiteral("0") : QString());
      qsizetype holders = 0;
      for (QObject* window : windows) holders += window->findChildren<QWidget*>(name).size();
      QVERIFY2(holders == 1, qPrintable(name + QStringLiteral(" is in %1 windows' fields").arg(holders)));
      ++found;
    }
    QVERIFY(found >= 38);
  }

  void aBadPowderFieldIsNamedByItsLabel() {
    MainWindow main(AppPaths(folder_->path()));
    main.show();
    main.executeCalculation();
    main.waitForRun();
    main.findChild<QAction*>(QStringLiteral("mnuView12"))->trigger();
    PowderWindow* powder = nullptr;
    for (QWidget* top : QApplication::topLevelWidgets())
      if (auto* candidate = qobject_cast<PowderWindow*>(top)) powder = candidate;
    QVERIFY(powder);
    powder->waitForIdle();
    powder->findChild<QLineEdit*>(Q(input::kEta.field))->setText(QStringLiteral("half"));
    powder->findChild<QPushButton*>(QStringLiteral("btCalculate"))->click();
    QCOMPARE(messages_, QStringList{Q(input::kEta.label) + QStringLiteral(": \"half\" is not a number.")});
  }
};

QTEST_MAIN(NamedFieldsTest)
#include "named_fields_test.moc"
