#include "engine/Lib_File.h"

#include <QBuffer>
#include <QFile>
#include <QSaveFile>
#include <array>
#include <memory>

namespace Lib_File {
namespace {

std::array<std::unique_ptr<QIODevice>, MaxFileNumber + 1> openFiles;

QIODevice* device(int fileNumber) {
  if (fileNumber < 1 || fileNumber > MaxFileNumber) return nullptr;
  return openFiles[static_cast<size_t>(fileNumber)].get();
}

bool install(int fileNumber, std::unique_ptr<QIODevice> file) {
  if (fileNumber < 1 || fileNumber > MaxFileNumber) return false;
  // A number in use is closed first, as reopening it would.
  openFiles[static_cast<size_t>(fileNumber)] = std::move(file);
  return true;
}

bool seekTo(QIODevice* file, qint64 position) {
  if (position == CurrentPosition) return true;
  if (position == EndOfFile) return file->seek(file->size());
  return position >= 0 && file->seek(position);
}

}  // namespace

bool OpenForRead(int fileNumber, const QString& path) {
  auto file = std::make_unique<QFile>(path);
  if (!file->open(QIODevice::ReadOnly)) return false;
  return install(fileNumber, std::move(file));
}

bool OpenForReplace(int fileNumber, const QString& path) {
  auto file = std::make_unique<QSaveFile>(path);
  // Writing into the target directly would be the only way to replace a
  // file in a folder that allows writing files but not creating them; such a
  // failure counts as a failed write instead of risking a half-written image.
  file->setDirectWriteFallback(false);
  if (!file->open(QIODevice::WriteOnly)) return false;
  return install(fileNumber, std::move(file));
}

bool OpenBuffer(int fileNumber, QByteArray* buffer) {
  auto file = std::make_unique<QBuffer>(buffer);
  if (!file->open(QIODevice::ReadWrite)) return false;
  return install(fileNumber, std::move(file));
}

bool IsOpen(int fileNumber) {
  return device(fileNumber) != nullptr;
}

qint64 FileLength(int fileNumber) {
  QIODevice* file = device(fileNumber);
  return file ? file->size() : -1;
}

QByteArray ReadBytes(int fileNumber, qint64 position, qint64 length) {
  QIODevice* file = device(fileNumber);
  if (!file) return {};
  qint64 count = (length == 0 || length == -1) ? file->size() : length;
  if (count <= 0) return {};
  // Nothing to read past the end. Seeking there is not harmless: a buffer
  // open for writing fills the gap with zeros.
  if (position > file->size() && !file->isSequential()) return {};
  if (!seekTo(file, position)) return {};
  // A read past the end returns the bytes up to the end; capping the count
  // first keeps a huge length from reserving memory for bytes that are not
  // there.
  if (!file->isSequential()) count = qMin(count, qMax<qint64>(file->size() - file->pos(), 0));
  return file->read(count);
}

bool WriteBytes(int fileNumber, qint64 position, const QByteArray& data) {
  QIODevice* file = device(fileNumber);
  if (!file || !seekTo(file, position)) return false;
  return file->write(data) == data.size();
}

bool CommitFile(int fileNumber) {
  QIODevice* file = device(fileNumber);
  if (!file) return false;
  bool committed = true;
  if (auto* saveFile = qobject_cast<QSaveFile*>(file)) {
    // commit() flushes too, but a flush that fails must not be mistaken for
    // a finished image, so it is checked on its own first.
    committed = saveFile->flush() && saveFile->commit();
  }
  openFiles[static_cast<size_t>(fileNumber)].reset();
  return committed;
}

void CloseAll() {
  // Destroying an uncommitted QSaveFile discards its temporary file.
  for (auto& file : openFiles) file.reset();
}

bool KillFile(const QString& path) {
  QFile::remove(path);
  return !QFile::exists(path);
}

}  // namespace Lib_File
