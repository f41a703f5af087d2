// The main window: its caption, the enabling rule, extensions, drops, the refusals before a run,
// the progress text and the real message boxes. Its lock during a run is tested with the Images
// window open.
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

  void pressWhenShown(const QString& title, QMessageBox::StandardButton press) {
    auto* box = qobject_cast<QMessageBox*>(QApplication::activeModalWidget());
    if (!box || box->windowTitle() != title)
      return QTimer::singleShot(10, [this, title, press] { pressWhenShown(title, press); });
    text = box->text();
    box->button(press)->click();
  }
};

}  // namespace

class MainWindowTest : public QObject {
  Q_OBJECT

 private Q_SLOTS:
  void cleanup() { flushClosedWindows(); }

  // "&Reorder" takes both folders named, even missing ones; leaving the target extension box
  // adds a missing dot, and empty becomes ".".
  void captionEnablingRuleAndExtension() {
    RunFixture f;
    frm_Main* main = f.main();
    QCOMPARE(main->windowTitle(), "Quillet - v1.02.0000");
    const char* folders[][2] = {{"", ""}, {"/no/such/", "/b/"}, {"", "/b/"}, {"/a/", ""}};
    for (const auto& [source, target] : folders) {
      main->txtSource->setText(source);
      main->txtTarget->setText(target);
      QVERIFY2(main->cmdStrip->isEnabled() == (*source && *target), source);
    }
    main->Show();
    QVERIFY(QTest::qWaitForWindowActive(main));
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
    QCOMPARE(
        QStringList({box->text(), source ? ConversionSettings.Source : ConversionSettings.Target}),
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
};

QTEST_MAIN(MainWindowTest)
#include "test_main_window.moc"
