// Sources read whole, names shown as text, replacement of target files, and the target folder as
// one transaction: held, locked, written through temporary files, placed under a policy, flushed
// the way its file system honours.
#include <cerrno>
#include <cstring>

#include "batch/TargetFolder.h"
#include "engine/Lib_Convert.h"
#include "engine/Lib_File.h"
#include "tests/support/DiskRecorder.h"
#include "tests/support/TestSupport.h"
#include "tools/ImageBuilder.h"

#ifdef Q_OS_UNIX
#include <sys/stat.h>
#include <unistd.h>
#endif

using namespace Lib_File;
using namespace ImageBuilder;
using NativeFile::Change;
using Result = TargetFolder::Placing::Result;

namespace {

constexpr qint64 K = 1024;

// A target's bytes: every byte tells its place, so a block written twice or misplaced shows.
QByteArray pattern(qint64 length) {
  QByteArray bytes(length, Qt::Uninitialized);
  for (qint64 i = 0; i < length; ++i) bytes[i] = char((i * 7 + i / 4096) & 0xFF);
  return bytes;
}

// Writes a new file for the name and puts it in place, as a run does.
bool writeAndPlace(NativeFile::Folder& folder, const QString& name, const QByteArray& bytes) {
  auto file = folder.Create(name);
  return file && file->write(bytes) == bytes.size() && file->FinishWriting() && file->Flush() &&
         file->Place(true) == NativeFile::Replacement::Placed::Done;
}

// The files of a folder, hidden ones too, or those of the name patterns.
QStringList files(const QString& in, const QStringList& patterns = {}) {
  return QDir(in).entryList(patterns, QDir::Files | QDir::Hidden);
}

std::unique_ptr<TargetFolder> begin(const QString& path, TargetFolder::Refusal* refusal = nullptr) {
  TargetFolder::Refusal ignored{};
  return TargetFolder::Begin(path, true, refusal ? refusal : &ignored);
}

// Written targets holding "new" for the names, not yet placed.
std::vector<TargetFolder::Placing> written(TargetFolder& folder, const QStringList& names) {
  std::vector<TargetFolder::Placing> group(names.size());
  for (qsizetype i = 0; i < names.size(); ++i)
    if (auto file = folder.Write(names[i], nullptr); file && file->write("new") == 3)
      group[i].file = std::move(file);
  return group;
}

// Fails the changes it is told to, and numbers a file anew as a move of it to the refused name
// is refused, as exFAT through FUSE does.
class Renumbering : public DiskRecorder {
 public:
  QString refused;
  int Before(const NativeFile::Operation& o) override {
    if (o.change == Change::Rename && o.to == refused) {
      const QString at = o.folder + o.name;
      if (!QFile::copy(at, at + ".copy") || !QFile::remove(at) || !QFile::rename(at + ".copy", at))
        qFatal("cannot number %s anew", qPrintable(at));
    }
    return DiskRecorder::Before(o);
  }
};

// clang-format off
// How the target's file is made and written, as the observer sees it: C/c a create bypassing
// the cache or through it, W/w a write, ! after one the system refused with EINVAL.
struct WritePath { const char* name; bool inMemory; std::optional<bool> direct; std::optional<Change> refused; qint64 length; const char* shape; };
const WritePath writePaths[] = {
    {"an image on a disk bypasses the cache", false, std::nullopt, {}, 256 * K, "CW"},
    {"an odd length: the last part block goes through the cache", false, true, {}, 32 * K + 3, "[Cc]Ww"},
    {"less than a block goes through the cache", false, true, {}, 3, "[Cc]w+"},
    {"a direct open refused: made anew, written through the cache", false, true, Change::Create, 64 * K, "C!cw+"},
    {"a direct write refused: written again through the cache", false, true, Change::Write, 64 * K + 5, "[Cc]W!w"},
    {"a file system in memory is written through the cache", true, std::nullopt, {}, 64 * K, "[Cc]w+"},
    {"told to, a file system in memory is tried for direct writes", true, true, {}, 64 * K + 1, "[Cc]Ww|[Cc]w+|C!cw+|[Cc]W!w"},
};

// What comes to stand at a target's name (or happens to the folder) after the file was written and
// before it is placed, and what placing it and the files before and after it must then do. The
// folder's file system moves a file to a free name without replacing in one step, or has only
// links for that, or neither (exFAT and FAT through FUSE); so the file after the middle one takes
// its name by a no-replace rename, a link, or a rename once the name was seen free. A name the
// file system refuses (FAT's "?") is refused by each of them, as FAT does, and may leave the
// file numbered anew.
enum class Meanwhile { Nothing, File, Folder, FolderFlushFails, NameRefused };
enum class Moves { OneStep, Links, Neither };
struct Placement { const char* name; bool replace; Meanwhile meanwhile; Moves moves; Result result, others; QByteArray atName; };
const Placement placements[] = {
    {"a file another program put at a free name is kept", false, Meanwhile::File, Moves::OneStep, Result::Kept, Result::Placed, "other"},
    {"a file the user let be replaced is replaced", true, Meanwhile::File, Moves::OneStep, Result::Placed, Result::Placed, "new"},
    {"a folder at the name fails the file alone", true, Meanwhile::Folder, Moves::OneStep, Result::Failed, Result::Placed, ""},
    {"a folder that cannot be flushed fails every file placed", false, Meanwhile::FolderFlushFails, Moves::OneStep, Result::Failed, Result::Failed, "new"},
    {"placed by links: a file put at a free name is kept", false, Meanwhile::File, Moves::Links, Result::Kept, Result::Placed, "other"},
    {"neither one-step moves nor links: free names are still taken, a file put at one is kept", false, Meanwhile::File, Moves::Neither, Result::Kept, Result::Placed, "other"},
    {"neither one-step moves nor links: a file the user let be replaced is replaced", true, Meanwhile::File, Moves::Neither, Result::Placed, Result::Placed, "new"},
    {"a name the file system refuses fails the file alone, and the next still moves in one step", false, Meanwhile::NameRefused, Moves::OneStep, Result::Failed, Result::Placed, ""},
};

// What another program puts at a written file's temporary name before it is placed, flushed on its
// own or with the whole file system.
enum class AtTemporary { Pipe, File };
struct TemporaryTaken { const char* name; AtTemporary put; bool asWhole; };
const TemporaryTaken temporaryTaken[] = {
    {"a pipe, each file flushed", AtTemporary::Pipe, false},
    {"a pipe, flushed as a whole", AtTemporary::Pipe, true},
    {"a file, each file flushed", AtTemporary::File, false},
    {"a file, flushed as a whole", AtTemporary::File, true},
};

// Three files placed as one group, then a fourth: c/C each create through the cache or bypassing
// it; the flushes of a file, of the file system and of the folder.
struct FlushCase { const char* name; bool fileByFile; qint64 othersAtStart, othersLater; const char* creates; QList<int> flushes; };
constexpr qint64 G = qint64(1) << 30;
const FlushCase flushCases[] = {
    {"a disk with little else waiting: a whole flush a group, through the cache", false, 0, 0, "cccc", {0, 2, 2}},
    {"a network or FUSE mount: each file flushed, bypassing the cache", true, 0, 0, "CCCC", {4, 0, 2}},
    {"beside others' unwritten gigabytes: each file flushed, bypassing the cache", false, 3 * G, 3 * G, "CCCC", {4, 0, 2}},
    {"others' bytes written out mid-run: the next group goes through the cache", false, 3 * G, 0, "CCCc", {0, 2, 2}},
    {"others' bytes arriving mid-run: the next group bypasses the cache", false, 0, 3 * G, "cccC", {4, 0, 2}},
};
// clang-format on

}  // namespace

class TestFileAccess : public QObject {
  Q_OBJECT

  QTemporaryDir dir_;
  QString path(const QString& name) const { return dir_.filePath(name); }

 private Q_SLOTS:

  // A name is shown as text that no terminal or window takes for control, and two names
  // never show alike.
  void namesShownAsText() {
    // clang-format off
    const struct { const char* name; QString text, shown; } rows[] = {
        {"a plain name is as it is", u"Bank 1 \u00e9t\u00e9.bin"_qs, u"Bank 1 \u00e9t\u00e9.bin"_qs},
        {"letters beyond one unit stay", u"\U0001F600.bin"_qs, u"\U0001F600.bin"_qs},
        {"escape and bell", u"clip\x1b]52;c;ZXZpbA==\a.bin"_qs, u"clip\\e]52;c;ZXZpbA==\\a.bin"_qs},
        {"line breaks", u"nl\nFAKE\rX\t.bin"_qs, u"nl\\nFAKE\\rX\\t.bin"_qs},
        {"other C0 and DEL", QString::fromLatin1("a\x01\x7f"), u"a\\x01\\x7f"_qs},
        {"C1 controls", u"a\u009bb"_qs, u"a\\u009bb"_qs},
        {"direction overrides", u"gnp.\u202eexe"_qs, u"gnp.\\u202eexe"_qs},
#ifdef Q_OS_WIN
        {"a path keeps its separators", u"C:\\ECU\\new.bin"_qs, u"C:\\ECU\\new.bin"_qs},
#else
        {"bytes that are not UTF-8", NativeFile::DecodeName("caf\xe9.bin"), u"caf\\xe9.bin"_qs},
        {"a backslash is told from an escape", u"a\\nb"_qs, u"a\\\\nb"_qs},
#endif
    };
    // clang-format on
    for (const auto& r : rows) {
      const QString shown = Lib_Convert::ShownText(r.text);
      QVERIFY2(shown == r.shown, qPrintable(QStringLiteral("%1: %2").arg(r.name, shown)));
    }
  }

  void placingUnderAPolicy_data() {
    addRows(placements);
  }
  void placingUnderAPolicy() {
    QFETCH(int, row);
    const Placement& p = placements[row];
#ifndef Q_OS_UNIX
    if (p.moves != Moves::OneStep || p.meanwhile == Meanwhile::NameRefused)
      QSKIP("every file system here moves a file without replacing in one step");
#endif
    QTemporaryDir dir;
    Renumbering disk;
    auto folder = begin(dir.path());
    QVERIFY(folder);
    auto group = written(*folder, {"before.BIN", "x.BIN", "after.BIN"});
    // A second run is refused while this one holds the folder, and takes none of its files for
    // leftovers.
    TargetFolder::Refusal refusal{};
    QVERIFY(!begin(dir.path(), &refusal));
    QCOMPARE(refusal, TargetFolder::Refusal::Busy);
    QCOMPARE(files(dir.path(), {".~quillet-*"}).size(), 3);
    group[1].replace = p.replace;
    const QString at = dir.filePath("x.BIN");
    if (p.meanwhile == Meanwhile::File) QVERIFY(WriteFile(at, "other"));
    if (p.meanwhile == Meanwhile::Folder) QVERIFY(QDir(dir.path()).mkdir("x.BIN"));
    // Where each move is itself written through, every move's flush fails.
    if (p.meanwhile == Meanwhile::FolderFlushFails)
      disk.Fail(Change::FlushFolder, DiskIoError(), 3);
    if (p.meanwhile == Meanwhile::NameRefused) {
      disk.refused = "x.BIN";
      for (Change move : {Change::RenameNoReplace, Change::Rename})
        disk.FailAt("x.BIN", move, EINVAL);
      disk.FailAt("x.BIN", Change::Link, EPERM);
    }
    if (p.moves != Moves::OneStep) disk.Fail(Change::RenameNoReplace, EINVAL, 1000);
    if (p.moves == Moves::Neither) disk.Fail(Change::Link, EPERM, 1000);
    folder->Place(group);
    QCOMPARE(QList({group[0].result, group[1].result, group[2].result}),
             QList({p.others, p.result, p.others}));
    QVERIFY(p.result == Result::Placed || !group[1].reason.isEmpty());
    QCOMPARE(QList({ReadFile(at), ReadFile(dir.filePath("after.BIN"))}),
             QList<QByteArray>({p.atName, "new"}));
    QCOMPARE(files(dir.path(), {".~quillet-*"}), QStringList());
    std::optional<Change> lastMove;
    for (const DiskRecorder::Record& r : disk.Records())
      if (r.to == "after.BIN" && r.error == 0) lastMove = r.change;
    const Change expectedMove[] = {Change::RenameNoReplace, Change::Link, Change::Rename};
    QCOMPARE(lastMove, expectedMove[int(p.moves)]);
    folder.reset();
    QVERIFY(begin(dir.path()));
  }

  // Whichever way the bytes go to the system, the name gets exactly them, every one reported to
  // the observer once, and no temporary file stays.
  void eachWritePath_data() {
    addRows(writePaths);
  }
  void eachWritePath() {
    QFETCH(int, row);
    const WritePath& w = writePaths[row];
    QString shape = w.shape;
#ifndef Q_OS_LINUX
    if (w.refused || w.inMemory) QSKIP("refusals and file systems in memory are Linux's");
    shape = "[Cc]w+";  // elsewhere every file goes through the cache
#endif
    if (w.inMemory && !QFileInfo("/dev/shm").isWritable()) QSKIP("no file system in memory");
    QTemporaryDir dir(w.inMemory ? QStringLiteral("/dev/shm/quillet-test-XXXXXX") : QString());
    const QByteArray bytes = pattern(w.length);
    DiskRecorder disk;
    disk.writesDirect = w.direct;
    if (w.refused) disk.Fail(*w.refused, EINVAL);
    auto folder = NativeFile::Folder::Open(dir.path());
    QVERIFY(folder && writeAndPlace(*folder, "target.bin", bytes));
    QCOMPARE(ReadFile(dir.filePath("target.bin")), bytes);
    QCOMPARE(files(dir.path()), QStringList{"target.bin"});
    QByteArray reported(w.length, 0);
    QString seen;
    QList<DiskRecorder::Record> writes;
    for (const DiskRecorder::Record& r : disk.Records()) {
      if (r.change != Change::Create && r.change != Change::Write) continue;
      seen += QLatin1Char(r.change == Change::Create ? "cC"[r.direct] : "wW"[r.direct]);
      if (r.error) seen += u'!';
      if (r.error || r.change != Change::Write) continue;
      writes.append(r);
      reported.replace(r.offset, r.data.size(), r.data);
    }
    QCOMPARE(reported, bytes);
    QVERIFY2(QRegularExpression(QRegularExpression::anchoredPattern(shape)).match(seen).hasMatch(),
             qPrintable(seen));
    const DiskRecorder::Record& tail = writes.last();
    if (seen.endsWith("Ww"))
      QVERIFY(writes[0].offset == 0 && tail.offset % 512 == 0 &&
              tail.offset + tail.data.size() == w.length);
    if (seen.endsWith("!w")) QCOMPARE(tail.offset, 0);
    // A refusal is remembered: the folder's next file goes through the cache.
    disk.writesDirect.reset();
    if (seen.contains(u'!')) QVERIFY(!folder->Create("next.bin")->WritesDirect());
  }

  // A full disk fails the file with the system's own words, whether the write failed at once
  // (through the cache) or on a writer thread (direct), and leaves the old target as it was.
  void fullDiskUnderEitherPath() {
    for (bool direct : {true, false}) {
      QTemporaryDir dir;
      QVERIFY(WriteFile(dir.filePath("target.bin"), "old"));
      DiskRecorder disk;
      disk.writesDirect = direct;
      disk.Fail(Change::Write, DiskFullError());
      auto folder = NativeFile::Folder::Open(dir.path());
      auto file = folder->Create("target.bin");
      QVERIFY(file);
      const bool wrote = file->write(pattern(64 * K)) == 64 * K;
      file->FinishWriting();
      QVERIFY(!wrote || !file->FinishWriting());
      QVERIFY(!file->Flush());
#ifdef Q_OS_LINUX
      QCOMPARE(file->Reason(), QString::fromLocal8Bit(std::strerror(DiskFullError())));
#else
      QVERIFY(!file->Reason().isEmpty());
#endif
      QCOMPARE(file->Place(true), NativeFile::Replacement::Placed::Failed);
      file.reset();
      QCOMPARE(files(dir.path()), QStringList{"target.bin"});
      QCOMPARE(ReadFile(dir.filePath("target.bin")), QByteArray("old"));
    }
  }

  // A source is read whole only when its length is wanted, and one that is not there is not made.
  void readingASource() {
    QByteArray bytes("left");
    qint64 length = 0;
    const auto any = [](qint64) { return true; };
    QVERIFY(!ReadWhole(path("missing.bin"), any, &bytes, &length) &&
            !QFile::exists(path("missing.bin")));
    QVERIFY(bytes.isEmpty() && length == -1);
    QVERIFY(WriteFile(path("in.bin"), pattern(3 * K)));
    QVERIFY(ReadWhole(
        path("in.bin"), [](qint64 n) { return n < 3 * K; }, &bytes, &length));
    QVERIFY(bytes.isEmpty() && length == 3 * K);
    QVERIFY(ReadWhole(path("in.bin"), any, &bytes, &length) && bytes == pattern(3 * K));
  }
  // A flush of the whole file system does not reach a FUSE or network server, and beside another
  // program's unwritten gigabytes it would wait for all of them: there each file is flushed before
  // it takes its name, and files bypass the cache. A group flushed as a whole is written through
  // the cache, and the next group follows how the one before it was flushed.
  void flushesReachTheFileSystemHoldingTheFolder_data() {
    addRows(flushCases);
  }
  void flushesReachTheFileSystemHoldingTheFolder() {
    QFETCH(int, row);
    const FlushCase& c = flushCases[row];
    QTemporaryDir dir;
    DiskRecorder disk;
    disk.writesDirect = true;  // as any disk that takes such writes
    disk.flushesAsWhole = !c.fileByFile;
    disk.SetUnwrittenBytes(c.othersAtStart);
    auto folder = begin(dir.path());
    QVERIFY(folder);
    const qsizetype begun = disk.Records().size();  // past the file that tried the folder
    auto group = written(*folder, {"a.BIN", "b.BIN", "c.BIN"});
    disk.SetUnwrittenBytes(c.othersLater);
    folder->Place(group);
    auto next = written(*folder, {"d.BIN"});
    folder->Place(next);
    group.push_back(std::move(next[0]));
    for (const TargetFolder::Placing& placing : group) QCOMPARE(placing.result, Result::Placed);
    QString creates;
    for (const DiskRecorder::Record& r : disk.Records().mid(begun))
      if (r.change == Change::Create) creates += "cC"[r.direct];
    QList<int> flushes{disk.Made(Change::FlushFile), disk.Made(Change::FlushFileSystem),
                       disk.Made(Change::FlushFolder)};
#ifdef Q_OS_LINUX
    QCOMPARE(creates, c.creates);
    QCOMPARE(flushes, c.flushes);
#else
    // Elsewhere every file goes through the cache and is flushed on its own.
    QCOMPARE(creates, QStringLiteral("cccc"));
    QCOMPARE(flushes.first(), 4);
#endif
  }

  // Whatever another program puts at a written file's temporary name is neither waited for,
  // nor placed as the target, nor removed; the rest of the group is placed.
  void temporaryNameTakenMeanwhile_data() {
    addRows(temporaryTaken);
  }
  void temporaryNameTakenMeanwhile() {
#ifndef Q_OS_UNIX
    QSKIP("a file being written is held unshared here: nobody can take its name");
#else
    QFETCH(int, row);
    const TemporaryTaken& c = temporaryTaken[row];
    QTemporaryDir dir;
    DiskRecorder disk;
    disk.flushesAsWhole = c.asWhole;
    disk.SetUnwrittenBytes(0);
    auto folder = begin(dir.path());
    QVERIFY(folder);
    auto group = written(*folder, {"x.BIN"});
    const QStringList temporary = files(dir.path(), {"*.tmp~"});
    QCOMPARE(temporary.size(), 1);
    auto more = written(*folder, {"y.BIN"});
    group.push_back(std::move(more[0]));
    QVERIFY(group[0].file->FinishWriting());
    const QByteArray at = QFile::encodeName(dir.filePath(temporary[0]));
    QVERIFY(::unlink(at.constData()) == 0);
    const bool pipe = c.put == AtTemporary::Pipe;
    QVERIFY(pipe ? ::mkfifo(at.constData(), 0600) == 0 : WriteFile(at, "other"));
    folder->Place(group);
    QCOMPARE(group[0].result, Result::Failed);
    QVERIFY2(group[0].reason.endsWith("another program removed or replaced its temporary file"),
             qPrintable(group[0].reason));
    QCOMPARE(group[1].result, Result::Placed);
    QVERIFY(!QFile::exists(dir.filePath("x.BIN")));
    struct stat info {};
    QVERIFY(::lstat(at.constData(), &info) == 0);
    QCOMPARE(bool(S_ISFIFO(info.st_mode)), pipe);
    if (!pipe) QCOMPARE(ReadFile(at), QByteArray("other"));
#endif
  }

  // Renamed or swapped for a link mid-run, the folder the run checked is
  // still the one it writes into; on Windows it cannot be renamed at all.
  void folderSwappedMidRun() {
    QTemporaryDir dir;
    const QString target = dir.filePath("t"), source = dir.filePath("s");
    QVERIFY(QDir().mkpath(target) && QDir().mkpath(source) &&
            WriteFile(source + "/x.BIN", "source"));
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

QTEST_GUILESS_MAIN(TestFileAccess)
#include "test_file_access.moc"
