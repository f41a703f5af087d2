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
const QByteArray b1 = Bank1(Size32K);
const QByteArray b8 = Bank8();
const Banks TwoBank{{{}, b1, b8, {}}};

// A four-bank image: bank 1 cut to 48K.
const QByteArray B0 = Bank0();
const QByteArray B1 = Bank1(Size48K);
const QByteArray B8 = Bank8();
const QByteArray B9 = Bank9();
const Banks FourBank{{B0, B1, B8, B9}};

void setBanks(const Banks& banks) {
  ClearBankTables();
  BankData[0] = banks[0];
  BankData[1] = banks[1];
  BankData[8] = banks[2];
  BankData[9] = banks[3];
}

}  // namespace

Q_DECLARE_METATYPE(Banks)
Q_DECLARE_METATYPE(LayoutError)
Q_DECLARE_METATYPE(PadSizeCode)

class TestAssembly : public QObject {
  Q_OBJECT

 private Q_SLOTS:
  void assembleImage_data() {
    QTest::addColumn<Banks>("banks");
    QTest::addColumn<QString>("order");
    QTest::addColumn<int>("padSize");
    QTest::addColumn<int>("padType");
    QTest::addColumn<QString>("padValue");
    QTest::addColumn<int>("bank1Only");
    QTest::addColumn<int>("limit32K");
    QTest::addColumn<QByteArray>("expected");

    auto row = [](const char* name, const Banks& banks, const char* order, int padSize, int padType,
                  const char* padValue, int bank1Only, int limit32K, const QByteArray& expected) {
      QTest::newRow(name) << banks << QString(order) << padSize << padType << QString(padValue)
                          << bank1Only << limit32K << expected;
    };

    // The two-bank image in every padding.
    row("64K front padding", TwoBank, "0,1,8,9", 2, 1, "FF", 0, 0,
        F(64 * K) + F(8 * K) + b1 + F(24 * K) + F(8 * K) + b8 + F(64 * K));
    row("64K rear padding", TwoBank, "0,1,8,9", 2, 0, "FF", 0, 0,
        F(64 * K) + b1 + F(32 * K) + b8 + F(8 * K) + F(64 * K));
    row("56K padding", TwoBank, "0,1,8,9", 1, 0, "FF", 0, 0,
        F(56 * K) + b1 + F(24 * K) + b8 + F(56 * K));
    row("56K padding ignores front padding", TwoBank, "0,1,8,9", 1, 1, "FF", 0, 0,
        F(56 * K) + b1 + F(24 * K) + b8 + F(56 * K));
    row("no padding: the banks there are", TwoBank, "0,1,8,9", 0, 0, "FF", 0, 0, b1 + b8);
    row("pad size 5 is no padding", TwoBank, "0,1,8,9", 5, 1, "FF", 0, 0, b1 + b8);
    row("pad type 7 is front padding", TwoBank, "0,1,8,9", 2, 7, "FF", 0, 0,
        F(64 * K) + F(8 * K) + b1 + F(24 * K) + F(8 * K) + b8 + F(64 * K));
    row("fill 00", TwoBank, "0,1,8,9", 2, 1, "00", 0, 0,
        F(64 * K, 0) + F(8 * K, 0) + b1 + F(24 * K, 0) + F(8 * K, 0) + b8 + F(64 * K, 0));
    row("fill of one digit", TwoBank, "8,1,9,0", 1, 0, "a", 0, 0,
        b8 + b1 + F(24 * K, 0x0A) + F(56 * K, 0x0A) + F(56 * K, 0x0A));

    // Orders.
    row("order 8,1,0,9", FourBank, "8,1,0,9", 0, 0, "FF", 0, 0, B8 + B1 + B0 + B9);
    row("a fifth piece is ignored", FourBank, "9,8,1,0,1", 0, 0, "FF", 0, 0, B9 + B8 + B1 + B0);
    row("a bank written at every place", FourBank, "1,1,1,1", 1, 0, "FF", 0, 0,
        B1 + F(8 * K) + B1 + F(8 * K) + B1 + F(8 * K) + B1 + F(8 * K));
    row("a bank named nowhere is not written", FourBank, "9,9,8,8", 2, 0, "FF", 0, 0,
        B9 + F(8 * K) + B9 + F(8 * K) + B8 + F(8 * K) + B8 + F(8 * K));
    row("banks 2 to 7 are places of fill", FourBank, "2,3,4,7", 2, 1, "5A", 0, 0, F(256 * K, 0x5A));
    row("only empty banks without padding: nothing", TwoBank, "0,9,0,9", 0, 0, "FF", 0, 0,
        QByteArray());

    // Bank 1 alone.
    row("bank 1 only ignores 64K padding", FourBank, "0,1,8,9", 2, 1, "FF", 1, 0, B1);
    row("bank 1 only ignores an unusable pad value", FourBank, "0,1,8,9", 2, 1, "ZZ", 1, 0, B1);
    row("32K limit cuts a 48K bank 1", FourBank, "0,1,8,9", 1, 0, "FF", 1, 1, B1.left(32 * K));
    row("32K limit keeps a 32K bank 1", TwoBank, "0,1,8,9", 2, 0, "FF", 1, 1, b1);
    row("32K limit cuts a 56K bank 1", Banks{{{}, B8, B1, {}}}, "0,1,8,9", 0, 0, "FF", 1, 1,
        B8.left(32 * K));
    row("32K limit without bank 1 only has no effect", FourBank, "0,1,8,9", 0, 0, "FF", 0, 1,
        B0 + B1 + B8 + B9);

    // A bank longer than its place would be cut to it.
    row("a bank longer than its place is cut", Banks{{{}, Bank1(60 * K), {}, {}}}, "1,1,8,9", 2, 1,
        "FF", 0, 0, F(8 * K) + Bank1(56 * K) + F(8 * K) + Bank1(56 * K) + F(64 * K) + F(64 * K));
  }

  void assembleImage() {
    QFETCH(Banks, banks);
    QFETCH(QString, order);
    QFETCH(int, padSize);
    QFETCH(int, padType);
    QFETCH(QString, padValue);
    QFETCH(int, bank1Only);
    QFETCH(int, limit32K);
    QFETCH(QByteArray, expected);

    setBanks(banks);
    OutputLayout layout;
    QCOMPARE(
        ResolveLayout(order, padValue, static_cast<quint8>(padSize), static_cast<quint8>(padType),
                      static_cast<quint8>(bank1Only), static_cast<quint8>(limit32K), &layout),
        LayoutError::None);
    const QByteArray image = AssembleImage(layout);
    QCOMPARE(image.size(), expected.size());
    QVERIFY(image == expected);
    // The banks are read, never changed.
    QVERIFY(BankData[0] == banks[0] && BankData[1] == banks[1] && BankData[8] == banks[2] &&
            BankData[9] == banks[3]);
  }

  void orderText_data() {
    QTest::addColumn<QString>("order");
    QTest::addColumn<QList<int>>("banks");  // empty: rejected

    const struct {
      const char* text;
      QList<int> banks;
    } rows[] = {
        {"0,1,8,9", {0, 1, 8, 9}},
        {"9,8,1,0", {9, 8, 1, 0}},
        {"1,1,1,1", {1, 1, 1, 1}},
        {"2,3,4,5", {2, 3, 4, 5}},
        {"0,1,8,9,7", {0, 1, 8, 9}},
        {"0,1,8,9,x", {0, 1, 8, 9}},
        {"0,1,8,9,", {0, 1, 8, 9}},
        {"00,1,08,9", {0, 1, 8, 9}},
        {"", {}},
        {"0,1,8", {}},
        {"0,1,8,", {}},
        {",0,1,8", {}},
        {"0,1,8,a", {}},
        {"0,1,8,10", {}},
        {"0,1,8,-1", {}},
        {"0,1,8,+1", {}},
        {" 0,1,8,9", {}},
        {"0,1,8,9 ,", {}},
        {"0;1;8;9", {}},
        {"0,1,8,0x1", {}},
        {"0,1,8,\u0669", {}},  // a digit, but not a decimal one of "0" to "9"
    };
    for (const auto& row : rows) {
      QTest::addRow("\"%s\"", row.text) << QString::fromUtf8(row.text) << row.banks;
    }
  }

  void orderText() {
    QFETCH(QString, order);
    QFETCH(QList<int>, banks);

    OutputLayout layout;
    layout.order = {7, 7, 7, 7};
    const LayoutError error = ResolveLayout(order, "FF", 0, 0, 0, 0, &layout);
    if (banks.isEmpty()) {
      QCOMPARE(error, LayoutError::BadOrder);
      QCOMPARE(layout.order, (std::array<int, 4>{7, 7, 7, 7}));  // left unchanged
    } else {
      QCOMPARE(error, LayoutError::None);
      QCOMPARE(layout.order, (std::array<int, 4>{banks[0], banks[1], banks[2], banks[3]}));
    }
  }

  void padValue_data() {
    QTest::addColumn<QString>("padValue");
    QTest::addColumn<int>("fill");  // -1: rejected

    const struct {
      const char* text;
      int fill;
    } rows[] = {
        {"FF", 0xFF}, {"00", 0x00},     {"0A", 0x0A}, {"A", 0x0A}, {"ff", 0xFF},
        {"0FF", -1},  {"000000ff", -1}, {"100", -1},  {"G1", -1},  {"", -1},
        {"0x1", -1},  {" F", -1},       {"F ", -1},   {"-1", -1},  {"+F", -1},
    };
    for (const auto& row : rows) QTest::addRow("\"%s\"", row.text) << QString(row.text) << row.fill;
  }

  void padValue() {
    QFETCH(QString, padValue);
    QFETCH(int, fill);

    OutputLayout layout;
    const LayoutError error = ResolveLayout("0,1,8,9", padValue, 1, 0, 0, 0, &layout);
    if (fill < 0) {
      QCOMPARE(error, LayoutError::BadPadValue);
    } else {
      QCOMPARE(error, LayoutError::None);
      QCOMPARE(layout.fillByte, fill);
    }
  }

  void padValueCheckedOnlyWhenFillIsUsed_data() {
    QTest::addColumn<QString>("order");
    QTest::addColumn<int>("padSize");
    QTest::addColumn<int>("bank1Only");
    QTest::addColumn<LayoutError>("error");

    QTest::newRow("no padding") << "0,1,8,9" << 0 << 0 << LayoutError::None;
    QTest::newRow("pad size 5") << "0,1,8,9" << 5 << 0 << LayoutError::None;
    QTest::newRow("56K padding") << "0,1,8,9" << 1 << 0 << LayoutError::BadPadValue;
    QTest::newRow("64K padding") << "0,1,8,9" << 2 << 0 << LayoutError::BadPadValue;
    QTest::newRow("bank 1 only with 64K padding") << "0,1,8,9" << 2 << 1 << LayoutError::None;
    QTest::newRow("a bad order is told first") << "0,1" << 2 << 0 << LayoutError::BadOrder;
  }

  void padValueCheckedOnlyWhenFillIsUsed() {
    QFETCH(QString, order);
    QFETCH(int, padSize);
    QFETCH(int, bank1Only);
    QFETCH(LayoutError, error);

    OutputLayout layout;
    QCOMPARE(ResolveLayout(order, "ZZ", static_cast<quint8>(padSize), 1,
                           static_cast<quint8>(bank1Only), 0, &layout),
             error);
  }

  void codes_data() {
    QTest::addColumn<int>("padSize");
    QTest::addColumn<int>("padType");
    QTest::addColumn<int>("flag");  // bank1Only and limit32K
    QTest::addColumn<PadSizeCode>("size");
    QTest::addColumn<bool>("front");
    QTest::addColumn<bool>("flagSet");

    QTest::newRow("0 0 0") << 0 << 0 << 0 << PadSizeCode::NoPadding << false << false;
    QTest::newRow("1 1 1") << 1 << 1 << 1 << PadSizeCode::Pad56K << true << true;
    QTest::newRow("2 0 0") << 2 << 0 << 0 << PadSizeCode::Pad64K << false << false;
    QTest::newRow("2 2 2") << 2 << 2 << 2 << PadSizeCode::Pad64K << true << true;
    QTest::newRow("3 255 255") << 3 << 255 << 255 << PadSizeCode::NoPadding << true << true;
    QTest::newRow("255 0 0") << 255 << 0 << 0 << PadSizeCode::NoPadding << false << false;
  }

  void codes() {
    QFETCH(int, padSize);
    QFETCH(int, padType);
    QFETCH(int, flag);
    QFETCH(PadSizeCode, size);
    QFETCH(bool, front);
    QFETCH(bool, flagSet);

    OutputLayout layout;
    const auto code = [](int value) { return static_cast<quint8>(value); };
    QCOMPARE(ResolveLayout("0,1,8,9", "FF", code(padSize), code(padType), code(flag), code(flag),
                           &layout),
             LayoutError::None);
    QCOMPARE(layout.padSize, size);
    QCOMPARE(layout.frontPadding, front);
    QCOMPARE(layout.bank1Only, flagSet);
    QCOMPARE(layout.limit32K, flagSet);
  }
};

QTEST_GUILESS_MAIN(TestAssembly)
#include "test_assembly.moc"
