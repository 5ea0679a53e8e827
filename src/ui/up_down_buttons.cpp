#include "ui/up_down_buttons.hpp"

#include <QToolButton>
#include <QVBoxLayout>

namespace lumora {

UpDownButtons::UpDownButtons(QWidget* parent) : QWidget(parent) {
  auto* layout = new QVBoxLayout(this);
  layout->setContentsMargins(0, 0, 0, 0);
  layout->setSpacing(0);
  for (bool up : {true, false}) {
    auto* button = new QToolButton(this);
    button->setObjectName(up ? QStringLiteral("up") : QStringLiteral("down"));
    button->setArrowType(up ? Qt::UpArrow : Qt::DownArrow);
    button->setAutoRepeat(true);
    button->setFixedSize(14, 11);
    button->setFocusPolicy(Qt::NoFocus);
    connect(button, &QToolButton::clicked, this, [this, up] { emit stepped(up); });
    layout->addWidget(button);
  }
}

}  // namespace lumora
