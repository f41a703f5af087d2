#pragma once

#include <QByteArray>
#include <QString>
#include <functional>

// Reading the files the program takes in. Errors are values: a file that
// cannot be opened gives false and why; nothing here shows a message.
namespace Lib_File {

// Opens the regular file at path for reading, without blocking on anything
// else, and tells its length in *length. When wanted(length) holds, reads it
// whole into *bytes with one read; a short read leaves fewer bytes there.
// False, with why when given, when it cannot be opened. The input of a run
// or a look is a value, not an open file.
bool ReadWhole(const QString& path, const std::function<bool(qint64)>& wanted, QByteArray* bytes,
               qint64* length, QString* why = nullptr);

}  // namespace Lib_File
