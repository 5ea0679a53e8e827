// The right-hand control column: the inputs of a calculation, the custom
// rotation buttons and the search row.
#pragma once

#include <QWidget>
#include <array>

#include "inputs/parameters.hpp"

class QCheckBox;
class QComboBox;
class QLabel;
class QLineEdit;
class QPushButton;
class QRadioButton;
class QStackedWidget;

namespace lumora {

class UpDownButtons;

class ParameterPanel : public QWidget {
  Q_OBJECT
 public:
  explicit ParameterPanel(QWidget* parent = nullptr);

  // The fields as typed.
  ParameterTexts texts() const;
  // Sets every field as given, without the effects of a click.
  void setTexts(const ParameterTexts& texts);

  // Choosing a system in the list: shows its group list with its default group,
  // its loop limits and c; emits systemChosen.
  void chooseSystem(int systemIndex);
  // Choosing an anode: its wavelength, editable only for "US".
  void chooseAnode(int anodeIndex);
  // Decimal commas become points in the numeric fields and the angle fields.
  void normaliseDecimalCommas();

  CrystalSystem system() const;
  const SpaceGroup& group() const;

  QString findText() const;
  void setFindText(const QString& text);
  QString angleText(int axisIndex) const;

  // The field that holds a value, to point the user at a bad one.
  QLineEdit* field(InputField which, int loopIndex = 0) const;

 signals:
  void systemChosen(int systemIndex);
  // btANG(i): left click turns by +angle, right click by -angle.
  void rotationRequested(int axis, bool negative);
  void searchRequested();
  // Enter in a field of the calculation's inputs.
  void runRequested();

 protected:
  bool eventFilter(QObject* watched, QEvent* event) override;

 private:
  QWidget* buildLatticeInputs();
  QWidget* buildLoopLimits();
  QWidget* buildRotation();
  QWidget* buildSearch();
  void showSystem(int systemIndex, int groupIndex);
  QComboBox* visibleGroupList() const;

  QComboBox* cmbSystem_ = nullptr;
  QStackedWidget* groupLists_ = nullptr;
  std::array<QComboBox*, 4> cmbSG_{};
  QLineEdit* tfA_ = nullptr;
  QLineEdit* tfC_ = nullptr;
  QLabel* labelC_ = nullptr;
  QLineEdit* tfWL_ = nullptr;
  QComboBox* cmbAnode_ = nullptr;
  QLineEdit* tfQI_ = nullptr;
  QLineEdit* tfTH1_ = nullptr;
  QLineEdit* tfTH2_ = nullptr;
  std::array<QLineEdit*, 6> tfH_{};
  QCheckBox* chkComplete_ = nullptr;
  std::array<UpDownButtons*, 6> up_{};
  QLabel* lhkl2_ = nullptr;
  QRadioButton* rbSteurer_ = nullptr;
  QRadioButton* rbYamamoto_ = nullptr;
  std::array<QPushButton*, 3> btANG_{};
  std::array<QLineEdit*, 3> tfANG_{};
  QLineEdit* tfFind_ = nullptr;
  QPushButton* bRTFFIND_ = nullptr;
};

}  // namespace lumora
