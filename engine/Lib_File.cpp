#include "engine/Lib_File.h"

#include <QIODevice>
#include <algorithm>

#include "engine/NativeFile.h"

namespace Lib_File {

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

}  // namespace Lib_File
