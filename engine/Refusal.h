#pragma once

#include <QtGlobal>

// Why the recognition refused an image: the check that failed.
enum class Refusal : quint8 {
  None,
  UnknownLength,   // the file's length is none of the five image lengths
  UnreadableSlot,  // the image could not be read whole
  NoPaddingMark,   // 256K: no 27 FE or FF FA at the start of a slot or 8K into it
  Slot0Blank,      // 216K/224K: slot 0 begins FF FF
  Slot1Blank,      // slot 1 begins FF FF
  Slot8Blank,      // slot 8 begins FF FF and slot 1 holds no "Copyright Ford"
  Slot9Blank,      // slot 9 begins FF FF and slot 1 holds no "Copyright Ford"
  BanksNotApart,   // four slots that do not read as four different banks
  Bank1Misplaced,  // 216K: bank 1 read in a slot other than the 48K slot 1
};

// Whether stating the image's layout can read what the marks refused.
inline bool StatingReads(Refusal refusal) {
  return refusal != Refusal::None && refusal != Refusal::UnknownLength &&
         refusal != Refusal::UnreadableSlot;
}
