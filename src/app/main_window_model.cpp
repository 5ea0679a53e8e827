// The main window's Model menu: no model, a built-in one or a model file,
// remembered in a file of its own beside Lumora.cfg.
#include "app/main_window.hpp"

#include <QAction>
#include <QActionGroup>
#include <QFileInfo>
#include <QApplication>
#include <QClipboard>
#include <QCloseEvent>
#include <QDir>
#include <QFile>
#include <QGroupBox>
#include <QHBoxLayout>
#include <QLabel>
#include <QLineEdit>
#include <QMenuBar>
#include <QProgressBar>
#include <QShortcut>
#include <QSplitter>
#include <QThread>
#include <QStackedWidget>
#include <QStatusBar>
#include <QStyle>
#include <QToolBar>
#include <QTimer>
#include <QToolButton>
#include <functional>
#include <QUrl>
#include <QVBoxLayout>
#include <cmath>
#include <cstdio>
#include <variant>
#include "ui/dialogs.hpp"
#include "app/parameter_panel.hpp"
#include "ui/window_preferences.hpp"
#include "common/file_io.hpp"
#include "common/number_text.hpp"
#include "common/text.hpp"
#include "intensity/model_file.hpp"
#include "common/text.hpp"
#include "plots/plot_controller.hpp"
#include "plots/plot_output.hpp"
#include "report/reflection_table_pane.hpp"
#include "report/report_lines.hpp"

namespace lumora {
namespace {

QString Q(const std::string& s) { return QString::fromStdString(s); }

}  // namespace

void MainWindow::buildModelMenu() {
  QMenu* menu = menuBar()->addMenu(QStringLiteral("&Model"));
  menu->setObjectName(QStringLiteral("mnuModel"));
  auto* group = new QActionGroup(this);
  group->setExclusive(true);
  auto choice = [&](const char* name, const QString& text, const QString& source) {
    QAction* action = makeAction(name, text);
    action->setCheckable(true);
    action->setData(source);
    group->addAction(action);
    menu->addAction(action);
    connect(action, &QAction::triggered, this, [this, source] {
      chooseModel(source);
      syncModelMenu();
    });
  };
  choice("mnuModelNone", QStringLiteral("None"), QString());
  menu->addSeparator();
  for (const std::string& name : BuiltinModelNames()) {
    const std::optional<StructureModel> model = BuiltinModel(name);
    const QString text = QStringLiteral("%1 (%2)").arg(Q(name), Q(std::string(SystemName(model->system))));
    choice(("mnuModel_" + name).c_str(), text, Q(name));
  }
  menu->addSeparator();
  QAction* fromFile = makeAction("mnuModelFile", QStringLiteral("Model File ..."));
  fromFile->setCheckable(true);
  group->addAction(fromFile);
  menu->addAction(fromFile);
  connect(fromFile, &QAction::triggered, this, &MainWindow::openModelFile);
  connect(menu->addAction(QStringLiteral("Save Model As ...")), &QAction::triggered, this, &MainWindow::saveModel);
  menu->actions().last()->setObjectName(QStringLiteral("mnuModelSave"));
  menu->addSeparator();
  buildRadiationMenu(menu);
}

void MainWindow::syncModelMenu() {
  const bool file = model_ && !BuiltinModel(modelSource_.toStdString());
  for (QAction* action : findChild<QMenu*>(QStringLiteral("mnuModel"))->actions()) {
    if (!action->isCheckable()) continue;
    if (action->objectName() == QLatin1String("mnuModelFile")) {
      action->setChecked(file);
      action->setText(file ? QStringLiteral("Model File: %1").arg(QFileInfo(modelSource_).fileName())
                           : QStringLiteral("Model File ..."));
    } else {
      action->setChecked(!file && action->data().toString().compare(modelSource_, Qt::CaseInsensitive) == 0);
    }
  }
  findChild<QAction*>(QStringLiteral("mnuModelSave"))->setEnabled(model_.has_value());
}

bool MainWindow::chooseModel(const QString& nameOrPath) {
  if (nameOrPath.isEmpty()) {
    model_.reset();
    modelSource_.clear();
  } else {
    auto found = FindModel(nameOrPath.toStdString());
    if (const std::string* problem = std::get_if<std::string>(&found)) {
      // A junk LumoraModel.cfg must not give a box taller than the screen.
      Dialogs().warning(this, QStringLiteral("The structure model %1 cannot be used: %2")
                                  .arg(Q(EchoText(nameOrPath.toStdString())), Q(EchoText(*problem, 256))));
      return false;
    }
    model_ = std::get<StructureModel>(std::move(found));
    modelSource_ = nameOrPath;
  }
  // Remembered in a file of its own; a failure only costs the choice at the next start.
  WriteFileAtomically(paths_.modelSettingsFile().toStdString(), (modelSource_.toStdString() + "\n"));
  return true;
}

void MainWindow::openModelFile() {
  const QString path = Dialogs().openFileName(this, QStringLiteral("Structure Model"),
                                              LastDialogFolder(paths_.dataFolder()),
                                              QStringLiteral("Lumora models (*.qcm *.txt);;All files (*)"));
  RememberDialogFolder(path);
  if (!path.isEmpty()) chooseModel(path);
  syncModelMenu();
}

void MainWindow::saveModel() {
  if (!model_) return;
  const QString proposed = InLastDialogFolder(paths_.dataFolder(),
                                              Q(model_->name.empty() ? "model" : model_->name) + QStringLiteral(".qcm"));
  const QString path = Dialogs().saveFileName(this, QStringLiteral("Save Model"), proposed,
                                              QStringLiteral("Lumora models (*.qcm)"));
  if (path.isEmpty()) return;
  RememberDialogFolder(path);
  const WriteOutcome outcome = SaveModel(path.toStdString(), *model_);
  if (!outcome.ok) Dialogs().warning(this, QStringLiteral("The model was not saved: %1").arg(Q(outcome.error)));
}

}  // namespace lumora
