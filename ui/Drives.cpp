#include "ui/Drives.h"
