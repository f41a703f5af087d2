#include "engine/ImageFindings.h"

#include <algorithm>
#include <cstring>

namespace {

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

struct Reason {
  LeftOut why = LeftOut::Outside;
  int slot = -1;
  int bank = -1;
  qint64 bankStart = 0;  // in the file, of the bank the bytes belong to
  bool operator==(const Reason&) const = default;
};

struct Region {
  qint64 begin, end;
  int slot;
  bool padding;
};

// The padding and the bank data of every slot, which together cover the file.
QList<Region> regionsOf(const ImageReading& r) {
  QList<Region> regions;
  for (const SlotReading& s : r.slots) {
    regions.append({s.offset, s.offset + s.length, s.slot, false});
    if (s.offset > s.BankStart) regions.append({s.BankStart, s.offset, s.slot, true});
    const qint64 slotEnd = s.BankStart + s.BankLength;
    if (s.offset + s.length < slotEnd) regions.append({s.offset + s.length, slotEnd, s.slot, true});
  }
  return regions;
}

Reason reasonAt(qint64 offset, const QList<Region>& regions, const ImageReading& r,
                const OutputLayout& layout) {
  const auto region = std::find_if(regions.begin(), regions.end(), [&](const Region& g) {
    return offset >= g.begin && offset < g.end;
  });
  if (region == regions.end()) return {};
  Reason reason{LeftOut::Padding, region->slot, -1, region->begin};
  if (region->padding) return reason;
  // Every slot of a read image holds one bank, taken from its start.
  const BankPlace* b = nullptr;
  for (const BankPlace& place : r.banks) {
    if (place.slot == region->slot) b = &place;
  }
  if (b == nullptr) return reason;
  reason.bank = b->bank;
  if (offset >= b->offset + b->length) {
    reason.why = LeftOut::PastKept;
    return reason;
  }
  const bool inOrder =
      std::find(layout.order.begin(), layout.order.end(), b->bank) != layout.order.end();
  if (layout.bank1Only) {
    reason.why = b->bank == 1 ? LeftOut::Limit32K : LeftOut::Bank1Only;
  } else {
    reason.why = inOrder ? LeftOut::PastPlace : LeftOut::NotInOrder;
  }
  return reason;
}

struct Span {
  qint64 begin, end;
  Reason reason;
};

// The input bytes the output never writes, in file order, each span of one
// reason; found from the output's plan alone, before any byte is looked at.
QList<Span> droppedSpans(const ImageReading& r, const OutputPlan& plan,
                         const OutputLayout& layout) {
  QList<std::pair<qint64, qint64>> used;
  QList<qint64> cuts{0, r.length};
  for (const OutputPiece& piece : plan.pieces) {
    used.append({piece.inputOffset, piece.inputOffset + piece.length});
    cuts << piece.inputOffset << piece.inputOffset + piece.length;
  }
  // Where a kept bank ends, the reason for leaving bytes out may change.
  for (const BankPlace& b : r.banks) cuts << b.offset + b.length;
  const QList<Region> regions = regionsOf(r);
  for (const Region& g : regions) cuts << g.begin << g.end;
  std::sort(cuts.begin(), cuts.end());
  cuts.erase(std::unique(cuts.begin(), cuts.end()), cuts.end());

  // Every used span begins and ends at a cut, so each piece between two
  // cuts is either written whole or dropped whole.
  QList<Span> dropped;
  for (qsizetype k = 0; k + 1 < cuts.size(); ++k) {
    const qint64 begin = cuts[k], end = cuts[k + 1];
    if (begin < 0 || end > r.length) continue;
    const bool written = std::any_of(used.begin(), used.end(), [&](const auto& span) {
      return begin >= span.first && begin < span.second;
    });
    if (written) continue;
    const Reason reason = reasonAt(begin, regions, r, layout);
    if (!dropped.isEmpty() && dropped.last().end == begin && dropped.last().reason == reason) {
      dropped.last().end = end;
    } else {
      dropped.append({begin, end, reason});
    }
  }
  return dropped;
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

// Most dropped spans are padding of one value: a comparison of the span
// with itself one byte on tells so many times faster than counting values.
bool allOneValue(QByteArrayView bytes) {
  return bytes.size() < 2 ||
         std::memcmp(bytes.data(), bytes.data() + 1, static_cast<size_t>(bytes.size() - 1)) == 0;
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

ImageFindings TakeFindings(QByteArrayView image, const ImageReading& reading,
                           const FindingsOptions& options) {
  ImageFindings f;
  f.reading = reading;
  if (!reading.recognised()) return f;
  if (options.crc32) {
    for (const BankPlace& b : reading.banks) {
      f.crc32[size_t(b.bank)] = Crc32(image.sliced(b.offset, b.length));
    }
  }
  if (!options.layout) return f;
  const OutputLayout& layout = *options.layout;
  const OutputPlan plan = PlanOutput(reading, layout);
  f.repeated = plan.repeated;
  f.missing = plan.missing;
  QList<DroppedRange> ranges;
  for (const Span& span : droppedSpans(reading, plan, layout)) {
    const qint64 length = span.end - span.begin;
    f.droppedBytes += length;
    const QByteArrayView bytes = image.sliced(span.begin, length);
    const Reason& why = span.reason;
    const qint64 past = why.bank >= 0 ? span.begin - why.bankStart : 0;
    if (allOneValue(bytes)) {
      // Fill of the chosen value goes untold; any other value is told as
      // the fill it is.
      const auto value = static_cast<quint8>(bytes[0]);
      if (value != layout.fillByte) {
        ranges.append({span.begin, length, why.why, why.slot, why.bank, past, value, 0, {}});
      }
      continue;
    }
    const auto [fill, notFill] = fillOf(bytes);
    ranges.append({span.begin, length, why.why, why.slot, why.bank, past, fill, notFill,
                   firstText(bytes, fill)});
  }
  f.dropped = ranges;
  return f;
}
