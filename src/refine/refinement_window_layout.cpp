// The Structure Refinement window's widgets and menus.
#include <QAction>
#include <QCheckBox>
#include <QComboBox>
#include <QFormLayout>
#include <QGroupBox>
#include <QHBoxLayout>
#include <QLabel>
#include <QLineEdit>
#include <QMenuBar>
#include <QPlainTextEdit>
#include <QProgressBar>
#include <QPushButton>
#include <QSpinBox>
#include <QSplitter>
#include <QStatusBar>
#include <QTabWidget>
#include <QVBoxLayout>

#include "common/text.hpp"
#include "inputs/input_reading.hpp"
#include "intensity/model_file.hpp"
#include "powder/measured_formats.hpp"
#include "powder/powder_plot_widget.hpp"
#include "refine/parameter_table_panel.hpp"
#include "refine/refinement_views.hpp"
#include "refine/refinement_window.hpp"
#include "ui/dialogs.hpp"

namespace lumora {
namespace {

QString Q(std::string_view s) { return QString::fromUtf8(s.data(), static_cast<qsizetype>(s.size())); }

QSpinBox* MakeSpin(const NamedInput& input, const QString& tip) {
  auto* spin = new QSpinBox;
  spin->setObjectName(Q(input.field));
  spin->setRange(static_cast<int>(input.range.low), static_cast<int>(input.range.high));
  spin->setValue(static_cast<int>(DefaultNumber(input)));
  spin->setToolTip(tip);
  return spin;
}

}  // namespace

void RefinementWindow::buildControls() {
  using namespace input;
  auto* controls = new QWidget;
  auto* column = new QVBoxLayout(controls);
  auto* dataBox = new QGroupBox(QStringLiteral("Model and data"));
  auto* dataForm = new QFormLayout(dataBox);
  cmbModel_ = new QComboBox;
  cmbModel_->setObjectName(QStringLiteral("cmbRefineModel"));
  cmbModel_->addItem(QStringLiteral("(choose)"));
  for (const std::string& name : BuiltinModelNames()) cmbModel_->addItem(Q(name));
  connect(cmbModel_, &QComboBox::activated, this, [this](int index) {
    if (index > 0) openModel(cmbModel_->itemText(index));
  });
  dataForm->addRow(QStringLiteral("Model"), cmbModel_);
  lblData_ = new QLabel(QStringLiteral("File \u2192 Open Reflections or Open Measured Pattern"));
  lblData_->setObjectName(QStringLiteral("lblRefineData"));
  lblData_->setWordWrap(true);
  dataForm->addRow(QStringLiteral("Data"), lblData_);
  column->addWidget(dataBox);

  panel_ = new ParameterTablePanel;
  column->addWidget(panel_, 1);

  auto* optionsBox = new QGroupBox(QStringLiteral("Refinement"));
  auto* form = new QFormLayout(optionsBox);
  tfWeight_ = new QLineEdit(Q(kWeight.defaultText));
  tfWeight_->setObjectName(Q(kWeight.field));
  tfWeight_->setToolTip(QStringLiteral("a,b of w = 1/(\u03c3\u00b2 + (aP)\u00b2 + bP), P = (max(Io,0) + 2Ic)/3; 0,0: w = 1/\u03c3\u00b2"));
  form->addRow(Q(kWeight.label), tfWeight_);
  chkMerge_ = new QCheckBox(QStringLiteral("Merge equivalents (Laue class)"));
  chkMerge_->setObjectName(QStringLiteral("chkMerge"));
  chkMerge_->setChecked(true);
  form->addRow(chkMerge_);
  spSearch_ = MakeSpin(kSearch, QStringLiteral("Descents from further starts spread over the parameters' ranges"));
  form->addRow(Q(kSearch.label), spSearch_);
  spIterations_ = MakeSpin(kMaxIterations, QStringLiteral("Iterations of each descent at most"));
  form->addRow(Q(kMaxIterations.label), spIterations_);
  spBackground_ = MakeSpin(kBackgroundTerms, QStringLiteral("Chebyshev terms of a powder pattern's background"));
  connect(spBackground_, &QSpinBox::valueChanged, this, [this] { resetTable(); });
  form->addRow(Q(kBackgroundTerms.label), spBackground_);
  chkDoublet_ = new QCheckBox(QStringLiteral("K\u03b11/K\u03b12 doublet (powder)"));
  chkDoublet_->setObjectName(QStringLiteral("chkFitDoublet"));
  form->addRow(chkDoublet_);
  column->addWidget(optionsBox);

  auto* buttons = new QHBoxLayout;
  btRefine_ = new QPushButton(QStringLiteral("Refine"));
  btRefine_->setObjectName(QStringLiteral("btRefine"));
  connect(btRefine_, &QPushButton::clicked, this, [this] { refine(); });
  btCancel_ = new QPushButton(QStringLiteral("Cancel"));
  btCancel_->setObjectName(QStringLiteral("btCancelRefine"));
  btCancel_->setEnabled(false);
  connect(btCancel_, &QPushButton::clicked, this, &RefinementWindow::cancel);
  btUseResult_ = new QPushButton(QStringLiteral("Use Refined Values"));
  btUseResult_->setObjectName(QStringLiteral("btUseResult"));
  btUseResult_->setToolTip(QStringLiteral("The refined values become the start values of the next refinement"));
  btUseResult_->setEnabled(false);
  connect(btUseResult_, &QPushButton::clicked, this, &RefinementWindow::useResult);
  buttons->addWidget(btRefine_);
  buttons->addWidget(btCancel_);
  buttons->addWidget(btUseResult_);
  column->addLayout(buttons);
  pbRefine_ = new QProgressBar;
  pbRefine_->setObjectName(QStringLiteral("pbRefine"));
  pbRefine_->setRange(0, 1);
  pbRefine_->setValue(0);
  pbRefine_->setTextVisible(false);
  pbRefine_->hide();  // shown while a refinement runs
  column->addWidget(pbRefine_);
  lblVerdict_ = new QLabel(QStringLiteral("Not refined yet."));
  lblVerdict_->setObjectName(QStringLiteral("lblVerdict"));
  lblVerdict_->setWordWrap(true);
  lblVerdict_->setTextInteractionFlags(Qt::TextSelectableByMouse);
  column->addWidget(lblVerdict_);

  tabs_ = new QTabWidget;
  tabs_->setObjectName(QStringLiteral("tabsRefine"));
  txtReport_ = new QPlainTextEdit;
  txtReport_->setObjectName(QStringLiteral("txtRefineReport"));
  txtReport_->setReadOnly(true);
  txtReport_->setLineWrapMode(QPlainTextEdit::NoWrap);
  txtReport_->setFont(QFont(QStringLiteral("DejaVu Sans Mono"), 9));
  tabs_->addTab(txtReport_, QStringLiteral("Statistics"));
  fobs_ = new FobsFcalcView;
  tabs_->addTab(fobs_, QStringLiteral("F obs \u2013 F calc"));
  patternPlot_ = new PowderPlotWidget;
  patternPlot_->setObjectName(QStringLiteral("pbFittedPattern"));
  tabs_->addTab(patternPlot_, QStringLiteral("Pattern"));
  auto* mapPage = new QWidget;
  auto* mapColumn = new QVBoxLayout(mapPage);
  auto* mapRow = new QHBoxLayout;
  cmbMapSite_ = new QComboBox;
  cmbMapSite_->setObjectName(QStringLiteral("cmbMapSite"));
  cmbMapSource_ = new QComboBox;
  cmbMapSource_->setObjectName(QStringLiteral("cmbMapSource"));
  for (const std::string& word : SplitWords(kMapSource.choices)) cmbMapSource_->addItem(Q(word));
  mapRow->addWidget(new QLabel(QStringLiteral("Site")));
  mapRow->addWidget(cmbMapSite_);
  mapRow->addWidget(new QLabel(QStringLiteral("Density")));
  mapRow->addWidget(cmbMapSource_);
  mapRow->addStretch();
  mapColumn->addLayout(mapRow);
  mapView_ = new InternalMapView;
  mapColumn->addWidget(mapView_, 1);
  tabs_->addTab(mapPage, QStringLiteral("Internal-space map"));
  connect(cmbMapSite_, &QComboBox::currentIndexChanged, this, [this] { updateMap(); });
  connect(cmbMapSource_, &QComboBox::currentIndexChanged, this, [this] { updateMap(); });

  auto* splitter = new QSplitter;
  splitter->addWidget(controls);
  splitter->addWidget(tabs_);
  splitter->setStretchFactor(1, 1);
  splitter->setSizes({500, 800});  // room for the table's value and su
  setCentralWidget(splitter);
  lblStatus_ = new QLabel;
  lblStatus_->setObjectName(QStringLiteral("lblRefineStatus"));
  statusBar()->addWidget(lblStatus_, 1);
}

void RefinementWindow::buildMenus() {
  QMenu* file = menuBar()->addMenu(QStringLiteral("&File"));
  auto add = [&](const char* name, const QString& text, auto slot, bool result) {
    QAction* action = file->addAction(text);
    action->setObjectName(QString::fromLatin1(name));
    connect(action, &QAction::triggered, this, slot);
    if (result) {
      action->setEnabled(false);
      resultActions_.push_back(action);
    }
    return action;
  };
  const QString models = QStringLiteral("Model files (*.txt *.model);;All files (*)");
  add("mnuRefineOpenModel", QStringLiteral("Open Model..."), [this, models] {
    const QString path = Dialogs().openFileName(this, QStringLiteral("Open Model"), paths_.exportFolder(), models);
    if (!path.isEmpty()) openModel(path);
  }, false);
  add("mnuRefineOpenReflections", QStringLiteral("Open Reflections..."), [this] {
    const QString path = Dialogs().openFileName(this, QStringLiteral("Open Reflections"), paths_.exportFolder(),
                                                QStringLiteral("Reflections (*.hkl *.txt *.cif);;All files (*)"));
    if (!path.isEmpty()) openReflections(path);
  }, false);
  add("mnuRefineOpenPattern", QStringLiteral("Open Measured Pattern..."), [this] {
    const QString path = Dialogs().openFileName(this, QStringLiteral("Open Measured Pattern"), paths_.exportFolder(),
                                                QString::fromStdString(MeasuredFileFilter()));
    if (!path.isEmpty()) openPattern(path);
  }, false);
  file->addSeparator();
  add("mnuRefineSaveModel", QStringLiteral("Save Refined Model..."), &RefinementWindow::saveModel, true);
  add("mnuRefineSaveReport", QStringLiteral("Save Report..."), &RefinementWindow::saveReport, true);
  add("mnuRefineSaveCif", QStringLiteral("Save CIF..."), &RefinementWindow::saveCif, true);
  add("mnuRefineSavePicture", QStringLiteral("Save Picture..."), &RefinementWindow::savePicture, true);
  file->addSeparator();
  add("mnuRefineClose", QStringLiteral("Close"), &QWidget::close, false);
}

}  // namespace lumora
