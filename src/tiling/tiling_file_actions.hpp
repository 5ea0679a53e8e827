// The tiling window's files: the vertex coordinates as XY, the picture on
// show, the tile and vertex tables as CSV, and the help page at its tiling
// section. Each save asks for a file in the export folder, proposes a name
// after the tiling on show and writes through the safe-write routine.
#pragma once

#include <QImage>
#include <QString>
#include <QUrl>
#include <vector>

#include "tiling/exact_diffraction.hpp"
#include "tiling/tiling.hpp"
#include "ui/app_paths.hpp"

class QWidget;

namespace lumora {

// Each returns why the file was not written: empty when it was, or when the
// user cancelled.
QString SaveTilingCoordinates(QWidget* parent, const AppPaths& paths, const Tiling& tiling);
// The picture `shown` on tab `tab` (a TilingViews::Tab) as PNG; on the
// tiling tab also the tiling as SVG, by the chosen file's ending.
QString SaveTilingPicture(QWidget* parent, const AppPaths& paths, const Tiling& tiling, int tab, const QImage& shown);
// The vertex table when `vertices`, else the tile table.
QString SaveTilingTable(QWidget* parent, const AppPaths& paths, const Tiling& tiling, bool vertices);
// The Bragg peaks of the Diffraction tab as numbers (the CSV of lumora-cli
// tiling --diffraction-csv).
QString SaveTilingPeaks(QWidget* parent, const AppPaths& paths, const Tiling& tiling, const std::vector<ModulePoint>& points,
                        const std::vector<double>& intensity);

// The help file at its tiling section.
QUrl TilingHelpUrl(const AppPaths& paths);
// Opens it: through a small forwarding page, since desktop handlers drop the
// section of a file address.
void OpenTilingHelp(const AppPaths& paths);

}  // namespace lumora
