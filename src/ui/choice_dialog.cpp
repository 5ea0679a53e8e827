#include "ui/choice_dialog.hpp"

#include <QDialogButtonBox>
#include <QGroupBox>
#include <QPushButton>
#include <QRadioButton>
#include <QVBoxLayout>

namespace lumora {

ChoiceDialog::ChoiceDialog(QWidget* parent) : QDialog(parent) {
  setObjectName(QStringLiteral("dlg2OR3"));
  setWindowTitle(QStringLiteral(" Copy to Clipboard"));
  setModal(true);
  auto* layout = new QVBoxLayout(this);
  frame_ = new QGroupBox(this);
  frame_->setObjectName(QStringLiteral("Frame1"));
  auto* frameLayout = new QVBoxLayout(frame_);
  const char* captions[] = {"2D Plot (0th layer)", "3D Plot", "Reflection Table"};
  for (int i = 0; i < 3; ++i) {
    options_[i] = new QRadioButton(QString::fromLatin1(captions[i]), frame_);
    options_[i]->setObjectName(QStringLiteral("Option%1").arg(i + 1));
    frameLayout->addWidget(options_[i]);
  }
  options_[0]->setChecked(true);
  layout->addWidget(frame_);
  auto* buttons = new QDialogButtonBox(QDialogButtonBox::Ok | QDialogButtonBox::Cancel, this);
  buttons->button(QDialogButtonBox::Ok)->setText(QStringLiteral("OK"));
  buttons->button(QDialogButtonBox::Cancel)->setText(QStringLiteral("Cancel"));
  connect(buttons, &QDialogButtonBox::accepted, this, &QDialog::accept);
  connect(buttons, &QDialogButtonBox::rejected, this, &QDialog::reject);
  layout->addWidget(buttons);
}

void ChoiceDialog::setFrameCaption(const QString& caption) { frame_->setTitle(caption); }

int ChoiceDialog::choice() const {
  for (int i = 0; i < 3; ++i)
    if (options_[i]->isChecked()) return i + 1;
  return 1;
}

}  // namespace lumora
