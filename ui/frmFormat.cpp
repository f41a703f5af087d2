#include "ui/frmFormat.h"
