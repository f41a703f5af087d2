// quillet-cli: Quillet's conversion from a terminal and from scripts.
#include <QCoreApplication>

#include "cli/Commands.h"
#include "cli/Completion.h"
#include "cli/ExitCode.h"
#include "cli/Options.h"
#include "cli/Terminal.h"
#include "engine/Lib_Convert.h"
#include "engine/NativeFile.h"
#include "settings/AppIdentity.h"

namespace {

// The arguments as given. On Linux an argument is bytes: a folder whose
// name is not valid UTF-8 reaches the run whole.
QStringList argumentsAsGiven(int argc, char* argv[]) {
#ifdef Q_OS_WIN
  Q_UNUSED(argc);
  Q_UNUSED(argv);
  return QCoreApplication::arguments();
#else
  QStringList arguments;
  for (int i = 0; i < argc; ++i) arguments << NativeFile::DecodeName(QByteArray(argv[i]));
  return arguments;
#endif
}

int usageError(const QString& text) {
  // The words given are echoed as a name is shown.
  Terminal::Write(stderr, QStringLiteral("quillet-cli: ") + Lib_Convert::ShownText(text) + u'\n');
  return ExitUsage;
}

}  // namespace

int main(int argc, char* argv[]) {
  QCoreApplication app(argc, argv);
  QCoreApplication::setApplicationName(QStringLiteral("quillet-cli"));

  Options options;
  if (!options.parse(argumentsAsGiven(argc, argv))) return usageError(options.error());
  if (options.isSet(options.help)) {
    Terminal::Write(stdout, options.helpText());
    return ExitDone;
  }
  if (options.isSet(options.version)) {
    // As packages name it, then as the main window's caption shows it.
    Terminal::Write(stdout,
                    QStringLiteral("quillet-cli ") + AppVersion() + u'\n' + AppCaption() + u'\n');
    return ExitDone;
  }
  if (options.isSet(options.completion)) {
    const QString script = CompletionScript(options, options.value(options.completion));
    if (script.isEmpty()) {
      return usageError(
          QStringLiteral("--completion takes %1")
              .arg(options.valueWords(options.completion).join(QStringLiteral(", "))));
    }
    Terminal::Write(stdout, script);
    return ExitDone;
  }
  const QString command = options.command();
  if (command == u"convert") return RunConvert(options);
  if (command == u"inspect") {
    if (const QStringList others = options.convertOnlyOptionsGiven(); !others.isEmpty()) {
      return usageError(
          QStringLiteral("inspect takes no %1").arg(others.join(QStringLiteral(", "))));
    }
    return RunInspect(options);
  }
  if (command.isEmpty()) return usageError(QStringLiteral("no command; see quillet-cli --help"));
  QStringList commands;
  for (const CommandEntry& c : CommandTable) commands.append(QString::fromLatin1(c.name));
  return usageError(
      UnknownWordError(QStringLiteral("command"), command, ClosestWord(command, commands)));
}
