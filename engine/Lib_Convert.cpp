#include "engine/Lib_Convert.h"

namespace Lib_Convert {

namespace {

constexpr char LowerHexDigits[] = "0123456789abcdef";

void appendHex(QString* out, char prefix, char16_t value, int digits) {
  out->append(u'\\');
  out->append(QLatin1Char(prefix));
  for (int shift = (digits - 1) * 4; shift >= 0; shift -= 4) {
    out->append(QLatin1Char(LowerHexDigits[(value >> shift) & 0xF]));
  }
}

// Characters that reorder the text around them: embeddings, overrides and
// isolates, and the marks that set a direction.
bool turnsDirection(char16_t c) {
  return c == 0x061C || c == 0x200E || c == 0x200F || (c >= 0x202A && c <= 0x202E) ||
         (c >= 0x2066 && c <= 0x2069);
}

// Where a backslash is a path separator it never stands in a name, and a
// path is shown with its separators as they are.
constexpr bool BackslashInNames =
#ifdef Q_OS_WIN
    false;
#else
    true;
#endif

}  // namespace

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

QString ShownText(const QString& text) {
  QString shown;
  shown.reserve(text.size());
  for (qsizetype i = 0; i < text.size(); ++i) {
    const char16_t c = text[i].unicode();
    if (QChar::isHighSurrogate(c) && i + 1 < text.size() &&
        QChar::isLowSurrogate(text[i + 1].unicode())) {
      shown.append(text[i]);
      shown.append(text[++i]);
      continue;
    }
    switch (c) {
      case u'\a': shown.append(u"\\a"); continue;
      case u'\b': shown.append(u"\\b"); continue;
      case u'\t': shown.append(u"\\t"); continue;
      case u'\n': shown.append(u"\\n"); continue;
      case u'\v': shown.append(u"\\v"); continue;
      case u'\f': shown.append(u"\\f"); continue;
      case u'\r': shown.append(u"\\r"); continue;
      case 0x1B: shown.append(u"\\e"); continue;
      case u'\\': shown.append(BackslashInNames ? u"\\\\" : u"\\"); continue;
      default: break;
    }
    if (c < 0x20 || c == 0x7F) {
      appendHex(&shown, 'x', c, 2);
    } else if (QChar::isSurrogate(c)) {
      // A byte that is not UTF-8 travels as U+DC80 to U+DCFF; any other
      // lone surrogate cannot come from a name and shows as itself.
      if (c >= 0xDC80 && c <= 0xDCFF) {
        appendHex(&shown, 'x', c & 0xFF, 2);
      } else {
        appendHex(&shown, 'u', c, 4);
      }
    } else if ((c >= 0x80 && c <= 0x9F) || turnsDirection(c)) {
      appendHex(&shown, 'u', c, 4);
    } else {
      shown.append(QChar(c));
    }
  }
  return shown;
}

}  // namespace Lib_Convert
