// quillet-cli: Quillet's conversion from a terminal and from scripts.
#include <QCoreApplication>

#include "cli/Commands.h"
#include "cli/ExitCode.h"
#include "cli/Options.h"
#include "cli/Terminal.h"
#include "settings/AppIdentity.h"

int main(int argc, char* argv[]) {
  QCoreApplication app(argc, argv);
  QCoreApplication::setApplicationName(QStringLiteral("quillet-cli"));

  Options options;
  if (!options.parse(QCoreApplication::arguments())) {
    Terminal::Write(stderr, QStringLiteral("quillet-cli: ") + options.error() + u'\n');
    return ExitUsage;
  }
  if (options.isSet(options.help)) {
    Terminal::Write(stdout, options.helpText());
    return ExitDone;
  }
  if (options.isSet(options.version)) {
    // As the main window's caption shows it, then as the package names it.
    Terminal::Write(stdout,
                    AppCaption() + QStringLiteral(" (") + AppVersion() + QStringLiteral(")\n"));
    return ExitDone;
  }
  const QString command = options.command();
  if (command == u"convert") return RunConvert(options);
  if (command == u"inspect") {
    if (const QStringList others = options.convertOptionsGiven(); !others.isEmpty()) {
      Terminal::Write(stderr, QStringLiteral("quillet-cli: inspect takes no %1\n")
                                  .arg(others.join(QStringLiteral(", "))));
      return ExitUsage;
    }
    return RunInspect(options);
  }
  Terminal::Write(stderr, command.isEmpty()
                              ? QStringLiteral("quillet-cli: no command; see quillet-cli --help\n")
                              : QStringLiteral("quillet-cli: unknown command '%1'; see "
                                               "quillet-cli --help\n")
                                    .arg(command));
  return ExitUsage;
}
