#include "app/about_dialog.hpp"

#include <QGroupBox>
#include <QKeyEvent>
#include <QLabel>
#include <QPushButton>
#include <QUrl>
#include <QVBoxLayout>

#include "ui/dialogs.hpp"
#include "app/links.hpp"

namespace lumora {

void OpenURL(const QString& url, QWidget* parent) {
  if (url.isEmpty()) {
    Dialogs().warning(parent, QStringLiteral("No web address is configured for this link in this build of Lumora."));
    return;
  }
  if (!Dialogs().openUrl(QUrl(url)))
    Dialogs().warning(parent, QStringLiteral("No web browser could be started for %1").arg(url));
}

AboutDialog::AboutDialog(QWidget* parent) : QDialog(parent) {
  setObjectName(QStringLiteral("frmSplash"));
  setWindowTitle(QStringLiteral("About Lumora"));
  setModal(true);
  auto* layout = new QVBoxLayout(this);

  auto* title = new QLabel(QStringLiteral("Lumora v1.3"), this);
  title->setObjectName(QStringLiteral("Label5"));
  QFont big = title->font();
  big.setPointSizeF(big.pointSizeF() * 1.8);
  big.setBold(true);
  title->setFont(big);
  layout->addWidget(title);
  auto* subtitle = new QLabel(QStringLiteral("Diffraction reflections of quasicrystals"), this);
  layout->addWidget(subtitle);

  for (const auto& [name, address] : {std::pair{"Label7", links::kMakerHome}, std::pair{"Label8", links::kAuthorHome}}) {
    if (!links::Configured(address)) continue;
    auto* link = new QLabel(QString::fromLatin1(address), this);
    link->setObjectName(QString::fromLatin1(name));
    link->setCursor(Qt::PointingHandCursor);
    link->setStyleSheet(QStringLiteral("color: #1a5fb4; text-decoration: underline;"));
    link->installEventFilter(this);
    layout->addWidget(link);
  }

  auto* frame = new QGroupBox(this);
  frame->setObjectName(QStringLiteral("Frame1"));
  frame->installEventFilter(this);
  auto* frameLayout = new QVBoxLayout(frame);
  auto* references = new QLabel(QStringLiteral("References"), frame);
  references->setObjectName(QStringLiteral("Label1"));
  QFont bold = references->font();
  bold.setBold(true);
  references->setFont(bold);
  frameLayout->addWidget(references);
  int index = 2;
  for (const char* text : {links::kReferenceYamamoto, links::kReferenceSteurer, links::kReferenceConditions}) {
    auto* label = new QLabel(QString::fromLatin1(text), frame);
    label->setObjectName(QStringLiteral("Label%1").arg(index++));
    label->setWordWrap(true);
    frameLayout->addWidget(label);
  }
  layout->addWidget(frame);

  auto* ok = new QPushButton(QStringLiteral("OK"), this);
  ok->setObjectName(QStringLiteral("Command1"));
  ok->setDefault(true);
  connect(ok, &QPushButton::clicked, this, &QDialog::accept);
  layout->addWidget(ok, 0, Qt::AlignRight);
  setMinimumWidth(460);
}

void AboutDialog::keyPressEvent(QKeyEvent* event) {
  event->accept();
  accept();
}

bool AboutDialog::eventFilter(QObject* watched, QEvent* event) {
  if (event->type() == QEvent::MouseButtonRelease) {
    if (auto* label = qobject_cast<QLabel*>(watched)) {
      OpenURL(label->text(), this);
      return true;
    }
    if (watched->objectName() == QLatin1String("Frame1")) {
      accept();
      return true;
    }
  }
  return QDialog::eventFilter(watched, event);
}

}  // namespace lumora
