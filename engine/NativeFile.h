#pragma once

#include <QByteArray>
#include <QIODevice>
#include <QString>
#include <QStringList>
#include <atomic>
#include <memory>
#include <optional>

// The few file operations that the platform's own file layer has to do for
// the program, because the portable ones cannot promise what a run needs:
// reading a source that can never block, telling what stands at a name
// without following a link, holding on to a folder while a run writes into
// it, and putting a new file at a name in one step, durably, never through
// a link and, when asked, never over something that appeared there. The
// platform halves are NativeFile_unix.cpp and NativeFile_win.cpp.
namespace NativeFile {

// Opens a file for reading only if it is a regular file once any link is
// followed. Opening never blocks, whatever stands at the path (a named pipe
// blocks an ordinary open until a writer comes). Null otherwise, with the
// reason in why when given.
std::unique_ptr<QIODevice> OpenRegularForRead(const QString& path, QString* why = nullptr);

// Which file a name is, for telling whether two names are one file: the
// volume and the file's number on it.
struct Identity {
  quint64 volume = 0;
  quint64 file = 0;
  bool operator==(const Identity&) const = default;
  auto operator<=>(const Identity&) const = default;
};

// The identity of what stands at path, a link itself rather than what it
// points to unless followLinks is set. Nothing when nothing stands there.
std::optional<Identity> IdentityOf(const QString& path, bool followLinks);

enum class Entry {
  None,      // nothing has the name
  File,      // a regular file, or a link to one or to nothing: a target that exists
  ReadOnly,  // a regular file marked read-only: a target its owner means to keep
  Unlisted,  // a folder or a link to one, a pipe, a device, or a file the system hides
};

// Whether path names a folder whose entries can be read.
bool IsReadableFolder(const QString& path);

// The names of the files a folder listing shows (regular files, links to
// them; no hidden files, on Windows no system files), unsorted. Names that
// are not valid in the system's character set are carried whole (see
// EncodeName). Empty when the folder cannot be read.
QStringList ListFiles(const QString& folder);

// Whether the file at path would be shown by ListFiles.
bool IsListedFile(const QString& path);

// Whether a file name may hold the character: never a path separator or a
// character the system forbids in names.
bool IsAllowedInName(QChar c);

// A path as the system takes it, and back. On Linux a name is bytes: bytes
// that are not UTF-8 travel as lone surrogates (U+DC80 to U+DCFF), so that
// such a file can be read and its target named with the same bytes.
QByteArray EncodeName(const QString& path);
QString DecodeName(const QByteArray& name);

// The flushes asked of the system, counted for the tests: one per file,
// one per whole file system, one per folder.
struct FlushCounts {
  std::atomic<int> files{0};
  std::atomic<int> fileSystems{0};
  std::atomic<int> folders{0};
  // For the tests: this many folder flushes fail, as a disk's might.
  std::atomic<int> failFolders{0};
};
FlushCounts& Flushes();

// Whether one flush of a whole file system of this type (as the system
// names types) is known to reach its disk with every file's bytes, and to
// report a failure. Network and FUSE file systems are not: each file is
// flushed on its own there.
bool FlushesAsWhole(quint64 fileSystemType);

// For the tests: takes every folder's file system as one that must be
// flushed file by file.
void FlushFileByFileEverywhere(bool on);

// The bytes the system holds written but not yet on a disk, every
// program's on every file system; -1 where the system does not tell.
qint64 UnwrittenBytes();

// For the tests: what UnwrittenBytes answers; -1 asks the system again.
void PretendUnwrittenBytes(qint64 bytes);

class Replacement;

// A folder held open for as long as a run writes into it. Everything a run
// does in its target folder is done relative to this handle, so the folder
// cannot be swapped for another (renamed, replaced by a link) under the run.
class Folder : public std::enable_shared_from_this<Folder> {
 public:
  // Null when path is not a folder that can be opened.
  static std::shared_ptr<Folder> Open(const QString& path);
  ~Folder();
  Folder(const Folder&) = delete;
  Folder& operator=(const Folder&) = delete;

  // The folder's path, with its separator, as it was opened.
  const QString& Path() const { return path_; }

  // Takes the folder for this run. Busy when another run holds it. A file
  // system without locks lets every run in: Unsupported.
  enum class Lock { Taken, Busy, Unsupported };
  Lock TryLock();

  // What stands at a name in the folder, and which file it is (a link
  // itself, never what it leads to).
  Entry EntryAt(const QString& name) const;
  std::optional<Identity> IdentityOf(const QString& name) const;

  // Removes temporary files that a run killed half way left in the folder.
  // Only a run holding the lock may do this: others' files are in use.
  void RemoveLeftovers();

  // Whether new files can be made in the folder: tried, not guessed from
  // permissions, which say nothing of a read-only disk.
  bool CanCreateFiles();

  // A new file that is to take the name, written to a temporary file in
  // the folder. Null, with the system's reason in why, when none can be made.
  std::unique_ptr<Replacement> Create(const QString& name, QString* why = nullptr);

  // Whether written files are flushed with one flush of the whole file
  // system (FlushFileSystem) rather than one by one (Replacement::Flush).
  bool FlushesAsWhole() const;
  bool FlushFileSystem();
  // Makes the folder's entries (new names, replaced names) durable.
  bool Flush();

 private:
  Folder() = default;
  friend class Replacement;

  QString path_;
  qintptr handle_ = -1;
  qintptr lock_ = -1;
  quint64 type_ = 0;
  std::atomic<bool> noReplaceRenames_{true};  // until the file system says otherwise
};

// A file that is to take a name in a folder as a whole. Its bytes go to a
// temporary file in the folder, hidden and named plainly as the program's
// (".~quillet-XXXXXX.tmp"), whose length never depends on the name. Only
// Place() puts it at its name; destroying it unplaced removes the temporary
// file.
class Replacement : public QIODevice {
 public:
  ~Replacement() override;

  const QString& Name() const { return name_; }
  QString TargetPath() const { return folder_->Path() + name_; }
  Folder& folder() const { return *folder_; }

  // Ends the writing: starts the bytes on their way to the disk without
  // waiting and lets go of the open file, so that a run holding many
  // written files never holds as many open files. False when a write failed.
  bool FinishWriting();

  // Waits until the bytes are on the disk.
  bool Flush();

  enum class Placed { Done, Exists, Failed };
  // Moves the file to its name in one step. A link standing there is
  // replaced itself, never followed. Without replace, whatever stands at
  // the name stays and the answer is Exists. On anything but Done the
  // temporary file is removed.
  Placed Place(bool replace);

  bool isSequential() const override { return false; }
  qint64 size() const override;
  bool seek(qint64 position) override;

 protected:
  qint64 readData(char* data, qint64 maxSize) override;
  qint64 writeData(const char* data, qint64 size) override;

 private:
  friend class Folder;
  Replacement(std::shared_ptr<Folder> folder, const QString& name)
      : folder_(std::move(folder)), name_(name) {}
  void discard();

  std::shared_ptr<Folder> folder_;
  QString name_;
  QString temporaryName_;
  qintptr handle_ = -1;
  Identity identity_;
  qint64 end_ = 0;  // its length: the end of its furthest write
  bool failed_ = false;
};

}  // namespace NativeFile
