// The file layer on Linux and other POSIX systems. A run's target folder is
// held as a descriptor, and every name in it is reached relative to that
// descriptor (openat, renameat, fstatat), never through the folder's path.
#include "engine/NativeFile.h"

#include <dirent.h>
#include <fcntl.h>
#include <stdio.h>
#include <sys/file.h>
#include <sys/stat.h>
#include <sys/statvfs.h>
#include <sys/utsname.h>
#include <unistd.h>

#include <cerrno>
#include <cstdio>
#include <cstring>

#ifdef Q_OS_LINUX
#include <linux/fs.h>
#include <linux/magic.h>
#include <sys/ioctl.h>
#include <sys/statfs.h>
#include <sys/syscall.h>
#endif

#include "engine/NativeFilePrivate.h"

namespace NativeFile {
namespace {

QString systemReason(int error) {
  return QString::fromLocal8Bit(std::strerror(error));
}

int fd(qintptr handle) {
  return static_cast<int>(handle);
}

// The number of a UTF-8 sequence's bytes that start at data, when they
// form one valid code point; 0 when they do not.
int validSequence(const unsigned char* data, qsizetype left) {
  const unsigned char lead = data[0];
  if (lead < 0x80) return 1;
  int length = 0;
  char32_t point = 0;
  if (lead >= 0xC2 && lead <= 0xDF) {
    length = 2;
    point = lead & 0x1F;
  } else if (lead >= 0xE0 && lead <= 0xEF) {
    length = 3;
    point = lead & 0x0F;
  } else if (lead >= 0xF0 && lead <= 0xF4) {
    length = 4;
    point = lead & 0x07;
  } else {
    return 0;
  }
  if (left < length) return 0;
  for (int i = 1; i < length; ++i) {
    if ((data[i] & 0xC0) != 0x80) return 0;
    point = (point << 6) | (data[i] & 0x3F);
  }
  const bool overlong = (length == 3 && point < 0x800) || (length == 4 && point < 0x10000);
  const bool surrogate = point >= 0xD800 && point <= 0xDFFF;
  return overlong || surrogate || point > 0x10FFFF ? 0 : length;
}

Identity identityOf(const struct stat& info) {
  return {static_cast<quint64>(info.st_dev), static_cast<quint64>(info.st_ino)};
}

// Whether the file is the one a run made. A file removed and made anew at
// once may get the freed number back, so the length of one written whole
// counts too; -1 where a failed write may have left any length.
bool isFile(const struct stat& info, const Identity& identity, qint64 length) {
  return S_ISREG(info.st_mode) && (length < 0 || info.st_size == length) &&
         identityOf(info) == identity;
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

#ifdef O_DIRECT
constexpr int DirectFlag = O_DIRECT;
#else
constexpr int DirectFlag = 0;
#endif

// What a file system asks of writes that bypass its cache, where it tells.
struct DirectAlignment {
  bool told = false;
  int offset = 0;  // 0: it takes none
  int memory = 0;
};

DirectAlignment directAlignmentOf(int file) {
  DirectAlignment alignment;
#if defined(Q_OS_LINUX) && defined(SYS_statx)
  // The system's own record, newer than the C library's: the fields of
  // direct-write alignment follow the mount's number.
  struct {
    quint32 mask, blockSize;
    quint64 attributes;
    quint32 links, user, group;
    quint16 mode, padding1;
    quint64 inode, size, blocks, attributesMask;
    quint64 times[8];
    quint32 rdevMajor, rdevMinor, devMajor, devMinor;
    quint64 mount;
    quint32 memoryAlign, offsetAlign;
    quint64 spare[12];
  } info{};
  static_assert(sizeof info == 256);
  constexpr quint32 WantAlignment = 0x2000;  // STATX_DIOALIGN
  if (::syscall(SYS_statx, file, "", AT_EMPTY_PATH, WantAlignment, &info) == 0 &&
      (info.mask & WantAlignment)) {
    alignment.told = true;
    alignment.offset = int(info.offsetAlign);
    alignment.memory = int(info.memoryAlign);
  }
#else
  Q_UNUSED(file);
#endif
  return alignment;
}

// Writes all of size bytes at the offset; false with errno set otherwise.
bool writeAllAt(int file, const char* data, qint64 size, qint64 offset, qint64* written) {
  *written = 0;
  while (*written < size) {
    const ssize_t chunk =
        ::pwrite(file, data + *written, size_t(size - *written), off_t(offset + *written));
    if (chunk < 0 && errno == EINTR) continue;
    if (chunk == 0) errno = ENOSPC;
    if (chunk <= 0) return false;
    *written += chunk;
  }
  return true;
}

bool isEscapedByte(char16_t unit) {
  return unit >= 0xDC80 && unit <= 0xDCFF;
}

}  // namespace

int LastSystemError() {
  return errno;
}

void SetSystemError(int error) {
  errno = error;
}

QByteArray EncodeName(const QString& path) {
  const char16_t* units = reinterpret_cast<const char16_t*>(path.utf16());
  const qsizetype size = path.size();
  bool escaped = false;
  for (qsizetype i = 0; i < size && !escaped; ++i) escaped = isEscapedByte(units[i]);
  if (!escaped) return path.toUtf8();
  QByteArray bytes;
  bytes.reserve(size * 3);
  for (qsizetype i = 0; i < size; ++i) {
    // A low surrogate after a high one is half of a pair, not an escape.
    const bool paired = i > 0 && QChar::isHighSurrogate(units[i - 1]);
    if (isEscapedByte(units[i]) && !paired) {
      bytes += static_cast<char>(units[i] - 0xDC00);
    } else if (QChar::isHighSurrogate(units[i]) && i + 1 < size &&
               QChar::isLowSurrogate(units[i + 1])) {
      bytes += QString(reinterpret_cast<const QChar*>(units + i), 2).toUtf8();
      ++i;
    } else {
      bytes += QString(QChar(units[i])).toUtf8();
    }
  }
  return bytes;
}

QString DecodeName(const QByteArray& name) {
  const auto* data = reinterpret_cast<const unsigned char*>(name.constData());
  const qsizetype size = name.size();
  qsizetype at = 0;
  while (at < size) {
    const int length = validSequence(data + at, size - at);
    if (length == 0) break;
    at += length;
  }
  if (at == size) return QString::fromUtf8(name);
  QString text = QString::fromUtf8(name.constData(), at);
  while (at < size) {
    const int length = validSequence(data + at, size - at);
    if (length == 0) {
      text += QChar(char16_t(0xDC00 + data[at]));
      ++at;
    } else {
      text += QString::fromUtf8(name.constData() + at, length);
      at += length;
    }
  }
  return text;
}

bool IsAllowedInName(QChar c) {
  return c != u'/' && c != QChar(0);
}

bool FlushesAsWhole(quint64 fileSystemType) {
#ifdef Q_OS_LINUX
  // Local disk file systems that write back every dirty file of theirs on
  // a whole flush and report its failures. Everything else (FUSE, NFS,
  // SMB, 9p, overlays, file systems not known here) is flushed file by file.
  switch (fileSystemType) {
    case EXT4_SUPER_MAGIC:  // ext2, ext3 and ext4 share it
    case XFS_SUPER_MAGIC:
    case BTRFS_SUPER_MAGIC:
    case F2FS_SUPER_MAGIC:
    case TMPFS_MAGIC: return true;
    default: return false;
  }
#else
  Q_UNUSED(fileSystemType);
  return false;
#endif
}

qint64 SystemUnwrittenBytes() {
#ifdef Q_OS_LINUX
  // Dirty pages wait to be written; pages under write-back are on the way.
  QFile counts(QStringLiteral("/proc/meminfo"));
  if (!counts.open(QIODevice::ReadOnly)) return -1;
  qint64 kib = 0;
  int found = 0;
  for (const QByteArray& line : counts.readAll().split('\n')) {
    if (!line.startsWith("Dirty:") && !line.startsWith("Writeback:")) continue;
    const QList<QByteArray> fields = line.simplified().split(' ');
    if (fields.size() < 2) return -1;
    kib += fields[1].toLongLong();
    ++found;
  }
  return found == 2 ? kib * 1024 : -1;
#else
  return -1;
#endif
}

std::unique_ptr<QIODevice> OpenRegularForRead(const QString& path, QString* why) {
  const int descriptor = ::open(EncodeName(path).constData(), O_RDONLY | O_NONBLOCK | O_CLOEXEC);
  if (descriptor < 0) {
    const int error = errno;
    if (why) {
      *why = error == ENOENT ? QStringLiteral("the source is not there")
                             : QStringLiteral("the source cannot be read: ") + systemReason(error);
    }
    return nullptr;
  }
  struct stat info {};
  if (fstat(descriptor, &info) != 0 || !S_ISREG(info.st_mode)) {
    ::close(descriptor);
    if (why) {
      *why = S_ISDIR(info.st_mode) ? QStringLiteral("the source is a folder")
                                   : QStringLiteral("the source is not a regular file");
    }
    return nullptr;
  }
  if (info.st_size <= WholeReadLimit) {
    QByteArray bytes(info.st_size, Qt::Uninitialized);
    qint64 got = 0;
    while (got < bytes.size()) {
      const ssize_t part = ::read(descriptor, bytes.data() + got, size_t(bytes.size() - got));
      if (part < 0 && errno == EINTR) continue;
      if (part <= 0) break;
      got += part;
    }
    ::close(descriptor);
    // A file that shrank while being read is taken as it was read.
    bytes.truncate(got);
    return InMemory(bytes);
  }
  auto file = std::make_unique<QFile>();
  if (!file->open(descriptor, QIODevice::ReadOnly | QIODevice::Unbuffered,
                  QFileDevice::AutoCloseHandle)) {
    ::close(descriptor);
    if (why) *why = QStringLiteral("the source cannot be read");
    return nullptr;
  }
  return file;
}

std::optional<Identity> IdentityOf(const QString& path, bool followLinks) {
  struct stat info {};
  const QByteArray name = EncodeName(path);
  if ((followLinks ? ::stat(name.constData(), &info) : ::lstat(name.constData(), &info)) != 0) {
    return std::nullopt;
  }
  return identityOf(info);
}

namespace {

Entry entryOf(int folder, const QByteArray& name, QString* why) {
  struct stat info {};
  if (::fstatat(folder, name.constData(), &info, AT_SYMLINK_NOFOLLOW) != 0) {
    if (errno == ENOENT) return Entry::None;
    if (why) *why = systemReason(errno);
    return Entry::Unknown;
  }
  if (S_ISLNK(info.st_mode)) {
    // A link to a folder is left alone like the folder; a link to a file
    // or to nothing is a target that exists.
    struct stat led {};
    const bool folderLink =
        ::fstatat(folder, name.constData(), &led, 0) == 0 && S_ISDIR(led.st_mode);
    return folderLink ? Entry::Unlisted : Entry::File;
  }
  if (!S_ISREG(info.st_mode)) return Entry::Unlisted;
  // Write permission taken from everyone, as the system's read-only marking
  // does; the owner's rights are no guide when the run has root's.
  return info.st_mode & (S_IWUSR | S_IWGRP | S_IWOTH) ? Entry::File : Entry::ReadOnly;
}

}  // namespace

bool IsReadableFolder(const QString& path) {
  if (path.isEmpty()) return false;
  const int folder = ::open(EncodeName(path).constData(), O_RDONLY | O_DIRECTORY | O_CLOEXEC);
  if (folder < 0) return false;
  ::close(folder);
  return true;
}

namespace {

// What a listing of files says of an entry that is no regular file.
QString kindOf(mode_t mode) {
  if (S_ISDIR(mode)) return QStringLiteral("a folder");
  if (S_ISFIFO(mode)) return QStringLiteral("a pipe");
  if (S_ISCHR(mode) || S_ISBLK(mode)) return QStringLiteral("a device");
  if (S_ISSOCK(mode)) return QStringLiteral("a socket");
  return QStringLiteral("not a regular file");
}

// Why the entry is left out of a listing of files; empty when it is shown.
QString passedOver(int folder, const dirent* entry) {
  // Names beginning with a dot are hidden, as the system's listings do.
  if (entry->d_name[0] == '.') return QStringLiteral("it is hidden");
  if (entry->d_type == DT_REG) return {};
  struct stat info {};
  if (entry->d_type != DT_LNK && entry->d_type != DT_UNKNOWN) {
    if (::fstatat(folder, entry->d_name, &info, AT_SYMLINK_NOFOLLOW) != 0) return {};
    return S_ISREG(info.st_mode) ? QString() : QStringLiteral("it is ") + kindOf(info.st_mode);
  }
  struct stat own {};
  const bool link =
      ::fstatat(folder, entry->d_name, &own, AT_SYMLINK_NOFOLLOW) == 0 && S_ISLNK(own.st_mode);
  if (::fstatat(folder, entry->d_name, &info, 0) != 0) {
    return link ? QStringLiteral("it is a link that leads nowhere")
                : QStringLiteral("it cannot be looked at: ") + systemReason(errno);
  }
  if (S_ISREG(info.st_mode)) return {};
  return (link ? QStringLiteral("it is a link to ") : QStringLiteral("it is ")) +
         kindOf(info.st_mode);
}

}  // namespace

QList<FolderEntry> ListEntries(const QString& folder) {
  QList<FolderEntry> entries;
  DIR* listing = ::opendir(EncodeName(folder).constData());
  if (!listing) return entries;
  while (const dirent* entry = ::readdir(listing)) {
    if (std::strcmp(entry->d_name, ".") == 0 || std::strcmp(entry->d_name, "..") == 0) continue;
    entries.append({DecodeName(QByteArray(entry->d_name)), passedOver(::dirfd(listing), entry)});
  }
  ::closedir(listing);
  return entries;
}

bool IsListedFile(const QString& path) {
  const qsizetype cut = path.lastIndexOf(u'/');
  if (path.mid(cut + 1).startsWith(u'.')) return false;
  struct stat info {};
  return ::stat(EncodeName(path).constData(), &info) == 0 && S_ISREG(info.st_mode);
}

std::shared_ptr<Folder> Folder::Open(const QString& path) {
  const int handle = ::open(EncodeName(path).constData(), O_RDONLY | O_DIRECTORY | O_CLOEXEC);
  if (handle < 0) return nullptr;
  std::shared_ptr<Folder> folder(new Folder);
  folder->handle_ = handle;
  folder->path_ = WithSeparator(path);
#ifdef Q_OS_LINUX
  struct statfs system {};
  if (::fstatfs(handle, &system) == 0) folder->type_ = static_cast<quint64>(system.f_type);
  // A file system in memory has no disk to write to past its cache.
  folder->writesDirect_ = folder->type_ != TMPFS_MAGIC && folder->type_ != RAMFS_MAGIC;
#endif
  return folder;
}

Folder::~Folder() {
  // Closing the descriptor also lets go of the lock.
  if (handle_ >= 0) ::close(fd(handle_));
}

Folder::Lock Folder::TryLock() {
  // A look at what a run would do holds the lock shared for a moment: a
  // few tries tell that from another run, which holds it for its length.
  for (int attempt = 0;; ++attempt) {
    if (::flock(fd(handle_), LOCK_EX | LOCK_NB) == 0) return Lock::Taken;
    if (errno != EWOULDBLOCK) return Lock::Unsupported;
    if (attempt == 4) return Lock::Busy;
    ::usleep(10000);
  }
}

bool Folder::HeldByAnotherRun() const {
  if (::flock(fd(handle_), LOCK_SH | LOCK_NB) != 0) return errno == EWOULDBLOCK;
  ::flock(fd(handle_), LOCK_UN);
  return false;
}

bool Folder::MayCreateFiles() const {
  struct statvfs system {};
  if (::fstatvfs(fd(handle_), &system) == 0 && (system.f_flag & ST_RDONLY)) return false;
  return ::faccessat(fd(handle_), ".", W_OK | X_OK, AT_EACCESS) == 0;
}

Entry Folder::EntryAt(const QString& name, QString* why) const {
  return entryOf(fd(handle_), EncodeName(name), why);
}

std::optional<Identity> Folder::IdentityOf(const QString& name) const {
  struct stat info {};
  if (::fstatat(fd(handle_), EncodeName(name).constData(), &info, AT_SYMLINK_NOFOLLOW) != 0) {
    return std::nullopt;
  }
  return identityOf(info);
}

namespace {

// A name of the folder with one letter of another case, to look the folder
// up by; empty when the folder holds no such name.
std::optional<std::pair<QByteArray, QByteArray>> nameOfOtherCase(int handle) {
  const int own = ::openat(handle, ".", O_RDONLY | O_DIRECTORY | O_CLOEXEC);
  if (own < 0) return std::nullopt;
  DIR* listing = ::fdopendir(own);
  if (!listing) {
    ::close(own);
    return std::nullopt;
  }
  std::optional<std::pair<QByteArray, QByteArray>> found;
  while (const dirent* entry = ::readdir(listing)) {
    const QByteArray name(entry->d_name);
    for (qsizetype i = 0; i < name.size(); ++i) {
      const char c = name[i];
      if (!((c >= 'a' && c <= 'z') || (c >= 'A' && c <= 'Z'))) continue;
      QByteArray other = name;
      other[i] = static_cast<char>(c ^ 0x20);
      found = std::pair(name, other);
      break;
    }
    if (found) break;
  }
  ::closedir(listing);
  return found;
}

}  // namespace

bool Folder::systemIgnoresCase() const {
#ifdef Q_OS_DARWIN
  if (const long sensitive = ::fpathconf(fd(handle_), _PC_CASE_SENSITIVE); sensitive >= 0)
    return sensitive == 0;
#endif
#ifdef Q_OS_LINUX
  // A folder whose names fold their case (ext4, f2fs, tmpfs).
  int flags = 0;
  if (::ioctl(fd(handle_), FS_IOC_GETFLAGS, &flags) == 0 && (flags & FS_CASEFOLD_FL)) return true;
#endif
  // Asked of the folder itself: a name of it with one letter changed leads
  // to the same file only where letter case is ignored.
  if (const auto names = nameOfOtherCase(fd(handle_))) {
    struct stat one {
    }, other{};
    if (::fstatat(fd(handle_), names->first.constData(), &one, AT_SYMLINK_NOFOLLOW) != 0)
      return false;
    return ::fstatat(fd(handle_), names->second.constData(), &other, AT_SYMLINK_NOFOLLOW) == 0 &&
           identityOf(one) == identityOf(other);
  }
#ifdef Q_OS_LINUX
  // An empty folder: the file systems that ignore case as a whole.
  switch (type_) {
    case MSDOS_SUPER_MAGIC:
    case 0x2011BAB0:  // exFAT
    case 0x5346544E:  // NTFS
    case 0x7366746E:  // ntfs3
    case 0xFF534D42:  // CIFS
    case 0xFE534D42:  // SMB2
      return true;
    default: break;
  }
#endif
  return false;
}

void Folder::RemoveLeftovers() {
  const int own = ::openat(fd(handle_), ".", O_RDONLY | O_DIRECTORY | O_CLOEXEC);
  if (own < 0) return;
  DIR* listing = ::fdopendir(own);
  if (!listing) {
    ::close(own);
    return;
  }
  while (const dirent* entry = ::readdir(listing)) {
    const QString name = QString::fromLatin1(entry->d_name);
    if (!IsTemporaryName(name)) continue;
    struct stat info {};
    if (::fstatat(fd(handle_), entry->d_name, &info, AT_SYMLINK_NOFOLLOW) == 0 &&
        S_ISREG(info.st_mode)) {
      Made([&] { return operation(Change::Unlink, *this, name); },
           [&] { return ::unlinkat(fd(handle_), entry->d_name, 0) == 0; });
    }
  }
  ::closedir(listing);
}

std::unique_ptr<Replacement> Folder::Create(const QString& name, QString* why) {
  std::unique_ptr<Replacement> file(new Replacement(shared_from_this(), name));
  bool direct = DirectFlag != 0 && wantsDirect();
  int error = 0;
  for (int attempt = 0; attempt < 100; ++attempt) {
    const QString temporary = TemporaryName();
    const QByteArray encoded = temporary.toLatin1();
    int handle = -1;
    Made(
        [&] {
          Operation create = operation(Change::Create, *this, temporary);
          create.direct = direct;
          return create;
        },
        [&] {
          handle = ::openat(
              fd(handle_), encoded.constData(),
              O_WRONLY | O_CREAT | O_EXCL | O_NOFOLLOW | O_CLOEXEC | (direct ? DirectFlag : 0),
              0666);
          return handle >= 0;
        });
    if (handle >= 0 && direct && !directAlignment_) {
      const DirectAlignment told = directAlignmentOf(handle);
      if (told.told && told.offset == 0) {
        // Opened, but the file system says it takes no such writes.
        ::fcntl(handle, F_SETFL, ::fcntl(handle, F_GETFL) & ~DirectFlag);
        writesDirect_ = false;
        direct = false;
      } else {
        directAlignment_ = told.told ? told.offset : 4096;
        directMemoryAlignment_ = qMax(told.memory, 4096);
      }
    }
    if (handle >= 0) {
      struct stat info {};
      ::fstat(handle, &info);
      file->identity_ = identityOf(info);
      file->temporaryName_ = temporary;
      file->handle_ = handle;
      file->direct_ = direct;
      file->alignment_ = direct ? directAlignment_.load() : 0;
      file->memoryAlignment_ = direct ? directMemoryAlignment_.load() : 0;
      file->open(QIODevice::WriteOnly);
      return file;
    }
    error = errno;
    if (direct && error == EINVAL) {
      // The file system refuses writes that bypass its cache (tmpfs before
      // Linux 6.6, many FUSE servers); it may have made the file first.
      struct stat info {};
      if (::fstatat(fd(handle_), encoded.constData(), &info, AT_SYMLINK_NOFOLLOW) == 0) {
        Made([&] { return operation(Change::Unlink, *this, temporary); },
             [&] { return ::unlinkat(fd(handle_), encoded.constData(), 0) == 0; });
      }
      writesDirect_ = false;
      direct = false;
      continue;
    }
    if (error != EEXIST) break;
  }
  if (why) *why = QStringLiteral("the target could not be created: ") + systemReason(error);
  return nullptr;
}

bool Folder::FlushFileSystem() {
#ifdef Q_OS_LINUX
  // syncfs() reports write-back failures only since Linux 5.8; before that
  // it would hide a file that never reached the disk.
  static const bool reportsFailures = [] {
    utsname system{};
    int major = 0, minor = 0;
    return uname(&system) == 0 && std::sscanf(system.release, "%d.%d", &major, &minor) == 2 &&
           (major > 5 || (major == 5 && minor >= 8));
  }();
  if (!reportsFailures) return false;
  return Made([&] { return operation(Change::FlushFileSystem, *this, {}); },
              [&] { return ::syncfs(fd(handle_)) == 0; });
#else
  return false;
#endif
}

bool Folder::Flush(QString* why) {
  const bool flushed = Made([&] { return operation(Change::FlushFolder, *this, {}); },
                            [&] { return ::fsync(fd(handle_)) == 0; });
  if (!flushed && why) *why = systemReason(errno);
  return flushed;
}

qint64 Replacement::size() const {
  return end_;
}

bool Replacement::seek(qint64 position) {
  if (handle_ < 0 || position < 0) return false;
  if (!direct_ && ::lseek(fd(handle_), position, SEEK_SET) < 0) return false;
  return QIODevice::seek(position);
}

qint64 Replacement::writeData(const char* data, qint64 size) {
  if (direct_) {
    if (hold(data, size)) return size;
    fail(ENOMEM);
    return -1;
  }
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
          const ssize_t chunk =
              ::write(fd(handle_), data + written, static_cast<size_t>(size - written));
          if (chunk < 0 && errno == EINTR) continue;
          if (chunk == 0) errno = ENOSPC;
          if (chunk <= 0) return false;
          written += chunk;
        }
        return true;
      });
  if (!made) {
    fail(errno);
    return -1;
  }
  end_ = qMax(end_, pos() + written);
  return written;
}

bool Replacement::FinishWriting() {
  if (writing_.valid()) awaitWriting();
  if (handle_ < 0) return !failed_ && !temporaryName_.isEmpty();
  QIODevice::close();
  if (direct_ && !failed_) {
    writing_ = WriteBehind([this] { writeOut(); });
    return true;
  }
  writeOut();
  return !failed_;
}

void Replacement::writeOut() {
  const int file = fd(handle_);
  bool buffered = !direct_;
  qint64 done = 0;
  if (direct_ && !failed_) {
    // The whole blocks bypass the cache; a last part block, if any, goes
    // through it, as a write of it alone could not bypass it.
    const qint64 whole = end_ / alignment_ * alignment_;
    auto write = [&](qint64 from, qint64 to, bool direct) {
      return Made(
          [&] {
            Operation change = operation(Change::Write, *folder_, temporaryName_);
            change.offset = from;
            change.data = QByteArrayView(held_ + from, to - from);
            change.direct = direct;
            return change;
          },
          [&] {
            qint64 written = 0;
            const bool all = writeAllAt(file, held_ + from, to - from, from, &written);
            done = from + written;
            return all;
          });
    };
    bool refused = false;
    if (whole > 0 && !write(0, whole, true)) {
      refused = errno == EINVAL;
      if (!refused) fail(errno);
    }
    if (refused) {
      // The file system took the file but not the write (a FUSE server, an
      // alignment it did not tell): this file and the folder's next ones
      // go through the cache.
      folder_->writesDirect_ = false;
      done = 0;
    }
    if (!failed_ && done < end_) {
      ::fcntl(file, F_SETFL, ::fcntl(file, F_GETFL) & ~DirectFlag);
      if (write(done, end_, false)) {
        buffered = true;
      } else {
        fail(errno);
      }
    }
  }
  releaseHeld();
#ifdef Q_OS_LINUX
  // A file flushed on its own finds its bytes already on their way; a
  // group flushed as a whole is written out best all at once.
  if (buffered && !folder_->FlushesAsWhole()) ::sync_file_range(file, 0, 0, SYNC_FILE_RANGE_WRITE);
#endif
  if (::close(file) != 0) fail(errno);
  handle_ = -1;
}

// A written file is opened anew by its temporary name in the held folder,
// never through a link; a pipe put at the name cannot make the open wait.
int Replacement::reopen(int access) const {
  return ::openat(fd(folder_->handle_), temporaryName_.toLatin1().constData(),
                  access | O_NOFOLLOW | O_NONBLOCK | O_CLOEXEC);
}

bool Replacement::atItsName() const {
  struct stat info {};
  return ::fstatat(fd(folder_->handle_), temporaryName_.toLatin1().constData(), &info,
                   AT_SYMLINK_NOFOLLOW) == 0 &&
         isFile(info, identity_, failed_ ? -1 : end_);
}

void Replacement::DropCached() {
#ifdef Q_OS_LINUX
  if (failed_ || temporaryName_.isEmpty()) return;
  // Forgetting cached bytes never changes a file, whichever one stands at
  // the name.
  const int handle = reopen(O_RDONLY);
  if (handle < 0) return;
  ::posix_fadvise(handle, 0, 0, POSIX_FADV_DONTNEED);
  ::close(handle);
#endif
}

bool Replacement::Flush() {
  awaitWriting();
  if (failed_ || temporaryName_.isEmpty()) return false;
  // It must still be the file this run wrote.
  int handle = reopen(O_WRONLY);
  // A umask that took the owner's write permission leaves reading, which
  // flushes just the same on a local disk.
  if (handle < 0 && errno == EACCES) handle = reopen(O_RDONLY);
  if (handle < 0) {
    const int error = errno;
    return atItsName() ? fail(error) : leaveName();
  }
  struct stat info {};
  if (::fstat(handle, &info) != 0 || !isFile(info, identity_, end_)) {
    ::close(handle);
    return leaveName();
  }
  const bool flushed = Made([&] { return operation(Change::FlushFile, *folder_, temporaryName_); },
                            [&] {
#ifdef Q_OS_LINUX
                              return ::fdatasync(handle) == 0;
#else
                              return ::fsync(handle) == 0;
#endif
                            });
  const int error = flushed ? 0 : errno;
  const bool closed = ::close(handle) == 0;
  if (!flushed || !closed) return fail(flushed ? errno : error);
  return true;
}

Replacement::Placed Replacement::Place(bool replace) {
  FinishWriting();
  if (failed_ || temporaryName_.isEmpty()) {
    discard();
    return Placed::Failed;
  }
  // Another program may have put something at the name since the flush;
  // a file flushed with the whole file system was never looked at.
  if (!atItsName()) {
    leaveName();
    return Placed::Failed;
  }
  const int folder = fd(folder_->handle_);
  const QByteArray from = temporaryName_.toLatin1();
  const QByteArray to = EncodeName(name_);
  auto change = [&](Change kind, auto act) {
    return Made([&] { return operation(kind, *folder_, temporaryName_, name_); }, act);
  };
  bool placed = false;
  if (replace) {
    placed = change(Change::Rename, [&] {
      return ::renameat(folder, from.constData(), folder, to.constData()) == 0;
    });
  } else {
    // A file system without that kind of rename (FUSE, some network ones)
    // refuses it with EINVAL: a new link fails just the same when the name
    // is taken. One without links either (exFAT or FAT through FUSE) says
    // EPERM to those. FAT says the same of a name it takes no file by, so
    // the folder is known to lack a way only once the next one worked.
    errno = EINVAL;
#ifdef Q_OS_LINUX
    if (folder_->noReplaceRenames_) {
      placed = change(Change::RenameNoReplace, [&] {
        return ::syscall(SYS_renameat2, folder, from.constData(), folder, to.constData(),
                         RENAME_NOREPLACE) == 0;
      });
    }
#endif
    if (!placed && (errno == EINVAL || errno == ENOSYS)) {
      const bool links = folder_->links_;
      if (links) {
        placed = change(Change::Link, [&] {
          return ::linkat(folder, from.constData(), folder, to.constData(), 0) == 0;
        });
      }
      if (placed) {
        folder_->noReplaceRenames_ = false;
        Made([&] { return operation(Change::Unlink, *folder_, temporaryName_); },
             [&] { return ::unlinkat(folder, from.constData(), 0) == 0; });
      } else if (!links || errno == EPERM || errno == EOPNOTSUPP || errno == ENOSYS) {
        // Nothing can refuse a taken name in the move itself here: the name
        // is looked at just before a plain rename, so that only a file put
        // there in that instant could be replaced.
        struct stat info {};
        if (::fstatat(folder, to.constData(), &info, AT_SYMLINK_NOFOLLOW) == 0) {
          errno = EEXIST;
        } else if (errno == ENOENT) {
          placed = change(Change::Rename, [&] {
            return ::renameat(folder, from.constData(), folder, to.constData()) == 0;
          });
          // A FUSE server may number the file anew as it refuses the move
          // (exFAT's does): the file of the written length at the temporary
          // name, in the folder this run holds, is still the one written, and
          // is removed as such.
          const int error = errno;
          if (!placed && ::fstatat(folder, from.constData(), &info, AT_SYMLINK_NOFOLLOW) == 0 &&
              S_ISREG(info.st_mode) && info.st_size == end_) {
            identity_ = identityOf(info);
          }
          errno = error;
        }
        if (placed) folder_->noReplaceRenames_ = folder_->links_ = false;
      }
    }
  }
  if (!placed) {
    const int error = errno;
    fail(error);
    discard();
    return error == EEXIST ? Placed::Exists : Placed::Failed;
  }
  temporaryName_.clear();
  return Placed::Done;
}

bool Replacement::fail(int error) {
  failed_ = true;
  if (reason_.isEmpty()) reason_ = systemReason(error);
  return false;
}

bool Replacement::leaveName() {
  temporaryName_.clear();
  failed_ = true;
  if (reason_.isEmpty())
    reason_ = QStringLiteral("another program removed or replaced its temporary file");
  return false;
}

void Replacement::discard() {
  awaitWriting();
  if (handle_ >= 0) ::close(fd(handle_));
  handle_ = -1;
  if (!temporaryName_.isEmpty() && atItsName()) {
    Made([&] { return operation(Change::Unlink, *folder_, temporaryName_); },
         [&] {
           return ::unlinkat(fd(folder_->handle_), temporaryName_.toLatin1().constData(), 0) == 0;
         });
  }
  temporaryName_.clear();
  QIODevice::close();
}

}  // namespace NativeFile
