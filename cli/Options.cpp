#include "cli/Options.h"

#include <algorithm>
#include <vector>

#include "settings/Presets.h"

const QList<CommandEntry> CommandTable{
    {"convert",
     "Converts every file of the source extension in SOURCE_FOLDER, or the\n"
     "FILEs given, into TARGET_FOLDER. Options not given are taken from\n"
     "Quillet's stored settings, which the command line never changes.\n"
     "First a line on stderr tells the layout and what happens to existing\n"
     "targets, then a line there names each file not converted, and why.",
     "Converts a folder of images, or the images given, into a target folder"},
    {"inspect",
     "Tells for each image its length class, which bank each slot holds\n"
     "with its offset and length, the padding of 256K images, each bank\n"
     "kept with its CRC-32, and for a refused image, why. It also tells\n"
     "which bytes of the image the layout would not write and that are\n"
     "not fill, with any text among them. The layout is convert's: the\n"
     "layout options, then the stored settings; a line on stderr names it.",
     "Tells what is recognised in each image"},
};

namespace {

// Edits that turn one word into the other: a letter added, dropped,
// changed, or two neighbours swapped.
qsizetype editDistance(const QString& a, const QString& b) {
  const qsizetype n = a.size(), m = b.size();
  std::vector<std::vector<qsizetype>> d(n + 1, std::vector<qsizetype>(m + 1));
  for (qsizetype i = 0; i <= n; ++i) d[i][0] = i;
  for (qsizetype j = 0; j <= m; ++j) d[0][j] = j;
  for (qsizetype i = 1; i <= n; ++i) {
    for (qsizetype j = 1; j <= m; ++j) {
      const qsizetype cost = a[i - 1] == b[j - 1] ? 0 : 1;
      d[i][j] = std::min({d[i - 1][j] + 1, d[i][j - 1] + 1, d[i - 1][j - 1] + cost});
      if (i > 1 && j > 1 && a[i - 1] == b[j - 2] && a[i - 2] == b[j - 1]) {
        d[i][j] = std::min(d[i][j], d[i - 2][j - 2] + 1);
      }
    }
  }
  return d[n][m];
}

QString dashed(const QString& name) {
  if (name.isEmpty()) return {};
  return (name.size() == 1 ? QStringLiteral("-") : QStringLiteral("--")) + name;
}

// Help entries: the term, then its text from the eleventh column on; a term
// too long for that stands on a line of its own.
QString entries(const QList<std::pair<QString, QString>>& rows) {
  const QString indent(11, u' ');
  QString text;
  for (const auto& [term, description] : rows) {
    QStringList lines = description.split(u'\n');
    if (term.size() > 7) {
      text += QStringLiteral("  ") + term + u'\n';
    } else {
      text += QStringLiteral("  ") + term.leftJustified(9) + lines.takeFirst() + u'\n';
    }
    for (const QString& line : lines) text += indent + line + u'\n';
  }
  return text;
}

}  // namespace

QString ClosestWord(const QString& word, const QStringList& known) {
  QString best;
  qsizetype bestDistance = 3;  // three edits or more are no slip
  for (const QString& candidate : known) {
    const qsizetype d = editDistance(word.toLower(), candidate.toLower());
    if (d < bestDistance && d * 3 <= word.size()) {
      best = candidate;
      bestDistance = d;
    }
  }
  return best;
}

QString UnknownWordError(const QString& kind, const QString& word, const QString& guess) {
  const QString text = QStringLiteral("unknown %1 '%2'; ").arg(kind, word);
  return text + (guess.isEmpty() ? QStringLiteral("see quillet-cli --help")
                                 : QStringLiteral("did you mean %1?").arg(guess));
}

Options::Options() {
  table_ = {&help,     &version,    &order,    &pad,       &padType,   &fill,      &bank1Only,
            &limit32K, &inputOrder, &inputPad, &overwrite, &sourceExt, &targetExt, &preset,
            &dryRun,   &noSettings, &json,     &quiet,     &completion};
  QString description = QStringLiteral(
      "Converts ROM images between bank layouts and tells what they hold.\n"
      "The conversion is the run of Quillet's Reorder, from a terminal or a script.\n\n"
      "Commands:\n");
  for (const CommandEntry& c : CommandTable) {
    description += entries({{QString::fromLatin1(c.name), QString::fromLatin1(c.text)}});
  }
  description.chop(1);
  parser_.setApplicationDescription(description);
  parser_.setSingleDashWordOptionMode(QCommandLineParser::ParseAsLongOptions);
  for (const QCommandLineOption* option : table_) parser_.addOption(*option);
}

bool Options::parse(const QStringList& arguments) {
  if (!parser_.parse(arguments)) {
    error_ = parser_.unknownOptionNames().isEmpty() ? parser_.errorText() : unknownOptionError();
    return false;
  }
  return true;
}

QString Options::unknownOptionError() const {
  const QString unknown = parser_.unknownOptionNames().constFirst();
  QStringList known;
  for (const QCommandLineOption* option : table_) {
    for (const QString& name : option->names()) {
      if (name.size() > 1) known.append(name);
    }
  }
  return UnknownWordError(QStringLiteral("option"), dashed(unknown),
                          dashed(ClosestWord(unknown, known)));
}

QString Options::helpText() const {
  // The parser names the program by the path it was started with.
  QString text = QStringLiteral(
      "Usage: quillet-cli convert SOURCE_FOLDER TARGET_FOLDER [options]\n"
      "       quillet-cli convert FILE... TARGET_FOLDER [options]\n"
      "       quillet-cli inspect FILE... [layout options] [--json]\n");
  const QString parsers = parser_.helpText();
  text += parsers.mid(parsers.indexOf(u'\n') + 1);

  QList<std::pair<QString, QString>> presets;
  for (size_t i = 0; i < OutputPresets.size(); ++i) {
    presets.append({QString::number(i + 1), QString::fromLatin1(OutputPresets[i].caption)});
  }
  text += QStringLiteral("\nPresets:\n") + entries(presets);
  text +=
      QStringLiteral("\nJSON output:\n") +
      entries({
          {QStringLiteral("file"),
           QStringLiteral("convert, one object a file: \"type\": \"file\", \"name\", \"class\"\n"
                          "(\"88K\", \"112K\", \"216K\", \"224K\", \"256K\" or null), \"outcome\"\n"
                          "(\"converted\", \"skipped\", \"refused\" or \"stopped\"), \"reason\"\n"
                          "(why not converted, or null), \"target\" (the target name, or null)\n"
                          "and \"action\", what was done at the target, with --dry-run what\n"
                          "would be: \"create\", \"replace\", \"keep\", \"ask\" or null")},
          {QStringLiteral("summary"),
           QStringLiteral("convert, last: \"type\": \"summary\", \"end\" (\"completed\",\n"
                          "\"stopped\" or \"refused\"), \"dryRun\", \"total\", \"converted\",\n"
                          "\"skipped\", \"refused\" and \"message\", the summary line")},
          {QStringLiteral("image"),
           QStringLiteral("inspect, one object an image: \"name\", \"length\" (-1 when\n"
                          "unreadable), \"class\", \"recognised\", \"padding\" (\"front\",\n"
                          "\"rear\" or null), \"stated\" (\"read as stated: 1,8,0,9\" for an\n"
                          "image read as --input-order says, or null), \"slots\" [{\"slot\",\n"
                          "\"bank\" it reads as, \"offset\", \"length\", and \"fillOnly\" (the\n"
                          "one byte value of a slot that holds nothing else) where it\n"
                          "applies}], \"banks\" [{\"bank\", \"slot\" it was taken from,\n"
                          "\"offset\", \"length\", \"crc32\" (eight hex digits)}], \"dropped\"\n"
                          "[{\"offset\", \"length\", \"where\", \"fill\" (its most frequent\n"
                          "byte), \"notFill\" (bytes of other values), \"text\" (the first\n"
                          "text in it, or null)}] for the bytes the layout leaves out that\n"
                          "are not fill, \"droppedBytes\" (all it leaves out; both null\n"
                          "when the stored layout cannot be used), \"refusal\" (the check\n"
                          "that refused the image, or null) and \"error\" (\"is a folder\",\n"
                          "\"is not a regular file\", \"cannot be read: \" and why, or null)")},
      });
  text += QStringLiteral("\nExit status:\n") +
          entries({
              {QStringLiteral("0"),
               QStringLiteral("every file converted, or its existing target kept by\n"
                              "--overwrite never or a no at the question (with --dry-run:\n"
                              "would be); inspect: every image recognised")},
              {QStringLiteral("1"),
               QStringLiteral("a file not converted: an image refused or unreadable, or a\n"
                              "target that could not be written")},
              {QStringLiteral("2"),
               QStringLiteral("usage error or bad option value; --overwrite ask without a\n"
                              "terminal on stdin; an extension the run refuses")},
              {QStringLiteral("3"),
               QStringLiteral("the run was refused before any file: a folder check, a stored\n"
                              "layout that cannot be used, no files found, another run\n"
                              "writing into the target folder")},
              {QStringLiteral("4"),
               QStringLiteral("stopped by the user (Ctrl+C, or c at the overwrite question)")},
          });
  text += QStringLiteral("\nEnvironment:\n") +
          entries({
              {QStringLiteral("QUILLET_SETTINGS_ROOT"),
               QStringLiteral("A folder that holds the settings store instead, for both\n"
                              "Quillet and quillet-cli: Quillet/Quillet.conf in it (on\n"
                              "Windows, a registry key under HKEY_CURRENT_USER).")},
              {QStringLiteral("XDG_CONFIG_HOME"),
               QStringLiteral("The configuration folder that holds the settings store;\n"
                              "~/.config when it is not set.")},
          });
  text += QStringLiteral("\nFiles:\n") +
          entries({
              {QStringLiteral("$XDG_CONFIG_HOME/Quillet/Quillet.conf"),
               QStringLiteral("The settings Quillet's windows store and quillet-cli reads,\n"
                              "sections [Folders] and [User]; on Windows the registry key\n"
                              "HKEY_CURRENT_USER\\Software\\Quillet\\Quillet.")},
          });
  text +=
      QStringLiteral("\nExamples:\n") +
      entries({
          {QStringLiteral("quillet-cli convert ~/roms/in ~/roms/out --dry-run"),
           QStringLiteral("Tells what converting the folder would do; writes nothing.")},
          {QStringLiteral("quillet-cli convert ~/roms/in ~/roms/out --preset 2 --overwrite never"),
           QStringLiteral("Converts with the second preset and keeps existing targets.")},
          {QStringLiteral("quillet-cli convert car.BIN ~/roms/out --order 8,1,0,9 --pad 56k"),
           QStringLiteral("Converts one image into ~/roms/out.")},
          {QStringLiteral("quillet-cli inspect --json ~/roms/in/*.BIN"),
           QStringLiteral("Tells what is recognised in each image, as JSON lines.")},
          {QStringLiteral("quillet-cli inspect car.BIN --preset 5"),
           QStringLiteral("Tells what of car.BIN is lost when bank 1 alone is written.")},
      });
  return text;
}

QString Options::command() const {
  const QStringList positional = parser_.positionalArguments();
  return positional.isEmpty() ? QString() : positional.first();
}

QStringList Options::operands() const {
  return parser_.positionalArguments().mid(1);
}

QStringList Options::convertOnlyOptionsGiven() const {
  QStringList given;
  for (const QCommandLineOption* option : {&overwrite, &sourceExt, &targetExt, &dryRun, &quiet}) {
    if (parser_.isSet(*option)) given.append(QStringLiteral("--") + option->names().constLast());
  }
  return given;
}

QStringList Options::valueWords(const QCommandLineOption& option) const {
  if (&option == &pad) return PadWords;
  if (&option == &padType || &option == &inputPad) return PadTypeWords;
  if (&option == &overwrite) return OverwriteWords;
  if (&option == &completion) return ShellWords;
  if (&option == &preset) {
    QStringList numbers;
    for (size_t i = 1; i <= OutputPresets.size(); ++i) numbers.append(QString::number(i));
    return numbers;
  }
  return {};
}
