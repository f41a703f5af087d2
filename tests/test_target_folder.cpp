// The target folder as one transaction: held, locked, written through temporary files, placed under
// a policy, flushed the way its file system honours.
#include "batch/TargetFolder.h"
#include "engine/Lib_File.h"
#include "tests/support/DiskRecorder.h"
#include "tests/support/TestSupport.h"
#include "tools/ImageBuilder.h"

#ifdef Q_OS_LINUX
#include <linux/magic.h>
#endif

using namespace Lib_File;
using ImageBuilder::ReadFile;
using NativeFile::Change;
using Result = TargetFolder::Placing::Result;

namespace {

std::unique_ptr<TargetFolder> begin(const QString& path, TargetFolder::Refusal* refusal = nullptr) {
  TargetFolder::Refusal ignored{};
  return TargetFolder::Begin(path, true, refusal ? refusal : &ignored);
}

// Written targets holding "new" for the names, not yet placed.
std::vector<TargetFolder::Placing> written(TargetFolder& folder, const QStringList& names) {
  std::vector<TargetFolder::Placing> group(names.size());
  for (qsizetype i = 0; i < names.size(); ++i)
    if (folder.Write(OutputFile, names[i], nullptr) && WriteBytes(OutputFile, -1, "new"))
      group[i].file = TakeReplacement(OutputFile);
  return group;
}

QStringList temporaryFiles(const QString& path) {
  return QDir(path).entryList({".~quillet-*"}, QDir::Files | QDir::Hidden);
}

// clang-format off
// What comes to stand at a target's name (or happens to the folder) after the file was written and
// before it is placed, and what placing it and the files before and after it must then do.
enum class Meanwhile { Nothing, File, Folder, FolderFlushFails };
struct Placement { const char* name; bool replace; Meanwhile meanwhile; Result result, others; QByteArray atName; };
const Placement placements[] = {
    {"a file another program put at a free name is kept", false, Meanwhile::File, Result::Kept, Result::Placed, "other"},
    {"a file the user let be replaced is replaced", true, Meanwhile::File, Result::Placed, Result::Placed, "new"},
    {"a folder at the name fails the file alone", true, Meanwhile::Folder, Result::Failed, Result::Placed, ""},
    {"a folder that cannot be flushed fails every file placed", false, Meanwhile::FolderFlushFails, Result::Failed, Result::Failed, "new"},
};
// clang-format on

}  // namespace

class TargetFolderTest : public QObject {
  Q_OBJECT

 private Q_SLOTS:
  void placingUnderAPolicy_data() { addRows(placements); }
  void placingUnderAPolicy() {
    QFETCH(int, row);
    const Placement& p = placements[row];
    QTemporaryDir dir;
    DiskRecorder disk;
    auto folder = begin(dir.path());
    QVERIFY(folder);
    auto group = written(*folder, {"before.BIN", "x.BIN", "after.BIN"});
    // A second run is refused while this one holds the folder, and takes none of its files for
    // leftovers.
    TargetFolder::Refusal refusal{};
    QVERIFY(!begin(dir.path(), &refusal));
    QCOMPARE(refusal, TargetFolder::Refusal::Busy);
    QCOMPARE(temporaryFiles(dir.path()).size(), 3);
    group[1].replace = p.replace;
    const QString at = dir.filePath("x.BIN");
    if (p.meanwhile == Meanwhile::File) QVERIFY(ImageBuilder::WriteFile(at, "other"));
    if (p.meanwhile == Meanwhile::Folder) QVERIFY(QDir(dir.path()).mkdir("x.BIN"));
    // Where each move is itself written through, every move's flush fails.
    if (p.meanwhile == Meanwhile::FolderFlushFails)
      disk.Fail(Change::FlushFolder, DiskIoError(), 3);
    folder->Place(group);
    QCOMPARE(QList({group[0].result, group[1].result, group[2].result}),
             QList({p.others, p.result, p.others}));
    QVERIFY(p.result == Result::Placed || !group[1].reason.isEmpty());
    QCOMPARE(QList({ReadFile(at), ReadFile(dir.filePath("after.BIN"))}),
             QList<QByteArray>({p.atName, "new"}));
    QCOMPARE(temporaryFiles(dir.path()), QStringList());
    folder.reset();
    QVERIFY(begin(dir.path()));
  }

  // A flush of the whole file system does not reach a FUSE or network
  // server, and beside another program's unwritten gigabytes it would wait
  // for all of them: there each file is flushed before it takes its name.
  void flushesReachTheFileSystemHoldingTheFolder() {
    const std::pair<bool, qint64> cases[] = {{true, 0}, {false, 0}, {false, qint64(3) << 30}};
    for (const auto& [fileByFile, othersUnwritten] : cases) {
      QTemporaryDir dir;
      const bool asWhole = !fileByFile && othersUnwritten == 0 &&
                           NativeFile::Folder::Open(dir.path())->FlushesAsWhole();
      DiskRecorder disk;
      if (fileByFile) disk.flushesAsWhole = false;
      disk.unwrittenBytes = othersUnwritten;
      auto folder = begin(dir.path());
      QVERIFY(folder);
      auto group = written(*folder, {"a.BIN", "b.BIN", "c.BIN"});
      folder->Place(group);
      for (const TargetFolder::Placing& placing : group) QCOMPARE(placing.result, Result::Placed);
      int folderFlushes = 1;
#ifdef Q_OS_WIN
      folderFlushes = 3;  // a move written through flushes the folder as it goes
#endif
      QCOMPARE(QList({disk.Made(Change::FlushFile), disk.Made(Change::FlushFileSystem),
                      disk.Made(Change::FlushFolder)}),
               QList({asWhole ? 0 : 3, int(asWhole), folderFlushes}));
    }
#ifdef Q_OS_LINUX
    QString whole;
    for (quint64 type : std::initializer_list<quint64>{
             FUSE_SUPER_MAGIC, NFS_SUPER_MAGIC, V9FS_MAGIC, OVERLAYFS_SUPER_MAGIC, EXT4_SUPER_MAGIC,
             XFS_SUPER_MAGIC, BTRFS_SUPER_MAGIC})
      whole += "01"[NativeFile::FlushesAsWhole(type)];
    QCOMPARE(whole, "0000111");  // FUSE, NFS, 9P, overlay; ext4, XFS, Btrfs
#endif
  }

  // Renamed or swapped for a link mid-run, the folder the run checked is
  // still the one it writes into; on Windows it cannot be renamed at all.
  void folderSwappedMidRun() {
    QTemporaryDir dir;
    const QString target = dir.filePath("t"), source = dir.filePath("s");
    QVERIFY(QDir().mkpath(target) && QDir().mkpath(source) &&
            ImageBuilder::WriteFile(source + "/x.BIN", "source"));
    auto folder = begin(target);
    QVERIFY(folder);
    auto group = written(*folder, {"x.BIN"});
    group[0].replace = true;
    const bool renamed = QDir().rename(target, target + ".old");
#ifdef Q_OS_WIN
    QVERIFY(!renamed);
#else
    QVERIFY(renamed && QFile::link(source, target));
#endif
    folder->Place(group);
    QCOMPARE(group[0].result, Result::Placed);
    QCOMPARE(ReadFile(source + "/x.BIN"), QByteArray("source"));
    QCOMPARE(ReadFile((renamed ? target + ".old" : target) + "/x.BIN"), QByteArray("new"));
  }
};

QTEST_GUILESS_MAIN(TargetFolderTest)
#include "test_target_folder.moc"
