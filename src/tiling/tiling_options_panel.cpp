#include "tiling/tiling_options_panel.hpp"

#include <QButtonGroup>
#include <QCheckBox>
#include <QComboBox>
#include <QDoubleSpinBox>
#include <QGridLayout>
#include <QLabel>
#include <QLineEdit>
#include <QRadioButton>
#include <QRegularExpression>
#include <QScrollBar>
#include <algorithm>

#include "inputs/input_reading.hpp"
#include "tiling/tile_shapes.hpp"
#include "tiling/tiling_analysis.hpp"

namespace lumora {
namespace {

QString SwatchStyle(ColorValue c) {
  return QStringLiteral("background-color: rgb(%1, %2, %3); border: 1px solid gray;")
      .arg(RedOf(c))
      .arg(GreenOf(c))
      .arg(BlueOf(c));
}

QScrollBar* MakeScrollBar(const char* name, int lo, int hi, int value, int pageStep) {
  auto* bar = new QScrollBar(Qt::Horizontal);
  bar->setObjectName(QString::fromLatin1(name));
  bar->setRange(lo, hi);
  bar->setSingleStep(1);
  bar->setPageStep(pageStep);
  bar->setValue(value);
  return bar;
}

QLabel* MakeLabel(const QString& name, const QString& text) {
  auto* label = new QLabel(text);
  label->setObjectName(name);
  return label;
}

QStringList ShiftEntries(const QString& text) {
  return text.split(QRegularExpression(QStringLiteral("[\\s,;]+")), Qt::SkipEmptyParts);
}

// Gives the shifts typed in the editor, or says which entry is wrong.
std::optional<std::vector<double>> ParseShifts(const QString& text, int n, QString& problem) {
  const QStringList parts = ShiftEntries(text);
  if (parts.size() != n) {
    problem = QStringLiteral("Shifts: %1 numbers are needed for N = %1, \"%2\" has %3.").arg(n).arg(text).arg(parts.size());
    return std::nullopt;
  }
  std::vector<double> shifts;
  for (int i = 0; i < parts.size(); ++i) {
    bool ok = false;
    const double v = parts[i].toDouble(&ok);
    if (!ok || !input::kShifts.range.Contains(v)) {
      problem = QStringLiteral("Shifts: entry %1 \"%2\" is not a number from -1 to 1.").arg(i + 1).arg(parts[i]);
      return std::nullopt;
    }
    shifts.push_back(v);
  }
  return shifts;
}

}  // namespace

TilingOptionsPanel::TilingOptionsPanel(QWidget* parent) : QGroupBox(QStringLiteral("Tiling Options"), parent) {
  setObjectName(QStringLiteral("Frame1"));
  auto* grid = new QGridLayout(this);
  int row = 0;
  auto addBar = [&](const char* titleName, const char* title, QScrollBar* bar, const char* valueName) {
    grid->addWidget(MakeLabel(QString::fromLatin1(titleName), QString::fromLatin1(title)), row, 0, 1, 2);
    auto* value = MakeLabel(QString::fromLatin1(valueName), QString::number(bar->value()));
    value->setAlignment(Qt::AlignRight | Qt::AlignVCenter);
    value->setMinimumWidth(28);
    grid->addWidget(value, row, 2);
    ++row;
    grid->addWidget(bar, row++, 0, 1, 3);
    // Only the label follows the bar; the user redraws when ready.
    connect(bar, &QScrollBar::valueChanged, value, [value](int v) { value->setText(QString::number(v)); });
  };
  using L = TilingLimits;
  scrF_ = MakeScrollBar("scrF", L::kMinSymmetry, L::kMaxSymmetry, L::kDefaultSymmetry, 1);
  scrN_ = MakeScrollBar("scrN", L::kMinLoopOrder, L::kMaxLoopOrder, L::kDefaultLoopOrder, 1);
  scrZoom_ = MakeScrollBar("scrZoom", L::kMinZoom, L::kMaxZoom, L::kDefaultZoom, 1);
  scrB_ = MakeScrollBar("scrB", L::kMinBrightness, L::kMaxBrightness, L::kDefaultBrightness, 10);
  addBar("lb0", "Symmetry", scrF_, "lb4");
  addBar("lb3", "Loop Order", scrN_, "lb5");
  addBar("lb6", "Scale", scrZoom_, "lb7");
  addBar("lb8", "Brightness", scrB_, "lb9");

  grid->addWidget(MakeLabel(QStringLiteral("lb1"), QStringLiteral("Multi-Grid Shifts")), row++, 0, 1, 3);
  shiftGroup_ = new QButtonGroup(this);
  const char* shiftTexts[] = {"Symmetry Type 1", "Symmetry Type 2", "Random Tiling", "Given Shifts"};
  for (int i = 0; i < 4; ++i) {
    auto* option = new QRadioButton(QString::fromLatin1(shiftTexts[i]));
    option->setObjectName(QStringLiteral("rb%1").arg(i));
    shiftGroup_->addButton(option, i);
    grid->addWidget(option, row++, 0, 1, 3);
  }
  shiftGroup_->button(0)->setChecked(true);
  shiftEdit_ = new QLineEdit;
  shiftEdit_->setObjectName(QStringLiteral("edShifts"));
  shiftEdit_->setToolTip(QStringLiteral("The N grid shifts \u03b3_i, from -1 to 1, separated by blanks"));
  shiftEdit_->setText(QStringLiteral("0.2 0.2 0.2 0.2 0.2"));
  grid->addWidget(shiftEdit_, row++, 0, 1, 3);
  shiftSum_ = MakeLabel(QStringLiteral("lbShiftSum"), QString());
  grid->addWidget(shiftSum_, row++, 0, 1, 3);
  connect(shiftEdit_, &QLineEdit::textChanged, this, &TilingOptionsPanel::showShiftSum);
  connect(shiftEdit_, &QLineEdit::textEdited, this, [this] { shiftGroup_->button(3)->setChecked(true); });
  preset_ = new QComboBox;
  preset_->setObjectName(QStringLiteral("cboPreset"));
  preset_->addItems({QStringLiteral("Standard tiling\u2026"), QStringLiteral("Penrose"),
                     QStringLiteral("Generalised Penrose"), QStringLiteral("Ammann\u2013Beenker")});
  grid->addWidget(preset_, row, 0, 1, 2);
  presetSum_ = new QDoubleSpinBox;
  presetSum_->setObjectName(QStringLiteral("spnShiftSum"));
  presetSum_->setRange(input::kShiftSum.range.low, input::kShiftSum.range.high);
  presetSum_->setDecimals(3);
  presetSum_->setSingleStep(0.1);
  presetSum_->setValue(DefaultNumber(input::kShiftSum));
  presetSum_->setToolTip(QStringLiteral("Shift sum of the generalised Penrose tiling"));
  grid->addWidget(presetSum_, row++, 2);
  connect(preset_, &QComboBox::activated, this, &TilingOptionsPanel::applyPreset);
  colourByShape_ = new QCheckBox(QStringLiteral("Colour by shape"));
  colourByShape_->setObjectName(QStringLiteral("chkColourByShape"));
  grid->addWidget(colourByShape_, row++, 0, 1, 3);
  connect(colourByShape_, &QCheckBox::toggled, this, &TilingOptionsPanel::colourByShapeChanged);
  showShiftSum();

  for (int i = 0; i < 10; ++i) {
    swatches_[i] = MakeLabel(QStringLiteral("lbcol%1").arg(i), QString());
    swatches_[i]->setFixedSize(18, 14);
    legendTexts_[i] = MakeLabel(QStringLiteral("lt%1").arg(i), i < 9 ? QStringLiteral("Tile %1").arg(i + 1)
                                                                      : QStringLiteral("Grid"));
    grid->addWidget(swatches_[i], row, 0);
    grid->addWidget(legendTexts_[i], row++, 1, 1, 2);
    if (i < 9) {
      swatches_[i]->hide();
      legendTexts_[i]->hide();
    }
  }
  swatches_[9]->setStyleSheet(SwatchStyle(gridColor_));

  note_ = MakeLabel(QStringLiteral("lbNote"), QString());
  note_->setWordWrap(true);
  note_->setStyleSheet(QStringLiteral("color: #a04000;"));
  grid->addWidget(note_, row++, 0, 1, 3);
  message_ = MakeLabel(QStringLiteral("lbMSG"), QString());
  message_->setWordWrap(true);
  grid->addWidget(message_, row++, 0, 1, 3);
  grid->setColumnStretch(1, 1);
  grid->setRowStretch(row, 1);
  setFixedWidth(220);
}

std::optional<TilingInputs> TilingOptionsPanel::inputs(int width, int height, QString& problem) const {
  TilingInputs inputs;
  inputs.symmetry = scrF_->value();
  inputs.loopOrder = scrN_->value();
  inputs.zoom = scrZoom_->value();
  inputs.brightness = scrB_->value();
  inputs.shiftMode = static_cast<ShiftMode>(std::max(0, shiftGroup_->checkedId()));
  inputs.width = width;
  inputs.height = height;
  inputs.gridColor = gridColor_;
  if (inputs.shiftMode == ShiftMode::Given) {
    const auto shifts = ParseShifts(shiftEdit_->text(), inputs.symmetry, problem);
    if (!shifts) return std::nullopt;
    inputs.shifts = *shifts;
  }
  return inputs;
}

bool TilingOptionsPanel::colourByShape() const { return colourByShape_->isChecked(); }

void TilingOptionsPanel::showTiling(const Tiling& tiling, const std::vector<int>& legendShapes) {
  const auto note = TilingNote(tiling.inputs.symmetry, tiling.gridShift);
  note_->setText(note ? QString::fromStdString(*note) : QString());
  note_->setVisible(note.has_value());

  // By type as ever; with colour by shape, one entry for each shape present, named.
  const bool byShape = !legendShapes.empty();
  const int entries = byShape ? static_cast<int>(legendShapes.size()) : tiling.nTileTypes;
  for (int i = 0; i < 9; ++i) {
    const bool used = i < entries && static_cast<std::size_t>(i + 1) < tiling.tileColors.size();
    if (used) {
      swatches_[i]->setStyleSheet(SwatchStyle(tiling.tileColors[static_cast<std::size_t>(i + 1)]));
      legendTexts_[i]->setText(
          byShape ? QString::fromStdString(ShapeName(tiling.inputs.symmetry, legendShapes[static_cast<std::size_t>(i)]))
                  : QStringLiteral("Tile %1").arg(i + 1));
    }
    swatches_[i]->setVisible(used);
    legendTexts_[i]->setVisible(used);
  }
}

void TilingOptionsPanel::setMessage(const QString& text) { message_->setText(text); }

void TilingOptionsPanel::showShiftSum() {
  double sum = 0.0;
  bool ok = true;
  for (const QString& part : ShiftEntries(shiftEdit_->text())) {
    bool one = false;
    sum += part.toDouble(&one);
    ok = ok && one;
  }
  shiftSum_->setText(ok ? QStringLiteral("Sum of shifts: %1").arg(sum, 0, 'f', 4) : QStringLiteral("Sum of shifts: \u2014"));
}

void TilingOptionsPanel::applyPreset(int index) {
  if (index <= 0) return;
  const TilingPreset preset = index == 1 ? TilingPreset::Penrose
                              : index == 2 ? TilingPreset::GeneralisedPenrose
                                           : TilingPreset::AmmannBeenker;
  const PresetShifts chosen = StandardShifts(preset, presetSum_->value());
  scrF_->setValue(chosen.symmetry);
  QStringList texts;
  for (double g : chosen.shifts) texts << QString::number(g, 'g', 6);
  shiftEdit_->setText(texts.join(QLatin1Char(' ')));
  shiftGroup_->button(3)->setChecked(true);
  preset_->setCurrentIndex(0);
  emit presetApplied();
}

}  // namespace lumora
