#include "engine/BankTables.h"

#include <QByteArrayView>

#include "engine/Lib_Convert.h"
#include "engine/Lib_File.h"

using Lib_Convert::StrToHex;
using Lib_File::InputFile;
using Lib_File::ReadBytes;

namespace {

constexpr std::array<int, 4> SlotNames{0, 1, 8, 9};

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

// The hex text of the two bytes at offset; empty when they reach past the
// end of the data, so that no mark matches there.
QString wordAt(const QByteArray& data, qint64 offset) {
  if (offset < 0 || offset + 2 > data.size()) return {};
  return StrToHex(data.mid(offset, 2));
}

bool bytesAt(const QByteArray& data, qint64 offset, QByteArrayView mark) {
  if (offset < 0 || offset + mark.size() > data.size()) return false;
  return QByteArrayView(data).sliced(offset, mark.size()) == mark;
}

bool containsCopyrightFord(const QByteArray& data) {
  return QByteArrayView(data).indexOf(CopyrightFord) >= 0;
}

// Reads one slot, whole, with one call; false when the read comes up short.
bool readSlot(int slot, QByteArray* into) {
  const auto s = static_cast<size_t>(slot);
  *into = ReadBytes(InputFile, BankStart[s], BankLength[s]);
  return into->size() == BankLength[s];
}

bool readFourSlots() {
  for (int slot : SlotNames) {
    if (!readSlot(slot, &BankData[static_cast<size_t>(slot)])) return false;
  }
  return true;
}

bool convertTwoBank() {
  BankData[0].clear();
  BankData[9].clear();
  const bool bank8First = StrToHex(ReadBytes(InputFile, 0, 2)) == "FFFA";
  return readSlot(1, &BankData[bank8First ? 8 : 1]) && readSlot(8, &BankData[bank8First ? 1 : 8]);
}

// The arranged bank at index i is the slot named by the bank recognised in
// slot i; BankData still holds the slots here.
void arrange(const std::array<quint8, BankCount>& SlotBank, qint64 offset, qint64 length) {
  std::array<QByteArray, BankCount> Arranged{};
  for (int i : SlotNames) {
    const auto index = static_cast<size_t>(i);
    Arranged[index] = BankData[SlotBank[index]].mid(offset, length);
  }
  for (int i : SlotNames) {
    const auto index = static_cast<size_t>(i);
    BankData[index] = std::move(Arranged[index]);
  }
}

bool convert256K() {
  if (!readFourSlots()) return false;

  qint64 PadOffset = -1;
  for (int slot : SlotNames) {
    if (PadOffset != -1) break;
    const QByteArray& data = BankData[static_cast<size_t>(slot)];
    if (wordAt(data, 0) == "27FE") PadOffset = 0;
    if (wordAt(data, Size8K) == "27FE") PadOffset = Size8K;
    if (wordAt(data, 0) == "FFFA") PadOffset = 0;
    if (wordAt(data, Size8K) == "FFFA") PadOffset = Size8K;
  }
  if (PadOffset == -1) return false;

  const qint64 p = PadOffset;
  std::array<quint8, BankCount> SlotBank{};
  quint8 Bank1Class = 0;
  for (int slot : SlotNames) {
    const QByteArray& data = BankData[static_cast<size_t>(slot)];
    quint8& bank = SlotBank[static_cast<size_t>(slot)];
    const auto second = p + 1 < data.size() ? static_cast<quint8>(data[p + 1]) : 0;
    if (bytesAt(data, p, "\x27\xFE")) {
      bank = 1;
      Bank1Class = 216;
    } else if (p + 1 < data.size() && (second == 0x2C || second == 0x31)) {
      bank = 1;
      Bank1Class = bytesAt(data, p + CopyrightOffset, Copyright) ? 88 : 112;
    } else if (bytesAt(data, p, "\xFF\xFA") && !bytesAt(data, p + 2, "\x27\xFE")) {
      bank = 8;
    } else if (containsCopyrightFord(data)) {
      bank = 9;
    } else {
      bank = 0;
    }
  }

  arrange(SlotBank, p, Size56K);
  switch (Bank1Class) {
    case 88: BankData[1].truncate(Size32K); break;
    case 112: break;
    default: BankData[1].truncate(Size48K); break;
  }
  return true;
}

bool convertFourBank() {
  if (!readFourSlots()) return false;

  std::array<QString, BankCount> first, second;
  for (int slot : SlotNames) {
    const auto s = static_cast<size_t>(slot);
    first[s] = wordAt(BankData[s], 0);
    second[s] = wordAt(BankData[s], 2);
  }
  const bool slot1HasFord = containsCopyrightFord(BankData[1]);
  if (first[0] == "FFFF" || first[1] == "FFFF") return false;
  if (first[8] == "FFFF" && !slot1HasFord) return false;
  if (first[9] == "FFFF" && !slot1HasFord) return false;

  std::array<quint8, BankCount> SlotBank{};
  for (int slot : SlotNames) {
    const auto s = static_cast<size_t>(slot);
    if (first[s] == "27FE") {
      SlotBank[s] = 1;
    } else if (first[s] == "FFFA" && second[s] != "27FE") {
      SlotBank[s] = 8;
    } else if (containsCopyrightFord(BankData[s])) {
      SlotBank[s] = second[s] == "27FE" ? 9 : 1;
    } else {
      SlotBank[s] = 0;
    }
  }

  arrange(SlotBank, 0, -1);
  BankData[1].truncate(Size48K);
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

bool ClassifyImage() {
  return ClassifyLength(Lib_File::FileLength(InputFile));
}

bool ConvertFile() {
  switch (Lib_File::FileLength(InputFile)) {
    case Length88K:
    case Length112K: return convertTwoBank();
    case Length216K:
    case Length224K: return convertFourBank();
    case Length256K: return convert256K();
    default: return false;
  }
}

void ClearBankTables() {
  BankStart = {};
  BankLength = {};
  for (auto& bank : BankData) bank.clear();
}
