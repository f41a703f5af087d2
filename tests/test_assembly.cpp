// The output image built from the banks and the layout choices, and the
// resolution of the stored layout texts and codes.
#include <QtTest>

#include "engine/BankTables.h"
#include "engine/ImageAssembly.h"
#include "tools/ImageBuilder.h"

using namespace ImageBuilder;

namespace {

// Banks 0, 1, 8, 9 as the recognition leaves them.
using Banks = std::array<QByteArray, 4>;

// An 88K image that does not begin with FF FA: bank 1 its first 32K, bank 8
// the other 56K, banks 0 and 9 empty.
const QByteArray b1 = Bank1(Size32K), b8 = Bank8();
const Banks Two{{{}, b1, b8, {}}};
// A four-bank image: bank 1 cut to 48K.
const QByteArray B0 = Bank0(), B1 = Bank1(Size48K), B8 = Bank8(), B9 = Bank9();
const Banks Four{{B0, B1, B8, B9}};

}  // namespace

class TestAssembly : public QObject {
  Q_OBJECT

 private Q_SLOTS:
  // Each image is built in a buffer that held the image before, as the buffer of a run would.
  void assembleImage() {
    // clang-format off
    const struct { const char* name; const Banks& banks; const char *order, *padValue; quint8 padSize, padType, bank1Only, limit32K; QByteArray expected; } rows[] = {
        {"56K padding ignores front padding", Two, "0,1,8,9", "FF", 1, 1, 0, 0, Fill(56 * K, 0xFF) + b1 + Fill(24 * K, 0xFF) + b8 + Fill(56 * K, 0xFF)},
        {"pad size 255 is no padding: the banks there are", Two, "0,1,8,9", "FF", 255, 1, 0, 0, b1 + b8},
        {"pad type 255 is front padding, fill 00", Two, "0,1,8,9", "00", 2, 255, 0, 0, Fill(72 * K, 0) + b1 + Fill(32 * K, 0) + b8 + Fill(64 * K, 0)},
        {"a fifth piece is ignored", Four, "9,8,1,0,1", "FF", 0, 0, 0, 0, B9 + B8 + B1 + B0},
        {"a bank at two places, banks 2 to 7 are fill", Four, "1,1,2,7", "5A", 1, 0, 0, 0, B1 + Fill(8 * K, 0x5A) + B1 + Fill(8 * K, 0x5A) + Fill(112 * K, 0x5A)},
        {"bank 1 only ignores order, padding and pad value", Four, "8,9", "ZZ", 2, 1, 2, 0, B1},
        {"32K limit cuts a 48K bank 1 alone", Four, "0,1,8,9", "FF", 1, 0, 1, 255, B1.left(32 * K)},
        {"32K limit without bank 1 only does nothing", Four, "0,1,8,9", "FF", 0, 0, 0, 1, B0 + B1 + B8 + B9},
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
};

QTEST_GUILESS_MAIN(TestAssembly)
#include "test_assembly.moc"
