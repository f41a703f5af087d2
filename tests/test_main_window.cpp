// The main window: its caption, the enabling rule, extensions, drops, the refusals before a run,
// the progress text and the real message boxes. Its lock during a run is tested with the Images
// window open. The folder picker: where it opens, its drive messages, and what each way of
// closing hands back.
#include <QtTest>
#include <QtWidgets>

#include "engine/Lib_Convert.h"
#include "settings/modGlobals.h"
#include "tests/support/RunFixture.h"
#include "tools/ImageBuilder.h"
#include "ui/Controls.h"
#include "ui/Drives.h"
#include "ui/ImageTable.h"
#include "ui/frmFileBox.h"
#include "ui/frmFormat.h"
#include "ui/frmImages.h"
#include "ui/frmOptions.h"
#include "ui/frmProcess.h"
#include "ui/frmReadAs.h"
#include "ui/frm_Main.h"

using Toolkit::LineBreak;

namespace {

// Presses a button of the real message box with this title once it is up; keeps what it showed.
struct RealBoxAnswer {
  QString text;

  void pressWhenShown(const QString& title, QMessageBox::StandardButton press) {
    auto* box = qobject_cast<QMessageBox*>(QApplication::activeModalWidget());
    if (!box || box->windowTitle() != title)
      return QTimer::singleShot(10, [this, title, press] { pressWhenShown(title, press); });
    text = box->text();
    box->button(press)->click();
  }
};

enum Start { Existing, Deleted, Empty, UnreachableVolume, UnusedDriveLetter };

#ifdef Q_OS_WIN
constexpr bool Windows = true;
#else
constexpr bool Windows = false;
#endif
// Drive letters are the same in either case.
constexpr Qt::CaseSensitivity PathCase = Windows ? Qt::CaseInsensitive : Qt::CaseSensitive;

// A drive letter with nothing behind it, as "q:"; empty where drives are no letters.
QString unusedDriveLetter() {
  for (char letter = 'y'; Windows && letter > 'c'; --letter) {
    const QString drive = QString(QChar::fromLatin1(letter)) + u':';
    if (!QFileInfo::exists(drive + u'\\')) return drive;
  }
  return QString();
}

// The system's volumes while it lives, and besides them a drive of its own at each folder
// declared unreachable, listed but never ready: no machine has such a volume at will.
class UnreachableVolumes : public Drives::Volumes {
 public:
  UnreachableVolumes() { Drives::SetVolumes(this); }
  ~UnreachableVolumes() override { Drives::SetVolumes(nullptr); }
  Q_DISABLE_COPY(UnreachableVolumes)

  // The innermost first.
  void declare(const QString& folder) { roots_.append(Drives::Absolute(folder)); }

  QList<Drives::Volume> List() const override {
    QList<Drives::Volume> volumes = Drives::SystemVolumes().List();
    for (const QString& root : roots_) volumes.append({root, QString()});
    return volumes;
  }
  QString DriveOf(const QString& path) const override {
    for (const QString& root : roots_)
      if (path.compare(root, PathCase) == 0 || path.startsWith(root + QDir::separator(), PathCase))
        return root;
    return Drives::SystemVolumes().DriveOf(path);
  }
  bool Ready(const QString& drive) const override {
    return !roots_.contains(drive, PathCase) && Drives::SystemVolumes().Ready(drive);
  }

 private:
  QStringList roots_;
};

// The picker starts at a folder holding "BINS" (a separator at the end) or a stand-in for it,
// then the user acts. `picked` is the folder in it ("" itself) that Ok hands back, null when
// PickerFolder keeps what it held once the picker had opened (the fallback replaces it).
// clang-format off
struct Row { const char* name; Start start; const char* action; bool closed; const char* picked; };
const Row rows[] = {
    {"start folder opens; Cancel hands it back", Existing, "Cancel", true, nullptr},
    {"deleted start folder falls back silently", Deleted, "Cancel", true, nullptr},
    {"empty start falls back silently", Empty, "Cancel", true, nullptr},
    {"unreachable volume warns, then falls back", UnreachableVolume, "Cancel", true, nullptr},
    {"unused drive letter warns, then falls back", UnusedDriveLetter, "Cancel", true, nullptr},
    {"a drive not ready warns, the folder stays", Existing, "offline drive", false, nullptr},
    {"Ok after double-clicking a subfolder", Existing, "click, double-click, Ok", true, "BINS"},
    {"Ok after highlighting a subfolder", Existing, "click, Ok", true, ""},
    {"Enter opens the highlighted folder", Existing, "click, Enter, Ok", true, "BINS"},
    {"title-bar close", Existing, "close", true, nullptr},
    {"Esc in the drive list cancels", Existing, "Esc in Drive1", true, nullptr},
};

// Keys pressed on a folder field: those that open a combo box open the folder picker.
struct KeyRow { const char* name; Qt::Key key; Qt::KeyboardModifiers modifiers; bool opens; };
const KeyRow keyRows[] = {
    {"Enter opens", Qt::Key_Return, Qt::NoModifier, true},
    {"keypad Enter opens", Qt::Key_Enter, Qt::KeypadModifier, true},
    {"Space opens", Qt::Key_Space, Qt::NoModifier, true},
    {"F4 opens", Qt::Key_F4, Qt::NoModifier, true},
    {"Alt+Down opens", Qt::Key_Down, Qt::AltModifier, true},
    {"Down alone does not", Qt::Key_Down, Qt::NoModifier, false},
    {"Ctrl+Space does not", Qt::Key_Space, Qt::ControlModifier, false},
    {"a letter does not", Qt::Key_A, Qt::NoModifier, false},
};

// Escape with the focus on a control of a window: it closes as the window's Cancel or close box,
// but for Options, where Escape presses no button.
struct EscapeRow { const char* name; const char* window; const char* focus; bool closes; };
const EscapeRow escapeRows[] = {
    {"Options stays, from an option", "frmOptions", "optOverwrite", false},
    {"Options stays, from a button", "frmOptions", "cmdOK", false},
    {"the preset window, from a preset", "frmFormat", "cmdSelection", true},
    {"Images, from the list", "frmImages", "lvwImages", true},
    {"Images, from its check box", "frmImages", "chkLeftOut", true},
    {"Read As, from its fill options", "frmReadAs", "optInputPad", true},
};

// The Tab stops of each window, in order: its controls as they are read, top to bottom and left
// to right, a group of options as one stop at its chosen option, a disabled control skipped.
// Options opens with the first overwrite option, 64K padding and rear padding chosen; Read As on
// a front-padded image.
struct TabRow { const char* name; const char* window; const char* stops; };
const TabRow tabRows[] = {
    {"main window", "frm_Main", "txtSource txtSourceExt txtTarget txtTargetExt cmdOptions cmdImages cmdStrip cmdExit"},
    {"options, in its own keyboard order", "frmOptions", "optOverwrite0 txtOutputOrder cmdCancel cmdOK optPadSize2 optPadType0 txtPadValue chkBank1"},
    {"presets, top to bottom", "frmFormat", "cmdSelection0 cmdSelection1 cmdSelection2 cmdSelection3 cmdSelection4"},
    {"images: the list, then the row below it", "frmImages", "lvwImages cmdReadAs chkLeftOut cmdRefresh"},
    {"folder picker: the lists, then the buttons beside them", "frmFileBox", "Dir1 Drive1 cmdDone cmdCancel"},
    {"read as: the order, the fill, the choice for every image, the buttons", "frmReadAs", "txtInputOrder optInputPad1 chkSameLength cmdOK cmdCancel"},
};
// clang-format on

// A control as the Tab tables name it: its name, and its index in an array of controls.
QString stopName(const QWidget* w) {
  const QVariant index = w->property("index");
  return w->objectName() + (index.isValid() ? QString::number(index.toInt()) : QString());
}

QWidget* control(QWidget* window, const QString& name) {
  for (QWidget* w : window->findChildren<QWidget*>())
    if (stopName(w) == name) return w;
  return nullptr;
}

// Opens one of the program's windows as the user would find it, and makes it the active one.
Form* openWindow(frm_Main* main, const QString& name) {
  using namespace ImageBuilder;
  main->Show();
  Form* window = main;
  if (name == "frmOptions") window = Forms::frmOptions.get();
  if (name == "frmFormat") window = Forms::frmFormat.get();
  if (name == "frmImages") {
    // An image whose banks cannot be told apart, current, so that Read as... can be used.
    WriteFile(ConversionSettings.Source + "unknown.BIN",
              Bank1(48 * 1024) + Bank8() + Bank0() + Bank9());
    frmImages* images = Forms::frmImages.get();
    images->Show();
    if (!QTest::qWaitFor([&] {
          return images->lvwImages->model()->rowCount() == 1 && !images->prgLook->isVisible();
        }))
      return nullptr;
    images->lvwImages->setCurrentIndex(images->lvwImages->model()->index(0, 0));
    window = images;
  }
  if (name == "frmFileBox") window = Forms::frmFileBox.get();
  if (name == "frmReadAs") {
    // A front-padded 256K image, whose fill option is chosen.
    const QString image = ConversionSettings.Source + "read.BIN";
    WriteFile(image, Image256K({Bank0(), Bank1(), Bank8(), Bank9()}, true));
    window = Forms::frmReadAs.get();
    if (!Forms::frmReadAs->Begin("read.BIN", image, nullptr)) return nullptr;
  }
  window->Show();
  window->activateWindow();
  return QTest::qWaitForWindowActive(window) ? window : nullptr;
}

// Every control of the window that the accessibility tree tells can take the focus, is usable
// and is one Tab may stop at, by its name; an item view counts as one control.
QStringList focusableControls(QAccessibleInterface* node) {
  QStringList found;
  for (int i = 0; i < node->childCount(); ++i) {
    QAccessibleInterface* child = node->child(i);
    if (!child) continue;
    const QAccessible::State state = child->state();
    if (state.invisible || state.disabled) continue;
    auto* widget = qobject_cast<QWidget*>(child->object());
    if (widget && state.focusable && (widget->focusPolicy() & Qt::TabFocus))
      found << stopName(widget);
    const QAccessible::Role role = child->role();
    if (role != QAccessible::Table && role != QAccessible::List && role != QAccessible::Tree)
      found << focusableControls(child);
  }
  return found;
}

}  // namespace

class MainWindowTest : public QObject {
  Q_OBJECT

 private Q_SLOTS:
  void initTestCase() {
    QVERIFY(QDir(dir.path()).mkpath(QStringLiteral("BINS")));
    qputenv("HOME", QFile::encodeName(home.path()));
  }
  void cleanup() {
    if (frmFileBox* box = Forms::frmFileBox.loaded()) box->Unload();
    if (frmFormat* presets = Forms::frmFormat.loaded()) presets->Unload();
    if (frmOptions* options = Forms::frmOptions.loaded()) options->Unload();
    if (frmReadAs* readAs = Forms::frmReadAs.loaded()) readAs->Unload();
    flushClosedWindows();
  }

  // "&Reorder" takes both folders named, even missing ones; leaving the target extension box
  // adds a missing dot, and empty becomes ".".
  void captionEnablingRuleAndExtension() {
    RunFixture f;
    frm_Main* main = f.main();
    QCOMPARE(main->windowTitle(), "Quillet - v1.03.0000");
    const char* folders[][2] = {{"", ""}, {"/no/such/", "/b/"}, {"", "/b/"}, {"/a/", ""}};
    for (const auto& [source, target] : folders) {
      main->txtSource->SetFolder(source);
      main->txtTarget->SetFolder(target);
      QVERIFY2(main->cmdStrip->isEnabled() == (*source && *target), source);
    }
    QVERIFY(openWindow(main, "frm_Main"));
    const char* extensions[][2] = {{"bin", ".bin"}, {"", "."}, {".B", ".B"}};
    for (const auto& [typed, shown] : extensions) {
      main->txtTargetExt->setFocus();
      main->txtTargetExt->setText(typed);
      main->cmdExit->setFocus();
      QCOMPARE(QStringList({main->txtTargetExt->text(), ConversionSettings.TargetExt}),
               QStringList({shown, shown}));
    }
  }

  // A folder dropped on an empty folder field is taken as a pick of it; any other drop is not.
  void dropOnAFolderField_data() {
    QTest::addColumn<bool>("source");
    QTest::addColumn<QList<QUrl>>("urls");  // none: text naming the folder
    QTest::addColumn<bool>("taken");
    const QUrl folder = QUrl::fromLocalFile(QCoreApplication::applicationDirPath());
    for (bool source : {true, false}) {
      const auto row = [&](const char* name, const QList<QUrl>& urls, bool taken = false) {
        QTest::addRow("%s: %s", source ? "source" : "target", name) << source << urls << taken;
      };
      row("a folder is taken", {folder}, true);
      row("a file is ignored", {QUrl::fromLocalFile(QCoreApplication::applicationFilePath())});
      row("two folders are ignored", {folder, QUrl::fromLocalFile(QDir::tempPath())});
      row("text is ignored", {});
      row("a remote folder is ignored", {QUrl(QStringLiteral("sftp://example.org/ECU"))});
    }
  }
  void dropOnAFolderField() {
    QFETCH(bool, source);
    QFETCH(QList<QUrl>, urls);
    QFETCH(bool, taken);
    RunFixture f;
    f.setFolders(source ? QString() : f.source(), source ? f.target() : QString());
    QMimeData data;
    if (urls.isEmpty()) data.setText(QCoreApplication::applicationDirPath());
    data.setUrls(urls);
    // Offered as a move too, which would have a file manager delete the folder.
    const Qt::DropActions offered = Qt::CopyAction | Qt::MoveAction;
    QDragEnterEvent enter({}, offered, &data, Qt::LeftButton, Qt::NoModifier);
    QDropEvent drop({}, offered, &data, Qt::LeftButton, Qt::NoModifier);
    FolderBox* box = source ? f.main()->txtSource : f.main()->txtTarget;
    QApplication::sendEvent(box, &enter);
    QApplication::sendEvent(box, &drop);
    const QString picked = QDir::toNativeSeparators(QCoreApplication::applicationDirPath());
    const QString shown = taken ? picked + QDir::separator() : QString();
    QCOMPARE(enter.isAccepted() && enter.dropAction() == Qt::CopyAction, taken);
    QCOMPARE(QStringList(
                 {box->Folder(), source ? ConversionSettings.Source : ConversionSettings.Target}),
             QStringList({shown, shown}));
  }

  // An options window left open keeps the program running after the main window closed.
  void exitEndsTheProgramOnlyWithTheLastWindow() {
    RunFixture f;
    QSignalSpy ended(qApp, &QGuiApplication::lastWindowClosed);
    QTimer::singleShot(0, this, [&] {
      f.main()->Show();
      Forms::frmOptions->Show();
      f.main()->cmdExit_Click();
      QTimer::singleShot(50, this, [&] {
        QVERIFY(ended.isEmpty());  // the options window still open
        Forms::frmOptions->Unload();
      });
    });
    QTimer::singleShot(5000, qApp, &QCoreApplication::quit);  // in case it never ends
    QApplication::exec();
    QVERIFY(!ended.isEmpty() && !Forms::frm_Main.loaded());
  }

  // "&Reorder" that finds no file of the extension, or more than one run takes, says why and
  // opens no window.
  void reorderRefused() {
    RunFixture f;
    f.putSource(QStringLiteral("x.HEX"), FourBankImage());
    bool progressShown = false;
    f.messages.onShow = [&](auto&) { progressShown |= Forms::frmProcess.loaded() != nullptr; };
    f.reorder();
    const bool tooMany = !UnderWine();  // 32768 files in one folder take many minutes under Wine
    for (int i = 0; tooMany && i <= 32767; ++i)
      QVERIFY(QFile(f.source() + QStringLiteral("%1.BIN").arg(i)).open(QIODevice::WriteOnly));
    f.reorder();
    QCOMPARE(f.messages.titles(),
             QStringList({"No Files Found", tooMany ? "Too Many Files" : "No Files Found"}));
    QVERIFY(!progressShown && !Processing);
  }

  // The count text shows whole at the most files a run takes, at a large desktop font.
  void progressTextShowsWhole() {
    RunFixture f;
    QFont font = QApplication::font();
    const auto restoreFont = qScopeGuard([font] { QApplication::setFont(font); });
    font.setPointSizeF(font.pointSizeF() * 1.5);
    QApplication::setFont(font);
    frmProcess* process = Forms::frmProcess.get();
    process->Show();
    Processing = false;  // no run: the window may close without asking
    process->ShowProgress(0, 32767, f.source() + "a.BIN");
    const QLabel* info = process->lblInfo;
    QCOMPARE(info->size().expandedTo(info->sizeHint()), info->size());
    QVERIFY(process->rect().contains(info->geometry()));
  }

  void realMessageBoxShowsTheTextAndReturnsTheAnswer() {
    RunFixture f;
    f.putSource(QStringLiteral("a.BIN"), FourBankImage());
    f.putTarget(QStringLiteral("a.BIN"), "old");
    ConversionSettings.Overwrite = AskToOverwrite;
    Toolkit::SetMessageHandler({});  // the real boxes from here on
    RealBoxAnswer prompt, summary;
    prompt.pressWhenShown(QStringLiteral("Confirm Overwrite?"), QMessageBox::Cancel);
    summary.pressWhenShown(QStringLiteral("Operation Complete"), QMessageBox::Ok);
    f.reorder();
    QCOMPARE(prompt.text, QStringLiteral("Do you want to overwrite the file\na.BIN?"));
    QCOMPARE(ImageBuilder::ReadFile(f.target() + QStringLiteral("a.BIN")), QByteArray("old"));
    QVERIFY(!summary.text.isEmpty() && !Processing);
  }

  void opensAndHandsBack_data() { addRows(rows); }
  void opensAndHandsBack() {
    QFETCH(int, row);
    const Row& r = rows[row];
    const QString action = QString::fromLatin1(r.action), unused = unusedDriveLetter();
    if (r.start == UnusedDriveLetter && unused.isEmpty()) QSKIP("drives are no letters here");
    MessageRecorder messages;
    const QString start = r.start == Empty               ? QString()
                          : r.start == Deleted           ? in("gone") + QDir::separator()
                          : r.start == UnusedDriveLetter ? unused + QStringLiteral("\\ECU\\")
                                                         : in() + QDir::separator();
    UnreachableVolumes volumes;
    volumes.declare(in("offline"));
    if (r.start == UnreachableVolume) volumes.declare(in());
    const QString offline = Drives::DriveOf(in("offline"));
    PickerFolder = start;
    frmFileBox* box = Forms::frmFileBox.get();
    const QString opened = r.start == Existing ? in() : fallback();
    QCOMPARE(box->Dir1->Path(), opened);
    QCOMPARE(box->Drive1->Drive(), Drives::DriveOf(opened));
    QVERIFY(box->Drive1->findData(Drives::DriveOf(Drives::Fallback())) >= 0);  // c: on Windows

    box->show();
    QVERIFY(QTest::qWaitForWindowExposed(box));
    QWidget* list = box->Dir1->viewport();
    const auto bins = box->Dir1->findItems(QStringLiteral("BINS"), Qt::MatchExactly).value(0);
    const QPoint at = box->Dir1->visualItemRect(bins).center();
    if (action.startsWith("click")) QTest::mouseClick(list, Qt::LeftButton, {}, at);
    if (action.contains("double-click")) QTest::mouseDClick(list, Qt::LeftButton, {}, at);
    if (action.contains("Enter")) QTest::keyClick(box->Dir1, Qt::Key_Return);
    if (action.endsWith("Ok")) QTest::mouseClick(box->cmdDone, Qt::LeftButton);
    if (action == "Cancel") QTest::mouseClick(box->cmdCancel, Qt::LeftButton);
    if (action == "close") box->close();
    if (action == "Esc in Drive1") QTest::keyClick(box->Drive1, Qt::Key_Escape);
    if (action == "offline drive") box->Drive1->setCurrentIndex(box->Drive1->findData(offline));

    QCOMPARE(Forms::frmFileBox.loaded() == nullptr, r.closed);
    if (!r.closed) QCOMPARE(box->Dir1->Path(), opened);
    QCOMPARE(PickerFolder, r.picked ? in(r.picked) : r.start == Existing ? start : fallback());
    QStringList said, expected;
    for (const auto& m : messages.shown)
      said << QString::number(int(m.icon)) + ' ' + m.title + ": " + m.prompt;
    if (r.start == UnreachableVolume || r.start == UnusedDriveLetter)
      expected << "3 Drive unavailable: Current drive is unavailable." + LineBreak +
                      "Selecting default of " + fallback();
    if (action == "offline drive")
      expected << "2 Drive Not Ready: Drive " + Drives::Capitalised(offline) + LineBreak +
                      "Not ready...";
    QCOMPARE(said, expected);
  }

  // A folder field opens the picker from the keyboard, as a combo box opens; Ok lands the pick in
  // the field and the settings with its separator, a cancelled pick leaves the folder as it was.
  void keysOnAFolderField_data() { addRows(keyRows); }
  void keysOnAFolderField() {
    QFETCH(int, row);
    const KeyRow& r = keyRows[row];
    RunFixture f;
    frm_Main* main = f.main();
    QVERIFY(openWindow(main, "frm_Main"));
    for (FolderBox* field : {main->txtSource, main->txtTarget}) {
      const bool source = field == main->txtSource;
      const QString kept = r.opens && source ? in("BINS") + QDir::separator() : field->Folder();
      QString opened;
      QTimer::singleShot(0, main, [&] {
        if (frmFileBox* picker = Forms::frmFileBox.loaded()) {
          opened = picker->windowTitle();
          picker->Dir1->setPath(in("BINS"));
          source ? picker->cmdDone_Click() : picker->cmdCancel->click();
        }
      });
      field->setFocus();
      QTest::keyClick(field, r.key, r.modifiers);
      QCoreApplication::processEvents();
      QCOMPARE(opened, !r.opens ? "" : source ? "Select Source Folder" : "Select Target Folder");
      QCOMPARE(QStringList({field->Folder(),
                            source ? ConversionSettings.Source : ConversionSettings.Target}),
               QStringList({kept, kept}));
    }
  }

  // A folder whose name holds control characters shows escaped in its field and in the picker,
  // and is kept, stored and opened whole.
  void aFolderNameShowsEscaped() {
    RunFixture f;
    const QString folder = f.root() + "/new\nline\x1b[31m/";
    f.setFolders(folder, f.target());
    frm_Main* main = f.main();
    QCOMPARE(main->txtSource->text(), Lib_Convert::ShownText(folder));
    QVERIFY(main->txtSource->text().contains("new\\nline\\e[31m"));
    QCOMPARE(main->txtSource->Folder(), folder);
    QVERIFY(main->cmdStrip->isEnabled());
    main->Unload();
    QCOMPARE(f.store().storedText("Folders", "Source"), folder);
#ifdef Q_OS_UNIX  // only Unix names hold control characters
    QVERIFY(QDir().mkpath(folder));
    PickerFolder = f.root();
    frmFileBox* picker = Forms::frmFileBox.get();
    const auto shown = picker->Dir1->findItems("new\\nline\\e[31m", Qt::MatchExactly);
    QCOMPARE(shown.size(), 1);
    picker->Dir1->setCurrentItem(shown.first());
    QTest::keyClick(picker->Dir1, Qt::Key_Return);
    picker->cmdDone_Click();
    QCOMPARE(PickerFolder + u'/', folder);
#endif
  }

  // Escape closes the preset window as its close box does, discarding what was changed, and
  // closes Images and Read As, wherever the focus is; in Options it presses no button.
  void escapeCloses_data() {
    addRows(escapeRows);
  }
  void escapeCloses() {
    QFETCH(int, row);
    const EscapeRow& r = escapeRows[row];
    RunFixture f;
    frm_Main* main = f.main();
    const QString window = r.window;
    Form* opened = openWindow(main, window == "frmFormat" ? "frmOptions" : window);
    QVERIFY(opened);
    if (window == "frmOptions") Forms::frmOptions->optOverwrite[AskToOverwrite]->click();
    bool presetsClosed = false;
    const auto press = [&](QWidget* in) {
      QWidget* focus = in->findChild<QWidget*>(r.focus);
      QVERIFY(focus);
      focus->setFocus();
      QTest::keyClick(focus, Qt::Key_Escape);
    };
    if (window == "frmFormat") {
      QTimer::singleShot(0, main, [&] {
        frmFormat* presets = Forms::frmFormat.loaded();
        if (!presets) return;
        QVERIFY(QTest::qWaitForWindowActive(presets));
        press(presets);
        presetsClosed = !Forms::frmFormat.loaded();
        if (!presetsClosed) presets->Unload();  // fail, not hang
      });
      Forms::frmOptions->txtOutputOrder_DblClick();
      QVERIFY(presetsClosed);
      QCOMPARE(Forms::frmOptions->txtOutputOrder->text(), ConversionSettings.OutOrder);
      QVERIFY(Forms::frmOptions.loaded());
      return;
    }
    QPointer<Form> guard(opened);
    press(opened);
    QCOMPARE(!guard || guard->IsUnloaded(), r.closes);
    QCOMPARE(ConversionSettings.Overwrite, NeverOverwrite);
    if (guard) guard->Unload();
  }

  // Tab and Shift+Tab go through each window's controls in the order they are read, and every
  // control the accessibility tree tells can take the focus from Tab is one Tab reaches (the
  // other options of a group take it from the arrow keys).
  void tabFollowsReadingOrderAndReachesEveryControl_data() {
    addRows(tabRows);
  }
  void tabFollowsReadingOrderAndReachesEveryControl() {
    QFETCH(int, row);
    const TabRow& r = tabRows[row];
    RunFixture f;
    ConversionSettings.PadSize = Padding64K;
    PickerFolder = in();
    Form* window = openWindow(f.main(), r.window);
    QVERIFY(window);
    const QStringList stops = QString(r.stops).split(u' ');
    QWidget* first = control(window, stops.first());
    QVERIFY(first);
    first->setFocus(Qt::TabFocusReason);
    const auto walk = [&](Qt::Key key) {
      QStringList names;
      for (QWidget* at = first; names.size() < 20;) {
        names << stopName(at);
        QTest::keyClick(at, key);
        at = QApplication::focusWidget();
        if (!at || at == first) break;
      }
      return names;
    };
    QCOMPARE(walk(Qt::Key_Tab).join(u' '), stops.join(u' '));
    QStringList back = stops.mid(1);
    std::reverse(back.begin(), back.end());
    QCOMPARE(walk(Qt::Key_Backtab), QStringList{stops.first()} + back);

    QAccessibleInterface* tree = QAccessible::queryAccessibleInterface(window);
    QVERIFY(tree);
    QStringList inTree = focusableControls(tree), sortedStops = stops;
    inTree.sort();
    sortedStops.sort();
    QCOMPARE(inTree, sortedStops);
  }

 private:
  // The temporary folder, or a folder in it, in the system's own notation.
  QString in(const char* name = "") const {
    return QDir::toNativeSeparators(QDir(dir.path()).filePath(QString::fromLatin1(name)));
  }
  // Where the picker goes when it cannot open its start folder.
  QString fallback() const {
    return Windows ? QStringLiteral("C:\\") : QDir::toNativeSeparators(home.path());
  }
  QTemporaryDir dir;
  QTemporaryDir home;  // beside dir, which some rows make unreachable
};

QTEST_MAIN(MainWindowTest)
#include "test_main_window.moc"
