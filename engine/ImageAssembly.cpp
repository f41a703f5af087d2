#include "engine/ImageAssembly.h"

#include <QStringList>
#include <cstring>

#include "engine/BankTables.h"

namespace {

int digitValue(QChar c) {
  const char16_t u = c.unicode();
  if (u >= u'0' && u <= u'9') return u - u'0';
  if (u >= u'A' && u <= u'F') return u - u'A' + 10;
  if (u >= u'a' && u <= u'f') return u - u'a' + 10;
  return -1;
}

// The whole number a text of decimal or hex digits denotes, or -1 when the
// text is empty, holds anything but such digits, or denotes more than `max`.
// Leading zeros are allowed. Checked by hand: toUInt() would also take a
// sign, spaces or a "0x" prefix.
int parseDigits(const QString& text, int base, int max) {
  if (text.isEmpty()) return -1;
  int value = 0;
  for (QChar c : text) {
    const int digit = digitValue(c);
    if (digit < 0 || digit >= base) return -1;
    value = value * base + digit;
    if (value > max) return -1;
  }
  return value;
}

bool parseOrder(const QString& outOrder, std::array<int, 4>* order) {
  const QStringList pieces = outOrder.split(u',');
  if (pieces.size() < 4) return false;
  std::array<int, 4> banks{};
  for (size_t k = 0; k < banks.size(); ++k) {
    banks[k] = parseDigits(pieces[static_cast<qsizetype>(k)], 10, BankCount - 1);
    if (banks[k] < 0) return false;
  }
  *order = banks;
  return true;
}

// Hex digits whose value fits a byte: the two the options window stores, or
// a hand-edited value such as "7" or "0FF" that still names one byte.
bool parseFillByte(const QString& padValue, quint8* fill) {
  const int value = parseDigits(padValue, 16, 0xFF);
  if (value < 0) return false;
  *fill = static_cast<quint8>(value);
  return true;
}

// first(place, bank followed by fill): the bank cut or filled to `place`
// bytes, written at `out`; returns the end of the place.
char* putPlace(char* out, const QByteArray& bank, qint64 place, char fill) {
  const qint64 used = qMin<qint64>(bank.size(), place);
  if (used > 0) std::memcpy(out, bank.constData(), static_cast<size_t>(used));
  std::memset(out + used, fill, static_cast<size_t>(place - used));
  return out + place;
}

}  // namespace

LayoutError ResolveLayout(const QString& outOrder, const QString& padValue, quint8 padSize,
                          quint8 padType, quint8 bank1Only, quint8 limit32K, OutputLayout* layout) {
  OutputLayout resolved;
  resolved.bank1Only = bank1Only != 0;
  resolved.limit32K = limit32K != 0;
  resolved.frontPadding = padType != 0;
  resolved.padSize = padSize <= 2 ? static_cast<PadSizeCode>(padSize) : PadSizeCode::NoPadding;
  // Bank 1 alone takes neither the order nor the fill.
  if (!resolved.bank1Only && !parseOrder(outOrder, &resolved.order)) return LayoutError::BadOrder;
  const bool usesFill = !resolved.bank1Only && resolved.padSize != PadSizeCode::NoPadding;
  if (usesFill && !parseFillByte(padValue, &resolved.fillByte)) {
    return LayoutError::BadPadValue;
  }
  *layout = resolved;
  return LayoutError::None;
}

QByteArray AssembleImage(const OutputLayout& layout) {
  QByteArray image;
  AssembleImage(layout, &image);
  return image;
}

void AssembleImage(const OutputLayout& layout, QByteArray* image) {
  AssembleImage(layout, [image](qint64 length) {
    image->resize(length);
    return image->data();
  });
}

void AssembleImage(const OutputLayout& layout, const std::function<char*(qint64)>& memory) {
  if (layout.bank1Only) {
    // Copied rather than shared, so that the memory handed out is the image's own.
    const qint64 length =
        layout.limit32K ? qMin(BankData()[1].size(), Size32K) : BankData()[1].size();
    putPlace(memory(length), BankData()[1], length, 0);
    return;
  }
  // A number no bank has counts as an empty bank, as banks 2 to 7 are.
  static const QByteArray NoBank;
  auto bank = [](int number) -> const QByteArray& {
    return number >= 0 && number < BankCount ? BankData()[static_cast<size_t>(number)] : NoBank;
  };
  const char fill = static_cast<char>(layout.fillByte);

  // Every layout is built in one buffer of its final size, each byte written
  // once.
  qint64 placeSize = 0;
  switch (layout.padSize) {
    case PadSizeCode::NoPadding: {
      qint64 total = 0;
      for (int number : layout.order) total += bank(number).size();
      char* out = memory(total);
      for (int number : layout.order) out = putPlace(out, bank(number), bank(number).size(), fill);
      return;
    }
    case PadSizeCode::Pad56K: placeSize = Size56K; break;
    case PadSizeCode::Pad64K: placeSize = Size64K; break;
  }
  char* out = memory(4 * placeSize);
  for (int number : layout.order) {
    if (layout.padSize == PadSizeCode::Pad64K && layout.frontPadding) {
      std::memset(out, fill, Size8K);
      out = putPlace(out + Size8K, bank(number), Size56K, fill);
    } else {
      out = putPlace(out, bank(number), placeSize, fill);
    }
  }
}
