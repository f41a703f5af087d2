// quillet-cli convert: the program's batch run, driven from the command line.
#include <QFileInfo>

#include "batch/BatchRun.h"
#include "batch/FileListBox.h"
#include "cli/Commands.h"
#include "cli/ConvertSettings.h"
#include "cli/ExitCode.h"
#include "cli/Options.h"
#include "cli/Terminal.h"
#include "cli/TerminalFrontEnd.h"
#include "settings/modGlobals.h"
#include "settings/modRegistry.h"

namespace {

// Whether a lone source names a folder to list rather than an image file: a
// folder does, a file does not, and a name that is not there does unless it
// ends in the source extension, so that a mistyped folder is reported as a
// missing folder and a mistyped image as a missing image.
bool namesFolder(const QString& source, const QString& sourceExt) {
  const QFileInfo info(source);
  if (info.isDir()) return true;
  if (info.exists()) return false;
  return !source.endsWith(sourceExt, Qt::CaseInsensitive);
}

}  // namespace

int RunConvert(const Options& options) {
  const QStringList operands = options.operands();
  if (operands.size() < 2) {
    Terminal::Write(stderr, QStringLiteral("quillet-cli: convert needs SOURCE_FOLDER or FILE... "
                                           "and TARGET_FOLDER; see quillet-cli --help\n"));
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
  RunOptions run;
  if (const QString error = ApplyStatedOptions(options, &run.stated); !error.isEmpty()) {
    Terminal::Write(stderr, QStringLiteral("quillet-cli: ") + error + u'\n');
    return ExitUsage;
  }
  auto& s = ConversionSettings;
  const QStringList sources = operands.first(operands.size() - 1);
  const bool folderRun = sources.size() == 1 && namesFolder(sources[0], s.SourceExt);
  if (folderRun) s.Source = RunFolder(sources[0]);
  s.Target = RunFolder(operands.last());

  const bool dryRun = options.isSet(options.dryRun);
  if (s.Overwrite == AskToOverwrite && !dryRun && !Terminal::IsTerminal(stdin)) {
    Terminal::Write(stderr,
                    QStringLiteral("quillet-cli: the overwrite policy is ask, but standard input "
                                   "is not a terminal to ask on; give --overwrite never or "
                                   "--overwrite always\n"));
    return ExitUsage;
  }

  const bool quiet = options.isSet(options.quiet);
  if (!quiet) Terminal::Write(stderr, DescribeRun(options) + u'\n');
  TerminalFrontEnd frontEnd(
      {.json = options.isSet(options.json), .dryRun = dryRun, .quiet = quiet});
  FileListBox listing;
  const auto refusal =
      folderRun ? ListSourceFiles(listing, s.Source, s.SourceExt) : ListSourcePaths(sources);
  if (refusal) return frontEnd.Refuse(*refusal);
  Terminal::CatchInterrupt();
  CancelRequested = false;
  run.dryRun = dryRun;
  run.listedPaths = !folderRun;
  run.findings = quiet ? Findings::None : Findings::Dropped;
  return frontEnd.Finish(RunBatch(frontEnd, run));
}
