#include "engine/ImageAssembly.h"

#include <QStringList>
#include <cctype>

#include "engine/BankTables.h"

namespace {

bool isDigits(const QString& text) {
  if (text.isEmpty()) return false;
  for (QChar c : text) {
    if (c < u'0' || c > u'9') return false;
  }
  return true;
}

bool parseOrder(const QString& outOrder, std::array<int, 4>* order) {
  const QStringList pieces = outOrder.split(u',');
  if (pieces.size() < 4) return false;
  for (size_t k = 0; k < order->size(); ++k) {
    const QString& piece = pieces[static_cast<qsizetype>(k)];
    // Leading zeros are fine; the length cap keeps the value from overflowing.
    if (!isDigits(piece) || piece.size() > 3) return false;
    const int bank = piece.toInt();
    if (bank > 9) return false;
    (*order)[k] = bank;
  }
  return true;
}

bool parseFillByte(const QString& padValue, quint8* fill) {
  if (padValue.isEmpty() || padValue.size() > 2) return false;
  // Checked by hand: toUInt() would also take a sign or a "0x" prefix.
  for (QChar c : padValue) {
    if (!std::isxdigit(static_cast<unsigned char>(c.toLatin1()))) return false;
  }
  *fill = static_cast<quint8>(padValue.toUInt(nullptr, 16));
  return true;
}

// first(n, bank followed by fill): the bank cut or filled to n bytes.
void appendPlace(QByteArray& image, const QByteArray& bank, qint64 place, char fill) {
  const qint64 used = qMin<qint64>(bank.size(), place);
  image.append(bank.constData(), used);
  image.append(place - used, fill);
}

}  // namespace

LayoutError ResolveLayout(const QString& outOrder, const QString& padValue, quint8 padSize,
                          quint8 padType, quint8 bank1Only, quint8 limit32K, OutputLayout* layout) {
  OutputLayout resolved;
  resolved.bank1Only = bank1Only != 0;
  resolved.limit32K = limit32K != 0;
  resolved.frontPadding = padType != 0;
  resolved.padSize = padSize <= 2 ? static_cast<PadSizeCode>(padSize) : PadSizeCode::NoPadding;
  if (!parseOrder(outOrder, &resolved.order)) return LayoutError::BadOrder;
  const bool usesFill = !resolved.bank1Only && resolved.padSize != PadSizeCode::NoPadding;
  if (usesFill && !parseFillByte(padValue, &resolved.fillByte)) {
    return LayoutError::BadPadValue;
  }
  *layout = resolved;
  return LayoutError::None;
}

QByteArray AssembleImage(const OutputLayout& layout) {
  if (layout.bank1Only) {
    return layout.limit32K ? BankData[1].left(Size32K) : BankData[1];
  }
  const char fill = static_cast<char>(layout.fillByte);
  QByteArray image;
  switch (layout.padSize) {
    case PadSizeCode::NoPadding:
      for (int bank : layout.order) image.append(BankData[static_cast<size_t>(bank)]);
      break;
    case PadSizeCode::Pad56K:
      image.reserve(4 * Size56K);
      for (int bank : layout.order) {
        appendPlace(image, BankData[static_cast<size_t>(bank)], Size56K, fill);
      }
      break;
    case PadSizeCode::Pad64K:
      image.reserve(4 * Size64K);
      for (int bank : layout.order) {
        const QByteArray& data = BankData[static_cast<size_t>(bank)];
        if (layout.frontPadding) {
          image.append(Size8K, fill);
          appendPlace(image, data, Size56K, fill);
        } else {
          appendPlace(image, data, Size64K, fill);
        }
      }
      break;
  }
  return image;
}
