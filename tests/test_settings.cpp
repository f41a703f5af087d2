// The settings record: loading, saving, the store file's text and saving at close.
#include "settings/modGlobals.h"
#include "settings/modRegistry.h"
#include "tests/support/RunFixture.h"
#include "tools/ImageBuilder.h"
#include "ui/Controls.h"
#include "ui/frm_Main.h"

#ifdef Q_OS_UNIX
#include <sys/stat.h>
#endif

using ImageBuilder::ReadFile;

class TestSettings : public QObject {
  Q_OBJECT

 private Q_SLOTS:
  void init() { ResetGlobals(); }

  // Each row is one hand-edited line; a pad size that is no code 0 to 255 leaves the 7 before.
  void load() {
    // clang-format off
    const struct { const char *name, *key, *text, *expected; } rows[] = {
        {"empty extension becomes .BIN", "Folders/TargetExt", "", ".BIN"},
        {"unquoted commas", "User/OutOrder", "8,1,0,9", "8,1,0,9"},
        {"order of another form is kept", "User/OutOrder", "\"1, 2\"", "1, 2"},
        {"empty order becomes 0,1,8,9", "User/OutOrder", "", "0,1,8,9"},
        {"one-digit pad value gets a leading 0", "User/PadValue", "7", "07"},
        {"empty pad value becomes FF", "User/PadValue", "", "FF"},
        {"longer pad value is kept", "User/PadValue", "ABC", "ABC"},
        {"leading zeros; 255 is the largest code", "User/PadSize", "0255", "255"},
        {"code 256 is out of range", "User/PadSize", "256", "7"},
        {"letters are no code", "User/PadSize", "abc", "7"},
        {"a sign is no code", "User/PadSize", "-1", "7"},
        {"empty text is no code", "User/PadSize", "", "7"},
    };
    // clang-format on
    for (const auto& row : rows) {
      TemporarySettingsStore store;
      const QString key = row.key;
      store.editByHand(key.section(u'/', 0, 0), key.section(u'/', 1), row.text);
      ResetGlobals();
      ConversionSettings.PadSize = 7;
      LoadSettings();
      const auto& s = ConversionSettings;
      const QString loaded = key.endsWith("PadSize")    ? QString::number(s.PadSize)
                             : key.endsWith("OutOrder") ? s.OutOrder
                             : key.endsWith("PadValue") ? s.PadValue
                                                        : s.TargetExt;
      QVERIFY2(loaded == row.expected, qPrintable(row.name + (": " + loaded)));
    }
  }

  // Closing the main window saves the settings; a store that cannot take them (a file or
  // folder in its way) is named to the user once, and the window closes all the same.
  void closingSavesOrSaysWhy() {
#ifdef Q_OS_WIN
    QSKIP("the registry keeps the settings here: there is no file to put in the way");
#endif
    // clang-format off
    // file null: a folder; "|": a named pipe, which would hold the program up at its start
    const struct { const char *name, *path, *file; bool saved; } rows[] = {
        {"a line the store cannot read is written over", "Quillet/Quillet.conf", "[Folders", true},
        {"the store file is a folder", "Quillet/Quillet.conf", nullptr, false},
        {"the store folder is a file", "Quillet", "", false},
        {"the store file is a pipe", "Quillet/Quillet.conf", "|", false},
    };
    // clang-format on
    for (const auto& row : rows) {
      TemporarySettingsStore store;
      const QString path = QDir(store.folder()).filePath(row.path);
      QVERIFY(QDir().mkpath(row.file ? QFileInfo(path).path() : path));
#ifdef Q_OS_UNIX
      if (row.file && *row.file == '|') QVERIFY(mkfifo(QFile::encodeName(path), 0600) == 0);
#endif
      if (row.file && *row.file != '|') QVERIFY(ImageBuilder::WriteFile(path, row.file));
      ResetGlobals();
      MessageRecorder messages;
      frm_Main* main = Forms::frm_Main.get();
      main->txtSourceExt->setText(".ROM");
      QVERIFY2(main->Unload(), row.name);
      flushClosedWindows();
      QCOMPARE(ConversionSettings.OutOrder, QStringLiteral("0,1,8,9"));  // loaded, with defaults
      if (QFileInfo(store.storeFile()).isFile())
        QVERIFY2(row.saved == ReadFile(store.storeFile()).contains("SourceExt=.ROM\n"), row.name);
      QStringList said;
      for (const auto& m : messages.shown) said << m.title + ": " + m.prompt;
      QCOMPARE(said, row.saved
                         ? QStringList()
                         : QStringList{"Settings Error: The settings could not be saved to:\r\n" +
                                       QDir::toNativeSeparators(store.storeFile()) +
                                       "\r\nChanges made in this session are lost."});
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
    QStringList texts;
    for (const char* key : {"Folders/Source", "Folders/Target", "Folders/TargetExt",
                            "User/OutOrder", "User/PadSize", "User/PadValue"})
      texts << store.storedText(QString(key).section(u'/', 0, 0), QString(key).section(u'/', 1));
    // A leading @ is written twice, as in the file.
    QCOMPARE(texts, QStringList({"C:\\ROMS\\Ford, EEC-IV\\", "", "@@.B", "8,1,0,9", "2", "0a"}));
#else
    QCOMPARE(
        ReadFile(store.storeFile()),
        QByteArray("[Folders]\nSource=\"C:\\\\ROMS\\\\Ford, EEC-IV\\\\\"\nSourceExt=.BIN\nTarget=\n"
                   "TargetExt=@@.B\n\n[User]\nOutOrder=\"8,1,0,9\"\nOverwrite=2\nPadSize=2\n"
                   "PadType=1\nPadValue=0a\n"));
#endif
    ResetGlobals();
    LoadSettings();
    QVERIFY(ConversionSettings == saved);
  }
};

QTEST_MAIN(TestSettings)
#include "test_settings.moc"
