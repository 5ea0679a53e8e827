// The vertex table behind the "List" tab: "#", "X", "Y", texts made on demand
// so that tens of thousands of rows appear at once.
#pragma once

#include <QAbstractTableModel>
#include <vector>

namespace lumora {

class VertexListModel : public QAbstractTableModel {
  Q_OBJECT
 public:
  using QAbstractTableModel::QAbstractTableModel;

  void setVertices(std::vector<float> x, std::vector<float> y);
  void clear();

  int rowCount(const QModelIndex& parent = QModelIndex()) const override;
  int columnCount(const QModelIndex& parent = QModelIndex()) const override;
  QVariant data(const QModelIndex& index, int role = Qt::DisplayRole) const override;
  QVariant headerData(int section, Qt::Orientation orientation, int role = Qt::DisplayRole) const override;

 private:
  std::vector<float> x_, y_;
};

}  // namespace lumora
