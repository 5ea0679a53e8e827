#include "app/parameter_panel.hpp"

#include <QCheckBox>
#include <QComboBox>
#include <QGridLayout>
#include <QGroupBox>
#include <QHBoxLayout>
#include <QLabel>
#include <QLineEdit>
#include <QMouseEvent>
#include <QPushButton>
#include <QRadioButton>
#include <QStackedWidget>
#include <QVBoxLayout>

#include <initializer_list>

#include "ui/up_down_buttons.hpp"

namespace lumora {
namespace {

QString Q(std::string_view s) { return QString::fromUtf8(s.data(), static_cast<qsizetype>(s.size())); }

QLineEdit* MakeField(QWidget* parent, std::string_view name, std::string_view text, const char* tip) {
  auto* field = new QLineEdit(Q(text), parent);
  field->setObjectName(Q(name));
  field->setToolTip(QString::fromLatin1(tip));
  return field;
}

// The field of a named input, holding its default.
QLineEdit* MakeField(QWidget* parent, const NamedInput& input, const char* tip) {
  return MakeField(parent, input.field, input.defaultText, tip);
}

QLabel* MakeLabel(QWidget* parent, const QString& text, const QString& name = QString()) {
  auto* label = new QLabel(text, parent);
  if (!name.isEmpty()) label->setObjectName(name);
  return label;
}

std::string S(const QString& s) { return s.toStdString(); }

}  // namespace

ParameterPanel::ParameterPanel(QWidget* parent) : QWidget(parent) {
  setObjectName(QStringLiteral("frRight"));
  auto* layout = new QVBoxLayout(this);
  layout->setContentsMargins(4, 0, 4, 2);
  layout->setSpacing(4);

  auto* systemFrame = new QGroupBox(QStringLiteral("Reflection Generator"), this);
  systemFrame->setObjectName(QStringLiteral("frSystem"));
  auto* systemLayout = new QVBoxLayout(systemFrame);
  cmbSystem_ = new QComboBox(systemFrame);
  cmbSystem_->setObjectName(Q(input::kSystem.field));
  for (int i = 0; i < 4; ++i) cmbSystem_->addItem(QString::fromLatin1(SystemName(SystemFromIndex(i)).data()));
  systemLayout->addWidget(cmbSystem_);
  layout->addWidget(systemFrame);

  auto* groupFrame = new QGroupBox(QStringLiteral("Space Group"), this);
  groupFrame->setObjectName(QStringLiteral("frSpaceGroup"));
  auto* groupLayout = new QVBoxLayout(groupFrame);
  groupLists_ = new QStackedWidget(groupFrame);
  const char* listNames[] = {"cmbSG8", "cmbSG10", "cmbSG12", "cmbSG20"};
  for (int i = 0; i < 4; ++i) {
    auto* list = new QComboBox(groupLists_);
    list->setObjectName(QString::fromLatin1(listNames[i]));
    for (const SpaceGroup& group : GroupsOf(SystemFromIndex(i))) list->addItem(Q(group.symbol));
    cmbSG_[static_cast<std::size_t>(i)] = list;
    groupLists_->addWidget(list);
  }
  groupLayout->addWidget(groupLists_);
  layout->addWidget(groupFrame);

  layout->addWidget(buildLatticeInputs());
  layout->addWidget(buildLoopLimits());

  auto* settingFrame = new QGroupBox(QStringLiteral("Lattice Matrix Type"), this);
  settingFrame->setObjectName(QStringLiteral("frSetting"));
  auto* settingLayout = new QHBoxLayout(settingFrame);
  rbSteurer_ = new QRadioButton(QStringLiteral("Steurer"), settingFrame);
  rbSteurer_->setObjectName(QStringLiteral("rbSteurer"));
  rbYamamoto_ = new QRadioButton(QStringLiteral("Yamamoto"), settingFrame);
  rbYamamoto_->setObjectName(QStringLiteral("rbYamamoto"));
  rbYamamoto_->setChecked(true);
  settingLayout->addWidget(rbSteurer_);
  settingLayout->addWidget(rbYamamoto_);
  layout->addWidget(settingFrame);

  layout->addWidget(buildRotation());
  layout->addStretch(1);
  layout->addWidget(buildSearch());

  connect(cmbSystem_, qOverload<int>(&QComboBox::activated), this, &ParameterPanel::chooseSystem);
  // However the system changes, the group list shown is that system's, so the
  // group read with it always exists.
  connect(cmbSystem_, qOverload<int>(&QComboBox::currentIndexChanged), groupLists_, &QStackedWidget::setCurrentIndex);
  // Enter in any field of the calculation starts it.
  for (QLineEdit* input : {tfA_, tfC_, tfWL_, tfQI_, tfTH1_, tfTH2_})
    connect(input, &QLineEdit::returnPressed, this, &ParameterPanel::runRequested);
  for (QLineEdit* input : tfH_) connect(input, &QLineEdit::returnPressed, this, &ParameterPanel::runRequested);
  connect(cmbAnode_, qOverload<int>(&QComboBox::activated), this, &ParameterPanel::chooseAnode);

  // The start-up state: "Mo", then "Decagonal" as a click, then "P10.5/mmc".
  for (int i = 0; i < kAnodeCount; ++i) cmbAnode_->addItem(QString::fromLatin1(AnodeSymbol(i).data()));
  chooseAnode(0);
  chooseSystem(1);
  cmbSG_[1]->setCurrentIndex(kStartGroupIndex);
}

QWidget* ParameterPanel::buildLatticeInputs() {
  auto* box = new QWidget(this);
  auto* grid = new QGridLayout(box);
  grid->setContentsMargins(0, 0, 0, 0);
  grid->setHorizontalSpacing(4);
  auto row = [&](int r, const QString& caption, const QString& name, std::initializer_list<QWidget*> widgets) {
    grid->addWidget(MakeLabel(box, caption, name), r, 0);
    auto* line = new QHBoxLayout;
    line->setSpacing(4);
    for (QWidget* w : widgets) line->addWidget(w, qobject_cast<QLineEdit*>(w) ? 1 : 0);
    grid->addLayout(line, r, 1);
  };
  tfA_ = MakeField(box, input::kLatticeA, "lattice constant a");
  tfC_ = MakeField(box, input::kLatticeC, "lattice constant c");
  labelC_ = MakeLabel(box, QStringLiteral("c ="), QStringLiteral("lbC"));
  row(0, QStringLiteral("a = "), QStringLiteral("lbA"), {tfA_, labelC_, tfC_});

  tfWL_ = MakeField(box, input::kWavelength, "X-ray wavelength");
  cmbAnode_ = new QComboBox(box);
  cmbAnode_->setObjectName(Q(input::kAnode.field));
  cmbAnode_->setToolTip(QStringLiteral("X-ray anode"));
  row(1, QStringLiteral("Wavelength"), QStringLiteral("lbWL"), {tfWL_, cmbAnode_});

  tfQI_ = MakeField(box, input::kQiMax, "maximum internal component");
  row(2, QStringLiteral("qi-Max"), QStringLiteral("lbQI"), {tfQI_});

  tfTH1_ = MakeField(box, input::kThetaMin, "minimum theta (degree)");
  tfTH2_ = MakeField(box, input::kThetaMax, "maximum theta (degree)");
  row(3, QStringLiteral("Theta Range"), QStringLiteral("lbTH"), {tfTH1_, tfTH2_});
  grid->setColumnStretch(1, 1);
  return box;
}

QWidget* ParameterPanel::buildLoopLimits() {
  auto* frame = new QGroupBox(QStringLiteral("Loop Limits"), this);
  frame->setObjectName(QStringLiteral("frLoops"));
  auto* grid = new QGridLayout(frame);
  grid->setHorizontalSpacing(0);
  grid->setVerticalSpacing(1);
  // The caption spaces its heads six characters apart; spacing its letters so
  // that six characters span one field keeps every head over its field.
  constexpr int pitch = 40;
  auto* lhkl = MakeLabel(frame, QStringLiteral("h1    h2    h3    h4   h5  "), QStringLiteral("Lhkl"));
  QFont heads = lhkl->font();
  const double sixCharacters = QFontMetricsF(heads).horizontalAdvance(QStringLiteral("h1    "));
  heads.setLetterSpacing(QFont::AbsoluteSpacing, (pitch - sixCharacters) / 6.0);
  lhkl->setFont(heads);
  lhkl->setContentsMargins(2, 0, 0, 0);
  grid->addWidget(lhkl, 0, 0, 1, 5);
  lhkl2_ = MakeLabel(frame, QStringLiteral("h6"), QStringLiteral("Lhkl2"));
  lhkl2_->setContentsMargins(2, 0, 0, 0);
  grid->addWidget(lhkl2_, 0, 5);
  for (int k = 0; k < 6; ++k) {
    auto* cell = new QWidget(frame);
    cell->setFixedWidth(pitch);
    auto* cellLayout = new QHBoxLayout(cell);
    cellLayout->setContentsMargins(0, 0, 2, 0);
    cellLayout->setSpacing(0);
    auto* field = MakeField(cell, input::kLoops, "");
    field->setObjectName(Q(input::kLoops.field) + QString::number(k));
    field->setAlignment(Qt::AlignRight);
    auto* arrows = new UpDownButtons(cell);
    arrows->setObjectName(QStringLiteral("up%1").arg(k + 1));
    connect(arrows, &UpDownButtons::stepped, this, [field](bool up) {
      field->setText(Q(StepLoopLimit(S(field->text()), up)));
    });
    cellLayout->addWidget(field, 1);
    cellLayout->addWidget(arrows);
    grid->addWidget(cell, 1, k);
    tfH_[static_cast<std::size_t>(k)] = field;
    up_[static_cast<std::size_t>(k)] = arrows;
  }
  // Complete loops: the smallest box that holds every reflection of the theta range and qi-max.
  chkComplete_ = new QCheckBox(QString::fromUtf8(input::kCompleteLoops.label.data(), static_cast<int>(input::kCompleteLoops.label.size())), frame);
  chkComplete_->setObjectName(Q(input::kCompleteLoops.field));
  chkComplete_->setToolTip(QStringLiteral("Take every reflection of the theta range and qi-max, whatever the loop limits"));
  connect(chkComplete_, &QCheckBox::toggled, this, [this](bool on) {
    for (QLineEdit* field : tfH_) field->setEnabled(!on);
    for (auto* arrows : up_) arrows->setEnabled(!on);
  });
  // A row of its own: beside six fields it would be cut off by the panel's width.
  grid->addWidget(chkComplete_, 2, 0, 1, 7);
  grid->setColumnStretch(7, 1);
  return frame;
}

QWidget* ParameterPanel::buildRotation() {
  auto* frame = new QGroupBox(QStringLiteral("Custom Rotation"), this);
  frame->setObjectName(QStringLiteral("frRotation"));
  auto* grid = new QGridLayout(frame);
  const char* captions[] = {"In plane", "Vertical", "Horizontal"};
  const char* tips[] = {"Angle [deg]", "Angle [deg] - Vertical", "Angle [deg] - Horizontal"};
  for (int i = 0; i < 3; ++i) {
    auto* button = new QPushButton(QString::fromLatin1(captions[i]), frame);
    button->setObjectName(QStringLiteral("btANG%1").arg(i));
    button->setToolTip(QStringLiteral("Right/Left Click for pos./neg. Rotation"));
    button->installEventFilter(this);
    connect(button, &QPushButton::clicked, this, [this, i] { emit rotationRequested(i + 1, false); });
    auto* angle = MakeField(frame, "", "10", tips[i]);
    angle->setObjectName(QStringLiteral("tfANG%1").arg(i));
    angle->setMaximumWidth(48);
    grid->addWidget(button, i, 0);
    grid->addWidget(angle, i, 1);
    btANG_[static_cast<std::size_t>(i)] = button;
    tfANG_[static_cast<std::size_t>(i)] = angle;
  }
  return frame;
}

QWidget* ParameterPanel::buildSearch() {
  auto* row = new QWidget(this);
  auto* layout = new QHBoxLayout(row);
  layout->setContentsMargins(0, 0, 0, 0);
  tfFind_ = MakeField(row, "tfFind", "0   2   2   1   0", "search reflection list");
  bRTFFIND_ = new QPushButton(QStringLiteral("Find"), row);
  bRTFFIND_->setObjectName(QStringLiteral("bRTFFIND"));
  bRTFFIND_->setToolTip(QStringLiteral("search reflection list"));
  layout->addWidget(tfFind_, 1);
  layout->addWidget(bRTFFIND_);
  connect(tfFind_, &QLineEdit::returnPressed, this, &ParameterPanel::searchRequested);
  connect(bRTFFIND_, &QPushButton::clicked, this, &ParameterPanel::searchRequested);
  return row;
}

bool ParameterPanel::eventFilter(QObject* watched, QEvent* event) {
  if (event->type() == QEvent::MouseButtonPress && static_cast<QMouseEvent*>(event)->button() == Qt::RightButton) {
    for (int i = 0; i < 3; ++i) {
      if (watched == btANG_[static_cast<std::size_t>(i)] && btANG_[static_cast<std::size_t>(i)]->isEnabled()) {
        emit rotationRequested(i + 1, true);
        return true;
      }
    }
  }
  return QWidget::eventFilter(watched, event);
}

void ParameterPanel::showSystem(int systemIndex, int groupIndex) {
  cmbSystem_->setCurrentIndex(systemIndex);
  groupLists_->setCurrentIndex(systemIndex);
  cmbSG_[static_cast<std::size_t>(systemIndex)]->setCurrentIndex(groupIndex);
  const bool icosahedral = systemIndex == 3;
  tfH_[5]->setVisible(icosahedral);
  up_[5]->setVisible(icosahedral);
  lhkl2_->setVisible(icosahedral);
  tfC_->setVisible(!icosahedral);
  labelC_->setVisible(!icosahedral);
}

void ParameterPanel::chooseSystem(int systemIndex) {
  showSystem(systemIndex, DefaultGroupIndex(SystemFromIndex(systemIndex)));
  emit systemChosen(systemIndex);
}

void ParameterPanel::chooseAnode(int anodeIndex) {
  cmbAnode_->setCurrentIndex(anodeIndex);
  tfWL_->setText(Q(AnodeWavelengthText(anodeIndex)));
  tfWL_->setEnabled(anodeIndex == kTypedAnodeIndex);
}

void ParameterPanel::normaliseDecimalCommas() {
  for (QLineEdit* f : {tfTH1_, tfTH2_, tfQI_, tfWL_, tfA_, tfC_, tfANG_[0], tfANG_[1], tfANG_[2]})
    f->setText(Q(Komma2Punkt(S(f->text()))));
}

ParameterTexts ParameterPanel::texts() const {
  ParameterTexts t;
  t.systemIndex = cmbSystem_->currentIndex();
  t.groupIndex = visibleGroupList()->currentIndex();
  t.yamamoto = rbYamamoto_->isChecked();
  t.anodeIndex = cmbAnode_->currentIndex();
  t.a = S(tfA_->text());
  t.c = S(tfC_->text());
  t.wavelength = S(tfWL_->text());
  t.thetaMin = S(tfTH1_->text());
  t.thetaMax = S(tfTH2_->text());
  t.qiMax = S(tfQI_->text());
  for (std::size_t k = 0; k < 6; ++k) t.loops[k] = S(tfH_[k]->text());
  t.completeLoops = chkComplete_->isChecked();
  return t;
}

void ParameterPanel::setTexts(const ParameterTexts& t) {
  showSystem(t.systemIndex, t.groupIndex);
  (t.yamamoto ? rbYamamoto_ : rbSteurer_)->setChecked(true);
  cmbAnode_->setCurrentIndex(t.anodeIndex);
  tfWL_->setEnabled(t.anodeIndex == kTypedAnodeIndex);
  tfA_->setText(Q(t.a));
  tfC_->setText(Q(t.c));
  tfWL_->setText(Q(t.wavelength));
  tfTH1_->setText(Q(t.thetaMin));
  tfTH2_->setText(Q(t.thetaMax));
  tfQI_->setText(Q(t.qiMax));
  for (std::size_t k = 0; k < 6; ++k) tfH_[k]->setText(Q(t.loops[k]));
  chkComplete_->setChecked(t.completeLoops);
}

QComboBox* ParameterPanel::visibleGroupList() const {
  return cmbSG_[static_cast<std::size_t>(groupLists_->currentIndex())];
}

CrystalSystem ParameterPanel::system() const { return SystemFromIndex(cmbSystem_->currentIndex()); }

const SpaceGroup& ParameterPanel::group() const { return GroupAt(system(), visibleGroupList()->currentIndex()); }

QString ParameterPanel::findText() const { return tfFind_->text(); }
void ParameterPanel::setFindText(const QString& text) { tfFind_->setText(text); }
QString ParameterPanel::angleText(int axisIndex) const {
  return tfANG_[static_cast<std::size_t>(axisIndex)]->text();
}

QLineEdit* ParameterPanel::field(InputField which, int loopIndex) const {
  switch (which) {
    case InputField::A: return tfA_;
    case InputField::C: return tfC_;
    case InputField::Wavelength: return tfWL_;
    case InputField::ThetaMin: return tfTH1_;
    case InputField::ThetaMax: return tfTH2_;
    case InputField::QiMax: return tfQI_;
    case InputField::Loop: return tfH_[static_cast<std::size_t>(loopIndex)];
    case InputField::System:
    case InputField::SpaceGroup: return nullptr;
  }
  return nullptr;
}

}  // namespace lumora
