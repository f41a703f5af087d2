#include "engine/ImageAssembly.h"

#include <QStringList>
#include <algorithm>
#include <cstring>

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

std::optional<std::array<int, 4>> CheckBankOrder(const QString& text, bool eachBankOnce) {
  if (text.size() != 7 || text[1] != u',' || text[3] != u',' || text[5] != u',') return {};
  std::array<int, 4> order{};
  for (size_t k = 0; k < order.size(); ++k) {
    order[k] = parseDigits(text.mid(qsizetype(k) * 2, 1), 10, BankCount - 1);
    if (order[k] < 0) return {};
  }
  if (eachBankOnce) {
    std::array<int, 4> sorted = order;
    std::sort(sorted.begin(), sorted.end());
    if (sorted != SlotNames) return {};
  }
  return order;
}

OutputPlan PlanOutput(const ImageReading& reading, const OutputLayout& layout) {
  OutputPlan plan;
  plan.fill = layout.fillByte;
  if (!reading.recognised()) return plan;
  // The bank's bytes, at most `place` of them, put at `at`; a number the
  // image has no bank of (2 to 7, or 0 and 9 of a two-bank image) puts
  // nothing there, which padding fills.
  const auto put = [&](qint64 at, int number, qint64 place) -> qint64 {
    const BankPlace* b = reading.bank(number);
    const qint64 n = b != nullptr ? std::min(b->length, place) : 0;
    if (n > 0) plan.pieces.append({at, b->offset, n, number});
    return n;
  };
  if (layout.bank1Only) {
    plan.length = put(0, 1, layout.limit32K ? Size32K : Size64K);
    return plan;
  }
  qint64 at = 0;
  for (int number : layout.order) {
    switch (layout.padSize) {
      case PadSizeCode::NoPadding: at += put(at, number, Size64K); break;
      case PadSizeCode::Pad56K:
        put(at, number, Size56K);
        at += Size56K;
        break;
      case PadSizeCode::Pad64K:
        put(layout.frontPadding ? at + Size8K : at, number,
            layout.frontPadding ? Size56K : Size64K);
        at += Size64K;
        break;
    }
  }
  plan.length = at;
  for (const BankPlace& b : reading.banks) {
    const auto times = std::count(layout.order.begin(), layout.order.end(), b.bank);
    if (times == 0) plan.missing.append(b.bank);
    if (times > 1) plan.repeated.append(b.bank);
  }
  return plan;
}

void AssembleImage(const OutputPlan& plan, QByteArrayView image, char* out) {
  // Fill first where pieces leave gaps, then every piece over it: each byte
  // of a bank is copied once, and only the gaps are filled.
  qint64 at = 0;
  for (const OutputPiece& piece : plan.pieces) {
    if (piece.outputOffset > at) {
      std::memset(out + at, plan.fill, static_cast<size_t>(piece.outputOffset - at));
    }
    std::memcpy(out + piece.outputOffset, image.data() + piece.inputOffset,
                static_cast<size_t>(piece.length));
    at = piece.outputOffset + piece.length;
  }
  if (plan.length > at) std::memset(out + at, plan.fill, static_cast<size_t>(plan.length - at));
}
