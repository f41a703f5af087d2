// The folder picker: where it opens, its fallbacks and drive messages, what
// each way of closing it hands back, and a pick made from the main window.
#include <QPushButton>
#include <QTimer>
#include <QtTest>

#include "settings/modGlobals.h"
#include "tests/support/RunFixture.h"
#include "ui/Controls.h"
#include "ui/Drives.h"
#include "ui/frmFileBox.h"
#include "ui/frm_Main.h"

using Toolkit::CRLF;

namespace {

// Loads a fresh picker the way the main window does before showing it.
frmFileBox* loadPicker(const QString& start) {
  PickerFolder = start;
  PickerCaption = QStringLiteral("Source ");
  return Forms::frmFileBox.get();
}

// Each message shown, as "icon title: prompt".
QStringList said(const MessageRecorder& messages) {
  QStringList lines;
  for (const auto& m : messages.shown) {
    lines.append(QStringLiteral("%1 %2: %3").arg(int(m.icon)).arg(m.title, m.prompt));
  }
  return lines;
}

void click(DirListBox* list, const QString& text, bool twice) {
  const auto found = list->findItems(text, Qt::MatchExactly);
  QVERIFY(!found.isEmpty());
  QListWidgetItem* item = found.first();
  // A double-click is a click and then the double-click of the same button.
  const QPoint at = list->visualItemRect(item).center();
  QTest::mouseClick(list->viewport(), Qt::LeftButton, {}, at);
  if (twice) QTest::mouseDClick(list->viewport(), Qt::LeftButton, {}, at);
}

// A folder with the subfolders "BINS" (holding "old"), "archive" and a
// hidden one, and a file; undoes simulated volumes and a changed working
// folder afterwards.
struct Folders {
  Folders() {
    for (const char* sub : {"BINS/old", "archive", ".cache"}) {
      QDir(dir.path()).mkpath(QString::fromLatin1(sub));
    }
    QFile(path(QStringLiteral("image.bin"))).open(QIODevice::WriteOnly);
  }
  ~Folders() {
    QDir::setCurrent(working);
    Drives::ClearSimulated();
  }
  QString path(const QString& name = QString()) const {
    return QDir::toNativeSeparators(name.isEmpty() ? dir.path() : dir.path() + u'/' + name);
  }
  QTemporaryDir dir;
  QString working = QDir::currentPath();
};

enum class Start { Existing, Deleted, Empty, UnreachableVolume };

}  // namespace

Q_DECLARE_METATYPE(Start)

class FolderPickerTest : public QObject {
  Q_OBJECT

 private Q_SLOTS:
  void init() { ResetGlobals(); }
  void cleanup() {
    if (frmFileBox* box = Forms::frmFileBox.loaded()) box->Unload();
    flushClosedWindows();
    ResetGlobals();
  }

  void setPathReportsWhyAFolderCannotBeOpened_data() {
    QTest::addColumn<QString>("name");
    QTest::addColumn<int>("error");
    QTest::addColumn<QString>("opened");
    QTest::newRow("folder with separator at the end") << "BINS/" << 0 << "BINS";
    QTest::newRow("dot parts are cleaned away") << "BINS/old/.." << 0 << "BINS";
    QTest::newRow("relative to the working folder") << "@archive" << 0 << "archive";
    QTest::newRow("name that extends an unreachable root") << "offlinecopy" << 0 << "offlinecopy";
    QTest::newRow("missing folder") << "nothing" << 76 << "";
    QTest::newRow("file, not a folder") << "image.bin" << 76 << "";
    QTest::newRow("empty text") << "" << 76 << "";
    QTest::newRow("missing folder on an unreachable volume") << "offline/x" << 68 << "";
  }
  void setPathReportsWhyAFolderCannotBeOpened() {
    QFETCH(QString, name);
    QFETCH(int, error);
    QFETCH(QString, opened);
    Folders f;
    QDir(f.dir.path()).mkpath(QStringLiteral("offlinecopy"));
    Drives::SimulateUnreachable(f.path(QStringLiteral("offline")));
    QDir::setCurrent(f.dir.path());
    DirListBox list;
    QCOMPARE(list.setPath(f.path()), 0);
    const QString text = name.isEmpty()         ? QString()
                         : name.startsWith('@') ? name.mid(1)
                                                : f.path(name);
    QCOMPARE(list.setPath(text), error);
    // A failure leaves the list on the folder it had open.
    QCOMPARE(list.Path(), opened.isEmpty() ? f.path() : f.path(opened));
  }

  void listShowsAncestorsThenVisibleSubfolders() {
    Folders f;
    DirListBox list;
    QCOMPARE(list.setPath(f.path()), 0);
    QStringList expected = QDir::fromNativeSeparators(f.path()).split(u'/', Qt::SkipEmptyParts);
    expected.prepend(f.dir.path().startsWith(u'/') ? QStringLiteral("/")
                                                   : expected.takeFirst() + QDir::separator());
    const qsizetype open = expected.size() - 1;
    expected << QStringLiteral("archive") << QStringLiteral("BINS");
    for (int i = 0; i < list.count(); ++i) {
      QCOMPARE(list.item(i)->text(), expected.value(i));
      QCOMPARE(list.item(i)->data(DirListBox::LevelRole).toInt(), std::min<qsizetype>(i, open + 1));
      QCOMPARE(list.item(i)->data(DirListBox::OpenRole).toBool(), i <= open);
    }
    QCOMPARE(list.count(), expected.size());
    QCOMPARE(list.currentRow(), open);
    QCOMPARE(list.item(list.count() - 1)->data(DirListBox::FolderRole).toString(),
             f.path(QStringLiteral("BINS")));
  }

  void loadOpensTheStartFolderOrFallsBack_data() {
    QTest::addColumn<Start>("start");
    QTest::newRow("existing folder opens itself") << Start::Existing;
    QTest::newRow("deleted folder falls back silently") << Start::Deleted;
    QTest::newRow("empty field falls back silently") << Start::Empty;
    QTest::newRow("unreachable volume warns, then falls back") << Start::UnreachableVolume;
  }
  void loadOpensTheStartFolderOrFallsBack() {
    QFETCH(Start, start);
    Folders f;
    MessageRecorder messages;
    QString text = f.path(QStringLiteral("BINS")) + QDir::separator();
    if (start == Start::Deleted) QVERIFY(QDir(f.path(QStringLiteral("BINS"))).removeRecursively());
    if (start == Start::Empty) text.clear();
    if (start == Start::UnreachableVolume) Drives::SimulateUnreachable(f.path());

    frmFileBox* box = loadPicker(text);
    const QString opened =
        start == Start::Existing ? f.path(QStringLiteral("BINS")) : Drives::Fallback;
    QCOMPARE(box->Dir1->Path(), opened);
    QCOMPARE(box->Drive1->Drive(), Drives::DriveOf(opened));
    const QString warning = "3 Drive unavailable: Current drive is unavailable." + CRLF +
                            "Selecting default of " + Drives::Fallback;
    QCOMPARE(said(messages),
             start == Start::UnreachableVolume ? QStringList{warning} : QStringList());
    // The fallback replaced the start folder, so Cancel hands it back.
    box->cmdCancel_Click();
    QCOMPARE(PickerFolder, start == Start::Existing ? text : Drives::Fallback);
  }

  void fallbackThatFailsTooIsTriedOnlyOnce() {
    Folders f;
    MessageRecorder messages;
    Drives::SimulateUnreachable(Drives::Fallback);
    frmFileBox* box = loadPicker(f.path());
    QCOMPARE(messages.titles(), QStringList{QStringLiteral("Drive unavailable")});
    QCOMPARE(PickerFolder, Drives::Fallback);
    QVERIFY(box->Dir1->Path() != f.path());
  }

  void unreachableDriveWarnsAndKeepsTheOpenFolder() {
    Folders f;
    MessageRecorder messages;
    Drives::SimulateUnreachable(f.path(QStringLiteral("offline")));
    const QString offline = Drives::DriveOf(f.path(QStringLiteral("offline")));
    frmFileBox* box = loadPicker(f.path(QStringLiteral("BINS")));
    box->Drive1->setCurrentIndex(box->Drive1->findData(offline));

    const QStringList warning{"2 Drive Not Ready: Drive " + Drives::Capitalised(offline) + CRLF +
                              "Not ready..."};
    QCOMPARE(said(messages), warning);
    QCOMPARE(box->Drive1->Drive(), offline);
    QCOMPARE(box->Dir1->Path(), f.path(QStringLiteral("BINS")));

    // Coming back to a drive opens its current folder: the working folder
    // when it lies on that drive.
    QDir::setCurrent(f.path(QStringLiteral("archive")));
    box->Drive1->setCurrentIndex(box->Drive1->findData(Drives::DriveOf(f.path())));
    QCOMPARE(box->Dir1->Path(), f.path(QStringLiteral("archive")));
    QCOMPARE(said(messages), warning);
  }

  void closingHandsBackOnlyWhatOkChose_data() {
    QTest::addColumn<QString>("action");
    QTest::addColumn<bool>("closed");
    QTest::addColumn<QString>("handedBack");
    QTest::newRow("Ok after double-clicking a subfolder") << "double-click, Ok" << true << "BINS";
    QTest::newRow("Ok after highlighting a subfolder") << "click, Ok" << true << "";
    QTest::newRow("Enter opens the highlighted folder") << "click, Enter, Ok" << true << "BINS";
    QTest::newRow("Cancel") << "Cancel" << true << "start";
    QTest::newRow("title-bar close") << "close" << true << "start";
    QTest::newRow("Esc in the drive list cancels") << "Esc in Drive1" << true << "start";
    QTest::newRow("Esc in the directory list does nothing") << "Esc in Dir1" << false << "start";
  }
  void closingHandsBackOnlyWhatOkChose() {
    QFETCH(QString, action);
    QFETCH(bool, closed);
    QFETCH(QString, handedBack);
    Folders f;
    MessageRecorder messages;
    const QString start = f.path() + QDir::separator();
    frmFileBox* box = loadPicker(start);
    box->show();
    QVERIFY(QTest::qWaitForWindowExposed(box));

    if (action.contains(QStringLiteral("click"))) {
      click(box->Dir1, QStringLiteral("BINS"), action.startsWith(QStringLiteral("double")));
    }
    if (action.contains(QStringLiteral("Enter"))) QTest::keyClick(box->Dir1, Qt::Key_Return);
    if (action.endsWith(QStringLiteral("Ok"))) QTest::mouseClick(box->cmdDone, Qt::LeftButton);
    if (action == QStringLiteral("Cancel")) QTest::mouseClick(box->cmdCancel, Qt::LeftButton);
    if (action == QStringLiteral("close")) box->close();
    if (action == QStringLiteral("Esc in Drive1")) QTest::keyClick(box->Drive1, Qt::Key_Escape);
    if (action == QStringLiteral("Esc in Dir1")) QTest::keyClick(box->Dir1, Qt::Key_Escape);

    QCOMPARE(Forms::frmFileBox.loaded() == nullptr, closed);
    QCOMPARE(PickerFolder, handedBack == QStringLiteral("start") ? start : f.path(handedBack));
    QVERIFY(messages.shown.isEmpty());
  }

  void pickFromTheMainWindowLandsInTheFieldAndSettings_data() {
    QTest::addColumn<bool>("source");
    QTest::addColumn<QString>("title");
    QTest::newRow("source field") << true << "Select Source Folder";
    QTest::newRow("target field") << false << "Select Target Folder";
  }
  void pickFromTheMainWindowLandsInTheFieldAndSettings() {
    QFETCH(bool, source);
    QFETCH(QString, title);
    RunFixture f;
    const QString bins = QDir::toNativeSeparators((source ? f.source() : f.target()) + "BINS");
    QVERIFY(QDir().mkpath(bins));
    QString shownTitle;
    QTimer::singleShot(0, [&] {
      frmFileBox* box = Forms::frmFileBox.loaded();
      if (!box) return;
      shownTitle = box->windowTitle();
      if (QTest::qWaitForWindowExposed(box)) click(box->Dir1, QStringLiteral("BINS"), true);
      box->cmdDone_Click();
    });
    source ? f.main()->txtSource_DblClick() : f.main()->txtTarget_DblClick();

    QCOMPARE(shownTitle, title);
    QCOMPARE((source ? f.main()->txtSource : f.main()->txtTarget)->text(),
             bins + QDir::separator());
    QCOMPARE(source ? ConversionSettings.Source : ConversionSettings.Target,
             bins + QDir::separator());
  }
};

QTEST_MAIN(FolderPickerTest)
#include "test_folder_picker.moc"
