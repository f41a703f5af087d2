#pragma once

// What the drive layer's platform halves share, for them alone.
#include <QList>
#include <QStorageInfo>
#include <QString>

#include "ui/Drives.h"

namespace Drives {

// How the platform compares the names of drives and folders.
extern const Qt::CaseSensitivity PathCase;

// A path in the platform's notation with its "." and ".." parts resolved by
// their text, and no separator at the end except at a root.
QString Clean(const QString& path);

// A path resolved against the working folder by its text, then cleaned.
QString FromWorkingFolder(const QString& path);

// The working folder when it lies on the drive, otherwise the drive itself.
QString WorkingFolderOr(const QString& drive);

// The volume's name; empty when it has none or does not answer.
QString Label(const QStorageInfo& volume);

// The folder at the top of a drive, as the system's volume queries take it.
QString RootOf(const QString& drive);

// The system's own answers: List and DriveOf are each platform's, Ready is
// shared.
class System final : public Volumes {
 public:
  QList<Volume> List() const override;
  QString DriveOf(const QString& path) const override;
  bool Ready(const QString& drive) const override;
};

}  // namespace Drives
