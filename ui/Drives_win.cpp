// The drives on Windows: the drive letters in use, and network shares. The
// system keeps a current folder for every drive letter.
#include <QDir>
#include <QFileInfo>
#include <QStorageInfo>
#include <QStringList>

#include "ui/Drives.h"
#include "ui/DrivesPrivate.h"

#include <windows.h>

#include <string>

namespace Drives {

const Qt::CaseSensitivity PathCase = Qt::CaseInsensitive;

namespace {

bool isLetterDrive(const QString& drive) {
  return drive.size() == 2 && drive[0].isLetter() && drive[1] == u':';
}

}  // namespace

QString RootOf(const QString& drive) {
  return isLetterDrive(drive) ? drive.toUpper() + u'\\' : drive;
}

QString Fallback() {
  return QStringLiteral("C:\\");
}

QList<Volume> System::List() const {
  // Every drive letter in use, also removable drives without a medium, which
  // say "not ready" only when chosen.
  QList<Volume> volumes;
  for (const QFileInfo& root : QDir::drives()) {
    const QString drive = root.filePath().left(2).toLower();
    volumes.append({drive, Label(QStorageInfo(RootOf(drive)))});
  }
  return volumes;
}

QString System::DriveOf(const QString& path) const {
  const QString p = QDir::fromNativeSeparators(path);
  if (p.size() >= 2 && p[0].isLetter() && p[1] == u':') return p.left(2).toLower();
  // A network share, \\server\share, is a drive of its own.
  const QStringList parts = p.split(u'/');
  if (p.startsWith(QStringLiteral("//")) && parts.size() >= 4) {
    return QDir::toNativeSeparators(parts.mid(0, 4).join(u'/'));
  }
  return {};
}

QString CurrentFolder(const QString& drive) {
  // Resolving a bare drive letter gives the drive's current folder, or its
  // root when it has none.
  if (isLetterDrive(drive)) return Absolute(drive);
  return WorkingFolderOr(drive);
}

QString Absolute(const QString& path) {
  const std::wstring in = QDir::toNativeSeparators(path).toStdWString();
  const DWORD size = GetFullPathNameW(in.c_str(), 0, nullptr, nullptr);
  if (size != 0) {
    std::wstring out(size, L'\0');
    const DWORD written = GetFullPathNameW(in.c_str(), size, out.data(), nullptr);
    if (written != 0 && written < size) {
      return Clean(QString::fromStdWString(out.substr(0, written)));
    }
  }
  return FromWorkingFolder(path);
}

QString Capitalised(const QString& drive) {
  return drive.toUpper();
}

}  // namespace Drives
