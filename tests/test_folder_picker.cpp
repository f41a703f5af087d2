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

QString native(const QString& path) {
  return QDir::toNativeSeparators(path);
}

// Loads a fresh picker the way the main window does before showing it.
frmFileBox* loadPicker(const QString& start, const QString& caption = QStringLiteral("Source ")) {
  PickerFolder = start;
  PickerCaption = caption;
  return Forms::frmFileBox.get();
}

frmFileBox* showPicker(const QString& start) {
  frmFileBox* box = loadPicker(start);
  box->show();
  if (!QTest::qWaitForWindowExposed(box)) return nullptr;
  return box;
}

QListWidgetItem* row(DirListBox* list, const QString& text) {
  const auto found = list->findItems(text, Qt::MatchExactly);
  return found.isEmpty() ? nullptr : found.first();
}

void click(DirListBox* list, QListWidgetItem* item, bool twice) {
  // A double-click is a click and then the double-click of the same button.
  const QPoint at = list->visualItemRect(item).center();
  QTest::mouseClick(list->viewport(), Qt::LeftButton, {}, at);
  if (twice) QTest::mouseDClick(list->viewport(), Qt::LeftButton, {}, at);
}

// Sets up a folder with a subfolder "BINS" and a hidden one, and removes the
// simulated volumes and the working folder change afterwards.
struct Folders {
  Folders() {
    QDir(dir.path()).mkpath(QStringLiteral("BINS/old"));
    QDir(dir.path()).mkpath(QStringLiteral("archive"));
    QDir(dir.path()).mkpath(QStringLiteral(".cache"));
    QFile(path(QStringLiteral("image.bin"))).open(QIODevice::WriteOnly);
  }
  ~Folders() {
    QDir::setCurrent(working);
    Drives::ClearSimulated();
  }
  QString path(const QString& name = QString()) const {
    return native(name.isEmpty() ? dir.path() : dir.path() + u'/' + name);
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

  void captionNamesTheField_data() {
    QTest::addColumn<QString>("caption");
    QTest::addColumn<QString>("title");
    QTest::newRow("source") << "Source "
                            << "Select Source Folder";
    QTest::newRow("target") << "Target "
                            << "Select Target Folder";
  }
  void captionNamesTheField() {
    QFETCH(QString, caption);
    QFETCH(QString, title);
    QCOMPARE(loadPicker(QDir::tempPath(), caption)->windowTitle(), title);
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
    QStringList parts = QDir::fromNativeSeparators(f.path()).split(u'/', Qt::SkipEmptyParts);
    const QString root =
        f.dir.path().startsWith(u'/') ? QStringLiteral("/") : parts.takeFirst() + u'/';
    const QStringList expected = QStringList{native(root)} + parts +
                                 QStringList{QStringLiteral("archive"), QStringLiteral("BINS")};
    QStringList texts;
    for (int i = 0; i < list.count(); ++i) {
      const QListWidgetItem* item = list.item(i);
      texts.append(item->text());
      const bool ancestor = i <= parts.size();
      QCOMPARE(item->data(DirListBox::LevelRole).toInt(), ancestor ? i : int(parts.size()) + 1);
      QCOMPARE(item->data(DirListBox::OpenRole).toBool(), ancestor);
    }
    QCOMPARE(texts, expected);
    QCOMPARE(list.currentItem()->data(DirListBox::FolderRole).toString(), f.path());
    QCOMPARE(row(&list, QStringLiteral("BINS"))->data(DirListBox::FolderRole).toString(),
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
    if (start == Start::UnreachableVolume) {
      QCOMPARE(messages.shown.size(), 1);
      QCOMPARE(messages.shown[0].prompt,
               "Current drive is unavailable." + CRLF + "Selecting default of " + Drives::Fallback);
      QCOMPARE(messages.shown[0].title, QStringLiteral("Drive unavailable"));
      QCOMPARE(messages.shown[0].icon, Toolkit::Icon::Critical);
    } else {
      QVERIFY(messages.shown.isEmpty());
    }
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

    QCOMPARE(messages.shown.size(), 1);
    QCOMPARE(messages.shown[0].prompt,
             "Drive " + Drives::Capitalised(offline) + CRLF + "Not ready...");
    QCOMPARE(messages.shown[0].title, QStringLiteral("Drive Not Ready"));
    QCOMPARE(messages.shown[0].icon, Toolkit::Icon::Exclamation);
    QCOMPARE(box->Drive1->Drive(), offline);
    QCOMPARE(box->Dir1->Path(), f.path(QStringLiteral("BINS")));

    // Coming back to a drive opens its current folder: the working folder
    // when it lies on that drive.
    QDir::setCurrent(f.path(QStringLiteral("archive")));
    box->Drive1->setCurrentIndex(box->Drive1->findData(Drives::DriveOf(f.path())));
    QCOMPARE(box->Dir1->Path(), f.path(QStringLiteral("archive")));
    QCOMPARE(messages.shown.size(), 1);
  }

  void closingHandsBackOnlyWhatOkChose_data() {
    QTest::addColumn<QString>("action");
    QTest::addColumn<QString>("handedBack");
    QTest::addColumn<bool>("closed");
    QTest::newRow("Ok after double-clicking a subfolder") << "double-click BINS, Ok"
                                                          << "BINS" << true;
    QTest::newRow("Ok after highlighting a subfolder") << "click BINS, Ok"
                                                       << "" << true;
    QTest::newRow("Enter opens the highlighted folder") << "click BINS, Enter, Ok"
                                                        << "BINS" << true;
    QTest::newRow("Cancel") << "Cancel"
                            << "start" << true;
    QTest::newRow("title-bar close") << "close"
                                     << "start" << true;
    QTest::newRow("Esc in the drive list cancels") << "Esc in Drive1"
                                                   << "start" << true;
    QTest::newRow("Esc in the directory list does nothing") << "Esc in Dir1"
                                                            << "start" << false;
  }
  void closingHandsBackOnlyWhatOkChose() {
    QFETCH(QString, action);
    QFETCH(QString, handedBack);
    QFETCH(bool, closed);
    Folders f;
    MessageRecorder messages;
    const QString start = f.path() + QDir::separator();
    frmFileBox* box = showPicker(start);
    QVERIFY(box);
    QListWidgetItem* bins = row(box->Dir1, QStringLiteral("BINS"));
    QVERIFY(bins);

    if (action.startsWith(QStringLiteral("double-click"))) click(box->Dir1, bins, true);
    if (action.startsWith(QStringLiteral("click"))) click(box->Dir1, bins, false);
    if (action.contains(QStringLiteral("Enter"))) QTest::keyClick(box->Dir1, Qt::Key_Return);
    if (action.endsWith(QStringLiteral("Ok"))) QTest::mouseClick(box->cmdDone, Qt::LeftButton);
    if (action == QStringLiteral("Cancel")) QTest::mouseClick(box->cmdCancel, Qt::LeftButton);
    if (action == QStringLiteral("close")) box->close();
    if (action == QStringLiteral("Esc in Drive1")) QTest::keyClick(box->Drive1, Qt::Key_Escape);
    if (action == QStringLiteral("Esc in Dir1")) QTest::keyClick(box->Dir1, Qt::Key_Escape);

    QCOMPARE(Forms::frmFileBox.loaded() == nullptr, closed);
    const QString expected = handedBack == QStringLiteral("start") ? start : f.path(handedBack);
    QCOMPARE(PickerFolder, expected);
    QVERIFY(messages.shown.isEmpty());
  }

  void pickFromTheMainWindowLandsInTheFieldAndSettings() {
    RunFixture f;
    const QString bins = native(f.source() + QStringLiteral("BINS"));
    QVERIFY(QDir().mkpath(bins));
    QString title;
    QTimer::singleShot(0, [&] {
      frmFileBox* box = Forms::frmFileBox.loaded();
      if (!box) return;
      title = box->windowTitle();
      if (QTest::qWaitForWindowExposed(box)) {
        if (QListWidgetItem* item = row(box->Dir1, QStringLiteral("BINS"))) {
          click(box->Dir1, item, true);
        }
        QTest::mouseClick(box->cmdDone, Qt::LeftButton);
      }
      if (Forms::frmFileBox.loaded()) box->Unload();
    });
    f.main()->txtSource_DblClick();

    QCOMPARE(title, QStringLiteral("Select Source Folder"));
    QCOMPARE(f.main()->txtSource->text(), bins + QDir::separator());
    QCOMPARE(ConversionSettings.Source, bins + QDir::separator());
    QVERIFY(f.messages.shown.isEmpty());
  }
};

QTEST_MAIN(FolderPickerTest)
#include "test_folder_picker.moc"
