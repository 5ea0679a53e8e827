#include "refine/refinement_views.hpp"

#include <QPainter>

#include "refine/refinement_plots.hpp"

namespace lumora {

FobsFcalcView::FobsFcalcView(QWidget* parent) : QWidget(parent) {
  setObjectName(QStringLiteral("pbFobsFcalc"));
  setMinimumSize(320, 300);
}

void FobsFcalcView::setOutcome(const RefinementOutcome* outcome) {
  outcome_ = outcome;
  update();
}

void FobsFcalcView::paintEvent(QPaintEvent*) {
  QPainter painter(this);
  if (outcome_) {
    PaintFobsFcalc(painter, rect(), *outcome_);
    return;
  }
  painter.fillRect(rect(), Qt::white);
  painter.drawText(rect(), Qt::AlignCenter | Qt::TextWordWrap,
                   QStringLiteral("Open reflections and a model, then Refine."));
}

InternalMapView::InternalMapView(QWidget* parent) : QWidget(parent) {
  setObjectName(QStringLiteral("pbInternalMap"));
  setMinimumSize(320, 300);
}

void InternalMapView::setMaps(std::vector<InternalMap> maps, QString message) {
  maps_ = std::move(maps);
  message_ = std::move(message);
  update();
}

void InternalMapView::paintEvent(QPaintEvent*) {
  QPainter painter(this);
  PaintInternalMaps(painter, rect(), maps_);
  if (maps_.empty())
    painter.drawText(rect(), Qt::AlignCenter | Qt::TextWordWrap,
                     message_.isEmpty() ? QStringLiteral("The map through a site follows a refinement.") : message_);
}

}  // namespace lumora
