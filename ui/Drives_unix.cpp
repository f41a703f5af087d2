// The drives where there are no drive letters: each mounted volume whose
// root is a folder is a drive, named by its mount point, and the root "/"
// comes first.
#include <QDir>
#include <QFileInfo>
#include <QStorageInfo>
#include <QStringList>
#include <algorithm>

#include "ui/Drives.h"
#include "ui/DrivesPrivate.h"

namespace Drives {

const Qt::CaseSensitivity PathCase = Qt::CaseSensitive;

namespace {

// The volume every other one is mounted under, listed first.
const QString Root = QStringLiteral("/");

// Mount points of the volumes whose root is a folder; with readyOnly, only
// those that answer now.
QStringList mountPoints(bool readyOnly) {
  QStringList roots;
  for (const QStorageInfo& volume : QStorageInfo::mountedVolumes()) {
    if (!volume.isValid() || (readyOnly && !volume.isReady())) continue;
    const QString root = Clean(volume.rootPath());
    if (!roots.contains(root) && QFileInfo(root).isDir()) roots.append(root);
  }
  return roots;
}

// Whether path is root itself or lies below it, by their texts.
bool within(const QString& path, const QString& root) {
  if (!path.startsWith(root, PathCase)) return false;
  return path.size() == root.size() || root.endsWith(u'/') || path[root.size()] == u'/';
}

// The innermost of the roots that holds path; empty when none does.
QString innermost(const QStringList& roots, const QString& path) {
  QString best;
  for (const QString& root : roots) {
    if (within(path, root) && root.size() > best.size()) best = root;
  }
  return best;
}

}  // namespace

QString RootOf(const QString& drive) {
  return drive;
}

QString Fallback() {
  // A user's images are far likelier under the home folder than at the
  // root; it is looked up at each use, as the environment names it.
  const QString home = Clean(QDir::homePath());
  return QFileInfo(home).isDir() ? home : Root;
}

QList<Volume> System::List() const {
  QStringList roots = mountPoints(true);
  roots.removeAll(Root);
  std::sort(roots.begin(), roots.end());
  roots.prepend(Root);
  QList<Volume> volumes;
  for (const QString& root : roots) volumes.append({root, Label(QStorageInfo(root))});
  return volumes;
}

QString System::DriveOf(const QString& path) const {
  // Volumes that do not answer count too: a path on one of them must be
  // told apart from a path that does not exist.
  const QString mount = innermost(mountPoints(false), path);
  return mount.isEmpty() ? Root : mount;
}

QString CurrentFolder(const QString& drive) {
  return WorkingFolderOr(drive);
}

QString Absolute(const QString& path) {
  return FromWorkingFolder(path);
}

QString Capitalised(const QString& drive) {
  return drive;
}

}  // namespace Drives
