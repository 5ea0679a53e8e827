// "Used Matrices": the direct lattice matrix and its inverse as plain text.
#pragma once

#include <QDialog>

class QPlainTextEdit;

namespace lumora {

class UsedMatricesDialog : public QDialog {
  Q_OBJECT
 public:
  explicit UsedMatricesDialog(QWidget* parent = nullptr);

  // which = 1 sets the direct matrix text, 2 the inverse; other values change nothing.
  void setText(const QString& text, int which);
  QString text(int which) const;

 private:
  QPlainTextEdit* text1_ = nullptr;
  QPlainTextEdit* text2_ = nullptr;
};

}  // namespace lumora
