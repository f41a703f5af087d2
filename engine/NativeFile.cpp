// What the file layer's platform halves share: the temporary files' names,
// the whole read of a small source, and the flush counters.
#include "engine/NativeFile.h"

#include <QBuffer>
#include <QFile>
#include <QRandomGenerator>

#include "engine/NativeFilePrivate.h"

namespace NativeFile {

namespace {
std::atomic<bool> fileByFile{false};
std::atomic<qint64> pretendedUnwritten{-1};
}  // namespace

FlushCounts& Flushes() {
  static FlushCounts counts;
  return counts;
}

void FlushFileByFileEverywhere(bool on) {
  fileByFile = on;
}

qint64 UnwrittenBytes() {
  const qint64 pretended = pretendedUnwritten;
  return pretended >= 0 ? pretended : SystemUnwrittenBytes();
}

void PretendUnwrittenBytes(qint64 bytes) {
  pretendedUnwritten = bytes;
}

bool Folder::FlushesAsWhole() const {
  return !fileByFile && NativeFile::FlushesAsWhole(type_);
}

QString TemporaryName() {
  static const char Letters[] = "ABCDEFGHIJKLMNOPQRSTUVWXYZabcdefghijklmnopqrstuvwxyz0123456789";
  QString name = QStringLiteral(".~quillet-");
  for (int i = 0; i < 6; ++i) {
    name += QLatin1Char(Letters[QRandomGenerator::global()->bounded(int(sizeof Letters) - 1)]);
  }
  return name + QStringLiteral(".tmp");
}

bool IsTemporaryName(const QString& name) {
  if (name.size() != 20 || !name.startsWith(u".~quillet-") || !name.endsWith(u".tmp")) {
    return false;
  }
  for (qsizetype i = 10; i < 16; ++i) {
    const QChar c = name[i];
    if (!(c.isDigit() || (c >= u'A' && c <= u'Z') || (c >= u'a' && c <= u'z'))) return false;
  }
  return true;
}

std::unique_ptr<QIODevice> InMemory(const QByteArray& bytes) {
  auto memory = std::make_unique<QBuffer>();
  memory->setData(bytes);
  memory->open(QIODevice::ReadOnly);
  return memory;
}

Replacement::~Replacement() {
  discard();
}

qint64 Replacement::readData(char* data, qint64 maxSize) {
  Q_UNUSED(data);
  Q_UNUSED(maxSize);
  return -1;
}

bool Folder::CanCreateFiles() {
  return Create(QStringLiteral("probe")) != nullptr;
}

}  // namespace NativeFile
