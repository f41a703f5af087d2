#pragma once

#include <QByteArray>
#include <QList>
#include <QMap>
#include <QMutex>
#include <QString>
#include <optional>

#include "engine/NativeFile.h"

// While it lives, sees every change the file layer makes to a disk and keeps
// it in order, the way a test's failing device would: it can fail changes
// of a kind with an error of the system, and stand in for the system's
// figures (its unwritten bytes, whether a folder's file system is flushed
// as a whole, whether it takes names differing only in letter case for one).
class DiskRecorder : public NativeFile::Observer {
 public:
  struct Record {
    NativeFile::Change change;
    QString folder, name, to;
    qint64 offset = 0;
    QByteArray data;
    bool direct = false;
    int error = 0;  // the system's answer, or the error this recorder failed it with
  };

  DiskRecorder();
  ~DiskRecorder() override;
  DiskRecorder(const DiskRecorder&) = delete;
  DiskRecorder& operator=(const DiskRecorder&) = delete;

  // The next `times` changes of this kind fail with the error.
  void Fail(NativeFile::Change change, int error, int times = 1);
  // Every change of this kind that gives a file the name fails with the error.
  void FailAt(const QString& to, NativeFile::Change change, int error);
  // The system's unwritten bytes as the run sees them; a test may change
  // them while a run places files on a thread of its own.
  void SetUnwrittenBytes(std::optional<qint64> bytes);
  std::optional<bool> flushesAsWhole;
  std::optional<bool> writesDirect;
  std::optional<bool> ignoresCase;

  QList<Record> Records() const;
  // How many changes of the kind were made.
  int Made(NativeFile::Change change) const;

  int Before(const NativeFile::Operation& operation) override;
  void After(const NativeFile::Operation& operation, int error) override;
  std::optional<qint64> UnwrittenBytes() override;
  std::optional<bool> FlushesAsWhole() override { return flushesAsWhole; }
  std::optional<bool> WritesDirect() override { return writesDirect; }
  std::optional<bool> IgnoresCase() override { return ignoresCase; }

 private:
  void record(const NativeFile::Operation& operation, int error);

  mutable QMutex lock_;
  QList<Record> records_;
  QMap<NativeFile::Change, std::pair<int, int>> failing_;        // error, times left
  QMap<std::pair<NativeFile::Change, QString>, int> failingAt_;  // error
  std::optional<qint64> unwrittenBytes_;
};

// The system's errors for a full disk, for a failing one and for a name too long for the
// file system.
int DiskFullError();
int DiskIoError();
int NameTooLongError();
