// The tiling window's options column: symmetry, loop order, scale and
// brightness, the multigrid shifts with their presets, the tile legend and
// the notes on the tiling on show.
#pragma once

#include <QGroupBox>
#include <optional>
#include <vector>

#include "tiling/tiling.hpp"
#include "tiling/tiling_inputs.hpp"

class QButtonGroup;
class QCheckBox;
class QComboBox;
class QDoubleSpinBox;
class QLabel;
class QLineEdit;
class QScrollBar;

namespace lumora {

class TilingOptionsPanel : public QGroupBox {
  Q_OBJECT
 public:
  explicit TilingOptionsPanel(QWidget* parent = nullptr);

  // The inputs as set, for a canvas of width x height pixels; nothing, with
  // the reason in `problem`, when the given shifts cannot be read.
  std::optional<TilingInputs> inputs(int width, int height, QString& problem) const;
  bool colourByShape() const;

  // The legend and the note of a generated tiling; legendShapes lists the
  // shapes in legend order when its tiles are coloured by shape.
  void showTiling(const Tiling& tiling, const std::vector<int>& legendShapes);
  // The line under the legend (the transform's report).
  void setMessage(const QString& text);

 signals:
  // A preset has set the symmetry and shifts: the tiling is drawn at once.
  void presetApplied();
  // "Colour by shape" was switched: the tiling on show is drawn again.
  void colourByShapeChanged();

 private:
  void showShiftSum();
  void applyPreset(int index);

  ColorValue gridColor_ = kBlack;
  QScrollBar* scrF_ = nullptr;
  QScrollBar* scrN_ = nullptr;
  QScrollBar* scrZoom_ = nullptr;
  QScrollBar* scrB_ = nullptr;
  QButtonGroup* shiftGroup_ = nullptr;
  QLineEdit* shiftEdit_ = nullptr;
  QLabel* shiftSum_ = nullptr;
  QComboBox* preset_ = nullptr;
  QDoubleSpinBox* presetSum_ = nullptr;
  QCheckBox* colourByShape_ = nullptr;
  QLabel* swatches_[10] = {};
  QLabel* legendTexts_[10] = {};
  QLabel* note_ = nullptr;
  QLabel* message_ = nullptr;
};

}  // namespace lumora
