// The plots and the table leaving the program: saved as pictures, copied to
// the clipboard as a metafile or a bitmap, and printed.
#pragma once

#include <QObject>
#include <functional>
#include <string>

#include "ui/app_paths.hpp"

class QWidget;

namespace lumora {

class PlotBox;
class PlotController;

// Plot codes of the output commands.
inline constexpr int k2DPlot = 2;
inline constexpr int k3DPlot = 3;

class PlotOutput : public QObject {
  Q_OBJECT
 public:
  struct RunAccess {
    std::function<bool()> calculated;
    std::function<std::string()> summaryLine;  // "N reflections, group, line 1, line 2"
    std::function<std::string()> reportText;   // the report as shown
    std::function<std::string()> caption;      // the run's parameters (and model) for saved pictures
  };

  PlotOutput(QWidget* window, PlotController* plots, const AppPaths& paths, RunAccess run);

  // The picture an output takes: the large view when it shows the plot, else
  // the plot's own box.
  PlotBox* source(int code) const;
  // The placeable metafile of the last metafile copy.
  QString metafilePath() const;

 public slots:
  void saveBitmap(int code);
  void copyMetafile(int code);
  void copyBitmap(int code);
  void printPlot(int code);
  void printTable();

 private:
  bool requireData();
  QWidget* window_;
  PlotController* plots_;
  AppPaths paths_;
  RunAccess run_;
};

}  // namespace lumora
