// The Structure Refinement window's pictures: F obs against F calc and the
// internal-space maps, painted by refinement_plots on the screen.
#pragma once

#include <QWidget>
#include <vector>

#include "refine/internal_map.hpp"
#include "refine/structure_refinement.hpp"

namespace lumora {

class FobsFcalcView : public QWidget {
  Q_OBJECT
 public:
  explicit FobsFcalcView(QWidget* parent = nullptr);
  void setOutcome(const RefinementOutcome* outcome);  // null: nothing refined yet

 protected:
  void paintEvent(QPaintEvent* event) override;

 private:
  const RefinementOutcome* outcome_ = nullptr;
};

class InternalMapView : public QWidget {
  Q_OBJECT
 public:
  explicit InternalMapView(QWidget* parent = nullptr);
  void setMaps(std::vector<InternalMap> maps, QString message = {});
  const std::vector<InternalMap>& maps() const { return maps_; }

 protected:
  void paintEvent(QPaintEvent* event) override;

 private:
  std::vector<InternalMap> maps_;
  QString message_;
};

}  // namespace lumora
