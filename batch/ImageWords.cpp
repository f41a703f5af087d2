#include "batch/ImageWords.h"

#include <QJsonArray>
#include <QStringList>
#include <algorithm>

namespace ImageWords {

namespace {

// 8192 as "8,192": these lines are read by people, often with long numbers.
QString grouped(qint64 n) {
  QString digits = QString::number(n);
  for (qsizetype at = digits.size() - 3; at > 0; at -= 3) digits.insert(at, u',');
  return digits;
}

// "0", "0 and 9", "0, 1 and 9".
QString listed(const QList<int>& numbers, const QString& last = QStringLiteral(" and ")) {
  QStringList words;
  for (int n : numbers) words.append(QString::number(n));
  if (words.size() < 2) return words.join(QString());
  const QString tail = words.takeLast();
  return words.join(QStringLiteral(", ")) + last + tail;
}

QString paddingWord(const ImageReading& r) {
  if (r.PadOffset < 0) return {};
  return r.PadOffset == 0 ? QStringLiteral("rear") : QStringLiteral("front");
}

// Which slots read as the same bank, which bank no slot reads as, and which
// slots hold nothing but fill.
QString notApartText(const ImageReading& r) {
  QStringList same;
  QList<int> unread;
  for (int bank : SlotNames) {
    QList<int> slots;
    for (const SlotReading& s : r.slots) {
      if (s.bank == bank) slots.append(s.slot);
    }
    if (slots.isEmpty()) unread.append(bank);
    if (slots.size() > 1) {
      same.append(QStringLiteral("slots %1 %2 read as bank %3")
                      .arg(listed(slots),
                           slots.size() == 2 ? QStringLiteral("both") : QStringLiteral("all"))
                      .arg(bank));
    }
  }
  QString text = same.join(QStringLiteral(", "));
  if (!unread.isEmpty()) {
    text += QStringLiteral(", and no slot as bank ") + listed(unread, QStringLiteral(" or "));
  }
  QList<int> fillOnly;
  for (const SlotReading& s : r.slots) {
    if (s.fillOnly) fillOnly.append(s.slot);
  }
  if (fillOnly.size() == 1) {
    text += QStringLiteral("; slot %1 holds nothing but fill").arg(fillOnly[0]);
  } else if (!fillOnly.isEmpty()) {
    text += QStringLiteral("; slots %1 hold nothing but fill").arg(listed(fillOnly));
  }
  return text;
}

QString refusalWords(const ImageReading& r) {
  switch (r.refusal) {
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
    case Refusal::BanksNotApart:
      return QStringLiteral("the banks cannot be told apart: ") + notApartText(r);
    case Refusal::Bank1Misplaced: {
      const auto one = std::find_if(r.slots.begin(), r.slots.end(),
                                    [](const SlotReading& s) { return s.bank == 1; });
      return QStringLiteral(
                 "the banks cannot be told apart: slot %1 reads as bank 1, but bank 1 of a 216K "
                 "image is the 48K slot 1")
          .arg(one != r.slots.end() ? one->slot : 1);
    }
  }
  return {};
}

QString slotLine(const SlotReading& s) {
  QString line = QStringLiteral("slot %1: bank %2 at %3, %4 bytes")
                     .arg(s.slot)
                     .arg(s.bank)
                     .arg(HexOffset(s.offset))
                     .arg(s.length);
  if (s.fillOnly) line += QStringLiteral(", nothing but fill ") + ByteText(*s.fillOnly);
  return line;
}

qint64 notFillTotal(const QList<DroppedRange>& ranges) {
  qint64 total = 0;
  for (const DroppedRange& r : ranges) total += r.notFill;
  return total;
}

// "8K of fill BF" for a range all of one value other than the chosen fill.
QString otherFillText(const DroppedRange& r) {
  return SizeText(r.length) + QStringLiteral(" of fill ") + ByteText(r.fill);
}

QJsonValue textOrNull(const QString& text) {
  return text.isEmpty() ? QJsonValue() : QJsonValue(text);
}

// Slots are told for a read image, and for one whose slots were read but
// could not be told apart.
bool slotsTold(const ImageReading& r) {
  return r.recognised() || r.refusal == Refusal::BanksNotApart ||
         r.refusal == Refusal::Bank1Misplaced;
}

}  // namespace

QString HexOffset(qint64 offset) {
  return QStringLiteral("0x") + QString::number(offset, 16).toUpper().rightJustified(5, u'0');
}

QString Crc32Text(quint32 crc) {
  return QString::number(crc, 16).toUpper().rightJustified(8, u'0');
}

QString ByteText(quint8 value) {
  return QString::number(value, 16).toUpper().rightJustified(2, u'0');
}

QString SizeText(qint64 n) {
  return n % K == 0 ? QStringLiteral("%1K").arg(n / K) : QStringLiteral("%1 bytes").arg(n);
}

QString OrderText(const std::array<int, 4>& order) {
  return QStringLiteral("%1,%2,%3,%4").arg(order[0]).arg(order[1]).arg(order[2]).arg(order[3]);
}

QString RefusalText(const ImageReading& r) {
  QString text = refusalWords(r);
  if (StatingReads(r.refusal)) text += QStringLiteral("; stating its layout reads it");
  return text;
}

QString StatedText(const ImageReading& r) {
  if (!r.stated) return {};
  std::array<int, 4> order{};
  for (qsizetype k = 0; k < r.slots.size() && k < 4; ++k) order[size_t(k)] = r.slots[k].bank;
  QString text = QStringLiteral("read as stated: ") + OrderText(order);
  if (const QString padding = paddingWord(r); !padding.isEmpty()) {
    text += QStringLiteral(", %1 padding").arg(padding);
  }
  return text;
}

QString OutputText(const QList<int>& repeated, const QList<int>& missing) {
  QStringList parts;
  for (int bank : repeated) parts.append(QStringLiteral("bank %1 more than once").arg(bank));
  if (!missing.isEmpty()) {
    parts.append(QStringLiteral("no bank ") + listed(missing, QStringLiteral(" or ")));
  }
  return parts.isEmpty() ? QString()
                         : QStringLiteral("the output holds ") + parts.join(QStringLiteral(", "));
}

QString WhereText(const DroppedRange& r) {
  const QString bank = QStringLiteral("bank %1").arg(r.bank) +
                       (r.past > 0 ? QStringLiteral(" past ") + SizeText(r.past) : QString());
  switch (r.why) {
    case LeftOut::Padding: return QStringLiteral("padding of slot %1").arg(r.slot);
    case LeftOut::PastKept: return bank;
    case LeftOut::Bank1Only: return bank + QStringLiteral(" (left out with bank 1 only)");
    case LeftOut::Limit32K: return bank + QStringLiteral(" (cut by the 32K limit)");
    case LeftOut::NotInOrder: return bank + QStringLiteral(" (not in the output order)");
    case LeftOut::PastPlace: return bank + QStringLiteral(" (past its place in the output)");
    case LeftOut::Outside: break;
  }
  return QStringLiteral("outside every slot");
}

QString FindingsText(const QString& name, const ImageFindings& f) {
  const ImageReading& r = f.reading;
  QString text = name + QStringLiteral(": ");
  if (!f.error.isEmpty()) return text + f.error + u'\n';
  if (const QString lengthClass = LengthClassName(r.length); !lengthClass.isEmpty()) {
    text += lengthClass + QStringLiteral(", ");
  }
  text += QStringLiteral("%1 bytes").arg(r.length);
  if (!r.recognised()) {
    text += QStringLiteral(", refused: ") + RefusalText(r) + u'\n';
  } else {
    if (const QString padding = paddingWord(r); !padding.isEmpty()) {
      text += QStringLiteral(", %1 padding").arg(padding);
    }
    if (r.stated) text += QStringLiteral(", ") + StatedText(r);
    text += u'\n';
  }
  if (!slotsTold(r)) return text;
  for (const SlotReading& s : r.slots) text += QStringLiteral("  ") + slotLine(s) + u'\n';
  if (!r.recognised()) return text;
  for (const BankPlace& b : r.banks) {
    text += QStringLiteral("  bank %1 kept: %2 bytes from slot %3")
                .arg(b.bank)
                .arg(b.length)
                .arg(b.slot);
    if (const auto crc = f.crc32[size_t(b.bank)])
      text += QStringLiteral(", CRC-32 ") + Crc32Text(*crc);
    text += u'\n';
  }
  if (!f.dropped) return text;
  text += QStringLiteral("  dropped by the layout: ");
  const qint64 notFill = notFillTotal(*f.dropped);
  if (f.droppedBytes == 0) return text + QStringLiteral("nothing\n");
  if (notFill == 0) {
    text += QStringLiteral("%1 bytes, all fill\n").arg(f.droppedBytes);
  } else {
    text += QStringLiteral("%1 bytes, %2 not fill\n").arg(f.droppedBytes).arg(notFill);
  }
  for (const DroppedRange& d : *f.dropped) {
    text += QStringLiteral("    %1, %2 bytes: %3; ")
                .arg(HexOffset(d.offset))
                .arg(d.length)
                .arg(WhereText(d));
    if (d.notFill == 0) {
      text += otherFillText(d) + u'\n';
      continue;
    }
    text += QStringLiteral("%1 not fill (fill %2)").arg(d.notFill).arg(ByteText(d.fill));
    if (!d.text.isEmpty()) text += QStringLiteral(", text \"%1\"").arg(d.text);
    text += u'\n';
  }
  return text;
}

QJsonObject FindingsJson(const QString& name, const ImageFindings& f) {
  const ImageReading& r = f.reading;
  QJsonArray slots, banks;
  if (slotsTold(r)) {
    for (const SlotReading& s : r.slots) {
      QJsonObject slot{{QStringLiteral("slot"), s.slot},
                       {QStringLiteral("bank"), s.bank},
                       {QStringLiteral("offset"), s.offset},
                       {QStringLiteral("length"), s.length}};
      if (s.fillOnly) slot.insert(QStringLiteral("fillOnly"), ByteText(*s.fillOnly));
      slots.append(slot);
    }
  }
  for (const BankPlace& b : r.banks) {
    const auto crc = f.crc32[size_t(b.bank)];
    banks.append(
        QJsonObject{{QStringLiteral("bank"), b.bank},
                    {QStringLiteral("slot"), b.slot},
                    {QStringLiteral("offset"), b.offset},
                    {QStringLiteral("length"), b.length},
                    {QStringLiteral("crc32"), crc ? QJsonValue(Crc32Text(*crc)) : QJsonValue()}});
  }
  QJsonValue dropped;
  if (f.dropped) {
    QJsonArray ranges;
    for (const DroppedRange& d : *f.dropped) {
      ranges.append(QJsonObject{{QStringLiteral("offset"), d.offset},
                                {QStringLiteral("length"), d.length},
                                {QStringLiteral("where"), WhereText(d)},
                                {QStringLiteral("fill"), ByteText(d.fill)},
                                {QStringLiteral("notFill"), d.notFill},
                                {QStringLiteral("text"), textOrNull(d.text)}});
    }
    dropped = ranges;
  }
  const bool read = f.error.isEmpty();
  return {{QStringLiteral("name"), name},
          {QStringLiteral("length"), read ? QJsonValue(r.length) : QJsonValue(-1)},
          {QStringLiteral("class"), textOrNull(read ? LengthClassName(r.length) : QString())},
          {QStringLiteral("recognised"), read && r.recognised()},
          {QStringLiteral("padding"), textOrNull(paddingWord(r))},
          {QStringLiteral("stated"), textOrNull(StatedText(r))},
          {QStringLiteral("slots"), slots},
          {QStringLiteral("banks"), banks},
          {QStringLiteral("dropped"), dropped},
          {QStringLiteral("droppedBytes"), f.dropped ? QJsonValue(f.droppedBytes) : QJsonValue()},
          {QStringLiteral("refusal"),
           read && !r.recognised() ? textOrNull(RefusalText(r)) : QJsonValue()},
          {QStringLiteral("error"), textOrNull(f.error)}};
}

QString ImageSummary(const ImageFindings& f) {
  if (!f.error.isEmpty()) return f.error;
  const ImageReading& r = f.reading;
  QStringList parts;
  if (const QString lengthClass = LengthClassName(r.length); !lengthClass.isEmpty()) {
    parts.append(lengthClass);
  }
  if (!r.recognised()) {
    parts.append(QStringLiteral("refused: ") + RefusalText(r));
    return parts.join(QStringLiteral(", "));
  }
  if (const QString padding = paddingWord(r); !padding.isEmpty()) {
    parts.append(QStringLiteral("%1 padding").arg(padding));
  }
  if (r.stated) parts.append(StatedText(r));
  QStringList held;
  for (const SlotReading& s : r.slots)
    held.append(QStringLiteral("%1 in slot %2").arg(s.bank).arg(s.slot));
  parts.append(QStringLiteral("banks ") + held.join(QStringLiteral(", ")));
  return parts.join(QStringLiteral(", "));
}

QString DroppedSummary(const ImageFindings& f) {
  if (!f.dropped) return {};
  const qint64 notFill = notFillTotal(*f.dropped);
  if (f.dropped->isEmpty()) {
    return f.droppedBytes == 0 ? QStringLiteral("nothing")
                               : QStringLiteral("%1 bytes, all fill").arg(grouped(f.droppedBytes));
  }
  constexpr qsizetype Named = 3;
  QStringList places;
  qsizetype more = 0;
  for (const DroppedRange& d : *f.dropped) {
    // With bytes that are not fill, only those are named.
    if (notFill > 0 && d.notFill == 0) continue;
    if (places.size() == Named) {
      ++more;
      continue;
    }
    QString place = WhereText(d) + QStringLiteral(" at ") + HexOffset(d.offset);
    if (d.notFill == 0) {
      place += QStringLiteral(" (%1)").arg(otherFillText(d));
    } else if (!d.text.isEmpty()) {
      place += QStringLiteral(" (\"%1\")").arg(d.text);
    }
    places.append(place);
  }
  if (more > 0) places.append(QStringLiteral("and %1 more").arg(more));
  if (notFill == 0) {
    return QStringLiteral("%1 bytes, all fill: %2")
        .arg(grouped(f.droppedBytes), places.join(QStringLiteral("; ")));
  }
  return QStringLiteral("%1 bytes that are not fill: %2")
      .arg(grouped(notFill), places.join(QStringLiteral("; ")));
}

QString LeftOutText(const ImageFindings& f) {
  const QString dropped = DroppedSummary(f);
  const QString output = OutputText(f.repeated, f.missing);
  if (output.isEmpty() || dropped.isEmpty()) return dropped;
  return output + QStringLiteral("; ") + dropped;
}

QString DroppedNotice(const QString& name, const ImageFindings& f) {
  if (!f.dropped || notFillTotal(*f.dropped) == 0) return {};
  return QStringLiteral("%1: note, the layout leaves out %2").arg(name, DroppedSummary(f));
}

}  // namespace ImageWords
