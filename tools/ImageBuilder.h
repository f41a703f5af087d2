#pragma once

#include <QByteArray>
#include <QByteArrayView>
#include <QList>
#include <QString>
#include <array>
#include <utility>

// Lays out synthetic ROM images in memory: banks with a recognisable body
// and the marks the recognition looks for, slots with fill, whole images of
// every accepted length.
namespace ImageBuilder {

// A bank body: a byte pattern that starts from `tag` and carries no mark.
QByteArray Body(qint64 length, quint8 tag);

// Writes bytes over data at offset (data grows when needed).
void Put(QByteArray& data, qint64 offset, QByteArrayView bytes);

QByteArray Fill(qint64 length, quint8 byte);

// Banks that the recognition tells apart in every four-bank class.
QByteArray Bank0(qint64 length = 56 * 1024);  // no mark at all
QByteArray Bank1(qint64 length = 56 * 1024);  // first word 27 FE
QByteArray Bank8(qint64 length = 56 * 1024);  // first word FF FA
QByteArray Bank9(qint64 length = 56 * 1024);  // second word 27 FE, "Copyright Ford"

// A 64K slot of a 256K image: `fill` everywhere but for the bank (cut to
// 56K) at offset, cut where the slot ends. Offset 8192 is front padding, 0
// rear padding; any other offset makes a slot the padding search misses.
QByteArray Slot64K(const QByteArray& bank, qint64 offset, quint8 fill = 0xFF);

// Copy of data with bytes written over it at offset.
QByteArray With(QByteArray data, qint64 offset, QByteArrayView bytes);

// A 256K image: each bank (cut or filled to 56K) in a 64K slot with 8K of
// fill before it (front padding) or after it (rear padding).
QByteArray Image256K(const std::array<QByteArray, 4>& slots, bool frontPadding, quint8 fill = 0xFF);

// A 216K or 224K image: the four slots back to back (slot 1 of 48K for
// 216K). Each slot is cut or filled with 0x00 to its length.
QByteArray Image216K(const std::array<QByteArray, 4>& slots);
QByteArray Image224K(const std::array<QByteArray, 4>& slots);

// Two-bank images: first then second slot, 32K + 56K (88K) or 56K + 56K
// (112K).
QByteArray Image88K(const QByteArray& first, const QByteArray& second);
QByteArray Image112K(const QByteArray& first, const QByteArray& second);

// One image of every accepted layout and one file of a length no layout has,
// by file name: the sample folder that make_samples writes.
QList<std::pair<QString, QByteArray>> SampleImages();

// Writes data to path, replacing the file; false on failure.
bool WriteFile(const QString& path, const QByteArray& data);
QByteArray ReadFile(const QString& path);

}  // namespace ImageBuilder
