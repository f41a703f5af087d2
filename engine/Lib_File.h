#pragma once

#include <QByteArray>
#include <QString>
#include <functional>
#include <memory>

namespace NativeFile {
class Folder;
class Replacement;
}  // namespace NativeFile

// Binary file access by file number. The input image is always file number 1,
// the output image file number 2. Errors are values: an open that fails
// returns false, a short read returns fewer bytes, a failed write or commit
// returns false. Nothing here shows a message.
namespace Lib_File {

inline constexpr int InputFile = 1;
inline constexpr int OutputFile = 2;
inline constexpr int MaxFileNumber = 8;

// Position sentinels: -1 is the file's current position, -2 (writing only)
// just after its last byte. A length of 0 or -1 means the whole file.
inline constexpr qint64 CurrentPosition = -1;
inline constexpr qint64 EndOfFile = -2;
inline constexpr qint64 WholeFile = 0;

// Opens an existing regular file for reading only; a missing file is not
// created, and anything but a regular file (a pipe, a device) is refused
// without blocking. On failure why, when given, says why in the run's words.
bool OpenForRead(int fileNumber, const QString& path, QString* why = nullptr);

// Opens the regular file at path for reading, without blocking on anything
// else, and tells its length in *length. When wanted(length) holds, reads it
// whole into *bytes with one read; a short read leaves fewer bytes there.
// False, with why when given, when it cannot be opened. Takes no file
// number: the input of a run or a look is a value, not an open file.
bool ReadWhole(const QString& path, const std::function<bool(qint64)>& wanted, QByteArray* bytes,
               qint64* length, QString* why = nullptr);

// Opens a file that is to take a name in a folder held open as a whole.
// Bytes go to a temporary file beside it; only placing the replacement
// (TakeReplacement) puts them at the name, so a failed write never leaves a
// partial file and never touches an existing one.
bool OpenForReplace(int fileNumber, NativeFile::Folder& folder, const QString& name,
                    QString* why = nullptr);

// Opens a byte string in memory under a file number, for reading and
// writing; the buffer must outlive the open file.
bool OpenBuffer(int fileNumber, QByteArray* buffer);

// Size in bytes of the file open under the number, or -1 when none is.
qint64 FileLength(int fileNumber);

QByteArray ReadBytes(int fileNumber, qint64 position, qint64 length);

// Writes all of data; false when the number is not open or not every byte
// could be written (the file's Reason() then says why, for a replacement).
bool WriteBytes(int fileNumber, qint64 position, const QByteArray& data);

// Hands over a file opened with OpenForReplace, written but not yet put in
// place, and closes its number; null for any other kind of file. Lets a
// run put many files in place at once.
std::unique_ptr<NativeFile::Replacement> TakeReplacement(int fileNumber);

// Closes every open file number. A replacement that was not committed is
// discarded, its temporary file removed.
void CloseAll();

// Closes all files when it goes out of scope, so that a conversion that
// stops half way never leaves a number open.
class CloseAllGuard {
 public:
  CloseAllGuard() = default;
  ~CloseAllGuard() { CloseAll(); }
  CloseAllGuard(const CloseAllGuard&) = delete;
  CloseAllGuard& operator=(const CloseAllGuard&) = delete;
};

}  // namespace Lib_File
