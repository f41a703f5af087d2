// The output image built from the banks and the layout choices, and the
// resolution of the stored layout texts and codes.
#include <QtTest>

#include "engine/BankTables.h"
#include "engine/ImageAssembly.h"
#include "tools/ImageBuilder.h"

using namespace ImageBuilder;

namespace {

QByteArray F(qint64 length, quint8 byte = 0xFF) {
  return Fill(length, byte);
}

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

Q_DECLARE_METATYPE(Banks)

class TestAssembly : public QObject {
  Q_OBJECT

 private Q_SLOTS:
  void assembleImage_data() {
    QTest::addColumn<Banks>("banks");
    QTest::addColumn<QString>("order");
    QTest::addColumn<QList<int>>("codes");  // pad size, pad type, bank 1 only, 32K limit
    QTest::addColumn<QString>("padValue");
    QTest::addColumn<QByteArray>("expected");
    const auto row = [](const char* name, const Banks& banks, const char* order,
                        const QList<int>& codes, const char* padValue, const QByteArray& expected) {
      QTest::newRow(name) << banks << QString(order) << codes << QString(padValue) << expected;
    };

    row("64K front padding", Two, "0,1,8,9", {2, 1, 0, 0}, "FF",
        F(72 * K) + b1 + F(32 * K) + b8 + F(64 * K));
    row("56K padding ignores front padding", Two, "0,1,8,9", {1, 1, 0, 0}, "FF",
        F(56 * K) + b1 + F(24 * K) + b8 + F(56 * K));
    row("pad size 255 is no padding: the banks there are", Two, "0,1,8,9", {255, 1, 0, 0}, "FF",
        b1 + b8);
    row("pad type 255 is front padding, fill 00", Two, "0,1,8,9", {2, 255, 0, 0}, "00",
        F(72 * K, 0) + b1 + F(32 * K, 0) + b8 + F(64 * K, 0));
    row("a fifth piece is ignored", Four, "9,8,1,0,1", {0, 0, 0, 0}, "FF", B9 + B8 + B1 + B0);
    row("a bank at two places, banks 2 to 7 are fill", Four, "1,1,2,7", {1, 0, 0, 0}, "5A",
        B1 + F(8 * K, 0x5A) + B1 + F(8 * K, 0x5A) + F(112 * K, 0x5A));
    row("bank 1 only ignores order, padding and pad value", Four, "8,9", {2, 1, 2, 0}, "ZZ", B1);
    row("32K limit cuts a 48K bank 1 alone", Four, "0,1,8,9", {1, 0, 1, 255}, "FF",
        B1.left(32 * K));
    row("32K limit without bank 1 only does nothing", Four, "0,1,8,9", {0, 0, 0, 1}, "FF",
        B0 + B1 + B8 + B9);
  }

  void assembleImage() {
    QFETCH(Banks, banks);
    QFETCH(QString, order);
    QFETCH(QList<int>, codes);
    QFETCH(QString, padValue);
    QFETCH(QByteArray, expected);

    ClearBankTables();
    BankData[0] = banks[0], BankData[1] = banks[1], BankData[8] = banks[2], BankData[9] = banks[3];
    const auto code = [&](int k) { return static_cast<quint8>(codes[k]); };
    OutputLayout layout;
    QCOMPARE(ResolveLayout(order, padValue, code(0), code(1), code(2), code(3), &layout),
             LayoutError::None);
    const QByteArray image = AssembleImage(layout);
    QCOMPARE(image.size(), expected.size());
    QVERIFY(image == expected);
  }

  // Accepted orders all mean 0,1,8,9; a failure leaves the layout as it was.
  void resolveLayout() {
    const int BadOrder = -1, BadPad = -2;  // or the fill byte
    const struct {
      const char *order, *padValue;
      int padSize, bank1Only, fill;
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
      OutputLayout layout;
      layout.order = {7, 7, 7, 7};
      const LayoutError error =
          ResolveLayout(QString::fromUtf8(row.order), row.padValue, quint8(row.padSize), 0,
                        quint8(row.bank1Only), 0, &layout);
      const int got = error == LayoutError::BadOrder      ? BadOrder
                      : error == LayoutError::BadPadValue ? BadPad
                                                          : layout.fillByte;
      const bool kept = layout.order == (got < 0 ? std::array{7, 7, 7, 7} : std::array{0, 1, 8, 9});
      QVERIFY2(got == row.fill && kept,
               qPrintable(QString("\"%1\" \"%2\" gives %3").arg(row.order, row.padValue).arg(got)));
    }
  }
};

QTEST_GUILESS_MAIN(TestAssembly)
#include "test_assembly.moc"
