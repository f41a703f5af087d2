#include "ui/frmFileBox.h"
