#pragma once

#include <QIODevice>
#include <QString>
#include <memory>
#include <optional>
#include <vector>

// The few file operations that the platform's own file layer has to do for
// the program, because the portable ones cannot promise what a run needs:
// reading a source that can never block, telling what stands at a name
// without following a link, and replacing a target in one step, durably and
// never through a link. Everything platform-specific about files is here.
namespace NativeFile {

// Opens a file for reading only if it is a regular file once any link is
// followed. Opening never blocks, whatever stands at the path (a named pipe
// blocks an ordinary open until a writer comes). Null otherwise.
std::unique_ptr<QIODevice> OpenRegularForRead(const QString& path);

// Which file a name is, for telling whether two names are one entry of a
// folder: the volume and the file's number on it.
struct Identity {
  quint64 volume = 0;
  quint64 file = 0;
  bool operator==(const Identity&) const = default;
};

// The identity of what stands at path, a link itself rather than what it
// points to unless followLinks is set. Nothing when nothing stands there.
std::optional<Identity> IdentityOf(const QString& path, bool followLinks);

enum class Entry {
  None,      // nothing has the name
  File,      // a regular file, or a link (even a dangling one): a target that exists
  ReadOnly,  // a regular file marked read-only: a target its owner means to keep
  Unlisted,  // a folder, a pipe, a device, or a file the system hides
};
Entry EntryAt(const QString& path);

// A file that is to take a name in a folder as a whole. Its bytes go to a
// temporary file beside the name, hidden and named plainly as the program's
// (".~quillet-XXXXXX.tmp"), whose length never depends on the name. Only
// Commit() puts it in place; destroying it uncommitted removes the
// temporary file.
class Replacement : public QIODevice {
 public:
  // Null when no temporary file can be made in the target's folder.
  static std::unique_ptr<Replacement> Create(const QString& targetPath);
  ~Replacement() override;

  // Starts writing the bytes to the disk without waiting for it, so that a
  // later Commit() finds most of the work done.
  void StartWriteBack();

  // Flushes the bytes to the disk (unless FlushTogether() has), then moves
  // the file over the name in one step. Whatever stood at the name (a file, a link) is replaced
  // itself; a link's target is never opened. False when any step failed: the temporary file is then
  // removed and the name left as it was.
  bool Commit();

  QString TargetPath() const { return targetPath_; }
  // The target's folder, with its separator.
  QString Folder() const;

  bool isSequential() const override { return false; }
  qint64 size() const override;
  bool seek(qint64 position) override;

 protected:
  qint64 readData(char* data, qint64 maxSize) override;
  qint64 writeData(const char* data, qint64 size) override;

 private:
  explicit Replacement(const QString& targetPath) : targetPath_(targetPath) {}
  void discard();

  QString targetPath_;
  QString temporaryPath_;
  qintptr handle_ = -1;
  bool failed_ = false;
  bool flushed_ = false;

  friend bool FlushTogether(const std::vector<Replacement*>& files);
};

// Flushes the bytes of files of one folder to the disk with one call where
// the platform has one that reports failures, which costs one wait for the
// disk instead of one per file. False when it did not: each file is then
// flushed by its own Commit(), which tells which one failed.
bool FlushTogether(const std::vector<Replacement*>& files);

// Makes the folder's entries (new names, replaced names) durable. Where the
// platform makes them durable with each file, this does nothing.
bool FlushFolder(const QString& folder);

// Removes temporary files that a run killed half way left in the folder.
void RemoveLeftovers(const QString& folder);

// Whether new files can be made in the folder: tried, not guessed from
// permissions, which say nothing of a read-only disk.
bool CanCreateFilesIn(const QString& folder);

}  // namespace NativeFile
