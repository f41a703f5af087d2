// The settings record: its defaults, loading and saving in the per-user
// store, the text the store file holds, and saving when the program closes.
#include <QtTest>

#include "settings/modGlobals.h"
#include "settings/modRegistry.h"
#include "tests/support/RunFixture.h"
#include "tools/ImageBuilder.h"
#include "ui/Controls.h"
#include "ui/frm_Main.h"

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
      QVERIFY(QDir(store.folder()).mkpath("Quillet"));
      QVERIFY(ImageBuilder::WriteFile(
          store.storeFile(), QString("[%1]\n%2=%3\n").arg(key[0], key[1], row.text).toUtf8()));
      ResetGlobals();
      ConversionSettings.PadSize = 7;
      LoadSettings();
      QVERIFY2(loaded(row.key) == row.expected, qPrintable(row.name + (": " + loaded(row.key))));
    }
  }

  // Closing the main window saves the settings; a store that cannot take
  // them is named to the user once, and the window closes all the same.
  // Each row puts something in the store's way: a file or a folder there.
  void closingSavesOrSaysWhy() {
    const struct {
      const char *name, *path, *file;  // a folder when file is null
      bool saved;
    } rows[] = {
        {"nothing in the way", "", nullptr, true},
        {"a line the store cannot read is written over", "Quillet/Quillet.conf", "[Folders", true},
        {"the store file is a folder", "Quillet/Quillet.conf", nullptr, false},
        {"the store folder is a file", "Quillet", "", false},
    };
    for (const auto& row : rows) {
      TemporarySettingsStore store;
      const QString path = QDir(store.folder()).filePath(row.path);
      QVERIFY(row.file
                  ? QDir().mkpath(QFileInfo(path).path()) && ImageBuilder::WriteFile(path, row.file)
                  : QDir().mkpath(path));
      ResetGlobals();
      MessageRecorder messages;
      frm_Main* main = Forms::frm_Main.get();
      main->txtSourceExt->setText(".ROM");
      QVERIFY2(main->Unload(), row.name);
      flushClosedWindows();
      QVERIFY2(!row.saved == messages.titles().contains("Settings Error"), row.name);
      QVERIFY2(row.saved == ReadFile(store.storeFile()).contains("SourceExt=.ROM\n"), row.name);
      if (row.saved) continue;
      QCOMPARE(messages.shown.size(), 1);
      QCOMPARE(messages.shown[0].prompt, "The settings could not be saved to:\r\n" +
                                             QDir::toNativeSeparators(store.storeFile()) +
                                             "\r\nChanges made in this session are lost.");
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
    ResetGlobals();
    LoadSettings();
    QVERIFY(ConversionSettings == saved);
  }
};

QTEST_MAIN(TestSettings)
#include "test_settings.moc"
