#pragma once

#include <QList>
#include <QString>

// The drives the folder picker offers, and what it needs to know of them.
// On Windows a drive is a letter and a colon, in lower case ("c:"). Where
// there are no drive letters, each mounted volume that can be used stands
// for a drive, named by its mount point ("/", "/media/usb"), the root first.
// Paths given back are in the platform's own notation.
namespace Drives {

// The folder the picker falls back to when it cannot open the one it was
// given: "C:\" on Windows; elsewhere the user's home folder, or "/" when
// there is none.
QString Fallback();

struct Volume {
  QString drive;
  QString label;  // the volume's name; empty when it has none
};

// What the picker asks of the system about its volumes. The system's own
// answers are used unless others are installed: a machine cannot be made to
// have a volume that does not answer, so tests put in one that has it.
class Volumes {
 public:
  virtual ~Volumes() = default;

  // The drives of the system, in the order the drive list shows them.
  virtual QList<Volume> List() const = 0;
  // The drive a folder lies on, worked out from the text of its absolute
  // path alone, so that it can be asked of folders on volumes that cannot be
  // reached. Empty when no drive matches.
  virtual QString DriveOf(const QString& path) const = 0;
  // Whether the drive's volume can be reached now.
  virtual bool Ready(const QString& drive) const = 0;
};

// The system's own answers.
const Volumes& SystemVolumes();

// Puts volumes in the place of the system's, which null puts back. The
// caller keeps them, and puts the system's back before they go.
void SetVolumes(const Volumes* volumes);

// The answers of the volumes in place.
QList<Volume> List();
QString DriveOf(const QString& path);
bool Ready(const QString& drive);

// The folder a bare drive opens: on Windows the drive's current folder;
// elsewhere the working folder when it lies on that volume, otherwise the
// volume's root.
QString CurrentFolder(const QString& drive);

// The absolute, cleaned form of a folder path: no "." or ".." parts and no
// separator at the end except at a root. Relative paths and, on Windows,
// bare drives ("d:") are resolved the way the system resolves them.
QString Absolute(const QString& path);

// A drive as the picker's messages name it: in capitals where drives are
// letters, unchanged where they are mount points.
QString Capitalised(const QString& drive);

}  // namespace Drives
