#pragma once

#include <QString>
#include <memory>
#include <optional>
#include <vector>

#include "engine/NativeFile.h"

// The target folder of a run, taken as a whole from the run's start to its
// end: held open, so that everything the run writes lands in the folder it
// checked; locked, so that no second run writes into it meanwhile or takes
// this run's temporary files for leftovers; and written into only through
// temporary files that take their names in groups, each flushed the way the
// folder's file system honours before its names are given.
class TargetFolder {
 public:
  enum class Refusal { None, CannotOpen, CannotWrite, Busy };

  // Opens the folder. A run that writes also takes the folder's lock and
  // clears what a killed run left; a run that only looks does neither.
  static std::unique_ptr<TargetFolder> Begin(const QString& path, bool writing, Refusal* refusal);

  const QString& Path() const { return folder_->Path(); }
  NativeFile::Entry EntryAt(const QString& name, QString* why = nullptr) const {
    return folder_->EntryAt(name, why);
  }
  std::optional<NativeFile::Identity> IdentityOf(const QString& name) const {
    return folder_->IdentityOf(name);
  }
  // Whether two names that differ only in letter case are one name here.
  bool IgnoresCase() const { return folder_->IgnoresCase(); }

  // Opens a new target for the name; its bytes go to a temporary file until
  // the file is placed. Null, with why, when it cannot be made.
  std::unique_ptr<NativeFile::Replacement> Write(const QString& name, QString* why);

  // A written target on its way to its name. Without replace, whatever
  // stands at the name when the file gets there stays.
  struct Placing {
    std::unique_ptr<NativeFile::Replacement> file;
    bool replace = false;
    enum class Result { Pending, Placed, Kept, Failed } result = Result::Pending;
    QString reason;  // why it was kept or failed
  };

  // Puts a group of written targets at their names: flushes their bytes,
  // moves each to its name under its policy, then makes the names durable.
  // Touches only the group and the held folder, so it may run on a thread
  // of its own, one group at a time. Never throws: a fault ends in the
  // group's files failed, with the reason.
  void Place(std::vector<Placing>& group) noexcept;

 private:
  explicit TargetFolder(std::shared_ptr<NativeFile::Folder> folder) : folder_(std::move(folder)) {}
  void place(std::vector<Placing>& group);

  std::shared_ptr<NativeFile::Folder> folder_;
};
