// A pair of small arrow buttons that step the number in a text field.
#pragma once

#include <QWidget>

namespace lumora {

class UpDownButtons : public QWidget {
  Q_OBJECT
 public:
  explicit UpDownButtons(QWidget* parent = nullptr);

 signals:
  void stepped(bool up);
};

}  // namespace lumora
