// Length classification and bank recognition of input images.
#include <QTemporaryDir>
#include <QtTest>

#include "engine/BankTables.h"
#include "engine/Lib_File.h"
#include "tools/ImageBuilder.h"

using namespace ImageBuilder;

namespace {

const QByteArray CopyrightFord("Copyright Ford");

const QByteArray B0 = Bank0();
const QByteArray B1 = Bank1();
const QByteArray B8 = Bank8();
const QByteArray B9 = Bank9();
const QByteArray Empty;
// A bank 8 mark with the bank 1 mark as second word, and "Copyright Ford".
const QByteArray FFFA27FEFord = With(With(Bank8(), 2, "\x27\xFE"), 4, "Copyright Ford");

// A 256K image of four ready-made 64K slots.
QByteArray Slots256K(const std::array<QByteArray, 4>& slots) {
  return slots[0] + slots[1] + slots[2] + slots[3];
}

// A bank that the second-byte rule takes for bank 1: 0x2C (or 0x31) at
// offset 1, "Copyright" at offset 32611 or not.
QByteArray SecondByteBank(char second, bool copyright) {
  QByteArray bank = With(Bank0(), 1, QByteArrayView(&second, 1));
  if (copyright) Put(bank, 32611, "Copyright");
  return bank;
}

// The outcome of one image: whether it was accepted, and banks 0, 1, 8, 9.
struct Outcome {
  bool accepted = false;
  std::array<QByteArray, 4> banks;
};

// The tables keep what the previous image left in them, as in a run.
Outcome convert(const QByteArray& image) {
  QByteArray buffer = image;
  Outcome outcome;
  Lib_File::CloseAllGuard closeAll;
  if (!Lib_File::OpenBuffer(Lib_File::InputFile, &buffer)) return outcome;
  if (!ClassifyImage()) return outcome;
  outcome.accepted = ConvertFile();
  outcome.banks = {BankData[0], BankData[1], BankData[8], BankData[9]};
  return outcome;
}

// Rows of the recognition tables: the image, and the banks 0, 1, 8, 9 it
// must give, or none when it is rejected.
struct Row {
  const char* name;
  QByteArray image;
  std::optional<std::array<QByteArray, 4>> banks;
};

void addRows(std::initializer_list<Row> rows) {
  QTest::addColumn<QByteArray>("image");
  QTest::addColumn<bool>("accepted");
  QTest::addColumn<QByteArray>("bank0");
  QTest::addColumn<QByteArray>("bank1");
  QTest::addColumn<QByteArray>("bank8");
  QTest::addColumn<QByteArray>("bank9");
  for (const Row& row : rows) {
    const auto banks = row.banks.value_or(std::array<QByteArray, 4>{});
    QTest::newRow(row.name) << row.image << row.banks.has_value() << banks[0] << banks[1]
                            << banks[2] << banks[3];
  }
}

// Compares without printing 64K of bytes when they differ.
bool sameBytes(const QByteArray& actual, const QByteArray& expected, const char* what) {
  if (actual == expected) return true;
  qWarning("%s: %lld bytes, expected %lld; first difference at %lld", what,
           static_cast<long long>(actual.size()), static_cast<long long>(expected.size()),
           static_cast<long long>(
               std::mismatch(actual.begin(), actual.end(), expected.begin(), expected.end()).first -
               actual.begin()));
  return false;
}

}  // namespace

class TestRecognition : public QObject {
  Q_OBJECT

  void checkRow() {
    QFETCH(QByteArray, image);
    QFETCH(bool, accepted);
    QFETCH(QByteArray, bank0);
    QFETCH(QByteArray, bank1);
    QFETCH(QByteArray, bank8);
    QFETCH(QByteArray, bank9);

    const Outcome outcome = convert(image);
    QCOMPARE(outcome.accepted, accepted);
    if (!accepted) return;
    QVERIFY(sameBytes(outcome.banks[0], bank0, "bank 0"));
    QVERIFY(sameBytes(outcome.banks[1], bank1, "bank 1"));
    QVERIFY(sameBytes(outcome.banks[2], bank8, "bank 8"));
    QVERIFY(sameBytes(outcome.banks[3], bank9, "bank 9"));
    for (int unused = 2; unused <= 7; ++unused) QVERIFY(BankData[unused].isEmpty());
  }

 private Q_SLOTS:
  void classifyLength_data() {
    QTest::addColumn<qint64>("length");
    QTest::addColumn<QList<qint64>>("layout");  // start, length of slots 0, 1, 8, 9

    QTest::newRow("88K") << 90112LL << QList<qint64>{0, 0, 0, 32768, 32768, 57344, 0, 0};
    QTest::newRow("112K") << 114688LL << QList<qint64>{0, 0, 0, 57344, 57344, 57344, 0, 0};
    QTest::newRow("216K") << 221184LL
                          << QList<qint64>{0, 57344, 57344, 49152, 106496, 57344, 163840, 57344};
    QTest::newRow("224K") << 229376LL
                          << QList<qint64>{0, 57344, 57344, 57344, 114688, 57344, 172032, 57344};
    QTest::newRow("256K") << 262144LL
                          << QList<qint64>{0, 65536, 65536, 65536, 131072, 65536, 196608, 65536};
    for (qint64 length : {90112, 114688, 221184, 229376, 262144}) {
      QTest::addRow("%lld is no layout", length - 1) << length - 1 << QList<qint64>{};
      QTest::addRow("%lld is no layout", length + 1) << length + 1 << QList<qint64>{};
    }
    QTest::newRow("empty file") << 0LL << QList<qint64>{};
  }

  void classifyLength() {
    QFETCH(qint64, length);
    QFETCH(QList<qint64>, layout);

    // Tables of an earlier image, which a length no layout has leaves alone.
    QVERIFY(ClassifyLength(262144));
    const auto earlierStart = BankStart;
    const auto earlierLength = BankLength;

    QCOMPARE(ClassifyLength(length), !layout.isEmpty());
    if (layout.isEmpty()) {
      QCOMPARE(BankStart, earlierStart);
      QCOMPARE(BankLength, earlierLength);
      return;
    }
    std::array<qint64, BankCount> start{}, size{};
    const int slots[] = {0, 1, 8, 9};
    for (int k = 0; k < 4; ++k) {
      start[slots[k]] = layout[2 * k];
      size[slots[k]] = layout[2 * k + 1];
    }
    QCOMPARE(BankStart, start);
    QCOMPARE(BankLength, size);
  }

  void classifyImageReadsTheOpenFile() {
    Lib_File::CloseAll();
    QVERIFY(!ClassifyImage());
    for (qint64 length : {90112, 262143, 262144, 262145}) {
      QByteArray image = Fill(length, 0xFF);
      QVERIFY(Lib_File::OpenBuffer(Lib_File::InputFile, &image));
      QCOMPARE(ClassifyImage(), length == 90112 || length == 262144);
      Lib_File::CloseAll();
    }
  }

  void convertFileRejectsOtherLengths() {
    // Even with a table left from an earlier image.
    QVERIFY(ClassifyLength(262144));
    QByteArray image = Image256K({B0, B1, B8, B9}, true);
    image.chop(1);
    QVERIFY(Lib_File::OpenBuffer(Lib_File::InputFile, &image));
    QVERIFY(!ConvertFile());
    Lib_File::CloseAll();
  }

  void image256K_data() {
    const QByteArray X88 = SecondByteBank(0x2C, true);
    addRows({
        {"front padding, banks in their own slots",
         Image256K({B0, B1, B8, B9}, true),
         {{B0, B1.left(48 * K), B8, B9}}},
        {"rear padding, banks in their own slots",
         Image256K({B0, B1, B8, B9}, false),
         {{B0, B1.left(48 * K), B8, B9}}},
        {"file order 8,1,0,9", Image256K({B8, B1, B0, B9}, true), {{B0, B1.left(48 * K), B8, B9}}},
        {"file order 0,1,9,8", Image256K({B0, B1, B9, B8}, false), {{B0, B1.left(48 * K), B8, B9}}},
        {"file order 9,8,1,0", Image256K({B9, B8, B1, B0}, true), {{B0, B1.left(48 * K), B8, B9}}},
        // Index i takes the slot named by the bank found in slot i, so a
        // rotation of three banks is not undone.
        {"file order 1,8,0,9 follows the slot names",
         Image256K({B1, B8, B0, B9}, true),
         {{B8, B0.left(48 * K), B1, B9}}},
        {"fill byte 00 around the banks",
         Image256K({B0, B1, B8, B9}, true, 0x00),
         {{B0, B1.left(48 * K), B8, B9}}},

        // The padding search.
        {"search stops at the first slot with a mark",
         Slots256K({Slot64K(B1, 0), Slot64K(B1, 8 * K), Slot64K(B8, 8 * K), Slot64K(B9, 0)}),
         {{Fill(8 * K, 0xFF) + B1.left(48 * K), B1.left(48 * K), B1, B9}}},
        {"search passes over a slot without a mark",
         Slots256K({Slot64K(B0, 0), Slot64K(B1, 8 * K), Slot64K(B8, 8 * K), Slot64K(B9, 8 * K)}),
         {{B0.mid(8 * K) + Fill(8 * K, 0xFF), B1.left(48 * K), B8, B9}}},
        {"FFFA at 8192 overrides 27FE at 0 in the same slot",
         Slots256K({With(Slot64K(B8, 8 * K), 0, "\x27\xFE"), Slot64K(B1, 8 * K), Slot64K(B0, 8 * K),
                    Slot64K(B9, 8 * K)}),
         {{B0, B1.left(48 * K), B8, B9}}},
        {"FFFA at 0 overrides 27FE at 8192 in the same slot",
         Slots256K({With(Slot64K(B1, 8 * K), 0, "\xFF\xFA"), Slot64K(B1, 0), Slot64K(B0, 0),
                    Slot64K(B9, 0)}),
         {{B0, B1.left(48 * K), With(Slot64K(B1, 8 * K), 0, "\xFF\xFA").left(56 * K), B9}}},
        {"27FE at 8192 overrides 27FE at 0 in the same slot",
         Slots256K({With(Slot64K(B1, 8 * K), 0, "\x27\xFE"), Slot64K(B0, 8 * K), Slot64K(B8, 8 * K),
                    Slot64K(B9, 8 * K)}),
         {{B0, B1.left(48 * K), B8, B9}}},
        {"marks elsewhere than 0 and 8192: rejected",
         Slots256K({Slot64K(B1, 4 * K), Slot64K(B8, 1), Slot64K(B1, 8 * K + 1), Slot64K(B9, 0)}),
         std::nullopt},
        {"banks without marks: rejected", Image256K({B0, B0, B9, B9}, true), std::nullopt},
        {"all fill: rejected", Fill(256 * K, 0xFF), std::nullopt},

        // The second-byte rule and the length of bank 1.
        {"0x2C with Copyright: bank 1 of 32K",
         Image256K({B0, X88, B8, B9}, false),
         {{B0, X88.left(32 * K), B8, B9}}},
        {"0x31 with Copyright: bank 1 of 32K",
         Image256K({B0, SecondByteBank(0x31, true), B8, B9}, true),
         {{B0, SecondByteBank(0x31, true).left(32 * K), B8, B9}}},
        {"0x2C without Copyright: bank 1 of 56K",
         Image256K({B0, SecondByteBank(0x2C, false), B8, B9}, false),
         {{B0, SecondByteBank(0x2C, false), B8, B9}}},
        {"Copyright one byte early: bank 1 of 56K",
         Image256K({B0, With(SecondByteBank(0x2C, false), 32610, "Copyright"), B8, B9}, false),
         {{B0, With(SecondByteBank(0x2C, false), 32610, "Copyright"), B8, B9}}},
        {"27FE and Copyright: bank 1 of 48K",
         Image256K({B0, With(B1, 32611, "Copyright"), B8, B9}, false),
         {{B0, With(B1, 32611, "Copyright").left(48 * K), B8, B9}}},
        {"the last bank 1 found sets its length, 32K",
         Image256K({B1, X88, B8, B9}, false),
         {{X88, X88.left(32 * K), B8, B9}}},
        {"the last bank 1 found sets its length, 48K",
         Image256K({X88, B1, B8, B9}, false),
         {{B1, B1.left(48 * K), B8, B9}}},
        {"the length applies to the bank that lands at index 1",
         Image256K({B1, B0, B8, X88}, false),
         {{B0, B1.left(32 * K), B8, B0}}},
        {"no bank 1 found: index 1 cut to 48K",
         Image256K({B8, B8, B8, B8}, true),
         {{B8, B8.left(48 * K), B8, B8}}},

        // Precedence of the rules.
        {"27FE beats Copyright Ford",
         Image256K({B0, With(B1, 0x200, CopyrightFord), B8, B9}, true),
         {{B0, With(B1, 0x200, CopyrightFord).left(48 * K), B8, B9}}},
        {"second byte beats Copyright Ford",
         Image256K({B0, With(X88, 0x200, CopyrightFord), B8, B9}, true),
         {{B0, With(X88, 0x200, CopyrightFord).left(32 * K), B8, B9}}},
        {"FFFA followed by 27FE is no bank 8 but Copyright Ford makes it 9",
         Image256K({B0, B1, B9, FFFA27FEFord}, true),
         {{B0, B1.left(48 * K), FFFA27FEFord, FFFA27FEFord}}},
        {"FFFA followed by 27FE without Copyright Ford is bank 0",
         Image256K({B9, B1, With(B8, 2, "\x27\xFE"), B0}, true),
         {{B0, B1.left(48 * K), B9, B9}}},
        {"Copyright Ford in the fill counts",
         Slots256K({Slot64K(B9, 8 * K), Slot64K(B1, 8 * K), Slot64K(B8, 8 * K),
                    With(Slot64K(B0, 8 * K), 100, CopyrightFord)}),
         {{B0, B1.left(48 * K), B8, B0}}},
        {"Copyright Ford at the very end of a slot counts",
         Slots256K({With(Slot64K(B0, 0), 64 * K - 14, CopyrightFord), Slot64K(B1, 0),
                    Slot64K(B8, 0), Slot64K(B9, 0)}),
         {{B9, B1.left(48 * K), B8, B9}}},
        {"Copyright Ford cut by the slot end does not count",
         Slots256K({Slot64K(B0, 0), Slot64K(B1, 0),
                    With(Slot64K(B0, 0), 64 * K - 13, "Copyright For"),
                    With(Slot64K(B0, 0), 0, "d")}),
         {{B0, B1.left(48 * K), B0, B0}}},
    });
  }
  void image256K() { checkRow(); }

  void image216KAnd224K_data() {
    const QByteArray B1F = With(B1, 0x300, CopyrightFord);
    const QByteArray FFFF = With(B0, 0, "\xFF\xFF");
    addRows({
        {"224K, banks in their own slots",
         Image224K({B0, B1, B8, B9}),
         {{B0, B1.left(48 * K), B8, B9}}},
        {"216K, banks in their own slots",
         Image216K({B0, Bank1(48 * K), B8, B9}),
         {{B0, Bank1(48 * K), B8, B9}}},
        {"224K file order 8,1,0,9", Image224K({B8, B1, B0, B9}), {{B0, B1.left(48 * K), B8, B9}}},
        {"216K with bank 8 in the 48K slot",
         Image216K({B0, Bank8(48 * K), B1, B9}),
         {{B0, B1.left(48 * K), Bank8(48 * K), B9}}},
        {"slots without marks are all bank 0",
         Image224K({B0, B0, B0, B0}),
         {{B0, B0.left(48 * K), B0, B0}}},

        // The four checks.
        {"slot 0 FFFF: rejected", Image224K({FFFF, B1F, B8, B9}), std::nullopt},
        {"slot 1 FFFF: rejected", Image224K({B0, With(B1F, 0, "\xFF\xFF"), B8, B9}), std::nullopt},
        {"slot 8 FFFF without Copyright Ford in slot 1: rejected", Image224K({B0, B1, FFFF, B9}),
         std::nullopt},
        {"slot 9 FFFF without Copyright Ford in slot 1: rejected", Image216K({B0, B1, B8, FFFF}),
         std::nullopt},
        {"Copyright Ford in another slot does not help", Image224K({B9, B1, FFFF, B9}),
         std::nullopt},
        {"slot 8 FFFF with Copyright Ford in slot 1: accepted",
         Image224K({B0, B1F, FFFF, B9}),
         {{B0, B1F.left(48 * K), B0, B9}}},
        {"slot 9 FFFF with Copyright Ford in slot 1: accepted",
         Image224K({B0, B1F, B8, FFFF}),
         {{B0, B1F.left(48 * K), B8, B0}}},
        {"FFFF past the first word does not count",
         Image224K({With(B0, 2, "\xFF\xFF"), B1, B8, B9}),
         {{With(B0, 2, "\xFF\xFF"), B1.left(48 * K), B8, B9}}},

        // The rules.
        {"Copyright Ford without 27FE second is bank 1",
         Image224K({B0, B1, B8, With(B0, 0x400, CopyrightFord)}),
         {{B0, B1.left(48 * K), B8, B1}}},
        {"27FE first beats Copyright Ford",
         Image224K({B0, B1F, B8, B9}),
         {{B0, B1F.left(48 * K), B8, B9}}},
        {"FFFA followed by 27FE with Copyright Ford is bank 9",
         Image224K({B0, B1, B8, FFFA27FEFord}),
         {{B0, B1.left(48 * K), B8, FFFA27FEFord}}},
        {"FFFA followed by 27FE without Copyright Ford is bank 0",
         Image224K({B9, B1, With(B8, 2, "\x27\xFE"), B0}),
         {{B0, B1.left(48 * K), B9, B9}}},
    });
  }
  void image216KAnd224K() { checkRow(); }

  void twoBank_data() {
    addRows({
        {"88K beginning FFFA: bank 8 first",
         Image88K(Bank8(32 * K), B1),
         {{Empty, B1, Bank8(32 * K), Empty}}},
        {"88K beginning otherwise: bank 1 first",
         Image88K(Bank1(32 * K), B8),
         {{Empty, Bank1(32 * K), B8, Empty}}},
        {"112K beginning FFFA: bank 8 first", Image112K(B8, B1), {{Empty, B1, B8, Empty}}},
        {"112K beginning otherwise: bank 1 first", Image112K(B0, B9), {{Empty, B0, B9, Empty}}},
        {"FFFB is not FFFA",
         Image112K(With(B8, 1, "\xFB"), B1),
         {{Empty, With(B8, 1, "\xFB"), B1, Empty}}},
        {"FFFA in the second slot does not count",
         Image88K(Bank0(32 * K), B8),
         {{Empty, Bank0(32 * K), B8, Empty}}},
    });
  }
  void twoBank() {
    // Banks 0 and 9 of an earlier four-bank image do not survive.
    QVERIFY(convert(Image256K({B0, B1, B8, B9}, true)).accepted);
    QVERIFY(!BankData[0].isEmpty() && !BankData[9].isEmpty());
    checkRow();
  }

  void recognitionFromDisk() {
    QTemporaryDir dir;
    const QString path = dir.filePath("rear.bin");
    QVERIFY(WriteFile(path, Image256K({B8, B1, B0, B9}, false)));
    Lib_File::CloseAllGuard closeAll;
    QVERIFY(Lib_File::OpenForRead(Lib_File::InputFile, path));
    QVERIFY(ClassifyImage());
    QVERIFY(ConvertFile());
    QVERIFY(BankData[0] == B0);
    QVERIFY(BankData[1] == B1.left(48 * K));
    QVERIFY(BankData[8] == B8);
    QVERIFY(BankData[9] == B9);
    // The input stays open for the batch run to close.
    QVERIFY(Lib_File::IsOpen(Lib_File::InputFile));
  }

  void conversionLeavesTheInputUntouched() {
    const QByteArray original = Image256K({B1, B0, B8, SecondByteBank(0x2C, true)}, true);
    QByteArray buffer = original;
    Lib_File::CloseAllGuard closeAll;
    QVERIFY(Lib_File::OpenBuffer(Lib_File::InputFile, &buffer));
    QVERIFY(ClassifyImage() && ConvertFile());
    QVERIFY(buffer == original);
    // Banks that share one slot are cut independently.
    QCOMPARE(BankData[1].size(), 32 * K);
    QCOMPARE(BankData[9].size(), 56 * K);
  }
};

QTEST_GUILESS_MAIN(TestRecognition)
#include "test_recognition.moc"
