#pragma once

#include <array>

#include "ui/Form.h"

class QCheckBox;
class QGroupBox;
class QLabel;
class QPushButton;
class QRadioButton;
class TextBox;

// The options window: overwrite policy, output bank order, bank 1 only with
// its 32K limit, padding size and type, and the pad value. It is built from
// ConversionSettings each time it opens and writes them back only when "Ok"
// accepts the entries; every other way of closing it discards them.
class frmOptions : public Form {
  Q_OBJECT

 public:
  frmOptions();

  void chkBank1_Click();
  void optPadSize_Click(int Index);
  void txtPadValue_KeyPress(int& KeyAscii);
  void txtOutputOrder_DblClick();
  void cmdOK_Click();
  void cmdCancel_Click();

  QGroupBox* fraOverwrite = nullptr;
  QGroupBox* Frame1 = nullptr;
  QGroupBox* fraPadSize = nullptr;
  QGroupBox* fraPadType = nullptr;
  std::array<QRadioButton*, 3> optOverwrite{};
  std::array<QRadioButton*, 3> optPadSize{};
  std::array<QRadioButton*, 2> optPadType{};
  TextBox* txtOutputOrder = nullptr;
  TextBox* txtPadValue = nullptr;
  QLabel* lblPadValue = nullptr;
  QCheckBox* chkBank1 = nullptr;
  QCheckBox* chkLimit32K = nullptr;
  QPushButton* cmdCancel = nullptr;
  QPushButton* cmdOK = nullptr;

 protected:
  void Form_Load() override;
};

namespace Forms {
inline FormSlot<::frmOptions> frmOptions;
}
