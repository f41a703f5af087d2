// quillet-cli inspect: what the program recognises in single images.
#include <QFile>
#include <QFileInfo>
#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>

#include "cli/Commands.h"
#include "cli/ExitCode.h"
#include "cli/Options.h"
#include "cli/Terminal.h"
#include "engine/BankTables.h"
#include "engine/Lib_File.h"

namespace {

constexpr std::array<int, 4> SlotNames{0, 1, 8, 9};

struct SlotFinding {
  int slot;
  int bank;
  qint64 offset;  // in the file, of the slot's bank data
  qint64 length;
};

struct Inspection {
  QString name;  // the path as given
  qint64 length = -1;
  QString error;    // why the file could not be read at all; empty when it was
  QString refusal;  // empty when the image was recognised
  qint64 padOffset = -1;
  QList<SlotFinding> slots;
  QList<std::pair<int, qint64>> banks;  // bank number, length kept
};

Inspection inspect(const QString& path) {
  Inspection result;
  result.name = path;
  const QFileInfo info(path);
  QFile file(path);
  if (info.isDir()) {
    result.error = QStringLiteral("is a folder");
  } else if (info.exists() && !info.isFile()) {
    // Opening a pipe could wait for a writer forever.
    result.error = QStringLiteral("is not a regular file");
  } else if (!file.open(QIODevice::ReadOnly)) {
    result.error = QStringLiteral("cannot be read: ") + file.errorString();
  }
  if (!result.error.isEmpty()) return result;
  file.close();
  Lib_File::CloseAllGuard closeAll;
  if (!Lib_File::OpenForRead(Lib_File::InputFile, path)) {
    result.error = QStringLiteral("cannot be read");
    return result;
  }
  result.length = Lib_File::FileLength(Lib_File::InputFile);
  ClearBankTables();
  if (!ClassifyImage()) {
    result.refusal = RefusalText(Refusal::UnknownLength);
    return result;
  }
  if (!ConvertFile()) {
    result.refusal = RefusalText(LastRecognition.refusal);
    return result;
  }
  const bool padded = result.length == Length256K;
  result.padOffset = LastRecognition.PadOffset;
  for (int slot : SlotNames) {
    const auto s = static_cast<size_t>(slot);
    if (BankLength[s] == 0) continue;
    const qint64 skip = padded ? result.padOffset : 0;
    result.slots.append(
        {slot, LastRecognition.SlotBank[s], BankStart[s] + skip, padded ? Size56K : BankLength[s]});
  }
  for (int bank : SlotNames) {
    const qint64 kept = BankData[static_cast<size_t>(bank)].size();
    if (kept > 0) result.banks.append({bank, kept});
  }
  return result;
}

QString paddingWord(const Inspection& image) {
  if (image.padOffset < 0) return {};
  return image.padOffset == 0 ? QStringLiteral("rear") : QStringLiteral("front");
}

QJsonObject toJson(const Inspection& image) {
  QJsonArray slots, banks;
  for (const SlotFinding& f : image.slots) {
    slots.append(QJsonObject{{QStringLiteral("slot"), f.slot},
                             {QStringLiteral("bank"), f.bank},
                             {QStringLiteral("offset"), f.offset},
                             {QStringLiteral("length"), f.length}});
  }
  for (const auto& [bank, length] : image.banks) {
    banks.append(QJsonObject{{QStringLiteral("bank"), bank}, {QStringLiteral("length"), length}});
  }
  const QString lengthClass = LengthClassName(image.length);
  const QString padding = paddingWord(image);
  return {{QStringLiteral("name"), image.name},
          {QStringLiteral("length"), image.length},
          {QStringLiteral("class"), lengthClass.isEmpty() ? QJsonValue() : lengthClass},
          {QStringLiteral("recognised"), image.refusal.isEmpty() && image.error.isEmpty()},
          {QStringLiteral("padding"), padding.isEmpty() ? QJsonValue() : padding},
          {QStringLiteral("slots"), slots},
          {QStringLiteral("banks"), banks},
          {QStringLiteral("refusal"), image.refusal.isEmpty() ? QJsonValue() : image.refusal},
          {QStringLiteral("error"), image.error.isEmpty() ? QJsonValue() : image.error}};
}

QString toText(const Inspection& image) {
  QString text = image.name + QStringLiteral(": ");
  if (!image.error.isEmpty()) return text + image.error + u'\n';
  const QString lengthClass = LengthClassName(image.length);
  if (!lengthClass.isEmpty()) text += lengthClass + QStringLiteral(", ");
  if (image.length >= 0) text += QStringLiteral("%1 bytes").arg(image.length);
  if (!image.refusal.isEmpty()) return text + QStringLiteral(", refused: ") + image.refusal + u'\n';
  if (const QString padding = paddingWord(image); !padding.isEmpty()) {
    text += QStringLiteral(", %1 padding").arg(padding);
  }
  text += u'\n';
  for (const SlotFinding& f : image.slots) {
    text += QStringLiteral("  slot %1: bank %2 at 0x%3, %4 bytes\n")
                .arg(f.slot)
                .arg(f.bank)
                .arg(QString::number(f.offset, 16).toUpper().rightJustified(5, u'0'))
                .arg(f.length);
  }
  QStringList kept;
  for (const auto& [bank, length] : image.banks) {
    kept.append(QStringLiteral("%1 (%2 bytes)").arg(bank).arg(length));
  }
  return text + QStringLiteral("  banks kept: ") + kept.join(QStringLiteral(", ")) + u'\n';
}

}  // namespace

int RunInspect(const Options& options) {
  const QStringList files = options.operands();
  if (files.isEmpty()) {
    Terminal::Write(stderr,
                    QStringLiteral("quillet-cli: inspect needs FILE...; see quillet-cli --help\n"));
    return ExitUsage;
  }
  const bool json = options.isSet(options.json);
  bool allRecognised = true;
  for (const QString& file : files) {
    const Inspection image = inspect(file);
    allRecognised = allRecognised && image.refusal.isEmpty() && image.error.isEmpty();
    Terminal::Write(
        stdout,
        json
            ? QString::fromUtf8(QJsonDocument(toJson(image)).toJson(QJsonDocument::Compact)) + u'\n'
            : toText(image));
  }
  return allRecognised ? ExitDone : ExitSomeFailed;
}
