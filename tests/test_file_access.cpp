// Byte ranges of files open by number, replacement of target files, and the
// hex text of byte strings.
#include <QDir>
#include <QTemporaryDir>
#include <QtTest>

#include "engine/Lib_Convert.h"
#include "engine/Lib_File.h"
#include "tools/ImageBuilder.h"

using namespace Lib_File;
using ImageBuilder::ReadFile;
using ImageBuilder::WriteFile;

namespace {

// One write of a sequence: position and bytes.
struct Write {
  qint64 position;
  QByteArray data;
};
using Writes = QList<Write>;

// 0x00, 0x01, ... 0x0F behind the mark FF FA, so that every offset reads a
// different byte.
QByteArray sample() {
  QByteArray data("\xFF\xFA", 2);
  for (char c = 0; c < 14; ++c) data.append(c);
  return data;
}

}  // namespace

Q_DECLARE_METATYPE(Writes)

class TestFileAccess : public QObject {
  Q_OBJECT

  QTemporaryDir dir_;
  QByteArray buffer_;

  QString path(const QString& name) const { return dir_.filePath(name); }

  // Opens the sample under number 1, as a real file or as a buffer.
  void openSample(bool onDisk) {
    if (onDisk) {
      QVERIFY(WriteFile(path("sample.bin"), sample()));
      QVERIFY(OpenForRead(InputFile, path("sample.bin")));
    } else {
      buffer_ = sample();
      QVERIFY(OpenBuffer(InputFile, &buffer_));
    }
  }

  QStringList folderEntries() const {
    return QDir(dir_.path()).entryList(QDir::AllEntries | QDir::Hidden | QDir::NoDotAndDotDot);
  }

 private Q_SLOTS:
  void init() {
    QVERIFY(dir_.isValid());
    for (const QString& name : folderEntries()) QVERIFY(QFile::remove(path(name)));
  }
  void cleanup() { CloseAll(); }

  void readBytes_data() {
    QTest::addColumn<bool>("onDisk");
    QTest::addColumn<QList<qint64>>("earlierReads");  // position, length pairs
    QTest::addColumn<qint64>("position");
    QTest::addColumn<qint64>("length");
    QTest::addColumn<QByteArray>("expected");

    const QByteArray all = sample();
    const struct {
      const char* name;
      QList<qint64> earlier;
      qint64 position, length;
      QByteArray expected;
    } rows[] = {
        {"first word", {}, 0, 2, all.left(2)},
        {"length 0 is the whole file", {}, 0, 0, all},
        {"length -1 is the whole file", {}, 0, -1, all},
        {"position is a 0-based offset", {}, 5, 3, all.mid(5, 3)},
        {"current position of a new file is the first byte", {}, -1, 3, all.left(3)},
        {"current position follows the last read", {0, 2, 6, 1}, -1, 4, all.mid(7, 4)},
        {"a positioned read ignores the current position", {0, 9}, 1, 2, all.mid(1, 2)},
        {"whole file from an offset stops at the end", {}, 10, 0, all.mid(10)},
        {"past the end gives the bytes up to the end", {}, 14, 100, all.mid(14)},
        {"at the end gives nothing", {}, 16, 2, {}},
        {"past the end gives nothing", {}, 40, 2, {}},
        {"past the end leaves the current position", {0, 3, 40, 1}, -1, 2, all.mid(3, 2)},
        {"huge length is capped at the end", {}, 0, qint64(1) << 40, all},
    };
    for (bool onDisk : {true, false}) {
      for (const auto& row : rows) {
        QTest::addRow("%s: %s", onDisk ? "file" : "buffer", row.name)
            << onDisk << row.earlier << row.position << row.length << row.expected;
      }
    }
  }

  void readBytes() {
    QFETCH(bool, onDisk);
    QFETCH(QList<qint64>, earlierReads);
    QFETCH(qint64, position);
    QFETCH(qint64, length);
    QFETCH(QByteArray, expected);

    openSample(onDisk);
    QCOMPARE(FileLength(InputFile), sample().size());
    for (qsizetype k = 0; k + 1 < earlierReads.size(); k += 2) {
      ReadBytes(InputFile, earlierReads[k], earlierReads[k + 1]);
    }
    QCOMPARE(ReadBytes(InputFile, position, length), expected);
    if (!onDisk) QCOMPARE(buffer_, sample());
  }

  void writeBytes_data() {
    QTest::addColumn<bool>("onDisk");
    QTest::addColumn<QByteArray>("initial");  // buffers only; a replaced file starts empty
    QTest::addColumn<Writes>("writes");
    QTest::addColumn<QByteArray>("expected");

    // Rows that start from an empty file run both on a replaced file and on
    // a buffer.
    const struct {
      const char* name;
      Writes writes;
      QByteArray expected;
    } fromEmpty[] = {
        {"current position of a new file is the first byte", {{-1, "AB"}}, "AB"},
        {"current position follows the last write", {{-1, "AB"}, {-1, "CD"}}, "ABCD"},
        {"positioned write overwrites in place", {{-1, "ABCD"}, {1, "x"}, {-1, "y"}}, "AxyD"},
        {"-2 appends whatever the current position", {{-1, "ABCD"}, {0, "x"}, {-2, "E"}}, "xBCDE"},
        {"-2 on an empty file writes from the start", {{-2, "AB"}}, "AB"},
        {"position past the end grows the file", {{3, "Z"}}, QByteArray("\0\0\0Z", 4)},
        {"empty data writes nothing", {{-1, ""}, {-2, ""}}, ""},
    };
    for (bool onDisk : {true, false}) {
      for (const auto& row : fromEmpty) {
        QTest::addRow("%s: %s", onDisk ? "file" : "buffer", row.name)
            << onDisk << QByteArray() << row.writes << row.expected;
      }
    }
    // Opening does not empty: -1 writes over the first bytes, -2 after the
    // last.
    QTest::addRow("buffer: open keeps the contents")
        << false << QByteArray("ABCDEFGH") << Writes{{-1, "xy"}} << QByteArray("xyCDEFGH");
    QTest::addRow("buffer: -2 appends after the contents")
        << false << QByteArray("ABCDEFGH") << Writes{{-1, "x"}, {-2, "IJ"}}
        << QByteArray("xBCDEFGHIJ");
  }

  void writeBytes() {
    QFETCH(bool, onDisk);
    QFETCH(QByteArray, initial);
    QFETCH(Writes, writes);
    QFETCH(QByteArray, expected);

    const QString target = path("target.bin");
    if (onDisk) {
      QVERIFY(OpenForReplace(OutputFile, target));
    } else {
      buffer_ = initial;
      QVERIFY(OpenBuffer(OutputFile, &buffer_));
    }
    for (const Write& write : writes) QVERIFY(WriteBytes(OutputFile, write.position, write.data));
    QCOMPARE(FileLength(OutputFile), expected.size());
    if (onDisk) {
      QVERIFY(CommitFile(OutputFile));
      QCOMPARE(ReadFile(target), expected);
    } else {
      QCOMPARE(buffer_, expected);
    }
  }

  void unopenedNumbers() {
    for (int number : {0, 3, MaxFileNumber, MaxFileNumber + 1, -1}) {
      QVERIFY(!IsOpen(number));
      QCOMPARE(FileLength(number), -1);
      QCOMPARE(ReadBytes(number, 0, 0), QByteArray());
      QVERIFY(!WriteBytes(number, -1, "x"));
      QVERIFY(!CommitFile(number));
    }
    QByteArray buffer("abc");
    QVERIFY(!OpenBuffer(0, &buffer));
    QVERIFY(!OpenBuffer(MaxFileNumber + 1, &buffer));
    QVERIFY(!OpenForRead(InputFile, path("missing.bin")));
    QVERIFY(!QFile::exists(path("missing.bin")));
    QVERIFY(!OpenForReplace(OutputFile, path("no such folder/target.bin")));
  }

  void readOnlyFileRefusesWrites() {
    QVERIFY(WriteFile(path("source.bin"), "abc"));
    QVERIFY(OpenForRead(InputFile, path("source.bin")));
    QTest::ignoreMessage(QtWarningMsg, QRegularExpression("ReadOnly device"));
    QVERIFY(!WriteBytes(InputFile, -1, "x"));
    QVERIFY(CommitFile(InputFile));  // closes the number
    QVERIFY(!IsOpen(InputFile));
    QCOMPARE(ReadFile(path("source.bin")), QByteArray("abc"));
  }

  void replacement_data() {
    QTest::addColumn<bool>("targetExists");
    QTest::addColumn<bool>("commit");
    QTest::addColumn<QByteArray>("expected");  // null: no target file at all

    QTest::newRow("commit replaces the old file") << true << true << QByteArray("new image");
    QTest::newRow("close without commit keeps the old file") << true << false << QByteArray("old");
    QTest::newRow("commit creates a missing file") << false << true << QByteArray("new image");
    QTest::newRow("close without commit creates nothing") << false << false << QByteArray();
  }

  void replacement() {
    QFETCH(bool, targetExists);
    QFETCH(bool, commit);
    QFETCH(QByteArray, expected);

    const QString target = path("target.bin");
    if (targetExists) QVERIFY(WriteFile(target, "old"));
    QVERIFY(OpenForReplace(OutputFile, target));
    QVERIFY(WriteBytes(OutputFile, -1, "new image"));
    // Until the commit the old file stands as it was.
    QCOMPARE(QFile::exists(target), targetExists);
    if (targetExists) QCOMPARE(ReadFile(target), QByteArray("old"));

    if (commit) {
      QVERIFY(CommitFile(OutputFile));
    } else {
      CloseAll();
    }
    QVERIFY(!IsOpen(OutputFile));
    if (expected.isNull()) {
      QVERIFY(folderEntries().isEmpty());
    } else {
      QCOMPARE(folderEntries(), QStringList{"target.bin"});
      QCOMPARE(ReadFile(target), expected);
    }
  }

  void reopeningANumberDiscardsTheUncommittedFile() {
    QVERIFY(OpenForReplace(OutputFile, path("first.bin")));
    QVERIFY(WriteBytes(OutputFile, -1, "first"));
    QVERIFY(OpenForReplace(OutputFile, path("second.bin")));
    QVERIFY(WriteBytes(OutputFile, -1, "second"));
    QVERIFY(CommitFile(OutputFile));
    QCOMPARE(folderEntries(), QStringList{"second.bin"});
  }

  void closeAllGuardClosesEveryNumber() {
    QByteArray one("1"), two("2");
    {
      CloseAllGuard guard;
      QVERIFY(OpenBuffer(InputFile, &one));
      QVERIFY(OpenForReplace(OutputFile, path("target.bin")));
    }
    QVERIFY(!IsOpen(InputFile));
    QVERIFY(!IsOpen(OutputFile));
    QVERIFY(folderEntries().isEmpty());
    QVERIFY(OpenBuffer(MaxFileNumber, &two));
    CloseAll();
    QVERIFY(!IsOpen(MaxFileNumber));
  }

  void killFile() {
    QVERIFY(WriteFile(path("doomed.bin"), "x"));
    QVERIFY(KillFile(path("doomed.bin")));
    QVERIFY(!QFile::exists(path("doomed.bin")));
    QVERIFY(KillFile(path("doomed.bin")));  // already gone
  }

  void strToHex_data() {
    QTest::addColumn<QByteArray>("data");
    QTest::addColumn<QString>("hex");
    QTest::newRow("empty") << QByteArray() << "";
    QTest::newRow("below 16 gets a leading zero") << QByteArray("\x05") << "05";
    QTest::newRow("upper case") << QByteArray("\xAB") << "AB";
    QTest::newRow("bank 1 mark") << QByteArray("\x27\xFE") << "27FE";
    QTest::newRow("bank 8 mark") << QByteArray("\xFF\xFA") << "FFFA";
    QTest::newRow("zero bytes, no separators") << QByteArray("\x00\xFF\x10\x0F", 4) << "00FF100F";
  }

  void strToHex() {
    QFETCH(QByteArray, data);
    QFETCH(QString, hex);
    QCOMPARE(Lib_Convert::StrToHex(data), hex);
  }
};

QTEST_GUILESS_MAIN(TestFileAccess)
#include "test_file_access.moc"
