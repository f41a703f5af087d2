#include "tools/ImageBuilder.h"

#include <QFile>

namespace ImageBuilder {
namespace {

constexpr qint64 K = 1024;

QByteArray fitted(const QByteArray& data, qint64 length, quint8 fill) {
  QByteArray out = data.left(length);
  out.append(length - out.size(), static_cast<char>(fill));
  return out;
}

QByteArray fourSlots(const std::array<QByteArray, 4>& slots, const std::array<qint64, 4>& lengths) {
  QByteArray image;
  for (size_t k = 0; k < slots.size(); ++k) image += fitted(slots[k], lengths[k], 0x00);
  return image;
}

}  // namespace

QByteArray Body(qint64 length, quint8 tag) {
  QByteArray data(length, Qt::Uninitialized);
  // A short rising run of bytes: it spells no text and, for the tags used
  // here, puts no mark at the offsets the recognition reads.
  for (qint64 i = 0; i < length; ++i) {
    data[i] = static_cast<char>((tag + 2 * (i % 64)) & 0xFF);
  }
  return data;
}

void Put(QByteArray& data, qint64 offset, QByteArrayView bytes) {
  if (offset + bytes.size() > data.size()) data.resize(offset + bytes.size());
  for (qsizetype i = 0; i < bytes.size(); ++i) data[offset + i] = bytes[i];
}

QByteArray Fill(qint64 length, quint8 byte) {
  return QByteArray(length, static_cast<char>(byte));
}

QByteArray Bank0(qint64 length) {
  return Body(length, 0xA0);
}

QByteArray Bank1(qint64 length) {
  QByteArray bank = Body(length, 0xB0);
  Put(bank, 0, "\x27\xFE");
  return bank;
}

QByteArray Bank8(qint64 length) {
  QByteArray bank = Body(length, 0xC0);
  Put(bank, 0, "\xFF\xFA");
  return bank;
}

QByteArray Bank9(qint64 length) {
  QByteArray bank = Body(length, 0xD0);
  Put(bank, 2, "\x27\xFE");
  Put(bank, 0x100, "Copyright Ford");
  return bank;
}

QByteArray Slot64K(const QByteArray& bank, qint64 offset, quint8 fill) {
  QByteArray slot = Fill(64 * K, fill);
  Put(slot, offset, QByteArrayView(bank).first(qMin<qint64>(bank.size(), 56 * K)));
  slot.truncate(64 * K);
  return slot;
}

QByteArray With(QByteArray data, qint64 offset, QByteArrayView bytes) {
  Put(data, offset, bytes);
  return data;
}

QByteArray Image256K(const std::array<QByteArray, 4>& slots, bool frontPadding, quint8 fill) {
  QByteArray image;
  for (const QByteArray& bank : slots) {
    if (frontPadding) image += Fill(8 * K, fill);
    image += fitted(bank, 56 * K, fill);
    if (!frontPadding) image += Fill(8 * K, fill);
  }
  return image;
}

QByteArray Image216K(const std::array<QByteArray, 4>& slots) {
  return fourSlots(slots, {56 * K, 48 * K, 56 * K, 56 * K});
}

QByteArray Image224K(const std::array<QByteArray, 4>& slots) {
  return fourSlots(slots, {56 * K, 56 * K, 56 * K, 56 * K});
}

QByteArray Image88K(const QByteArray& first, const QByteArray& second) {
  return fitted(first, 32 * K, 0x00) + fitted(second, 56 * K, 0x00);
}

QByteArray Image112K(const QByteArray& first, const QByteArray& second) {
  return fitted(first, 56 * K, 0x00) + fitted(second, 56 * K, 0x00);
}

QList<std::pair<QString, QByteArray>> SampleImages() {
  return {
      {QStringLiteral("two_bank_88k.bin"), Image88K(Bank1(32 * K), Bank8())},
      {QStringLiteral("two_bank_112k.bin"), Image112K(Bank8(), Bank1())},
      {QStringLiteral("four_bank_216k.bin"), Image216K({Bank0(), Bank1(48 * K), Bank8(), Bank9()})},
      {QStringLiteral("four_bank_224k.bin"), Image224K({Bank8(), Bank1(), Bank0(), Bank9()})},
      {QStringLiteral("front_padded_256k.bin"),
       Image256K({Bank0(), Bank1(), Bank8(), Bank9()}, true)},
      {QStringLiteral("rear_padded_256k.bin"),
       Image256K({Bank0(), Bank1(), Bank9(), Bank8()}, false)},
      {QStringLiteral("unknown_length.bin"), Body(100 * K, 0x10)},
  };
}

bool WriteFile(const QString& path, const QByteArray& data) {
  QFile file(path);
  if (!file.open(QIODevice::WriteOnly | QIODevice::Truncate)) return false;
  return file.write(data) == data.size() && file.flush();
}

QByteArray ReadFile(const QString& path) {
  QFile file(path);
  if (!file.open(QIODevice::ReadOnly)) return {};
  return file.readAll();
}

}  // namespace ImageBuilder
