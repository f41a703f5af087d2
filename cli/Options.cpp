#include "cli/Options.h"

#include "settings/Presets.h"

Options::Options() {
  parser_.setApplicationDescription(QStringLiteral(
      "Converts folders of ROM images between bank layouts, as Quillet's Reorder does, and tells "
      "what it recognises in single images.\n\n"
      "Commands:\n"
      "  convert SOURCE_FOLDER TARGET_FOLDER  Converts every file of the source\n"
      "                        extension in SOURCE_FOLDER into TARGET_FOLDER. Options\n"
      "                        not given are taken from Quillet's stored settings,\n"
      "                        which the command line never changes.\n"
      "  inspect FILE...       Tells for each image its length class, which bank each\n"
      "                        slot holds with its offset and length, the padding of\n"
      "                        256K images, and for a refused image, why."));
  parser_.setSingleDashWordOptionMode(QCommandLineParser::ParseAsLongOptions);
  parser_.addPositionalArgument(QStringLiteral("command"), QStringLiteral("convert or inspect."),
                                QStringLiteral("convert|inspect ..."));
  for (const QCommandLineOption* option :
       {&help, &version, &order, &pad, &padType, &fill, &bank1Only, &limit32K, &overwrite,
        &sourceExt, &targetExt, &preset, &dryRun, &noSettings, &json}) {
    parser_.addOption(*option);
  }
}

bool Options::parse(const QStringList& arguments) {
  if (!parser_.parse(arguments)) {
    error_ = parser_.errorText();
    return false;
  }
  return true;
}

QString Options::helpText() const {
  QString text = parser_.helpText();
  text += QStringLiteral("\nPresets:\n");
  for (size_t i = 0; i < OutputPresets.size(); ++i) {
    text +=
        QStringLiteral("  %1  %2\n").arg(i + 1).arg(QString::fromLatin1(OutputPresets[i].caption));
  }
  text += QStringLiteral(
      "\nExit codes:\n"
      "  0  every listed file converted (with --dry-run: every file recognised);\n"
      "     inspect: every image recognised\n"
      "  1  some files skipped or refused\n"
      "  2  usage error or bad option value; --overwrite ask without a terminal on stdin\n"
      "  3  the run was refused: folder, extension or format check, no files found\n"
      "  4  stopped by the user (Ctrl+C, or c at the overwrite question)\n");
  return text;
}

QString Options::command() const {
  const QStringList positional = parser_.positionalArguments();
  return positional.isEmpty() ? QString() : positional.first();
}

QStringList Options::operands() const {
  return parser_.positionalArguments().mid(1);
}

QStringList Options::convertOptionsGiven() const {
  QStringList given;
  for (const QCommandLineOption* option :
       {&order, &pad, &padType, &fill, &bank1Only, &limit32K, &overwrite, &sourceExt, &targetExt,
        &preset, &dryRun, &noSettings}) {
    if (parser_.isSet(*option)) given.append(QStringLiteral("--") + option->names().constLast());
  }
  return given;
}
