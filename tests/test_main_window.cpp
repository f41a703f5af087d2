// The main window: start-up, the enabling rule, extensions, the listing that
// starts a run, the lock during a run, and saving on close.
#include <QApplication>
#include <QFile>
#include <QLabel>
#include <QMessageBox>
#include <QMimeData>
#include <QPushButton>
#include <QTimer>
#include <QtTest>
#include <memory>

#include "settings/modGlobals.h"
#include "tests/support/RunFixture.h"
#include "tools/ImageBuilder.h"
#include "ui/Controls.h"
#include "ui/frmFileBox.h"
#include "ui/frmOptions.h"
#include "ui/frmProcess.h"
#include "ui/frm_Main.h"

using namespace ImageBuilder;

namespace {

// Presses a button of the real message box with this title once it is up,
// and reports what the box showed.
struct RealBoxAnswer {
  QString text, title;
  QMessageBox::StandardButton defaultButton = QMessageBox::NoButton;

  void pressWhenShown(const QString& boxTitle, QMessageBox::StandardButton press) {
    auto* box = qobject_cast<QMessageBox*>(QApplication::activeModalWidget());
    if (!box || box->windowTitle() != boxTitle) {
      QTimer::singleShot(10, [this, boxTitle, press] { pressWhenShown(boxTitle, press); });
      return;
    }
    text = box->text();
    title = box->windowTitle();
    if (box->defaultButton()) defaultButton = box->standardButton(box->defaultButton());
    box->button(press)->click();
  }
};

// What a file manager, a browser or an editor drops on a folder field.
enum Dropped { AFolder, AFile, TwoFolders, FolderNameAsText, RemoteFolder };
// clang-format off
struct DropRow { const char* name; Dropped dropped; bool taken; };
const DropRow dropRows[] = {
    {"a folder is taken as a pick", AFolder, true},
    {"a file is ignored", AFile, false},
    {"two folders are ignored", TwoFolders, false},
    {"a folder's name as text is ignored", FolderNameAsText, false},
    {"a remote folder is ignored", RemoteFolder, false},
};
// clang-format on

std::unique_ptr<QMimeData> dropData(Dropped dropped, const QString& folder, const QString& file) {
  auto data = std::make_unique<QMimeData>();
  const QUrl url = QUrl::fromLocalFile(folder);
  switch (dropped) {
    case AFolder: data->setUrls({url}); break;
    case AFile: data->setUrls({QUrl::fromLocalFile(file)}); break;
    case TwoFolders: data->setUrls({url, QUrl::fromLocalFile(QFileInfo(folder).path())}); break;
    case FolderNameAsText: data->setText(folder); break;
    case RemoteFolder: data->setUrls({QUrl(QStringLiteral("sftp://example.org/ECU/"))}); break;
  }
  return data;
}

// Drags data onto a widget and drops it there, as the window system does;
// whether the widget accepted the drag while over it.
bool dragAndDrop(QWidget* widget, QMimeData* data) {
  const QPoint at = widget->rect().center();
  const Qt::DropActions actions = Qt::CopyAction | Qt::MoveAction | Qt::LinkAction;
  QDragEnterEvent enter(at, actions, data, Qt::LeftButton, Qt::NoModifier);
  QApplication::sendEvent(widget, &enter);
  QDropEvent drop(at, actions, data, Qt::LeftButton, Qt::NoModifier);
  QApplication::sendEvent(widget, &drop);
  return enter.isAccepted() && enter.dropAction() != Qt::MoveAction;
}

// Scales the desktop's font for the lifetime of the object.
class DesktopFont {
 public:
  explicit DesktopFont(double scale) : saved_(QApplication::font()) {
    QFont font = saved_;
    font.setPointSizeF(font.pointSizeF() * scale);
    QApplication::setFont(font);
  }
  ~DesktopFont() { QApplication::setFont(saved_); }

 private:
  QFont saved_;
};

}  // namespace

class MainWindowTest : public QObject {
  Q_OBJECT

 private Q_SLOTS:
  void cleanup() { flushClosedWindows(); }

  void startUpWithNothingStored() {
    TemporarySettingsStore store;
    ResetGlobals();
    frm_Main* main = Forms::frm_Main.get();
    QCOMPARE(main->windowTitle(), QStringLiteral("Quillet - v1.01.0000"));
    QCOMPARE(main->txtSource->text() + main->txtTarget->text(), QString());
    QCOMPARE(main->txtSourceExt->text() + main->txtTargetExt->text(), QStringLiteral(".BIN.BIN"));
    QVERIFY(!main->cmdStrip->isEnabled());
    QVERIFY(main->txtSource->isReadOnly() && main->txtTarget->isReadOnly());
    main->Unload();
  }

  // "&Reorder" takes both folders named, even missing ones; emptying one
  // takes it away again.
  void enablingRule() {
    RunFixture f;
    const char* rows[][2] = {{"/no/such/", "/b/"}, {"", "/b/"}, {"/a/", ""}, {"", ""}};
    for (const auto& row : rows) {
      f.setFolders(row[0], row[1]);
      QVERIFY2(f.main()->cmdStrip->isEnabled() == (*row[0] && *row[1]), row[0]);
    }
  }

  // Leaving the target extension box adds a missing dot; empty becomes ".".
  void extensionNormalisedWhenFocusLeaves() {
    RunFixture f;
    frm_Main* main = f.main();
    main->Show();
    QVERIFY(QTest::qWaitForWindowActive(main));
    const char* rows[][2] = {{"bin", ".bin"}, {"", "."}, {".B", ".B"}};
    for (const auto& [typed, shown] : rows) {
      main->txtTargetExt->setFocus();
      main->txtTargetExt->setText(typed);
      main->cmdExit->setFocus();
      QCOMPARE(main->txtTargetExt->text(), shown);
      QCOMPARE(ConversionSettings.TargetExt, shown);
    }
  }

  // A folder dropped on an empty folder field ends as a pick of it in the picker would:
  // the same text, setting and "&Reorder"; anything else leaves the field as it was.
  void droppedOnAFolderField_data() {
    QTest::addColumn<int>("row");
    QTest::addColumn<QString>("field");
    for (const char* field : {"txtSource", "txtTarget"}) {
      for (int i = 0; i < int(std::size(dropRows)); ++i) {
        QTest::newRow(qPrintable(QString::fromLatin1(field) + ": " + dropRows[i].name))
            << i << QString::fromLatin1(field);
      }
    }
  }

  void droppedOnAFolderField() {
    QFETCH(int, row);
    QFETCH(QString, field);
    const DropRow& r = dropRows[row];
    RunFixture f;
    const QString folder = f.root() + QStringLiteral("/ECU");
    QVERIFY(QDir().mkpath(folder));
    f.putSource(QStringLiteral("a.BIN"), FourBankImage());
    auto* box = f.main()->findChild<QLineEdit*>(field);
    auto* reorder = f.main()->findChild<QPushButton*>(QStringLiteral("cmdStrip"));
    QString& setting = field == QStringLiteral("txtSource") ? ConversionSettings.Source
                                                            : ConversionSettings.Target;
    const auto state = [&] {
      return QStringList{box->text(), setting, reorder->isEnabled() ? "enabled" : "disabled"};
    };
    box->setText(QString());
    setting.clear();
    const QStringList before = state();

    QStringList picked = before;
    if (r.taken) {
      QTimer::singleShot(0, [&] {
        auto* picker = f.main()->findChild<frmFileBox*>(QStringLiteral("frmFileBox"));
        picker->findChild<DirListBox*>(QStringLiteral("Dir1"))->setPath(folder);
        picker->findChild<QPushButton*>(QStringLiteral("cmdDone"))->click();
      });
      QTest::mouseDClick(box, Qt::LeftButton);
      picked = state();
      QVERIFY(picked != before);
      box->setText(QString());
      setting.clear();
    }

    const auto data = dropData(r.dropped, folder, f.source() + QStringLiteral("a.BIN"));
    QCOMPARE(dragAndDrop(box, data.get()), r.taken);
    QCOMPARE(state(), picked);
    QVERIFY(box->isReadOnly());
  }

  void closingSavesTheFieldsAsTheyStand() {
    RunFixture f;
    f.main()->txtSourceExt->setText(QStringLiteral("bin"));  // focus never left it
    const QString source = f.source();
    QVERIFY(f.main()->Unload());
    const QString folders = QStringLiteral("Folders");
    QCOMPARE(f.store().storedText(folders, QStringLiteral("SourceExt")), QStringLiteral("bin"));
    QCOMPARE(f.store().storedText(folders, QStringLiteral("Source")), source);
  }

  // The program ends when its last window closes, and not before: an
  // options window left open keeps it running after the main window closed.
  void exitEndsTheProgramOnlyWithTheLastWindow() {
    RunFixture f;
    bool ended = false;
    bool endedWithMainWindow = false;
    auto connection =
        connect(qApp, &QGuiApplication::lastWindowClosed, this, [&] { ended = true; });
    QTimer::singleShot(0, this, [&] {
      f.main()->Show();
      Forms::frmOptions->Show();
      f.main()->cmdExit_Click();
      QTimer::singleShot(50, this, [&] {
        endedWithMainWindow = ended;
        Forms::frmOptions->Unload();
      });
    });
    QTimer::singleShot(5000, qApp, &QCoreApplication::quit);  // in case it never ends
    QApplication::exec();
    disconnect(connection);
    QVERIFY(!endedWithMainWindow);
    QVERIFY(ended);
    QVERIFY(!Forms::frm_Main.loaded());
  }

  // "&Reorder" that finds nothing to run on says why and opens no window.
  void reorderRefused_data() {
    QTest::addColumn<QString>("why");
    QTest::addColumn<QString>("title");
    const char* rows[][3] = {{"no matching file", "none", "No Files Found"},
                             {"source folder missing", "missing", "Folder Error"},
                             {"more files than one run takes", "too many", "Too Many Files"}};
    for (const auto& row : rows) QTest::newRow(row[0]) << QString(row[1]) << QString(row[2]);
  }

  void reorderRefused() {
    QFETCH(QString, why);
    QFETCH(QString, title);
    if (why == QStringLiteral("too many") && UnderWine())
      QSKIP("32768 files in one folder take many minutes to make under Wine");
    RunFixture f;
    f.putSource(QStringLiteral("x.HEX"), FourBankImage());
    const QString missing = f.root() + QStringLiteral("/missing/");
    if (why == QStringLiteral("missing")) f.setFolders(missing, f.target());
    for (int i = 0; why == QStringLiteral("too many") && i <= 32767; ++i) {
      QFile file(f.source() + QStringLiteral("%1.BIN").arg(i));
      QVERIFY(file.open(QIODevice::WriteOnly));
    }
    bool progressShown = false;
    f.messages.onShow = [&](const Toolkit::Message&) {
      progressShown = Forms::frmProcess.loaded() != nullptr;
    };
    f.reorder();
    QCOMPARE(f.messages.titles(), QStringList{title});
    const Toolkit::Message& shown = f.messages.shown[0];
    if (why == QStringLiteral("none")) {
      QCOMPARE(shown.prompt, QStringLiteral("No '*.BIN' files found in source folder."));
      QCOMPARE(shown.icon, Toolkit::Icon::Information);
    }
    if (why == QStringLiteral("missing")) QVERIFY(shown.prompt.contains(missing));
    QVERIFY(!progressShown);
    QVERIFY(!Processing);
  }

  void listingTakesOrdinaryMatchingFilesByName() {
    RunFixture f;
    for (const char* name : {"b.BIN", "a.BIN", "A.bin", "x.txt", ".hidden.BIN"}) {
      f.putSource(QString::fromLatin1(name), FourBankImage());
    }
    QDir(f.source()).mkdir(QStringLiteral("folder.BIN"));
    Hide(f.source() + QStringLiteral(".hidden.BIN"));
    if (CanLink) {
      QVERIFY(QFile::link(f.source() + QStringLiteral("gone"),
                          f.source() + QStringLiteral("dangling.BIN")));
    }
    QStringList listed;
    int counted = 0;
    f.messages.onShow = [&](const Toolkit::Message&) {
      listed = FileList;
      counted = FileCount;
    };
    f.setExtensions(QStringLiteral(".bin"), QStringLiteral(".OUT"));
    f.reorder();
    // Where case does not tell names apart, A.bin was written into a.BIN.
    QStringList expected = {QStringLiteral("a.BIN"), QStringLiteral("b.BIN")};
    if (TellsCaseApart(f.source())) expected.prepend(QStringLiteral("A.bin"));
    QCOMPARE(listed, expected);
    QCOMPARE(counted, expected.size());
  }

  // While a run is under way nothing may start another, open a window or
  // close the main window under it.
  void mainWindowLockedDuringARun() {
    RunFixture f;
    f.putSource(QStringLiteral("a.BIN"), FourBankImage());
    f.putSource(QStringLiteral("b.BIN"), FourBankImage());
    frm_Main* main = f.main();
    main->Show();
    bool checked = false;
    f.messages.onShow = [&](const Toolkit::Message& message) {
      if (message.title != QStringLiteral("Operation Complete") || checked) return;
      checked = true;
      QVERIFY(!main->cmdStrip->isEnabled());
      QVERIFY(!main->cmdOptions->isEnabled());
      QVERIFY(!main->cmdExit->isEnabled());
      QVERIFY(!main->txtTargetExt->isEnabled());
      QVERIFY(!main->close());
      main->cmdStrip_Click();  // a second run would show a second summary
    };
    f.reorder();
    QVERIFY(checked);
    QCOMPARE(f.messages.titles(), QStringList{QStringLiteral("Operation Complete")});
    QVERIFY(Forms::frm_Main.loaded());
    QVERIFY(main->cmdStrip->isEnabled());
    QVERIFY(main->cmdExit->isEnabled());
  }

  // The progress text shows whole at the longest count a run can have, at the desktop's font
  // size whatever it is; a short text leaves the window as it was drawn.
  void progressTextShowsWhole_data() {
    QTest::addColumn<int>("files");
    QTest::addColumn<double>("fontScale");
    QTest::newRow("32767 files at the default font") << 32767 << 1.0;
    QTest::newRow("32767 files at a large desktop font") << 32767 << 1.5;
    QTest::newRow("one file keeps the window's size") << 1 << 1.0;
  }

  void progressTextShowsWhole() {
    QFETCH(int, files);
    QFETCH(double, fontScale);
    RunFixture f;
    DesktopFont desktopFont(fontScale);
    Forms::frmProcess->Show();
    auto* process = f.main()->findChild<QWidget*>(QStringLiteral("frmProcess"));
    auto* info = process->findChild<QLabel*>(QStringLiteral("lblInfo"));
    const QSize drawn = process->size();

    Forms::frmProcess->ShowProgress(0, files, f.source() + QStringLiteral("a.BIN"));
    QCOMPARE(info->text(),
             QStringLiteral("Processing %1 files. %1 files are remaining.").arg(files));
    QVERIFY(info->width() >= info->sizeHint().width());
    QVERIFY(info->height() >= info->sizeHint().height());
    QVERIFY(process->rect().contains(info->geometry()));
    if (files == 1) QCOMPARE(process->size(), drawn);
    Processing = false;
    Forms::frmProcess->Unload();
  }

  void realMessageBoxShowsTheTextAndReturnsTheAnswer() {
    RunFixture f;
    f.putSource(QStringLiteral("a.BIN"), FourBankImage());
    f.putTarget(QStringLiteral("a.BIN"), "old");
    ConversionSettings.Overwrite = AskToOverwrite;
    Toolkit::SetMessageHandler({});  // the real boxes from here on

    RealBoxAnswer prompt;
    RealBoxAnswer summary;
    prompt.pressWhenShown(QStringLiteral("Confirm Overwrite?"), QMessageBox::Cancel);
    summary.pressWhenShown(QStringLiteral("Operation Complete"), QMessageBox::Ok);
    f.reorder();

    QCOMPARE(prompt.title, QStringLiteral("Confirm Overwrite?"));
    QCOMPARE(prompt.text, QStringLiteral("Do you want to overwrite the file\na.BIN?"));
    QCOMPARE(prompt.defaultButton, QMessageBox::Yes);
    QCOMPARE(summary.title, QStringLiteral("Operation Complete"));
    QCOMPARE(ReadFile(f.target() + QStringLiteral("a.BIN")), QByteArray("old"));
    QVERIFY(!Processing);
  }
};

QTEST_MAIN(MainWindowTest)
#include "test_main_window.moc"
