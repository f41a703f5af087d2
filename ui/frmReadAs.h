#pragma once

#include <QByteArray>
#include <array>
#include <optional>

#include "engine/ImageReading.h"
#include "ui/Form.h"

class QCheckBox;
class QLabel;
class QPushButton;
class QRadioButton;
class TextBox;
class LayoutPreview;

// States the layout of one image whose marks cannot tell its banks apart:
// the banks in file order and, for a 256K image, where the fill stands in
// each slot. The strip shows each slot as the stated layout reads it before
// OK. OK states it for the file or, checked, for every image of its length
// the marks cannot tell, for this session; the image list and the window's
// runs then read those images so.
class frmReadAs : public Form {
  Q_OBJECT

 public:
  frmReadAs();

  // The image to state the layout of: its name as the run lists it, its
  // path, and the layout stated for it so far, if any. False, with nothing
  // shown, when it cannot be read or holds no four banks.
  bool Begin(const QString& name, const QString& path, const StatedLayout* stated);

  void txtInputOrder_Change();
  void cmdOK_Click();
  void cmdCancel_Click();

  QLabel* lblImage = nullptr;
  QLabel* Label1 = nullptr;
  TextBox* txtInputOrder = nullptr;
  std::array<QRadioButton*, 2> optInputPad{};  // 0 rear, 1 front: as Padding Type
  QCheckBox* chkSameLength = nullptr;
  LayoutPreview* picLayout = nullptr;
  QLabel* lblReading = nullptr;
  QPushButton* cmdOK = nullptr;
  QPushButton* cmdCancel = nullptr;

 private:
  // The layout the controls state now; none while the order is no order of
  // an image's banks.
  std::optional<StatedLayout> stated() const;

  QString name_;
  QByteArray image_;
};

namespace Forms {
inline FormSlot<::frmReadAs> frmReadAs;
}
