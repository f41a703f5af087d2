#pragma once

#include <QString>

// Why the recognition refused an image: the check that failed.
enum class Refusal : quint8 {
  None,
  UnknownLength,   // the file's length is none of the five image lengths
  UnreadableSlot,  // a slot could not be read whole
  NoPaddingMark,   // 256K: no 27 FE or FF FA at the start of a slot or 8K into it
  Slot0Blank,      // 216K/224K: slot 0 begins FF FF
  Slot1Blank,      // slot 1 begins FF FF
  Slot8Blank,      // slot 8 begins FF FF and slot 1 holds no "Copyright Ford"
  Slot9Blank,      // slot 9 begins FF FF and slot 1 holds no "Copyright Ford"
};

// The refusal in words, e.g. "slot 0 begins FF FF"; empty for None.
QString RefusalText(Refusal refusal);
