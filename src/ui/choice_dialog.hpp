// The small dialog of the toolbar's save, copy and print buttons: which of the
// 2D plot, the 3D plot or the reflection table is meant.
#pragma once

#include <QDialog>

class QGroupBox;
class QRadioButton;

namespace lumora {

class ChoiceDialog : public QDialog {
  Q_OBJECT
 public:
  explicit ChoiceDialog(QWidget* parent = nullptr);

  // "Save", "Copy" or "Print".
  void setFrameCaption(const QString& caption);
  // 1 2D plot, 2 3D plot, 3 reflection table.
  int choice() const;

 private:
  QGroupBox* frame_ = nullptr;
  QRadioButton* options_[3] = {};
};

}  // namespace lumora
