// Table models of the powder window: the calculated lines, and the measured
// peaks with what indexing made of them.
#pragma once

#include <QAbstractTableModel>
#include <memory>

#include "powder/powder_lines.hpp"
#include "powder/powder_indexing.hpp"

namespace lumora {

class PowderLineModel : public QAbstractTableModel {
  Q_OBJECT
 public:
  using QAbstractTableModel::QAbstractTableModel;
  void setLines(std::shared_ptr<const PowderLines> lines, int nDim);
  int rowCount(const QModelIndex& parent = {}) const override;
  int columnCount(const QModelIndex& parent = {}) const override;
  QVariant data(const QModelIndex& index, int role) const override;
  QVariant headerData(int section, Qt::Orientation orientation, int role) const override;

 private:
  std::shared_ptr<const PowderLines> lines_;
  int nDim_ = 5;
};

// The found peaks by 2 theta; once refined, each with its line or "unindexed".
class PeakModel : public QAbstractTableModel {
  Q_OBJECT
 public:
  using QAbstractTableModel::QAbstractTableModel;
  void setPeaks(const std::vector<double>& twoTheta, const IndexingResult* refinement, int nDim);
  int rowCount(const QModelIndex& parent = {}) const override;
  int columnCount(const QModelIndex& parent = {}) const override;
  QVariant data(const QModelIndex& index, int role) const override;
  QVariant headerData(int section, Qt::Orientation orientation, int role) const override;

 private:
  struct Row {
    double observed = 0.0;
    const IndexedPeak* match = nullptr;
  };
  std::vector<Row> rows_;
  std::vector<IndexedPeak> indexed_;
  int nDim_ = 5;
};

}  // namespace lumora
