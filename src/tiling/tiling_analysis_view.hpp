// The analysis tabs of the tiling window: the statistics as text and the
// internal-space view as a picture, worked out together off the GUI thread.
#pragma once

#include <QImage>
#include <QString>

#include "tiling/tiling.hpp"

namespace lumora {

struct TilingAnalysisView {
  QImage internal;
  QString statistics;
};

// Both, for a picture of size x size pixels.
TilingAnalysisView AnalyseTiling(const Tiling& tiling, int size);

}  // namespace lumora
