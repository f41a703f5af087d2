// What the file layer's platform halves share: the temporary files' names,
// the whole read of a small source, and the observer of every change.
#include "engine/NativeFile.h"

#include <QBuffer>
#include <QFile>
#include <QRandomGenerator>

#include "engine/NativeFilePrivate.h"

namespace NativeFile {

namespace {
std::atomic<Observer*> installedObserver{nullptr};
}  // namespace

void SetObserver(Observer* observer) {
  installedObserver = observer;
}

Observer* TheObserver() {
  return installedObserver;
}

qint64 UnwrittenBytes() {
  if (Observer* observer = TheObserver()) {
    if (auto bytes = observer->UnwrittenBytes()) return *bytes;
  }
  return SystemUnwrittenBytes();
}

bool Folder::FlushesAsWhole() const {
  if (Observer* observer = TheObserver()) {
    if (auto whole = observer->FlushesAsWhole()) return *whole;
  }
  return NativeFile::FlushesAsWhole(type_);
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
