#include "engine/NativeFile.h"

#include <QBuffer>
#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QRandomGenerator>
#include <QRegularExpression>

#ifdef Q_OS_WIN
#include <windows.h>
#else
#include <fcntl.h>
#include <sys/stat.h>
#include <sys/utsname.h>
#include <unistd.h>

#include <cerrno>
#include <cstdio>
#endif

namespace NativeFile {
namespace {

const QString TemporaryPrefix = QStringLiteral(".~quillet-");
const QString TemporarySuffix = QStringLiteral(".tmp");
constexpr int TemporaryRandomLength = 6;

QString temporaryName() {
  static const char Letters[] = "ABCDEFGHIJKLMNOPQRSTUVWXYZabcdefghijklmnopqrstuvwxyz0123456789";
  QString name = TemporaryPrefix;
  for (int i = 0; i < TemporaryRandomLength; ++i) {
    name += QLatin1Char(Letters[QRandomGenerator::global()->bounded(int(sizeof Letters) - 1)]);
  }
  return name + TemporarySuffix;
}

// The folder part of a path, up to and with its last separator.
QString folderOf(const QString& path) {
  qsizetype cut = path.lastIndexOf(u'/');
#ifdef Q_OS_WIN
  cut = qMax(cut, path.lastIndexOf(u'\\'));
#endif
  return path.left(cut + 1);
}

bool isLeftoverName(const QString& name) {
  static const QRegularExpression Pattern(
      QStringLiteral("^\\.~quillet-[A-Za-z0-9]{%1}\\.tmp$").arg(TemporaryRandomLength));
  return Pattern.match(name).hasMatch();
}

// A small file is read whole as it is opened and closed at once: an image
// is read in several pieces, and each piece read from the file would cost a
// seek and a read of its own. Larger files (never an image) stay open.
constexpr qint64 WholeReadLimit = 1024 * 1024;

std::unique_ptr<QIODevice> readWholeIfSmall(std::unique_ptr<QFile> file) {
  const qint64 size = file->size();
  if (size > WholeReadLimit) return file;
  QByteArray bytes(size, Qt::Uninitialized);
  qint64 got = 0;
  while (got < size) {
    const qint64 part = file->read(bytes.data() + got, size - got);
    if (part <= 0) break;
    got += part;
  }
  // A file that shrank while being read is taken as it was read.
  bytes.truncate(got);
  auto memory = std::make_unique<QBuffer>();
  memory->setData(bytes);
  memory->open(QIODevice::ReadOnly);
  return memory;
}

#ifdef Q_OS_WIN

LPCWSTR wide(const QString& path) {
  return reinterpret_cast<LPCWSTR>(path.utf16());
}

HANDLE asHandle(qintptr handle) {
  return reinterpret_cast<HANDLE>(handle);
}

#else

QByteArray encoded(const QString& path) {
  return QFile::encodeName(path);
}

#endif

}  // namespace

#ifdef Q_OS_WIN

std::unique_ptr<QIODevice> OpenRegularForRead(const QString& path) {
  // Only the pipe namespace holds pipes on Windows, which no listed file
  // name reaches; an ordinary open cannot block here.
  if (!QFileInfo(path).isFile()) return nullptr;
  auto file = std::make_unique<QFile>(path);
  if (!file->open(QIODevice::ReadOnly | QIODevice::Unbuffered)) return nullptr;
  return readWholeIfSmall(std::move(file));
}

std::optional<Identity> IdentityOf(const QString& path, bool followLinks) {
  const QString native = QDir::toNativeSeparators(path);
  DWORD flags = FILE_FLAG_BACKUP_SEMANTICS;
  if (!followLinks) flags |= FILE_FLAG_OPEN_REPARSE_POINT;
  HANDLE file = CreateFileW(wide(native), 0, FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE,
                            nullptr, OPEN_EXISTING, flags, nullptr);
  if (file == INVALID_HANDLE_VALUE) return std::nullopt;
  BY_HANDLE_FILE_INFORMATION info{};
  const bool known = GetFileInformationByHandle(file, &info);
  CloseHandle(file);
  if (!known) return std::nullopt;
  return Identity{info.dwVolumeSerialNumber,
                  (quint64(info.nFileIndexHigh) << 32) | info.nFileIndexLow};
}

Entry EntryAt(const QString& path) {
  const DWORD attributes = GetFileAttributesW(wide(QDir::toNativeSeparators(path)));
  if (attributes == INVALID_FILE_ATTRIBUTES) {
    const DWORD error = GetLastError();
    return error == ERROR_FILE_NOT_FOUND || error == ERROR_PATH_NOT_FOUND ? Entry::None
                                                                          : Entry::Unlisted;
  }
  if (attributes & FILE_ATTRIBUTE_REPARSE_POINT) return Entry::File;
  if (attributes & (FILE_ATTRIBUTE_DIRECTORY | FILE_ATTRIBUTE_HIDDEN | FILE_ATTRIBUTE_SYSTEM)) {
    return Entry::Unlisted;
  }
  return attributes & FILE_ATTRIBUTE_READONLY ? Entry::ReadOnly : Entry::File;
}

std::unique_ptr<Replacement> Replacement::Create(const QString& targetPath) {
  std::unique_ptr<Replacement> file(new Replacement(targetPath));
  const QString folder = folderOf(targetPath);
  for (int attempt = 0; attempt < 100; ++attempt) {
    const QString path = folder + temporaryName();
    HANDLE handle = CreateFileW(wide(QDir::toNativeSeparators(path)), GENERIC_WRITE, 0, nullptr,
                                CREATE_NEW, FILE_ATTRIBUTE_HIDDEN, nullptr);
    if (handle != INVALID_HANDLE_VALUE) {
      file->temporaryPath_ = path;
      file->handle_ = reinterpret_cast<qintptr>(handle);
      file->open(QIODevice::WriteOnly);
      return file;
    }
    if (GetLastError() != ERROR_FILE_EXISTS && GetLastError() != ERROR_ALREADY_EXISTS) break;
  }
  return nullptr;
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
  while (written < size) {
    DWORD chunk = 0;
    const DWORD wanted = static_cast<DWORD>(qMin<qint64>(size - written, 1 << 30));
    if (!WriteFile(asHandle(handle_), data + written, wanted, &chunk, nullptr) || chunk == 0) {
      failed_ = true;
      return -1;
    }
    written += chunk;
  }
  return written;
}

void Replacement::StartWriteBack() {}

bool Replacement::Commit() {
  if (handle_ == -1 || failed_) {
    discard();
    return false;
  }
  const bool flushed = flushed_ || FlushFileBuffers(asHandle(handle_));
  CloseHandle(asHandle(handle_));
  handle_ = -1;
  QIODevice::close();
  const QString from = QDir::toNativeSeparators(temporaryPath_);
  // The temporary file is hidden only while it is not yet the target.
  if (!flushed || !SetFileAttributesW(wide(from), FILE_ATTRIBUTE_NORMAL) ||
      !MoveFileExW(wide(from), wide(QDir::toNativeSeparators(TargetPath())),
                   MOVEFILE_REPLACE_EXISTING | MOVEFILE_WRITE_THROUGH)) {
    discard();
    return false;
  }
  temporaryPath_.clear();
  return true;
}

void Replacement::discard() {
  if (handle_ != -1) CloseHandle(asHandle(handle_));
  handle_ = -1;
  if (!temporaryPath_.isEmpty()) {
    const QString native = QDir::toNativeSeparators(temporaryPath_);
    SetFileAttributesW(wide(native), FILE_ATTRIBUTE_NORMAL);
    DeleteFileW(wide(native));
  }
  temporaryPath_.clear();
  QIODevice::close();
}

bool FlushTogether(const std::vector<Replacement*>& files) {
  Q_UNUSED(files);
  return false;
}

bool FlushFolder(const QString& folder) {
  // MOVEFILE_WRITE_THROUGH has made each new name durable already.
  Q_UNUSED(folder);
  return true;
}

#else

std::unique_ptr<QIODevice> OpenRegularForRead(const QString& path) {
  const int fd = ::open(encoded(path).constData(), O_RDONLY | O_NONBLOCK | O_CLOEXEC);
  if (fd < 0) return nullptr;
  struct stat info {};
  auto file = std::make_unique<QFile>();
  if (fstat(fd, &info) != 0 || !S_ISREG(info.st_mode) ||
      !file->open(fd, QIODevice::ReadOnly | QIODevice::Unbuffered, QFileDevice::AutoCloseHandle)) {
    ::close(fd);
    return nullptr;
  }
  return readWholeIfSmall(std::move(file));
}

std::optional<Identity> IdentityOf(const QString& path, bool followLinks) {
  struct stat info {};
  const QByteArray name = encoded(path);
  if ((followLinks ? ::stat(name.constData(), &info) : ::lstat(name.constData(), &info)) != 0) {
    return std::nullopt;
  }
  return Identity{static_cast<quint64>(info.st_dev), static_cast<quint64>(info.st_ino)};
}

Entry EntryAt(const QString& path) {
  struct stat info {};
  if (::lstat(encoded(path).constData(), &info) != 0) {
    return errno == ENOENT ? Entry::None : Entry::Unlisted;
  }
  if (S_ISLNK(info.st_mode)) return Entry::File;
  if (!S_ISREG(info.st_mode)) return Entry::Unlisted;
  // Write permission taken from everyone, as the system's read-only marking
  // does; the owner's rights are no guide when the run has root's.
  return info.st_mode & (S_IWUSR | S_IWGRP | S_IWOTH) ? Entry::File : Entry::ReadOnly;
}

std::unique_ptr<Replacement> Replacement::Create(const QString& targetPath) {
  std::unique_ptr<Replacement> file(new Replacement(targetPath));
  const QString folder = folderOf(targetPath);
  for (int attempt = 0; attempt < 100; ++attempt) {
    const QString path = folder + temporaryName();
    const int fd = ::open(encoded(path).constData(),
                          O_WRONLY | O_CREAT | O_EXCL | O_NOFOLLOW | O_CLOEXEC, 0666);
    if (fd >= 0) {
      file->temporaryPath_ = path;
      file->handle_ = fd;
      file->open(QIODevice::WriteOnly);
      return file;
    }
    if (errno != EEXIST) break;
  }
  return nullptr;
}

qint64 Replacement::size() const {
  struct stat info {};
  return handle_ >= 0 && fstat(static_cast<int>(handle_), &info) == 0 ? info.st_size : 0;
}

bool Replacement::seek(qint64 position) {
  if (handle_ < 0 || ::lseek(static_cast<int>(handle_), position, SEEK_SET) < 0) return false;
  return QIODevice::seek(position);
}

qint64 Replacement::writeData(const char* data, qint64 size) {
  qint64 written = 0;
  while (written < size) {
    const ssize_t chunk =
        ::write(static_cast<int>(handle_), data + written, static_cast<size_t>(size - written));
    if (chunk < 0 && errno == EINTR) continue;
    if (chunk <= 0) {
      failed_ = true;
      return -1;
    }
    written += chunk;
  }
  return written;
}

void Replacement::StartWriteBack() {
#ifdef Q_OS_LINUX
  if (handle_ >= 0) sync_file_range(static_cast<int>(handle_), 0, 0, SYNC_FILE_RANGE_WRITE);
#endif
}

bool Replacement::Commit() {
  if (handle_ < 0 || failed_) {
    discard();
    return false;
  }
  const int fd = static_cast<int>(handle_);
#ifdef Q_OS_LINUX
  const bool flushed = flushed_ || fdatasync(fd) == 0;
#else
  const bool flushed = flushed_ || fsync(fd) == 0;
#endif
  const bool closed = ::close(fd) == 0;
  handle_ = -1;
  QIODevice::close();
  // rename() replaces the name itself: a link standing there is replaced,
  // never followed.
  if (!flushed || !closed ||
      ::rename(encoded(temporaryPath_).constData(), encoded(TargetPath()).constData()) != 0) {
    discard();
    return false;
  }
  temporaryPath_.clear();
  return true;
}

void Replacement::discard() {
  if (handle_ >= 0) ::close(static_cast<int>(handle_));
  handle_ = -1;
  if (!temporaryPath_.isEmpty()) ::unlink(encoded(temporaryPath_).constData());
  temporaryPath_.clear();
  QIODevice::close();
}

bool FlushTogether(const std::vector<Replacement*>& files) {
#ifdef Q_OS_LINUX
  // syncfs() reports write-back failures only since Linux 5.8; before that
  // it would hide a file that never reached the disk.
  static const bool reportsFailures = [] {
    utsname system{};
    int major = 0, minor = 0;
    return uname(&system) == 0 && std::sscanf(system.release, "%d.%d", &major, &minor) == 2 &&
           (major > 5 || (major == 5 && minor >= 8));
  }();
  if (files.empty() || !reportsFailures || files.front()->handle_ < 0) return false;
  if (syncfs(static_cast<int>(files.front()->handle_)) != 0) return false;
  for (Replacement* file : files) file->flushed_ = true;
  return true;
#else
  Q_UNUSED(files);
  return false;
#endif
}

bool FlushFolder(const QString& folder) {
  const int fd = ::open(encoded(folder).constData(), O_RDONLY | O_DIRECTORY | O_CLOEXEC);
  if (fd < 0) return false;
  const bool flushed = fsync(fd) == 0;
  ::close(fd);
  return flushed;
}

#endif

QString Replacement::Folder() const {
  return folderOf(targetPath_);
}

Replacement::~Replacement() {
  discard();
}

qint64 Replacement::readData(char* data, qint64 maxSize) {
  Q_UNUSED(data);
  Q_UNUSED(maxSize);
  return -1;
}

void RemoveLeftovers(const QString& folder) {
  const QDir dir(folder);
  const QStringList names =
      dir.entryList({TemporaryPrefix + u'*' + TemporarySuffix},
                    QDir::Files | QDir::Hidden | QDir::System | QDir::NoSymLinks);
  for (const QString& name : names) {
    if (isLeftoverName(name)) QFile::remove(dir.filePath(name));
  }
}

bool CanCreateFilesIn(const QString& folder) {
  return Replacement::Create(folder + QStringLiteral("probe")) != nullptr;
}

}  // namespace NativeFile
