#include "app/used_matrices_dialog.hpp"

#include <QGroupBox>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QVBoxLayout>

#include "report/reflection_table_pane.hpp"

namespace lumora {
namespace {

QPlainTextEdit* AddMatrixBox(QWidget* parent, QVBoxLayout* layout, const QString& caption, const QString& name) {
  auto* frame = new QGroupBox(caption, parent);
  auto* frameLayout = new QVBoxLayout(frame);
  auto* box = new QPlainTextEdit(frame);
  box->setObjectName(name);
  box->setReadOnly(true);
  box->setLineWrapMode(QPlainTextEdit::NoWrap);
  box->setFont(FixedPitchFont(10));
  const QFontMetrics metrics(box->font());
  box->setMinimumSize(metrics.horizontalAdvance(QString(56, QLatin1Char('0'))), metrics.lineSpacing() * 7);
  frameLayout->addWidget(box);
  layout->addWidget(frame);
  return box;
}

}  // namespace

UsedMatricesDialog::UsedMatricesDialog(QWidget* parent) : QDialog(parent) {
  setObjectName(QStringLiteral("viewMX"));
  setWindowTitle(QStringLiteral("Used Matrices"));
  setModal(true);
  auto* layout = new QVBoxLayout(this);
  text1_ = AddMatrixBox(this, layout, QStringLiteral(" Direct Lattice Matrix "), QStringLiteral("Text1"));
  text2_ = AddMatrixBox(this, layout, QStringLiteral(" Inverse Matrix "), QStringLiteral("Text2"));
  auto* ok = new QPushButton(QStringLiteral("OK"), this);
  ok->setObjectName(QStringLiteral("Command1"));
  ok->setDefault(true);
  connect(ok, &QPushButton::clicked, this, &QDialog::accept);
  layout->addWidget(ok, 0, Qt::AlignRight);
}

void UsedMatricesDialog::setText(const QString& text, int which) {
  QString shown = text;
  shown.replace(QStringLiteral("\r\n"), QStringLiteral("\n"));
  if (shown.endsWith(QLatin1Char('\n'))) shown.chop(1);
  if (which == 1) text1_->setPlainText(shown);
  if (which == 2) text2_->setPlainText(shown);
}

QString UsedMatricesDialog::text(int which) const {
  if (which == 1) return text1_->toPlainText();
  if (which == 2) return text2_->toPlainText();
  return {};
}

}  // namespace lumora
