#include "powder/powder_tables.hpp"

#include <algorithm>
#include <cmath>

#include "powder/powder_files.hpp"
#include "powder/refinement_output.hpp"

namespace lumora {

void PowderLineModel::setLines(std::shared_ptr<const PowderLines> lines, int nDim) {
  beginResetModel();
  lines_ = std::move(lines);
  nDim_ = nDim;
  endResetModel();
}

int PowderLineModel::rowCount(const QModelIndex& parent) const {
  return parent.isValid() || !lines_ ? 0 : static_cast<int>(lines_->lines.size());
}

int PowderLineModel::columnCount(const QModelIndex& parent) const { return parent.isValid() ? 0 : 5; }

QVariant PowderLineModel::data(const QModelIndex& index, int role) const {
  if (!lines_ || !index.isValid()) return {};
  const PowderLine& line = lines_->lines[static_cast<std::size_t>(index.row())];
  if (role == Qt::TextAlignmentRole) return QVariant::fromValue(Qt::Alignment(Qt::AlignRight | Qt::AlignVCenter));
  if (role == Qt::ToolTipRole && index.column() == 4 && line.indices.size() > 1)
    return QStringLiteral("%1 index vectors, the first shown").arg(line.indices.size());
  if (role != Qt::DisplayRole) return {};
  switch (index.column()) {
    case 0: return QString::number(line.twoTheta, 'f', 4);
    case 1: return QString::number(line.d, 'f', 5);
    case 2:
      // A loop box that cut the line's orbits: the complete multiplicity too.
      if (line.completeMultiplicity > line.multiplicity)
        return QStringLiteral("%1 of %2 (incomplete)").arg(line.multiplicity).arg(line.completeMultiplicity);
      return line.multiplicity;
    case 3: return QString::number(line.intensity, 'f', 3);
    case 4: return QString::fromStdString(IndexText(line.indices.front(), nDim_, " "));
  }
  return {};
}

QVariant PowderLineModel::headerData(int section, Qt::Orientation orientation, int role) const {
  if (role != Qt::DisplayRole) return {};
  if (orientation == Qt::Vertical) return section + 1;
  static const char* titles[] = {"2\u03b8 (\u00b0)", "d (\u00c5)", "Mult", "I", "Index"};
  return section >= 0 && section < 5 ? QString::fromUtf8(titles[section]) : QVariant();
}

void PeakModel::setPeaks(const std::vector<double>& twoTheta, const IndexingResult* refinement, int nDim) {
  beginResetModel();
  nDim_ = nDim;
  indexed_ = refinement ? refinement->indexed : std::vector<IndexedPeak>{};
  rows_.clear();
  for (const double t : twoTheta) {
    Row row{t, nullptr};
    for (const IndexedPeak& peak : indexed_)
      if (std::abs(peak.observed - t) < 1e-9) row.match = &peak;
    rows_.push_back(row);
  }
  endResetModel();
}

int PeakModel::rowCount(const QModelIndex& parent) const { return parent.isValid() ? 0 : static_cast<int>(rows_.size()); }
int PeakModel::columnCount(const QModelIndex& parent) const { return parent.isValid() ? 0 : 6; }

QVariant PeakModel::data(const QModelIndex& index, int role) const {
  if (!index.isValid()) return {};
  const Row& row = rows_[static_cast<std::size_t>(index.row())];
  if (role == Qt::TextAlignmentRole) return QVariant::fromValue(Qt::Alignment(Qt::AlignRight | Qt::AlignVCenter));
  if (role != Qt::DisplayRole) return {};
  if (index.column() == 0) return QString::number(row.observed, 'f', 4);
  if (!row.match) return index.column() == 4 ? QStringLiteral("unindexed") : QString();
  switch (index.column()) {
    case 1: return QString::number(row.match->calculated, 'f', 4);
    case 2: return QString::number(row.match->difference, 'f', 4);
    case 3: return QString::number(row.match->d, 'f', 5);
    case 4:
      return QString::fromStdString(IndexText(row.match->index, nDim_, " ")) +
             (row.match->component == StickComponent::KAlpha1
                  ? QString()
                  : QStringLiteral("  ") + QString::fromStdString(ComponentName(row.match->component))) +
             (row.match->ambiguous ? QStringLiteral("  ambiguous") : QString());
    case 5: return row.match->multiplicity;
  }
  return {};
}

QVariant PeakModel::headerData(int section, Qt::Orientation orientation, int role) const {
  if (role != Qt::DisplayRole) return {};
  if (orientation == Qt::Vertical) return section + 1;
  static const char* titles[] = {"2\u03b8 obs", "2\u03b8 calc", "obs \u2212 calc", "d (\u00c5)", "Index", "Mult"};
  return section >= 0 && section < 6 ? QString::fromUtf8(titles[section]) : QVariant();
}

}  // namespace lumora
