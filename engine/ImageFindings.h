#pragma once

#include <QByteArrayView>
#include <QList>
#include <QString>
#include <array>
#include <optional>

#include "engine/ImageAssembly.h"
#include "engine/ImageReading.h"

// What the program knows of one image once it has been read: how it was
// read, the CRC-32 of each bank kept, and the bytes of the image that a
// chosen output layout never writes. Both front ends tell these in their
// own words; a run also uses the bytes left out to warn of data an output
// leaves behind.

// The CRC-32 of zip and PNG (reflected polynomial 0xEDB88320, starting and
// ending inverted). Give the CRC of the bytes before to go on over more
// bytes: Crc32(b, Crc32(a)) is the CRC of a followed by b.
quint32 Crc32(QByteArrayView data, quint32 previous = 0);

// Why a run of input bytes is not written.
enum class LeftOut {
  Padding,     // the 8K of fill beside a bank of a 256K image
  PastKept,    // bank 1 past the length it is kept to
  Bank1Only,   // a bank other than bank 1, with bank 1 alone written
  Limit32K,    // bank 1 past 32K, with bank 1 alone cut to 32K
  NotInOrder,  // a bank the output order does not name
  PastPlace,   // the part of a bank longer than its place in the output
  Outside,     // outside every slot
};

// Input bytes that the output never writes, other than the chosen fill.
struct DroppedRange {
  qint64 offset;  // in the file
  qint64 length;
  LeftOut why;
  int slot;        // the slot the bytes lie in; -1 outside every slot
  int bank;        // the bank they belong to; -1 for padding
  qint64 past;     // how far into the bank the range begins
  quint8 fill;     // the value found most often in the range
  qint64 notFill;  // bytes of another value; 0 for a range all of one value
  QString text;    // the first readable text in it, or empty
};

struct ImageFindings {
  ImageReading reading;
  QString error;  // why the file could not be read at all; set by the caller
  std::array<std::optional<quint32>, BankCount> crc32;  // of each bank kept, when asked for
  // Only when a layout was given and the image was read.
  std::optional<QList<DroppedRange>> dropped;
  qint64 droppedBytes = 0;   // all bytes the output leaves out, fill included
  // Banks of the image the layout writes more than once, or not at all.
  QList<int> repeated, missing;
};

struct FindingsOptions {
  std::optional<OutputLayout> layout;  // none: the dropped bytes are not looked for
  bool crc32 = false;                  // a conversion run leaves the checksums out
};

// The findings of the image whose bytes these are, read as reading tells.
ImageFindings TakeFindings(QByteArrayView image, const ImageReading& reading,
                           const FindingsOptions& options);
