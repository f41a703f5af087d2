// quillet-cli convert: the program's batch run, driven from the command line.
#include "batch/BatchRun.h"
#include "cli/Commands.h"
#include "cli/ConvertSettings.h"
#include "cli/ExitCode.h"
#include "cli/Options.h"
#include "cli/Terminal.h"
#include "cli/TerminalFrontEnd.h"
#include "settings/modGlobals.h"
#include "settings/modRegistry.h"
#include "batch/FileListBox.h"

int RunConvert(const Options& options) {
  const QStringList folders = options.operands();
  if (folders.size() != 2) {
    Terminal::Write(stderr, QStringLiteral("quillet-cli: convert needs SOURCE_FOLDER and "
                                           "TARGET_FOLDER; see quillet-cli --help\n"));
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
  auto& s = ConversionSettings;
  s.Source = RunFolder(folders[0]);
  s.Target = RunFolder(folders[1]);

  const bool dryRun = options.isSet(options.dryRun);
  if (s.Overwrite == AskToOverwrite && !dryRun && !Terminal::IsTerminal(stdin)) {
    Terminal::Write(stderr,
                    QStringLiteral("quillet-cli: the overwrite policy is ask, but standard input "
                                   "is not a terminal to ask on; give --overwrite never or "
                                   "--overwrite always\n"));
    return ExitUsage;
  }

  TerminalFrontEnd frontEnd(options.isSet(options.json), dryRun);
  FileListBox listing;
  if (const auto refusal = ListSourceFiles(listing, s.Source, s.SourceExt)) {
    return frontEnd.Refuse(*refusal);
  }
  Terminal::CatchInterrupt();
  CancelRequested = false;
  return frontEnd.Finish(RunBatch(frontEnd, RunOptions{.dryRun = dryRun}));
}
