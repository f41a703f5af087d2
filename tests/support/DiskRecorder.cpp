#include "tests/support/DiskRecorder.h"

#include <QMutexLocker>

#ifdef Q_OS_WIN
#include <windows.h>
#else
#include <cerrno>
#endif

DiskRecorder::DiskRecorder() {
  NativeFile::SetObserver(this);
}

DiskRecorder::~DiskRecorder() {
  NativeFile::SetObserver(nullptr);
}

void DiskRecorder::Fail(NativeFile::Change change, int error, int times) {
  QMutexLocker locked(&lock_);
  failing_[change] = {error, times};
}

void DiskRecorder::FailAt(const QString& to, NativeFile::Change change, int error) {
  QMutexLocker locked(&lock_);
  failingAt_[{change, to}] = error;
}

QList<DiskRecorder::Record> DiskRecorder::Records() const {
  QMutexLocker locked(&lock_);
  return records_;
}

int DiskRecorder::Made(NativeFile::Change change) const {
  QMutexLocker locked(&lock_);
  int made = 0;
  for (const Record& r : records_) made += r.change == change && r.error == 0;
  return made;
}

int DiskRecorder::Before(const NativeFile::Operation& operation) {
  QMutexLocker locked(&lock_);
  int error = failingAt_.value({operation.change, operation.to});
  auto failing = failing_.find(operation.change);
  if (error == 0 && (failing == failing_.end() || failing->second <= 0)) return 0;
  if (error == 0) {
    --failing->second;
    error = failing->first;
  }
  locked.unlock();
  record(operation, error);
  return error;
}

void DiskRecorder::After(const NativeFile::Operation& operation, int error) {
  record(operation, error);
}

void DiskRecorder::record(const NativeFile::Operation& operation, int error) {
  Record r{operation.change, operation.folder,
           operation.name,   operation.to,
           operation.offset, operation.data.toByteArray(),
           operation.direct, error};
  QMutexLocker locked(&lock_);
  records_.append(std::move(r));
}

void DiskRecorder::SetUnwrittenBytes(std::optional<qint64> bytes) {
  QMutexLocker locked(&lock_);
  unwrittenBytes_ = bytes;
}

std::optional<qint64> DiskRecorder::UnwrittenBytes() {
  QMutexLocker locked(&lock_);
  return unwrittenBytes_;
}

int DiskFullError() {
#ifdef Q_OS_WIN
  return ERROR_DISK_FULL;
#else
  return ENOSPC;
#endif
}

int DiskIoError() {
#ifdef Q_OS_WIN
  return ERROR_WRITE_FAULT;
#else
  return EIO;
#endif
}

int NameTooLongError() {
#ifdef Q_OS_WIN
  return ERROR_FILENAME_EXCED_RANGE;
#else
  return ENAMETOOLONG;
#endif
}
