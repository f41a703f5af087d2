#include "batch/TargetFolder.h"

#include <algorithm>
#include <atomic>
#include <future>
#include <system_error>

using Placed = NativeFile::Replacement::Placed;
using Result = TargetFolder::Placing::Result;

namespace {

// A whole flush waits for every file of the file system with bytes on the
// way to the disk, other programs' too: beside a program streaming
// gigabytes into the same disk, it would wait for all of them. So it is
// used only while the system holds little unwritten beyond the group's own
// bytes: the margin leaves room for the group being written meanwhile and
// for what other programs keep unwritten at any ordinary moment.
constexpr qint64 OthersMargin = qint64(256) << 20;

bool othersWaiting(qint64 ownBytes) {
  return NativeFile::UnwrittenBytes() > 2 * ownBytes + OthersMargin;
}

// Flushes each file on its own, from several threads at once: a journaled
// file system gathers flushes that wait together into one commit of its
// journal and one flush of the disk's cache, so that a group costs a few of
// them rather than one for every file, and waits for its own files only.
constexpr int FlushThreads = 32;

void flushEach(std::vector<TargetFolder::Placing>& group, std::vector<char>& flushed) {
  std::atomic<size_t> next{0};
  auto flushSome = [&] {
    for (size_t i = next++; i < group.size(); i = next++) flushed[i] = group[i].file->Flush();
  };
  std::vector<std::future<void>> helpers;
  const size_t threads = std::min<size_t>(FlushThreads, group.size());
  for (size_t i = 1; i < threads; ++i) {
    try {
      helpers.push_back(std::async(std::launch::async, flushSome));
    } catch (const std::system_error&) {
      break;  // no more threads to be had: fewer do the work
    }
  }
  flushSome();
  for (auto& helper : helpers) helper.get();
}

}  // namespace

std::unique_ptr<TargetFolder> TargetFolder::Begin(const QString& path, bool writing,
                                                  Refusal* refusal) {
  auto folder = NativeFile::Folder::Open(path);
  if (!folder) {
    *refusal = Refusal::CannotOpen;
    return nullptr;
  }
  // A look at what a run would do refuses what the run would refuse, as far
  // as that can be told without taking the folder or writing into it.
  if (!writing) {
    *refusal = folder->HeldByAnotherRun() ? Refusal::Busy
               : folder->MayCreateFiles() ? Refusal::None
                                          : Refusal::CannotWrite;
    if (*refusal != Refusal::None) return nullptr;
  } else {
    switch (folder->TryLock()) {
      case NativeFile::Folder::Lock::Busy: *refusal = Refusal::Busy; return nullptr;
      // Temporary files of another run cannot be told from leftovers
      // without the lock: they stay.
      case NativeFile::Folder::Lock::Unsupported: break;
      case NativeFile::Folder::Lock::Taken: folder->RemoveLeftovers(); break;
    }
    if (!folder->CanCreateFiles()) {
      *refusal = Refusal::CannotWrite;
      return nullptr;
    }
  }
  *refusal = Refusal::None;
  folder->PreferCache(folder->FlushesAsWhole() && !othersWaiting(0));
  return std::unique_ptr<TargetFolder>(new TargetFolder(std::move(folder)));
}

std::unique_ptr<NativeFile::Replacement> TargetFolder::Write(const QString& name, QString* why) {
  return folder_->Create(name, why);
}

void TargetFolder::Place(std::vector<Placing>& group) noexcept {
  try {
    place(group);
  } catch (...) {
    for (Placing& placing : group) {
      if (placing.result != Result::Pending) continue;
      placing.result = Result::Failed;
      placing.reason = QStringLiteral("the target could not be put in place");
      placing.file.reset();
    }
  }
}

void TargetFolder::place(std::vector<Placing>& group) {
  if (group.empty()) return;
  // A file written bypassing the system's cache may still be on its way
  // from a writer thread: this waits for it and tells how its write went.
  std::vector<char> wrote(group.size());
  bool written = true;
  qint64 ownBytes = 0;
  for (size_t i = 0; i < group.size(); ++i) {
    ownBytes += group[i].file->size();
    wrote[i] = group[i].file->FinishWriting();
    written = wrote[i] && written;
  }
  // One flush of the whole file system where it is known to reach the
  // disk with every file and has little else to write; each file on its
  // own everywhere else, and when the whole flush failed, to tell which
  // file it was.
  const bool asWhole = folder_->FlushesAsWhole() && !othersWaiting(ownBytes);
  // The next files are written the way that suits how this group was
  // flushed: through the cache for a whole flush, else bypassing it.
  folder_->PreferCache(asWhole);
  const bool flushedAsWhole = written && asWhole && folder_->FlushFileSystem();
  std::vector<char> flushed(group.size(), flushedAsWhole);
  if (!flushedAsWhole) flushEach(group, flushed);
  for (size_t i = 0; i < group.size(); ++i)
    if (flushed[i] && !group[i].file->WritesDirect()) group[i].file->DropCached();
  bool anyPlaced = false;
  for (size_t i = 0; i < group.size(); ++i) {
    Placing& placing = group[i];
    if (!flushed[i] || !wrote[i]) {
      placing.result = Result::Failed;
      placing.reason = (wrote[i] ? QStringLiteral("the target could not be written to the disk: ")
                                 : QStringLiteral("the target could not be written: ")) +
                       placing.file->Reason();
      placing.file.reset();
      continue;
    }
    switch (placing.file->Place(placing.replace)) {
      case Placed::Done:
        placing.result = Result::Placed;
        anyPlaced = true;
        break;
      case Placed::Exists:
        placing.result = Result::Kept;
        placing.reason = QStringLiteral("the target exists and was kept");
        break;
      case Placed::Failed:
        placing.result = Result::Failed;
        placing.reason =
            QStringLiteral("the target could not be put in place: ") + placing.file->Reason();
        break;
    }
    placing.file.reset();
  }
  QString why;
  if (anyPlaced && !folder_->Flush(&why)) {
    for (Placing& placing : group) {
      if (placing.result != Result::Placed) continue;
      placing.result = Result::Failed;
      placing.reason = QStringLiteral("the target folder could not be written to the disk: ") + why;
    }
  }
}
