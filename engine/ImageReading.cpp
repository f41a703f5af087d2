#include "engine/ImageReading.h"

#include <QByteArray>
#include <algorithm>
#include <cstring>

namespace {

// Marks of the recognition, at offsets from the start of a bank.
constexpr qint64 CopyrightOffset = 32611;
constexpr QByteArrayView Copyright("Copyright");
constexpr QByteArrayView CopyrightFord("Copyright Ford");

// Word marks: two bytes compared exactly, as their hex text would be
// ("27FE" is 0x27 0xFE).
constexpr int Word27FE = 0x27FE;
constexpr int WordFFFA = 0xFFFA;
constexpr int WordFFFF = 0xFFFF;

struct SlotGeometry {
  qint64 imageLength;
  std::array<qint64, 4> length;  // slots in file order; starts follow one another
};

constexpr std::array<SlotGeometry, 5> Geometries{{
    {Length88K, {Size32K, Size56K, 0, 0}},
    {Length112K, {Size56K, Size56K, 0, 0}},
    {Length216K, {Size56K, Size48K, Size56K, Size56K}},
    {Length224K, {Size56K, Size56K, Size56K, Size56K}},
    {Length256K, {Size64K, Size64K, Size64K, Size64K}},
}};

const SlotGeometry* geometryOf(qint64 imageLength) {
  for (const SlotGeometry& g : Geometries) {
    if (g.imageLength == imageLength) return &g;
  }
  return nullptr;
}

// A slot's bytes, which a mark never reads past.
QByteArrayView slotBytes(QByteArrayView image, const SlotReading& s) {
  return image.sliced(s.BankStart, s.BankLength);
}

// The word at offset, high byte first; -1 when its two bytes reach past the
// end of the data, so that no mark matches there.
int wordAt(QByteArrayView data, qint64 offset) {
  if (offset < 0 || offset + 2 > data.size()) return -1;
  return static_cast<quint8>(data[offset]) << 8 | static_cast<quint8>(data[offset + 1]);
}

int byteAt(QByteArrayView data, qint64 offset) {
  return offset >= 0 && offset < data.size() ? static_cast<quint8>(data[offset]) : -1;
}

bool bytesAt(QByteArrayView data, qint64 offset, QByteArrayView mark) {
  if (offset < 0 || offset + mark.size() > data.size()) return false;
  return data.sliced(offset, mark.size()) == mark;
}

// The one search over whole slots. memchr() skips to each candidate first
// byte, which is many times faster than a general substring search on bank
// data, where the first letter of the mark is rare.
bool containsCopyrightFord(QByteArrayView data) {
  if (data.size() < CopyrightFord.size()) return false;
  const char* const begin = data.data();
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

// The value every byte has, if they all have one. Bank data differs within
// its first bytes, so this ends at once for any slot that holds a bank.
std::optional<quint8> oneValue(QByteArrayView data) {
  if (data.isEmpty()) return std::nullopt;
  if (std::memcmp(data.data(), data.data() + 1, static_cast<size_t>(data.size() - 1)) != 0) {
    return std::nullopt;
  }
  return static_cast<quint8>(data[0]);
}

// Slots of these lengths one after another in file order, their bank data
// the whole slot until placeBankData() says otherwise; the lengths are a
// stated layout's where it moves the 48K slot of a 216K image.
QList<SlotReading> slotsOf(const std::array<qint64, 4>& lengths, bool twoBanks) {
  QList<SlotReading> slots;
  qint64 start = 0;
  for (size_t k = 0; k < lengths.size(); ++k) {
    if (lengths[k] == 0) break;
    const int name = twoBanks ? (k == 0 ? 1 : 8) : SlotNames[k];
    slots.append({name, 0, start, lengths[k], start, lengths[k], std::nullopt});
    start += lengths[k];
  }
  return slots;
}

// Bank data starts `pad` bytes into each slot and is 56K long (256K only).
void placeBankData(QList<SlotReading>& slots, qint64 pad) {
  for (SlotReading& s : slots) {
    s.offset = s.BankStart + pad;
    s.length = Size56K;
  }
}

void markFillOnly(QByteArrayView image, QList<SlotReading>& slots) {
  for (SlotReading& s : slots) s.fillOnly = oneValue(image.sliced(s.offset, s.length));
}

// Each bank from the slot that reads as it. A four-bank image must give
// every bank a slot of its own; bank 1 is kept to `bank1Length`.
void takeBanks(ImageReading& r, qint64 bank1Length) {
  r.banks.clear();
  for (int bank : SlotNames) {
    for (const SlotReading& s : r.slots) {
      if (s.bank != bank) continue;
      const qint64 length = bank == 1 ? std::min(s.length, bank1Length) : s.length;
      r.banks.append({bank, s.slot, s.offset, length});
      break;
    }
  }
}

bool fourDifferentBanks(const ImageReading& r) {
  for (int bank : SlotNames) {
    if (std::count_if(r.slots.begin(), r.slots.end(),
                      [bank](const SlotReading& s) { return s.bank == bank; }) != 1) {
      return false;
    }
  }
  return true;
}

// The image with its slots laid out, none of them read yet.
ImageReading laidOut(QByteArrayView image, const std::array<qint64, 4>& lengths, bool twoBanks) {
  ImageReading r;
  r.length = image.size();
  r.slots = slotsOf(lengths, twoBanks);
  return r;
}

ImageReading readTwoBank(QByteArrayView image, const SlotGeometry& g) {
  ImageReading r = laidOut(image, g.length, true);
  markFillOnly(image, r.slots);
  const bool bank8First = wordAt(image, 0) == WordFFFA;
  r.slots[0].bank = bank8First ? 8 : 1;
  r.slots[1].bank = bank8First ? 1 : 8;
  takeBanks(r, Size56K);
  return r;
}

// Which bank 1 of a 256K image is, by its marks at the padding offset:
// 216 (48K), 88 (32K) or 112 (56K).
int bank1ClassOf(QByteArrayView slot, qint64 p) {
  if (wordAt(slot, p) == Word27FE) return 216;
  const int second = byteAt(slot, p + 1);
  if (second == 0x2C || second == 0x31)
    return bytesAt(slot, p + CopyrightOffset, Copyright) ? 88 : 112;
  return 216;
}

qint64 bank1LengthOf(int bank1Class) {
  switch (bank1Class) {
    case 88: return Size32K;
    case 112: return Size56K;
    default: return Size48K;
  }
}

ImageReading read256K(QByteArrayView image, const SlotGeometry& g) {
  ImageReading r = laidOut(image, g.length, false);

  qint64 PadOffset = -1;
  for (const SlotReading& s : r.slots) {
    if (PadOffset != -1) break;
    const QByteArrayView data = slotBytes(image, s);
    if (wordAt(data, 0) == Word27FE) PadOffset = 0;
    if (wordAt(data, Size8K) == Word27FE) PadOffset = Size8K;
    if (wordAt(data, 0) == WordFFFA) PadOffset = 0;
    if (wordAt(data, Size8K) == WordFFFA) PadOffset = Size8K;
  }
  if (PadOffset == -1) {
    markFillOnly(image, r.slots);
    r.refusal = Refusal::NoPaddingMark;
    return r;
  }
  r.PadOffset = PadOffset;
  placeBankData(r.slots, PadOffset);
  markFillOnly(image, r.slots);

  const qint64 p = PadOffset;
  for (SlotReading& s : r.slots) {
    const QByteArrayView data = slotBytes(image, s);
    const int second = byteAt(data, p + 1);
    if (wordAt(data, p) == Word27FE || second == 0x2C || second == 0x31) {
      s.bank = 1;
      r.Bank1Class = bank1ClassOf(data, p);
    } else if (wordAt(data, p) == WordFFFA && wordAt(data, p + 2) != Word27FE) {
      s.bank = 8;
    } else if (containsCopyrightFord(data)) {
      s.bank = 9;
    } else {
      s.bank = 0;
    }
  }
  if (!fourDifferentBanks(r)) {
    r.refusal = Refusal::BanksNotApart;
    return r;
  }
  takeBanks(r, bank1LengthOf(r.Bank1Class));
  return r;
}

ImageReading read216Or224K(QByteArrayView image, const SlotGeometry& g) {
  ImageReading r = laidOut(image, g.length, false);
  markFillOnly(image, r.slots);

  std::array<int, 4> first{}, second{};
  for (qsizetype k = 0; k < r.slots.size(); ++k) {
    first[size_t(k)] = wordAt(slotBytes(image, r.slots[k]), 0);
    second[size_t(k)] = wordAt(slotBytes(image, r.slots[k]), 2);
  }
  const auto refuse = [&](Refusal refusal) {
    r.refusal = refusal;
    return r;
  };
  if (first[0] == WordFFFF) return refuse(Refusal::Slot0Blank);
  if (first[1] == WordFFFF) return refuse(Refusal::Slot1Blank);
  if ((first[2] == WordFFFF || first[3] == WordFFFF) &&
      !containsCopyrightFord(slotBytes(image, r.slots[1]))) {
    return refuse(first[2] == WordFFFF ? Refusal::Slot8Blank : Refusal::Slot9Blank);
  }

  for (qsizetype k = 0; k < r.slots.size(); ++k) {
    SlotReading& s = r.slots[k];
    const auto i = size_t(k);
    if (first[i] == Word27FE) {
      s.bank = 1;
    } else if (first[i] == WordFFFA && second[i] != Word27FE) {
      s.bank = 8;
    } else if (containsCopyrightFord(slotBytes(image, s))) {
      s.bank = second[i] == Word27FE ? 9 : 1;
    } else {
      s.bank = 0;
    }
  }
  if (!fourDifferentBanks(r)) return refuse(Refusal::BanksNotApart);
  // Bank 1 is the one 48K bank of a 216K image: read anywhere but in the
  // 48K slot, every slot boundary after the first would cut a bank apart.
  if (r.length == Length216K && r.slots[1].bank != 1) return refuse(Refusal::Bank1Misplaced);
  takeBanks(r, Size48K);
  return r;
}

// The image read as the user states its layout. The padding of a 256K image
// is the stated one, else the one its marks found; without either the
// marks' refusal stands.
ImageReading readStated(QByteArrayView image, const StatedLayout& stated,
                        const ImageReading& marks) {
  std::array<qint64, 4> lengths{Size56K, Size56K, Size56K, Size56K};
  if (image.size() == Length256K) lengths.fill(Size64K);
  const auto bank1At = std::find(stated.order.begin(), stated.order.end(), 1);
  if (image.size() == Length216K && bank1At != stated.order.end()) {
    lengths[size_t(bank1At - stated.order.begin())] = Size48K;
  }
  ImageReading r = laidOut(image, lengths, false);
  r.stated = true;
  qint64 bank1Length = Size48K;
  if (image.size() == Length256K) {
    const qint64 pad = stated.PadOffset.value_or(marks.PadOffset);
    if (pad != 0 && pad != Size8K) return marks;
    r.PadOffset = pad;
    placeBankData(r.slots, pad);
  }
  markFillOnly(image, r.slots);
  for (qsizetype k = 0; k < r.slots.size(); ++k) r.slots[k].bank = stated.order[size_t(k)];
  if (!fourDifferentBanks(r)) return marks;
  if (image.size() == Length256K) {
    const SlotReading& one = *std::find_if(r.slots.begin(), r.slots.end(),
                                           [](const SlotReading& s) { return s.bank == 1; });
    r.Bank1Class = bank1ClassOf(slotBytes(image, one), r.PadOffset);
    bank1Length = bank1LengthOf(r.Bank1Class);
  }
  takeBanks(r, bank1Length);
  return r;
}

}  // namespace

QString LengthClassName(qint64 imageLength) {
  if (geometryOf(imageLength) == nullptr) return {};
  return QString::number(imageLength / K) + u'K';
}

bool IsFourBankLength(qint64 imageLength) {
  return imageLength == Length216K || imageLength == Length224K || imageLength == Length256K;
}

const BankPlace* ImageReading::bank(int number) const {
  for (const BankPlace& b : banks) {
    if (b.bank == number) return &b;
  }
  return nullptr;
}

ImageReading ConvertFile(QByteArrayView image, const StatedLayout* stated) {
  const SlotGeometry* g = geometryOf(image.size());
  if (g == nullptr) return UnreadImage(image.size(), Refusal::UnknownLength);
  if (!IsFourBankLength(image.size())) return readTwoBank(image, *g);
  ImageReading marks = image.size() == Length256K ? read256K(image, *g) : read216Or224K(image, *g);
  if (marks.recognised() || stated == nullptr) return marks;
  return readStated(image, *stated, marks);
}

ImageReading UnreadImage(qint64 length, Refusal refusal) {
  ImageReading r;
  r.length = length;
  r.refusal = refusal;
  return r;
}
