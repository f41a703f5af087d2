// Feeds arbitrary bytes through the bank conversion engine and checks what
// must hold for every image. The first bytes of an input choose one image
// length, one layout and a stated layout; the rest, repeated to that length,
// is the image. It is read and, when accepted, assembled and written under
// file number 2, as the batch run does it.
#include <QByteArray>
#include <QString>
#include <QStringList>
#include <algorithm>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <cstring>

#include "engine/ImageAssembly.h"
#include "engine/ImageFindings.h"
#include "engine/Lib_Convert.h"
#include "engine/Lib_File.h"

namespace {

constexpr std::array<qint64, 5> Lengths{Length88K, Length112K, Length216K, Length224K, Length256K};

[[noreturn]] void fail(const char* what) {
  std::fprintf(stderr, "invariant broken: %s\n", what);
  std::abort();
}

void check(bool holds, const char* what) {
  if (!holds) fail(what);
}

// What the first bytes of an input choose. Missing bytes count as zeros.
struct Choice {
  qint64 length = 0;
  QString order, padValue;
  quint8 padSize = 0, padType = 0, bank1Only = 0, limit32K = 0;
  std::optional<StatedLayout> stated;
};

constexpr qsizetype ChoiceBytes = 8;

// Byte 0: the length (its value mod 5), bank 1 only (bit 3), the 32K limit
// (bit 4) and the padding type (bits 5 to 7, any non-zero value is front
// padding). Byte 1: the padding size, 0, 1, 2 or 5 (a code no option
// sets). Bytes 2 to 5: the bank order, each mod 10, so empty banks 2 to 7
// come up too. Byte 6: the fill byte, as unpadded hex text ("a", "ff").
// Byte 7: a stated layout, none (below 24) or one of the 24 orders, with
// front or rear padding.
Choice choose(const QByteArray& input) {
  std::array<quint8, ChoiceBytes> b{};
  for (qsizetype k = 0; k < ChoiceBytes && k < input.size(); ++k) {
    b[static_cast<size_t>(k)] = static_cast<quint8>(input[k]);
  }
  Choice c;
  c.length = Lengths[b[0] % Lengths.size()];
  c.bank1Only = (b[0] >> 3) & 1;
  c.limit32K = (b[0] >> 4) & 1;
  c.padType = b[0] >> 5;
  c.padSize = b[1] % 4 == 3 ? 5 : b[1] % 4;
  c.order =
      QStringLiteral("%1,%2,%3,%4").arg(b[2] % 10).arg(b[3] % 10).arg(b[4] % 10).arg(b[5] % 10);
  c.padValue = QString::number(b[6], 16);
  if (b[7] >= 24) {
    std::array<int, 4> order = SlotNames;
    for (int k = 0; k < b[7] % 24; ++k) std::next_permutation(order.begin(), order.end());
    c.stated = StatedLayout{order, b[7] >= 140 ? Size8K : 0};
  }
  return c;
}

// The image: the input after its choice bytes, repeated (or cut) to the
// length; zeros when nothing is left. Written into `image`, whose memory is
// kept from one input to the next.
void makeImage(const QByteArray& input, qint64 length, QByteArray* image) {
  const QByteArrayView pattern = QByteArrayView(input).sliced(qMin(ChoiceBytes, input.size()));
  image->resize(length);
  char* data = image->data();
  if (pattern.isEmpty()) {
    std::memset(data, 0, static_cast<size_t>(length));
    return;
  }
  qint64 done = qMin<qint64>(pattern.size(), length);
  std::memcpy(data, pattern.data(), static_cast<size_t>(done));
  while (done < length) {
    const qint64 more = qMin(done, length - done);
    std::memcpy(data + done, data, static_cast<size_t>(more));
    done += more;
  }
}

// `bytes` stand at `at` of `data`, which holds at least that many more.
bool holdsAt(QByteArrayView data, qint64 at, QByteArrayView bytes) {
  return bytes.isEmpty() ||
         std::memcmp(data.data() + at, bytes.data(), static_cast<size_t>(bytes.size())) == 0;
}

// The banks of an accepted image: each once, each from a slot of its own,
// each within its slot, at one offset into every slot.
void checkBanks(const ImageReading& r, const QByteArray& image) {
  const bool twoBanks = image.size() == Length88K || image.size() == Length112K;
  check(r.banks.size() == (twoBanks ? 2 : 4), "every bank of the image is read");
  QList<int> slots;
  for (const BankPlace& b : r.banks) {
    check(b.bank != 2 && (b.bank < 3 || b.bank > 7), "banks 2 to 7 are never read");
    check(!slots.contains(b.slot), "every bank from a slot of its own");
    slots.append(b.slot);
    const auto s = std::find_if(r.slots.begin(), r.slots.end(),
                                [&](const SlotReading& slot) { return slot.slot == b.slot; });
    check(s != r.slots.end() && s->bank == b.bank, "a bank comes from the slot read as it");
    check(b.offset - s->BankStart == r.slots[0].offset - r.slots[0].BankStart,
          "every bank at one offset into its slot");
    check(b.offset + b.length <= s->BankStart + s->BankLength, "a bank within its slot");
    check(b.bank == 1 || b.length == s->length, "only bank 1 is cut");
  }
  if (twoBanks) return;
  const qint64 bank1 = r.bank(1)->length;
  const bool padded = image.size() == Length256K;
  check(bank1 == Size48K || (padded && (bank1 == Size32K || bank1 == Size56K)), "length of bank 1");
}

// `count` bytes at `at` of the output, at most 64K, are all the fill byte.
// Compared against a block of fill rather than byte by byte: the fuzzer's
// instrumentation would trace every single comparison.
bool isFill(const QByteArray& out, qint64 at, qint64 count, char fill) {
  static QByteArray fills;
  if (fills.isEmpty() || fills[0] != fill) fills.fill(fill, Size64K);
  return std::memcmp(out.constData() + at, fills.constData(), static_cast<size_t>(count)) == 0;
}

// The output's length follows from the layout alone, its bytes are the
// banks in order with fill where the layout puts it.
void checkOutput(const ImageReading& r, const QByteArray& image, const OutputLayout& layout,
                 const QByteArray& out) {
  const auto bank = [&](int number) -> QByteArrayView {
    const BankPlace* b = r.bank(number);
    return b ? QByteArrayView(image).sliced(b->offset, b->length) : QByteArrayView();
  };
  if (layout.bank1Only) {
    const qint64 length = layout.limit32K ? qMin(bank(1).size(), Size32K) : bank(1).size();
    check(out.size() == length &&
              std::memcmp(out.constData(), bank(1).data(), static_cast<size_t>(length)) == 0,
          "bank 1 only");
    return;
  }
  if (layout.padSize == PadSizeCode::NoPadding) {
    qint64 at = 0;
    for (int number : layout.order) {
      check(at + bank(number).size() <= out.size() && holdsAt(out, at, bank(number)),
            "no padding is the banks one after the other");
      at += bank(number).size();
    }
    check(at == out.size(), "no padding adds nothing to the banks");
    return;
  }
  const bool pad64K = layout.padSize == PadSizeCode::Pad64K;
  const qint64 place = pad64K ? Size64K : Size56K;
  const qint64 lead = pad64K && layout.frontPadding ? Size8K : 0;
  const char fill = static_cast<char>(layout.fillByte);
  check(out.size() == 4 * place, "length of a padded image");
  qint64 at = 0;
  for (int number : layout.order) {
    const qint64 used = qMin(bank(number).size(), place - lead);
    check(isFill(out, at, lead, fill), "fill before a bank");
    check(holdsAt(out, at + lead, bank(number).first(used)), "bank in its place");
    check(isFill(out, at + lead + used, place - lead - used, fill), "fill after a bank");
    at += place;
  }
}

// One image through the engine as the batch run takes it: read, recognised,
// and written only when accepted.
void convertOne(const QByteArray& input) {
  const Choice c = choose(input);
  OutputLayout layout;
  check(ResolveLayout(c.order, c.padValue, c.padSize, c.padType, c.bank1Only, c.limit32K,
                      &layout) == LayoutError::None,
        "a well-formed layout is accepted");

  static QByteArray image;
  makeImage(input, c.length, &image);
  const QByteArray before = image;  // shares the bytes; a write would show as a change
  const ImageReading reading = ConvertFile(image, c.stated ? &*c.stated : nullptr);
  check(before == image, "reading leaves the image as it was");
  const bool accepted = reading.recognised();
  if (c.length == Length88K || c.length == Length112K) {
    check(accepted, "a two-bank image is always accepted");
  }
  if (c.stated && IsFourBankLength(c.length)) {
    check(accepted, "a stated layout reads every four-bank image");
  }
  // The findings walk every byte left out, which the fuzzer's instrumentation makes slow: one
  // input in eight looks for them.
  if (input.size() % 8 == 0) {
    const ImageFindings findings =
        TakeFindings(image, reading, {.layout = layout, .crc32 = input.size() % 16 == 0});
    check(findings.reading.refusal == reading.refusal, "findings tell the reading");
  }

  Lib_File::CloseAllGuard closeAll;
  static QByteArray target;
  target.resize(0);
  check(Lib_File::OpenBuffer(Lib_File::OutputFile, &target), "open the target");
  if (accepted) {
    checkBanks(reading, image);
    const OutputPlan plan = PlanOutput(reading, layout);
    static QByteArray out;
    out.resize(plan.length);
    AssembleImage(plan, image, out.data());
    checkOutput(reading, image, layout, out);
    check(Lib_File::WriteBytes(Lib_File::OutputFile, Lib_File::CurrentPosition, out),
          "write the image");
    check(target == out, "the target holds the image");
  }
  Lib_File::CloseAll();
  check(accepted || target.isEmpty(), "a refused image writes nothing");
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
  const QByteArray input =
      QByteArray::fromRawData(reinterpret_cast<const char*>(bytes), static_cast<qsizetype>(size));
  checkLayoutTexts(input);
  checkFileAccess(input);
  convertOne(input);
  return 0;
}
