// quillet-cli inspect: what the program recognises in single images, and
// what the chosen layout would leave out of them.
#include <QFile>
#include <QFileInfo>
#include <QJsonDocument>

#include "batch/ImageWords.h"
#include "batch/StatedLayouts.h"
#include "cli/Commands.h"
#include "cli/ConvertSettings.h"
#include "cli/ExitCode.h"
#include "cli/Options.h"
#include "cli/Terminal.h"
#include "engine/ImageFindings.h"
#include "engine/Lib_File.h"
#include "settings/modGlobals.h"
#include "settings/modRegistry.h"

namespace {

ImageFindings inspect(const QString& path, const std::optional<OutputLayout>& layout,
                      const StatedLayouts& stated) {
  ImageFindings findings;
  const QFileInfo info(path);
  QFile file(path);
  if (info.isDir()) {
    findings.error = QStringLiteral("is a folder");
  } else if (info.exists() && !info.isFile()) {
    // Opening a pipe could wait for a writer forever.
    findings.error = QStringLiteral("is not a regular file");
  } else if (!file.open(QIODevice::ReadOnly)) {
    findings.error = QStringLiteral("cannot be read: ") + file.errorString();
  }
  if (!findings.error.isEmpty()) return findings;
  file.close();
  QByteArray image;
  qint64 length = -1;
  if (!Lib_File::ReadWhole(path, [](qint64 n) { return !LengthClassName(n).isEmpty(); }, &image,
                           &length)) {
    findings.error = QStringLiteral("cannot be read");
    return findings;
  }
  const ImageReading reading = LengthClassName(length).isEmpty()
                                   ? UnreadImage(length, Refusal::UnknownLength)
                               : image.size() == length
                                   ? ConvertFile(image, stated.For(path, length))
                                   : UnreadImage(length, Refusal::UnreadableSlot);
  return TakeFindings(image, reading, {.layout = layout, .crc32 = true});
}

// The layout whose dropped bytes are told, as convert would take it; none,
// after saying why once, when the stored settings hold one that cannot be
// used.
std::optional<OutputLayout> chosenLayout(const Options& options) {
  const auto& s = ConversionSettings;
  OutputLayout layout;
  switch (ResolveLayout(s.OutOrder, s.PadValue, s.PadSize, s.PadType, s.Bank1Only, s.Limit32K,
                        &layout)) {
    case LayoutError::None:
      Terminal::Write(stderr, QStringLiteral("dropped bytes are those of the ") +
                                  DescribeLayout(options) + u'\n');
      return layout;
    case LayoutError::BadOrder:
      Terminal::Write(stderr, QStringLiteral("quillet-cli: the stored bank order '%1' cannot be "
                                             "used, so no dropped bytes are told (--order to "
                                             "give one)\n")
                                  .arg(s.OutOrder));
      break;
    case LayoutError::BadPadValue:
      Terminal::Write(stderr, QStringLiteral("quillet-cli: the stored fill '%1' cannot be used, "
                                             "so no dropped bytes are told (--fill to give one)\n")
                                  .arg(s.PadValue));
      break;
  }
  return std::nullopt;
}

}  // namespace

int RunInspect(const Options& options) {
  const QStringList files = options.operands();
  if (files.isEmpty()) {
    Terminal::Write(stderr,
                    QStringLiteral("quillet-cli: inspect needs FILE...; see quillet-cli --help\n"));
    return ExitUsage;
  }
  if (options.isSet(options.noSettings)) {
    ResetGlobals();
    ApplySettingDefaults();
  } else {
    LoadSettings();
  }
  if (const QString error = ApplyConvertOptions(options); !error.isEmpty()) {
    Terminal::Write(stderr, QStringLiteral("quillet-cli: ") + error + u'\n');
    return ExitUsage;
  }
  StatedLayouts stated;
  if (const QString error = ApplyStatedOptions(options, &stated); !error.isEmpty()) {
    Terminal::Write(stderr, QStringLiteral("quillet-cli: ") + error + u'\n');
    return ExitUsage;
  }
  const std::optional<OutputLayout> layout = chosenLayout(options);
  const bool json = options.isSet(options.json);
  bool allRecognised = true;
  for (const QString& file : files) {
    const ImageFindings image = inspect(file, layout, stated);
    allRecognised = allRecognised && image.error.isEmpty() && image.reading.recognised();
    Terminal::Write(stdout,
                    json ? QString::fromUtf8(QJsonDocument(ImageWords::FindingsJson(file, image))
                                                 .toJson(QJsonDocument::Compact)) +
                               u'\n'
                         : ImageWords::FindingsText(file, image));
  }
  return allRecognised ? ExitDone : ExitSomeFailed;
}
