#pragma once

#include "ui/Form.h"

// Placeholder until the options dialog is built.
class frmOptions : public Form {
  Q_OBJECT
};

namespace Forms {
inline FormSlot<::frmOptions> frmOptions;
}
