#pragma once

#include "ui/Form.h"

// Placeholder until the folder picker is built.
class frmFileBox : public Form {
  Q_OBJECT
};

namespace Forms {
inline FormSlot<::frmFileBox> frmFileBox;
}
