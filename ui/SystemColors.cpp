#include "ui/SystemColors.h"
