#pragma once

#include <QByteArrayView>
#include <QJsonObject>
#include <QList>
#include <QString>
#include <optional>

#include "engine/ImageAssembly.h"
#include "engine/Refusal.h"

// What the program knows of one image once it has been recognised: its
// class, the bank in each slot, the banks kept with their checksums, and
// the bytes of the image that a chosen output layout never writes. Both
// front ends show these; a run also uses the dropped bytes to warn of data
// an output leaves behind.

// The CRC-32 of zip and PNG (reflected polynomial 0xEDB88320, starting and
// ending inverted). Give the CRC of the bytes before to go on over more
// bytes: Crc32(b, Crc32(a)) is the CRC of a followed by b.
quint32 Crc32(QByteArrayView data, quint32 previous = 0);

// An offset in a file as the findings write it, e.g. "0x1E000".
QString HexOffset(qint64 offset);

// Eight upper-case hex digits, e.g. "CBF43926".
QString Crc32Text(quint32 crc);

// A slot of the file and the bank recognised in it.
struct SlotFinding {
  int slot;
  int bank;
  qint64 offset;  // in the file, of the slot's bank data
  qint64 length;
};

// A bank as it is kept for the output, and the file bytes it is made of.
struct BankFinding {
  int bank;
  int slot;       // the slot it was taken from
  qint64 offset;  // in the file, of its first byte
  qint64 length;
  std::optional<quint32> crc32;  // when asked for
};

// Input bytes that the output never writes, and that are not all one value.
struct DroppedRange {
  qint64 offset;  // in the file
  qint64 length;
  QString where;   // e.g. "padding of slot 1", "bank 9 (not in the output order)"
  quint8 fill;     // the value found most often in the range
  qint64 notFill;  // bytes of another value
  QString text;    // the first readable text in it, or empty
};

struct ImageFindings {
  qint64 length = -1;   // -1 when the file could not be read
  QString lengthClass;  // "88K" to "256K", or empty for a length no layout has
  bool recognised = false;
  Refusal refusal = Refusal::None;
  QString error;          // why the file could not be read at all; set by the caller
  qint64 padOffset = -1;  // 256K: 0 rear padding, 8192 front padding
  QList<SlotFinding> slots;
  QList<BankFinding> banks;
  // Only when a layout was given and the image was recognised.
  std::optional<QList<DroppedRange>> dropped;
  qint64 droppedBytes = 0;  // all bytes the output leaves out, fill included
};

struct FindingsOptions {
  std::optional<OutputLayout> layout;  // none: the dropped bytes are not looked for
  bool crc32 = false;                  // a conversion run leaves the checksums out
};

// The findings of the image that ClassifyImage() and ConvertFile() have just
// worked on, read from the bank tables and LastRecognition. image is the
// whole file; it is read only when dropped bytes are asked for.
ImageFindings TakeFindings(QByteArrayView image, const FindingsOptions& options);

// The same for file number 1, still open after ConvertFile(); its bytes are
// read only for a recognised image whose dropped bytes are asked for.
ImageFindings TakeFindings(const FindingsOptions& options);

// A run of output bytes and the input bytes they are copied from. Output
// bytes no piece covers are fill.
struct OutputPiece {
  qint64 outputOffset;
  qint64 inputOffset;
  qint64 length;
  int bank;
};

// Where each byte of the output image of that layout comes from, in output
// order, for a recognised image.
QList<OutputPiece> TraceOutput(const ImageFindings& findings, const OutputLayout& layout);

// What the command line's inspect prints for an image: a first line with
// the name, then indented lines; ends with a newline.
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

// One line, without a newline, for an image whose output leaves out bytes
// that are not fill, e.g. 'x.bin: note, the layout leaves out 8,192 bytes
// that are not fill: padding of slot 1 at 0x0E000 ("CAL 4.2 EEC")'. Empty
// when it leaves out nothing but fill, or when dropped bytes were not asked for.
QString DroppedNotice(const QString& name, const ImageFindings& findings);
