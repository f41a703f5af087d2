#pragma once

#include <QJsonObject>
#include <QString>

#include "engine/ImageFindings.h"

// What an image is, in the words both front ends use: the command line's
// inspect and notes, the window's image list, its Copy and its strip.
namespace ImageWords {

// An offset in a file, e.g. "0x1E000".
QString HexOffset(qint64 offset);

// Eight upper-case hex digits, e.g. "CBF43926".
QString Crc32Text(quint32 crc);

// A byte as two hex digits, e.g. "BF".
QString ByteText(quint8 value);

// "8K", or "100 bytes" for a length that is no whole number of K.
QString SizeText(qint64 length);

// A bank order in file or output order, "1,8,0,9".
QString OrderText(const std::array<int, 4>& order);

// Why the image was not read, e.g. "slot 0 begins FF FF", or "the banks
// cannot be told apart: slots 0 and 9 both read as bank 0, and no slot as
// bank 9; stating its layout reads it". Empty for a read image.
QString RefusalText(const ImageReading& reading);

// How a layout was stated, "read as stated: 1,8,0,9" (", front padding"
// for a 256K image); empty for an image read by its marks.
QString StatedText(const ImageReading& reading);

// What the layout does with the banks that is not plain: "bank 8 twice, no
// bank 9"; empty when it writes each bank once.
QString OutputText(const QList<int>& repeated, const QList<int>& missing);

// Where a range left out lies, e.g. "padding of slot 1", "bank 1 past 48K",
// "bank 9 (not in the output order)".
QString WhereText(const DroppedRange& range);

// What inspect prints for an image: a first line with the name (as it is to
// be shown), then indented lines; ends with a newline.
QString FindingsText(const QString& name, const ImageFindings& findings);

// The same as one JSON object.
QJsonObject FindingsJson(const QString& name, const ImageFindings& findings);

// What the image is, in one line: its class, its padding and the bank in
// each slot, or why it is refused or could not be read, e.g. "256K, front
// padding, banks 0 in slot 0, 1 in slot 1, 8 in slot 8, 9 in slot 9".
QString ImageSummary(const ImageFindings& findings);

// What the layout leaves out of the image, in one line: "nothing", "16,384
// bytes, all fill", or the bytes that are not fill and where, as the notice
// below tells them. Empty when dropped bytes were not asked for.
QString DroppedSummary(const ImageFindings& findings);

// The same, after what the layout does with the banks that is not plain, as
// the image list tells it: "the output holds no bank 9; 57,344 bytes that
// are not fill: ...".
QString LeftOutText(const ImageFindings& findings);

// One line, without a newline, for an image whose output leaves out bytes
// that are not fill, e.g. 'x.bin: note, the layout leaves out 8,192 bytes
// that are not fill: padding of slot 1 at 0x0E000 ("CAL 4.2 EEC")'. Empty
// when it leaves out nothing but fill, or when dropped bytes were not asked
// for.
QString DroppedNotice(const QString& name, const ImageFindings& findings);

}  // namespace ImageWords
