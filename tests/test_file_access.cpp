// Byte ranges of files open by number, and replacement of target files.
#include <QDir>
#include <QTemporaryDir>
#include <QtTest>

#include "engine/Lib_File.h"
#include "engine/NativeFile.h"
#include "tools/ImageBuilder.h"

using namespace Lib_File;
using namespace ImageBuilder;

namespace {

// Puts the replacement open under the number at its name, as a run does.
bool commit(int fileNumber) {
  auto file = TakeReplacement(fileNumber);
  return file && file->FinishWriting() && file->Flush() &&
         file->Place(true) == NativeFile::Replacement::Placed::Done;
}

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
        QVERIFY2(ReadBytes(InputFile, position, length) == expected, name);
        QVERIFY2(buffer == all, name);
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

  // The old file stands until the commit; without one no temporary file is left behind.
  void replacement() {
    for (bool targetExists : {true, false}) {
      for (bool commit : {true, false}) {
        QTemporaryDir dir;
        const QString target = dir.filePath("target.bin");
        if (targetExists) QVERIFY(WriteFile(target, "old"));
        auto folder = NativeFile::Folder::Open(dir.path());
        QVERIFY(OpenForReplace(OutputFile, *folder, "target.bin") &&
                WriteBytes(OutputFile, -1, "new image"));
        QCOMPARE(ReadFile(target), QByteArray(targetExists ? "old" : ""));
        if (commit) QVERIFY(::commit(OutputFile));
        CloseAll();
        const bool kept = commit || targetExists;
        QCOMPARE(QDir(dir.path()).entryList(QDir::Files | QDir::Hidden),
                 kept ? QStringList{"target.bin"} : QStringList{});
        QCOMPARE(ReadFile(target), QByteArray(commit ? "new image" : kept ? "old" : ""));
      }
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
