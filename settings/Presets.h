#pragma once

#include <array>

#include "settings/modGlobals.h"

// The five ready-made output layouts, offered by the preset window and by
// the command line's --preset. A preset sets the layout only: the overwrite
// policy and the pad value stay as they are.
struct OutputPreset {
  const char* caption;
  bool limit32K;
  bool bank1Only;
  PadSizeValue padSize;
  PadTypeCode padType;
  const char* order;
};

// 224K and 256K are four banks padded to 56K and to 64K.
inline constexpr std::array<OutputPreset, 5> OutputPresets{{
    {"Standard Bank Order - 0, 1, 8, 9 (No Padding)", false, false, NoPadding, RearPadding,
     "0,1,8,9"},
    {"Ford xDS Bank Order - 0, 1, 9, 8 (No Padding)", false, false, NoPadding, RearPadding,
     "0,1,9,8"},
    {"TS-Perf Bank Order - 8, 1, 0, 9 (224K Rear Padding)", false, false, Padding56K, RearPadding,
     "8,1,0,9"},
    {"Moates Bank Order - 0, 1, 8, 9 (256K Front Padding)", false, false, Padding64K, FrontPadding,
     "0,1,8,9"},
    {"Bank 1 Only (Limit to 32K)", true, true, NoPadding, RearPadding, "0,1,8,9"},
}};
