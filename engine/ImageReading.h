#pragma once

#include <QByteArrayView>
#include <QList>
#include <QString>
#include <array>
#include <optional>

#include "engine/Refusal.h"

// Reading an input image: from its bytes (and, where the marks cannot tell,
// the layout the user states) to where each of its banks lies in the file.
// Slots are places in the file, named 0, 1, 8 and 9 in file order (1 and 8
// in a two-bank image); which bank a slot holds is found by the marks.

// The numbers of the four program banks, lowest first; they also name the
// slots of a four-bank image.
inline constexpr std::array<int, 4> SlotNames{0, 1, 8, 9};
// Bank numbers run from 0 to 9; 2 to 7 name no bank and are always empty.
inline constexpr int BankCount = 10;

inline constexpr qint64 K = 1024;
inline constexpr qint64 Size8K = 8 * K;
inline constexpr qint64 Size32K = 32 * K;
inline constexpr qint64 Size48K = 48 * K;
inline constexpr qint64 Size56K = 56 * K;
inline constexpr qint64 Size64K = 64 * K;

// The five accepted image lengths.
inline constexpr qint64 Length88K = 88 * K;    // two banks: 32K + 56K
inline constexpr qint64 Length112K = 112 * K;  // two banks: 56K + 56K
inline constexpr qint64 Length216K = 216 * K;  // four banks, one of them 48K
inline constexpr qint64 Length224K = 224 * K;  // four banks of 56K
inline constexpr qint64 Length256K = 256 * K;  // four 64K slots: 56K bank + 8K fill

// The class of an image of that length, "88K", "112K", "216K", "224K" or
// "256K"; empty for any other length.
QString LengthClassName(qint64 imageLength);

// Whether an image of that length holds four banks, and so may need its
// layout stated.
bool IsFourBankLength(qint64 imageLength);

// The layout of a four-bank image as the user states it, for an image whose
// marks cannot tell its banks apart: the bank in each slot in file order,
// and for a 256K image where the 8K of fill stands in each slot.
struct StatedLayout {
  std::array<int, 4> order{0, 1, 8, 9};
  std::optional<qint64> PadOffset;  // 256K: 0 rear padding, 8192 front padding
  bool operator==(const StatedLayout&) const = default;
};

// One slot of the image and what it was read as.
struct SlotReading {
  int slot;           // 0, 1, 8 or 9
  int bank;           // SlotBank: the bank the slot holds
  qint64 BankStart;   // of the slot, in the file
  qint64 BankLength;  // of the slot
  qint64 offset;      // of the slot's bank data, in the file
  qint64 length;      // of the slot's bank data
  // The slot's bytes are all this value: it holds no bank at all.
  std::optional<quint8> fillOnly;
};

// Where the bytes of one bank are in the file.
struct BankPlace {
  int bank;
  int slot;       // the slot it is taken from
  qint64 offset;  // in the file, of its first byte
  qint64 length;  // as kept: bank 1 may be cut shorter than its slot
};

struct ImageReading {
  qint64 length = 0;
  QList<SlotReading> slots;  // in file order; empty for a length no layout has
  qint64 PadOffset = -1;     // 256K: 0 rear padding, 8192 front padding
  int Bank1Class = 0;        // 256K: 216, 88 or 112, as the marks of bank 1 tell
  bool stated = false;       // read as the user stated, not by the marks
  Refusal refusal = Refusal::None;
  // The banks by bank number, when the image is read: each bank once, from
  // a slot of its own.
  QList<BankPlace> banks;

  bool recognised() const { return refusal == Refusal::None; }
  const BankPlace* bank(int number) const;
};

// Reads the image whose bytes these are. The marks decide; where they refuse
// a four-bank image or cannot tell its banks apart and a layout is stated,
// the image is read as stated instead.
ImageReading ConvertFile(QByteArrayView image, const StatedLayout* stated = nullptr);

// An image of this length left unread for that reason: a length no layout
// has, or bytes that could not be read whole.
ImageReading UnreadImage(qint64 length, Refusal refusal);
