// The settings record: its defaults, loading and saving in the per-user
// store, and the text the store file holds.
#include <QtTest>

#include "settings/modGlobals.h"
#include "settings/modRegistry.h"
#include "tests/support/TestSupport.h"
#include "tools/ImageBuilder.h"

using ImageBuilder::ReadFile;

namespace {

// The loaded field that a "Section/Key" of the store fills, as text.
QString loaded(const QString& key) {
  const auto& s = ConversionSettings;
  if (key == "User/PadSize") return QString::number(s.PadSize);
  return key == "User/OutOrder" ? s.OutOrder : key == "User/PadValue" ? s.PadValue : s.TargetExt;
}

}  // namespace

class TestSettings : public QObject {
  Q_OBJECT

 private Q_SLOTS:
  void init() { ResetGlobals(); }

  void emptyStoreGivesDefaults() {
    TemporarySettingsStore store;
    LoadSettings();
    const auto& s = ConversionSettings;
    QCOMPARE(QStringList({s.Source, s.Target, s.SourceExt, s.TargetExt, s.OutOrder, s.PadValue}),
             QStringList({"", "", ".BIN", ".BIN", "0,1,8,9", "FF"}));
    QVERIFY(!s.PadSize && !s.PadType && !s.Overwrite && !s.Bank1Only && !s.Limit32K);
  }

  // Each row is one line of a hand-edited store file. The pad size is 7
  // before the load: a text that is no code 0 to 255 leaves it so.
  void load() {
    const struct {
      const char *name, *key, *text, *expected;
    } rows[] = {
        {"extension as stored", "Folders/TargetExt", ".bin", ".bin"},
        {"empty extension becomes .BIN", "Folders/TargetExt", "", ".BIN"},
        {"unquoted commas", "User/OutOrder", "8,1,0,9", "8,1,0,9"},
        {"order of another form is kept", "User/OutOrder", "\"1, 2\"", "1, 2"},
        {"empty order becomes 0,1,8,9", "User/OutOrder", "", "0,1,8,9"},
        {"one-digit pad value gets a leading 0", "User/PadValue", "7", "07"},
        {"empty pad value becomes FF", "User/PadValue", "", "FF"},
        {"longer pad value is kept", "User/PadValue", "ABC", "ABC"},
        {"code 255", "User/PadSize", "255", "255"},
        {"leading zeros; 5 is kept as 5", "User/PadSize", "0005", "5"},
        {"code 256 is out of range", "User/PadSize", "256", "7"},
        {"letters are no code", "User/PadSize", "abc", "7"},
        {"a sign is no code", "User/PadSize", "-1", "7"},
        {"a fraction is no code", "User/PadSize", "2.0", "7"},
        {"empty text is no code", "User/PadSize", "", "7"},
    };
    for (const auto& row : rows) {
      TemporarySettingsStore store;
      const QStringList key = QString(row.key).split(u'/');
      store.editByHand(key[0], key[1], row.text);
      ResetGlobals();
      ConversionSettings.PadSize = 7;
      LoadSettings();
      QVERIFY2(loaded(row.key) == row.expected, qPrintable(row.name + (": " + loaded(row.key))));
    }
  }

  // Bank 1 only and its limit last for one session: they are not stored.
  void saveThenLoad() {
    TemporarySettingsStore store;
    auto& s = ConversionSettings;
    s.Source = "C:\\ROMS\\Ford, EEC-IV\\", s.SourceExt = ".BIN", s.TargetExt = "@.B";
    s.OutOrder = "8,1,0,9", s.PadValue = "0a", s.PadSize = 2, s.PadType = 1, s.Overwrite = 2;
    const ConversionSettingsRecord saved = s;
    s.Bank1Only = s.Limit32K = 1;
    QVERIFY(SaveSettings());
#ifdef Q_OS_WIN
    const QStringList stored = {"Folders/Source", "Folders/Target", "Folders/TargetExt",
                                "User/OutOrder",  "User/PadSize",   "User/PadValue"};
    QStringList texts;
    for (const QString& key : stored) {
      texts.append(store.storedText(key.section(u'/', 0, 0), key.section(u'/', 1)));
    }
    // A leading @ is written twice, as in the file.
    QCOMPARE(texts, QStringList({"C:\\ROMS\\Ford, EEC-IV\\", "", "@@.B", "8,1,0,9", "2", "0a"}));
#else
    QCOMPARE(ReadFile(store.storeFile()), QByteArray("[Folders]\n"
                                                     "Source=\"C:\\\\ROMS\\\\Ford, EEC-IV\\\\\"\n"
                                                     "SourceExt=.BIN\n"
                                                     "Target=\n"
                                                     "TargetExt=@@.B\n"
                                                     "\n"
                                                     "[User]\n"
                                                     "OutOrder=\"8,1,0,9\"\n"
                                                     "Overwrite=2\n"
                                                     "PadSize=2\n"
                                                     "PadType=1\n"
                                                     "PadValue=0a\n"));
#endif
    ResetGlobals();
    LoadSettings();
    QVERIFY(ConversionSettings == saved);
  }
};

QTEST_GUILESS_MAIN(TestSettings)
#include "test_settings.moc"
