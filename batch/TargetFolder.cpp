#include "batch/TargetFolder.h"

#include "engine/Lib_File.h"

using Placed = NativeFile::Replacement::Placed;
using Result = TargetFolder::Placing::Result;

std::unique_ptr<TargetFolder> TargetFolder::Begin(const QString& path, bool writing,
                                                  Refusal* refusal) {
  auto folder = NativeFile::Folder::Open(path);
  if (!folder) {
    *refusal = Refusal::CannotOpen;
    return nullptr;
  }
  if (writing) {
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
  return std::unique_ptr<TargetFolder>(new TargetFolder(std::move(folder)));
}

bool TargetFolder::Write(int fileNumber, const QString& name, QString* why) {
  return Lib_File::OpenForReplace(fileNumber, *folder_, name, why);
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
  bool written = true;
  for (Placing& placing : group) written = placing.file->FinishWriting() && written;
  // One flush of the whole file system where it is known to reach the
  // disk with every file; each file on its own everywhere else, and when
  // the whole flush failed, to tell which file it was.
  const bool flushedAsWhole = written && folder_->FlushesAsWhole() && folder_->FlushFileSystem();
  bool anyPlaced = false;
  for (Placing& placing : group) {
    if (!flushedAsWhole && !placing.file->Flush()) {
      placing.result = Result::Failed;
      placing.reason = QStringLiteral("the target could not be written to the disk");
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
        placing.reason = QStringLiteral("the target could not be put in place");
        break;
    }
    placing.file.reset();
  }
  if (anyPlaced && !folder_->Flush()) {
    for (Placing& placing : group) {
      if (placing.result != Result::Placed) continue;
      placing.result = Result::Failed;
      placing.reason = QStringLiteral("the target folder could not be written to the disk");
    }
  }
}
