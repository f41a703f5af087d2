#pragma once

// What the file layer's platform halves share, for them alone.
#include <QFile>
#include <QIODevice>
#include <QString>
#include <memory>

namespace NativeFile {

// A temporary file's name: ".~quillet-" and six letters or digits, ".tmp".
QString TemporaryName();
bool IsTemporaryName(const QString& name);

// The system's own count of the bytes written and not yet on a disk; -1
// where it keeps none that a program can read.
qint64 SystemUnwrittenBytes();

// A small file is read whole as it is opened and closed at once; larger
// ones (never an image) are handed back as they are.
std::unique_ptr<QIODevice> ReadWholeIfSmall(std::unique_ptr<QFile> file);

}  // namespace NativeFile
