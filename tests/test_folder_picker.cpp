// The folder picker: where it opens, its drive messages, and what each way of closing hands back.
#include <QtTest>
#include <QtWidgets>

#include "settings/modGlobals.h"
#include "tests/support/RunFixture.h"
#include "ui/Controls.h"
#include "ui/Drives.h"
#include "ui/frmFileBox.h"
#include "ui/frm_Main.h"

using Toolkit::CRLF;

namespace {

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
// clang-format on

}  // namespace

class FolderPickerTest : public QObject {
  Q_OBJECT

 private Q_SLOTS:
  void initTestCase() {
    QVERIFY(QDir(dir.path()).mkpath(QStringLiteral("BINS")));
    qputenv("HOME", QFile::encodeName(home.path()));
  }
  void cleanup() {
    if (frmFileBox* box = Forms::frmFileBox.loaded()) box->Unload();
    flushClosedWindows();
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
      expected << "3 Drive unavailable: Current drive is unavailable." + CRLF +
                      "Selecting default of " + fallback();
    if (action == "offline drive")
      expected << "2 Drive Not Ready: Drive " + Drives::Capitalised(offline) + CRLF +
                      "Not ready...";
    QCOMPARE(said, expected);
  }

  void pickFromTheMainWindowLandsWithItsSeparator() {
    RunFixture f;
    const QString bins = in("BINS");
    QTimer::singleShot(0, [&] {
      Forms::frmFileBox->Dir1->setPath(bins);
      Forms::frmFileBox->cmdDone_Click();
    });
    f.main()->txtSource_DblClick();
    QCOMPARE(QStringList({f.main()->txtSource->text(), ConversionSettings.Source}),
             QStringList(2, bins + QDir::separator()));
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

QTEST_MAIN(FolderPickerTest)
#include "test_folder_picker.moc"
