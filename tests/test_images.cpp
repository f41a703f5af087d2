// Input images and what is made of them: how an image is read (by its marks, or as the user states
// it), the output image built from its banks and the layout choices, what Quillet writes read back,
// and what is found in an image: bank checksums, the input bytes an output layout leaves out, and
// how all of it is told.
#include <QtTest>
#include <algorithm>

#include "batch/ImageWords.h"
#include "engine/ImageAssembly.h"
#include "engine/ImageFindings.h"
#include "tests/support/TestSupport.h"
#include "tools/ImageBuilder.h"

using namespace ImageBuilder;

namespace {

using Banks = std::array<QByteArray, 4>;  // banks 0, 1, 8, 9
using Order = std::array<int, 4>;

const QByteArray CF("Copyright Ford");
const QByteArray B0 = Bank0(), B1 = Bank1(), B8 = Bank8(), B9 = Bank9(), None;
const QByteArray B1_48 = B1.left(48 * K), B1_32 = B1.left(32 * K);
const Banks Own{{B0, B1_48, B8, B9}};  // every bank found, bank 1 of 48K
// Some programs' bank 9 begins FF FF, which the checks of 216K and 224K images refuse.
const QByteArray B9FFFF = With(B9, 0, "\xFF\xFF");
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

QByteArray assembled(const OutputPlan& plan, QByteArrayView image) {
  QByteArray out(plan.length, Qt::Uninitialized);
  AssembleImage(plan, image, out.data());
  return out;
}

int indexOf(int bank) {
  return int(std::find(SlotNames.begin(), SlotNames.end(), bank) - SlotNames.begin());
}

// The banks of every slot of a read image, by bank number; empty for a bank not read.
Banks banksOf(const ImageReading& r, QByteArrayView image) {
  Banks banks;
  for (const BankPlace& b : r.banks)
    banks[size_t(indexOf(b.bank))] = image.sliced(b.offset, b.length).toByteArray();
  return banks;
}

// clang-format off
struct Row { const char* name; QByteArray image; std::variant<Banks, Refusal> read; };
const Row rows[] = {
    {"256K rear padding, order 8,1,0,9", Image256K({B8, B1, B0, B9}, false), Own},
    {"256K front padding past a slot without a mark, fill 00", Image256K({B0, B1, B8, B9}, true, 0), Own},
    {"256K order 1,8,0,9: every bank at its own number", Image256K({B1, B8, B0, B9}, true), Own},
    {"256K FFFA at 0 beats 27FE at 8192 in one slot", FFFAAt0 + Slot64K(B1, 0) + Slot64K(B0, 0) + Slot64K(B9, 0), Banks{B0, B1_48, FFFAAt0.left(56 * K), B9}},
    {"256K 27FE at 8192 beats 27FE at 0 in one slot", With(Slot64K(B1, 8 * K), 0, "\x27\xFE") + Slot64K(B0, 8 * K) + Slot64K(B8, 8 * K) + Slot64K(B9, 8 * K), Own},
    {"256K marks elsewhere than 0 and 8192", Slot64K(B1, 4 * K) + Slot64K(B8, 1) + Slot64K(B1, 8 * K + 1) + Slot64K(B9, 0), Refusal::NoPaddingMark},
    {"256K Copyright one byte early: bank 1 of 56K", Image256K({B0, Early, B8, B9}, true), Banks{B0, Early, B8, B9}},
    {"256K 0x31 and Copyright: bank 1 of 32K", Image256K({B9, B8, X31, B0}, false), Banks{B0, X31.left(32 * K), B8, B9}},
    {"256K Copyright Ford at the very end of the fill counts", Slot64K(B1, 0) + Slot64K(B0, 0) + With(Slot64K(B0, 0), 64 * K - 14, CF) + Slot64K(B8, 0), Banks{B0, B1_48, B8, B0}},
    {"224K order 8,1,0,9", Image224K({B8, B1, B0, B9}), Own},
    {"224K bank 9 FF FF in slot 9, Copyright Ford in slot 1", Image224K({B0, B1CF, B8, B9FFFF}), Banks{B0, B1CF.left(48 * K), B8, B9FFFF}},
    {"88K beginning FFFA: bank 8 first", Image88K(Bank8(32 * K), B1), Banks{None, B1, Bank8(32 * K), None}},
    {"112K beginning FFFB, FFFA second: bank 1 first", Image112K(With(B8, 1, "\xFB"), B8), Banks{None, With(B8, 1, "\xFB"), B8, None}},
    // The checks of the marks.
    {"224K slot 0 FFFF", Image224K({FFFF, B1CF, B8, B9}), Refusal::Slot0Blank},
    {"224K slot 1 FFFF", Image224K({B0, With(B1CF, 0, "\xFF\xFF"), B8, B9}), Refusal::Slot1Blank},
    {"216K slot 9 FFFF", Image216K({B0, B1, B8, FFFF}), Refusal::Slot9Blank},
    {"224K Copyright Ford in slot 0 does not help", Image224K({B9, B1, FFFF, B9}), Refusal::Slot8Blank},
    // Slots that do not read as four different banks: no bank is written twice or lost.
    {"256K the first slot with a mark sets the padding", Slot64K(B1, 0) + Slot64K(B1, 8 * K) + Slot64K(B8, 8 * K) + Slot64K(B9, 0), Refusal::BanksNotApart},
    {"256K two slots by the second byte", Image256K({B1, X31, B8, B9}, false), Refusal::BanksNotApart},
    {"256K 27FE and second byte beat Copyright Ford", Image256K({B0, B1CF, B8, With(X2C, 0x200, CF)}, true), Refusal::BanksNotApart},
    {"256K four of bank 8", Image256K({B8, B8, B8, B8}, true), Refusal::BanksNotApart},
    {"256K FFFA then 27FE: bank 9 with Copyright Ford, else 0", Image256K({B9, B1, FFFA27FE, FFFA27FECF}, true), Refusal::BanksNotApart},
    {"224K slots 8 and 9 FFFF, Copyright Ford in slot 1", Image224K({B0, B1CF, FFFF, FFFF}), Refusal::BanksNotApart},
    {"224K Copyright Ford without 27FE second is bank 1", Image224K({B0, B1, B8, With(B0, 0x400, CF)}), Refusal::BanksNotApart},
    {"224K 27FE first beats Copyright Ford", Image224K({B0, B1, B8, With(B9, 0, "\x27\xFE")}), Refusal::BanksNotApart},
    {"216K bank 1 read outside the 48K slot", Image216K({B0, Bank8(48 * K), B1, B9}), Refusal::Bank1Misplaced},
};

// Why an image is not read, as both front ends tell it.
struct Reason { const char* name; QByteArray image; const char* text; };
const QByteArray NoBank8Mark = With(B8, 2, "\x27\xFE");
const Reason reasons[] = {
    {"two slots of one bank and a bank in none", Image256K({NoBank8Mark, B1, B8, NoBank8Mark}, false),
     "the banks cannot be told apart: slots 0 and 9 both read as bank 0, and no slot as bank 9; stating its layout reads it"},
    {"one bank kept in a 256K file", Slot64K(Fill(56 * K, 0xFF), 0) + Slot64K(Fill(56 * K, 0xFF), 0) + Slot64K(B8, 0) + Slot64K(Fill(56 * K, 0xFF), 0),
     "the banks cannot be told apart: slots 0, 1 and 9 all read as bank 0, and no slot as bank 1 or 9; slots 0, 1 and 9 hold nothing but fill; stating its layout reads it"},
    {"one slot of fill", Image224K({Fill(56 * K, 0xBF), B1, B1CF, B9}),
     "the banks cannot be told apart: slots 1 and 8 both read as bank 1, and no slot as bank 8; slot 0 holds nothing but fill; stating its layout reads it"},
    {"bank 1 out of place in 216K", Image216K({B1, B8, B0, B9}), "the banks cannot be told apart: slot 0 reads as bank 1, but bank 1 of a 216K image is the 48K slot 1; stating its layout reads it"},
    {"a check of the marks", Image224K({FFFF, B1, B8, B9}), "slot 0 begins FF FF; stating its layout reads it"},
    {"no padding mark", Image256K({B0, B0, B0, B9}, true), "no slot begins 27 FE or FF FA, neither at its start nor 8K into it; stating its layout reads it"},
    {"a length no layout has", Fill(100, 0), "no image layout has this length"},
};
// clang-format on

// The 24 orders of the four banks, in file order.
QList<Order> everyOrder() {
  QList<Order> orders;
  Order order = SlotNames;
  do orders.append(order);
  while (std::next_permutation(order.begin(), order.end()));
  return orders;
}

const auto orderName = [](const Order& o) { return ImageWords::OrderText(o); };

// The banks one after another in the file order given: each 56K, bank 1 as long as it is given.
QByteArray backToBack(const Banks& banks, const Order& order) {
  QByteArray image;
  for (int bank : order) image += banks[size_t(indexOf(bank))];
  return image;
}

// The banks an image gives: bank 1 as the 48K every four-bank class keeps of it.
Banks kept(const Banks& b) {
  return {b[0], b[1].left(48 * K), b[2], b[3]};
}

// Each bank in a 64K slot, the fill after it, or 8K of it before.
QByteArray slotted(const Banks& banks, const Order& order, qint64 pad) {
  QByteArray image;
  for (int bank : order) image += Slot64K(banks[size_t(indexOf(bank))], pad);
  return image;
}

// The four-bank classes, each as an image of the banks in a file order, and the padding a
// stated layout names.
struct ImageClass {
  const char* name;
  std::function<QByteArray(const Banks&, const Order&)> make;
  std::optional<qint64> pad;
};
// clang-format off
const ImageClass classes[] = {
    {"216K", [](const Banks& b, const Order& o) { return backToBack(kept(b), o); }, {}},
    {"224K", backToBack, {}},
    {"256K front", [](const Banks& b, const Order& o) { return slotted(b, o, 8 * K); }, 8 * K},
    {"256K rear", [](const Banks& b, const Order& o) { return slotted(b, o, 0); }, 0},
};
// clang-format on

// Where the banks of an output of each padding (none, 56K, 64K rear, 64K front) are stated to be.
const std::optional<qint64> PaddingAt[] = {{}, {}, 0, 8 * K};

// What the output of these banks in this layout must hold, computed from the banks alone.
QByteArray expectedOutput(const Banks& banks, const Order& order, int pad, char fill) {
  QByteArray out;
  for (int bank : order) {
    const QByteArray& b = banks[size_t(indexOf(bank))];
    const qint64 slot[] = {b.size(), 56 * K, 64 * K, 64 * K}, front = pad == 3 ? 8 * K : 0;
    out += QByteArray(front, fill) + b + QByteArray(slot[pad] - front - b.size(), fill);
  }
  return out;
}

OutputLayout layoutOf(const char* order, quint8 padSize, quint8 padType = 0, quint8 bank1Only = 0,
                      quint8 limit32K = 0) {
  OutputLayout layout;
  ResolveLayout(order, "FF", padSize, padType, bank1Only, limit32K, &layout);
  return layout;
}

ImageFindings findingsOf(const QByteArray& image, const OutputLayout& layout) {
  return TakeFindings(image, ConvertFile(image), {.layout = layout, .crc32 = false});
}

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

QStringList told(const ImageFindings& f) {
  QStringList ranges;
  for (const DroppedRange& r : *f.dropped) {
    const QString what = r.notFill == 0
                             ? QStringLiteral("fill %1").arg(ImageWords::ByteText(r.fill))
                             : QStringLiteral("%1 '%2'").arg(r.notFill).arg(r.text);
    ranges << QStringLiteral("%1 %2 %3; %4")
                  .arg(QString::number(r.offset, 16), QString::number(r.length),
                       ImageWords::WhereText(r), what);
  }
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
    {"256K padding of another value than the chosen fill is told as fill", Image256K({T0, T1, T8, T9}, true, 0xBF), layoutOf("0,1,8,9", 2, 1),
     {"0 8192 padding of slot 0; fill BF", "10000 8192 padding of slot 1; fill BF", "1e000 8192 bank 1 past 48K; 5 'END 1'", "20000 8192 padding of slot 8; fill BF", "30000 8192 padding of slot 9; fill BF"}},
    {"224K a bank of one value left out is told as fill", Image224K({Fill(56 * K, 0x11), T1, T8, T9}), layoutOf("1,8,9,9", 0),
     {"0 57344 bank 0 (not in the output order); fill 11", "1a000 8192 bank 1 past 48K; 5 'END 1'"}},
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
  // Only the five lengths have a layout.
  void lengthClasses() {
    for (qint64 length : {Length88K, Length112K, Length216K, Length224K, Length256K}) {
      QVERIFY(!LengthClassName(length).isEmpty());
      for (qint64 near : {length - 1, length + 1})
        QCOMPARE(ConvertFile(Fill(near, 0)).refusal, Refusal::UnknownLength);
    }
  }

  void readByTheMarks_data() { addRows(rows); }
  void readByTheMarks() {
    QFETCH(int, row);
    const auto& [name, image, read] = rows[row];
    const ImageReading r = ConvertFile(image);
    const auto* refusal = std::get_if<Refusal>(&read);
    QCOMPARE(r.refusal, refusal ? *refusal : Refusal::None);
    // Not QCOMPARE: it would print 64K of bytes.
    QVERIFY(refusal ? r.banks.isEmpty() : banksOf(r, image) == std::get<Banks>(read));
  }

  void refusalsTold_data() { addRows(reasons); }
  void refusalsTold() {
    QFETCH(int, row);
    QCOMPARE(ImageWords::RefusalText(ConvertFile(reasons[row].image)),
             QString::fromUtf8(reasons[row].text));
  }

  // Every class in every file order: each bank read at its own number, by the marks where they can
  // tell, else refused and read right as stated. A 216K image's marks read only bank 1 in its 48K
  // slot 1, and bank 9 beginning FF FF is refused by the checks wherever they look.
  void everyFileOrder() {
    for (const ImageClass& c : classes) {
      for (const QByteArray& nine : {B9, B9FFFF}) {
        const Banks banks{B0, B1, B8, nine};
        for (const Order& order : everyOrder()) {
          const QByteArray image = c.make(banks, order);
          const QString name =
              QStringLiteral("%1 %2%3").arg(c.name, orderName(order), nine == B9 ? "" : " FFFF");
          const ImageReading marks = ConvertFile(image);
          const bool markable =
              c.pad || (nine == B9 && (QByteArray(c.name) != "216K" || order[1] == 1));
          QVERIFY2(marks.recognised() ? banksOf(marks, image) == kept(banks) && !marks.stated
                                      : !markable && StatingReads(marks.refusal),
                   qPrintable(name + u' ' + ImageWords::RefusalText(marks)));
          // Stated, it is read so where the marks cannot tell, and by its marks where they can.
          const StatedLayout stated{order, c.pad};
          const ImageReading r = ConvertFile(image, &stated);
          QVERIFY2(r.recognised() && banksOf(r, image) == kept(banks), qPrintable(name));
          QCOMPARE(ImageWords::StatedText(r).section(", ", 0, 0),
                   marks.recognised() ? QString() : "read as stated: " + orderName(order));
        }
      }
    }
  }

  // A stated layout reads only what the marks cannot; 216K puts its 48K slot where bank 1 is
  // stated.
  void statedLayouts() {
    const StatedLayout wrong{{9, 8, 1, 0}, 0};
    const QByteArray marked = Image224K({B8, B1, B0, B9});
    QVERIFY(banksOf(ConvertFile(marked, &wrong), marked) == Own);
    // No mark at all: the padding must be stated too; bank 1 is kept as its own marks tell.
    const QByteArray unmarked = Image256K({B0, B0, Y2C, B9}, true);
    const StatedLayout orderOnly{{0, 9, 1, 8}, {}}, front{{0, 9, 1, 8}, 8 * K},
        rear{{0, 9, 1, 8}, 0};
    QCOMPARE(ConvertFile(unmarked, &orderOnly).refusal, Refusal::NoPaddingMark);
    QVERIFY(banksOf(ConvertFile(unmarked, &front), unmarked) == (Banks{B0, Y2C, B9, B0}));
    QCOMPARE(ImageWords::StatedText(ConvertFile(unmarked, &front)),
             "read as stated: 0,9,1,8, front padding");
    QCOMPARE(ConvertFile(unmarked, &rear).slots[2].offset, 128 * K);
  }

  // What Quillet writes, Quillet reads back: every class and file order, every output order that
  // holds each bank once, unpadded, 56K, 64K rear and front, fill FF and 00. The output's bytes are
  // the banks the test built, and reading it gives those banks back, by its marks or as stated.
  void writtenImagesReadBack() {
    const QList<Order> orders = everyOrder();
    int readByMarks = 0, readAsStated = 0;
    for (const ImageClass& c : classes) {
      for (qsizetype k = 0; k < orders.size(); ++k) {
        const Banks banks{B0, B1, B8, k % 2 ? B9FFFF : B9};
        const Banks expected = kept(banks);
        const QByteArray image = c.make(banks, orders[k]);
        const StatedLayout stated{orders[k], c.pad};
        const ImageReading input = ConvertFile(image, &stated);
        QVERIFY(input.recognised());
        for (const Order& out : orders) {
          for (int pad = 0; pad < 4; ++pad) {
            for (char fill : {'\xFF', '\0'}) {
              const OutputLayout layout{.order = out,
                                        .padSize = PadSizeCode(std::min(pad, 2)),
                                        .frontPadding = pad == 3,
                                        .fillByte = quint8(fill)};
              const QByteArray written = assembled(PlanOutput(input, layout), image);
              const QString name = QStringLiteral("%1 %2 to %3 pad %4 fill %5")
                                       .arg(c.name, orderName(orders[k]), orderName(out))
                                       .arg(pad)
                                       .arg(int(quint8(fill)));
              QVERIFY2(written == expectedOutput(expected, out, pad, fill), qPrintable(name));
              const ImageReading back = ConvertFile(written);
              ++(back.recognised() ? readByMarks : readAsStated);
              QVERIFY2(back.recognised() || StatingReads(back.refusal),
                       qPrintable(name + u' ' + ImageWords::RefusalText(back)));
              const StatedLayout outStated{out, PaddingAt[pad]};
              const ImageReading read = back.recognised() ? back : ConvertFile(written, &outStated);
              QVERIFY2(banksOf(read, written) == expected, qPrintable(name));
            }
          }
        }
      }
    }
    QVERIFY(readByMarks > readAsStated);
  }

  // Built from the banks an image gives, in a buffer reused as a run reuses its own.
  void assembleImage() {
    const QByteArray two = Image88K(B1_32, B8), own = Image224K({B0, B1, B8, B9});
    // clang-format off
    const struct { const char* name; const QByteArray& image; const char *order, *padValue; quint8 padSize, padType, bank1Only, limit32K; QByteArray expected; } rows[] = {
        {"56K padding ignores front padding", two, "0,1,8,9", "FF", 1, 1, 0, 0, Fill(56 * K, 0xFF) + B1_32 + Fill(24 * K, 0xFF) + B8 + Fill(56 * K, 0xFF)},
        {"pad size 255 is no padding: the banks there are", two, "0,1,8,9", "FF", 255, 1, 0, 0, B1_32 + B8},
        {"pad type 255 is front padding, fill 00", two, "0,1,8,9", "00", 2, 255, 0, 0, Fill(72 * K, 0) + B1_32 + Fill(32 * K, 0) + B8 + Fill(64 * K, 0)},
        {"a fifth piece is ignored", own, "9,8,1,0,1", "FF", 0, 0, 0, 0, B9 + B8 + B1_48 + B0},
        {"a bank at two places, banks 2 to 7 are fill", own, "1,1,2,7", "5A", 1, 0, 0, 0, B1_48 + Fill(8 * K, 0x5A) + B1_48 + Fill(8 * K, 0x5A) + Fill(112 * K, 0x5A)},
        {"bank 1 only ignores order, padding and pad value", own, "8,9", "ZZ", 2, 1, 2, 0, B1_48},
        {"32K limit cuts a 48K bank 1 alone", own, "0,1,8,9", "FF", 1, 0, 1, 255, B1_48.left(32 * K)},
        {"32K limit without bank 1 only does nothing", own, "0,1,8,9", "FF", 0, 0, 0, 1, B0 + B1_48 + B8 + B9},
        {"no padding, an order of empty banks: nothing", own, "2,3,4,5", "FF", 0, 0, 0, 0, {}},
    };
    // clang-format on
    QByteArray out(256 * K, 'x');
    for (const auto& r : rows) {
      OutputLayout layout;
      QVERIFY2(ResolveLayout(r.order, r.padValue, r.padSize, r.padType, r.bank1Only, r.limit32K,
                             &layout) == LayoutError::None,
               r.name);
      const OutputPlan plan = PlanOutput(ConvertFile(r.image), layout);
      AssembleImage(plan, r.image, out.data());
      QVERIFY2(out.first(plan.length) == r.expected,
               r.name);  // not QCOMPARE: it would print 256K of bytes
    }
  }

  // A bank written twice or left out is named, for the list and the strip; banks an image does not
  // have, and the banks bank 1 alone leaves out by choice, are not.
  void outputMarks() {
    const QByteArray own = Image224K({B0, B1, B8, B9}), two = Image112K(B1, B8);
    const auto text = [](const QByteArray& image, const OutputLayout& layout) {
      return ImageWords::LeftOutText(findingsOf(image, layout));
    };
    QVERIFY(!text(own, layoutOf("0,1,8,9", 0)).startsWith("the output"));
    QVERIFY(text(own, layoutOf("8,1,8,0", 1))
                .startsWith("the output holds bank 8 more than once, no bank 9; "));
    QVERIFY(!text(own, layoutOf("", 0, 0, 1)).startsWith("the output"));
    QCOMPARE(text(two, layoutOf("0,1,8,9", 2)), "nothing");
  }

  // The one rule of a bank order, and the stricter one of an order of an image's banks.
  void bankOrders() {
    const struct {
      const char* text;
      bool output, input;
    } rows[] = {
        {"0,1,8,9", true, true},   {"1,8,0,9", true, true},     {"0,1,1,9", true, false},
        {"0,1,8,7", true, false},  {"0,1,8,9,5", false, false}, {"10,1,8,9", false, false},
        {"a,b,c,d", false, false}, {"0;1;8;9", false, false},   {"", false, false},
    };
    for (const auto& r : rows) {
      QVERIFY2(CheckBankOrder(r.text).has_value() == r.output, r.text);
      QVERIFY2(CheckBankOrder(r.text, true).has_value() == r.input, r.text);
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
    using ImageWords::Crc32Text;
    QCOMPARE(Crc32Text(Crc32("")) + Crc32Text(Crc32("123456789")), "00000000CBF43926");
    for (qsizetype at = 0; at <= 40; ++at)
      QCOMPARE(Crc32Text(Crc32(counting.sliced(at), Crc32(counting.first(at)))), "B70B4C26");
  }

  void droppedBytes_data() { addRows(droppedRows); }
  void droppedBytes() {
    QFETCH(int, row);
    const Dropped& d = droppedRows[row];
    const ImageFindings f = findingsOf(d.image, d.layout);
    QVERIFY(f.reading.recognised() && f.dropped);
    QCOMPARE(told(f), d.ranges);

    // Every output byte is fill or the input byte the plan names, and the
    // input bytes no piece names are exactly the dropped ones.
    const OutputPlan plan = PlanOutput(f.reading, d.layout);
    const QByteArray output = assembled(plan, d.image);
    QByteArray fill(output.size(), char(d.layout.fillByte));
    QList<bool> written(d.image.size(), false);
    for (const OutputPiece& p : plan.pieces) {
      fill.replace(p.outputOffset, p.length, d.image.sliced(p.inputOffset, p.length));
      std::fill_n(written.begin() + p.inputOffset, p.length, true);
    }
    QVERIFY(fill == output);
    QCOMPARE(f.droppedBytes, qint64(written.count(false)));
  }

  void firstText_data() { addRows(textRows); }
  void firstText() {
    QFETCH(int, row);
    const QByteArray image = With(Image256K({T0, T1, T8, T9}, true), 0, textRows[row].padding);
    const ImageFindings f = findingsOf(image, layoutOf("0,1,8,9", 0));
    QVERIFY(f.dropped && f.dropped->size() >= 2);
    QCOMPARE(ImageWords::WhereText(f.dropped->first()) + u'|' + f.dropped->first().text,
             QStringLiteral("padding of slot 0|") + textRows[row].text);
  }

  // Ranges joined, the fourth on told as a count; nothing when only fill or no layout is left.
  void notice() {
    QByteArray image = With(Image256K({T0, T1, T8, T9}, true), 0x10100, Cal);
    const auto notice = [&](const ImageFindings& f) {
      return ImageWords::DroppedNotice("x.bin", f);
    };
    QCOMPARE(notice(findingsOf(image, layoutOf("0,1,8,9", 0))),
             "x.bin: note, the layout leaves out 16 bytes that are not fill: padding of slot 1 at "
             "0x10000 (\"CAL 4.2 EEC\"); bank 1 past 48K at 0x1E000 (\"END 1\")");
    QVERIFY(notice(findingsOf(image, layoutOf("", 0, 0, 1))).endsWith("; and 2 more"));
    image = Image216K({T0, T1, T8, T9});
    QCOMPARE(notice(findingsOf(image, layoutOf("0,1,8,9", 0))) +
                 notice(TakeFindings(image, ConvertFile(image), {})),
             QString());
    // Padding of another value is told in the list, never as a note of a run.
    const ImageFindings other =
        findingsOf(Image256K({T0, T1, T8, T9}, true, 0xBF), layoutOf("0,1,8,9", 2, 1));
    QVERIFY(!notice(other).contains("fill BF"));
    QCOMPARE(
        ImageWords::DroppedSummary(
            findingsOf(Image256K({B0, B1_48, B8, B9}, true, 0xBF), layoutOf("0,1,8,9", 1))),
        "40,960 bytes, all fill: padding of slot 0 at 0x00000 (8K of fill BF); padding of slot 1 "
        "at 0x10000 (8K of fill BF); bank 1 past 48K at 0x1E000 (8K of fill BF); and 2 more");
  }

  // What inspect prints of an image read as stated, and of one whose slots could not be told apart.
  void findingsText() {
    const QByteArray image = backToBack({B0, B1_48, B8, B9}, {1, 8, 0, 9});
    const StatedLayout stated{{1, 8, 0, 9}, {}};
    const ImageFindings f =
        TakeFindings(image, ConvertFile(image, &stated), {.layout = std::nullopt, .crc32 = true});
    const QStringList lines = ImageWords::FindingsText("x.bin", f).split(u'\n');
    QCOMPARE(lines.first(), "x.bin: 216K, 221184 bytes, read as stated: 1,8,0,9");
    QCOMPARE(lines[1], "  slot 0: bank 1 at 0x00000, 49152 bytes");
    QVERIFY(lines[5].startsWith("  bank 0 kept: 57344 bytes from slot 8, CRC-32 "));
    const QString refused =
        ImageWords::FindingsText("y.bin", findingsOf(reasons[1].image, layoutOf("0,1,8,9", 0)));
    QVERIFY(refused.contains("\n  slot 0: bank 0 at 0x00000, 57344 bytes, nothing but fill FF\n"));
  }
};

QTEST_GUILESS_MAIN(TestImages)
#include "test_images.moc"
