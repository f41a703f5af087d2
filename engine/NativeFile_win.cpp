// The file layer on Windows. A run's target folder is held open without
// sharing deletion, so that while the run holds it the folder can be
// neither renamed nor removed nor replaced; names in it are then reached
// through its path safely. The run's lock is a hidden file in the folder
// that nobody else may open and that the system removes when the run ends,
// however it ends.
#include <windows.h>

#include <QDir>
#include <QFileInfo>

#include "engine/NativeFile.h"
#include "engine/NativeFilePrivate.h"

namespace NativeFile {
namespace {

LPCWSTR wide(const QString& path) {
  return reinterpret_cast<LPCWSTR>(path.utf16());
}

HANDLE asHandle(qintptr handle) {
  return reinterpret_cast<HANDLE>(handle);
}

QString native(const QString& path) {
  return QDir::toNativeSeparators(path);
}

QString systemReason(DWORD error) {
  wchar_t* text = nullptr;
  FormatMessageW(
      FORMAT_MESSAGE_ALLOCATE_BUFFER | FORMAT_MESSAGE_FROM_SYSTEM | FORMAT_MESSAGE_IGNORE_INSERTS,
      nullptr, error, 0, reinterpret_cast<LPWSTR>(&text), 0, nullptr);
  QString reason = text ? QString::fromWCharArray(text).trimmed() : QString::number(error);
  LocalFree(text);
  return reason;
}

Entry entryAt(const QString& path, QString* why) {
  const DWORD attributes = GetFileAttributesW(wide(native(path)));
  if (attributes == INVALID_FILE_ATTRIBUTES) {
    const DWORD error = GetLastError();
    if (error == ERROR_FILE_NOT_FOUND || error == ERROR_PATH_NOT_FOUND) return Entry::None;
    if (why) *why = systemReason(error);
    return Entry::Unknown;
  }
  // A link to a folder carries the folder mark and is left alone like one.
  if (attributes & (FILE_ATTRIBUTE_DIRECTORY | FILE_ATTRIBUTE_HIDDEN | FILE_ATTRIBUTE_SYSTEM)) {
    return Entry::Unlisted;
  }
  if (attributes & FILE_ATTRIBUTE_REPARSE_POINT) return Entry::File;
  return attributes & FILE_ATTRIBUTE_READONLY ? Entry::ReadOnly : Entry::File;
}

Operation operation(Change change, const Folder& folder, const QString& name,
                    const QString& to = {}) {
  Operation made;
  made.change = change;
  made.folder = folder.Path();
  made.name = name;
  made.to = to;
  return made;
}

bool isSystemFile(const QString& path) {
  const DWORD attributes = GetFileAttributesW(wide(native(path)));
  return attributes != INVALID_FILE_ATTRIBUTES && (attributes & FILE_ATTRIBUTE_SYSTEM) != 0;
}

}  // namespace

int LastSystemError() {
  return static_cast<int>(GetLastError());
}

void SetSystemError(int error) {
  SetLastError(static_cast<DWORD>(error));
}

// Windows names are UTF-16 already: nothing needs carrying.
QByteArray EncodeName(const QString& path) {
  return path.toUtf8();
}

QString DecodeName(const QByteArray& name) {
  return QString::fromUtf8(name);
}

bool IsAllowedInName(QChar c) {
  return c.unicode() >= 32 && !QStringLiteral("\\/:*?\"<>|").contains(c);
}

bool FlushesAsWhole(quint64 fileSystemType) {
  Q_UNUSED(fileSystemType);
  return false;
}

// Files are flushed one by one here in any case: nothing asks.
qint64 SystemUnwrittenBytes() {
  return -1;
}

std::unique_ptr<QIODevice> OpenRegularForRead(const QString& path, QString* why) {
  // Only the pipe namespace holds pipes on Windows, which no listed file
  // name reaches; an ordinary open cannot block here.
  const QFileInfo info(path);
  if (!info.exists()) {
    if (why) *why = QStringLiteral("the source is not there");
    return nullptr;
  }
  if (!info.isFile()) {
    if (why) {
      *why = info.isDir() ? QStringLiteral("the source is a folder")
                          : QStringLiteral("the source is not a regular file");
    }
    return nullptr;
  }
  auto file = std::make_unique<QFile>(path);
  if (!file->open(QIODevice::ReadOnly | QIODevice::Unbuffered)) {
    if (why) *why = QStringLiteral("the source cannot be read: ") + file->errorString();
    return nullptr;
  }
  if (file->size() > WholeReadLimit) return file;
  const QByteArray bytes = file->readAll();  // a file that shrank is taken as it was read
  return InMemory(bytes);
}

std::optional<Identity> IdentityOf(const QString& path, bool followLinks) {
  DWORD flags = FILE_FLAG_BACKUP_SEMANTICS;
  if (!followLinks) flags |= FILE_FLAG_OPEN_REPARSE_POINT;
  HANDLE file =
      CreateFileW(wide(native(path)), 0, FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE,
                  nullptr, OPEN_EXISTING, flags, nullptr);
  if (file == INVALID_HANDLE_VALUE) return std::nullopt;
  BY_HANDLE_FILE_INFORMATION info{};
  const bool known = GetFileInformationByHandle(file, &info);
  CloseHandle(file);
  if (!known) return std::nullopt;
  return Identity{info.dwVolumeSerialNumber,
                  (quint64(info.nFileIndexHigh) << 32) | info.nFileIndexLow};
}

bool IsReadableFolder(const QString& path) {
  const QFileInfo folder(path);
  return !path.isEmpty() && folder.isDir() && folder.isReadable() && QDir(path).isReadable();
}

QList<FolderEntry> ListEntries(const QString& folder) {
  // Hidden files, system files and broken links stay out of a listing of
  // files, as they do in the system's own file lists.
  const QDir dir(folder);
  QList<FolderEntry> entries;
  const QFileInfoList infos = dir.entryInfoList(
      QDir::AllEntries | QDir::Hidden | QDir::System | QDir::NoDotAndDotDot, QDir::Unsorted);
  for (const QFileInfo& info : infos) {
    const QString path = info.filePath();
    QString why;
    if (isSystemFile(path)) {
      why = QStringLiteral("it is a system file");
    } else if (info.isHidden()) {
      why = QStringLiteral("it is hidden");
    } else if (info.isSymLink() && !info.exists()) {
      why = QStringLiteral("it is a link that leads nowhere");
    } else if (info.isDir()) {
      why = info.isSymLink() ? QStringLiteral("it is a link to a folder")
                             : QStringLiteral("it is a folder");
    } else if (!info.isFile()) {
      why = QStringLiteral("it is not a regular file");
    }
    entries.append({info.fileName(), why});
  }
  return entries;
}

bool IsListedFile(const QString& path) {
  const QFileInfo info(path);
  return info.isFile() && !info.isHidden() && !isSystemFile(path);
}

std::shared_ptr<Folder> Folder::Open(const QString& path) {
  HANDLE handle =
      CreateFileW(wide(native(path)), FILE_LIST_DIRECTORY, FILE_SHARE_READ | FILE_SHARE_WRITE,
                  nullptr, OPEN_EXISTING, FILE_FLAG_BACKUP_SEMANTICS, nullptr);
  if (handle == INVALID_HANDLE_VALUE) return nullptr;
  std::shared_ptr<Folder> folder(new Folder);
  folder->handle_ = reinterpret_cast<qintptr>(handle);
  folder->path_ = WithSeparator(path);
  return folder;
}

Folder::~Folder() {
  if (lock_ != -1) CloseHandle(asHandle(lock_));
  if (handle_ != -1) CloseHandle(asHandle(handle_));
}

Folder::Lock Folder::TryLock() {
  HANDLE lock = CreateFileW(wide(native(path_ + QStringLiteral(".~quillet.lock"))),
                            GENERIC_WRITE | DELETE, 0, nullptr, CREATE_ALWAYS,
                            FILE_ATTRIBUTE_HIDDEN | FILE_FLAG_DELETE_ON_CLOSE, nullptr);
  if (lock != INVALID_HANDLE_VALUE) {
    lock_ = reinterpret_cast<qintptr>(lock);
    return Lock::Taken;
  }
  // Held by another run, or on its way out with that run's end.
  const DWORD error = GetLastError();
  return error == ERROR_SHARING_VIOLATION || error == ERROR_ACCESS_DENIED ? Lock::Busy
                                                                          : Lock::Unsupported;
}

bool Folder::HeldByAnotherRun() const {
  HANDLE lock = CreateFileW(wide(native(path_ + QStringLiteral(".~quillet.lock"))), GENERIC_READ,
                            FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE, nullptr,
                            OPEN_EXISTING, FILE_ATTRIBUTE_NORMAL, nullptr);
  if (lock != INVALID_HANDLE_VALUE) {
    CloseHandle(lock);
    return false;
  }
  const DWORD error = GetLastError();
  return error == ERROR_SHARING_VIOLATION || error == ERROR_ACCESS_DENIED;
}

bool Folder::MayCreateFiles() const {
  DWORD flags = 0;
  if (GetVolumeInformationByHandleW(asHandle(handle_), nullptr, 0, nullptr, nullptr, &flags,
                                    nullptr, 0) &&
      (flags & FILE_READ_ONLY_VOLUME)) {
    return false;
  }
  // Asking for the right to add a file opens the folder only where its
  // permissions grant that right.
  HANDLE adding = CreateFileW(wide(native(path_)), FILE_ADD_FILE,
                              FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE, nullptr,
                              OPEN_EXISTING, FILE_FLAG_BACKUP_SEMANTICS, nullptr);
  if (adding == INVALID_HANDLE_VALUE) return false;
  CloseHandle(adding);
  return true;
}

Entry Folder::EntryAt(const QString& name, QString* why) const {
  return entryAt(path_ + name, why);
}

std::optional<Identity> Folder::IdentityOf(const QString& name) const {
  return NativeFile::IdentityOf(path_ + name, false);
}

// Windows takes names that differ only in letter case for one name.
bool Folder::systemIgnoresCase() const {
  return true;
}

void Folder::RemoveLeftovers() {
  const QDir dir(path_);
  const QStringList names =
      dir.entryList({QStringLiteral(".~quillet-*.tmp~")},
                    QDir::Files | QDir::Hidden | QDir::System | QDir::NoSymLinks);
  for (const QString& name : names) {
    if (!IsTemporaryName(name)) continue;
    const QString path = native(dir.filePath(name));
    SetFileAttributesW(wide(path), FILE_ATTRIBUTE_NORMAL);
    Made([&] { return operation(Change::Unlink, *this, name); },
         [&] { return DeleteFileW(wide(path)) != 0; });
  }
}

std::unique_ptr<Replacement> Folder::Create(const QString& name, QString* why) {
  std::unique_ptr<Replacement> file(new Replacement(shared_from_this(), name));
  DWORD error = 0;
  for (int attempt = 0; attempt < 100; ++attempt) {
    const QString temporary = TemporaryName();
    HANDLE handle = INVALID_HANDLE_VALUE;
    Made([&] { return operation(Change::Create, *this, temporary); },
         [&] {
           handle = CreateFileW(wide(native(path_ + temporary)), GENERIC_WRITE, 0, nullptr,
                                CREATE_NEW, FILE_ATTRIBUTE_HIDDEN, nullptr);
           return handle != INVALID_HANDLE_VALUE;
         });
    if (handle != INVALID_HANDLE_VALUE) {
      file->temporaryName_ = temporary;
      file->handle_ = reinterpret_cast<qintptr>(handle);
      file->open(QIODevice::WriteOnly);
      return file;
    }
    error = GetLastError();
    if (error != ERROR_FILE_EXISTS && error != ERROR_ALREADY_EXISTS) break;
  }
  if (why) *why = QStringLiteral("the target could not be created: ") + systemReason(error);
  return nullptr;
}

bool Folder::FlushFileSystem() {
  return false;
}

bool Folder::Flush(QString* why) {
  // Each move was made with MOVEFILE_WRITE_THROUGH, which made its new name
  // durable already: nothing is left to flush here.
  Q_UNUSED(why);
  return true;
}

qint64 Replacement::size() const {
  LARGE_INTEGER size{};
  return handle_ != -1 && GetFileSizeEx(asHandle(handle_), &size) ? size.QuadPart : 0;
}

bool Replacement::seek(qint64 position) {
  LARGE_INTEGER to{};
  to.QuadPart = position;
  if (handle_ == -1 || !SetFilePointerEx(asHandle(handle_), to, nullptr, FILE_BEGIN)) return false;
  return QIODevice::seek(position);
}

qint64 Replacement::writeData(const char* data, qint64 size) {
  qint64 written = 0;
  const bool made = Made(
      [&] {
        Operation write = operation(Change::Write, *folder_, temporaryName_);
        write.offset = pos();
        write.data = QByteArrayView(data, size);
        return write;
      },
      [&] {
        while (written < size) {
          DWORD chunk = 0;
          const DWORD wanted = static_cast<DWORD>(qMin<qint64>(size - written, 1 << 30));
          if (!WriteFile(asHandle(handle_), data + written, wanted, &chunk, nullptr)) return false;
          if (chunk == 0) {
            SetLastError(ERROR_DISK_FULL);
            return false;
          }
          written += chunk;
        }
        return true;
      });
  if (!made) {
    fail(static_cast<int>(GetLastError()));
    return -1;
  }
  return written;
}

// Windows has no small limit on open files: the file stays open until it
// is placed, and is flushed through the handle it was written with.
bool Replacement::FinishWriting() {
  return handle_ != -1 && !failed_;
}

// The system's cache manager lets go of written bytes on its own.
void Replacement::DropCached() {}

bool Replacement::Flush() {
  if (handle_ == -1 || failed_) return false;
  const bool flushed = Made([&] { return operation(Change::FlushFile, *folder_, temporaryName_); },
                            [&] { return FlushFileBuffers(asHandle(handle_)) != 0; });
  return flushed || fail(static_cast<int>(GetLastError()));
}

Replacement::Placed Replacement::Place(bool replace) {
  if (handle_ == -1 || failed_) {
    discard();
    return Placed::Failed;
  }
  // Until here the file was held unshared, so that nobody could put
  // anything else at its name; the move follows the close at once.
  CloseHandle(asHandle(handle_));
  handle_ = -1;
  QIODevice::close();
  const QString from = native(folder_->Path() + temporaryName_);
  const DWORD flags = MOVEFILE_WRITE_THROUGH | (replace ? MOVEFILE_REPLACE_EXISTING : 0);
  // The temporary file is hidden only while it is not yet the target. A
  // move with write-through returns once its new name is durable: it is a
  // flush of the folder as well.
  const bool placed =
      SetFileAttributesW(wide(from), FILE_ATTRIBUTE_NORMAL) &&
      Made(
          [&] {
            return operation(replace ? Change::Rename : Change::RenameNoReplace, *folder_,
                             temporaryName_, name_);
          },
          [&] { return MoveFileExW(wide(from), wide(native(TargetPath())), flags) != 0; }) &&
      Made([&] { return operation(Change::FlushFolder, *folder_, {}); }, [] { return true; });
  if (!placed) {
    const DWORD error = GetLastError();
    fail(static_cast<int>(error));
    discard();
    return error == ERROR_ALREADY_EXISTS || error == ERROR_FILE_EXISTS ? Placed::Exists
                                                                       : Placed::Failed;
  }
  temporaryName_.clear();
  return Placed::Done;
}

bool Replacement::fail(int error) {
  failed_ = true;
  if (reason_.isEmpty()) reason_ = systemReason(static_cast<DWORD>(error));
  return false;
}

void Replacement::discard() {
  if (handle_ != -1) CloseHandle(asHandle(handle_));
  handle_ = -1;
  if (!temporaryName_.isEmpty()) {
    const QString path = native(folder_->Path() + temporaryName_);
    SetFileAttributesW(wide(path), FILE_ATTRIBUTE_NORMAL);
    Made([&] { return operation(Change::Unlink, *folder_, temporaryName_); },
         [&] { return DeleteFileW(wide(path)) != 0; });
  }
  temporaryName_.clear();
  QIODevice::close();
}

}  // namespace NativeFile
