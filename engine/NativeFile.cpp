// What the file layer's platform halves share: the temporary files' names,
// the whole read of a small source, and the observer of every change.
#include "engine/NativeFile.h"

#include <QBuffer>
#include <QFile>
#include <QRandomGenerator>
#include <condition_variable>
#include <cstring>
#include <deque>
#include <mutex>
#include <new>
#include <system_error>
#include <thread>
#include <vector>

#include "engine/NativeFilePrivate.h"

namespace NativeFile {

namespace {
std::atomic<Observer*> installedObserver{nullptr};

// A write that bypasses the system's cache returns only once the disk has
// the bytes, so one at a time leaves the disk idle between them: a few
// threads keep several on the way at once. The run that hands them files
// waits once enough are on the way, which bounds the memory they hold.
constexpr int WriterThreads = 8;
constexpr int MostOnTheWay = 2 * WriterThreads;

class Writers {
 public:
  std::future<void> Start(std::function<void()> job) {
    std::packaged_task<void()> task(std::move(job));
    std::future<void> done = task.get_future();
    std::unique_lock lock(mutex_);
    room_.wait(lock, [&] { return onTheWay_ < MostOnTheWay; });
    if (idle_ == 0 && threads_ < WriterThreads) {
      try {
        std::thread(&Writers::serve, this).detach();
        ++threads_;
      } catch (const std::system_error&) {
        // No thread to be had: the ones there are do the work, or the caller.
      }
    }
    if (threads_ == 0) {
      lock.unlock();
      task();
      return done;
    }
    ++onTheWay_;
    jobs_.push_back(std::move(task));
    work_.notify_one();
    return done;
  }

 private:
  void serve() {
    std::unique_lock lock(mutex_);
    for (;;) {
      ++idle_;
      work_.wait(lock, [&] { return !jobs_.empty(); });
      --idle_;
      std::packaged_task<void()> task = std::move(jobs_.front());
      jobs_.pop_front();
      lock.unlock();
      task();
      lock.lock();
      --onTheWay_;
      room_.notify_one();
    }
  }

  std::mutex mutex_;
  std::condition_variable work_, room_;
  std::deque<std::packaged_task<void()>> jobs_;
  int threads_ = 0, idle_ = 0, onTheWay_ = 0;
};

}  // namespace

std::future<void> WriteBehind(std::function<void()> job) {
  // Never destroyed: its threads wait for work as long as the process lives.
  static Writers* const writers = new Writers;
  return writers->Start(std::move(job));
}

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

// Every target must reach the disk before it is placed, so the system's
// cache gains a run little but a copy of each byte: writes that bypass it
// wait for the disk only, never for other programs' cached bytes. Only a
// group flushed as a whole while little else waits is written back faster
// from the cache, and the run then drops the group's copy once it is flushed.
bool Folder::wantsDirect() const {
  if (prefersCache_) return false;
  if (Observer* observer = TheObserver()) {
    if (auto direct = observer->WritesDirect()) return *direct;
  }
  return writesDirect_;
}

bool Folder::FlushesAsWhole() const {
  if (Observer* observer = TheObserver()) {
    if (auto whole = observer->FlushesAsWhole()) return *whole;
  }
  return NativeFile::FlushesAsWhole(type_);
}

// A run's temporary files are named ".~quillet-" and six letters or digits,
// then ".tmp~". The run refuses every target extension that could end such
// a name (see CouldEndTemporaryName), so no target of any run ever carries
// it, and a file of this name is a run's own.
const QLatin1StringView TemporaryPrefix(".~quillet-");
const QLatin1StringView TemporarySuffix(".tmp~");
constexpr qsizetype TemporaryLetters = 6;
constexpr qsizetype TemporaryLength = 10 + TemporaryLetters + 5;

namespace {

bool isTemporaryLetter(QChar c) {
  return c.isDigit() || (c >= u'A' && c <= u'Z') || (c >= u'a' && c <= u'z');
}

}  // namespace

QString TemporaryName() {
  static const char Letters[] = "ABCDEFGHIJKLMNOPQRSTUVWXYZabcdefghijklmnopqrstuvwxyz0123456789";
  QString name = TemporaryPrefix;
  for (int i = 0; i < TemporaryLetters; ++i) {
    name += QLatin1Char(Letters[QRandomGenerator::global()->bounded(int(sizeof Letters) - 1)]);
  }
  return name + TemporarySuffix;
}

bool IsTemporaryName(const QString& name) {
  if (name.size() != TemporaryLength || !name.startsWith(TemporaryPrefix) ||
      !name.endsWith(TemporarySuffix)) {
    return false;
  }
  for (qsizetype i = TemporaryPrefix.size(); i < TemporaryPrefix.size() + TemporaryLetters; ++i) {
    if (!isTemporaryLetter(name[i])) return false;
  }
  return true;
}

bool CouldEndTemporaryName(const QString& extension) {
  QString end = extension;
#ifdef Q_OS_WIN
  // The system drops dots and spaces at the end of a name.
  while (end.endsWith(u'.') || end.endsWith(u' ')) end.chop(1);
#endif
  // Letter case is compared as the least strict file system compares it.
  if (end.size() > TemporaryLength) return false;
  const qsizetype from = TemporaryLength - end.size();
  const QString pattern = TemporaryPrefix + QString(TemporaryLetters, u'X') + TemporarySuffix;
  for (qsizetype i = 0; i < end.size(); ++i) {
    const qsizetype at = from + i;
    const bool letter =
        at >= TemporaryPrefix.size() && at < TemporaryPrefix.size() + TemporaryLetters;
    if (letter ? !isTemporaryLetter(end[i]) : end[i].toCaseFolded() != pattern[at].toCaseFolded()) {
      return false;
    }
  }
  return true;
}

QString WithSeparator(const QString& folder) {
  if (folder.isEmpty()) return folder;
#ifdef Q_OS_WIN
  if (folder.endsWith(u'\\') || folder.endsWith(u'/')) return folder;
  return folder + u'\\';
#else
  if (folder.endsWith(u'/')) return folder;
  return folder + u'/';
#endif
}

bool Folder::IgnoresCase() const {
  if (!ignoresCase_) {
    std::optional<bool> told;
    if (Observer* observer = TheObserver()) told = observer->IgnoresCase();
    ignoresCase_ = told ? *told : systemIgnoresCase();
  }
  return *ignoresCase_;
}

std::unique_ptr<QIODevice> InMemory(const QByteArray& bytes) {
  auto memory = std::make_unique<QBuffer>();
  memory->setData(bytes);
  memory->open(QIODevice::ReadOnly);
  return memory;
}

Replacement::~Replacement() {
  discard();
  releaseHeld();
}

namespace {

// Memory for direct files' bytes, handed back and taken again: a fresh
// block of a quarter megabyte costs the system a page fault per page and a
// flush of every processor's address cache when it is given back, more
// than the conversion itself. As many are kept as can be on the way.
class HeldBlocks {
 public:
  char* Take(qint64 capacity, size_t alignment, qint64* got) {
    {
      std::lock_guard lock(mutex_);
      for (size_t i = 0; i < free_.size(); ++i) {
        if (free_[i].capacity < capacity || free_[i].alignment != alignment) continue;
        const Block block = free_[i];
        free_.erase(free_.begin() + qsizetype(i));
        *got = block.capacity;
        return block.bytes;
      }
    }
    *got = capacity;
    return static_cast<char*>(::operator new(size_t(capacity), std::align_val_t(alignment)));
  }
  void GiveBack(char* bytes, qint64 capacity, size_t alignment) {
    {
      std::lock_guard lock(mutex_);
      if (free_.size() < size_t(MostOnTheWay + WriterThreads)) {
        free_.push_back({bytes, capacity, alignment});
        return;
      }
    }
    ::operator delete(bytes, std::align_val_t(alignment));
  }

 private:
  struct Block {
    char* bytes;
    qint64 capacity;
    size_t alignment;
  };
  std::mutex mutex_;
  std::vector<Block> free_;
};

HeldBlocks& heldBlocks() {
  static HeldBlocks* const blocks = new HeldBlocks;
  return *blocks;
}

}  // namespace

char* Replacement::Reserve(qint64 length) {
  if (!direct_ || handle_ < 0 || failed_ || end_ != 0 || pos() != 0 || length <= 0 ||
      !holdRoom(length))
    return nullptr;
  end_ = length;
  QIODevice::seek(length);
  return held_;
}

bool Replacement::hold(const char* data, qint64 size) {
  const qint64 at = pos();
  const qint64 end = at + size;
  if (!holdRoom(end)) return false;
  // What no write reached reads as zeros, as a file's gaps do.
  if (at > end_) std::memset(held_ + end_, 0, size_t(at - end_));
  std::memcpy(held_ + at, data, size_t(size));
  end_ = qMax(end_, end);
  return true;
}

bool Replacement::holdRoom(qint64 end) {
  if (end > heldCapacity_) {
    const qint64 wanted = (end + alignment_ - 1) / alignment_ * alignment_;
    char* grown = nullptr;
    qint64 capacity = 0;
    try {
      grown = heldBlocks().Take(wanted, size_t(memoryAlignment_), &capacity);
    } catch (const std::bad_alloc&) {
      return false;
    }
    if (end_ > 0) std::memcpy(grown, held_, size_t(end_));
    releaseHeld();
    held_ = grown;
    heldCapacity_ = capacity;
  }
  return true;
}

void Replacement::releaseHeld() {
  if (held_) heldBlocks().GiveBack(held_, heldCapacity_, size_t(memoryAlignment_));
  held_ = nullptr;
  heldCapacity_ = 0;
}

void Replacement::awaitWriting() {
  if (!writing_.valid()) return;
  try {
    writing_.get();
  } catch (...) {
    failed_ = true;
    if (reason_.isEmpty()) reason_ = QStringLiteral("the bytes could not be written");
  }
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
