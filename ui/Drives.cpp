#include "ui/Drives.h"

#include <QDir>
#include <QFileInfo>
#include <QStorageInfo>
#include <QStringList>
#include <algorithm>

#ifdef Q_OS_WIN
#include <windows.h>

#include <string>
#endif

namespace Drives {
namespace {

#ifdef Q_OS_WIN
constexpr Qt::CaseSensitivity PathCase = Qt::CaseInsensitive;
#else
constexpr Qt::CaseSensitivity PathCase = Qt::CaseSensitive;
#endif

QStringList& simulatedRoots() {
  static QStringList roots;
  return roots;
}

QString clean(const QString& path) {
  return QDir::toNativeSeparators(QDir::cleanPath(QDir::fromNativeSeparators(path)));
}

bool sameDrive(const QString& a, const QString& b) {
  return a.compare(b, PathCase) == 0;
}

// Whether path is root itself or lies below it, by their texts.
bool within(const QString& path, const QString& root) {
  const QString p = QDir::fromNativeSeparators(path);
  const QString r = QDir::fromNativeSeparators(root);
  if (!p.startsWith(r, PathCase)) return false;
  return p.size() == r.size() || r.endsWith(u'/') || p[r.size()] == u'/';
}

// The innermost of the roots that holds path; empty when none does.
QString innermost(const QStringList& roots, const QString& path) {
  QString best;
  for (const QString& root : roots) {
    if (within(path, root) && root.size() > best.size()) best = root;
  }
  return best;
}

bool isSimulated(const QString& drive) {
  return std::any_of(simulatedRoots().cbegin(), simulatedRoots().cend(),
                     [&](const QString& root) { return sameDrive(root, drive); });
}

QString label(const QStorageInfo& volume) {
  return volume.isValid() && volume.isReady() ? volume.name() : QString();
}

#ifdef Q_OS_WIN

bool isLetterDrive(const QString& drive) {
  return drive.size() == 2 && drive[0].isLetter() && drive[1] == u':';
}

QString rootOf(const QString& drive) {
  return isLetterDrive(drive) ? drive.toUpper() + u'\\' : drive;
}

#else

// Mount points of the volumes whose root is a folder; with readyOnly, only
// those that answer now.
QStringList mountPoints(bool readyOnly) {
  QStringList roots;
  for (const QStorageInfo& volume : QStorageInfo::mountedVolumes()) {
    if (!volume.isValid() || (readyOnly && !volume.isReady())) continue;
    const QString root = clean(volume.rootPath());
    if (!roots.contains(root) && QFileInfo(root).isDir()) roots.append(root);
  }
  return roots;
}

QString rootOf(const QString& drive) {
  return drive;
}

// The volume every other one is mounted under, listed first.
const QString Root = QStringLiteral("/");

#endif

}  // namespace

QString Fallback() {
#ifdef Q_OS_WIN
  return QStringLiteral("C:\\");
#else
  // A user's images are far likelier under the home folder than at the
  // root; it is looked up at each use, as the environment names it.
  const QString home = clean(QDir::homePath());
  return QFileInfo(home).isDir() ? home : Root;
#endif
}

QList<Volume> List() {
  QList<Volume> volumes;
#ifdef Q_OS_WIN
  // Every drive letter in use, also removable drives without a medium, which
  // say "not ready" only when chosen.
  for (const QFileInfo& root : QDir::drives()) {
    const QString drive = root.filePath().left(2).toLower();
    volumes.append({drive, label(QStorageInfo(rootOf(drive)))});
  }
#else
  QStringList roots = mountPoints(true);
  roots.removeAll(Root);
  std::sort(roots.begin(), roots.end());
  roots.prepend(Root);
  for (const QString& root : roots) volumes.append({root, label(QStorageInfo(root))});
#endif
  for (const QString& root : simulatedRoots()) {
    const bool listed = std::any_of(volumes.cbegin(), volumes.cend(),
                                    [&](const Volume& v) { return sameDrive(v.drive, root); });
    if (!listed) volumes.append({root, QString()});
  }
  return volumes;
}

QString DriveOf(const QString& path) {
  const QString simulated = innermost(simulatedRoots(), path);
  if (!simulated.isEmpty()) return simulated;
  const QString p = QDir::fromNativeSeparators(path);
#ifdef Q_OS_WIN
  if (p.size() >= 2 && p[0].isLetter() && p[1] == u':') return p.left(2).toLower();
  // A network share, \\server\share, is a drive of its own.
  const QStringList parts = p.split(u'/');
  if (p.startsWith(QStringLiteral("//")) && parts.size() >= 4) {
    return QDir::toNativeSeparators(parts.mid(0, 4).join(u'/'));
  }
  return {};
#else
  // Volumes that do not answer count too: a path on one of them must be
  // told apart from a path that does not exist.
  const QString mount = innermost(mountPoints(false), p);
  return mount.isEmpty() ? Root : mount;
#endif
}

bool Ready(const QString& drive) {
  if (drive.isEmpty() || isSimulated(drive)) return false;
  const QStorageInfo volume(rootOf(drive));
  return volume.isValid() && volume.isReady();
}

QString CurrentFolder(const QString& drive) {
#ifdef Q_OS_WIN
  // The system keeps a current folder for every drive; resolving the bare
  // drive gives it, or the root when the drive has none.
  if (isLetterDrive(drive)) return Absolute(drive);
#endif
  const QString working = clean(QDir::currentPath());
  return sameDrive(DriveOf(working), drive) ? working : clean(drive);
}

QString Absolute(const QString& path) {
#ifdef Q_OS_WIN
  const std::wstring in = QDir::toNativeSeparators(path).toStdWString();
  const DWORD size = GetFullPathNameW(in.c_str(), 0, nullptr, nullptr);
  if (size != 0) {
    std::wstring out(size, L'\0');
    const DWORD written = GetFullPathNameW(in.c_str(), size, out.data(), nullptr);
    if (written != 0 && written < size) {
      return clean(QString::fromStdWString(out.substr(0, written)));
    }
  }
#endif
  return clean(QDir::current().absoluteFilePath(QDir::fromNativeSeparators(path)));
}

QString Capitalised(const QString& drive) {
#ifdef Q_OS_WIN
  return drive.toUpper();
#else
  return drive;
#endif
}

void SimulateUnreachable(const QString& root) {
  const QString drive = Absolute(root);
  if (!isSimulated(drive)) simulatedRoots().append(drive);
}

void ClearSimulated() {
  simulatedRoots().clear();
}

}  // namespace Drives
