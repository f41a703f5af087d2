// Byte ranges of files open by number, and replacement of target files.
#include <cerrno>
#include <cstring>

#include "engine/Lib_File.h"
#include "tests/support/DiskRecorder.h"
#include "tests/support/TestSupport.h"
#include "tools/ImageBuilder.h"

using namespace Lib_File;
using namespace ImageBuilder;
using NativeFile::Change;

namespace {

constexpr qint64 K = 1024;

// A target's bytes: every byte tells its place, so a block written twice or misplaced shows.
QByteArray pattern(qint64 length) {
  QByteArray bytes(length, Qt::Uninitialized);
  for (qint64 i = 0; i < length; ++i) bytes[i] = char((i * 7 + i / 4096) & 0xFF);
  return bytes;
}

// How the target's file is made and written, as the observer sees it: C/c a create bypassing
// the cache or through it, W/w a write, ! after one the system refused with EINVAL.
// clang-format off
struct WritePath { const char* name; bool inMemory; bool othersWaiting; std::optional<bool> direct; std::optional<Change> refused; qint64 length; const char* shape; };
const WritePath writePaths[] = {
    {"an image on a disk goes through the cache while it holds little", false, false, std::nullopt, {}, 256 * K, "cw+"},
    {"beside others' unwritten gigabytes an image bypasses the cache", false, true, std::nullopt, {}, 256 * K, "CW"},
    {"an odd length: the last part block goes through the cache", false, false, true, {}, 32 * K + 3, "[Cc]Ww"},
    {"less than a block goes through the cache", false, false, true, {}, 3, "[Cc]w+"},
    {"a direct open refused: made anew, written through the cache", false, false, true, Change::Create, 64 * K, "C!cw+"},
    {"a direct write refused: written again through the cache", false, false, true, Change::Write, 64 * K + 5, "[Cc]W!w"},
    {"a file system in memory is written through the cache", true, true, std::nullopt, {}, 64 * K, "[Cc]w+"},
    {"told to, a file system in memory is tried for direct writes", true, false, true, {}, 64 * K + 1, "[Cc]Ww|[Cc]w+|C!cw+|[Cc]W!w"},
};
// clang-format on

// Puts the replacement open under the number at its name, as a run does.
bool commit(int fileNumber) {
  auto file = TakeReplacement(fileNumber);
  return file && file->FinishWriting() && file->Flush() &&
         file->Place(true) == NativeFile::Replacement::Placed::Done;
}

const auto files = [](const QString& in) { return QDir(in).entryList(QDir::Files | QDir::Hidden); };

}  // namespace

class TestFileAccess : public QObject {
  Q_OBJECT

  QTemporaryDir dir_;
  QString path(const QString& name) const { return dir_.filePath(name); }

 private Q_SLOTS:
  void cleanup() { CloseAll(); }

  // On a real file and on a buffer; earlier reads set the current position.
  void readBytes() {
    const QByteArray all("\xFF\xFA\x00\x01\x02\x03\x04\x05\x06\x07\x08\x09\x0A\x0B\x0C\x0D", 16);
    const auto check = [&](const char* name, const QList<std::pair<qint64, qint64>>& earlier,
                           qint64 position, qint64 length, const QByteArray& expected) {
      for (bool onDisk : {true, false}) {
        QByteArray buffer = all;
        QVERIFY(onDisk ? WriteFile(path("in.bin"), all) && OpenForRead(InputFile, path("in.bin"))
                       : OpenBuffer(InputFile, &buffer));
        for (const auto& [at, count] : earlier) ReadBytes(InputFile, at, count);
        QVERIFY2(ReadBytes(InputFile, position, length) == expected && buffer == all, name);
      }
    };
    check("position is a 0-based offset", {}, 5, 3, all.mid(5, 3));
    check("-1 on a new file is the first byte", {}, -1, 3, all.left(3));
    check("-1 follows the last read", {{0, 2}, {6, 1}}, -1, 4, all.mid(7, 4));
    check("length 0 reads to the end", {}, 10, 0, all.mid(10));
    check("length -1 reads to the end", {}, 0, -1, all);
    check("a read past the end stops there", {}, 14, 100, all.mid(14));
    check("a read from past the end gives nothing", {}, 40, 2, {});
    check("a read from past the end moves nothing", {{0, 3}, {40, 1}}, -1, 2, all.mid(3, 2));
  }

  // On a replaced file and on an empty buffer.
  void writeBytes() {
    const auto check = [&](const char* name, const QList<std::pair<qint64, QByteArray>>& writes,
                           const QByteArray& expected) {
      for (bool onDisk : {true, false}) {
        QByteArray buffer;
        auto folder = NativeFile::Folder::Open(dir_.path());
        QVERIFY(onDisk ? OpenForReplace(OutputFile, *folder, "out.bin")
                       : OpenBuffer(OutputFile, &buffer));
        for (const auto& [at, bytes] : writes) QVERIFY(WriteBytes(OutputFile, at, bytes));
        QVERIFY(!onDisk || commit(OutputFile));
        QVERIFY2((onDisk ? ReadFile(path("out.bin")) : buffer) == expected, name);
      }
    };
    check("-1 starts at the first byte, follows the last write", {{-1, "AB"}, {-1, "CD"}}, "ABCD");
    check("a positioned write overwrites in place", {{-1, "ABCD"}, {1, "x"}, {-1, "y"}}, "AxyD");
    check("-2 appends whatever the current position", {{-1, "ABCD"}, {0, "x"}, {-2, "E"}}, "xBCDE");
    check("a write past the end grows the file", {{3, "Z"}}, QByteArray("\0\0\0Z", 4));
  }

  // Whichever way the bytes go to the system, the name gets exactly them, every one reported to
  // the observer once, and no temporary file stays.
  void eachWritePath_data() { addRows(writePaths); }
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
    disk.unwrittenBytes = w.othersWaiting ? qint64(3) << 30 : 0;
    if (w.refused) disk.Fail(*w.refused, EINVAL);
    auto folder = NativeFile::Folder::Open(dir.path());
    QVERIFY(folder && OpenForReplace(OutputFile, *folder, "target.bin") &&
            WriteBytes(OutputFile, CurrentPosition, bytes) && commit(OutputFile));
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
      QVERIFY(OpenForReplace(OutputFile, *folder, "target.bin"));
      const bool wrote = WriteBytes(OutputFile, CurrentPosition, pattern(64 * K));
      auto file = TakeReplacement(OutputFile);
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

  void unopenedNumbersAndMissingFiles() {
    for (int number : {0, 3, MaxFileNumber + 1}) {
      QVERIFY(FileLength(number) == -1 && ReadBytes(number, 0, 0).isEmpty());
      QVERIFY(!WriteBytes(number, -1, "x") && !TakeReplacement(number));
    }
    QVERIFY(!OpenForRead(InputFile, path("missing.bin")) && !QFile::exists(path("missing.bin")));
  }
};

QTEST_GUILESS_MAIN(TestFileAccess)
#include "test_file_access.moc"
