#pragma once

#include <array>

#include "ui/Form.h"

class QPushButton;

// Five ready-made output layouts. Pressing one writes it into the options
// window's controls (never into the settings themselves) and closes this
// window; closing it any other way changes nothing.
class frmFormat : public Form {
  Q_OBJECT

 public:
  frmFormat();

  void cmdSelection_Click(int Index);

  std::array<QPushButton*, 5> cmdSelection{};
};

namespace Forms {
inline FormSlot<::frmFormat> frmFormat;
}
