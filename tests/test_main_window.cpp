// The main window: start-up, the enabling rule, extensions, drops, the refusals before a run,
// the lock during a run, the progress text and the real message boxes.
#include <QtTest>
#include <QtWidgets>

#include "settings/modGlobals.h"
#include "tests/support/RunFixture.h"
#include "tools/ImageBuilder.h"
#include "ui/Controls.h"
#include "ui/frmOptions.h"
#include "ui/frmProcess.h"
#include "ui/frm_Main.h"

namespace {

// Presses a button of the real message box with this title once it is up; keeps what it showed.
struct RealBoxAnswer {
  QString text;
  QMessageBox::StandardButton defaultButton = QMessageBox::NoButton;

  void pressWhenShown(const QString& title, QMessageBox::StandardButton press) {
    auto* box = qobject_cast<QMessageBox*>(QApplication::activeModalWidget());
    if (!box || box->windowTitle() != title)
      return QTimer::singleShot(10, [this, title, press] { pressWhenShown(title, press); });
    text = box->text();
    if (box->defaultButton()) defaultButton = box->standardButton(box->defaultButton());
    box->button(press)->click();
  }
};

}  // namespace

class MainWindowTest : public QObject {
  Q_OBJECT

 private Q_SLOTS:
  void cleanup() { flushClosedWindows(); }

  // With nothing stored; "&Reorder" then takes both folders named, even missing ones, and
  // emptying one takes it away again.
  void startUpAndTheEnablingRule() {
    TemporarySettingsStore store;
    ResetGlobals();
    frm_Main* main = Forms::frm_Main.get();
    QCOMPARE(QStringList({main->windowTitle(), main->txtSource->text(), main->txtTarget->text(),
                          main->txtSourceExt->text(), main->txtTargetExt->text()}),
             QStringList({"Quillet - v1.02.0000", "", "", ".BIN", ".BIN"}));
    QVERIFY(main->txtSource->isReadOnly() && main->txtTarget->isReadOnly());
    const char* rows[][2] = {{"", ""}, {"/no/such/", "/b/"}, {"", "/b/"}, {"/a/", ""}, {"", ""}};
    for (const auto& [source, target] : rows) {
      main->txtSource->setText(source);
      main->txtTarget->setText(target);
      QVERIFY2(main->cmdStrip->isEnabled() == (*source && *target), source);
    }
    main->Unload();
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
    QCOMPARE(
        QStringList({box->text(), source ? ConversionSettings.Source : ConversionSettings.Target}),
        QStringList({shown, shown}));
    QCOMPARE(f.main()->cmdStrip->isEnabled(), taken);
  }

  // An options window left open keeps the program running after the main window closed.
  void exitEndsTheProgramOnlyWithTheLastWindow() {
    RunFixture f;
    bool ended = false, endedWithMainWindow = false;
    auto connection = connect(qApp, &QGuiApplication::lastWindowClosed, [&] { ended = true; });
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
    QVERIFY(!endedWithMainWindow && ended && !Forms::frm_Main.loaded());
  }

  // "&Reorder" that finds nothing to run on says why and opens no window.
  void reorderRefused_data() {
    QTest::addColumn<bool>("tooMany");
    QTest::newRow("no matching file") << false;
    QTest::newRow("more files than one run takes") << true;
  }
  void reorderRefused() {
    QFETCH(bool, tooMany);
    if (tooMany && UnderWine()) QSKIP("32768 files in one folder take many minutes under Wine");
    RunFixture f;
    f.putSource(QStringLiteral("x.HEX"), FourBankImage());
    for (int i = 0; tooMany && i <= 32767; ++i)
      QVERIFY(QFile(f.source() + QStringLiteral("%1.BIN").arg(i)).open(QIODevice::WriteOnly));
    bool progressShown = false;
    f.messages.onShow = [&](auto&) { progressShown = Forms::frmProcess.loaded() != nullptr; };
    f.reorder();
    QCOMPARE(f.messages.titles(), QStringList{tooMany ? "Too Many Files" : "No Files Found"});
    if (!tooMany) {
      QCOMPARE(f.messages.shown[0].prompt, "No '*.BIN' files found in source folder.");
      QCOMPARE(f.messages.shown[0].icon, Toolkit::Icon::Information);
    }
    QVERIFY(!progressShown && !Processing);
  }

  // While a run is under way nothing may start another, open a window or close the main window.
  void mainWindowLockedDuringARun() {
    RunFixture f;
    f.putSource(QStringLiteral("a.BIN"), FourBankImage());
    f.putSource(QStringLiteral("b.BIN"), FourBankImage());
    frm_Main* main = f.main();
    main->Show();
    bool checked = false;
    f.messages.onShow = [&](const Toolkit::Message& message) {
      if (message.title != "Operation Complete" || checked) return;
      checked = true;
      QVERIFY(!main->cmdStrip->isEnabled() && !main->cmdOptions->isEnabled() &&
              !main->cmdExit->isEnabled() && !main->txtTargetExt->isEnabled() && !main->close());
      main->cmdStrip_Click();  // a second run would show a second summary
    };
    f.reorder();
    QVERIFY(checked);
    QCOMPARE(f.messages.titles(), QStringList{"Operation Complete"});
    QVERIFY(Forms::frm_Main.loaded() && main->cmdStrip->isEnabled() && main->cmdExit->isEnabled());
  }

  // The count text shows whole at the most files a run takes, at any desktop font size; a short
  // one leaves the window as it was drawn.
  void progressTextShowsWhole_data() {
    QTest::addColumn<int>("files");
    QTest::addColumn<double>("fontScale");
    QTest::newRow("32767 files at a large desktop font") << 32767 << 1.5;
    QTest::newRow("one file at the default font") << 1 << 1.0;
  }
  void progressTextShowsWhole() {
    QFETCH(int, files);
    QFETCH(double, fontScale);
    RunFixture f;
    const auto restoreFont =
        qScopeGuard([font = QApplication::font()] { QApplication::setFont(font); });
    QFont font = QApplication::font();
    font.setPointSizeF(font.pointSizeF() * fontScale);
    QApplication::setFont(font);
    Forms::frmProcess->Show();
    Processing = false;  // no run: the window may close without asking
    auto* process = f.main()->findChild<QWidget*>("frmProcess");
    auto* info = process->findChild<QLabel*>("lblInfo");
    const QSize drawn = process->size();
    const int labelWidth = info->width();
    Forms::frmProcess->ShowProgress(0, files, f.source() + "a.BIN");
    QCOMPARE(info->size().expandedTo(info->sizeHint()), info->size());
    QVERIFY(process->rect().contains(info->geometry()));
    // Widened by what the text needs beyond the label as drawn (which depends on the font), if any.
    QCOMPARE(process->width(), drawn.width() + qMax(0, info->sizeHint().width() - labelWidth));
    QCOMPARE(process->height(), drawn.height());
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
    QCOMPARE(prompt.defaultButton, QMessageBox::Yes);
    QVERIFY(!summary.text.isEmpty());
    QCOMPARE(ImageBuilder::ReadFile(f.target() + QStringLiteral("a.BIN")), QByteArray("old"));
    QVERIFY(!Processing);
  }
};

QTEST_MAIN(MainWindowTest)
#include "test_main_window.moc"
