#include "ui/frmOptions.h"
