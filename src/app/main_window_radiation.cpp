// The main window's radiation (Model menu): X-rays (the classic intensities),
// neutrons or electrons at an accelerating voltage, for the run's intensities
// and the powder window's lines. Not remembered: each start is X-rays.
#include <QAction>
#include <QActionGroup>
#include <QDoubleSpinBox>
#include <QHBoxLayout>
#include <QLabel>
#include <QMenu>
#include <QWidgetAction>
#include <string_view>
#include <utility>

#include "app/main_window.hpp"
#include "common/number_text.hpp"
#include "common/text.hpp"
#include "inputs/named_inputs.hpp"
#include "inputs/radiation_option.hpp"

namespace lumora {
namespace {

QString Q(std::string_view s) { return QString::fromUtf8(s.data(), static_cast<qsizetype>(s.size())); }

}  // namespace

void MainWindow::buildRadiationMenu(QMenu* parent) {
  using input::kRadiation;
  using input::kVoltage;
  QMenu* menu = parent->addMenu(Q(kRadiation.label));
  menu->setObjectName(QStringLiteral("mnuRadiation"));
  radiationGroup_ = new QActionGroup(this);
  radiationGroup_->setExclusive(true);
  // The zone window's words and order of choice, X-rays first here as the default.
  const std::pair<const char*, const char*> kinds[] = {{"xray", "X-ray"}, {"neutron", "Neutron"}, {"electron", "Electron"}};
  for (const auto& [kind, text] : kinds) {
    QAction* action = menu->addAction(QString::fromLatin1(text));
    action->setObjectName(QStringLiteral("mnuRadiation_%1").arg(QString::fromLatin1(kind)));
    action->setData(QString::fromLatin1(kind));
    action->setCheckable(true);
    action->setChecked(std::string_view(kind) == "xray");
    radiationGroup_->addAction(action);
  }
  menu->addSeparator();
  // The voltage as the zone window takes it, in the menu itself.
  auto* row = new QWidget(menu);
  auto* layout = new QHBoxLayout(row);
  layout->setContentsMargins(24, 2, 8, 2);
  layout->addWidget(new QLabel(QStringLiteral("%1 (electrons)").arg(Q(kVoltage.label)), row));
  voltageBox_ = new QDoubleSpinBox(row);
  voltageBox_->setObjectName(QStringLiteral("mainVoltage"));
  voltageBox_->setDecimals(0);
  voltageBox_->setRange(1, kVoltage.range.high);
  voltageBox_->setValue(DefaultNumber(kVoltage));
  voltageBox_->setSuffix(QStringLiteral(" kV"));
  layout->addWidget(voltageBox_);
  auto* voltage = new QWidgetAction(menu);
  voltage->setDefaultWidget(row);
  menu->addAction(voltage);
  auto follow = [this] { voltageBox_->setEnabled(chosenRadiation(1.0).kind == RadiationKind::Electron); };
  connect(radiationGroup_, &QActionGroup::triggered, this, follow);
  follow();
}

Radiation MainWindow::chosenRadiation(double wavelength) const {
  const QString kind = radiationGroup_->checkedAction()->data().toString();
  if (kind == QLatin1String("electron")) return ElectronRadiation(voltageBox_->value());
  if (kind == QLatin1String("neutron")) return NeutronRadiation(wavelength);
  return XRayRadiation(wavelength);
}

void MainWindow::applyRadiation(ParameterTexts& texts) const {
  // Electrons run at the wavelength of their voltage, as lumora-cli --voltage.
  const Radiation beam = chosenRadiation(1.0);
  if (beam.kind != RadiationKind::Electron) return;
  texts.anodeIndex = kTypedAnodeIndex;
  texts.wavelength = ShortestText(beam.wavelength);
}

}  // namespace lumora
