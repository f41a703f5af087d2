#include "engine/Lib_Convert.h"

namespace Lib_Convert {

QString StrToHex(const QByteArray& data) {
  static constexpr char Digits[] = "0123456789ABCDEF";
  QString text;
  text.reserve(data.size() * 2);
  for (char c : data) {
    const auto byte = static_cast<unsigned char>(c);
    text.append(QLatin1Char(Digits[byte >> 4]));
    text.append(QLatin1Char(Digits[byte & 0x0F]));
  }
  return text;
}

}  // namespace Lib_Convert
