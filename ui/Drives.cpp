#include "ui/Drives.h"

#include <QDir>
#include <QStorageInfo>

#include "ui/DrivesPrivate.h"

// What both platforms share; List, DriveOf, Fallback, CurrentFolder,
// Absolute and Capitalised are each platform's own (Drives_unix.cpp,
// Drives_win.cpp).
namespace Drives {
namespace {

const Volumes* installed = nullptr;

const Volumes& inPlace() {
  return installed ? *installed : SystemVolumes();
}

}  // namespace

QString Clean(const QString& path) {
  return QDir::toNativeSeparators(QDir::cleanPath(QDir::fromNativeSeparators(path)));
}

QString FromWorkingFolder(const QString& path) {
  return Clean(QDir::current().absoluteFilePath(QDir::fromNativeSeparators(path)));
}

QString WorkingFolderOr(const QString& drive) {
  const QString working = Clean(QDir::currentPath());
  return DriveOf(working).compare(drive, PathCase) == 0 ? working : Clean(drive);
}

QString Label(const QStorageInfo& volume) {
  return volume.isValid() && volume.isReady() ? volume.name() : QString();
}

bool System::Ready(const QString& drive) const {
  if (drive.isEmpty()) return false;
  const QStorageInfo volume(RootOf(drive));
  return volume.isValid() && volume.isReady();
}

const Volumes& SystemVolumes() {
  static const System system;
  return system;
}

void SetVolumes(const Volumes* volumes) {
  installed = volumes;
}

QList<Volume> List() {
  return inPlace().List();
}

QString DriveOf(const QString& path) {
  return inPlace().DriveOf(path);
}

bool Ready(const QString& drive) {
  return inPlace().Ready(drive);
}

}  // namespace Drives
