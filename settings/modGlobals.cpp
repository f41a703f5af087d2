#include "settings/modGlobals.h"

void ResetGlobals() {
  ConversionSettings = {};
  FileList.clear();
  FileCount = 0;
  FileIndex = 0;
  Processing = false;
  CancelRequested = false;
  PickerCaption.clear();
  PickerFolder.clear();
}
