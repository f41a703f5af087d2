// Feeds arbitrary bytes through the bank conversion engine and checks what
// must hold for every image: the input is made into an image of each of the
// five accepted lengths, recognised through a buffer under file number 1,
// and assembled under every layout choice.
#include <QByteArray>
#include <QString>
#include <QStringList>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <cstring>

#include "engine/BankTables.h"
#include "engine/ImageAssembly.h"
#include "engine/Lib_Convert.h"
#include "engine/Lib_File.h"

namespace {

constexpr std::array<int, 4> Slots{0, 1, 8, 9};

[[noreturn]] void fail(const char* what) {
  std::fprintf(stderr, "invariant broken: %s\n", what);
  std::abort();
}

void check(bool holds, const char* what) {
  if (!holds) fail(what);
}

// The input repeated (or cut) to length; zeros for an empty input.
QByteArray imageOf(const QByteArray& input, qint64 length) {
  QByteArray image(length, '\0');
  if (input.isEmpty()) return image;
  // The input once, then what is there copied after itself until full.
  qint64 done = qMin<qint64>(input.size(), length);
  std::memcpy(image.data(), input.constData(), static_cast<size_t>(done));
  while (done < length) {
    const qint64 more = qMin(done, length - done);
    std::memcpy(image.data() + done, image.constData(), static_cast<size_t>(more));
    done += more;
  }
  return image;
}

int word(const QByteArray& data, qint64 offset) {
  if (offset + 2 > data.size()) return -1;
  return static_cast<quint8>(data[offset]) << 8 | static_cast<quint8>(data[offset + 1]);
}

QByteArray slotOf(const QByteArray& image, int slot) {
  return image.mid(BankStart[static_cast<size_t>(slot)], BankLength[static_cast<size_t>(slot)]);
}

// `fills` holds at least `count` fill bytes.
bool isFill(const QByteArray& data, qint64 from, qint64 count, const QByteArray& fills) {
  return std::memcmp(data.constData() + from, fills.constData(), static_cast<size_t>(count)) == 0;
}

// The bank is `length` bytes from `offset` of one of the four slots.
bool comesFromASlot(const QByteArray& bank, const QByteArray& image, qint64 offset, qint64 length) {
  for (int slot : Slots) {
    if (bank == slotOf(image, slot).mid(offset, length)) return true;
  }
  return false;
}

void checkTwoBank(const QByteArray& image, bool accepted) {
  check(accepted, "a two-bank image is always accepted");
  check(BankData[0].isEmpty() && BankData[9].isEmpty(), "banks 0 and 9 of a two-bank image");
  const bool bank8First = word(image, 0) == 0xFFFA;
  check(BankData[bank8First ? 8 : 1] == slotOf(image, 1), "first slot of a two-bank image");
  check(BankData[bank8First ? 1 : 8] == slotOf(image, 8), "second slot of a two-bank image");
}

void check256K(const QByteArray& image, bool accepted) {
  qint64 padOffset = -1;
  for (int slot : Slots) {
    if (padOffset != -1) break;
    // Within a slot a FFFA word wins over a 27FE word, offset 8192 over 0.
    const QByteArray data = slotOf(image, slot);
    if (word(data, Size8K) == 0xFFFA) {
      padOffset = Size8K;
    } else if (word(data, 0) == 0xFFFA) {
      padOffset = 0;
    } else if (word(data, Size8K) == 0x27FE) {
      padOffset = Size8K;
    } else if (word(data, 0) == 0x27FE) {
      padOffset = 0;
    }
  }
  check(accepted == (padOffset != -1), "a 256K image is accepted when a mark is found");
  if (!accepted) return;
  for (int bank : {0, 8, 9}) {
    check(comesFromASlot(BankData[static_cast<size_t>(bank)], image, padOffset, Size56K),
          "banks 0, 8 and 9 are the 56K from the padding offset of a slot");
  }
  const qint64 bank1 = BankData[1].size();
  check(bank1 == Size32K || bank1 == Size48K || bank1 == Size56K, "length of bank 1");
  check(comesFromASlot(BankData[1], image, padOffset, bank1), "bank 1 comes from a slot");
}

void checkFourBank(const QByteArray& image, bool accepted) {
  const auto first = [&](int slot) { return word(slotOf(image, slot), 0); };
  const bool slot1HasFord = slotOf(image, 1).contains("Copyright Ford");
  const bool rejected = first(0) == 0xFFFF || first(1) == 0xFFFF ||
                        ((first(8) == 0xFFFF || first(9) == 0xFFFF) && !slot1HasFord);
  check(accepted == !rejected, "the four checks decide a 216K or 224K image");
  if (!accepted) return;
  for (int bank : {0, 8, 9}) {
    const QByteArray& data = BankData[static_cast<size_t>(bank)];
    check(comesFromASlot(data, image, 0, -1), "banks 0, 8 and 9 are whole slots");
  }
  const qint64 bank1 = BankData[1].size();
  check(bank1 == Size48K, "bank 1 of a four-bank image is 48K");
  check(comesFromASlot(BankData[1], image, 0, bank1), "bank 1 comes from a slot");
}

void checkLayout(const OutputLayout& layout) {
  const QByteArray image = AssembleImage(layout);
  const auto bank = [](int number) { return BankData[static_cast<size_t>(number)]; };
  const QByteArray fills(Size64K, static_cast<char>(layout.fillByte));

  if (layout.bank1Only) {
    check(image == (layout.limit32K ? bank(1).left(Size32K) : bank(1)), "bank 1 only");
  } else if (layout.padSize == PadSizeCode::NoPadding) {
    qint64 at = 0;
    for (int number : layout.order) {
      check(image.mid(at, bank(number).size()) == bank(number),
            "no padding is the concatenation of the banks");
      at += bank(number).size();
    }
    check(at == image.size(), "no padding adds nothing to the banks");
  } else {
    const bool pad64K = layout.padSize == PadSizeCode::Pad64K;
    const qint64 place = pad64K ? Size64K : Size56K;
    const qint64 lead = pad64K && layout.frontPadding ? Size8K : 0;
    check(image.size() == (pad64K ? 262144 : 229376), "length of a padded image");
    for (size_t k = 0; k < layout.order.size(); ++k) {
      const qint64 start = static_cast<qint64>(k) * place;
      const QByteArray data = bank(layout.order[k]).left(place - lead);
      check(isFill(image, start, lead, fills), "fill before a bank");
      check(image.mid(start + lead, data.size()) == data, "bank in its place");
      check(isFill(image, start + lead + data.size(), place - lead - data.size(), fills),
            "fill after a bank");
    }
  }

  // Written the way the batch run writes it: one call at position -1. The
  // buffer keeps its memory from one layout to the next.
  static QByteArray target;
  target.resize(0);
  check(Lib_File::OpenBuffer(Lib_File::OutputFile, &target), "open the target");
  check(Lib_File::WriteBytes(Lib_File::OutputFile, Lib_File::CurrentPosition, image),
        "write the image");
  check(Lib_File::CommitFile(Lib_File::OutputFile), "close the target");
  check(target == image, "the target holds the image");
}

void checkEveryLayout(const QByteArray& input) {
  QString order = QStringLiteral("0,1,8,9");
  if (input.size() >= 4) {
    order.clear();
    for (int k = 0; k < 4; ++k) {
      if (k > 0) order += u',';
      order += QChar(u'0' + static_cast<quint8>(input[k]) % 10);
    }
  }
  const QString padValue =
      input.size() > 4 ? QString::number(static_cast<quint8>(input[4]), 16) : QStringLiteral("FF");

  // Every choice that makes a different image: bank 1 alone with and
  // without the limit, each padding, a pad size no option sets, and the
  // limit without bank 1 only.
  const struct {
    quint8 bank1Only, limit32K, padSize, padType;
  } choices[] = {
      {1, 0, 2, 1}, {1, 1, 0, 0}, {0, 0, 0, 0}, {0, 0, 1, 1},
      {0, 0, 2, 0}, {0, 0, 2, 1}, {0, 0, 5, 1}, {0, 1, 1, 0},
  };
  for (const auto& c : choices) {
    OutputLayout layout;
    check(ResolveLayout(order, padValue, c.padSize, c.padType, c.bank1Only, c.limit32K, &layout) ==
              LayoutError::None,
          "a well-formed layout is accepted");
    checkLayout(layout);
  }
}

// The layout texts themselves, taken from the input.
void checkLayoutTexts(const QByteArray& input) {
  const qsizetype split = input.isEmpty() ? 0 : static_cast<quint8>(input[0]) % input.size();
  const QString order = QString::fromLatin1(input.mid(1, split));
  const QString padValue = QString::fromLatin1(input.mid(1 + split, 4));
  OutputLayout layout;
  const LayoutError error = ResolveLayout(order, padValue, 1, 0, 0, 0, &layout);
  if (error == LayoutError::None) {
    for (int bank : layout.order) check(bank >= 0 && bank <= 9, "bank numbers 0 to 9");
    bool ok = false;
    check(padValue.toUInt(&ok, 16) == layout.fillByte && ok, "fill byte is the pad value");
  }
  const QStringList pieces = order.split(u',');
  bool simple = pieces.size() >= 4;
  for (int k = 0; simple && k < 4; ++k) {
    simple = pieces[k].size() == 1 && pieces[k][0] >= u'0' && pieces[k][0] <= u'9';
  }
  if (simple) check(error != LayoutError::BadOrder, "an order of four digits is accepted");

  const QString hex = Lib_Convert::StrToHex(input);
  check(hex.size() == 2 * input.size() && hex == hex.toUpper(), "hex text");
  check(QByteArray::fromHex(hex.toLatin1()) == input, "hex text gives back the bytes");
}

// Reads and writes decoded from the input, on a buffer under a file number
// and on a plain byte string that models the file and its current position.
void checkFileAccess(const QByteArray& input) {
  QByteArray buffer = input.left(16);
  QByteArray model = buffer;
  qint64 current = 0;
  Lib_File::CloseAllGuard closeAll;
  check(Lib_File::OpenBuffer(Lib_File::OutputFile, &buffer), "open a buffer");

  for (qsizetype k = 16; k + 2 < input.size() && k < 16 + 3 * 64; k += 3) {
    const auto kind = static_cast<quint8>(input[k]);
    const qint64 position = static_cast<quint8>(input[k + 1]) % 24 - 2;  // -2 to 21
    const qint64 length = static_cast<quint8>(input[k + 2]) % 10 - 1;    // -1 to 8
    const qint64 size = model.size();
    const qint64 start = position == -1 ? current : position == -2 ? size : position;
    if (kind % 2 == 0) {
      const QByteArray data(qMax<qint64>(length, 0), static_cast<char>(kind));
      check(Lib_File::WriteBytes(Lib_File::OutputFile, position, data), "write");
      if (start > size) model.append(start - size, '\0');
      model.replace(start, qMin<qint64>(data.size(), model.size() - start), data);
      current = start + data.size();
    } else {
      const qint64 count = length == 0 || length == -1 ? size : length;
      QByteArray expected;
      if (count > 0 && start <= size) {
        expected = model.mid(start, count);
        current = start + expected.size();
      }
      check(Lib_File::ReadBytes(Lib_File::OutputFile, position, length) == expected, "read");
    }
    check(buffer == model, "the buffer holds what was written");
    check(Lib_File::FileLength(Lib_File::OutputFile) == model.size(), "length");
  }
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* bytes, std::size_t size) {
  const QByteArray input(reinterpret_cast<const char*>(bytes), static_cast<qsizetype>(size));
  checkLayoutTexts(input);
  checkFileAccess(input);

  for (qint64 length : {Length88K, Length112K, Length216K, Length224K, Length256K}) {
    const QByteArray original = imageOf(input, length);
    QByteArray buffer = original;
    Lib_File::CloseAllGuard closeAll;
    check(Lib_File::OpenBuffer(Lib_File::InputFile, &buffer), "open the image");
    check(ClassifyImage(), "every accepted length has a layout");
    const bool accepted = ConvertFile();
    check(buffer == original, "conversion leaves the image as it was");
    for (int unused = 2; unused <= 7; ++unused) check(BankData[unused].isEmpty(), "banks 2 to 7");

    if (length == Length88K || length == Length112K) {
      checkTwoBank(original, accepted);
    } else if (length == Length256K) {
      check256K(original, accepted);
    } else {
      checkFourBank(original, accepted);
    }
    if (accepted) checkEveryLayout(input);
  }
  return 0;
}
