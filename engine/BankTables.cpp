#include "engine/BankTables.h"

#include <QByteArrayView>
#include <cstring>

#include "engine/Lib_File.h"
#include "engine/ThreadState.h"

thread_local std::array<qint64, BankCount> BankStart{};
thread_local std::array<qint64, BankCount> BankLength{};
thread_local RecognitionReport LastRecognition;

std::array<QByteArray, BankCount>& BankData() {
  static PerThread<std::array<QByteArray, BankCount>> banks;
  return banks.get();
}

using Lib_File::InputFile;
using Lib_File::ReadBytes;

namespace {

// Marks of the 256K recognition, at offsets from the start of a bank.
constexpr qint64 CopyrightOffset = 32611;
constexpr QByteArrayView Copyright("Copyright");
constexpr QByteArrayView CopyrightFord("Copyright Ford");

struct SlotLayout {
  qint64 imageLength;
  std::array<qint64, 4> start;   // slots 0, 1, 8, 9
  std::array<qint64, 4> length;  // 0 for an unused slot
};

constexpr std::array<SlotLayout, 5> Layouts{{
    {Length88K, {0, 0, Size32K, 0}, {0, Size32K, Size56K, 0}},
    {Length112K, {0, 0, Size56K, 0}, {0, Size56K, Size56K, 0}},
    {Length216K,
     {0, Size56K, Size56K + Size48K, 2 * Size56K + Size48K},
     {Size56K, Size48K, Size56K, Size56K}},
    {Length224K, {0, Size56K, 2 * Size56K, 3 * Size56K}, {Size56K, Size56K, Size56K, Size56K}},
    {Length256K, {0, Size64K, 2 * Size64K, 3 * Size64K}, {Size64K, Size64K, Size64K, Size64K}},
}};

// Word marks: two bytes compared exactly, as their hex text would be
// ("27FE" is 0x27 0xFE).
constexpr int Word27FE = 0x27FE;
constexpr int WordFFFA = 0xFFFA;
constexpr int WordFFFF = 0xFFFF;

// The word at offset, high byte first; -1 when its two bytes reach past the
// end of the data, so that no mark matches there.
int wordAt(const QByteArray& data, qint64 offset) {
  if (offset < 0 || offset + 2 > data.size()) return -1;
  return static_cast<quint8>(data[offset]) << 8 | static_cast<quint8>(data[offset + 1]);
}

int byteAt(const QByteArray& data, qint64 offset) {
  return offset >= 0 && offset < data.size() ? static_cast<quint8>(data[offset]) : -1;
}

bool bytesAt(const QByteArray& data, qint64 offset, QByteArrayView mark) {
  if (offset < 0 || offset + mark.size() > data.size()) return false;
  return QByteArrayView(data).sliced(offset, mark.size()) == mark;
}

// The one search over whole slots. memchr() skips to each candidate first
// byte, which is many times faster than a general substring search on bank
// data, where the first letter of the mark is rare.
bool containsCopyrightFord(const QByteArray& data) {
  if (data.size() < CopyrightFord.size()) return false;
  const char* const begin = data.constData();
  const char* const last = begin + data.size() - CopyrightFord.size();
  for (const char* at = begin; at <= last; ++at) {
    at = static_cast<const char*>(
        std::memchr(at, CopyrightFord.front(), static_cast<size_t>(last - at) + 1));
    if (at == nullptr) return false;
    if (std::memcmp(at, CopyrightFord.data(), static_cast<size_t>(CopyrightFord.size())) == 0) {
      return true;
    }
  }
  return false;
}

// Reads one slot, whole, with one call; false when the read comes up short.
bool readSlot(int slot, QByteArray* into) {
  const auto s = static_cast<size_t>(slot);
  *into = ReadBytes(InputFile, BankStart[s], BankLength[s]);
  return into->size() == BankLength[s];
}

// Notes why the image is refused; false, for ConvertFile to return.
bool refuse(Refusal refusal) {
  LastRecognition.refusal = refusal;
  return false;
}

bool readFourSlots() {
  for (int slot : SlotNames) {
    if (!readSlot(slot, &BankData()[static_cast<size_t>(slot)])) {
      return refuse(Refusal::UnreadableSlot);
    }
  }
  return true;
}

bool convertTwoBank() {
  BankData()[0].clear();
  BankData()[9].clear();
  const bool bank8First = wordAt(ReadBytes(InputFile, 0, 2), 0) == WordFFFA;
  LastRecognition.SlotBank[1] = bank8First ? 8 : 1;
  LastRecognition.SlotBank[8] = bank8First ? 1 : 8;
  if (readSlot(1, &BankData()[bank8First ? 8 : 1]) &&
      readSlot(8, &BankData()[bank8First ? 1 : 8])) {
    return true;
  }
  return refuse(Refusal::UnreadableSlot);
}

// The arranged bank at index i is the `length` bytes from `offset` of the
// slot named by the bank recognised in slot i; BankData still holds the
// slots here. The slots are shared rather than copied and the tables let go
// of them before they are cut, so that a slot taken by one index only is cut
// in place without copying its bytes; a slot taken by two indexes is copied
// once, by the first cut.
void arrange(const std::array<quint8, BankCount>& SlotBank, qint64 offset, qint64 length) {
  std::array<QByteArray, BankCount> Arranged{};
  for (int i : SlotNames) {
    const auto index = static_cast<size_t>(i);
    Arranged[index] = BankData()[SlotBank[index]];
  }
  for (int i : SlotNames) BankData()[static_cast<size_t>(i)].clear();
  for (int i : SlotNames) {
    const auto index = static_cast<size_t>(i);
    QByteArray& bank = Arranged[index];
    bank.remove(0, offset);
    bank.truncate(length);
    BankData()[index] = std::move(bank);
  }
}

bool convert256K() {
  if (!readFourSlots()) return false;

  qint64 PadOffset = -1;
  for (int slot : SlotNames) {
    if (PadOffset != -1) break;
    const QByteArray& data = BankData()[static_cast<size_t>(slot)];
    if (wordAt(data, 0) == Word27FE) PadOffset = 0;
    if (wordAt(data, Size8K) == Word27FE) PadOffset = Size8K;
    if (wordAt(data, 0) == WordFFFA) PadOffset = 0;
    if (wordAt(data, Size8K) == WordFFFA) PadOffset = Size8K;
  }
  if (PadOffset == -1) return refuse(Refusal::NoPaddingMark);
  LastRecognition.PadOffset = PadOffset;

  const qint64 p = PadOffset;
  std::array<quint8, BankCount>& SlotBank = LastRecognition.SlotBank;
  quint8 Bank1Class = 0;
  for (int slot : SlotNames) {
    const QByteArray& data = BankData()[static_cast<size_t>(slot)];
    quint8& bank = SlotBank[static_cast<size_t>(slot)];
    const int second = byteAt(data, p + 1);
    if (wordAt(data, p) == Word27FE) {
      bank = 1;
      Bank1Class = 216;
    } else if (second == 0x2C || second == 0x31) {
      bank = 1;
      Bank1Class = bytesAt(data, p + CopyrightOffset, Copyright) ? 88 : 112;
    } else if (wordAt(data, p) == WordFFFA && wordAt(data, p + 2) != Word27FE) {
      bank = 8;
    } else if (containsCopyrightFord(data)) {
      bank = 9;
    } else {
      bank = 0;
    }
  }

  arrange(SlotBank, p, Size56K);
  switch (Bank1Class) {
    case 88: BankData()[1].truncate(Size32K); break;
    case 112: break;
    default: BankData()[1].truncate(Size48K); break;
  }
  return true;
}

bool convertFourBank() {
  if (!readFourSlots()) return false;

  std::array<int, BankCount> first{}, second{};
  for (int slot : SlotNames) {
    const auto s = static_cast<size_t>(slot);
    first[s] = wordAt(BankData()[s], 0);
    second[s] = wordAt(BankData()[s], 2);
  }
  if (first[0] == WordFFFF) return refuse(Refusal::Slot0Blank);
  if (first[1] == WordFFFF) return refuse(Refusal::Slot1Blank);
  if ((first[8] == WordFFFF || first[9] == WordFFFF) && !containsCopyrightFord(BankData()[1])) {
    return refuse(first[8] == WordFFFF ? Refusal::Slot8Blank : Refusal::Slot9Blank);
  }

  std::array<quint8, BankCount>& SlotBank = LastRecognition.SlotBank;
  for (int slot : SlotNames) {
    const auto s = static_cast<size_t>(slot);
    if (first[s] == Word27FE) {
      SlotBank[s] = 1;
    } else if (first[s] == WordFFFA && second[s] != Word27FE) {
      SlotBank[s] = 8;
    } else if (containsCopyrightFord(BankData()[s])) {
      SlotBank[s] = second[s] == Word27FE ? 9 : 1;
    } else {
      SlotBank[s] = 0;
    }
  }

  arrange(SlotBank, 0, Size56K);
  BankData()[1].truncate(Size48K);
  return true;
}

}  // namespace

bool ClassifyLength(qint64 imageLength) {
  for (const SlotLayout& layout : Layouts) {
    if (layout.imageLength != imageLength) continue;
    BankStart = {};
    BankLength = {};
    for (size_t k = 0; k < SlotNames.size(); ++k) {
      const auto slot = static_cast<size_t>(SlotNames[k]);
      BankStart[slot] = layout.start[k];
      BankLength[slot] = layout.length[k];
    }
    return true;
  }
  return false;
}

QString LengthClassName(qint64 imageLength) {
  for (const SlotLayout& layout : Layouts) {
    if (layout.imageLength == imageLength) return QString::number(imageLength / K) + u'K';
  }
  return {};
}

bool ClassifyImage() {
  return ClassifyLength(Lib_File::FileLength(InputFile));
}

bool ConvertFile() {
  LastRecognition = {};
  switch (Lib_File::FileLength(InputFile)) {
    case Length88K:
    case Length112K: return convertTwoBank();
    case Length216K:
    case Length224K: return convertFourBank();
    case Length256K: return convert256K();
    default: return refuse(Refusal::UnknownLength);
  }
}

QString RefusalText(Refusal refusal) {
  switch (refusal) {
    case Refusal::None: break;
    case Refusal::UnknownLength: return QStringLiteral("no image layout has this length");
    case Refusal::UnreadableSlot: return QStringLiteral("the image could not be read whole");
    case Refusal::NoPaddingMark:
      return QStringLiteral("no slot begins 27 FE or FF FA, neither at its start nor 8K into it");
    case Refusal::Slot0Blank: return QStringLiteral("slot 0 begins FF FF");
    case Refusal::Slot1Blank: return QStringLiteral("slot 1 begins FF FF");
    case Refusal::Slot8Blank:
      return QStringLiteral("slot 8 begins FF FF and slot 1 holds no \"Copyright Ford\"");
    case Refusal::Slot9Blank:
      return QStringLiteral("slot 9 begins FF FF and slot 1 holds no \"Copyright Ford\"");
  }
  return {};
}

void ClearBankTables() {
  BankStart = {};
  BankLength = {};
  for (auto& bank : BankData()) bank.clear();
  LastRecognition = {};
}
