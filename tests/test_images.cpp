// Input images and what is made of them: the length class and the banks recognised, the output
// image built from the banks and the layout choices (and the resolution of the stored layout texts
// and codes), and what is found in an image: bank checksums, the input bytes an output layout
// leaves out, and how they are told.
#include <QtTest>

#include "engine/BankTables.h"
#include "engine/ImageAssembly.h"
#include "engine/ImageFindings.h"
#include "engine/Lib_File.h"
#include "tests/support/TestSupport.h"
#include "tools/ImageBuilder.h"

using namespace ImageBuilder;

namespace {

using Banks = std::array<QByteArray, 4>;  // banks 0, 1, 8, 9

const QByteArray CF("Copyright Ford");
const QByteArray B0 = Bank0(), B1 = Bank1(), B8 = Bank8(), B9 = Bank9(), None;
const QByteArray B1_48 = B1.left(48 * K), B1_32 = B1.left(32 * K);
const Banks Own{{B0, B1_48, B8, B9}};  // every bank found, bank 1 of 48K
// An 88K image that does not begin with FF FA, as the recognition leaves it.
const Banks Two{{{}, B1_32, B8, {}}};
const std::optional<Banks> Rejected;
// FF FA followed by 27 FE is no bank 8 mark; "Copyright Ford" in it.
const QByteArray FFFA27FE = With(B8, 2, "\x27\xFE"), FFFA27FECF = With(FFFA27FE, 4, CF);

// A bank the second-byte rule takes for bank 1, with or without the "Copyright" that makes it 32K.
QByteArray SecondByteBank(char second, bool copyright) {
  QByteArray bank = With(B0, 1, QByteArrayView(&second, 1));
  if (copyright) Put(bank, 32611, "Copyright");
  return bank;
}

const QByteArray X2C = SecondByteBank(0x2C, true), X31 = SecondByteBank(0x31, true);
const QByteArray Y2C = SecondByteBank(0x2C, false), Early = With(Y2C, 32610, "Copyright");
const QByteArray B1CF = With(B1, 0x200, CF), FFFF = With(B0, 0, "\xFF\xFF");
const QByteArray FFFAAt0 = With(Slot64K(B1, 8 * K), 0, "\xFF\xFA");
// clang-format off
struct Row { const char* name; QByteArray image; std::optional<Banks> banks; };  // none: rejected
const Row rows[] = {
    {"256K rear padding, order 8,1,0,9", Image256K({B8, B1, B0, B9}, false), Own},
    {"256K front padding past a slot without a mark, fill 00", Image256K({B0, B1, B8, B9}, true, 0), Own},
    // Index i takes the slot named by the bank found in slot i.
    {"256K order 1,8,0,9 follows the slot names", Image256K({B1, B8, B0, B9}, true), Banks{B8, B0.left(48 * K), B1, B9}},
    // One slot taken by two indexes is cut for each.
    {"256K search stops at the first slot with a mark", Slot64K(B1, 0) + Slot64K(B1, 8 * K) + Slot64K(B8, 8 * K) + Slot64K(B9, 0), Banks{Fill(8 * K, 0xFF) + B1_48, B1_48, B1, B9}},
    {"256K FFFA at 0 beats 27FE at 8192 in one slot", FFFAAt0 + Slot64K(B1, 0) + Slot64K(B0, 0) + Slot64K(B9, 0), Banks{B0, B1_48, FFFAAt0.left(56 * K), B9}},
    {"256K 27FE at 8192 beats 27FE at 0 in one slot", With(Slot64K(B1, 8 * K), 0, "\x27\xFE") + Slot64K(B0, 8 * K) + Slot64K(B8, 8 * K) + Slot64K(B9, 8 * K), Own},
    {"256K marks elsewhere than 0 and 8192: rejected", Slot64K(B1, 4 * K) + Slot64K(B8, 1) + Slot64K(B1, 8 * K + 1) + Slot64K(B9, 0), Rejected},
    {"256K Copyright one byte early: 56K", Image256K({B0, Early, B8, B9}, true), Banks{B0, Early, B8, B9}},
    {"256K last bank 1 found, 0x31: 32K", Image256K({B1, X31, B8, B9}, false), Banks{X31, X31.left(32 * K), B8, B9}},
    {"256K length goes to the bank at index 1", Image256K({B1, B0, B8, X2C}, false), Banks{B0, B1.left(32 * K), B8, B0}},
    {"256K no bank 1: index 1 cut to 48K", Image256K({B8, B8, B8, B8}, true), Banks{B8, B8.left(48 * K), B8, B8}},
    {"256K 27FE and second byte beat Copyright Ford", Image256K({B0, B1CF, B8, With(X2C, 0x200, CF)}, true), Banks{B0, B1CF.left(32 * K), B8, B1CF}},
    {"256K FFFA then 27FE: bank 9 with Copyright Ford, else 0", Image256K({B9, B1, FFFA27FE, FFFA27FECF}, true), Banks{FFFA27FECF, B1_48, B9, FFFA27FECF}},
    {"256K Copyright Ford at the very end of the fill counts", Slot64K(B1, 0) + Slot64K(B0, 0) + With(Slot64K(B0, 0), 64 * K - 14, CF) + Slot64K(B8, 0), Banks{B0, B1_48, B8, B0}},

    {"224K order 8,1,0,9", Image224K({B8, B1, B0, B9}), Own},
    {"216K bank 8 in the 48K slot", Image216K({B0, Bank8(48 * K), B1, B9}), Banks{B0, B1_48, Bank8(48 * K), B9}},
    // A blank slot is refused, unless Copyright Ford in slot 1 allows it.
    {"224K slot 0 FFFF: rejected", Image224K({FFFF, B1CF, B8, B9}), Rejected},
    {"224K slot 1 FFFF: rejected", Image224K({B0, With(B1CF, 0, "\xFF\xFF"), B8, B9}), Rejected},
    {"216K slot 9 FFFF: rejected", Image216K({B0, B1, B8, FFFF}), Rejected},
    {"224K Copyright Ford in slot 0 does not help", Image224K({B9, B1, FFFF, B9}), Rejected},
    {"224K slots 8 and 9 FFFF, Copyright Ford in slot 1", Image224K({B0, B1CF, FFFF, FFFF}), Banks{B0, B1CF.left(48 * K), B0, B0}},
    {"224K Copyright Ford without 27FE second is bank 1", Image224K({B0, B1, B8, With(B0, 0x400, CF)}), Banks{B0, B1_48, B8, B1}},
    {"224K 27FE first beats Copyright Ford", Image224K({B0, B1, B8, With(B9, 0, "\x27\xFE")}), Banks{B0, B1_48, B8, B1}},
    {"224K FFFA then 27FE: bank 9 with Copyright Ford, else 0", Image224K({B9, B1, FFFA27FE, FFFA27FECF}), Banks{FFFA27FECF, B1_48, B9, FFFA27FECF}},

    // Banks 0 and 9 of the four-bank image before must not survive.
    {"88K beginning FFFA: bank 8 first", Image88K(Bank8(32 * K), B1), Banks{None, B1, Bank8(32 * K), None}},
    {"112K beginning FFFB, FFFA second: bank 1 first", Image112K(With(B8, 1, "\xFB"), B8), Banks{None, With(B8, 1, "\xFB"), B8, None}},
};
// clang-format on

// A bank of 0x11 with its mark at the start and text 33K and 55K into it, so
// that every cut of its tail holds bytes that are not fill.
QByteArray Tagged(QByteArrayView mark, int tag) {
  QByteArray bank = With(Fill(56 * K, 0x11), 0, mark);
  Put(bank, 33 * K, "MID " + QByteArray::number(tag));
  Put(bank, 55 * K, "END " + QByteArray::number(tag));
  return bank;
}

const QByteArray T0 = Tagged("", 0), T1 = Tagged("\x27\xFE", 1), T8 = Tagged("\xFF\xFA", 8);
const QByteArray T9 = With(Tagged("\x11\x11\x27\xFE", 9), 0x100, CF);
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

class TestImages : public QObject {
  Q_OBJECT

 private Q_SLOTS:
  // Only the five lengths have a layout; where their slots lie, the banks recognize() finds show.
  void classifyLength() {
    for (qint64 length : {Length88K, Length112K, Length216K, Length224K, Length256K})
      QVERIFY(!ClassifyLength(length - 1) && !ClassifyLength(length + 1));
  }

  // The tables keep what the previous image left in them, as in a run.
  void recognize_data() { addRows(rows); }
  void recognize() {
    QFETCH(int, row);
    const auto& [name, image, banks] = rows[row];
    QByteArray buffer = image;
    Lib_File::CloseAllGuard closeAll;
    QVERIFY(Lib_File::OpenBuffer(Lib_File::InputFile, &buffer));
    QVERIFY(ClassifyImage());
    QCOMPARE(ConvertFile(), banks.has_value());
    QVERIFY(buffer == image);
    if (!banks) return;
    const auto& [b0, b1, b8, b9] = *banks;
    // Banks 2 to 7 empty. Not QCOMPARE: it would print 64K of bytes.
    QVERIFY(
        (BankData() == std::array<QByteArray, BankCount>{b0, b1, {}, {}, {}, {}, {}, {}, b8, b9}));
  }

  // Each image is built in a buffer that held the image before, as the buffer of a run would.
  void assembleImage() {
    // clang-format off
    const struct { const char* name; const Banks& banks; const char *order, *padValue; quint8 padSize, padType, bank1Only, limit32K; QByteArray expected; } rows[] = {
        {"56K padding ignores front padding", Two, "0,1,8,9", "FF", 1, 1, 0, 0, Fill(56 * K, 0xFF) + B1_32 + Fill(24 * K, 0xFF) + B8 + Fill(56 * K, 0xFF)},
        {"pad size 255 is no padding: the banks there are", Two, "0,1,8,9", "FF", 255, 1, 0, 0, B1_32 + B8},
        {"pad type 255 is front padding, fill 00", Two, "0,1,8,9", "00", 2, 255, 0, 0, Fill(72 * K, 0) + B1_32 + Fill(32 * K, 0) + B8 + Fill(64 * K, 0)},
        {"a fifth piece is ignored", Own, "9,8,1,0,1", "FF", 0, 0, 0, 0, B9 + B8 + B1_48 + B0},
        {"a bank at two places, banks 2 to 7 are fill", Own, "1,1,2,7", "5A", 1, 0, 0, 0, B1_48 + Fill(8 * K, 0x5A) + B1_48 + Fill(8 * K, 0x5A) + Fill(112 * K, 0x5A)},
        {"bank 1 only ignores order, padding and pad value", Own, "8,9", "ZZ", 2, 1, 2, 0, B1_48},
        {"32K limit cuts a 48K bank 1 alone", Own, "0,1,8,9", "FF", 1, 0, 1, 255, B1_48.left(32 * K)},
        {"32K limit without bank 1 only does nothing", Own, "0,1,8,9", "FF", 0, 0, 0, 1, B0 + B1_48 + B8 + B9},
    };
    // clang-format on
    QByteArray image;
    for (const auto& r : rows) {
      const auto& [b0, b1, b8, b9] = r.banks;
      BankData() = {b0, b1, {}, {}, {}, {}, {}, {}, b8, b9};
      OutputLayout layout;
      QVERIFY2(ResolveLayout(r.order, r.padValue, r.padSize, r.padType, r.bank1Only, r.limit32K,
                             &layout) == LayoutError::None,
               r.name);
      AssembleImage(layout, &image);
      QVERIFY2(image == r.expected, r.name);  // not QCOMPARE: it would print 256K of bytes
    }
  }

  // Accepted orders all mean 0,1,8,9; a failure leaves the layout as it was.
  void resolveLayout() {
    const int BadOrder = -int(LayoutError::BadOrder), BadPad = -int(LayoutError::BadPadValue);
    const struct {
      const char *order, *padValue;
      int padSize, bank1Only, fill;  // the fill byte, or the error
    } rows[] = {
        {"0,1,8,9,x", "ff", 1, 0, 0xFF},    {"00,1,08,9", "A", 2, 0, 0x0A},
        {"", "FF", 1, 0, BadOrder},         {"0,1,8", "FF", 1, 0, BadOrder},
        {"0,1,8,10", "FF", 1, 0, BadOrder}, {"0,1,8,+1", "FF", 1, 0, BadOrder},
        {" 0,1,8,9", "FF", 1, 0, BadOrder}, {"0,1,8,\u0669", "FF", 1, 0, BadOrder},
        {"0,1,8,9", "0FF", 1, 0, 0xFF},     {"0,1,8,9", "100", 1, 0, BadPad},
        {"0,1,8,9", "ABC", 1, 0, BadPad},   {"0,1,8,9", "G1", 2, 0, BadPad},
        {"0,1,8,9", "", 1, 0, BadPad},      {"0,1,8,9", " F", 1, 0, BadPad},
        {"0,1", "ZZ", 1, 0, BadOrder},      {"0,1,8,9", "ZZ", 0, 0, 0xFF},
        {"0,1,8,9", "ZZ", 5, 0, 0xFF},      {"0,1,8,9", "ZZ", 2, 1, 0xFF},
    };
    for (const auto& row : rows) {
      OutputLayout layout{.order = {7, 7, 7, 7}};
      const LayoutError error =
          ResolveLayout(QString::fromUtf8(row.order), row.padValue, quint8(row.padSize), 0,
                        quint8(row.bank1Only), 0, &layout);
      const int got = error == LayoutError::None ? layout.fillByte : -int(error);
      const bool kept = layout.order == (got < 0 ? std::array{7, 7, 7, 7} : std::array{0, 1, 8, 9});
      QVERIFY2(got == row.fill && kept,
               qPrintable(QString("\"%1\" \"%2\" gives %3").arg(row.order, row.padValue).arg(got)));
    }
  }

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

QTEST_GUILESS_MAIN(TestImages)
#include "test_images.moc"
