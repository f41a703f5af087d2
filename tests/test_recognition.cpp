// Length classification and bank recognition of input images.
#include <QtTest>

#include "engine/BankTables.h"
#include "engine/Lib_File.h"
#include "tests/support/TestSupport.h"
#include "tools/ImageBuilder.h"

using namespace ImageBuilder;

namespace {

using Banks = std::array<QByteArray, 4>;  // banks 0, 1, 8, 9

const QByteArray CF("Copyright Ford");
const QByteArray B0 = Bank0(), B1 = Bank1(), B8 = Bank8(), B9 = Bank9(), None;
const QByteArray B1_48 = B1.left(48 * K);
const Banks Own{{B0, B1_48, B8, B9}};  // every bank found, bank 1 of 48K
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

}  // namespace

class TestRecognition : public QObject {
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
};

QTEST_GUILESS_MAIN(TestRecognition)
#include "test_recognition.moc"
