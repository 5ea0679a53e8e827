// The main window's table actions (save, copy, the editor, find), the used
// matrices and the toolbar's choice of what to save, copy or print.
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
#include "ui/text_viewer.hpp"
#include "app/parameter_panel.hpp"
#include "ui/window_preferences.hpp"
#include "common/file_io.hpp"
#include "common/number_text.hpp"
#include "common/text.hpp"
#include "common/text.hpp"
#include "lattice/matrix_text.hpp"
#include "app/used_matrices_dialog.hpp"
#include "plots/plot_controller.hpp"
#include "plots/plot_output.hpp"
#include "plots/print_scene.hpp"
#include "report/reflection_table_pane.hpp"
#include "report/report_lines.hpp"
#include "report/table_export.hpp"
#include "report/table_order.hpp"

namespace lumora {
namespace {

QString Q(const std::string& s) { return QString::fromStdString(s); }

}  // namespace

ReportContext MainWindow::reportContext() const {
  ReportContext context;
  context.summary = runSummary_;
  context.nDim = result_ ? result_->lattice.nDim : 5;
  context.steurer = runSteurer_;
  auto checked = [this](const char* name) { return findChild<QAction*>(QString::fromLatin1(name))->isChecked(); };
  context.columns = {checked("mnuTable2"), checked("mnuTable3"), checked("mnuTable4"), checked("mnuTable5"),
                     checked("mnuTable1")};
  context.columns.intensity = checked("mnuTable7");
  if (intensities_) {
    context.intensities = std::shared_ptr<const std::vector<double>>(intensities_, &intensities_->intensity);
    context.model = intensities_->model;
  }
  return context;
}

void MainWindow::refreshTable() {
  if (!calculated_ || !result_) return;
  // The table shows the rows the plots show, in the chosen order; saved
  // reports keep every row in run order.
  ReportContext context = reportContext();
  const std::size_t total = result_->records.size();
  context.shownRows = TableRows(result_->records, intensities_ ? &intensities_->intensity : nullptr, tableSort_,
                                plots_->options().minIntensity);
  table_->showRun(result_, context);
  const std::size_t shown = context.shownRows ? context.shownRows->size() : total;
  statusPanels_[0]->setText(shown == total ? QStringLiteral("%1 reflections").arg(total)
                                           : QStringLiteral("%1 of %2 shown").arg(shown).arg(total));
}

void MainWindow::sortTable(TableSort key) {
  tableSort_ = key;
  refreshTable();
}

bool MainWindow::writeTemporaryReport() {
  const WriteOutcome outcome = WriteReport(temporaryReportPath().toStdString(), result_->records, reportContext());
  if (!outcome.ok) Dialogs().warning(this, QStringLiteral("The report for the editor was not written: %1").arg(Q(outcome.error)));
  return outcome.ok;
}

bool MainWindow::requireData() {
  if (calculated_) return true;
  Dialogs().message(this, QStringLiteral("no data"));
  return false;
}

void MainWindow::saveTable() {
  if (!requireData()) return;
  const QString proposed = InLastDialogFolder(paths_.dataFolder(), QStringLiteral("lumora.hkl"));
  const QString path =
      Dialogs().saveFileName(this, QStringLiteral("Save Table"), proposed, QStringLiteral("Lumora data (*.hkl)"));
  if (path.isEmpty()) return;
  RememberDialogFolder(path);
  const WriteOutcome outcome = WriteReport(path.toStdString(), result_->records, reportContext());
  if (!outcome.ok) Dialogs().warning(this, QStringLiteral("The table was not saved: %1").arg(Q(outcome.error)));
}

void MainWindow::copyTable() {
  if (!requireData()) return;
  const ReportContext context = reportContext();
  const std::string text = ClipboardTableText(result_->records, context.nDim, context.columns,
                                              intensities_ ? &intensities_->intensity : nullptr);
  // The copy is also left in the temporary folder, as "copy.hkl".
  WriteFileAtomically(AppPaths::tempFile(QStringLiteral("copy.hkl")).toStdString(), text);
  QApplication::clipboard()->setText(Q(text));
}

void MainWindow::viewInEditor() {
  if (!calculated_) return;
  // The report is written for the editor when it is asked for, not after
  // every run: a large run's report runs to hundreds of megabytes.
  if (!writeTemporaryReport()) return;
  // Without a text editor on the desktop the report opens in the program's own viewer.
  if (OpenInTextEditor(this, temporaryReportPath()))
    statusPanels_[3]->setText(QStringLiteral("no text editor found: the report is shown in Lumora's viewer"));
}

void MainWindow::findReflection() {
  if (table_->findNext(panel_->findText())) statusPanels_[3]->clear();
  else statusPanels_[3]->setText(QStringLiteral("not found"));
}

// ---- View and Help ----------------------------------------------------------------

void MainWindow::showUsedMatrices() {
  // Decimal commas are read as a run reads them; the values leniently, as
  // the window always did.
  panel_->normaliseDecimalCommas();
  const ParameterTexts texts = panel_->texts();
  const CrystalSystem system = SystemFromIndex(texts.systemIndex);
  const double a = Val(texts.a);
  const double c = Val(texts.c);
  const bool axial = system != CrystalSystem::Icosahedral;
  if (!std::isfinite(a) || a == 0.0 || (axial && (!std::isfinite(c) || c == 0.0))) {
    const bool badA = !std::isfinite(a) || a == 0.0;
    Dialogs().warning(this, QStringLiteral("%1: \"%2\" cannot be used as a lattice constant")
                                .arg(badA ? QStringLiteral("a") : QStringLiteral("c"), Q(badA ? texts.a : texts.c)));
    return;
  }
  const Lattice lattice = SetupLattice(system, a, axial ? c : 1.0, texts.yamamoto);
  UsedMatricesDialog dialog(this);
  dialog.setText(Q(MatrixText(lattice.directMatrix, lattice.nDim, lattice.nDim)), 1);
  dialog.setText(Q(MatrixText(lattice.inverseMatrix, lattice.nDim, lattice.nDim)), 2);
  dialog.exec();
}

void MainWindow::chooseOutput(const char* button, const QString& caption) {
  auto* toolbar = findChild<QToolBar*>(QStringLiteral("Toolbar1"));
  QWidget* anchor = toolbar->widgetForAction(findChild<QAction*>(QString::fromLatin1(button)));
  const QPoint below = anchor ? anchor->mapToGlobal(QPoint(0, anchor->height() + 20)) : mapToGlobal(QPoint(0, 0));
  const int choice = Dialogs().chooseOutput(this, caption, below);
  if (choice == 0) return;
  const int code = choice == 1 ? k2DPlot : k3DPlot;
  if (caption == QLatin1String("Save")) {
    if (choice == 3) saveTable();
    else outputs_->saveBitmap(code);
  } else if (caption == QLatin1String("Copy")) {
    if (choice == 3) copyTable();
    else outputs_->copyMetafile(code);
  } else {
    if (choice == 3) outputs_->printTable();
    else outputs_->printPlot(code);
  }
}

}  // namespace lumora
