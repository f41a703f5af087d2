#include "engine/Lib_File.h"

#include <QBuffer>
#include <QFile>
#include <algorithm>
#include <array>
#include <memory>

#include "engine/NativeFile.h"
#include "engine/ThreadState.h"

namespace Lib_File {
namespace {

// Each thread has numbers of its own, as it has bank tables of its own.
using OpenFiles = std::array<std::unique_ptr<QIODevice>, MaxFileNumber + 1>;

OpenFiles& openFiles() {
  static PerThread<OpenFiles> files;
  return files.get();
}

QIODevice* device(int fileNumber) {
  if (fileNumber < 1 || fileNumber > MaxFileNumber) return nullptr;
  return openFiles()[static_cast<size_t>(fileNumber)].get();
}

bool install(int fileNumber, std::unique_ptr<QIODevice> file) {
  if (fileNumber < 1 || fileNumber > MaxFileNumber) return false;
  // A number in use is closed first, as reopening it would.
  openFiles()[static_cast<size_t>(fileNumber)] = std::move(file);
  return true;
}

bool seekTo(QIODevice* file, qint64 position) {
  if (position == CurrentPosition) return true;
  if (position == EndOfFile) return file->seek(file->size());
  return position >= 0 && file->seek(position);
}

}  // namespace

bool OpenForRead(int fileNumber, const QString& path, QString* why) {
  auto file = NativeFile::OpenRegularForRead(path, why);
  return file && install(fileNumber, std::move(file));
}

bool ReadWhole(const QString& path, const std::function<bool(qint64)>& wanted, QByteArray* bytes,
               qint64* length, QString* why) {
  bytes->clear();
  *length = -1;
  auto file = NativeFile::OpenRegularForRead(path, why);
  if (!file) return false;
  *length = file->size();
  if (!wanted(*length)) return true;
  bytes->resize(*length);
  const qint64 got = file->read(bytes->data(), *length);
  bytes->truncate(std::max<qint64>(got, 0));
  return true;
}

bool OpenForReplace(int fileNumber, NativeFile::Folder& folder, const QString& name, QString* why) {
  auto file = folder.Create(name, why);
  return file && install(fileNumber, std::move(file));
}

bool OpenBuffer(int fileNumber, QByteArray* buffer) {
  auto file = std::make_unique<QBuffer>(buffer);
  if (!file->open(QIODevice::ReadWrite)) return false;
  return install(fileNumber, std::move(file));
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
  // Read into a buffer of exactly the count: QIODevice::read(qint64) would
  // reserve a larger block first.
  QByteArray data(count, Qt::Uninitialized);
  const qint64 got = file->read(data.data(), count);
  if (got <= 0) return {};
  data.truncate(got);
  return data;
}

bool WriteBytes(int fileNumber, qint64 position, const QByteArray& data) {
  QIODevice* file = device(fileNumber);
  if (!file || !seekTo(file, position)) return false;
  return file->write(data) == data.size();
}

std::unique_ptr<NativeFile::Replacement> TakeReplacement(int fileNumber) {
  if (!dynamic_cast<NativeFile::Replacement*>(device(fileNumber))) return nullptr;
  auto& slot = openFiles()[static_cast<size_t>(fileNumber)];
  return std::unique_ptr<NativeFile::Replacement>(
      static_cast<NativeFile::Replacement*>(slot.release()));
}

void CloseAll() {
  // Destroying an uncommitted replacement discards its temporary file.
  for (auto& file : openFiles()) file.reset();
}

}  // namespace Lib_File
