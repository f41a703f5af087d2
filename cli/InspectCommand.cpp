// quillet-cli inspect: what the program recognises in single images, and
// what the chosen layout would leave out of them.
#include <QJsonDocument>

#include "batch/ImageWords.h"
#include "batch/StatedLayouts.h"
#include "cli/Commands.h"
#include "cli/ConvertSettings.h"
#include "cli/ExitCode.h"
#include "cli/Options.h"
#include "cli/Terminal.h"
#include "cli/TerminalFrontEnd.h"
#include "engine/ImageFindings.h"
#include "engine/Lib_Convert.h"
#include "engine/Lib_File.h"
#include "settings/modGlobals.h"
#include "settings/modRegistry.h"

namespace {

ImageFindings inspect(const QString& path, const std::optional<OutputLayout>& layout,
                      const StatedLayouts& stated) {
  ImageFindings findings;
  // Opened as a run opens a source: by the name's exact bytes, never
  // waiting on a pipe.
  QString why;
  QByteArray image;
  qint64 length = -1;
  if (!Lib_File::ReadWhole(
          path, [](qint64 n) { return !LengthClassName(n).isEmpty(); }, &image, &length, &why)) {
    // The run's words name the file as "the source"; here the name stands
    // before them.
    static const QString Source = QStringLiteral("the source ");
    findings.error = why.startsWith(Source) ? why.mid(Source.size()) : why;
    return findings;
  }
  const ImageReading reading =
      LengthClassName(length).isEmpty() ? UnreadImage(length, Refusal::UnknownLength)
      : image.size() == length          ? ConvertFile(image, stated.For(path, length))
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
                                  .arg(Lib_Convert::ShownText(s.OutOrder)));
      break;
    case LayoutError::BadPadValue:
      Terminal::Write(stderr, QStringLiteral("quillet-cli: the stored fill '%1' cannot be used, "
                                             "so no dropped bytes are told (--fill to give one)\n")
                                  .arg(Lib_Convert::ShownText(s.PadValue)));
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
  if (files.contains(QString())) {
    Terminal::Write(stderr, QStringLiteral("quillet-cli: an empty file name was given\n"));
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
  if (const QString problem = StoreProblem(options); !problem.isEmpty())
    Terminal::Write(stderr, QStringLiteral("quillet-cli: ") + problem + u'\n');
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
    const QString shown = Lib_Convert::ShownText(file);
    if (json) {
      QJsonObject object = ImageWords::FindingsJson(file, image);
      object.insert(QStringLiteral("nameBytes"), NameBytes(file));
      Terminal::Write(
          stdout, QString::fromUtf8(QJsonDocument(object).toJson(QJsonDocument::Compact)) + u'\n');
    } else {
      Terminal::Write(stdout, ImageWords::FindingsText(shown, image));
    }
  }
  return allRecognised ? ExitDone : ExitSomeFailed;
}
