// What is found in an image: bank checksums, the input bytes an output
// layout leaves out, and how they are told.
#include <QtTest>

#include "engine/BankTables.h"
#include "engine/ImageFindings.h"
#include "engine/Lib_File.h"
#include "tests/support/TestSupport.h"
#include "tools/ImageBuilder.h"

using namespace ImageBuilder;

namespace {

// A bank of 0x11 with its mark at the start and text 33K and 55K into it, so
// that every cut of its tail holds bytes that are not fill.
QByteArray Tagged(QByteArrayView mark, int tag) {
  QByteArray bank = With(Fill(56 * K, 0x11), 0, mark);
  Put(bank, 33 * K, "MID " + QByteArray::number(tag));
  Put(bank, 55 * K, "END " + QByteArray::number(tag));
  return bank;
}

const QByteArray T0 = Tagged("", 0), T1 = Tagged("\x27\xFE", 1), T8 = Tagged("\xFF\xFA", 8);
const QByteArray T9 = With(Tagged("\x11\x11\x27\xFE", 9), 0x100, "Copyright Ford");
// Bank 1 by its second byte, with the "Copyright" that keeps only 32K of it.
const QByteArray T1of32K = With(Tagged(QByteArray("\x00\x2C", 2), 1), 32611, "Copyright");
const QByteArray Cal("CAL 4.2 EEC");

OutputLayout layoutOf(const char* order, quint8 padSize, quint8 padType = 0, quint8 bank1Only = 0,
                      quint8 limit32K = 0) {
  OutputLayout layout;
  ResolveLayout(order, "FF", padSize, padType, bank1Only, limit32K, &layout);
  return layout;
}

// Recognises image as a run would and takes its findings from file number 1.
ImageFindings findingsOf(QByteArray& image, const OutputLayout& layout) {
  Lib_File::CloseAllGuard closeAll;
  Lib_File::OpenBuffer(Lib_File::InputFile, &image);
  if (ClassifyImage()) ConvertFile();
  return TakeFindings({.layout = layout, .crc32 = false});
}

QStringList told(const ImageFindings& f) {
  QStringList ranges;
  for (const DroppedRange& r : *f.dropped)
    ranges << QStringLiteral("%1 %2 %3; %4 '%5'")
                  .arg(QString::number(r.offset, 16), QString::number(r.length), r.where,
                       QString::number(r.notFill), r.text);
  return ranges;
}

// clang-format off
struct Dropped { const char* name; QByteArray image; OutputLayout layout; QStringList ranges; };  // ranges as told()
const Dropped droppedRows[] = {
    {"216K in its own order: nothing", Image216K({T0, T1, T8, T9}), layoutOf("0,1,8,9", 0), {}},
    {"256K front padding, text in the padding of slot 1", With(Image256K({T0, T1, T8, T9}, true), 0x10100, Cal), layoutOf("0,1,8,9", 2, 1),
     {"10000 8192 padding of slot 1; 11 'CAL 4.2 EEC'", "1e000 8192 bank 1 past 48K; 5 'END 1'"}},
    {"256K rear padding", With(Image256K({T0, T1, T8, T9}, false), 0x1E100, Cal), layoutOf("0,1,8,9", 1),
     {"1c000 8192 bank 1 past 48K; 5 'END 1'", "1e000 8192 padding of slot 1; 11 'CAL 4.2 EEC'"}},
    {"256K bank 1 of 32K", Image256K({T0, T1of32K, T8, T9}, false), layoutOf("0,1,8,9", 0),
     {"18000 24576 bank 1 past 32K; 10 'MID 1'"}},
    {"256K slot 0 not taken: slots 0 and 1 both bank 1", Image256K({T1, With(T1, 40 * K, "TWO"), T8, T9}, false), layoutOf("0,1,8,9", 0),
     {"0 57344 slot 0 (not taken: bank 0 comes from slot 1); 12 'MID 1'"}},
    {"224K bank 0 of pure fill left out is not told", Image224K({Fill(56 * K, 0x11), T1, T8, T9}), layoutOf("1,8,9,9", 0),
     {"1a000 8192 bank 1 past 48K; 5 'END 1'"}},
    {"224K bank 1 only, cut to 32K", Image224K({T0, T1, T8, T9}), layoutOf("", 2, 0, 1, 1),
     {"0 57344 bank 0 (left out with bank 1 only); 10 'MID 0'", "16000 16384 bank 1 past 32K (cut by the 32K limit); 5 'MID 1'",
      "1a000 8192 bank 1 past 48K; 5 'END 1'", "1c000 57344 bank 8 (left out with bank 1 only); 12 'MID 8'",
      "2a000 57344 bank 9 (left out with bank 1 only); 26 'Copyright Ford'"}},
    {"88K beginning FF FA, bank 1 only: bank 8 is the first slot", Image88K(With(With(Fill(32 * K, 0x11), 0, "\xFF\xFA"), 0x7000, "CAL 88"), T1), layoutOf("", 0, 0, 1),
     {"0 32768 bank 8 (left out with bank 1 only); 8 'CAL 88'"}},
};

// What the padding of slot 0 holds, and the text found in it.
struct Text { const char* name; QByteArray padding; const char* text; };
const Text textRows[] = {
    {"spaces around it are not part of it", "  CAL 4.2 EEC  ", "CAL 4.2 EEC"},
    {"a run of three is no text", "ABC\x01WXYZ", "WXYZ"},
    {"cut to 40 characters", QByteArray("0123456789").repeated(5), "0123456789012345678901234567890123456789"},
    {"no printable run", "\x01\x02\x03", ""},
    {"a printable fill is trimmed", With(Fill(8 * K, '.'), 100, "KEEP"), "KEEP"},
};
// clang-format on

}  // namespace

class TestFindings : public QObject {
  Q_OBJECT

 private Q_SLOTS:
  // Every byte value once and more, split anywhere, so every start and tail of the eight-byte
  // steps is met.
  void crc32() {
    QByteArray counting(1024, Qt::Uninitialized);
    for (int i = 0; i < 1024; ++i) counting[i] = char(i);
    QCOMPARE(Crc32Text(Crc32("")) + Crc32Text(Crc32("123456789")), "00000000CBF43926");
    for (qsizetype at = 0; at <= 40; ++at)
      QCOMPARE(Crc32Text(Crc32(counting.sliced(at), Crc32(counting.first(at)))), "B70B4C26");
  }

  void droppedBytes_data() { addRows(droppedRows); }
  void droppedBytes() {
    QFETCH(int, row);
    const Dropped& d = droppedRows[row];
    QByteArray image = d.image;
    const ImageFindings f = findingsOf(image, d.layout);
    QVERIFY(f.recognised && f.dropped);
    QCOMPARE(told(f), d.ranges);

    // Every output byte is fill or the input byte the trace names, and the
    // input bytes no piece names are exactly the dropped ones.
    const QByteArray output = AssembleImage(d.layout);
    QByteArray fill(output.size(), char(d.layout.fillByte));
    QList<bool> written(image.size(), false);
    for (const OutputPiece& p : TraceOutput(f, d.layout)) {
      QVERIFY(output.sliced(p.outputOffset, p.length) == image.sliced(p.inputOffset, p.length));
      fill.replace(p.outputOffset, p.length, image.sliced(p.inputOffset, p.length));
      std::fill_n(written.begin() + p.inputOffset, p.length, true);
    }
    QVERIFY(fill == output);
    QCOMPARE(f.droppedBytes, qint64(written.count(false)));
  }

  void firstText_data() { addRows(textRows); }
  void firstText() {
    QFETCH(int, row);
    QByteArray image = With(Image256K({T0, T1, T8, T9}, true), 0, textRows[row].padding);
    const ImageFindings f = findingsOf(image, layoutOf("0,1,8,9", 0));
    QVERIFY(f.dropped && f.dropped->size() >= 2);
    QCOMPARE(f.dropped->first().where + u'|' + f.dropped->first().text,
             QStringLiteral("padding of slot 0|") + textRows[row].text);
  }

  // Ranges joined, the fourth on told as a count; nothing when only fill or no layout is left.
  void notice() {
    QByteArray image = With(Image256K({T0, T1, T8, T9}, true), 0x10100, Cal);
    const auto notice = [&](const ImageFindings& f) { return DroppedNotice("x.bin", f); };
    QCOMPARE(notice(findingsOf(image, layoutOf("0,1,8,9", 0))),
             "x.bin: note, the layout leaves out 16 bytes that are not fill: padding of slot 1 at "
             "0x10000 (\"CAL 4.2 EEC\"); bank 1 past 48K at 0x1E000 (\"END 1\")");
    QVERIFY(notice(findingsOf(image, layoutOf("", 0, 0, 1))).endsWith("; and 2 more"));
    image = Image216K({T0, T1, T8, T9});
    QCOMPARE(notice(findingsOf(image, layoutOf("0,1,8,9", 0))) + notice(TakeFindings(image, {})),
             QString());
  }
};

QTEST_GUILESS_MAIN(TestFindings)
#include "test_findings.moc"
