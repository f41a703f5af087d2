#include "engine/ImageFindings.h"

#include <QJsonArray>
#include <QStringList>
#include <algorithm>
#include <cstring>
#include <limits>

#include "engine/BankTables.h"
#include "engine/Lib_File.h"

namespace {

constexpr qint64 Unlimited = std::numeric_limits<qint64>::max();

// Slicing by eight: table k holds the CRC of a byte followed by k zero
// bytes, so eight bytes are folded in with eight look-ups instead of a loop
// over 64 bits. A list of thousands of images checksums every bank.
using CrcTables = std::array<std::array<quint32, 256>, 8>;

constexpr CrcTables makeCrcTables() {
  CrcTables t{};
  for (quint32 n = 0; n < 256; ++n) {
    quint32 c = n;
    for (int bit = 0; bit < 8; ++bit) c = (c & 1) != 0 ? 0xEDB88320u ^ (c >> 1) : c >> 1;
    t[0][n] = c;
  }
  for (size_t k = 1; k < t.size(); ++k) {
    for (size_t n = 0; n < 256; ++n) t[k][n] = (t[k - 1][n] >> 8) ^ t[0][t[k - 1][n] & 0xFF];
  }
  return t;
}

constexpr CrcTables Crc = makeCrcTables();

quint32 load32(const uchar* p) {
  return quint32(p[0]) | quint32(p[1]) << 8 | quint32(p[2]) << 16 | quint32(p[3]) << 24;
}

// 8192 as "8,192": the notice is read by people, often with long numbers.
QString grouped(qint64 n) {
  QString digits = QString::number(n);
  for (qsizetype at = digits.size() - 3; at > 0; at -= 3) digits.insert(at, u',');
  return digits;
}

QString sizeText(qint64 n) {
  return n % K == 0 ? QStringLiteral("%1K").arg(n / K) : QStringLiteral("%1 bytes").arg(n);
}

const BankFinding* bankOf(const ImageFindings& f, int number) {
  for (const BankFinding& b : f.banks) {
    if (b.bank == number) return &b;
  }
  return nullptr;
}

// Why a run of input bytes is not written; equal reasons of neighbouring
// bytes make one range.
enum class Why { Padding, NotTaken, PastKept, Bank1Only, Limit32K, NotInOrder, PastPlace, Outside };

struct Reason {
  Why why = Why::Outside;
  int slot = -1;
  int bank = -1;
  qint64 dataStart = 0;  // in the file, of the slot's bank data
  bool operator==(const Reason&) const = default;
};

QString reasonText(const Reason& r, const ImageFindings& f, qint64 offset) {
  const qint64 into = offset - r.dataStart;
  const QString bank = QStringLiteral("bank %1").arg(r.bank) +
                       (into > 0 ? QStringLiteral(" past ") + sizeText(into) : QString());
  switch (r.why) {
    case Why::Padding: return QStringLiteral("padding of slot %1").arg(r.slot);
    case Why::NotTaken: {
      // No slot was recognised as this slot's number, so that bank came from
      // a slot recognised twice.
      const BankFinding* own = bankOf(f, r.slot);
      QString text = QStringLiteral("slot %1").arg(r.slot);
      if (own == nullptr) return text + QStringLiteral(" (not taken)");
      return text +
             QStringLiteral(" (not taken: bank %1 comes from slot %2)").arg(r.slot).arg(own->slot);
    }
    case Why::PastKept: return bank;
    case Why::Bank1Only: return bank + QStringLiteral(" (left out with bank 1 only)");
    case Why::Limit32K: return bank + QStringLiteral(" (cut by the 32K limit)");
    case Why::NotInOrder: return bank + QStringLiteral(" (not in the output order)");
    case Why::PastPlace: return bank + QStringLiteral(" (past its place in the output)");
    case Why::Outside: break;
  }
  return QStringLiteral("outside every slot");
}

struct Region {
  qint64 begin, end;
  int slot;
  bool padding;
};

// The padding and the bank data of every slot, which together cover the file.
QList<Region> regionsOf(const ImageFindings& f) {
  QList<Region> regions;
  const bool padded = f.padOffset >= 0;
  for (const SlotFinding& s : f.slots) {
    const qint64 slotStart = s.offset - std::max<qint64>(f.padOffset, 0);
    regions.append({s.offset, s.offset + s.length, s.slot, false});
    if (padded) {
      const qint64 fill = f.padOffset == 0 ? slotStart + Size56K : slotStart;
      regions.append({fill, fill + Size8K, s.slot, true});
    }
  }
  return regions;
}

Reason reasonAt(qint64 offset, const QList<Region>& regions, const QList<BankFinding>& banks,
                const OutputLayout& layout) {
  const auto region = std::find_if(regions.begin(), regions.end(), [&](const Region& r) {
    return offset >= r.begin && offset < r.end;
  });
  if (region == regions.end()) return {};
  Reason reason{Why::Padding, region->slot, -1, region->begin};
  if (region->padding) return reason;
  // Of the banks taken from this slot, the longest that reaches the byte
  // tells why the output leaves it out; past them all, the recognition kept
  // the bank shorter than its slot (only bank 1 is ever cut so).
  const BankFinding* taker = nullptr;
  const BankFinding* covering = nullptr;
  for (const BankFinding& b : banks) {
    if (b.slot != region->slot) continue;
    if (taker == nullptr || b.length > taker->length) taker = &b;
    if (b.length > offset - region->begin && (covering == nullptr || b.length > covering->length)) {
      covering = &b;
    }
  }
  if (taker == nullptr) {
    reason.why = Why::NotTaken;
    return reason;
  }
  if (covering == nullptr) {
    reason.why = Why::PastKept;
    reason.bank = taker->bank;
    return reason;
  }
  reason.bank = covering->bank;
  const bool inOrder =
      std::find(layout.order.begin(), layout.order.end(), reason.bank) != layout.order.end();
  if (layout.bank1Only) {
    reason.why = reason.bank == 1 ? Why::Limit32K : Why::Bank1Only;
  } else {
    reason.why = inOrder ? Why::PastPlace : Why::NotInOrder;
  }
  return reason;
}

// The first run of at least four printable characters, without the spaces
// or fill bytes around it, cut to 40 characters.
QString firstText(QByteArrayView bytes, quint8 fill) {
  constexpr qsizetype MinText = 4, MaxText = 40;
  const auto printable = [](uchar c) { return c >= 0x20 && c < 0x7F; };
  const auto blank = [&](uchar c) { return c == ' ' || c == fill; };
  const auto* data = reinterpret_cast<const uchar*>(bytes.data());
  const qsizetype n = bytes.size();
  for (qsizetype i = 0; i < n;) {
    if (!printable(data[i])) {
      ++i;
      continue;
    }
    qsizetype end = i;
    while (end < n && printable(data[end])) ++end;
    qsizetype a = i, b = end;
    while (a < b && blank(data[a])) ++a;
    while (b > a && blank(data[b - 1])) --b;
    if (b - a >= MinText) {
      return QString::fromLatin1(reinterpret_cast<const char*>(data + a), std::min(b - a, MaxText));
    }
    i = end;
  }
  return {};
}

// The fill of a range is its most frequent value (the lower one on a tie).
// Four sets of counters let neighbouring bytes of one value be counted
// without waiting on each other.
std::pair<quint8, qint64> fillOf(QByteArrayView bytes) {
  std::array<std::array<quint32, 256>, 4> counts{};
  const auto* data = reinterpret_cast<const uchar*>(bytes.data());
  const qsizetype n = bytes.size();
  qsizetype i = 0;
  for (; i + 4 <= n; i += 4) {
    ++counts[0][data[i]];
    ++counts[1][data[i + 1]];
    ++counts[2][data[i + 2]];
    ++counts[3][data[i + 3]];
  }
  for (; i < n; ++i) ++counts[0][data[i]];
  quint8 fill = 0;
  qint64 most = -1;
  for (int value = 0; value < 256; ++value) {
    const auto v = static_cast<size_t>(value);
    const qint64 count = qint64(counts[0][v]) + counts[1][v] + counts[2][v] + counts[3][v];
    if (count > most) {
      most = count;
      fill = static_cast<quint8>(value);
    }
  }
  return {fill, n - most};
}

ImageFindings recognition(qint64 length, bool withCrc) {
  ImageFindings f;
  f.length = length;
  f.lengthClass = LengthClassName(length);
  if (f.lengthClass.isEmpty()) {
    f.refusal = Refusal::UnknownLength;
    return f;
  }
  f.refusal = LastRecognition.refusal;
  if (f.refusal != Refusal::None) return f;
  f.recognised = true;
  const bool padded = length == Length256K;
  const qint64 p = padded ? LastRecognition.PadOffset : 0;
  if (padded) f.padOffset = p;
  for (int slot : SlotNames) {
    const auto s = static_cast<size_t>(slot);
    if (BankLength[s] == 0) continue;
    f.slots.append(
        {slot, LastRecognition.SlotBank[s], BankStart[s] + p, padded ? Size56K : BankLength[s]});
  }
  // Bank i is taken from the start of the slot named by the bank recognised
  // in slot i; in a two-bank image that exchanges the two slots when the
  // file begins FF FA.
  for (int bank : SlotNames) {
    const QByteArray& data = BankData()[static_cast<size_t>(bank)];
    if (data.isEmpty()) continue;
    const int from = LastRecognition.SlotBank[static_cast<size_t>(bank)];
    f.banks.append({bank, from, BankStart[static_cast<size_t>(from)] + p, data.size(),
                    withCrc ? std::optional(Crc32(data)) : std::nullopt});
  }
  return f;
}

struct Span {
  qint64 begin, end;
  Reason reason;
};

// The input bytes the output never writes, in file order, each span of one
// reason; found from the tables alone, before any byte is read.
QList<Span> droppedSpans(const ImageFindings& f, const OutputLayout& layout) {
  // Every output byte traced back to its input byte: the input that is
  // written is the union of the pieces' sources.
  QList<std::pair<qint64, qint64>> used;
  QList<qint64> cuts{0, f.length};
  for (const OutputPiece& piece : TraceOutput(f, layout)) {
    used.append({piece.inputOffset, piece.inputOffset + piece.length});
    cuts << piece.inputOffset << piece.inputOffset + piece.length;
  }
  // Where a kept bank ends, the reason for leaving bytes out may change.
  for (const BankFinding& b : f.banks) cuts << b.offset + b.length;
  const QList<Region> regions = regionsOf(f);
  for (const Region& r : regions) cuts << r.begin << r.end;
  std::sort(cuts.begin(), cuts.end());
  cuts.erase(std::unique(cuts.begin(), cuts.end()), cuts.end());

  // Every used span begins and ends at a cut, so each piece between two
  // cuts is either written whole or dropped whole.
  QList<Span> dropped;
  for (qsizetype k = 0; k + 1 < cuts.size(); ++k) {
    const qint64 begin = cuts[k], end = cuts[k + 1];
    if (begin < 0 || end > f.length) continue;
    const bool written = std::any_of(used.begin(), used.end(), [&](const auto& span) {
      return begin >= span.first && begin < span.second;
    });
    if (written) continue;
    const Reason reason = reasonAt(begin, regions, f.banks, layout);
    if (!dropped.isEmpty() && dropped.last().end == begin && dropped.last().reason == reason) {
      dropped.last().end = end;
    } else {
      dropped.append({begin, end, reason});
    }
  }
  return dropped;
}

// Most dropped spans are padding of one value: a comparison of the span
// with itself one byte on tells so many times faster than counting values.
bool allOneValue(QByteArrayView bytes) {
  return bytes.size() < 2 ||
         std::memcmp(bytes.data(), bytes.data() + 1, static_cast<size_t>(bytes.size() - 1)) == 0;
}

// read(offset, length) gives the file's bytes there; when it comes up short
// no dropped bytes are told.
template <typename Read>
void addDropped(ImageFindings& f, const OutputLayout& layout, Read read) {
  QList<DroppedRange> ranges;
  qint64 total = 0;
  for (const Span& span : droppedSpans(f, layout)) {
    const qint64 length = span.end - span.begin;
    total += length;
    const auto bytes = read(span.begin, length);
    if (bytes.size() != length) return;
    if (allOneValue(bytes)) continue;
    const auto [fill, notFill] = fillOf(bytes);
    ranges.append({span.begin, length, reasonText(span.reason, f, span.begin), fill, notFill,
                   firstText(bytes, fill)});
  }
  f.dropped = ranges;
  f.droppedBytes = total;
}

QString paddingWord(const ImageFindings& f) {
  if (f.padOffset < 0) return {};
  return f.padOffset == 0 ? QStringLiteral("rear") : QStringLiteral("front");
}

QString fillText(quint8 fill) {
  return QString::number(fill, 16).toUpper().rightJustified(2, u'0');
}

qint64 notFillTotal(const QList<DroppedRange>& ranges) {
  qint64 total = 0;
  for (const DroppedRange& r : ranges) total += r.notFill;
  return total;
}

QJsonValue textOrNull(const QString& text) {
  return text.isEmpty() ? QJsonValue() : QJsonValue(text);
}

}  // namespace

quint32 Crc32(QByteArrayView data, quint32 previous) {
  quint32 crc = ~previous;
  const auto* p = reinterpret_cast<const uchar*>(data.data());
  qsizetype n = data.size();
  for (; n >= 8; n -= 8, p += 8) {
    const quint32 a = load32(p) ^ crc, b = load32(p + 4);
    crc = Crc[7][a & 0xFF] ^ Crc[6][(a >> 8) & 0xFF] ^ Crc[5][(a >> 16) & 0xFF] ^ Crc[4][a >> 24] ^
          Crc[3][b & 0xFF] ^ Crc[2][(b >> 8) & 0xFF] ^ Crc[1][(b >> 16) & 0xFF] ^ Crc[0][b >> 24];
  }
  for (; n > 0; --n, ++p) crc = Crc[0][(crc ^ *p) & 0xFF] ^ (crc >> 8);
  return ~crc;
}

QString HexOffset(qint64 offset) {
  return QStringLiteral("0x") + QString::number(offset, 16).toUpper().rightJustified(5, u'0');
}

QString Crc32Text(quint32 crc) {
  return QString::number(crc, 16).toUpper().rightJustified(8, u'0');
}

ImageFindings TakeFindings(QByteArrayView image, const FindingsOptions& options) {
  ImageFindings f = recognition(image.size(), options.crc32);
  if (!f.recognised || !options.layout) return f;
  addDropped(f, *options.layout, [&](qint64 offset, qint64 length) {
    return offset + length <= image.size() ? image.sliced(offset, length) : QByteArrayView();
  });
  return f;
}

ImageFindings TakeFindings(const FindingsOptions& options) {
  ImageFindings f = recognition(Lib_File::FileLength(Lib_File::InputFile), options.crc32);
  if (!f.recognised || !options.layout) return f;
  // Only the dropped spans are read, a fraction of the image in most layouts.
  addDropped(f, *options.layout, [](qint64 offset, qint64 length) {
    return Lib_File::ReadBytes(Lib_File::InputFile, offset, length);
  });
  return f;
}

QList<OutputPiece> TraceOutput(const ImageFindings& f, const OutputLayout& layout) {
  QList<OutputPiece> pieces;
  // A bank number no bank has (2 to 7, or 0 and 9 of a two-bank image) is
  // written as fill, or not at all without padding.
  const auto put = [&](qint64 at, int number, qint64 place) {
    const BankFinding* b = bankOf(f, number);
    const qint64 n = b != nullptr ? std::min(b->length, place) : 0;
    if (n > 0) pieces.append({at, b->offset, n, number});
  };
  if (!f.recognised) return pieces;
  if (layout.bank1Only) {
    put(0, 1, layout.limit32K ? Size32K : Unlimited);
    return pieces;
  }
  qint64 at = 0;
  for (int number : layout.order) {
    switch (layout.padSize) {
      case PadSizeCode::NoPadding: {
        put(at, number, Unlimited);
        const BankFinding* b = bankOf(f, number);
        at += b != nullptr ? b->length : 0;
        break;
      }
      case PadSizeCode::Pad56K:
        put(at, number, Size56K);
        at += Size56K;
        break;
      case PadSizeCode::Pad64K:
        if (layout.frontPadding) {
          put(at + Size8K, number, Size56K);
        } else {
          put(at, number, Size64K);
        }
        at += Size64K;
        break;
    }
  }
  return pieces;
}

QString FindingsText(const QString& name, const ImageFindings& f) {
  QString text = name + QStringLiteral(": ");
  if (!f.error.isEmpty()) return text + f.error + u'\n';
  if (!f.lengthClass.isEmpty()) text += f.lengthClass + QStringLiteral(", ");
  if (f.length >= 0) text += QStringLiteral("%1 bytes").arg(f.length);
  if (!f.recognised) return text + QStringLiteral(", refused: ") + RefusalText(f.refusal) + u'\n';
  if (const QString padding = paddingWord(f); !padding.isEmpty()) {
    text += QStringLiteral(", %1 padding").arg(padding);
  }
  text += u'\n';
  for (const SlotFinding& s : f.slots) {
    text += QStringLiteral("  slot %1: bank %2 at %3, %4 bytes\n")
                .arg(s.slot)
                .arg(s.bank)
                .arg(HexOffset(s.offset))
                .arg(s.length);
  }
  for (const BankFinding& b : f.banks) {
    text += QStringLiteral("  bank %1 kept: %2 bytes from slot %3")
                .arg(b.bank)
                .arg(b.length)
                .arg(b.slot);
    if (b.crc32) text += QStringLiteral(", CRC-32 ") + Crc32Text(*b.crc32);
    text += u'\n';
  }
  if (!f.dropped) return text;
  text += QStringLiteral("  dropped by the layout: ");
  const qint64 notFill = notFillTotal(*f.dropped);
  if (f.droppedBytes == 0) return text + QStringLiteral("nothing\n");
  if (notFill == 0) return text + QStringLiteral("%1 bytes, all fill\n").arg(f.droppedBytes);
  text += QStringLiteral("%1 bytes, %2 not fill\n").arg(f.droppedBytes).arg(notFill);
  for (const DroppedRange& r : *f.dropped) {
    text += QStringLiteral("    %1, %2 bytes: %3; %4 not fill (fill %5)")
                .arg(HexOffset(r.offset))
                .arg(r.length)
                .arg(r.where)
                .arg(r.notFill)
                .arg(fillText(r.fill));
    if (!r.text.isEmpty()) text += QStringLiteral(", text \"%1\"").arg(r.text);
    text += u'\n';
  }
  return text;
}

QJsonObject FindingsJson(const QString& name, const ImageFindings& f) {
  QJsonArray slots, banks;
  for (const SlotFinding& s : f.slots) {
    slots.append(QJsonObject{{QStringLiteral("slot"), s.slot},
                             {QStringLiteral("bank"), s.bank},
                             {QStringLiteral("offset"), s.offset},
                             {QStringLiteral("length"), s.length}});
  }
  for (const BankFinding& b : f.banks) {
    banks.append(QJsonObject{
        {QStringLiteral("bank"), b.bank},
        {QStringLiteral("slot"), b.slot},
        {QStringLiteral("offset"), b.offset},
        {QStringLiteral("length"), b.length},
        {QStringLiteral("crc32"), b.crc32 ? QJsonValue(Crc32Text(*b.crc32)) : QJsonValue()}});
  }
  QJsonValue dropped;
  if (f.dropped) {
    QJsonArray ranges;
    for (const DroppedRange& r : *f.dropped) {
      ranges.append(QJsonObject{{QStringLiteral("offset"), r.offset},
                                {QStringLiteral("length"), r.length},
                                {QStringLiteral("where"), r.where},
                                {QStringLiteral("fill"), fillText(r.fill)},
                                {QStringLiteral("notFill"), r.notFill},
                                {QStringLiteral("text"), textOrNull(r.text)}});
    }
    dropped = ranges;
  }
  return {{QStringLiteral("name"), name},
          {QStringLiteral("length"), f.length},
          {QStringLiteral("class"), textOrNull(f.lengthClass)},
          {QStringLiteral("recognised"), f.recognised},
          {QStringLiteral("padding"), textOrNull(paddingWord(f))},
          {QStringLiteral("slots"), slots},
          {QStringLiteral("banks"), banks},
          {QStringLiteral("dropped"), dropped},
          {QStringLiteral("droppedBytes"), f.dropped ? QJsonValue(f.droppedBytes) : QJsonValue()},
          {QStringLiteral("refusal"),
           f.error.isEmpty() && !f.recognised ? textOrNull(RefusalText(f.refusal)) : QJsonValue()},
          {QStringLiteral("error"), textOrNull(f.error)}};
}

QString ImageSummary(const ImageFindings& f) {
  if (!f.error.isEmpty()) return f.error;
  QStringList parts;
  if (!f.lengthClass.isEmpty()) parts.append(f.lengthClass);
  if (!f.recognised) {
    parts.append(QStringLiteral("refused: ") + RefusalText(f.refusal));
    return parts.join(QStringLiteral(", "));
  }
  if (const QString padding = paddingWord(f); !padding.isEmpty()) {
    parts.append(QStringLiteral("%1 padding").arg(padding));
  }
  QStringList held;
  for (const SlotFinding& s : f.slots)
    held.append(QStringLiteral("%1 in slot %2").arg(s.bank).arg(s.slot));
  parts.append(QStringLiteral("banks ") + held.join(QStringLiteral(", ")));
  return parts.join(QStringLiteral(", "));
}

QString DroppedSummary(const ImageFindings& f) {
  if (!f.dropped) return {};
  if (f.dropped->isEmpty()) {
    return f.droppedBytes == 0 ? QStringLiteral("nothing")
                               : QStringLiteral("%1 bytes, all fill").arg(grouped(f.droppedBytes));
  }
  constexpr qsizetype Named = 3;
  QStringList places;
  for (const DroppedRange& r : f.dropped->first(std::min(Named, f.dropped->size()))) {
    QString place = r.where + QStringLiteral(" at ") + HexOffset(r.offset);
    if (!r.text.isEmpty()) place += QStringLiteral(" (\"%1\")").arg(r.text);
    places.append(place);
  }
  if (f.dropped->size() > Named) {
    places.append(QStringLiteral("and %1 more").arg(f.dropped->size() - Named));
  }
  return QStringLiteral("%1 bytes that are not fill: %2")
      .arg(grouped(notFillTotal(*f.dropped)), places.join(QStringLiteral("; ")));
}

QString DroppedNotice(const QString& name, const ImageFindings& f) {
  if (!f.dropped || f.dropped->isEmpty()) return {};
  return QStringLiteral("%1: note, the layout leaves out %2").arg(name, DroppedSummary(f));
}
