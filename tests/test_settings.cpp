// The settings record: its defaults, loading and saving in the per-user
// store, and the text the store file holds.
#include <QFile>
#include <QtTest>
#include <memory>

#include "settings/modGlobals.h"
#include "settings/modRegistry.h"
#include "tests/support/TestSupport.h"

namespace {

const QString App = QStringLiteral("Quillet");

// Stored texts by "Section/Key".
using Stored = QMap<QString, QString>;

void store(const Stored& values) {
  for (auto it = values.begin(); it != values.end(); ++it) {
    const QStringList path = it.key().split(u'/');
    SaveSetting(App, path[0], path[1], it.value());
  }
}

// The record as an empty store leaves it.
ConversionSettingsRecord defaults() {
  ConversionSettingsRecord record;
  record.SourceExt = ".BIN";
  record.TargetExt = ".BIN";
  record.OutOrder = "0,1,8,9";
  record.PadValue = "FF";
  return record;
}

// A printable form of a record for failure messages.
QString describe(const ConversionSettingsRecord& s) {
  return QStringLiteral(
             "Source=%1 Target=%2 SourceExt=%3 TargetExt=%4 OutOrder=%5 PadValue=%6 "
             "PadSize=%7 PadType=%8 Overwrite=%9 Bank1Only=%10 Limit32K=%11")
      .arg(s.Source, s.Target, s.SourceExt, s.TargetExt, s.OutOrder, s.PadValue)
      .arg(s.PadSize)
      .arg(s.PadType)
      .arg(s.Overwrite)
      .arg(s.Bank1Only)
      .arg(s.Limit32K);
}

}  // namespace

Q_DECLARE_METATYPE(ConversionSettingsRecord)

class TestSettings : public QObject {
  Q_OBJECT

  std::unique_ptr<TemporarySettingsStore> store_;

  QByteArray storeText() const {
    QFile file(store_->storeFile());
    return file.open(QIODevice::ReadOnly) ? file.readAll() : QByteArray();
  }

  bool writeStoreText(const QByteArray& text) const {
    QDir().mkpath(QFileInfo(store_->storeFile()).path());
    QFile file(store_->storeFile());
    return file.open(QIODevice::WriteOnly) && file.write(text) == text.size();
  }

 private Q_SLOTS:
  void init() {
    store_ = std::make_unique<TemporarySettingsStore>();
    ResetGlobals();
  }
  void cleanup() {
    store_.reset();
    ResetGlobals();
  }

  void emptyStore() {
    LoadSettings();
    QVERIFY2(ConversionSettings == defaults(), qPrintable(describe(ConversionSettings)));
    QVERIFY(GetSetting(App, "User", "OutOrder").isEmpty());
  }

  void load_data() {
    QTest::addColumn<Stored>("stored");
    QTest::addColumn<ConversionSettingsRecord>("expected");

    auto with = [](auto change) {
      ConversionSettingsRecord record = defaults();
      change(record);
      return record;
    };
    using R = ConversionSettingsRecord&;

    QTest::newRow("folders and extensions as stored")
        << Stored{{"Folders/Source", "C:\\ROMS\\in\\"},
                  {"Folders/Target", "/home/me/out/"},
                  {"Folders/SourceExt", ".bin"},
                  {"Folders/TargetExt", ".B"}}
        << with([](R r) {
             r.Source = "C:\\ROMS\\in\\";
             r.Target = "/home/me/out/";
             r.SourceExt = ".bin";
             r.TargetExt = ".B";
           });
    QTest::newRow("empty extension becomes .BIN")
        << Stored{{"Folders/TargetExt", ""}} << defaults();
    QTest::newRow("one-digit pad value gets a leading 0")
        << Stored{{"User/PadValue", "7"}} << with([](R r) { r.PadValue = "07"; });
    QTest::newRow("empty pad value becomes FF") << Stored{{"User/PadValue", ""}} << defaults();
    QTest::newRow("three-character pad value is kept")
        << Stored{{"User/PadValue", "ABC"}} << with([](R r) { r.PadValue = "ABC"; });
    QTest::newRow("pad value is not trimmed or upper-cased")
        << Stored{{"User/PadValue", " f"}} << with([](R r) { r.PadValue = " f"; });
    QTest::newRow("order is kept")
        << Stored{{"User/OutOrder", "8,1,0,9"}} << with([](R r) { r.OutOrder = "8,1,0,9"; });
    QTest::newRow("order of another form is kept")
        << Stored{{"User/OutOrder", "1, 2"}} << with([](R r) { r.OutOrder = "1, 2"; });
    QTest::newRow("empty order becomes 0,1,8,9") << Stored{{"User/OutOrder", ""}} << defaults();
    QTest::newRow("codes") << Stored{{"User/Overwrite", "2"},
                                     {"User/PadType", "1"},
                                     {"User/PadSize", "2"}}
                           << with([](R r) {
                                r.Overwrite = 2;
                                r.PadType = 1;
                                r.PadSize = 2;
                              });
    QTest::newRow("letters leave a code at 0, the others still load")
        << Stored{{"User/Overwrite", "abc"},
                  {"User/PadType", "1"},
                  {"User/PadSize", "1"},
                  {"User/PadValue", "00"}}
        << with([](R r) {
             r.PadType = 1;
             r.PadSize = 1;
             r.PadValue = "00";
           });
    QTest::newRow("300 leaves a code at 0")
        << Stored{{"User/Overwrite", "300"}, {"User/PadSize", "2"}}
        << with([](R r) { r.PadSize = 2; });
    QTest::newRow("256 leaves a code at 0") << Stored{{"User/PadType", "256"}} << defaults();
    QTest::newRow("255 is a code")
        << Stored{{"User/PadType", "255"}} << with([](R r) { r.PadType = 255; });
    QTest::newRow("5 is kept as 5")
        << Stored{{"User/PadSize", "5"}} << with([](R r) { r.PadSize = 5; });
    QTest::newRow("leading zeros")
        << Stored{{"User/PadSize", "0002"}} << with([](R r) { r.PadSize = 2; });
    QTest::newRow("spaces around a code")
        << Stored{{"User/Overwrite", " 1 "}} << with([](R r) { r.Overwrite = 1; });
    QTest::newRow("signs, fractions and hex are no codes")
        << Stored{{"User/Overwrite", "-1"}, {"User/PadType", "1.0"}, {"User/PadSize", "0x2"}}
        << defaults();
    QTest::newRow("empty code text leaves 0") << Stored{{"User/Overwrite", ""}} << defaults();
  }

  void load() {
    QFETCH(Stored, stored);
    QFETCH(ConversionSettingsRecord, expected);

    store(stored);
    LoadSettings();
    QVERIFY2(ConversionSettings == expected, qPrintable(describe(ConversionSettings)));
  }

  void failedCodeKeepsTheValueItHad_data() {
    QTest::addColumn<QString>("text");
    for (const char* text : {"abc", "256", "300", "-1", "2.0", ""}) {
      QTest::addRow("\"%s\"", text) << QString(text);
    }
  }

  void failedCodeKeepsTheValueItHad() {
    QFETCH(QString, text);
    store({{"User/Overwrite", text}, {"User/PadSize", "1"}});
    ConversionSettings.Overwrite = 2;
    ConversionSettings.PadSize = 2;
    LoadSettings();
    QCOMPARE(ConversionSettings.Overwrite, 2);
    QCOMPARE(ConversionSettings.PadSize, 1);
  }

  void roundTrip() {
    ConversionSettingsRecord saved;
    saved.Source = "C:\\ROMS\\Ford, EEC-IV\\";
    saved.Target = "/tmp/out put/ü@#;=\"x\"";
    saved.SourceExt = ".bin";
    saved.TargetExt = "@.B";
    saved.OutOrder = "8,1,0,9";
    saved.PadValue = "0a";
    saved.PadSize = 2;
    saved.PadType = 1;
    saved.Overwrite = 2;
    ConversionSettings = saved;
    QVERIFY(SaveSettings());

    ResetGlobals();
    LoadSettings();
    QVERIFY2(ConversionSettings == saved, qPrintable(describe(ConversionSettings)));
  }

  void storeFileText() {
    ConversionSettings = defaults();
    ConversionSettings.Source = "C:\\ROMS\\";
    ConversionSettings.Target = "";
    ConversionSettings.OutOrder = "8,1,0,9";
    ConversionSettings.PadSize = 1;
    ConversionSettings.Overwrite = 2;
    ConversionSettings.Bank1Only = 1;
    ConversionSettings.Limit32K = 1;
    QVERIFY(SaveSettings());

    QCOMPARE(storeText(), QByteArray("[Folders]\n"
                                     "Source=C:\\\\ROMS\\\\\n"
                                     "SourceExt=.BIN\n"
                                     "Target=\n"
                                     "TargetExt=.BIN\n"
                                     "\n"
                                     "[User]\n"
                                     "OutOrder=\"8,1,0,9\"\n"
                                     "Overwrite=2\n"
                                     "PadSize=1\n"
                                     "PadType=0\n"
                                     "PadValue=FF\n"));
  }

  void bank1OnlyAndLimit32KAreNotStored() {
    ConversionSettings = defaults();
    ConversionSettings.Bank1Only = 1;
    ConversionSettings.Limit32K = 1;
    QVERIFY(SaveSettings());
    QVERIFY(!storeText().contains("Bank1Only"));
    QVERIFY(!storeText().contains("Limit32K"));

    ResetGlobals();
    LoadSettings();
    QCOMPARE(ConversionSettings.Bank1Only, 0);
    QCOMPARE(ConversionSettings.Limit32K, 0);
  }

  void emptyTargetExtensionIsSavedEmptyAndLoadsAsBin() {
    ConversionSettings = defaults();
    ConversionSettings.TargetExt = "";
    QVERIFY(SaveSettings());
    QCOMPARE(GetSetting(App, "Folders", "TargetExt"), QString(""));
    QVERIFY(storeText().contains("\nTargetExt=\n"));

    ResetGlobals();
    LoadSettings();
    QCOMPARE(ConversionSettings.TargetExt, QString(".BIN"));
  }

  void handEditedFile() {
    // Unquoted commas, as someone would type them into the file.
    QVERIFY(
        writeStoreText("[Folders]\n"
                       "Source=/roms/a,b/\n"
                       "[User]\n"
                       "OutOrder=8,1,0,9\n"
                       "PadSize=2\n"
                       "PadValue=00\n"));
    LoadSettings();
    QCOMPARE(ConversionSettings.OutOrder, QString("8,1,0,9"));
    QCOMPARE(ConversionSettings.Source, QString("/roms/a,b/"));
    QCOMPARE(ConversionSettings.PadSize, 2);
    QCOMPARE(ConversionSettings.PadValue, QString("00"));
  }
};

QTEST_GUILESS_MAIN(TestSettings)
#include "test_settings.moc"
