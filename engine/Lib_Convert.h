#pragma once

#include <QByteArray>
#include <QString>

namespace Lib_Convert {

// Two upper-case hex digits per byte, no separators: 0x27 0xFE gives "27FE".
QString StrToHex(const QByteArray& data);

}  // namespace Lib_Convert
