#include "tiling/vertex_list_model.hpp"

#include <algorithm>

#include "common/number_text.hpp"

namespace lumora {

void VertexListModel::setVertices(std::vector<float> x, std::vector<float> y) {
  beginResetModel();
  x_ = std::move(x);
  y_ = std::move(y);
  endResetModel();
}

void VertexListModel::clear() { setVertices({}, {}); }

int VertexListModel::rowCount(const QModelIndex& parent) const {
  return parent.isValid() ? 0 : static_cast<int>(std::min(x_.size(), y_.size()));
}

int VertexListModel::columnCount(const QModelIndex& parent) const { return parent.isValid() ? 0 : 3; }

QVariant VertexListModel::data(const QModelIndex& index, int role) const {
  if (!index.isValid() || index.row() >= rowCount()) return {};
  if (role == Qt::TextAlignmentRole)
    return QVariant::fromValue(index.column() == 0 ? Qt::AlignLeft | Qt::AlignVCenter : Qt::AlignRight | Qt::AlignVCenter);
  if (role != Qt::DisplayRole) return {};
  const auto row = static_cast<std::size_t>(index.row());
  switch (index.column()) {
    case 0: return QString::number(index.row() + 1);
    // The point is the decimal symbol whatever the desktop's locale.
    case 1: return QString::fromStdString(FormatFixed(x_[row], 4));
    default: return QString::fromStdString(FormatFixed(y_[row], 4));
  }
}

QVariant VertexListModel::headerData(int section, Qt::Orientation orientation, int role) const {
  if (role != Qt::DisplayRole) return {};
  if (orientation == Qt::Vertical) return {};
  static const char* const kTitles[] = {"#", "X", "Y"};
  return section >= 0 && section < 3 ? QString::fromLatin1(kTitles[section]) : QVariant();
}

}  // namespace lumora
