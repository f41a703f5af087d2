#pragma once

#include <QByteArray>
#include <QByteArrayView>
#include <QIODevice>
#include <QString>
#include <QStringList>
#include <atomic>
#include <future>
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
  Unknown,   // the system cannot look the name up (too long for it, a failing disk)
};

// Whether path names a folder whose entries can be read.
bool IsReadableFolder(const QString& path);

// An entry of a folder, and why a listing of files leaves it out: empty for
// a file the listing shows (a regular file, or a link to one), else "it is a
// folder", "it is a pipe", "it is a link that leads nowhere", "it is hidden"
// and the like.
struct FolderEntry {
  QString name;
  QString passedOver;
};

// Every entry of a folder, unsorted. Names that are not valid in the
// system's character set are carried whole (see EncodeName). Empty when the
// folder cannot be read.
QList<FolderEntry> ListEntries(const QString& folder);

// Whether the file at path is one a listing of files shows.
bool IsListedFile(const QString& path);

// Whether a file name may hold the character: never a path separator or a
// character the system forbids in names.
bool IsAllowedInName(QChar c);

// A folder's path as the program joins names to it: with one separator at
// its end. Empty text stays empty.
QString WithSeparator(const QString& folder);

// Whether a target name ending in the extension could be the name of a
// run's temporary file; the run refuses such an extension, so that the
// files it removes as its own leftovers can never be targets.
bool CouldEndTemporaryName(const QString& extension);

// A path as the system takes it, and back. On Linux a name is bytes: bytes
// that are not UTF-8 travel as lone surrogates (U+DC80 to U+DCFF), so that
// such a file can be read and its target named with the same bytes.
QByteArray EncodeName(const QString& path);
QString DecodeName(const QByteArray& name);

// Whether one flush of a whole file system of this type (as the system
// names types) is known to reach its disk with every file's bytes, and to
// report a failure. Network and FUSE file systems are not: each file is
// flushed on its own there.
bool FlushesAsWhole(quint64 fileSystemType);

// The bytes the system holds written but not yet on a disk, every
// program's on every file system; -1 where the system does not tell.
qint64 UnwrittenBytes();

// Every change the file layer makes to a disk, in the order it asks them of
// the system. Names are those in the held folder. The three flushes are the
// barriers: FlushFile puts one file's bytes and length on the disk,
// FlushFileSystem every file's of the folder's file system, FlushFolder the
// folder's names (created, renamed, linked, removed). Nothing else promises
// that anything reached the disk.
enum class Change : quint8 {
  Create,           // name: a new, empty temporary file
  Write,            // name: data at offset
  FlushFile,        // name
  FlushFileSystem,  //
  Rename,           // name takes the name to, whatever stood there
  RenameNoReplace,  // name takes the name to, unless something stands there
  Link,             // to becomes a second name of name's file, unless something stands there
  Unlink,           // name is removed
  FlushFolder,      //
};

struct Operation {
  Change change = Change::Create;
  QString folder;  // the held folder's path, with its separator
  QString name;
  QString to;
  qint64 offset = 0;
  QByteArrayView data;  // valid only during the call
  bool direct = false;  // Create, Write: the file is written bypassing the system's cache
};

// What sees every change before and after the system makes it, and what may
// stand in for what the system tells of itself: a failing disk, a full one,
// a network file system, a recording of a run. Only one at a time; it is
// called from every thread that writes, flushes or places files.
class Observer {
 public:
  virtual ~Observer() = default;
  // Non-zero: the change fails with this error of the system (errno, or on
  // Windows a GetLastError code) without being asked of the system.
  virtual int Before(const Operation& operation) {
    Q_UNUSED(operation);
    return 0;
  }
  // The system's answer: 0 when the change was made, else its error.
  virtual void After(const Operation& operation, int error) {
    Q_UNUSED(operation);
    Q_UNUSED(error);
  }
  // In place of the system's figure, when set.
  virtual std::optional<qint64> UnwrittenBytes() { return std::nullopt; }
  // In place of what the folder's file system type says, when set.
  virtual std::optional<bool> FlushesAsWhole() { return std::nullopt; }
  // In place of whether the folder takes two names that differ only in
  // letter case for one, when set.
  virtual std::optional<bool> IgnoresCase() { return std::nullopt; }
  // In place of whether the folder's file system takes writes that bypass
  // the system's cache, when set: false makes every write take the
  // buffered path.
  virtual std::optional<bool> WritesDirect() { return std::nullopt; }
};

// Installs the observer (nullptr: none); it must outlive every change made
// while it is installed.
void SetObserver(Observer* observer);

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
  // Whether another run holds the folder now, found without taking it.
  bool HeldByAnotherRun() const;

  // What stands at a name in the folder, and which file it is (a link
  // itself, never what it leads to).
  // Sets *why to the system's reason when the entry is Unknown.
  Entry EntryAt(const QString& name, QString* why = nullptr) const;
  std::optional<Identity> IdentityOf(const QString& name) const;

  // Whether the folder takes two names that differ only in letter case for
  // one name, as Windows and some file systems elsewhere do: then two
  // targets that differ so are one file. Found once per folder.
  bool IgnoresCase() const;

  // Removes temporary files that a run killed half way left in the folder.
  // Only a run holding the lock may do this: others' files are in use.
  void RemoveLeftovers();

  // Whether new files can be made in the folder: tried, not guessed from
  // permissions, which say nothing of a read-only disk.
  bool CanCreateFiles();
  // The same as far as it can be told without making a file: from the
  // folder's permissions for this program and whether its disk is mounted
  // read-only. A look at what a run would do writes nothing.
  bool MayCreateFiles() const;

  // A new file that is to take the name, written to a temporary file in
  // the folder. Null, with the system's reason in why, when none can be made.
  std::unique_ptr<Replacement> Create(const QString& name, QString* why = nullptr);

  // Whether written files are flushed with one flush of the whole file
  // system (FlushFileSystem) rather than one by one (Replacement::Flush).
  bool FlushesAsWhole() const;
  bool FlushFileSystem();

  // Whether the folder's next files go through the system's cache even
  // where they could bypass it. Files flushed with one flush of the whole
  // file system are written back from the cache in requests as large as the
  // disk takes, sooner than a few writer threads write them bypassing it;
  // bypassing pays where each file is flushed on its own.
  void PreferCache(bool prefer) { prefersCache_ = prefer; }

  // Makes the folder's entries (new names, replaced names) durable; the
  // system's reason in why when it cannot.
  bool Flush(QString* why = nullptr);

 private:
  Folder() = default;
  friend class Replacement;

  QString path_;
  qintptr handle_ = -1;
  qintptr lock_ = -1;
  quint64 type_ = 0;
  std::atomic<bool> noReplaceRenames_{true};  // until the file system says otherwise
  std::atomic<bool> links_{true};             // the same
  // Whether new files are written bypassing the system's cache: unless the
  // file system is memory, until it refuses such a write.
  std::atomic<bool> writesDirect_{false};
  std::atomic<bool> prefersCache_{false};
  // The offsets and lengths such writes must be multiples of, and the
  // alignment of their memory; as the file system tells, else a page.
  std::atomic<int> directAlignment_{0};
  std::atomic<int> directMemoryAlignment_{0};
  bool wantsDirect() const;
  // What the system tells of the folder's letter case (platform half).
  bool systemIgnoresCase() const;
  mutable std::optional<bool> ignoresCase_;
};

// A file that is to take a name in a folder as a whole. Its bytes go to a
// temporary file in the folder, hidden and named plainly as the program's
// (".~quillet-XXXXXX.tmp~"), whose length never depends on the name. Only
// Place() puts it at its name; destroying it unplaced removes the temporary
// file.
class Replacement : public QIODevice {
 public:
  ~Replacement() override;

  const QString& Name() const { return name_; }
  QString TargetPath() const { return folder_->Path() + name_; }

  // Ends the writing: starts the bytes on their way to the disk without
  // waiting and lets go of the open file, so that a run holding many
  // written files never holds as many open files. False when a write failed.
  // A file written bypassing the system's cache is written out now, on one
  // of a few writer threads, so that several wait for the disk at once; a
  // second call waits for that write and tells how it went.
  bool FinishWriting();

  // Whether the file's bytes go to the disk bypassing the system's cache,
  // as they do wherever the file system takes such writes.
  bool WritesDirect() const { return direct_; }

  // For a file that bypasses the cache and has nothing written yet: the
  // memory its first length bytes go to the disk from, for the caller to
  // fill every byte of, which spares a copy; the file then holds those
  // bytes as if written. Null for any other file, which takes write().
  char* Reserve(qint64 length);

  // Waits until the bytes are on the disk.
  bool Flush();

  // Lets the system forget its copy of a flushed file's bytes: a run never
  // reads a target again, and the memory this frees is what the next files
  // are written into, rather than pushing out what the user has cached.
  void DropCached();

  // The system's own words for the first thing that failed ("No space left
  // on device"); empty while nothing has.
  const QString& Reason() const { return reason_; }

  enum class Placed { Done, Exists, Failed };
  // Moves the file to its name in one step. A link standing there is
  // replaced itself, never followed. Without replace, whatever stands at
  // the name stays and the answer is Exists. On anything but Done the
  // temporary file is removed, and only it: what another program put at
  // its name meanwhile is neither placed nor removed.
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
  // Notes the system's error as the file's failure; false, to return.
  bool fail(int error);
  // Writes the held bytes out to the file and lets go of it; on a writer
  // thread for a direct file.
  void writeOut();
  // Waits for the writer thread, if it has the file.
  void awaitWriting();
  // Opens the written file again, for a flush or to drop its cached bytes
  // (Unix).
  int reopen(int access) const;
  // Whether the file at the temporary name is still the one this run made,
  // not something another program put there since (Unix).
  bool atItsName() const;
  // Something else stands at the temporary name: the file fails and the
  // name is never touched again; false, to return (Unix).
  bool leaveName();
  // Keeps a direct file's bytes in memory until they are written out.
  bool hold(const char* data, qint64 size);
  // Room in that memory for the file's bytes up to end.
  bool holdRoom(qint64 end);
  void releaseHeld();

  std::shared_ptr<Folder> folder_;
  QString name_;
  QString temporaryName_;
  qintptr handle_ = -1;
  Identity identity_;
  qint64 end_ = 0;  // its length: the end of its furthest write
  bool failed_ = false;
  QString reason_;
  // A direct file's bytes are held here, in memory aligned as such writes
  // need, until FinishWriting writes them out in one piece.
  bool direct_ = false;
  int alignment_ = 0;
  int memoryAlignment_ = 0;
  char* held_ = nullptr;
  qint64 heldCapacity_ = 0;
  std::future<void> writing_;
};

}  // namespace NativeFile
