#pragma once

#include <QByteArray>
#include <QString>

namespace Lib_Convert {

// Two upper-case hex digits per byte, no separators: 0x27 0xFE gives "27FE".
QString StrToHex(const QByteArray& data);

// A file name or stored text as the program shows it, in the terminal and in
// the windows alike: text, never control. Control characters (C0, DEL, C1)
// and the marks that turn the direction of text show as escapes ("\e",
// "\n", "\u202e"), the bytes of a name that are not UTF-8 (carried as lone
// surrogates) as "\x9b", and a backslash as "\\" wherever it can stand in a
// name, so that what is shown can be told apart from what is escaped. The
// real name still goes to the file system.
QString ShownText(const QString& text);

}  // namespace Lib_Convert
