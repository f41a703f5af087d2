// The settings record: loading, saving, the store file's text and saving at close. The options
// window: enabling rules, presets, pad value filter, order check, what Ok stores.
#include <QtTest>
#include <QtWidgets>

#include "settings/modGlobals.h"
#include "settings/modRegistry.h"
#include "tests/support/RunFixture.h"
#include "tools/ImageBuilder.h"
#include "ui/Controls.h"
#include "ui/frmFormat.h"
#include "ui/frmOptions.h"
#include "ui/frm_Main.h"

#ifdef Q_OS_UNIX
#include <sys/stat.h>
#endif

using ImageBuilder::ReadFile;

namespace {

void click(QWidget* control) {
  QTest::mouseClick(control, Qt::LeftButton);
}

// Types the text into the box, after emptying it unless the text begins with "+"; null leaves
// the box as it opened.
void retype(TextBox* box, const char* text) {
  if (text && *text != '+') box->clear();
  if (text) QTest::keyClicks(box, QString::fromLatin1(text + (*text == '+')));
}

// Double-clicks the order box, or presses `key` in it, and, in the preset window this brings up,
// clicks preset i, or its close box for -1. True when the preset window was modal and locked
// the options window.
bool pickPreset(frmOptions* options, int i, QKeyCombination key = {}) {
  const bool byKey = key.key() != Qt::Key_unknown;
  if (byKey) {
    options->activateWindow();
    if (!QTest::qWaitForWindowActive(options)) return false;
    options->txtOutputOrder->setFocus();
  }
  bool locked = false;
  QTimer::singleShot(0, options, [&] {
    frmFormat* presets = Forms::frmFormat.loaded();
    if (!presets) return;
    locked = !options->isEnabled() && QApplication::activeModalWidget() == presets;
    i < 0 ? void(presets->close()) : presets->cmdSelection[i]->click();
    if (Forms::frmFormat.loaded() && presets->Unload()) locked = false;  // fail, not hang
  });
  if (byKey) {
    QTest::keyClick(options->txtOutputOrder, key.key(), key.keyboardModifiers());
  } else {
    QTest::mouseDClick(options->txtOutputOrder, Qt::LeftButton);
  }
  return locked && options->isEnabled();
}

// "Limit to 32K" and "Bank 1 Only" checked, the padding size, front padding; the order text;
// which controls can be used, "." where not: L "Limit to 32K", s padding sizes, t padding
// types, V pad value, O order; then both text boxes' system colour.
QString state(frmOptions* w) {
  auto on = [](char letter, auto... c) { return (c->isEnabled() && ...) ? letter : '.'; };
  const QVariant colour = w->txtPadValue->property("systemColour");
  if (w->txtOutputOrder->property("systemColour") != colour) return QStringLiteral("?");
  const int size = w->optPadSize[1]->isChecked() + 2 * w->optPadSize[2]->isChecked();
  return QString::asprintf("%d%d %d%d ", w->chkLimit32K->isChecked(), w->chkBank1->isChecked(),
                           size, w->optPadType[1]->isChecked()) +
         w->txtOutputOrder->text() + ' ' + on('L', w->chkLimit32K) +
         on('s', w->optPadSize[0], w->optPadSize[1], w->optPadSize[2]) +
         on('t', w->optPadType[0], w->optPadType[1]) + on('V', w->txtPadValue) +
         on('O', w->txtOutputOrder) + ' ' + colour.toString();
}

constexpr auto Ok = &frmOptions::cmdOK, Cancel = &frmOptions::cmdCancel;

// clang-format off
// Opened on order 9,9,9,9 with Bank 1 Only, the 32K limit, a padding size and type, then clicked:
// B "Bank 1 Only", 0-2 a padding size, a-e a preset, x the preset window's close box; before a
// preset, ^ opens the preset window by F4 in the order box and % by Alt+Down.
struct ShownRow { const char* name; quint8 bank1Only, limit32K, padSize, padType; const char *clicks, *state; };
const ShownRow shownRows[] = {
    {"no padding: no type, no fill", 0, 0, NoPadding, RearPadding, "", "00 00 9,9,9,9 .s..O 5"},
    {"56K: fill but no type", 0, 0, Padding56K, RearPadding, "", "00 10 9,9,9,9 .s.VO 5"},
    {"64K: type and fill", 0, 0, Padding64K, RearPadding, "", "00 20 9,9,9,9 .stVO 5"},
    {"bank 1 only locks the layout", 1, 0, Padding64K, RearPadding, "", "01 20 9,9,9,9 L.... 11"},
    {"unchecking frees it all, even with no padding", 1, 0, NoPadding, RearPadding, "B", "00 00 9,9,9,9 .stVO 15"},
    {"a size chosen after unchecking applies", 1, 0, NoPadding, RearPadding, "B1", "00 10 9,9,9,9 .s.VO 15"},
    {"preset standard, from 56K", 0, 1, Padding56K, FrontPadding, "a", "00 00 0,1,8,9 .s..O 5"},
    {"F4 in the order box opens the presets", 0, 1, NoPadding, FrontPadding, "^c", "00 10 8,1,0,9 .s.VO 5"},
    {"Alt+Down in the order box opens the presets", 0, 1, Padding56K, RearPadding, "%d", "00 21 0,1,8,9 .stVO 5"},
    {"preset bank 1 only, from 64K", 0, 1, Padding64K, FrontPadding, "e", "11 00 0,1,8,9 L.... 11"},
    {"the preset window's close box changes nothing", 0, 1, Padding56K, FrontPadding, "x", "10 11 9,9,9,9 .s.VO 5"},
};

// Opened on a stored order "0,1,8,9,2" and pad value "ABC", longer than the boxes take; every
// other choice changed, an order and a pad value typed (\b Backspace, \r Enter) and pasted,
// then closed with a button or the close box (null); `stored` is the pad value stored.
struct CloseRow { const char *name, *order; bool bank1Only; const char *pad, *pasted; QPushButton* frmOptions::*close; const char* stored; };
const CloseRow closeRows[] = {
    {"Ok stores every choice; no hex digit is 00", "8,1,0,9", true, "Gg, x", "", Ok, "00"},
    {"lower-case hex raised, a third digit dropped", "8,1,0,9", false, "9cA", "", Ok, "9C"},
    {"Backspace deletes, Enter moves on to Ok", "8,1,0,9", false, "AB\b\r", "", Ok, "0A"},
    {"a paste is filtered as typing is, then cut to fit", "8,1,0,9", false, "", "x1f;2", Ok, "1F"},
    {"a bank twice and none of another; a leading 0", "9,9,8,8", false, "7", "", Ok, "07"},
    {"letters in the bank places are no order", "a, ,c,c", false, "7", "", Ok, nullptr},
    {"Cancel discards, order unchecked", "0,1", true, "7", "", Cancel, nullptr},
    {"the close box discards", "0,1", false, "7", "", nullptr, nullptr},
    {"order too short", "0,1,8", false, "7", "", Ok, nullptr},
    {"first separator not a comma", "0.1,8,9", false, "7", "", Ok, nullptr},
    {"middle separator not a comma", "0,1 8,9", false, "7", "", Ok, nullptr},
    {"last separator not a comma", "0,1,8-9", false, "7", "", Ok, nullptr},
    {"order checked even behind Bank 1 Only", "0,1,8", true, "7", "", Ok, nullptr},
    {"a stored order too long for the box is refused whole", nullptr, false, "7", "", Ok, nullptr},
    {"a stored pad value too long for the box: no digit added, last two kept", "8,1,0,9", false, "+D", "", Ok, "BC"},
};
// clang-format on

}  // namespace

class SettingsTest : public QObject {
  Q_OBJECT

 private Q_SLOTS:
  void init() { ResetGlobals(); }
  void cleanup() {
    if (frmOptions* options = Forms::frmOptions.loaded()) options->Unload();
    flushClosedWindows();
  }

  // What the window shows follows the record, the clicks and the presets; nothing is stored.
  void shownFollowsBank1OnlyPaddingAndPresets_data() { addRows(shownRows); }
  void shownFollowsBank1OnlyPaddingAndPresets() {
    QFETCH(int, row);
    const ShownRow& r = shownRows[row];
    const ConversionSettingsRecord record({}, {}, {}, {}, "9,9,9,9", r.bank1Only, r.limit32K,
                                          r.padSize, r.padType, "7E", AskToOverwrite);
    ConversionSettings = record;
    Forms::frmOptions->Show();
    frmOptions* options = Forms::frmOptions.get();
    QKeyCombination key;
    for (const char* c = r.clicks; *c; ++c) {
      if (*c == 'B') click(options->chkBank1);
      if (*c >= '0' && *c <= '2') click(options->optPadSize[*c - '0']);
      if (*c == '^') key = Qt::Key_F4;
      if (*c == '%') key = Qt::ALT | Qt::Key_Down;
      if (*c >= 'a' && *c <= 'e') QVERIFY(pickPreset(options, *c - 'a', std::exchange(key, {})));
      if (*c == 'x') QVERIFY(pickPreset(options, -1));
    }
    QCOMPARE(state(options), QString::fromLatin1(r.state));
    QCOMPARE(ConversionSettings, record);
  }

  void onlyOkStoresAndOnlyAWellFormedOrder_data() { addRows(closeRows); }
  void onlyOkStoresAndOnlyAWellFormedOrder() {
    QFETCH(int, row);
    const CloseRow& r = closeRows[row];
    MessageRecorder messages;
    ConversionSettings.OutOrder = "0,1,8,9,2", ConversionSettings.PadValue = "ABC";
    const ConversionSettingsRecord before = ConversionSettings;
    Forms::frmOptions->Show();
    frmOptions* options = Forms::frmOptions.get();
    QVERIFY(QTest::qWaitForWindowActive(options));
    click(options->optOverwrite[AskToOverwrite]);
    click(options->optPadSize[Padding64K]);
    click(options->optPadType[FrontPadding]);
    retype(options->txtOutputOrder, r.order);
    retype(options->txtPadValue, r.pad);
    QApplication::clipboard()->setText(QString::fromLatin1(r.pasted));
    QTest::keyClick(options->txtPadValue, Qt::Key_V, Qt::ControlModifier);
    QCOMPARE(QApplication::focusWidget() == options->cmdOK, QByteArray(r.pad).endsWith('\r'));
    Forms::frmOptions->Show();  // only brings the open window forward
    QVERIFY(Forms::frmOptions.get() == options && !options->IsUnloaded());
    if (r.bank1Only) click(options->chkBank1);
    click(options->chkLimit32K);  // takes only with Bank 1 Only
    r.close ? click(options->*r.close) : void(options->close());

    // Folders and extensions, order, Bank 1 Only, 32K limit, size, type, pad value, overwrite.
    const ConversionSettingsRecord stored({}, {}, {}, {}, r.order, r.bank1Only, r.bank1Only,
                                          Padding64K, FrontPadding, r.stored, AskToOverwrite);
    QCOMPARE(ConversionSettings, r.stored ? stored : before);
    const bool refused = r.close == Ok && !r.stored;
    QCOMPARE(Forms::frmOptions.loaded() != nullptr, refused);
    QCOMPARE(messages.titles(), refused ? QStringList{"Format Error"} : QStringList());
    if (!refused) return;
    QCOMPARE(messages.shown[0].prompt, QStringLiteral("Invalid Bank Order format. Re-enter"));
    // A locked order box cannot take the focus; the check box locking it does.
    QCOMPARE(QApplication::focusWidget(),
             r.bank1Only ? static_cast<QWidget*>(options->chkBank1) : options->txtOutputOrder);
  }

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
    const struct { const char *name, *path, *file; bool saved; const char* why; } rows[] = {
        {"a line the store cannot read is written over", "Quillet/Quillet.conf", "[Folders", true, ""},
        {"the store file is a folder", "Quillet/Quillet.conf", nullptr, false, "it is a folder\n"},
        {"the store folder is a file", "Quillet", "", false, "its folder is a file\n"},
        {"the store file is a pipe", "Quillet/Quillet.conf", "|", false, "it is not a regular file\n"},
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
                         : QStringList{"Settings Error: The settings could not be saved to:\n" +
                                       QDir::toNativeSeparators(store.storeFile()) + "\n" +
                                       row.why + "Changes made in this session are lost."});
    }
  }

  // The store is the program's own: a link to another program's file is neither read as settings
  // nor replaced by them, while a link to a real store (as dotfile managers keep) is read and
  // written through, and stays a link.
  void storeBehindALink() {
#ifndef Q_OS_UNIX
    QSKIP("the registry keeps the settings here: there is no file to link");
#else
    // clang-format off
    // What the link leads to (null: nothing), the order loaded, and why the store is not used.
    const struct { const char *name, *linked, *order, *why; } rows[] = {
        {"another program's file", "[User]\nName=someone\nHome=/home/someone\n", "0,1,8,9", "it is a link to a file that holds none of Quillet's settings"},
        {"a file of no settings at all", "root:x:0:0:root:/root:/bin/bash\n", "0,1,8,9", "it is a link to a file that holds none of Quillet's settings"},
        {"nothing", nullptr, "0,1,8,9", "it is a link that leads nowhere"},
        {"a real store", "[User]\nOutOrder=8,1,0,9\n", "8,1,0,9", ""},
    };
    // clang-format on
    for (const auto& row : rows) {
      TemporarySettingsStore store;
      const QString linked = QDir(store.folder()).filePath("dotfiles/quillet.conf");
      QVERIFY(QDir().mkpath(QFileInfo(linked).path()) &&
              QDir().mkpath(store.folder() + "/Quillet"));
      if (row.linked) QVERIFY(ImageBuilder::WriteFile(linked, row.linked));
      QVERIFY(QFile::link(linked, store.storeFile()));
      ResetGlobals();
      LoadSettings();
      QVERIFY2(ConversionSettings.OutOrder == QLatin1String(row.order), row.name);
      QCOMPARE(SettingsProblem(), QString::fromLatin1(row.why));
      ConversionSettings.SourceExt = ".ROM";
      QCOMPARE(SaveSettings(), !*row.why);
      QVERIFY2(QFileInfo(store.storeFile()).isSymLink(), row.name);
      if (!row.linked)
        QVERIFY2(!QFileInfo::exists(linked), row.name);  // nothing made through it
      else if (*row.why)
        QCOMPARE(ReadFile(linked), QByteArray(row.linked));
      else
        QVERIFY(ReadFile(linked).contains("SourceExt=.ROM\n"));
    }
#endif
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

QTEST_MAIN(SettingsTest)
#include "test_settings.moc"
